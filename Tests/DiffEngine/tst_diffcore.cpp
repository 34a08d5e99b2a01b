#include "DiffEngine.h"
#include "DiffTestSupport.h"
#include "ReferencePathSearch.h"

#include <QtTest/QtTest>

#include <limits>

using namespace TextDiff;
using DiffTestSupport::del;
using DiffTestSupport::describe;
using DiffTestSupport::eq;
using DiffTestSupport::ins;

namespace
{

// diff_halfMatchI written plainly: every occurrence of the seed, found one after the other.
QStringList plainHalfMatchI(const QString& longtext, const QString& shorttext, int i)
{
    const QString seed = longtext.mid(i, longtext.length() / 4);
    int j = -1;
    QString bestCommon;
    QStringList best;
    while ((j = shorttext.indexOf(seed, j + 1)) != -1)
    {
        int prefix = 0;
        while (i + prefix < longtext.length() && j + prefix < shorttext.length() &&
               longtext[i + prefix] == shorttext[j + prefix])
        {
            ++prefix;
        }
        int suffix = 0;
        while (suffix < i && suffix < j && longtext[i - 1 - suffix] == shorttext[j - 1 - suffix])
        {
            ++suffix;
        }
        if (bestCommon.length() < prefix + suffix)
        {
            bestCommon = shorttext.mid(j - suffix, suffix) + shorttext.mid(j, prefix);
            best = QStringList{longtext.left(i - suffix), longtext.mid(i + prefix),
                               shorttext.left(j - suffix), shorttext.mid(j + prefix), bestCommon};
        }
    }
    return bestCommon.length() * 2 >= longtext.length() ? best : QStringList();
}

} // namespace

class TestDiffCore : public QObject
{
    Q_OBJECT

private slots:
    void diffMain_data();
    void diffMain();
    void halfMatch_data();
    void halfMatch();
    void halfMatchOnRepetitiveTexts_data();
    void halfMatchOnRepetitiveTexts();
    void containmentPastTheSearchBudget_data();
    void containmentPastTheSearchBudget();
    void repetitiveLargeTextsStayLinear();
    void linesToChars();
    void linesToCharsBeyondOneCodeUnit();
    void lineModeRediffsReplacements();
    void timeLimitFallsBackToDeleteAndInsert();
    void splitSearchStaysShortest_data();
    void splitSearchStaysShortest();
    void splitSearchOnLargerTexts_data();
    void splitSearchOnLargerTexts();
    void timeLimitStopsTheSplitSearch();
    void pathSearchMatchesReference_data();
    void pathSearchMatchesReference();
    void inconsistentFrontsThrow();
    void diffRecord();
};

void TestDiffCore::diffMain_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QList<Diff>>("expected");
    auto row = [](const char* name, const QString& text1, const QString& text2, const QList<Diff>& expected)
    { QTest::newRow(name) << text1 << text2 << expected; };
    row("both empty", "", "", {eq("")});
    row("equal texts", "abc", "abc", {eq("abc")});
    row("empty first text", "", "abc", {ins("abc")});
    row("empty second text", "abc", "", {del("abc")});
    row("last character deleted", "abc", "ab", {eq("ab"), del("c")});
    row("text inside a longer one", "abc", "xabcy", {ins("x"), eq("abc"), ins("y")});
    row("longer one around it", "xabcy", "abc", {del("x"), eq("abc"), del("y")});
    row("two insertions", "abc", "ab123c", {eq("ab"), ins("123"), eq("c")});
    row("nothing in common", "a", "b", {del("a"), ins("b")});
    row("short texts through the path search", QString::fromUtf16(u"ax\t"),
        QString::fromUtf16(u"\x0680x\0", 3),
        {del("a"), ins(QString(QChar(0x680))), eq("x"), del("\t"), ins(QString(QChar(0)))});
    row("half match splits", "1234567890abcdefghijklmnopqrstuvwxyz", "a234567890abcdefghijklmnopqrstuvwxyZ",
        {del("1"), ins("a"), eq("234567890abcdefghijklmnopqrstuvwxy"), del("z"), ins("Z")});
}

void TestDiffCore::diffMain()
{
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(QList<Diff>, expected);
    DiffEngine engine;
    engine.Diff_Timeout = 0;
    const QList<Diff> diffs = engine.diff_main(text1, text2, false);
    QCOMPARE(diffs, expected);
    for (const Diff& diff : diffs)
    {
        QVERIFY(!diff.isContext);
    }
}

