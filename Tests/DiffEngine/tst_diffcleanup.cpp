#include "DiffEngine.h"
#include "DiffTestSupport.h"

#include <QUrl>
#include <QtTest/QtTest>

using namespace TextDiff;
using DiffTestSupport::del;
using DiffTestSupport::describe;
using DiffTestSupport::eq;
using DiffTestSupport::ins;

namespace
{

bool neighboursDiffer(const QList<Diff>& diffs)
{
    for (int i = 1; i < diffs.size(); ++i)
    {
        if (diffs[i].operation == diffs[i - 1].operation)
        {
            return false;
        }
    }
    return true;
}

} // namespace

class TestDiffCleanup : public QObject
{
    Q_OBJECT

private slots:
    void cleanups_data();
    void cleanups();
    void semanticScore_data();
    void semanticScore();
    void splitDiff_data();
    void splitDiff();
    void cleanupsKeepTextsOnRandomPairs();
    void levenshtein_data();
    void levenshtein();
    void xIndex_data();
    void xIndex();
    void delta();
    void deltaErrors_data();
    void deltaErrors();
    void encodingMatchesPercentEncodingOfUtf8();
};

// Each clean-up on lists made for it; every clean-up keeps both texts.
void TestDiffCleanup::cleanups_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("editCost");
    QTest::addColumn<QList<Diff>>("diffs");
    QTest::addColumn<QList<Diff>>("expected");
    QString kind;
    int cost = 4;
    auto row = [&](const char* name, const QList<Diff>& diffs, const QList<Diff>& expected)
    { QTest::newRow(qPrintable(kind + QStringLiteral(": ") + name)) << kind << cost << diffs << expected; };

    kind = "merge";
    row("nothing to merge", {eq("a"), del("b"), ins("c")}, {eq("a"), del("b"), ins("c")});
    row("equalities joined", {eq("a"), eq("b"), eq("c")}, {eq("abc")});
    row("deletions joined", {del("a"), del("b"), del("c")}, {del("abc")});
    row("deletion before insertion", {eq("a"), del("b"), del("c"), ins("d"), eq("e")},
        {eq("a"), del("bc"), ins("d"), eq("e")});
    row("interleaved run", {del("a"), ins("b"), del("c"), ins("d"), eq("e"), eq("f")},
        {del("ac"), ins("bd"), eq("ef")});
    row("common affixes of a replacement, no equality before", {del("a"), ins("abc"), del("dc")},
        {eq("a"), del("d"), ins("b"), eq("c")});
    row("common prefix joins the equality before", {eq("x"), del("a"), ins("abc"), del("dc"), eq("y")},
        {eq("xa"), del("d"), ins("b"), eq("cy")});
    row("slide left", {eq("a"), ins("ba"), eq("c")}, {ins("ab"), eq("ac")});
    row("slide right", {eq("c"), ins("ab"), eq("a")}, {eq("ca"), ins("ba")});
    row("slide left twice", {eq("a"), del("b"), eq("c"), del("ac"), eq("x")}, {del("abc"), eq("acx")});
    row("empty edits between equalities", {eq("a"), ins(""), del(""), eq("b"), ins("c")},
        {eq("ab"), ins("c")});
    row("replacement cancelling out", {del("ab"), ins("ab"), eq("c")}, {eq("abc")});

    kind = "semantic";
    row("long equality kept", {del("ab"), ins("cd"), eq("12"), del("e")},
        {del("ab"), ins("cd"), eq("12"), del("e")});
    row("short equality between edits removed", {del("a"), eq("b"), del("c")}, {del("abc"), ins("b")});
    row("backpass removes the equality before too", {del("ab"), eq("cd"), del("e"), eq("f"), ins("g")},
        {del("abcdef"), ins("cdfg")});
    row("edit moved to a word boundary", {eq("The c"), ins("ow and the c"), eq("at.")},
        {eq("The "), ins("cow and the "), eq("cat.")});

    kind = "lossless";
    row("blank lines", {eq("AAA\r\n\r\nBBB"), ins("\r\nDDD\r\n\r\nBBB"), eq("\r\nEEE")},
        {eq("AAA\r\n\r\n"), ins("BBB\r\nDDD\r\n\r\n"), eq("BBB\r\nEEE")});
    row("word boundary", {eq("The c"), ins("ow and the c"), eq("at.")},
        {eq("The "), ins("cow and the "), eq("cat.")});
    row("slid to the very start removes the first equality", {eq("a"), del("a"), eq("ax")},
        {del("a"), eq("aax")});
    row("slid to the very end removes the last equality", {eq("xa"), del("a"), eq("a")},
        {eq("xaa"), del("a")});
    row("edit without equalities on both sides", {del("a"), eq("b")}, {del("a"), eq("b")});

    kind = "efficiency";
    row("four edits around a short equality", {del("ab"), ins("12"), eq("xyz"), del("cd"), ins("34")},
        {del("abxyzcd"), ins("12xyz34")});
    row("equality of the edit cost stays", {del("ab"), ins("12"), eq("wxyz"), del("cd"), ins("34")},
        {del("ab"), ins("12"), eq("wxyz"), del("cd"), ins("34")});
    row("three edits around one unit", {ins("12"), eq("x"), del("cd"), ins("34")},
        {del("xcd"), ins("12x34")});
    row("three edits around two units stay", {ins("12"), eq("xy"), del("cd"), ins("34")},
        {ins("12"), eq("xy"), del("cd"), ins("34")});
    row("backpass", {del("ab"), ins("12"), eq("xy"), ins("34"), eq("z"), del("cd"), ins("56")},
        {del("abxyzcd"), ins("12xy34z56")});
    cost = 5;
    row("higher edit cost", {del("ab"), ins("12"), eq("wxyz"), del("cd"), ins("34")},
        {del("abwxyzcd"), ins("12wxyz34")});
    cost = 4;

    kind = "split";
    row("three paragraphs and a tail", {eq("p1\rp2\rp3\rxy")},
        {eq("p1\r"), eq("p2\r"), eq("p3\r"), eq("xy")});
    row("no paragraph end", {eq("abc"), del("d")}, {eq("abc"), del("d")});
    row("edits untouched", {eq("a\rb"), del("c\rc"), ins("d"), eq("e\rf\rg")},
        {eq("a\r"), eq("b"), del("c\rc"), ins("d"), eq("e\r"), eq("f\r"), eq("g")});

    for (const char* each : {"merge", "semantic", "lossless", "efficiency", "split"})
    {
        kind = QLatin1String(each);
        row("an empty list stays empty", {}, {});
    }
}

