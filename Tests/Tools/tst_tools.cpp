// The command-line tools as a script uses them: their output, their exit
// status and their messages.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run Execute(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString Sample(const QString& name)
{
    return QDir(qEnvironmentVariable("CORVANE_SOURCE_DIR")).filePath(QStringLiteral("Samples/") + name);
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

class tst_Tools : public QObject
{
    Q_OBJECT

private slots:
    void compareReportsTheSamples();
    void compareIdenticalProjects();
    void compareRefusals_data();
    void compareRefusals();
    void refusalsPrintWhole();
    void generatorIsDeterministic();
    void generatorRefusesBadSizes();
    void diffPrintsRows();
    void diffCountsASingleRow();

private:
    QTemporaryDir mFolder;
};

void tst_Tools::compareReportsTheSamples()
{
    const Run run = Execute(QStringLiteral(CORVANE_COMPARE),
                            {QStringLiteral("--rows"), Sample(QStringLiteral("harbour-gazette-v1.xprj")),
                             Sample(QStringLiteral("harbour-gazette-v2.xprj"))});
    QCOMPARE(run.status, 1);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first(), QStringLiteral("harbour-gazette-v1.xprj | harbour-gazette-v2.xprj"));
    QVERIFY(lines.contains(QStringLiteral("    > Missing Layout | Layout 3  [>3]")));
    // A container ends with the counts of the differing items below it.
    QVERIFY(lines.contains(QStringLiteral("    = Layout 1 | Layout 1  [~4 <1 >6]")));
    QVERIFY(lines.contains(QStringLiteral("      Colors  [~2 <1 >1]")));
    QVERIFY(lines.contains(QStringLiteral("    ~ Story 3 | Story 3")));
    // The last line counts the items marked as differing.
    const QRegularExpression marked(QStringLiteral("^\\s*[<>~] "));
    int differing = 0;
    for (const QString& line : lines)
        differing += marked.match(line).hasMatch() ? 1 : 0;
    QCOMPARE(lines.last(), QStringLiteral("%1 differences").arg(differing));
    // The rows of an edited box name their property.
    QVERIFY(run.out.contains(QStringLiteral("row 1 Origin Down: \n              - 540 pt")));
    // The project pair's paths are not counted as a difference.
    QVERIFY(!run.out.contains(QStringLiteral("row 0 Path")));
    // Hidden text is written out on both sides, never as invisible units.
    QVERIFY(!run.out.contains(QChar(0x200B)));
    QVERIFY2(run.out.contains(QStringLiteral("\u27E6hidden: Walk leader confirmed: Ada Quayle.\u27E7")) &&
                 run.out.contains(QStringLiteral("\u27E6hidden: Walk leader to confirm.\u27E7")),
             qPrintable(run.out));
}

void tst_Tools::compareIdenticalProjects()
{
    // Two copies in one folder: picture paths resolve against the project's
    // folder, so a copy elsewhere would show other picture files.
    const QString original = mFolder.filePath(QStringLiteral("original.xprj"));
    const QString copy = mFolder.filePath(QStringLiteral("copy.xprj"));
    QVERIFY(QFile::copy(Sample(QStringLiteral("harbour-gazette-v1.xprj")), original));
    QVERIFY(QFile::copy(Sample(QStringLiteral("harbour-gazette-v1.xprj")), copy));
    const Run run = Execute(QStringLiteral(CORVANE_COMPARE), {original, copy});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QStringLiteral("original.xprj | copy.xprj\nidentical\n"));
}

void tst_Tools::compareRefusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString sample = Sample(QStringLiteral("harbour-gazette-v1.xprj"));
    QTest::newRow("missing file") << QStringList{sample, QStringLiteral("/nonexistent.xprj")}
                                  << QStringLiteral("corvane-compare: /nonexistent.xprj");
    QTest::newRow("not a project") << QStringList{Sample(QStringLiteral("text/left.txt")), sample}
                                   << QStringLiteral("corvane-compare: ") +
                                          Sample(QStringLiteral("text/left.txt"));
    QTest::newRow("one file") << QStringList{sample} << QStringLiteral("usage: corvane-compare");
}

void tst_Tools::compareRefusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Run run = Execute(QStringLiteral(CORVANE_COMPARE), arguments);
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.startsWith(message), qPrintable(run.err));
    QCOMPARE(run.out, QString());
}

// A message is printed with C string functions: control characters from the
// file are shown escaped, so a NUL does not cut the reason off.
void tst_Tools::refusalsPrintWhole()
{
    QFile sample(Sample(QStringLiteral("harbour-gazette-v1.xprj")));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    QByteArray content = sample.readAll();
    QVERIFY(content.contains("\"type\": \"XDOC\""));
    content.replace("\"type\": \"XDOC\"", "\"type\": \"\\u0000\\u0000\\u0000\\u0000\"");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nul.xprj"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();
    const Run run = Execute(QStringLiteral(CORVANE_COMPARE), {path, sample.fileName()});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains(QStringLiteral(
                 "layouts[0].type: \"\\u0000\\u0000\\u0000\\u0000\" is not a four-character code\n")),
             qPrintable(run.err));
}

