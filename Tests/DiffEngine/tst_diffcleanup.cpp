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
    void cleanupMerge_data();
    void cleanupMerge();
    void cleanupSemantic_data();
    void cleanupSemantic();
    void cleanupSemanticLossless_data();
    void cleanupSemanticLossless();
    void semanticScore_data();
    void semanticScore();
    void cleanupEfficiency_data();
    void cleanupEfficiency();
    void splitDiff_data();
    void splitDiff();
    void cleanupSplit_data();
    void cleanupSplit();
    void cleanupsKeepTextsOnRandomPairs();
    void emptyListsStayEmpty();
    void levenshtein_data();
    void levenshtein();
    void xIndex_data();
    void xIndex();
    void prettyHtml();
    void delta();
    void deltaRoundTripsOnRandomPairs();
    void deltaErrors_data();
    void deltaErrors();
    void encodingMatchesPercentEncodingOfUtf8();
};

void TestDiffCleanup::cleanupMerge_data()
{
    QTest::addColumn<QList<Diff>>("diffs");
    QTest::addColumn<QList<Diff>>("expected");
    QTest::newRow("nothing to merge")
        << QList<Diff>{eq("a"), del("b"), ins("c")} << QList<Diff>{eq("a"), del("b"), ins("c")};
    QTest::newRow("equalities joined") << QList<Diff>{eq("a"), eq("b"), eq("c")} << QList<Diff>{eq("abc")};
    QTest::newRow("deletions joined") << QList<Diff>{del("a"), del("b"), del("c")} << QList<Diff>{del("abc")};
    QTest::newRow("deletion before insertion") << QList<Diff>{eq("a"), del("b"), del("c"), ins("d"), eq("e")}
                                               << QList<Diff>{eq("a"), del("bc"), ins("d"), eq("e")};
    QTest::newRow("interleaved run") << QList<Diff>{del("a"), ins("b"), del("c"), ins("d"), eq("e"), eq("f")}
                                     << QList<Diff>{del("ac"), ins("bd"), eq("ef")};
    QTest::newRow("common affixes of a replacement, no equality before")
        << QList<Diff>{del("a"), ins("abc"), del("dc")} << QList<Diff>{eq("a"), del("d"), ins("b"), eq("c")};
    QTest::newRow("common prefix joins the equality before")
        << QList<Diff>{eq("x"), del("a"), ins("abc"), del("dc"), eq("y")}
        << QList<Diff>{eq("xa"), del("d"), ins("b"), eq("cy")};
    QTest::newRow("slide left") << QList<Diff>{eq("a"), ins("ba"), eq("c")}
                                << QList<Diff>{ins("ab"), eq("ac")};
    QTest::newRow("slide right") << QList<Diff>{eq("c"), ins("ab"), eq("a")}
                                 << QList<Diff>{eq("ca"), ins("ba")};
    QTest::newRow("slide left twice")
        << QList<Diff>{eq("a"), del("b"), eq("c"), del("ac"), eq("x")} << QList<Diff>{del("abc"), eq("acx")};
    QTest::newRow("empty edits between equalities")
        << QList<Diff>{eq("a"), ins(""), del(""), eq("b"), ins("c")} << QList<Diff>{eq("ab"), ins("c")};
    QTest::newRow("replacement cancelling out")
        << QList<Diff>{del("ab"), ins("ab"), eq("c")} << QList<Diff>{eq("abc")};
}

void TestDiffCleanup::cleanupMerge()
{
    QFETCH(QList<Diff>, diffs);
    QFETCH(QList<Diff>, expected);
    DiffEngine engine;
    const QString text1 = engine.diff_text1(diffs);
    const QString text2 = engine.diff_text2(diffs);
    engine.diff_cleanupMerge(diffs);
    QCOMPARE(diffs, expected);
    QCOMPARE(engine.diff_text1(diffs), text1);
    QCOMPARE(engine.diff_text2(diffs), text2);
}

