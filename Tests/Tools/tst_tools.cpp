// The command-line tools as a script uses them: their output, their exit
// status and their messages.

#include "ToolRun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

QStringList SamplePair()
{
    return {Sample(QStringLiteral("harbour-gazette-v1.xprj")),
            Sample(QStringLiteral("harbour-gazette-v2.xprj"))};
}

bool IsBreak(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// A JSON row cell as a reader sees it in the other reports without their
// marks and pilcrows: no break at the end, every other break a new line.
QString ShownText(const QJsonObject& cell)
{
    QString text = cell.value(QStringLiteral("text")).toString();
    if (!text.isEmpty() && IsBreak(text.back()))
        text.chop(1);
    for (QChar& c : text)
        if (IsBreak(c))
            c = QLatin1Char('\n');
    return text;
}

// The text report's cell without its marks and pilcrows.
QString Unmarked(QString text)
{
    for (const char* mark : {"[-", "-]", "{+", "+}", "[*", "*]"})
        text.remove(QLatin1String(mark));
    text.remove(QChar(0xB6));
    return text;
}

} // namespace

class tst_Tools : public QObject
{
    Q_OBJECT

private slots:
    void compareReportsTheSamples();
    void compareWithItself_data();
    void compareWithItself();
    void textReport_data();
    void textReport();
    void jsonReportFollowsSchema();
    void jsonReportAgreesWithText_data();
    void jsonReportAgreesWithText();
    void htmlReportHoldsEveryChangedRow();
    void compareRefusals_data();
    void compareRefusals();
    void generatorIsDeterministic();
    void generatorRefusesBadSizes();
    void diffPrintsRows();
    void diffStatuses_data();
    void diffStatuses();
    void diffModes_data();
    void diffModes();

private:
    QTemporaryDir mFolder;
};

void tst_Tools::compareReportsTheSamples()
{
    const Run run = Execute(QStringLiteral(CORVANE_COMPARE),
                            QStringList{QStringLiteral("--rows"), QStringLiteral("--quiet")} + SamplePair());
    QCOMPARE(run.status, 1);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first(), QStringLiteral("harbour-gazette-v1.xprj | harbour-gazette-v2.xprj"));
    QVERIFY(lines.contains(QStringLiteral("    > Missing Layout | Tablet feature  [>3]")));
    // A container ends with the counts of the differing items below it.
    QVERIFY(lines.contains(QStringLiteral("    = Print edition | Print edition  [~5 <1 >6]")));
    QVERIFY(lines.contains(QStringLiteral("      Colors  [~2 <1 >1]")));
    QVERIFY(lines.contains(QStringLiteral("    ~ Story 3 | Story 3")));
    // The last line counts the items marked as differing.
    const QRegularExpression marked(QStringLiteral("^\\s*[<>~] "));
    int differing = 0;
    for (const QString& line : lines)
        differing += marked.match(line).hasMatch() ? 1 : 0;
    QCOMPARE(lines.last(), QStringLiteral("%1 differences").arg(differing));
    // The rows of an edited box name their property and are numbered from 1,
    // as the explorer counts them.
    QVERIFY2(run.out.contains(QStringLiteral("row 2 Origin Down\n              - [-540 pt-]\n")),
             qPrintable(run.out));
    // The project pair's paths are not counted as a difference.
    QVERIFY(!run.out.contains(QStringLiteral("row 0 Path")));
    // Hidden text is written out on both sides, never as invisible units.
    QVERIFY(!run.out.contains(QChar(0x200B)));
    QVERIFY2(run.out.contains(QStringLiteral("\u27E6hidden: Walk leader confirmed: Ada Quayle.\u27E7")) &&
                 run.out.contains(QStringLiteral("\u27E6hidden: Walk leader to confirm.\u27E7")),
             qPrintable(run.out));
}

// Two names of one file compare the file with itself, as "diff a a" does:
// identical, however the file is named; so do two copies of a file in one
// folder (picture paths resolve against the project's folder, so a copy
// elsewhere would show other picture files).
void tst_Tools::compareWithItself_data()
{
    QTest::addColumn<QString>("original");
    QTest::addColumn<QString>("other");
    const QString original = Sample(QStringLiteral("harbour-gazette-v2.xprj"));
    QTest::newRow("the same path") << original << original;
    QTest::newRow("another spelling")
        << original
        << QFileInfo(original).absolutePath() + QStringLiteral("/../Samples/harbour-gazette-v2.xprj");
    const QString link = mFolder.filePath(QStringLiteral("link.xprj"));
    QFile::link(original, link);
    QTest::newRow("a symbolic link") << original << link;
    const QString first = mFolder.filePath(QStringLiteral("original.xprj"));
    const QString copy = mFolder.filePath(QStringLiteral("copy.xprj"));
    QFile::copy(Sample(QStringLiteral("harbour-gazette-v1.xprj")), first);
    QFile::copy(Sample(QStringLiteral("harbour-gazette-v1.xprj")), copy);
    QTest::newRow("two copies") << first << copy;
}