void TestDiffCore::halfMatch_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QStringList>("expected");
    auto row = [](const char* name, const QString& text1, const QString& text2, const QStringList& expected)
    { QTest::newRow(name) << text1 << text2 << expected; };
    row("longer text under ten units", "123456789", "a3456z", {});
    row("nothing shared", "1234567890", "abcdef", {});
    row("shared part too short", "12345", "23", {});
    row("first text longer", "1234567890", "a345678z", {"12", "90", "a", "z", "345678"});
    row("second text longer", "a345678z", "1234567890", {"a", "z", "12", "90", "345678"});
    row("empty short text", "1234567890", "", {});
}

void TestDiffCore::halfMatch()
{
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(QStringList, expected);
    DiffEngine engine;
    QCOMPARE(engine.diff_halfMatch(text1, text2), expected);
}

void TestDiffCore::halfMatchOnRepetitiveTexts_data()
{
    QTest::addColumn<QString>("longtext");
    QTest::addColumn<QString>("shorttext");
    const QString a(3000, QLatin1Char('a'));
    QTest::newRow("one letter") << a + "x"
                                << "y" + a.left(2000);
    QTest::newRow("period two") << QString("ab").repeated(1500) << "x" + QString("ba").repeated(1000) + "y";
    QTest::newRow("period three with a flaw")
        << QString("abc").repeated(1000) + "d" + QString("abc").repeated(300)
        << QString("abc").repeated(700) + "e" + QString("abc").repeated(400);
    QTest::newRow("runs of spaces") << QString(" ").repeated(2000) + "end"
                                    << "start" + QString(" ").repeated(1900);
    QRandomGenerator rng(23);
    for (int n = 0; n < 20; ++n)
    {
        const QString unit = DiffTestSupport::randomText(rng, 1 + rng.bounded(3), "ab");
        const QString longtext =
            DiffTestSupport::mutate(rng, unit.repeated(400 + rng.bounded(400)), 3, "abc");
        const QString shorttext =
            DiffTestSupport::mutate(rng, unit.repeated(200 + rng.bounded(300)), 3, "abc");
        QTest::newRow(qPrintable(QStringLiteral("random periodic #%1").arg(n))) << longtext << shorttext;
    }
}

void TestDiffCore::halfMatchOnRepetitiveTexts()
{
    // Many long occurrences of the seed: the engine measures them all at once, with the same answer.
    QFETCH(QString, longtext);
    QFETCH(QString, shorttext);
    DiffEngine engine;
    for (int i : {(longtext.length() + 3) / 4, (longtext.length() + 1) / 2, 0, longtext.length()})
    {
        QCOMPARE(engine.diff_halfMatchI(longtext, shorttext, i), plainHalfMatchI(longtext, shorttext, i));
    }
}

void TestDiffCore::containmentPastTheSearchBudget_data()
{
    QTest::addColumn<QString>("longtext");
    QTest::addColumn<QString>("shorttext");
    const QString a(20000, QLatin1Char('a'));
    QTest::newRow("needle found after many near misses") << "c" + a + "b" + a.left(1999) + "c"
                                                         << "b" + a.left(1999);
    QTest::newRow("needle found at the very end") << "c" + a + "b" + a.left(1999) << "b" + a.left(1999);
    QTest::newRow("two candidates, the first one counts")
        << "c" + a + "b" + a.left(1999) + "b" + a.left(1999) + "c"
        << "b" + a.left(1999);
    QTest::newRow("period two") << "x" + QString("ab").repeated(10000) + "c"
                                << QString("ab").repeated(999) + "c";
}

void TestDiffCore::containmentPastTheSearchBudget()
{
    QFETCH(QString, longtext);
    QFETCH(QString, shorttext);
    const int at = longtext.indexOf(shorttext);
    QVERIFY(at > 0);
    DiffEngine engine;
    const QList<Diff> diffs = engine.diff_compute(longtext, shorttext, false);
    QCOMPARE(diffs.size(), 3);
    QCOMPARE(diffs[0], del(longtext.left(at)));
    QCOMPARE(diffs[1], eq(shorttext));
    QCOMPARE(diffs[2], del(longtext.mid(at + shorttext.length())));
}