void TestDiffCleanup::cleanupSemantic_data()
{
    QTest::addColumn<QList<Diff>>("diffs");
    QTest::addColumn<QList<Diff>>("expected");
    QTest::newRow("long equality kept") << QList<Diff>{del("ab"), ins("cd"), eq("12"), del("e")}
                                        << QList<Diff>{del("ab"), ins("cd"), eq("12"), del("e")};
    QTest::newRow("short equality between edits removed")
        << QList<Diff>{del("a"), eq("b"), del("c")} << QList<Diff>{del("abc"), ins("b")};
    QTest::newRow("backpass removes the equality before too")
        << QList<Diff>{del("ab"), eq("cd"), del("e"), eq("f"), ins("g")}
        << QList<Diff>{del("abcdef"), ins("cdfg")};
    QTest::newRow("edit moved to a word boundary")
        << QList<Diff>{eq("The c"), ins("ow and the c"), eq("at.")}
        << QList<Diff>{eq("The "), ins("cow and the "), eq("cat.")};
}

void TestDiffCleanup::cleanupSemantic()
{
    QFETCH(QList<Diff>, diffs);
    QFETCH(QList<Diff>, expected);
    DiffEngine engine;
    engine.diff_cleanupSemantic(diffs);
    QCOMPARE(diffs, expected);
}

void TestDiffCleanup::cleanupSemanticLossless_data()
{
    QTest::addColumn<QList<Diff>>("diffs");
    QTest::addColumn<QList<Diff>>("expected");
    QTest::newRow("blank lines") << QList<Diff>{eq("AAA\r\n\r\nBBB"), ins("\r\nDDD\r\n\r\nBBB"),
                                                eq("\r\nEEE")}
                                 << QList<Diff>{eq("AAA\r\n\r\n"), ins("BBB\r\nDDD\r\n\r\n"),
                                                eq("BBB\r\nEEE")};
    QTest::newRow("word boundary") << QList<Diff>{eq("The c"), ins("ow and the c"), eq("at.")}
                                   << QList<Diff>{eq("The "), ins("cow and the "), eq("cat.")};
    QTest::newRow("slid to the very start removes the first equality")
        << QList<Diff>{eq("a"), del("a"), eq("ax")} << QList<Diff>{del("a"), eq("aax")};
    QTest::newRow("slid to the very end removes the last equality")
        << QList<Diff>{eq("xa"), del("a"), eq("a")} << QList<Diff>{eq("xaa"), del("a")};
    QTest::newRow("edit without equalities on both sides")
        << QList<Diff>{del("a"), eq("b")} << QList<Diff>{del("a"), eq("b")};
}

void TestDiffCleanup::cleanupSemanticLossless()
{
    QFETCH(QList<Diff>, diffs);
    QFETCH(QList<Diff>, expected);
    DiffEngine engine;
    engine.diff_cleanupSemanticLossless(diffs);
    QCOMPARE(diffs, expected);
}

void TestDiffCleanup::semanticScore_data()
{
    QTest::addColumn<QString>("one");
    QTest::addColumn<QString>("two");
    QTest::addColumn<int>("score");
    QTest::newRow("both empty") << ""
                                << "" << 10;
    QTest::newRow("one empty") << "abc"
                               << "" << 10;
    QTest::newRow("letter then digit") << "a"
                                       << "1" << 0;
    QTest::newRow("punctuation") << "a."
                                 << "b" << 1;
    QTest::newRow("space") << "a "
                           << "b" << 2;
    QTest::newRow("line feed") << "a\n"
                               << "b" << 3;
    QTest::newRow("blank line at the end of one") << "a\n\n"
                                                  << "b" << 4;
    QTest::newRow("blank line with CR at the end of one") << "a\n\r\n"
                                                          << "b" << 4;
    QTest::newRow("blank line at the start of two") << "a"
                                                    << "\r\n\r\nb" << 4;
    QTest::newRow("one line break is no blank line") << "a\r\n"
                                                     << "b" << 3;
}

