#include "DiffEngine.h"
#include "DiffTestSupport.h"

#include <QtTest/QtTest>

using namespace TextDiff;
using DiffTestSupport::describe;

namespace
{

// The rows' patches carry no context of their own; give each the context of the text it applies to (the
// new text before it, the old text from it on), as a patch to be applied elsewhere needs.
QList<Patch> patchesFor(DiffEngine& engine, const QString& text1, const QString& text2)
{
    QList<Patch> patches;
    for (const UnitPatch& row : engine.rows_make(text1, text2, Granularity::Characters, false))
    {
        for (Patch patch : row.patches)
        {
            engine.patch_addContext(patch, text2.left(patch.start2) + text1.mid(patch.start1));
            patches.append(patch);
        }
    }
    return patches;
}

} // namespace

class TestMatch : public QObject
{
    Q_OBJECT

private slots:
    void matchMain_data();
    void matchMain();
    void bitap_data();
    void bitap();
    void patternTooLong();
    void addContext_data();
    void addContext();
    void addPadding_data();
    void addPadding();
    void splitMax();
    void apply_data();
    void apply();
    void applyRebuildsNewTextOnRandomPairs();
    void applyWithUnusualSettingsEnds();
};

void TestMatch::matchMain_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("loc");
    QTest::addColumn<int>("expected");
    auto row = [](const char* name, const QString& text, const QString& pattern, int loc, int expected)
    { QTest::newRow(name) << text << pattern << loc << expected; };
    row("equal texts", "abcdef", "abcdef", 1000, 0);
    row("empty text", "", "abcdef", 1, -1);
    row("empty pattern", "abcdef", "", 3, 3);
    row("empty pattern, loc beyond the text", "abcdef", "", 100, 6);
    row("exact at loc", "abcdef", "de", 3, 3);
    row("exact near loc", "abcdef", "de", 2, 3);
    row("nothing in common", "abcdef", "xyz", 3, -1);
    row("fuzzy, beyond the end", "abcdef", "defy", 4, 3);
    row("fuzzy, longer than the text", "abcdef", "abcdefy", 0, 0);
    row("negative loc", "abcdef", "ab", -5, 0);
}

void TestMatch::matchMain()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(int, loc);
    QFETCH(int, expected);
    DiffEngine engine;
    QCOMPARE(engine.match_main(text, pattern, loc), expected);
}

void TestMatch::bitap_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("loc");
    QTest::addColumn<int>("distance");
    QTest::addColumn<double>("threshold");
    QTest::addColumn<int>("expected");
    auto row = [](const char* name, const QString& text, const QString& pattern, int loc, int distance,
                  double threshold, int expected)
    { QTest::newRow(name) << text << pattern << loc << distance << threshold << expected; };
    row("exact at loc", "abcdefghijk", "fgh", 5, 100, 0.5, 5);
    row("exact away from loc", "abcdefghijk", "fgh", 0, 100, 0.5, 5);
    row("one substitution", "abcdefghijk", "efxhi", 0, 100, 0.5, 4);
    row("one insertion", "abcdefghijk", "cdefxyhijk", 5, 100, 0.5, 2);
    row("too many errors", "abcdefghijk", "bxy", 1, 100, 0.5, -1);
    row("overflow at the end", "123456789xx0", "3456789x0", 2, 100, 0.5, 2);
    row("strict threshold rejects", "abcdefghijk", "efxyhi", 1, 100, 0.3, -1);
    row("loose threshold accepts", "abcdefghijk", "efxyhi", 1, 100, 0.5, 4);
    row("near match preferred to a far exact one", "abcdexyzabcde", "abccde", 3, 100, 0.5, 0);
    row("distance 0 takes only loc", "abcdefghijklmnopqrstuvwxyz", "abcdefg", 24, 0, 0.5, -1);
}

void TestMatch::bitap()
{
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(int, loc);
    QFETCH(int, distance);
    QFETCH(double, threshold);
    QFETCH(int, expected);
    DiffEngine engine;
    engine.Match_Distance = distance;
    engine.Match_Threshold = float(threshold);
    QCOMPARE(engine.match_bitap(text, pattern, loc), expected);
}

void TestMatch::patternTooLong()
{
    DiffEngine engine;
    const QString pattern(33, QLatin1Char('a'));
    try
    {
        engine.match_bitap(QString(100, QLatin1Char('b')), pattern, 0);
        QFAIL("no exception");
    }
    catch (const char* message)
    {
        QCOMPARE(QString(message), QString("Pattern too long for this application."));
    }
    // 32 units fit.
    QCOMPARE(engine.match_bitap(QString(50, QLatin1Char('b')) + pattern, pattern.left(32), 0), 50);
}