void TestDiffCore::repetitiveLargeTextsStayLinear()
{
    // Inputs on which plain substring and seed searches take quadratic time (minutes at this size); here
    // each takes milliseconds, and the results are minimal.
    const int n = 300000;
    const QString a(n, QLatin1Char('a'));
    DiffEngine engine;
    const QList<QPair<QString, QString>> pairs{
        {"b" + a.left(n / 2), a + "c"},
        {a + "x", "y" + a},
        {"x" + QString("ab").repeated(n / 2) + "y", "z" + QString("ba").repeated(n / 2) + "w"},
    };
    const QList<int> minimal{n / 2 + 2, 2, 6};
    for (int p = 0; p < pairs.size(); ++p)
    {
        const QList<Diff> diffs = engine.diff_main(pairs[p].first, pairs[p].second, false);
        QCOMPARE(engine.diff_text1(diffs), pairs[p].first);
        QCOMPARE(engine.diff_text2(diffs), pairs[p].second);
        QCOMPARE(DiffTestSupport::editCount(diffs), minimal[p]);
    }
    // Nothing in common: no path exists, and the answer is the fall-back without a search.
    QCOMPARE(engine.diff_main("b", a, false), (QList<Diff>{del("b"), ins(a)}));
    QCOMPARE(engine.diff_main(QString(n, 'x'), a, false), (QList<Diff>{del(QString(n, 'x')), ins(a)}));
}

void TestDiffCore::linesToChars()
{
    DiffEngine engine;
    const QList<QVariant> result = engine.diff_linesToChars("alpha\nbeta\nalpha\n", "beta\nalpha\nbeta");
    QCOMPARE(result[0].toString(), QString::fromUtf16(u"\x0001\x0002\x0001"));
    QCOMPARE(result[1].toString(), QString::fromUtf16(u"\x0002\x0001\x0003"));
    QCOMPARE(result[2].toStringList(), (QStringList{"", "alpha\n", "beta\n", "beta"}));

    QList<Diff> diffs{eq(result[0].toString()), ins(result[1].toString())};
    engine.diff_charsToLines(diffs, result[2].toStringList());
    QCOMPARE(diffs, (QList<Diff>{eq("alpha\nbeta\nalpha\n"), ins("beta\nalpha\nbeta")}));
}

void TestDiffCore::linesToCharsBeyondOneCodeUnit()
{
    // More distinct lines than one code unit can number must still decode to the very same texts.
    QString text1;
    QString text2;
    for (int i = 0; i < 70000; ++i)
    {
        text1 += QString::number(i) + QLatin1Char('\n');
        text2 += QString::number(i * 7) + QLatin1Char('\n');
    }
    DiffEngine engine;
    const QList<QVariant> result = engine.diff_linesToChars(text1, text2);
    const QStringList lines = result[2].toStringList();
    QVERIFY(lines.size() <= 0x10000);
    QList<Diff> diffs{del(result[0].toString()), ins(result[1].toString())};
    engine.diff_charsToLines(diffs, lines);
    QCOMPARE(diffs[0].text, text1);
    QCOMPARE(diffs[1].text, text2);
}

void TestDiffCore::lineModeRediffsReplacements()
{
    // Every third line differs by one character, so no half match applies and the line pass runs; the
    // replaced lines are then compared character by character.
    QString text1;
    QString text2;
    for (int i = 0; i < 40; ++i)
    {
        const QString line = QStringLiteral("line number %1 of the text\n").arg(i);
        text1 += line;
        text2 += i % 3 == 0 ? QString(line).replace(QLatin1String("of"), QLatin1String("in")) : line;
    }
    DiffEngine engine;
    const QList<Diff> diffs = engine.diff_main(text1, text2, true);
    QCOMPARE(engine.diff_text1(diffs), text1);
    QCOMPARE(engine.diff_text2(diffs), text2);
    int edits = 0;
    for (const Diff& diff : diffs)
    {
        if (diff.operation != EQUAL)
        {
            ++edits;
            QVERIFY2(diff.text.length() <= 2, qPrintable(describe(diffs)));
        }
    }
    QCOMPARE(edits, 2 * 14);
}

void TestDiffCore::timeLimitFallsBackToDeleteAndInsert()
{
    QRandomGenerator rng(7);
    const QString middle1 = DiffTestSupport::randomText(rng, 60000, "abcdefghijklmnopqrstuvwxyz");
    const QString middle2 = DiffTestSupport::randomText(rng, 60000, "abcdefghijklmnopqrstuvwxyz");
    const QString text1 = "same start " + middle1 + "X same end";
    const QString text2 = "same start " + middle2 + "Y same end";
    DiffEngine engine;
    engine.Diff_Timeout = 0.01f;
    QVERIFY(engine.diff_map(middle1 + "X", middle2 + "Y").isEmpty());
    const QList<Diff> diffs = engine.diff_main(text1, text2, false);
    QCOMPARE(diffs.size(), 4);
    QCOMPARE(diffs[0], eq("same start "));
    QCOMPARE(diffs[1].operation, DELETE);
    QCOMPARE(diffs[2].operation, INSERT);
    QCOMPARE(diffs[3], eq(" same end"));
    QCOMPARE(engine.diff_text1(diffs), text1);
    QCOMPARE(engine.diff_text2(diffs), text2);
}