void TestDiffCleanup::cleanups()
{
    QFETCH(QString, kind);
    QFETCH(int, editCost);
    QFETCH(QList<Diff>, diffs);
    QFETCH(QList<Diff>, expected);
    const QMap<QString, void (DiffEngine::*)(QList<Diff>&)> cleanups{
        {"merge", &DiffEngine::diff_cleanupMerge},
        {"semantic", &DiffEngine::diff_cleanupSemantic},
        {"lossless", &DiffEngine::diff_cleanupSemanticLossless},
        {"efficiency", &DiffEngine::diff_cleanupEfficiency},
        {"split", &DiffEngine::diff_cleanupSplit}};
    DiffEngine engine;
    engine.Diff_EditCost = short(editCost);
    const QString text1 = engine.diff_text1(diffs);
    const QString text2 = engine.diff_text2(diffs);
    (engine.*cleanups.value(kind))(diffs);
    QCOMPARE(diffs, expected);
    QCOMPARE(engine.diff_text1(diffs), text1);
    QCOMPARE(engine.diff_text2(diffs), text2);
}

void TestDiffCleanup::semanticScore_data()
{
    QTest::addColumn<QString>("one");
    QTest::addColumn<QString>("two");
    QTest::addColumn<int>("score");
    auto row = [](const char* name, const QString& one, const QString& two, int score)
    { QTest::newRow(name) << one << two << score; };
    row("both empty", "", "", 10);
    row("one empty", "abc", "", 10);
    row("letter then digit", "a", "1", 0);
    row("punctuation", "a.", "b", 1);
    row("space", "a ", "b", 2);
    row("line feed", "a\n", "b", 3);
    row("blank line at the end of one", "a\n\n", "b", 4);
    row("blank line with CR at the end of one", "a\n\r\n", "b", 4);
    row("blank line at the start of two", "a", "\r\n\r\nb", 4);
    row("one line break is no blank line", "a\r\n", "b", 3);
}

