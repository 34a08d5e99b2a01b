// corvane-merge as a script uses it: a merge of every difference checked by a
// new comparison, a merge log recorded on one pair and replayed on another,
// the selection of items, and the refusals, each of which writes nothing.

#include "ToolRun.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

Run Merge(const QStringList& arguments)
{
    return Execute(QStringLiteral(CORVANE_MERGE), arguments);
}

// The items of a corvane-compare report (--all off) by their path in the
// tree, with their status mark; containers that only hold differences are
// left out (their mark is "=" or none).
QMap<QString, QChar> DifferingItems(const QString& report)
{
    QMap<QString, QChar> items;
    QStringList path;
    const QStringList lines = report.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i)
    {
        const QString& line = lines.at(i);
        int indent = 0;
        while (indent < line.size() && line.at(indent) == QLatin1Char(' '))
            ++indent;
        if (indent < 2 || indent % 2 != 0 || indent + 2 >= line.size())
            continue; // the last line, the count
        // A pair's line is its mark and its label, a folder's its label in
        // the place of both: two more spaces.
        const QChar mark = line.at(indent);
        const bool pair = QStringLiteral("~<>=").contains(mark) && line.at(indent + 1) == QLatin1Char(' ');
        const int depth = pair ? indent / 2 - 1 : indent / 2 - 2;
        QString label = pair ? line.mid(indent + 2) : line.mid(indent);
        label = label.left(label.indexOf(QStringLiteral("  [")) < 0 ? label.size()
                                                                    : label.indexOf(QStringLiteral("  [")));
        while (path.size() > depth)
            path.removeLast();
        path << label;
        if (pair && mark != QLatin1Char('='))
            items.insert(path.join(QLatin1Char('/')), mark);
    }
    return items;
}

// The lines of a merge report that name an item, by their mark.
QStringList ReportedItems(const QString& report, const QString& prefix)
{
    QStringList items;
    for (const QString& line : report.split(QLatin1Char('\n')))
        if (line.startsWith(prefix))
            items << line.mid(prefix.size());
    return items;
}

QJsonArray Decisions(const QString& log)
{
    return QJsonDocument::fromJson(ReadFile(log)).object().value(QStringLiteral("decisions")).toArray();
}

} // namespace

class tst_Merge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mergeEverything_data();
    void mergeEverything();
    void replayOnACopy_data();
    void replayOnACopy();
    void replayFindsTheChangedStory();
    void onlyTheChosenItems_data();
    void onlyTheChosenItems();
    void dryRunWritesNothing();
    void refusals_data();
    void refusals();
    void picturesAsTheyAreReferred();

private:
    // A fresh copy of a pair in the test's folder.
    QStringList Pair(const QString& name, const QString& left, const QString& right);

    QTemporaryDir mFolder;
    QString mGenerated[2][2];
};

QStringList tst_Merge::Pair(const QString& name, const QString& left, const QString& right)
{
    const QStringList files{mFolder.filePath(name + QStringLiteral("-l.xprj")),
                            mFolder.filePath(name + QStringLiteral("-r.xprj"))};
    for (int side = 0; side < 2; ++side)
    {
        QFile::remove(files[side]);
        if (!QFile::copy(side == 0 ? left : right, files[side]))
            return QStringList();
        QFile::setPermissions(files[side], QFile::ReadOwner | QFile::WriteOwner);
    }
    return files;
}

void tst_Merge::initTestCase()
{
    QVERIFY(mFolder.isValid());
    // Two generated pairs: a small one with every kind of edit at a high
    // rate, and a larger one.
    const QStringList sizes[2] = {
        {QStringLiteral("--seed"), QStringLiteral("11"), QStringLiteral("--edit-rate"), QStringLiteral("0.5"),
         QStringLiteral("--stories"), QStringLiteral("6"), QStringLiteral("--assets"), QStringLiteral("2")},
        {QStringLiteral("--seed"), QStringLiteral("5"), QStringLiteral("--layouts"), QStringLiteral("3"),
         QStringLiteral("--spreads"), QStringLiteral("6"), QStringLiteral("--stories"),
         QStringLiteral("20")}};
    for (int i = 0; i < 2; ++i)
    {
        mGenerated[i][0] = mFolder.filePath(QStringLiteral("gen%1-l.xprj").arg(i));
        mGenerated[i][1] = mFolder.filePath(QStringLiteral("gen%1-r.xprj").arg(i));
        const Run run =
            Execute(QStringLiteral(XTGEN), QStringList(sizes[i]) << mGenerated[i][0] << mGenerated[i][1]);
        QVERIFY2(run.status == 0, qPrintable(run.err));
    }
}