void TestDiffCleanup::semanticScore()
{
    QFETCH(QString, one);
    QFETCH(QString, two);
    QFETCH(int, score);
    DiffEngine engine;
    QCOMPARE(engine.diff_cleanupSemanticScore(one, two), score);
}

void TestDiffCleanup::cleanupEfficiency_data()
{
    QTest::addColumn<int>("editCost");
    QTest::addColumn<QList<Diff>>("diffs");
    QTest::addColumn<QList<Diff>>("expected");
    QTest::newRow("four edits around a short equality")
        << 4 << QList<Diff>{del("ab"), ins("12"), eq("xyz"), del("cd"), ins("34")}
        << QList<Diff>{del("abxyzcd"), ins("12xyz34")};
    QTest::newRow("equality of the edit cost stays")
        << 4 << QList<Diff>{del("ab"), ins("12"), eq("wxyz"), del("cd"), ins("34")}
        << QList<Diff>{del("ab"), ins("12"), eq("wxyz"), del("cd"), ins("34")};
    QTest::newRow("three edits around one unit") << 4 << QList<Diff>{ins("12"), eq("x"), del("cd"), ins("34")}
                                                 << QList<Diff>{del("xcd"), ins("12x34")};
    QTest::newRow("three edits around two units stay")
        << 4 << QList<Diff>{ins("12"), eq("xy"), del("cd"), ins("34")}
        << QList<Diff>{ins("12"), eq("xy"), del("cd"), ins("34")};
    QTest::newRow("backpass") << 4 << QList<Diff>{del("ab"), ins("12"), eq("xy"), ins("34"),
                                                  eq("z"),   del("cd"), ins("56")}
                              << QList<Diff>{del("abxyzcd"), ins("12xy34z56")};
    QTest::newRow("higher edit cost")
        << 5 << QList<Diff>{del("ab"), ins("12"), eq("wxyz"), del("cd"), ins("34")}
        << QList<Diff>{del("abwxyzcd"), ins("12wxyz34")};
}