void TestDiffCleanup::semanticScore()
{
    QFETCH(QString, one);
    QFETCH(QString, two);
    QFETCH(int, score);
    DiffEngine engine;
    QCOMPARE(engine.diff_cleanupSemanticScore(one, two), score);
}

void TestDiffCleanup::splitDiff_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("atStart");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("head");
    QTest::addColumn<QString>("block");
    QTest::addColumn<QString>("tail");
    const QString null;
    QTest::newRow("no paragraph end") << "abc" << false << false << "abc" << null << null;
    QTest::newRow("no paragraph end at the start") << "abc" << true << false << "" << null << "abc";
    QTest::newRow("head, block and tail") << "h\rp1\rp2\rt" << false << true << "h\r"
                                          << "p1\rp2\r"
                                          << "t";
    QTest::newRow("at the start all moves out") << "h\rp1\rt" << true << true << ""
                                                << "h\rp1\r"
                                                << "t";
    QTest::newRow("one paragraph end at the end") << "ab\r" << false << true << "ab\r" << null << null;
    QTest::newRow("one paragraph end and a tail") << "ab\rcd" << false << true << "ab\r" << null << "cd";
    QTest::newRow("only a paragraph end at the start") << "\r" << true << true << ""
                                                       << "\r" << null;
}

void TestDiffCleanup::splitDiff()
{
    QFETCH(QString, text);
    QFETCH(bool, atStart);
    QFETCH(bool, result);
    QFETCH(QString, head);
    QFETCH(QString, block);
    QFETCH(QString, tail);
    Diff diff(EQUAL, text, false);
    Diff* parts[2] = {nullptr, nullptr};
    QCOMPARE(SplitDiff(diff, parts, atStart), result);
    std::unique_ptr<Diff> blockPart(parts[0]);
    std::unique_ptr<Diff> tailPart(parts[1]);
    QCOMPARE(diff.text, head);
    QCOMPARE(bool(blockPart), !block.isNull());
    QCOMPARE(bool(tailPart), !tail.isNull());
    if (blockPart)
    {
        QCOMPARE(*blockPart, eq(block));
        QVERIFY(!blockPart->isContext);
    }
    if (tailPart)
    {
        QCOMPARE(*tailPart, eq(tail));
    }
}