void tst_Merge::mergeEverything_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("take");
    const QString v1 = Sample(QStringLiteral("harbour-gazette-v1.xprj"));
    const QString v2 = Sample(QStringLiteral("harbour-gazette-v2.xprj"));
    QTest::newRow("samples, take left") << v1 << v2 << QStringLiteral("left");
    QTest::newRow("samples, take right") << v1 << v2 << QStringLiteral("right");
    for (int i = 0; i < 2; ++i)
        for (const QString& take : {QStringLiteral("left"), QStringLiteral("right")})
            QTest::newRow(qPrintable(QStringLiteral("generated %1, take %2").arg(i).arg(take)))
                << mGenerated[i][0] << mGenerated[i][1] << take;
}

// Every difference is merged, items only one side has included (made or
// removed whole): the new comparison shows the two projects identical.
void tst_Merge::mergeEverything()
{
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(QString, take);
    const QStringList files = Pair(QStringLiteral("all"), left, right);
    QCOMPARE(files.size(), 2);
    const int source = take == QLatin1String("left") ? 0 : 1;
    const QByteArray sourceBytes = ReadFile(files[source]);
    const QByteArray destinationBytes = ReadFile(files[1 - source]);

    const Run before = Execute(QStringLiteral(CORVANE_COMPARE), files);
    QCOMPARE(before.status, 1);
    const QMap<QString, QChar> differing = DifferingItems(before.out);
    QVERIFY(!differing.isEmpty());

    const Run merge = Merge({QStringLiteral("--take"), take, files[0], files[1]});
    QVERIFY2(merge.status == 0, qPrintable(merge.out + merge.err));
    QVERIFY2(merge.err.isEmpty(), qPrintable(merge.err));
    QVERIFY2(!merge.out.contains(QStringLiteral("! cannot copy: ")), qPrintable(merge.out));
    QVERIFY(!ReportedItems(merge.out, QStringLiteral("~ ")).isEmpty());
    // Only the destination is written, and only when something was copied.
    QCOMPARE(ReadFile(files[source]), sourceBytes);
    QVERIFY(ReadFile(files[1 - source]) != destinationBytes);

    // The two projects are identical now.
    const Run after = Execute(QStringLiteral(CORVANE_COMPARE), files);
    QVERIFY2(after.status == 0, qPrintable(after.out));
    QVERIFY(DifferingItems(after.out).isEmpty());

    // A second merge finds nothing more to copy between items that both
    // projects have.
    const Run again = Merge({QStringLiteral("--take"), take, files[0], files[1]});
    QVERIFY(ReportedItems(again.out, QStringLiteral("~ ")).isEmpty());
}

void tst_Merge::replayOnACopy_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("take");
    const QString v1 = Sample(QStringLiteral("harbour-gazette-v1.xprj"));
    const QString v2 = Sample(QStringLiteral("harbour-gazette-v2.xprj"));
    QTest::newRow("samples, take left") << v1 << v2 << QStringLiteral("left");
    QTest::newRow("samples, take right") << v1 << v2 << QStringLiteral("right");
    QTest::newRow("generated, take left") << mGenerated[0][0] << mGenerated[0][1] << QStringLiteral("left");
    QTest::newRow("generated, take right") << mGenerated[1][0] << mGenerated[1][1] << QStringLiteral("right");
}