void tst_Tools::compareWithItself()
{
    QFETCH(QString, original);
    QFETCH(QString, other);
    QVERIFY(QFileInfo::exists(other));
    for (const QString& format : {QStringLiteral("text"), QStringLiteral("json")})
    {
        const Run run = Execute(QStringLiteral(CORVANE_COMPARE),
                                {QStringLiteral("--format=") + format, QStringLiteral("--rows"),
                                 QStringLiteral("--all"), original, other});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.status, 0);
        if (format == QLatin1String("text"))
        {
            QVERIFY(run.out.endsWith(QStringLiteral("\nidentical\n")));
            QVERIFY2(!QRegularExpression(QStringLiteral("^\\s*[<>~] "), QRegularExpression::MultilineOption)
                          .match(run.out)
                          .hasMatch(),
                     qPrintable(run.out));
            continue;
        }
        const QJsonObject report = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(report.value(QStringLiteral("identical")).toBool(false), true);
        // Every item of the project, each paired with itself.
        const QJsonArray items = report.value(QStringLiteral("items")).toArray();
        QVERIFY(items.size() > 40);
        for (const QJsonValue& item : items)
            QVERIFY(item.toObject().value(QStringLiteral("status")).toString() ==
                        QLatin1String("identical") ||
                    item.toObject().value(QStringLiteral("status")).toString() == QLatin1String("none"));
    }
}

void tst_Tools::textReport_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QString legend = QStringLiteral("legend: = identical, ~ edited, < only left, > only right;");
    QTest::newRow("legend first") << QStringList{}
                                  << QStringList{QStringLiteral("\\A") + legend,
                                                 QStringLiteral(
                                                     "\nharbour-gazette-v1.xprj | harbour-gazette-v2.xprj\n")}
                                  << QStringList{QStringLiteral("row 1")};
    QTest::newRow("quiet: no legend")
        << QStringList{QStringLiteral("--quiet")}
        << QStringList{QStringLiteral("\\Aharbour-gazette-v1.xprj | harbour-gazette-v2.xprj\n")}
        << QStringList{QStringLiteral("legend")};
    // A property value that changes is one token, marked whole; its end is no
    // pilcrow; an asset's description keeps its line break.
    QTest::newRow("property rows")
        << QStringList{QStringLiteral("--rows")}
        << QStringList{QStringLiteral("\n            row 4 Height\n              - [-388 pt-]\n"
                                      "              + {+428 pt+}\n"),
                       QStringLiteral("row 1 Description\n            - [-Minion 10 pt on 12 pt\n"
                                      "              justified, first line indent 12 pt-]\n"),
                       QStringLiteral("+ {+CMYK 60%, 0%, 80%, 30%\n              Spot colour+}\n")}
        << QStringList{QStringLiteral("ptjustified"), QStringLiteral("30%Spot"), QStringLiteral("pt\u00B6"),
                       QStringLiteral("row 0")};
    // Story rows mark the changed words on each side, and text formatted
    // otherwise, saying how; a paragraph end inside a change shows as a
    // pilcrow, the one that ends a row not at all.
    QTest::newRow("story rows")
        << QStringList{QStringLiteral("--rows")}
        << QStringList{QStringLiteral("    ~ Story 3 | Story 3\n        row 1\n          - [*Spring*] has come"),
                       QStringLiteral("          + [*Spring*] has come"),
                       QStringLiteral("          * font DejaVu Serif \u2192 DejaVu Serif Bold\n        row 2\n"
                                      "          - This issue looks at "
                                      "the new ferry timetable, which adds [-two-] crossings"),
                       QStringLiteral("          + This issue looks at the new ferry timetable, which adds "
                                      "{+three+} crossings"),
                       QStringLiteral("old net loft.{+\u00B6\n            Thursday: lantern-making "
                                      "workshop, bring a jam jar.+}\n")}
        << QStringList{QStringLiteral("Fridays.\u00B6")};
    QTest::newRow("hidden text") << QStringList{QStringLiteral("--rows")}
                                 << QStringList{QStringLiteral("at 2 pm.[-\u27E6hidden: Walk leader to "
                                                               "confirm.\u27E7-]\n"),
                                                QStringLiteral("at 2 pm.{+\u27E6hidden: Walk leader "
                                                               "confirmed: Ada Quayle.\u27E7+}\n")}
                                 << QStringList{QStringLiteral("\u200B")};
    QTest::newRow("colour always") << QStringList{QStringLiteral("--rows"), QStringLiteral("--color=always")}
                                   << QStringList{QStringLiteral("- \x1b[1;31m388 pt\x1b[0m\n"),
                                                  QStringLiteral("adds \x1b[1;32mthree\x1b[0m crossings")}
                                   << QStringList{QStringLiteral("[-"), QStringLiteral("{+")};
    // The test's output is a pipe, not a terminal.
    QTest::newRow("colour auto") << QStringList{QStringLiteral("--rows"), QStringLiteral("--color=auto")}
                                 << QStringList{QStringLiteral("[-388 pt-]")}
                                 << QStringList{QStringLiteral("\x1b[")};
    QTest::newRow("colour never") << QStringList{QStringLiteral("--rows"), QStringLiteral("--color=never")}
                                  << QStringList{QStringLiteral("{+428 pt+}")}
                                  << QStringList{QStringLiteral("\x1b[")};
}