// diff_main with and without its line pass, then each clean-up: the lists rebuild both texts, merging
// again changes nothing, the efficiency clean-up leaves no two neighbours of one kind and reads back from
// its delta, and the split leaves carriage returns only at the ends of equalities.
void TestDiffCleanup::cleanupsKeepTextsOnRandomPairs()
{
    const QList<void (DiffEngine::*)(QList<Diff>&)> cleanups{
        &DiffEngine::diff_cleanupMerge, &DiffEngine::diff_cleanupSemantic,
        &DiffEngine::diff_cleanupSemanticLossless, &DiffEngine::diff_cleanupEfficiency,
        &DiffEngine::diff_cleanupSplit};
    DiffEngine engine;
    for (const auto& pair : DiffTestSupport::generatePairs(99, 800, 300))
    {
        for (bool checklines : {false, true})
        {
            // The line pass reads lines up to line feeds.
            QString text1 = pair.text1;
            QString text2 = pair.text2;
            if (checklines)
            {
                text1.replace(QChar(13), QChar(10));
                text2.replace(QChar(13), QChar(10));
            }
            const QString where =
                pair.name + (checklines ? QStringLiteral(", lines: ") : QStringLiteral(": "));
            const QList<Diff> original = engine.diff_main(text1, text2, checklines);
            QList<QList<Diff>> cleaned;
            for (const auto cleanup : cleanups)
            {
                QList<Diff> diffs = original;
                (engine.*cleanup)(diffs);
                QVERIFY2(engine.diff_text1(diffs) == text1 && engine.diff_text2(diffs) == text2,
                         qPrintable(where + describe(diffs)));
                cleaned << diffs;
            }
            // Except that an empty equality (two empty texts) goes away.
            if (!text1.isEmpty() || !text2.isEmpty())
            {
                QVERIFY2(cleaned[0] == original, qPrintable(where + describe(original)));
            }
            const QList<Diff>& efficient = cleaned[3];
            QVERIFY2(neighboursDiffer(efficient), qPrintable(where + describe(efficient)));
            QCOMPARE(engine.diff_fromDelta(text1, engine.diff_toDelta(efficient)), efficient);
            for (const Diff& diff : cleaned[4])
            {
                const int cr = diff.operation == EQUAL ? diff.text.indexOf(QChar(13)) : -1;
                QVERIFY2(cr == -1 || cr == diff.text.length() - 1, qPrintable(where + describe(cleaned[4])));
            }
        }
    }
}

void TestDiffCleanup::levenshtein_data()
{
    QTest::addColumn<QList<Diff>>("diffs");
    QTest::addColumn<int>("distance");
    QTest::newRow("trailing equality") << QList<Diff>{del("abc"), ins("1234"), eq("xyz")} << 4;
    QTest::newRow("leading equality") << QList<Diff>{eq("xyz"), del("abc"), ins("1234")} << 4;
    QTest::newRow("equality between") << QList<Diff>{del("abc"), eq("xyz"), ins("1234")} << 7;
    QTest::newRow("none") << QList<Diff>{} << 0;
}

void TestDiffCleanup::levenshtein()
{
    QFETCH(QList<Diff>, diffs);
    QFETCH(int, distance);
    DiffEngine engine;
    QCOMPARE(engine.diff_levenshtein(diffs), distance);
}

void TestDiffCleanup::xIndex_data()
{
    QTest::addColumn<QList<Diff>>("diffs");
    QTest::addColumn<int>("loc");
    QTest::addColumn<int>("expected");
    QTest::newRow("after a replacement") << QList<Diff>{del("a"), ins("1234"), eq("xyz")} << 2 << 5;
    QTest::newRow("inside a deletion") << QList<Diff>{eq("a"), del("1234"), eq("xyz")} << 3 << 1;
    QTest::newRow("past the end") << QList<Diff>{eq("ab"), ins("c")} << 5 << 6;
}

void TestDiffCleanup::xIndex()
{
    QFETCH(QList<Diff>, diffs);
    QFETCH(int, loc);
    QFETCH(int, expected);
    DiffEngine engine;
    QCOMPARE(engine.diff_xIndex(diffs, loc), expected);
}