// A log recorded on one pair, replayed on a copy of the pair as it was,
// writes the same bytes, and logs the same decisions again.
void tst_Merge::replayOnACopy()
{
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(QString, take);
    const QStringList recorded = Pair(QStringLiteral("recorded"), left, right);
    const QStringList replayed = Pair(QStringLiteral("replayed"), left, right);
    const QString log = mFolder.filePath(QStringLiteral("recorded.json"));
    const QString again = mFolder.filePath(QStringLiteral("replayed.json"));
    const Run merge =
        Merge({QStringLiteral("--take"), take, QStringLiteral("--log"), log, recorded[0], recorded[1]});
    QVERIFY2(merge.status != 2, qPrintable(merge.err));
    const QJsonObject logged = QJsonDocument::fromJson(ReadFile(log)).object();
    QCOMPARE(logged.value(QStringLiteral("schema")).toInt(), 1);
    QCOMPARE(logged.value(QStringLiteral("left")).toString(), QFileInfo(recorded[0]).absoluteFilePath());
    QVERIFY(!Decisions(log).isEmpty());
    for (const QJsonValue& decision : Decisions(log))
        QCOMPARE(decision.toObject().value(QStringLiteral("direction")).toString(),
                 take == QLatin1String("left") ? QStringLiteral("right") : QStringLiteral("left"));

    const Run replay =
        Merge({QStringLiteral("--replay"), log, QStringLiteral("--log"), again, replayed[0], replayed[1]});
    QVERIFY2(replay.status != 2, qPrintable(replay.err));
    QVERIFY2(!replay.out.contains(QStringLiteral("! conflict")), qPrintable(replay.out));
    QCOMPARE(ReadFile(replayed[0]), ReadFile(recorded[0]));
    QCOMPARE(ReadFile(replayed[1]), ReadFile(recorded[1]));
    QCOMPARE(Decisions(again), Decisions(log));
    // The log holds only what was written: a row the host refused changed
    // nothing and is no decision to replay. So the replay has nothing
    // refused and nothing conflicting.
    QCOMPARE(replay.status, 0);
    const int refused = merge.out.count(QStringLiteral("\n! refused: "));
    QCOMPARE(merge.out.count(QRegularExpression(QStringLiteral("\\n    row "))),
             Decisions(log).size() + refused);
    QVERIFY2(merge.out.contains(QStringLiteral(", %1 row").arg(Decisions(log).size())),
             qPrintable(merge.out));

    // Replayed once more on the merged pair, every decision is done already.
    const Run twice = Merge({QStringLiteral("--replay"), log, replayed[0], replayed[1]});
    QVERIFY2(!twice.out.contains(QStringLiteral("! conflict")), qPrintable(twice.out));
    QCOMPARE(ReadFile(replayed[1]), ReadFile(recorded[1]));
}

// On a pair where one story changed since the log was made, exactly that
// story's decisions conflict and are skipped; every other decision applies.
void tst_Merge::replayFindsTheChangedStory()
{
    const QString v1 = Sample(QStringLiteral("harbour-gazette-v1.xprj"));
    const QString v2 = Sample(QStringLiteral("harbour-gazette-v2.xprj"));
    const QStringList recorded = Pair(QStringLiteral("story-recorded"), v1, v2);
    const QStringList next = Pair(QStringLiteral("story-next"), v1, v2);
    const QString log = mFolder.filePath(QStringLiteral("story.json"));
    const QString replayLog = mFolder.filePath(QStringLiteral("story-replayed.json"));
    QVERIFY(Merge({QStringLiteral("--take"), QStringLiteral("left"), QStringLiteral("--log"), log,
                   recorded[0], recorded[1]})
                .status != 2);

    // The next version of the RHS: story 3 edited in both of the paragraphs
    // the merge copied.
    QByteArray bytes = ReadFile(next[1]);
    for (const auto& edit :
         {std::make_pair(QByteArray("adds three crossings"), QByteArray("adds four crossings")),
          std::make_pair(QByteArray("to the editor."), QByteArray("to the office."))})
    {
        QCOMPARE(bytes.count(edit.first), 1);
        bytes.replace(edit.first, edit.second);
    }
    QVERIFY(WriteFile(next[1], bytes));

    int storyDecisions = 0;
    for (const QJsonValue& decision : Decisions(log))
        storyDecisions +=
            decision.toObject().value(QStringLiteral("item")).toObject() ==
            QJsonObject{{QStringLiteral("kind"), QStringLiteral("story")}, {QStringLiteral("story"), 3}};
    // Two rows of text, and the first paragraph's formatting ("Spring" in
    // bold on the right), which the next version leaves alone.
    QCOMPARE(storyDecisions, 3);

    const Run replay =
        Merge({QStringLiteral("--replay"), log, QStringLiteral("--log"), replayLog, next[0], next[1]});
    QCOMPARE(replay.status, 1);
    const QStringList conflicts = ReportedItems(replay.out, QStringLiteral("! conflict: "));
    QCOMPARE(conflicts.size(), 2);
    for (const QString& conflict : conflicts)
        QVERIFY2(conflict.startsWith(QStringLiteral("Stories/Story 3 | Story 3, row ")),
                 qPrintable(conflict));

    // Everything else applied, the formatting too: the log of the replay is
    // the first log without story 3's rows of text.
    QJsonArray expected;
    for (const QJsonValue& decision : Decisions(log))
        if (decision.toObject()
                    .value(QStringLiteral("item"))
                    .toObject()
                    .value(QStringLiteral("story"))
                    .toInt() != 3 ||
            decision.toObject().contains(QStringLiteral("formatting")))
            expected.append(decision);
    QCOMPARE(Decisions(replayLog), expected);
    // Story 3 of the RHS kept its new text.
    QVERIFY(ReadFile(next[1]).contains("adds four crossings"));
    QVERIFY(ReadFile(next[1]).contains("to the office."));
}