// Each `present` text is in the report (\A: at its start), no `absent` one is.
void tst_Tools::textReport()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    const Run run = Execute(QStringLiteral(CORVANE_COMPARE), options + SamplePair());
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 1);
    for (const QString& text : present)
    {
        if (text.startsWith(QLatin1String("\\A")))
            QVERIFY2(run.out.startsWith(text.mid(2)), qPrintable(text + QStringLiteral(" in:\n") + run.out));
        else
            QVERIFY2(run.out.contains(text), qPrintable(text + QStringLiteral(" in:\n") + run.out));
    }
    for (const QString& text : absent)
        QVERIFY2(!run.out.contains(text), qPrintable(text + QStringLiteral(" in:\n") + run.out));
}

// Validated by Debian's python3-jsonschema (scripts/setup installs it).
void tst_Tools::jsonReportFollowsSchema()
{
    QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo::exists(python))
        python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    const Run probe = Execute(python, {QStringLiteral("-c"), QStringLiteral("import jsonschema")});
    if (probe.status != 0)
        QSKIP("python3 with jsonschema is missing: run scripts/setup");
    const QString schema = QDir(qEnvironmentVariable("CORVANE_SOURCE_DIR"))
                               .filePath(QStringLiteral("Tools/corvane-compare/report.schema.json"));
    const char validate[] = "import json, sys, jsonschema\n"
                            "schema = json.load(open(sys.argv[1]))\n"
                            "jsonschema.Draft7Validator.check_schema(schema)\n"
                            "for path in sys.argv[2:]:\n"
                            "    jsonschema.validate(json.load(open(path, encoding='utf-8')), schema)\n"
                            "    print(path)\n";
    // The samples with and without rows, a pair with itself, a generated pair.
    QStringList reports;
    QList<QStringList> cases{{QStringLiteral("--rows")}, {QStringLiteral("--all")}};
    const QStringList generated{mFolder.filePath(QStringLiteral("schema-l.xprj")),
                                mFolder.filePath(QStringLiteral("schema-r.xprj"))};
    QCOMPARE(Execute(QStringLiteral(XTGEN),
                     QStringList{QStringLiteral("--stories"), QStringLiteral("20")} + generated)
                 .status,
             0);
    for (int i = 0; i < 4; ++i)
    {
        const QStringList files = i < 2    ? SamplePair()
                                  : i == 2 ? QStringList{SamplePair()[0], SamplePair()[0]}
                                           : generated;
        const QString report = mFolder.filePath(QStringLiteral("report-%1.json").arg(i));
        const Run run = Execute(QStringLiteral(CORVANE_COMPARE),
                                QStringList{QStringLiteral("--format"), QStringLiteral("json"),
                                            QStringLiteral("--rows"), QStringLiteral("--output"), report} +
                                    (i == 1 ? QStringList{QStringLiteral("--all")} : QStringList{}) + files);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.out, QString());
        QCOMPARE(run.status, i == 2 ? 0 : 1);
        reports << report;
    }
    const Run run =
        Execute(python, QStringList{QStringLiteral("-c"), QString::fromLatin1(validate), schema} + reports);
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(run.out.count(QLatin1Char('\n')), reports.size());

    // The validator is not one that accepts anything.
    QByteArray broken = ReadFile(reports.first());
    QVERIFY(broken.contains("\"status\": \"edited\""));
    broken.replace("\"status\": \"edited\"", "\"status\": \"changed\"");
    QVERIFY(WriteFile(reports.first(), broken));
    QVERIFY(Execute(python,
                    QStringList{QStringLiteral("-c"), QString::fromLatin1(validate), schema, reports.first()})
                .status != 0);
}