void TestDiffCore::splitSearchStaysShortest_data()
{
    // Budgets so small that nearly every search keeps only its last steps and splits, down to parts that
    // fit; the edit count must still be the shortest.
    QTest::addColumn<int>("dualThreshold");
    QTest::addColumn<int>("budget");
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("maxLength");
    QTest::newRow("no budget, texts up to 200") << 32 << 0 << 21u << 1500 << 200;
    QTest::newRow("no budget, both fronts on tiny texts") << 0 << 0 << 22u << 3000 << 24;
    QTest::newRow("1 KB, texts up to 600") << 32 << 1024 << 23u << 300 << 600;
    QTest::newRow("16 KB, texts up to 2000") << 3 << 16384 << 24u << 60 << 2000;
}

void TestDiffCore::splitSearchStaysShortest()
{
    QFETCH(int, dualThreshold);
    QFETCH(int, budget);
    QFETCH(quint32, seed);
    QFETCH(int, count);
    QFETCH(int, maxLength);
    DiffEngine engine;
    engine.Diff_Timeout = 0;
    engine.Diff_DualThreshold = short(dualThreshold);
    engine.Diff_FrontBudget = budget;
    engine.Diff_FrontBytesPerUnit = 0;
    DiffEngine unbounded = engine;
    unbounded.Diff_FrontBudget = std::numeric_limits<qint64>::max();
    int crossing = 0;
    for (const auto& pair : DiffTestSupport::generatePairs(seed, count, maxLength))
    {
        // As diff_main hands texts to the search: without a common prefix or suffix.
        QString text1 = pair.text1;
        QString text2 = pair.text2;
        const int prefix = engine.diff_commonPrefix(text1, text2);
        text1.remove(0, prefix);
        text2.remove(0, prefix);
        const int suffix = engine.diff_commonSuffix(text1, text2);
        text1.chop(suffix);
        text2.chop(suffix);
        if (text1.isEmpty() || text2.isEmpty())
        {
            continue;
        }
        const int shortest = DiffTestSupport::shortestEditCount(text1, text2);
        QList<Diff> diffs;
        QList<Diff> stored;
        try
        {
            diffs = engine.diff_map(text1, text2);
            stored = unbounded.diff_map(text1, text2);
        }
        catch (const char* message)
        {
            QFAIL(qPrintable(pair.name + QStringLiteral(": ") + QString(message)));
        }
        if (diffs.isEmpty())
        {
            // Only when nothing is shared, as the stored search answers.
            QVERIFY(stored.isEmpty());
            QCOMPARE(shortest, text1.length() + text2.length());
            continue;
        }
        const QString context = pair.name + QStringLiteral(": ") + describe(diffs);
        QVERIFY2(engine.diff_text1(diffs) == text1, qPrintable(context));
        QVERIFY2(engine.diff_text2(diffs) == text2, qPrintable(context));
        // Within the budget the stored search's own answer; past it a shortest script.
        if (diffs != stored)
        {
            ++crossing;
            QVERIFY2(DiffTestSupport::editCount(diffs) == shortest,
                     qPrintable(context + QStringLiteral(" has %1 edits, not %2")
                                              .arg(DiffTestSupport::editCount(diffs))
                                              .arg(shortest)));
        }
    }
    QVERIFY2(crossing > count / 4,
             qPrintable(QStringLiteral("only %1 pairs crossed the budget").arg(crossing)));
}

void TestDiffCore::splitSearchOnLargerTexts_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<qint64>("budget");
    const qint64 small = 64 * 1024;
    QRandomGenerator rng(31);
    const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz ");
    QTest::newRow("unrelated, four letters") << DiffTestSupport::randomText(rng, 4000, "abcd")
                                             << DiffTestSupport::randomText(rng, 3500, "abcd") << small;
    QTest::newRow("unrelated, 27 letters") << DiffTestSupport::randomText(rng, 5000, letters)
                                           << DiffTestSupport::randomText(rng, 5000, letters) << small;
    const QString base = DiffTestSupport::randomText(rng, 30000, letters);
    QTest::newRow("30,000 units, 400 edits")
        << base << DiffTestSupport::mutate(rng, base, 400, letters) << small;
    const QString binary = DiffTestSupport::randomText(rng, 20000, "ab");
    QTest::newRow("20,000 units of two letters, 300 edits")
        << binary << DiffTestSupport::mutate(rng, binary, 300, "ab") << small;
    // Stored fronts of about 256 MB: far past the default budget, and more than a stored search ever kept.
    QTest::newRow("unrelated stories of 16,000 units, default budget")
        << DiffTestSupport::randomText(rng, 16000, letters + QStringLiteral("ABCDEFGHIJ.,\r"))
        << DiffTestSupport::randomText(rng, 16000, letters + QStringLiteral("ABCDEFGHIJ.,\r"))
        << DiffEngine().Diff_FrontBudget;
}