void tst_Merge::onlyTheChosenItems_data()
{
    QTest::addColumn<QStringList>("only");
    QTest::addColumn<QStringList>("merged");
    QTest::addColumn<int>("status");
    // The colours: two edited, one only left (created in the RHS), one only
    // right (removed from the RHS).
    const QStringList colours{QStringLiteral("Assets/Colors/Harbour Blue | Harbour Blue"),
                              QStringLiteral("Assets/Colors/Kelp Green | Kelp Green"),
                              QStringLiteral("Assets/Colors/Signal Red | Missing Asset"),
                              QStringLiteral("Assets/Colors/Missing Asset | Sea Foam")};
    QTest::newRow("colours by kind") << QStringList{QStringLiteral("colours")} << colours << 0;
    QTest::newRow("colours by folder name") << QStringList{QStringLiteral("Colors")} << colours << 0;
    QTest::newRow("a story by its path") << QStringList{QStringLiteral("Stories/Story 3")}
                                         << QStringList{QStringLiteral("Stories/Story 3 | Story 3")} << 0;
    QTest::newRow("a story by its full label and a box")
        << QStringList{QStringLiteral("Stories/Story 4 | Story 4"),
                       QStringLiteral("Layout/Print edition/Boxes/Cover lines(Text)")}
        << QStringList{QStringLiteral(
                           "Layout/Print edition | Print edition/Boxes/Cover lines(Text) | Cover lines(Text)"),
                       QStringLiteral("Stories/Story 4 | Story 4")}
        << 0;
    QTest::newRow("paragraph styles")
        << QStringList{QStringLiteral("paragraphStyles")}
        << QStringList{QStringLiteral("Assets/Paragraph Style Sheets/Body | Body")} << 0;
}

// --only merges the chosen items and nothing else: after it, exactly those
// items compare identical and every other difference is as it was.
void tst_Merge::onlyTheChosenItems()
{
    QFETCH(QStringList, only);
    QFETCH(QStringList, merged);
    QFETCH(int, status);
    const QStringList files = Pair(QStringLiteral("only"), Sample(QStringLiteral("harbour-gazette-v1.xprj")),
                                   Sample(QStringLiteral("harbour-gazette-v2.xprj")));
    const QMap<QString, QChar> before = DifferingItems(Execute(QStringLiteral(CORVANE_COMPARE), files).out);
    QStringList arguments{QStringLiteral("--take"), QStringLiteral("left")};
    for (const QString& value : only)
        arguments << QStringLiteral("--only") << value;
    const Run run = Merge(arguments << files);
    QCOMPARE(run.status, status);

    const QMap<QString, QChar> after = DifferingItems(Execute(QStringLiteral(CORVANE_COMPARE), files).out);
    QMap<QString, QChar> expected = before;
    for (const QString& item : merged)
        QVERIFY2(expected.remove(item) == 1, qPrintable(item));
    QCOMPARE(after, expected);
}