void tst_Tools::jsonReportAgreesWithText_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("differences") << QStringList{} << SamplePair();
    QTest::newRow("differences with rows") << QStringList{QStringLiteral("--rows")} << SamplePair();
    QTest::newRow("every item with rows")
        << QStringList{QStringLiteral("--rows"), QStringLiteral("--all")} << SamplePair();
    const QStringList generated{mFolder.filePath(QStringLiteral("agree-l.xprj")),
                                mFolder.filePath(QStringLiteral("agree-r.xprj"))};
    Execute(QStringLiteral(XTGEN),
            QStringList{QStringLiteral("--seed"), QStringLiteral("3"), QStringLiteral("--stories"),
                        QStringLiteral("40"), QStringLiteral("--edit-rate"), QStringLiteral("0.3")} +
                generated);
    QTest::newRow("a generated pair with rows") << QStringList{QStringLiteral("--rows")} << generated;
}

// Item for item and row for row: the text report's lines, read back, are the
// JSON report's items.
void tst_Tools::jsonReportAgreesWithText()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, files);
    const Run text =
        Execute(QStringLiteral(CORVANE_COMPARE), options + QStringList{QStringLiteral("--quiet")} + files);
    const Run json = Execute(QStringLiteral(CORVANE_COMPARE),
                             options + QStringList{QStringLiteral("--format=json")} + files);
    QCOMPARE(text.status, 1);
    QCOMPARE(json.status, 1);
    QJsonParseError error;
    const QJsonObject report = QJsonDocument::fromJson(json.out.toUtf8(), &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    QCOMPARE(report.value(QStringLiteral("schema")).toInt(), 2);
    QCOMPARE(report.value(QStringLiteral("left")).toObject().value(QStringLiteral("file")).toString(),
             files[0]);

    const QStringList lines = text.out.split(QLatin1Char('\n'));
    const QJsonArray items = report.value(QStringLiteral("items")).toArray();
    const QHash<QString, QString> marks{{QStringLiteral("identical"), QStringLiteral("=")},
                                        {QStringLiteral("edited"), QStringLiteral("~")},
                                        {QStringLiteral("onlyLeft"), QStringLiteral("<")},
                                        {QStringLiteral("onlyRight"), QStringLiteral(">")},
                                        {QStringLiteral("none"), QStringLiteral(" ")}};
    int line = 0;
    int rows = 0;
    for (const QJsonValue& value : items)
    {
        const QJsonObject item = value.toObject();
        const int depth = item.value(QStringLiteral("depth")).toInt();
        const QString name = item.value(QStringLiteral("name")).toString();
        QVERIFY(line < lines.size());
        QCOMPARE(item.value(QStringLiteral("path")).toArray().last().toString(), name);
        QCOMPARE(item.value(QStringLiteral("path")).toArray().size(), depth + 1);
        if (depth == 0)
        {
            QCOMPARE(lines.at(line++), name);
            continue;
        }
        const QJsonObject counts = item.value(QStringLiteral("counts")).toObject();
        QStringList rollup;
        if (counts.value(QStringLiteral("edited")).toInt())
            rollup << QStringLiteral("~%1").arg(counts.value(QStringLiteral("edited")).toInt());
        if (counts.value(QStringLiteral("onlyLeft")).toInt())
            rollup << QStringLiteral("<%1").arg(counts.value(QStringLiteral("onlyLeft")).toInt());
        if (counts.value(QStringLiteral("onlyRight")).toInt())
            rollup << QStringLiteral(">%1").arg(counts.value(QStringLiteral("onlyRight")).toInt());
        QCOMPARE(
            lines.at(line++),
            QString(depth * 2, QLatin1Char(' ')) +
                marks.value(item.value(QStringLiteral("status")).toString(), QStringLiteral("?")) +
                QLatin1Char(' ') + name +
                (rollup.isEmpty() ? QString() : QStringLiteral("  [%1]").arg(rollup.join(QLatin1Char(' ')))));
        const QString indent((depth + 1) * 2 + 2, QLatin1Char(' '));
        for (const QJsonValue& rowValue : item.value(QStringLiteral("rows")).toArray())
        {
            const QJsonObject row = rowValue.toObject();
            const QString rowName = row.value(QStringLiteral("name")).toString();
            QCOMPARE(lines.at(line++),
                     indent + QStringLiteral("row %1").arg(row.value(QStringLiteral("row")).toInt()) +
                         (rowName.isEmpty() ? QString() : QLatin1Char(' ') + rowName));
            for (const QString& side : {QStringLiteral("left"), QStringLiteral("right")})
            {
                const QJsonObject cell = row.value(side).toObject();
                const QStringList shown = ShownText(cell).split(QLatin1Char('\n'));
                QString printed = lines.at(line++);
                const QString lead = indent + (side == QLatin1String("left") ? QStringLiteral("  - ")
                                                                             : QStringLiteral("  + "));
                QVERIFY2(printed.startsWith(lead), qPrintable(printed));
                printed = printed.mid(lead.size());
                for (int more = 1; more < shown.size(); ++more)
                    printed += QLatin1Char('\n') + lines.at(line++).mid(lead.size());
                QCOMPARE(Unmarked(printed), shown.join(QLatin1Char('\n')));
                QCOMPARE(printed.count(QStringLiteral("[*")), cell.value(QStringLiteral("restyled")).toArray().size());
                QCOMPARE(printed.count(side == QLatin1String("left") ? QStringLiteral("[-")
                                                                     : QStringLiteral("{+")),
                         cell.value(QStringLiteral("changes")).toArray().size());
                // The range is the text's span, hidden text written out aside.
                QVERIFY(cell.value(QStringLiteral("end")).toInt() >=
                        cell.value(QStringLiteral("start")).toInt());
            }
            // Then how the formatting differs, line by line.
            for (const QJsonValue& formatting : row.value(QStringLiteral("formatting")).toArray())
                QCOMPARE(lines.at(line++), indent + QStringLiteral("  * ") + formatting.toString());
            ++rows;
        }
    }
    QCOMPARE(lines.at(line++),
             QStringLiteral("%1 differences").arg(report.value(QStringLiteral("differences")).toInt()));
    QCOMPARE(lines.at(line++), QString());
    QCOMPARE(line, lines.size());
    QCOMPARE(rows > 0, options.contains(QStringLiteral("--rows")));
}