void TestMatch::addContext_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("patch");
    QTest::addColumn<QString>("expected");
    QTest::newRow("simple") << "The quick brown fox jumps over the lazy dog."
                            << "@@ -21,4 +21,10 @@\n-jump\n+somersault\n"
                            << "@@ -17,12 +17,18 @@\n fox \n-jump\n+somersault\n s ov\n";
    QTest::newRow("little trailing context") << "The quick brown fox jumps."
                                             << "@@ -21,4 +21,10 @@\n-jump\n+somersault\n"
                                             << "@@ -17,10 +17,16 @@\n fox \n-jump\n+somersault\n s.\n";
    QTest::newRow("little leading context") << "The quick brown fox jumps."
                                            << "@@ -3 +3,2 @@\n-e\n+at\n"
                                            << "@@ -1,7 +1,8 @@\n Th\n-e\n+at\n  qui\n";
    QTest::newRow("ambiguous") << "The quick brown fox jumps.  The quick brown fox crashes."
                               << "@@ -3 +3,2 @@\n-e\n+at\n"
                               << "@@ -1,27 +1,28 @@\n Th\n-e\n+at\n  quick brown fox jumps. \n";
}

void TestMatch::addContext()
{
    QFETCH(QString, text);
    QFETCH(QString, patch);
    QFETCH(QString, expected);
    DiffEngine engine;
    Patch p = engine.patch_fromText(patch).first();
    engine.patch_addContext(p, text);
    QCOMPARE(p.toString(), expected);
    QVERIFY(p.diffs.first().isContext);
    QVERIFY(p.diffs.last().isContext);
    for (int i = 1; i + 1 < p.diffs.size(); ++i)
    {
        QVERIFY(!p.diffs[i].isContext);
    }
}

void TestMatch::addPadding_data()
{
    QTest::addColumn<QString>("patches");
    QTest::addColumn<QString>("expected");
    QTest::newRow("insertion at offset 0") << "@@ -0,0 +1,4 @@\n+test\n"
                                           << "@@ -1,8 +1,12 @@\n %01%02%03%04\n+test\n %01%02%03%04\n";
    QTest::newRow("short context at both ends") << "@@ -1,2 +1,6 @@\n x\n+test\n y\n"
                                                << "@@ -2,8 +2,12 @@\n %02%03%04x\n+test\n y%01%02%03\n";
    QTest::newRow("enough context") << "@@ -4,8 +4,12 @@\n 1234\n+test\n 5678\n"
                                    << "@@ -8,8 +8,12 @@\n 1234\n+test\n 5678\n";
    QTest::newRow("two patches: start padding on the first, end padding on the last")
        << "@@ -1,2 +1,2 @@\n-a\n+b\n x\n@@ -5 +5 @@\n y\n"
        << "@@ -1,6 +1,6 @@\n %01%02%03%04\n-a\n+b\n x\n@@ -9,4 +9,4 @@\n y%01%02%03\n";
    QTest::newRow("no patches") << ""
                                << "";
}

void TestMatch::addPadding()
{
    QFETCH(QString, patches);
    QFETCH(QString, expected);
    DiffEngine engine;
    QList<Patch> list = engine.patch_fromText(patches);
    QCOMPARE(engine.patch_addPadding(list), QString::fromUtf16(u"\x0001\x0002\x0003\x0004"));
    QCOMPARE(engine.patch_toText(list), expected);
}