void tst_Merge::dryRunWritesNothing()
{
    const QStringList files = Pair(QStringLiteral("dry"), Sample(QStringLiteral("harbour-gazette-v1.xprj")),
                                   Sample(QStringLiteral("harbour-gazette-v2.xprj")));
    const QString log = mFolder.filePath(QStringLiteral("dry.json"));
    const QByteArray right = ReadFile(files[1]);
    const Run dry = Merge({QStringLiteral("--take"), QStringLiteral("left"), QStringLiteral("--dry-run"),
                           QStringLiteral("--log"), log, files[0], files[1]});
    QCOMPARE(ReadFile(files[1]), right);
    QVERIFY(!QFile::exists(log));

    // It lists what the merge then copies, row by row.
    const Run wet = Merge({QStringLiteral("--take"), QStringLiteral("left"), files[0], files[1]});
    auto rows = [](const QString& out)
    {
        QStringList lines = out.split(QLatin1Char('\n'));
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [](const QString& line) { return !line.startsWith(QLatin1Char(' ')); }),
                    lines.end());
        return lines;
    };
    QVERIFY(!rows(dry.out).isEmpty());
    QCOMPARE(rows(dry.out), rows(wet.out));

    // Both count the items as well as the rows: an item only one side has
    // is many rows.
    int items = 0;
    int copied = 0;
    for (const QString& line : wet.out.split(QLatin1Char('\n')))
    {
        items += QRegularExpression(QStringLiteral("^[~<>] ")).match(line).hasMatch() ? 1 : 0;
        copied += line.startsWith(QStringLiteral("    row ")) ? 1 : 0;
    }
    QVERIFY(items > 5 && copied > 2 * items);
    const QString counts = QStringLiteral("%1 items, %2 rows").arg(items).arg(copied);
    QVERIFY2(dry.out.contains(counts + QStringLiteral(" would be copied; nothing written")), qPrintable(dry.out));
    QVERIFY2(wet.out.contains(counts + QStringLiteral(" copied; RIGHT written")), qPrintable(wet.out));
}