// The HTML parses as XML (it is XHTML) and holds every changed row of the
// JSON report, each side in its cell, with as many changes marked.
void tst_Tools::htmlReportHoldsEveryChangedRow()
{
    const QString page = mFolder.filePath(QStringLiteral("report.html"));
    const Run html = Execute(
        QStringLiteral(CORVANE_COMPARE),
        QStringList{QStringLiteral("--format=html"), QStringLiteral("--rows"), QStringLiteral("-o"), page} +
            SamplePair());
    QCOMPARE(html.err, QString());
    QCOMPARE(html.status, 1);
    const Run json =
        Execute(QStringLiteral(CORVANE_COMPARE),
                QStringList{QStringLiteral("--format=json"), QStringLiteral("--rows")} + SamplePair());
    const QJsonObject report = QJsonDocument::fromJson(json.out.toUtf8()).object();

    // The cells of the change rows: their text (<br/> a line break) and the
    // number of changed stretches in them.
    struct Cell
    {
        QString text;
        int changes = 0;
    };
    QVector<QPair<Cell, Cell>> cells;
    int details = 0;
    int scripts = 0;
    QXmlStreamReader reader(ReadFile(page));
    Cell* cell = nullptr;
    QString cellClass;
    while (!reader.atEnd())
    {
        reader.readNext();
        if (reader.isStartElement())
        {
            const QString name = reader.name().toString();
            const QString classes = reader.attributes().value(QStringLiteral("class")).toString();
            details += name == QLatin1String("details") ? 1 : 0;
            scripts += name == QLatin1String("script") ? 1 : 0;
            if (name == QLatin1String("tr") && classes == QLatin1String("change"))
                cells.append(QPair<Cell, Cell>());
            else if (name == QLatin1String("td") && !cells.isEmpty() &&
                     (classes == QLatin1String("l") || classes == QLatin1String("r")))
                cell = classes == QLatin1String("l") ? &cells.last().first : &cells.last().second;
            else if (cell && name == QLatin1String("br"))
                cell->text += QLatin1Char('\n');
            else if (cell && name == QLatin1String("span") &&
                     classes.split(QLatin1Char(' ')).contains(QStringLiteral("x")))
                ++cell->changes;
        }
        else if (reader.isEndElement() && reader.name() == QLatin1String("td"))
            cell = nullptr;
        else if (reader.isCharacters() && cell)
            cell->text += reader.text();
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    QVERIFY(details > 10);
    QCOMPARE(scripts, 0);

    int row = 0;
    for (const QJsonValue& item : report.value(QStringLiteral("items")).toArray())
        for (const QJsonValue& value : item.toObject().value(QStringLiteral("rows")).toArray())
        {
            QVERIFY(row < cells.size());
            const QJsonObject left = value.toObject().value(QStringLiteral("left")).toObject();
            const QJsonObject right = value.toObject().value(QStringLiteral("right")).toObject();
            QCOMPARE(QString(cells[row].first.text).remove(QChar(0xB6)), ShownText(left));
            QCOMPARE(QString(cells[row].second.text).remove(QChar(0xB6)), ShownText(right));
            QCOMPARE(cells[row].first.changes, left.value(QStringLiteral("changes")).toArray().size());
            QCOMPARE(cells[row].second.changes, right.value(QStringLiteral("changes")).toArray().size());
            ++row;
        }
    QCOMPARE(row, cells.size());
    QVERIFY(row >= 10);
}

void tst_Tools::compareRefusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString sample = Sample(QStringLiteral("harbour-gazette-v1.xprj"));
    const QString other = Sample(QStringLiteral("harbour-gazette-v2.xprj"));
    const QString copy = mFolder.filePath(QStringLiteral("refusal-input.xprj"));
    QFile::copy(sample, copy);
    QTest::newRow("missing file") << QStringList{sample, QStringLiteral("/nonexistent.xprj")}
                                  << QStringLiteral("corvane-compare: /nonexistent.xprj: no such file\n");
    QTest::newRow("not a project") << QStringList{Sample(QStringLiteral("text/left.txt")), sample}
                                   << QStringLiteral("corvane-compare: ") +
                                          Sample(QStringLiteral("text/left.txt"));
    QTest::newRow("a folder") << QStringList{Sample(QStringLiteral("text")), sample}
                              << QStringLiteral("corvane-compare: %1: is a folder, not a project file\n")
                                     .arg(Sample(QStringLiteral("text")));
    QTest::newRow("one file") << QStringList{sample}
                              << QStringLiteral(
                                     "corvane-compare: expected two project files, LEFT and RIGHT, "
                                     "got 1\nTry 'corvane-compare --help'.\n");
    QTest::newRow("three files") << QStringList{sample, other, sample}
                                 << QStringLiteral("corvane-compare: expected two project files, LEFT and "
                                                   "RIGHT, got 3\n");
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus"), sample, other}
                                    << QStringLiteral("corvane-compare: unknown option '--bogus'\n");
    QTest::newRow("unknown short option") << QStringList{sample, QStringLiteral("-x"), other}
                                          << QStringLiteral("corvane-compare: unknown option '-x'\n");
    QTest::newRow("unknown format") << QStringList{QStringLiteral("--format=xml"), sample, other}
                                    << QStringLiteral(
                                           "corvane-compare: option '--format': 'xml' is not text, "
                                           "json or html\n");
    QTest::newRow("format without its value")
        << QStringList{sample, other, QStringLiteral("--format")}
        << QStringLiteral("corvane-compare: option '--format' needs a value: text, json or html\n");
    QTest::newRow("unknown colour") << QStringList{QStringLiteral("--color=sometimes"), sample, other}
                                    << QStringLiteral("corvane-compare: option '--color': 'sometimes' is not "
                                                      "auto, always or never\n");
    QTest::newRow("a value for a switch")
        << QStringList{QStringLiteral("--rows=yes"), sample, other}
        << QStringLiteral("corvane-compare: option '--rows' takes no value\n");
    QTest::newRow("output over an input")
        << QStringList{QStringLiteral("--output"), copy, copy, other}
        << QStringLiteral("corvane-compare: %1: the output is also an input, which it would overwrite\n")
               .arg(copy);
    QTest::newRow("output is a folder")
        << QStringList{QStringLiteral("-o"), mFolder.path(), sample, other}
        << QStringLiteral("corvane-compare: %1: the output is a folder\n").arg(mFolder.path());
    // A message is printed with C string functions: control characters from
    // the file are shown escaped, so a NUL does not cut the reason off.
    const QString nul = mFolder.filePath(QStringLiteral("nul.xprj"));
    WriteFile(nul,
              ReadFile(sample).replace("\"type\": \"XDOC\"", "\"type\": \"\\u0000\\u0000\\u0000\\u0000\""));
    QTest::newRow("NUL characters in the file")
        << QStringList{nul, sample}
        << QStringLiteral("corvane-compare: %1: layouts[0].type: \"\\u0000\\u0000\\u0000\\u0000\" is not a "
                          "four-character code\n")
               .arg(nul);
    QTest::newRow("output in a missing folder")
        << QStringList{QStringLiteral("--output=") + mFolder.filePath(QStringLiteral("none/report.txt")),
                       sample, other}
        << QStringLiteral("corvane-compare: %1: ").arg(mFolder.filePath(QStringLiteral("none/report.txt")));
}