void tst_Tools::generatorIsDeterministic()
{
    auto generate = [this](const QString& name, const QString& seed)
    {
        const QStringList files{mFolder.filePath(name + QStringLiteral("-l.xprj")),
                                mFolder.filePath(name + QStringLiteral("-r.xprj"))};
        const Run run =
            Execute(QStringLiteral(XTGEN), {QStringLiteral("--seed"), seed, QStringLiteral("--stories"),
                                            QStringLiteral("5"), files[0], files[1]});
        return run.status == 0 ? files : QStringList();
    };
    const QStringList first = generate(QStringLiteral("a"), QStringLiteral("7"));
    const QStringList again = generate(QStringLiteral("b"), QStringLiteral("7"));
    const QStringList other = generate(QStringLiteral("c"), QStringLiteral("8"));
    QCOMPARE(first.size(), 2);
    QCOMPARE(again.size(), 2);
    QCOMPARE(other.size(), 2);
    QCOMPARE(Contents(first[0]), Contents(again[0]));
    QCOMPARE(Contents(first[1]), Contents(again[1]));
    QVERIFY(Contents(first[0]) != Contents(first[1]));
    QVERIFY(Contents(first[0]) != Contents(other[0]));

    // The pair compares as a project and its changed twin.
    const Run run = Execute(QStringLiteral(CORVANE_COMPARE), first);
    QCOMPARE(run.status, 1);
}

void tst_Tools::generatorRefusesBadSizes()
{
    const Run run = Execute(QStringLiteral(XTGEN), {QStringLiteral("--edit-rate"), QStringLiteral("2"),
                                                    mFolder.filePath(QStringLiteral("x.xprj")),
                                                    mFolder.filePath(QStringLiteral("y.xprj"))});
    QVERIFY(run.status != 0);
    QVERIFY2(run.err.contains(QStringLiteral("--edit-rate")), qPrintable(run.err));
    QVERIFY(!QFile::exists(mFolder.filePath(QStringLiteral("x.xprj"))));
}

// One row is "1 row", not "1 rows".
void tst_Tools::diffCountsASingleRow()
{
    const QString left = mFolder.filePath(QStringLiteral("one-left.txt"));
    const QString right = mFolder.filePath(QStringLiteral("one-right.txt"));
    for (const auto& file :
         {std::make_pair(left, QByteArray("harbour")), std::make_pair(right, QByteArray("quay"))})
    {
        QFile out(file.first);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file.second);
    }
    const Run run = Execute(QStringLiteral(CORVANE_DIFF), {left, right});
    QCOMPARE(run.status, 0);
    QVERIFY2(run.out.contains(QStringLiteral("\n1 row, 1 with changes;")), qPrintable(run.out));
}

void tst_Tools::diffPrintsRows()
{
    const Run run = Execute(QStringLiteral(CORVANE_DIFF), {Sample(QStringLiteral("text/left.txt")),
                                                           Sample(QStringLiteral("text/right.txt"))});
    QCOMPARE(run.status, 0);
    // Rows in order, each span starting where the previous one ended.
    const QRegularExpression row(
        QStringLiteral("^#\\s*(\\d+) (same|change)\\s+left (\\d+)\\.\\.(\\d+)\\s+right (\\d+)\\.\\.(\\d+)$"),
        QRegularExpression::MultilineOption);
    int expectedRow = 1;
    int left = 0;
    int right = 0;
    int changes = 0;
    for (auto it = row.globalMatch(run.out); it.hasNext();)
    {
        const QRegularExpressionMatch m = it.next();
        QCOMPARE(m.captured(1).toInt(), expectedRow++);
        QCOMPARE(m.captured(3).toInt(), left);
        QCOMPARE(m.captured(5).toInt(), right);
        left = m.captured(4).toInt();
        right = m.captured(6).toInt();
        changes += m.captured(2) == QLatin1String("change") ? 1 : 0;
    }
    QVERIFY(expectedRow > 2);
    QVERIFY(changes > 0);
    QVERIFY(run.out.contains(QStringLiteral("[-refuse-]{+woul+}")));

    const Run missing = Execute(QStringLiteral(CORVANE_DIFF), {QStringLiteral("/nonexistent.txt"),
                                                               Sample(QStringLiteral("text/right.txt"))});
    QCOMPARE(missing.status, 1);
    QVERIFY(missing.err.startsWith(QStringLiteral("corvane-diff: cannot read /nonexistent.txt")));
}

QTEST_GUILESS_MAIN(tst_Tools)
#include "tst_tools.moc"