void TestDiffCleanup::delta()
{
    DiffEngine engine;
    const QList<Diff> diffs{eq("jump"), del("s"), ins("ed"),   eq(" over "),
                            del("the"), ins("a"), eq(" lazy"), ins("old dog")};
    const QString text1 = engine.diff_text1(diffs);
    const QString delta = engine.diff_toDelta(diffs);
    QCOMPARE(delta, QString("=4\t-1\t+ed\t=6\t-3\t+a\t=5\t+old dog"));
    QCOMPARE(engine.diff_fromDelta(text1, delta), diffs);

    const QList<Diff> special{eq(QString::fromUtf16(u"\x0680 \x0000 \t %", 7)),
                              del(QString::fromUtf16(u"\x0681 \x0001 \n ^", 7)),
                              ins(QString::fromUtf16(u"\x0682 \x0002 \\ |", 7))};
    const QString specialDelta = engine.diff_toDelta(special);
    QCOMPARE(specialDelta, QString("=7\t-7\t+%DA%82 %02 %5C %7C"));
    QCOMPARE(engine.diff_fromDelta(engine.diff_text1(special), specialDelta), special);

    const QList<Diff> unescaped{ins("A-Z a-z 0-9 - _ . ! ~ * ' ( ) ; / ? : @ & = + $ , # ")};
    QCOMPARE(engine.diff_toDelta(unescaped),
             QString("+A-Z a-z 0-9 - _ . ! ~ * ' ( ) ; / ? : @ & = + $ , # "));
    QCOMPARE(engine.diff_fromDelta("", engine.diff_toDelta(unescaped)), unescaped);

    // A diff may cut a surrogate pair in two; the halves must read back as they were.
    const QList<Diff> halves{eq(QString::fromUtf16(u"a\xD83D")), del(QString::fromUtf16(u"\xDE00")),
                             ins(QString::fromUtf16(u"\xDE01"))};
    QCOMPARE(engine.diff_fromDelta(engine.diff_text1(halves), engine.diff_toDelta(halves)), halves);
}

void TestDiffCleanup::deltaErrors_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("delta");
    QTest::addColumn<QString>("message");
    auto row = [](const char* name, const QString& text1, const QString& delta, const QString& message)
    { QTest::newRow(name) << text1 << delta << message; };
    row("counts too long", "abc", "=2\t-2", "Delta length (4) smaller than source text length (3)");
    row("counts too short", "abcdef", "=2\t-2", "Delta length (4) smaller than source text length (6)");
    row("negative count", "abc", "=-1\t=4", "Negative number in diff_fromDelta: -1");
    row("unknown operation", "abc", "=1\tx2", "Invalid diff operation in diff_fromDelta: x");
    row("counts beyond int range", "abc", "=2000000000\t=2000000000",
        "Delta length (4000000000) smaller than source text length (3)");
}

void TestDiffCleanup::deltaErrors()
{
    QFETCH(QString, text1);
    QFETCH(QString, delta);
    QFETCH(QString, message);
    DiffEngine engine;
    try
    {
        engine.diff_fromDelta(text1, delta);
        QFAIL("no exception");
    }
    catch (const QString& thrown)
    {
        QCOMPARE(thrown, message);
    }
}

void TestDiffCleanup::encodingMatchesPercentEncodingOfUtf8()
{
    // For well-formed text the encoding is exactly the percent-encoding of its UTF-8 form.
    const QByteArray kept(" !~*'();/?:@&=+$,#");
    QRandomGenerator rng(17);
    const QString alphabet = QString::fromUtf16(u"aZ09 %+\t\n\r-_.~!*'()#\x00e9\x2014\x201c\xD83D\xDE00");
    for (int i = 0; i < 300; ++i)
    {
        const QString text = DiffTestSupport::randomText(rng, rng.bounded(40), alphabet);
        // Keep surrogates paired: drop a high half that is not followed by its low half and vice versa.
        QString wellFormed;
        for (int j = 0; j < text.length(); ++j)
        {
            if (text[j].isHighSurrogate())
            {
                wellFormed += QString::fromUtf16(u"\xD83D\xDE00");
            }
            else if (!text[j].isLowSurrogate())
            {
                wellFormed += text[j];
            }
        }
        const QString encoded = DiffEngine::encodeText(wellFormed);
        QCOMPARE(encoded, QString::fromLatin1(QUrl::toPercentEncoding(wellFormed, kept)));
        QCOMPARE(DiffEngine::decodeText(encoded), wellFormed);
    }
}

QTEST_APPLESS_MAIN(TestDiffCleanup)
#include "tst_diffcleanup.moc"