// Refused with the message and exit status 2, and nothing written: no
// report on the standard output, no output file, the inputs as they were.
void tst_Tools::compareRefusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const QDir folder(mFolder.path());
    const QStringList before = folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    const QByteArray input = ReadFile(mFolder.filePath(QStringLiteral("refusal-input.xprj")));
    const Run run = Execute(QStringLiteral(CORVANE_COMPARE), arguments);
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.startsWith(message), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QCOMPARE(folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name), before);
    QCOMPARE(ReadFile(mFolder.filePath(QStringLiteral("refusal-input.xprj"))), input);
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
    QCOMPARE(ReadFile(first[0]), ReadFile(again[0]));
    QCOMPARE(ReadFile(first[1]), ReadFile(again[1]));
    QVERIFY(ReadFile(first[0]) != ReadFile(first[1]));
    QVERIFY(ReadFile(first[0]) != ReadFile(other[0]));

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

void tst_Tools::diffPrintsRows()
{
    const Run run = Execute(QStringLiteral(CORVANE_DIFF), {Sample(QStringLiteral("text/left.txt")),
                                                           Sample(QStringLiteral("text/right.txt"))});
    QCOMPARE(run.status, 1);
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
}

// The exit status of diff: 0 the same text, 1 different texts, 2 trouble;
// binary input is trouble, refused with a message and no rows. The message
// of a text compared is in its summary (one row is "1 row", not "1 rows").
void tst_Tools::diffStatuses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QString left = Sample(QStringLiteral("text/left.txt"));
    const QString right = Sample(QStringLiteral("text/right.txt"));
    auto file = [this](const QString& name, const QByteArray& bytes)
    {
        const QString path = mFolder.filePath(name);
        WriteFile(path, bytes);
        return path;
    };
    const QString copy = file(QStringLiteral("left-copy.txt"), ReadFile(left));
    const QString crlf = file(QStringLiteral("crlf.txt"), "harbour\r\nquay\r\n");
    const QString lf = file(QStringLiteral("lf.txt"), "harbour\nquay\n");
    const QString nul = file(QStringLiteral("nul.txt"), QByteArray("tide\0quay", 9));
    const QString latin1 = file(QStringLiteral("latin1.txt"), "caf\xe9 on the quay\n");
    const QString overlong = file(QStringLiteral("overlong.txt"), "a\xc0\xaf"
                                                                  "b");
    const QString surrogate = file(QStringLiteral("surrogate.txt"), "a\xed\xa0\x80"
                                                                    "b");
    const QString cut = file(QStringLiteral("cut.txt"), "quay \xe2\x82");
    const QString empty = file(QStringLiteral("empty.txt"), QByteArray());
    const QString utf8 = file(QStringLiteral("utf8.txt"), "\xef\xbb\xbf\xe2\x80\x94 Mary, Upper Quay\n");

    QTest::newRow("the same text") << QStringList{left, copy} << 0 << QString();
    QTest::newRow("the same lines, other line ends") << QStringList{crlf, lf} << 0 << QString();
    QTest::newRow("two empty files") << QStringList{empty, empty} << 0 << QString();
    QTest::newRow("different texts") << QStringList{left, right} << 1 << QString();
    QTest::newRow("one row") << QStringList{file(QStringLiteral("one-left.txt"), "harbour"),
                                            file(QStringLiteral("one-right.txt"), "quay")}
                             << 1 << QStringLiteral("\n1 row, 1 with changes;");
    QTest::newRow("UTF-8 with a byte order mark") << QStringList{utf8, lf} << 1 << QString();
    QTest::newRow("a missing file") << QStringList{left, QStringLiteral("/nonexistent.txt")} << 2
                                    << QStringLiteral(
                                           "corvane-diff: cannot read /nonexistent.txt: no such file\n");
    QTest::newRow("a folder")
        << QStringList{mFolder.path(), left} << 2
        << QStringLiteral("corvane-diff: cannot read %1: is a folder\n").arg(mFolder.path());
    QTest::newRow("a NUL byte") << QStringList{left, nul} << 2
                                << QStringLiteral("corvane-diff: %1 is binary (a NUL byte at offset 4), not "
                                                  "text\n")
                                       .arg(nul);
    QTest::newRow("Latin-1")
        << QStringList{latin1, left} << 2
        << QStringLiteral("corvane-diff: %1 is not UTF-8 text (an invalid byte at offset 3)\n").arg(latin1);
    QTest::newRow("an overlong encoding")
        << QStringList{left, overlong} << 2
        << QStringLiteral("corvane-diff: %1 is not UTF-8 text (an invalid byte "
                          "at offset 1)\n")
               .arg(overlong);
    QTest::newRow("an encoded surrogate")
        << QStringList{surrogate, left} << 2
        << QStringLiteral("corvane-diff: %1 is not UTF-8 text (an invalid byte "
                          "at offset 1)\n")
               .arg(surrogate);
    QTest::newRow("a sequence cut short")
        << QStringList{cut, left} << 2
        << QStringLiteral("corvane-diff: %1 is not UTF-8 text (an invalid byte "
                          "at offset 5)\n")
               .arg(cut);
    QTest::newRow("an unknown option") << QStringList{QStringLiteral("--bogus"), left, right} << 2
                                       << QStringLiteral("corvane-diff: Unknown option 'bogus'.");
    QTest::newRow("one file") << QStringList{left} << 2
                              << QStringLiteral("corvane-diff: expected two files, LEFT and RIGHT, got 1");
}