void TestDiffCleanup::cleanupEfficiency()
{
    QFETCH(int, editCost);
    QFETCH(QList<Diff>, diffs);
    QFETCH(QList<Diff>, expected);
    DiffEngine engine;
    engine.Diff_EditCost = short(editCost);
    engine.diff_cleanupEfficiency(diffs);
    QCOMPARE(diffs, expected);
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

void TestDiffCleanup::cleanupSplit_data()
{
    QTest::addColumn<QList<Diff>>("diffs");
    QTest::addColumn<QList<Diff>>("expected");
    QTest::newRow("three paragraphs and a tail")
        << QList<Diff>{eq("p1\rp2\rp3\rxy")} << QList<Diff>{eq("p1\r"), eq("p2\r"), eq("p3\r"), eq("xy")};
    QTest::newRow("no paragraph end") << QList<Diff>{eq("abc"), del("d")} << QList<Diff>{eq("abc"), del("d")};
    QTest::newRow("edits untouched") << QList<Diff>{eq("a\rb"), del("c\rc"), ins("d"), eq("e\rf\rg")}
                                     << QList<Diff>{eq("a\r"), eq("b"),   del("c\rc"), ins("d"),
                                                    eq("e\r"), eq("f\r"), eq("g")};
}

void TestDiffCleanup::cleanupSplit()
{
    QFETCH(QList<Diff>, diffs);
    QFETCH(QList<Diff>, expected);
    DiffEngine engine;
    engine.diff_cleanupSplit(diffs);
    QCOMPARE(diffs, expected);
}

void TestDiffCleanup::cleanupsKeepTextsOnRandomPairs()
{
    const auto pairs = DiffTestSupport::generatePairs(99, 800, 300);
    DiffEngine engine;
    for (const auto& pair : pairs)
    {
        const QList<Diff> original = engine.diff_main(pair.text1, pair.text2, false);
        auto check = [&](const char* name, const QList<Diff>& diffs)
        {
            const QString where = pair.name + QStringLiteral(" after ") + QLatin1String(name) +
                                  QStringLiteral(": ") + describe(diffs);
            if (engine.diff_text1(diffs) != pair.text1 || engine.diff_text2(diffs) != pair.text2)
            {
                QTest::qFail(qPrintable(where + QStringLiteral(" loses text")), __FILE__, __LINE__);
                return false;
            }
            return true;
        };

        QList<Diff> merged = original;
        engine.diff_cleanupMerge(merged);
        QVERIFY(check("merge", merged));
        // Merging again changes nothing, except that an empty equality (two empty texts) goes away.
        if (!pair.text1.isEmpty() || !pair.text2.isEmpty())
        {
            QCOMPARE(merged, original);
        }

        QList<Diff> semantic = original;
        engine.diff_cleanupSemantic(semantic);
        QVERIFY(check("semantic", semantic));

        QList<Diff> lossless = original;
        engine.diff_cleanupSemanticLossless(lossless);
        QVERIFY(check("lossless", lossless));

        QList<Diff> efficient = original;
        engine.diff_cleanupEfficiency(efficient);
        QVERIFY(check("efficiency", efficient));
        QVERIFY2(neighboursDiffer(efficient), qPrintable(pair.name + describe(efficient)));

        QList<Diff> split = original;
        engine.diff_cleanupSplit(split);
        QVERIFY(check("split", split));
        for (const Diff& diff : split)
        {
            if (diff.operation == EQUAL)
            {
                const int cr = diff.text.indexOf(QChar(13));
                QVERIFY2(cr == -1 || cr == diff.text.length() - 1, qPrintable(pair.name + describe(split)));
            }
        }
    }
}

void TestDiffCleanup::emptyListsStayEmpty()
{
    DiffEngine engine;
    QList<Diff> diffs;
    engine.diff_cleanupMerge(diffs);
    engine.diff_cleanupSemantic(diffs);
    engine.diff_cleanupSemanticLossless(diffs);
    engine.diff_cleanupEfficiency(diffs);
    engine.diff_cleanupSplit(diffs);
    QCOMPARE(diffs, QList<Diff>());
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

void TestDiffCleanup::prettyHtml()
{
    DiffEngine engine;
    const QList<Diff> diffs{eq("a\n"), del("<B>b</B>"), ins("c&d")};
    QCOMPARE(engine.diff_prettyHtml(diffs),
             QString("<SPAN TITLE=\"i=0\">a&para;<BR></SPAN><DEL STYLE=\"background:#FFE6E6;\" "
                     "TITLE=\"i=2\">&lt;B&gt;b&lt;/B&gt;</DEL><INS STYLE=\"background:#E6FFE6;\" "
                     "TITLE=\"i=2\">c&amp;d</INS>"));
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

void TestDiffCleanup::deltaRoundTripsOnRandomPairs()
{
    const auto pairs = DiffTestSupport::generatePairs(5, 500, 200);
    DiffEngine engine;
    for (const auto& pair : pairs)
    {
        QList<Diff> diffs = engine.diff_main(pair.text1, pair.text2, false);
        engine.diff_cleanupEfficiency(diffs);
        QCOMPARE(engine.diff_fromDelta(pair.text1, engine.diff_toDelta(diffs)), diffs);
    }
}

void TestDiffCleanup::deltaErrors_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("delta");
    QTest::addColumn<QString>("message");
    QTest::newRow("counts too long") << "abc"
                                     << "=2\t-2"
                                     << "Delta length (4) smaller than source text length (3)";
    QTest::newRow("counts too short") << "abcdef"
                                      << "=2\t-2"
                                      << "Delta length (4) smaller than source text length (6)";
    QTest::newRow("negative count") << "abc"
                                    << "=-1\t=4"
                                    << "Negative number in diff_fromDelta: -1";
    QTest::newRow("unknown operation") << "abc"
                                       << "=1\tx2"
                                       << "Invalid diff operation in diff_fromDelta: x";
    QTest::newRow("counts beyond int range")
        << "abc"
        << "=2000000000\t=2000000000"
        << "Delta length (4000000000) smaller than source text length (3)";
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