void TestDiffCore::splitSearchOnLargerTexts()
{
    // Through diff_main, as the patch table calls it, with budgets that every search here passes.
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(qint64, budget);
    DiffEngine engine;
    engine.Diff_Timeout = 0;
    engine.Diff_FrontBudget = budget;
    engine.Diff_FrontBytesPerUnit = 0;
    const QList<Diff> diffs = engine.diff_main(text1, text2, false);
    QCOMPARE(engine.diff_text1(diffs), text1);
    QCOMPARE(engine.diff_text2(diffs), text2);
    QCOMPARE(DiffTestSupport::editCount(diffs), DiffTestSupport::shortestEditCount(text1, text2));
}

void TestDiffCore::timeLimitStopsTheSplitSearch()
{
    // Past its budget the search no longer gives up on memory, only on time.
    QRandomGenerator rng(3);
    const QString alphabet = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const QString text1 = "P" + DiffTestSupport::randomText(rng, 150000, alphabet);
    const QString text2 = "Q" + DiffTestSupport::randomText(rng, 150000, alphabet);
    DiffEngine engine;
    engine.Diff_FrontBudget = 4096;
    engine.Diff_FrontBytesPerUnit = 0;
    engine.Diff_Timeout = 0.05f;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(engine.diff_map(text1, text2).isEmpty());
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
}

void TestDiffCore::pathSearchMatchesReference_data()
{
    QTest::addColumn<int>("dualThreshold");
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("maxLength");
    QTest::newRow("default threshold, texts up to 160") << 32 << 1u << 1500 << 160;
    QTest::newRow("both fronts on tiny texts") << 0 << 2u << 3000 << 24;
    QTest::newRow("threshold 3, texts up to 80") << 3 << 3u << 2000 << 80;
    QTest::newRow("default threshold, texts up to 400") << 32 << 4u << 150 << 400;
}

void TestDiffCore::pathSearchMatchesReference()
{
    QFETCH(int, dualThreshold);
    QFETCH(quint32, seed);
    QFETCH(int, count);
    QFETCH(int, maxLength);
    DiffEngine engine;
    engine.Diff_Timeout = 0;
    engine.Diff_DualThreshold = short(dualThreshold);
    const ReferencePathSearch reference{short(dualThreshold)};
    const auto pairs = DiffTestSupport::generatePairs(seed, count, maxLength);
    int nonEmpty = 0;
    for (const auto& pair : pairs)
    {
        QList<Diff> expected;
        QList<Diff> actual;
        try
        {
            expected = reference.diff_map(pair.text1, pair.text2);
            actual = engine.diff_map(pair.text1, pair.text2);
        }
        catch (const char* message)
        {
            QFAIL(qPrintable(pair.name + QStringLiteral(": ") + QString(message)));
        }
        if (actual != expected)
        {
            QFAIL(qPrintable(
                QStringLiteral("%1: %2 | %3\nexpected %4\nactual   %5")
                    .arg(pair.name, pair.text1, pair.text2, describe(expected), describe(actual))));
        }
        nonEmpty += expected.isEmpty() ? 0 : 1;
    }
    // Most pairs share something, so the comparison is not between empty results.
    QVERIFY(nonEmpty > count / 2);
}

// Fronts that do not lead back to the start throw instead of reading past the texts.
void TestDiffCore::inconsistentFrontsThrow()
{
    DiffEngine engine;
    DiffEngine::FrontMap fronts;
    fronts.appendStep(0)[0] = 0;
    int* second = fronts.appendStep(1);
    second[0] = 0;
    second[1] = 1;
    for (auto path : {&DiffEngine::diff_path1, &DiffEngine::diff_path2})
    {
        try
        {
            (engine.*path)(fronts, "ab", "cd");
            QFAIL("no exception");
        }
        catch (const char* message)
        {
            QVERIFY2(QString(message).startsWith("No diagonal."), message);
        }
    }
}

// Equal diffs are equal whether or not they are context.
void TestDiffCore::diffRecord()
{
    QCOMPARE(Diff(EQUAL, "a", true), Diff(EQUAL, "a", false));
    QVERIFY(Diff(EQUAL, "a", false) != Diff(INSERT, "a", false));
}

QTEST_APPLESS_MAIN(TestDiffCore)
#include "tst_diffcore.moc"