void tst_Tools::diffStatuses()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    const Run run = Execute(QStringLiteral(CORVANE_DIFF), arguments);
    QCOMPARE(run.status, status);
    if (status == 2)
    {
        QVERIFY2(run.err.startsWith(message), qPrintable(run.err));
        QCOMPARE(run.out, QString());
        return;
    }
    QCOMPARE(run.err, QString());
    const QRegularExpression summary(QStringLiteral("\\n?(\\d+) rows?, (\\d+) with changes;"));
    const QRegularExpressionMatch counts = summary.match(run.out);
    QVERIFY2(counts.hasMatch(), qPrintable(run.out));
    QCOMPARE(counts.captured(2).toInt() > 0, status == 1);
    QVERIFY2(run.out.contains(message), qPrintable(run.out));
}

// The same two files in each mode: characters (the default), whole words as
// the window compares a story when its setting says words, and one row per
// line as for a property list, which words do not go with.
void tst_Tools::diffModes_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    const QString rows = QStringLiteral("#  1 change left 0..19         right 0..18\n    %1\n"
                                        "#  2 change left 19..27        right 18..26\n    %2\n"
                                        "2 rows, 2 with changes; left 27 units, right 26 units\n");
    const QString words = QStringLiteral("The [-harbour-]{+harbor+} opened");
    const QString letters = QStringLiteral("The harbo[-u-]r opened");
    const QString wordsBetween = QStringLiteral("[-ab-]{+xy+} c [-ef-]{+zw+}");
    QTest::newRow("characters") << QStringList() << 1
                                << rows.arg(letters, QStringLiteral("[-ab c ef-]{+xy c zw+}"));
    QTest::newRow("words") << QStringList{QStringLiteral("--words")} << 1 << rows.arg(words, wordsBetween);
    QTest::newRow("lines") << QStringList{QStringLiteral("--lines")} << 1 << rows.arg(letters, wordsBetween);
    QTest::newRow("words and lines") << QStringList{QStringLiteral("--lines"), QStringLiteral("--words")} << 2
                                     << QString();
}

void tst_Tools::diffModes()
{
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QString, output);
    const QString left = mFolder.filePath(QStringLiteral("modes-left.txt"));
    const QString right = mFolder.filePath(QStringLiteral("modes-right.txt"));
    QVERIFY(WriteFile(left, "The harbour opened\nab c ef\n"));
    QVERIFY(WriteFile(right, "The harbor opened\nxy c zw\n"));
    const Run run = Execute(QStringLiteral(CORVANE_DIFF), options + QStringList{left, right});
    QCOMPARE(run.status, status);
    QCOMPARE(run.out, output);
    if (status == 2)
        QVERIFY2(run.err.startsWith(QStringLiteral("corvane-diff: --words and --lines do not go together")),
                 qPrintable(run.err));
    else
        QCOMPARE(run.err, QString());
}

QTEST_GUILESS_MAIN(tst_Tools)
#include "tst_tools.moc"