void TestMatch::splitMax()
{
    DiffEngine engine;
    QList<Patch> patches = engine.patch_fromText("@@ -1,34 +1,34 @@\n-abcdefghijklmnopqrstuvwxyz01234567\n"
                                                 "+abcdefghijklmnopqrstuvwxyz01234567\n");
    engine.patch_splitMax(patches);
    QVERIFY(patches.size() > 1);
    for (const Patch& patch : patches)
    {
        QVERIFY2(patch.length1 <= engine.Match_MaxBits, qPrintable(describe(patch)));
        QCOMPARE(engine.diff_text1(patch.diffs).length(), patch.length1);
        QCOMPARE(engine.diff_text2(patch.diffs).length(), patch.length2);
    }

    // A large deletion passes in one piece.
    QList<Patch> deletion;
    Patch big;
    big.diffs = {Diff(EQUAL, "ab", false), Diff(DELETE, QString(100, 'x'), false), Diff(EQUAL, "cd", false)};
    big.length1 = 104;
    big.length2 = 4;
    deletion.append(big);
    engine.patch_splitMax(deletion);
    QCOMPARE(deletion.size(), 1);
    QCOMPARE(deletion[0].diffs.size(), 3);
    QCOMPARE(deletion[0].length1, 104);

    // Patches that fit are left alone.
    QList<Patch> small = engine.patch_fromText("@@ -1,3 +1,3 @@\n a\n-b\n+c\n d\n");
    const QString before = engine.patch_toText(small);
    engine.patch_splitMax(small);
    QCOMPARE(engine.patch_toText(small), before);
}

void TestMatch::apply_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("results");
    auto row = [](const char* name, const QString& text1, const QString& text2, const QString& target,
                  const QString& expected, const QString& results)
    { QTest::newRow(name) << text1 << text2 << target << expected << results; };
    const QString fox1 = "The quick brown fox jumps over the lazy dog.";
    const QString fox2 = "That quick brown fox jumped over a lazy dog.";
    row("exact", fox1, fox2, fox1, fox2, "11");
    row("drifted text", fox1, fox2, "The quick red rabbit jumps over the tired tiger.",
        "That quick red rabbit jumped over a tired tiger.", "11");
    row("context gone", fox1, fox2, "I am the very model of a modern major general.",
        "I am the very model of a modern major general.", "00");
    const QString big = "x1234567890123456789012345678901234567890123456789012345678901234567890y";
    row("big deletion, small change", big, "xabcy",
        "x123456789012345678901234567890-----++++++++++-----123456789012345678901234567890y", "xabcy", "11");
    row("big deletion, big change", big, "xabcy",
        "x12345678901234567890---------------++++++++++---------------12345678901234567890y",
        "xabc12345678901234567890---------------++++++++++---------------12345678901234567890y", "01");
    row("insertion at the start", "test", "new test", "test", "new test", "1");
    row("empty source", "", "test", "", "test", "1");
}

void TestMatch::apply()
{
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(QString, target);
    QFETCH(QString, expected);
    QFETCH(QString, results);
    DiffEngine engine;
    QList<Patch> patches = patchesFor(engine, text1, text2);
    const QString before = engine.patch_toText(patches);
    const QPair<QString, QVector<bool>> applied = engine.patch_apply(patches, target);
    QString flags;
    for (bool ok : applied.second)
    {
        flags += ok ? '1' : '0';
    }
    QCOMPARE(applied.first, expected);
    QCOMPARE(flags, results);
    // The caller's patches are not changed.
    QCOMPARE(engine.patch_toText(patches), before);
}

void TestMatch::applyRebuildsNewTextOnRandomPairs()
{
    const auto pairs = DiffTestSupport::generatePairs(77, 400, 200);
    DiffEngine engine;
    for (const auto& pair : pairs)
    {
        QList<Patch> patches = patchesFor(engine, pair.text1, pair.text2);
        const QPair<QString, QVector<bool>> applied = engine.patch_apply(patches, pair.text1);
        QVERIFY2(applied.first == pair.text2, qPrintable(pair.name));
        QVERIFY2(!applied.second.contains(false), qPrintable(pair.name));
    }
    QList<Patch> none;
    const QPair<QString, QVector<bool>> unchanged = engine.patch_apply(none, "text");
    QCOMPARE(unchanged.first, QString("text"));
    QVERIFY(unchanged.second.isEmpty());
}

void TestMatch::applyWithUnusualSettingsEnds()
{
    // Settings no caller uses must not make splitting or matching loop for ever.
    for (int maxBits : {0, 6, 8, 100})
    {
        DiffEngine engine;
        engine.Match_MaxBits = maxBits;
        const QString text1 = "The quick brown fox jumps over the lazy dog, and the dog sleeps on.";
        const QString text2 = "The quick red fox jumped over the lazy cat, and the cat sleeps on.";
        QList<Patch> patches = patchesFor(engine, text1, text2);
        const QPair<QString, QVector<bool>> applied = engine.patch_apply(patches, text1);
        QVERIFY2(applied.first == text2, qPrintable(QString::number(maxBits) + ": " + applied.first));
    }
}

QTEST_APPLESS_MAIN(TestMatch)
#include "tst_match.moc"