void tst_Merge::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    // LEFT, RIGHT, LOG, DIR and NOTHING stand for the test's files.
    QTest::newRow("no direction") << QStringList{QStringLiteral("LEFT"), QStringLiteral("RIGHT")}
                                  << QStringLiteral("--take left or --take right");
    QTest::newRow("bad direction") << QStringList{QStringLiteral("--take"), QStringLiteral("up"),
                                                  QStringLiteral("LEFT"), QStringLiteral("RIGHT")}
                                   << QStringLiteral("--take takes left or right, not \"up\"");
    QTest::newRow("direction without value")
        << QStringList{QStringLiteral("LEFT"), QStringLiteral("RIGHT"), QStringLiteral("--take")}
        << QStringLiteral("--take needs a value");
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--take=left"),
                                                   QStringLiteral("--frobnicate"), QStringLiteral("LEFT"),
                                                   QStringLiteral("RIGHT")}
                                    << QStringLiteral("unknown option --frobnicate");
    QTest::newRow("one file") << QStringList{QStringLiteral("--take"), QStringLiteral("left"),
                                             QStringLiteral("LEFT")}
                              << QStringLiteral("name two project files, LEFT and RIGHT (1 given)");
    QTest::newRow("three files") << QStringList{QStringLiteral("--take"), QStringLiteral("left"),
                                                QStringLiteral("LEFT"), QStringLiteral("RIGHT"),
                                                QStringLiteral("LOG")}
                                 << QStringLiteral("(3 given)");
    QTest::newRow("missing file") << QStringList{QStringLiteral("--take"), QStringLiteral("left"),
                                                 QStringLiteral("LEFT"), QStringLiteral("NOTHING")}
                                  << QStringLiteral("nothing.xprj: no such file");
    QTest::newRow("directory") << QStringList{QStringLiteral("--take"), QStringLiteral("left"),
                                              QStringLiteral("DIR"), QStringLiteral("RIGHT")}
                               << QStringLiteral("is a directory, not a project file");
    QTest::newRow("same file twice") << QStringList{QStringLiteral("--take"), QStringLiteral("left"),
                                                    QStringLiteral("LEFT"), QStringLiteral("SAMELEFT")}
                                     << QStringLiteral("LEFT and RIGHT are the same file");
    QTest::newRow("not a project") << QStringList{QStringLiteral("--take"), QStringLiteral("left"),
                                                  QStringLiteral("LEFT"), QStringLiteral("LOG")}
                                   << QStringLiteral("log.json");
    QTest::newRow("unknown item") << QStringList{QStringLiteral("--take"), QStringLiteral("left"),
                                                 QStringLiteral("--only"), QStringLiteral("Stories/Story 99"),
                                                 QStringLiteral("LEFT"),   QStringLiteral("RIGHT")}
                                  << QStringLiteral("--only Stories/Story 99: no kind and no item");
    QTest::newRow("log in a missing folder")
        << QStringList{QStringLiteral("--take"), QStringLiteral("left"),
                       QStringLiteral("--log"),  QStringLiteral("DIR/none/log.json"),
                       QStringLiteral("LEFT"),   QStringLiteral("RIGHT")}
        << QStringLiteral("its folder does not exist");
    QTest::newRow("log is a directory")
        << QStringList{QStringLiteral("--take"), QStringLiteral("left"), QStringLiteral("--log"),
                       QStringLiteral("DIR"),    QStringLiteral("LEFT"), QStringLiteral("RIGHT")}
        << QStringLiteral("is a directory");
    QTest::newRow("log over a project")
        << QStringList{QStringLiteral("--take"), QStringLiteral("left"), QStringLiteral("--log"),
                       QStringLiteral("RIGHT"),  QStringLiteral("LEFT"), QStringLiteral("RIGHT")}
        << QStringLiteral("is one of the projects");
    QTest::newRow("replay with a direction")
        << QStringList{QStringLiteral("--replay"), QStringLiteral("LOG"),  QStringLiteral("--take"),
                       QStringLiteral("left"),     QStringLiteral("LEFT"), QStringLiteral("RIGHT")}
        << QStringLiteral("leave out --take");
    QTest::newRow("replay of a missing log")
        << QStringList{QStringLiteral("--replay"), QStringLiteral("NOTHING"), QStringLiteral("LEFT"),
                       QStringLiteral("RIGHT")}
        << QStringLiteral("nothing.xprj: cannot be read");
    QTest::newRow("replay of a project") << QStringList{QStringLiteral("--replay"), QStringLiteral("RIGHT"),
                                                        QStringLiteral("LEFT"), QStringLiteral("RIGHT")}
                                         << QStringLiteral("no merge log");
    QTest::newRow("replay of a newer log") << QStringList{QStringLiteral("--replay"), QStringLiteral("NEWER"),
                                                          QStringLiteral("LEFT"), QStringLiteral("RIGHT")}
                                           << QStringLiteral("a merge log of schema 2");
    QTest::newRow("replay of a broken log")
        << QStringList{QStringLiteral("--replay"), QStringLiteral("BROKEN"), QStringLiteral("LEFT"),
                       QStringLiteral("RIGHT")}
        << QStringLiteral("decisions[0] lacks");
}

// Each refusal names what is wrong, exits with 2 and writes nothing: the
// projects keep their bytes and their times, and no log appears.
void tst_Merge::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const QStringList files =
        Pair(QStringLiteral("refused"), Sample(QStringLiteral("harbour-gazette-v1.xprj")),
             Sample(QStringLiteral("harbour-gazette-v2.xprj")));
    QDir(mFolder.path()).mkpath(QStringLiteral("folder"));
    const QString log = mFolder.filePath(QStringLiteral("log.json"));
    QVERIFY(WriteFile(log, "this is no project\n"));
    const QString newer = mFolder.filePath(QStringLiteral("newer.json"));
    QVERIFY(WriteFile(newer, "{\"schema\": 2, \"decisions\": []}"));
    const QString broken = mFolder.filePath(QStringLiteral("broken.json"));
    QVERIFY(WriteFile(broken,
                      "{\"schema\": 1, \"decisions\": [{\"item\": {\"kind\": \"story\", \"story\": 3}}]}"));
    const QString newLog = mFolder.filePath(QStringLiteral("none/log.json"));
    const QMap<QString, QString> names{
        {QStringLiteral("LEFT"), files[0]},
        {QStringLiteral("RIGHT"), files[1]},
        {QStringLiteral("SAMELEFT"), mFolder.filePath(QStringLiteral("./refused-l.xprj"))},
        {QStringLiteral("LOG"), log},
        {QStringLiteral("NEWER"), newer},
        {QStringLiteral("BROKEN"), broken},
        {QStringLiteral("DIR"), mFolder.filePath(QStringLiteral("folder"))},
        {QStringLiteral("NOTHING"), mFolder.filePath(QStringLiteral("nothing.xprj"))}};
    for (QString& argument : arguments)
    {
        if (names.contains(argument))
            argument = names.value(argument);
        else if (argument.startsWith(QLatin1String("DIR/")))
            argument = names.value(QStringLiteral("DIR")) + argument.mid(3);
    }

    const QStringList watched{files[0], files[1], log};
    QList<QByteArray> bytes;
    QList<QDateTime> times;
    for (const QString& file : watched)
    {
        bytes << ReadFile(file);
        times << QFileInfo(file).lastModified();
    }
    const QStringList entries = QDir(mFolder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    const Run run = Merge(arguments);
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.startsWith(QStringLiteral("corvane-merge: ")), qPrintable(run.err));
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
    for (int i = 0; i < watched.size(); ++i)
    {
        QCOMPARE(ReadFile(watched[i]), bytes[i]);
        QCOMPARE(QFileInfo(watched[i]).lastModified(), times[i]);
    }
    QCOMPARE(QDir(mFolder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entries);
    QVERIFY(!QFile::exists(newLog));
}

// Given a project and a copy of it in another folder, each beside an image
// its pictures refer to relative to it: when the images are alike, the two
// compare identical (a picture is its reference as stored, and what the file
// holds); when one differs, the boxes that show it differ in their picture's
// content, which no copy of the reference can make equal, and the merge that
// tries says so once it has read back what it saved.
void tst_Merge::picturesAsTheyAreReferred()
{
    QStringList files;
    for (const QString& side : {QStringLiteral("a"), QStringLiteral("b")})
    {
        QDir(mFolder.path()).mkpath(side + QStringLiteral("/images"));
        files << mFolder.filePath(side + QStringLiteral("/gazette.xprj"));
        QFile::remove(files.last());
        QVERIFY(QFile::copy(Sample(QStringLiteral("harbour-gazette-v1.xprj")), files.last()));
        QFile::setPermissions(files.last(), QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(WriteFile(mFolder.filePath(side + QStringLiteral("/images/harbour-at-dawn.jpg")), "dawn"));
    }
    QCOMPARE(Execute(QStringLiteral(CORVANE_COMPARE), files).status, 0);

    QVERIFY(WriteFile(mFolder.filePath(QStringLiteral("b/images/harbour-at-dawn.jpg")), "dusk"));
    const Run compare = Execute(QStringLiteral(CORVANE_COMPARE), QStringList{QStringLiteral("--rows")} + files);
    QCOMPARE(compare.status, 1);
    QVERIFY2(compare.out.contains(QStringLiteral("Picture Content")), qPrintable(compare.out));
    const Run merge = Merge({QStringLiteral("--take"), QStringLiteral("right"), files[0], files[1]});
    QVERIFY2(merge.status == 1, qPrintable(merge.out + merge.err));
    QVERIFY2(merge.out.contains(QStringLiteral("! still differs: Layout/Print edition | Print edition/Boxes/Cover photo")),
             qPrintable(merge.out));
}

QTEST_GUILESS_MAIN(tst_Merge)

#include "tst_merge.moc"
