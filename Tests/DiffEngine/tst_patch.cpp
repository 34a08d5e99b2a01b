#include "DiffEngine.h"
#include "DiffTestSupport.h"

#include <QtTest/QtTest>

using namespace TextDiff;
using DiffTestSupport::del;
using DiffTestSupport::describe;
using DiffTestSupport::eq;
using DiffTestSupport::ins;

namespace
{

QString describeRows(const QList<UnitPatch>& rows)
{
    QStringList parts;
    for (const UnitPatch& row : rows)
    {
        QStringList patches;
        for (const Patch& patch : row.patches)
        {
            patches << describe(patch);
        }
        parts << QStringLiteral("%1 %2,%3 ")
                         .arg(row.isChange ? "change" : "same")
                         .arg(row.length1)
                         .arg(row.length2) +
                     patches.join(QLatin1Char(' '));
    }
    return parts.join(QStringLiteral(" | "));
}

struct Edit
{
    Operation op;
    QString text;
    int at1;
    int at2;
    bool operator==(const Edit& other) const
    {
        return op == other.op && text == other.text && at1 == other.at1 && at2 == other.at2;
    }
};

// Checks what the patch table relies on: rows in text order without overlap, each patch where its
// numbers say and holding exactly that text, text outside the rows unchanged, and every change of the
// diff list in exactly one change row, at its place.
void checkRows(DiffEngine& engine, const QString& text1, const QString& text2, const QList<Diff>& diffs,
               const QList<UnitPatch>& rows, const QString& name)
{
    const QString where = name + QStringLiteral("\nrows: ") + describeRows(rows);
    int end1 = 0;
    int end2 = 0;
    QVector<Edit> rowEdits;
    for (const UnitPatch& row : rows)
    {
        QVERIFY2(!row.patches.isEmpty(), qPrintable(where));
        QVERIFY2(!row.appliedLeft && !row.appliedRight, qPrintable(where));
        const int start1 = row.patches.first().start1;
        const int start2 = row.patches.first().start2;
        QVERIFY2(start1 >= end1 && start2 >= end2, qPrintable(where));
        QVERIFY2(text1.mid(end1, start1 - end1) == text2.mid(end2, start2 - end2), qPrintable(where));
        int at1 = start1;
        int at2 = start2;
        bool hasEdit = false;
        for (const Patch& patch : row.patches)
        {
            QVERIFY2(patch.start1 == at1 && patch.start2 == at2, qPrintable(where));
            QVERIFY2(engine.diff_text1(patch.diffs) == text1.mid(at1, patch.length1), qPrintable(where));
            QVERIFY2(engine.diff_text2(patch.diffs) == text2.mid(at2, patch.length2), qPrintable(where));
            QVERIFY2(engine.diff_text1(patch.diffs).length() == patch.length1, qPrintable(where));
            QVERIFY2(engine.diff_text2(patch.diffs).length() == patch.length2, qPrintable(where));
            int p1 = at1;
            int p2 = at2;
            for (const Diff& diff : patch.diffs)
            {
                QVERIFY2(!diff.isContext, qPrintable(where));
                if (diff.operation != EQUAL)
                {
                    hasEdit = true;
                    rowEdits.append({diff.operation, diff.text, p1, p2});
                }
                p1 += diff.operation != INSERT ? diff.text.length() : 0;
                p2 += diff.operation != DELETE ? diff.text.length() : 0;
            }
            at1 += patch.length1;
            at2 += patch.length2;
        }
        QVERIFY2(at1 - start1 == row.length1 && at2 - start2 == row.length2, qPrintable(where));
        QVERIFY2(row.isChange == hasEdit, qPrintable(where));
        end1 = at1;
        end2 = at2;
    }
    QVERIFY2(end1 <= text1.length() && end2 <= text2.length(), qPrintable(where));
    QVERIFY2(text1.mid(end1) == text2.mid(end2), qPrintable(where));

    QVector<Edit> listEdits;
    int p1 = 0;
    int p2 = 0;
    for (const Diff& diff : diffs)
    {
        if (diff.operation != EQUAL)
        {
            listEdits.append({diff.operation, diff.text, p1, p2});
        }
        p1 += diff.operation != INSERT ? diff.text.length() : 0;
        p2 += diff.operation != DELETE ? diff.text.length() : 0;
    }
    QVERIFY2(rowEdits == listEdits, qPrintable(where + QStringLiteral("\ndiffs: ") + describe(diffs)));
}

QList<Patch> allPatches(const QList<UnitPatch>& rows)
{
    QList<Patch> patches;
    for (const UnitPatch& row : rows)
    {
        patches += row.patches;
    }
    return patches;
}

} // namespace

class TestPatch : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void noDiffsNoRows();
    void rowsCoverBothTextsOnRandomPairs_data();
    void rowsCoverBothTextsOnRandomPairs();
    void otherMakeForms();
    void patchText();
    void patchTextRoundTripsOnRandomPairs();
    void readHeaders_data();
    void readHeaders();
    void headerNumbersWithLeadingZeros_data();
    void headerNumbersWithLeadingZeros();
    void malformedPatchText_data();
    void malformedPatchText();
};

void TestPatch::rows_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<bool>("perLine");
    QTest::addColumn<QString>("expected");
    QTest::newRow("identical, one paragraph") << "abc"
                                              << "abc" << false << "same 3,3 Patch(0,3 0,3 [=abc])";
    QTest::newRow("identical, paragraphs and a closing piece")
        << "a\rb\rc"
        << "a\rb\rc" << false << "same 4,4 Patch(0,4 0,4 [=a\\rb\\r]) | same 1,1 Patch(4,1 4,1 [=c])";
    QTest::newRow("one changed paragraph")
        << "one\rtwo\rthree"
        << "one\r2\rthree" << false
        << "same 4,4 Patch(0,4 0,4 [=one\\r]) | change 4,2 Patch(4,4 4,2 [-two +2 =\\r]) | "
           "same 5,5 Patch(8,5 6,5 [=three])";
    QTest::newRow("dictionary per line")
        << "a=1\rb=2\r"
        << "a=1\rb=3\r" << true
        << "same 4,4 Patch(0,4 0,4 [=a=1\\r]) | change 2,2 Patch(6,2 6,2 [-2 +3 =\\r])";
    QTest::newRow("dictionary as story text")
        << "a=1\rb=2\r"
        << "a=1\rb=3\r" << false
        << "same 4,4 Patch(0,4 0,4 [=a=1\\r]) | change 4,4 Patch(4,4 4,4 [=b= -2 +3 =\\r])";
    QTest::newRow("identical lines per line")
        << "a=1\rb=2\r"
        << "a=1\rb=2\r" << true << "same 4,4 Patch(0,4 0,4 [=a=1\\r]) | same 4,4 Patch(4,4 4,4 [=b=2\\r])";
    QTest::newRow("equality of twice the margin closes the patch")
        << "a12345678b"
        << "c12345678d" << false << "change 10,10 Patch(0,9 0,9 [-a +c =12345678]) Patch(9,1 9,1 [-b +d])";
    QTest::newRow("shorter equality stays inside")
        << "a1234567b"
        << "c1234567d" << false << "change 9,9 Patch(0,9 0,9 [-a +c =1234567 -b +d])";
    QTest::newRow("short equality like the last one stays in its patch")
        << "aWXYZbWXYZ"
        << "cWXYZdWXYZ" << false << "change 6,6 Patch(0,6 0,6 [-a +c =WXYZ -b +d])";
    QTest::newRow("short unchanged end belongs to no row")
        << "abcXdef"
        << "abcYdef" << false << "change 4,4 Patch(0,4 0,4 [=abc -X +Y])";
}

void TestPatch::rows()
{
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(bool, perLine);
    QFETCH(QString, expected);
    DiffEngine engine;
    QList<Diff> diffs = engine.diff_main(text1, text2, false);
    if (perLine)
    {
        engine.diff_cleanupSplit(diffs);
    }
    else
    {
        engine.diff_cleanupEfficiency(diffs);
    }
    const QList<UnitPatch> rows = engine.patch_make(text1, diffs, perLine);
    QCOMPARE(describeRows(rows), expected);
    checkRows(engine, text1, text2, diffs, rows, QTest::currentDataTag());
}

void TestPatch::noDiffsNoRows()
{
    DiffEngine engine;
    QCOMPARE(engine.patch_make(QString(), QList<Diff>(), false).size(), 0);
    QCOMPARE(engine.patch_make(QString(), QList<Diff>(), true).size(), 0);
}

void TestPatch::rowsCoverBothTextsOnRandomPairs_data()
{
    QTest::addColumn<bool>("perLine");
    QTest::newRow("story rows") << false;
    QTest::newRow("rows per line") << true;
}

void TestPatch::rowsCoverBothTextsOnRandomPairs()
{
    QFETCH(bool, perLine);
    const auto pairs = DiffTestSupport::generatePairs(perLine ? 41 : 42, 1200, 300);
    DiffEngine engine;
    for (const auto& pair : pairs)
    {
        QList<Diff> diffs = engine.diff_main(pair.text1, pair.text2, false);
        if (perLine)
        {
            engine.diff_cleanupSplit(diffs);
        }
        else
        {
            engine.diff_cleanupEfficiency(diffs);
        }
        const QList<UnitPatch> rows = engine.patch_make(pair.text1, diffs, perLine);
        checkRows(engine, pair.text1, pair.text2, diffs, rows, pair.name);
        if (QTest::currentTestFailed())
        {
            return;
        }
    }
}

void TestPatch::otherMakeForms()
{
    DiffEngine engine;
    const QString text1 = "The quick brown fox\rjumps over\rthe lazy dog.";
    const QString text2 = "That quick brown fox\rjumped over\ra lazy dog.";
    const QList<Diff> diffs = engine.diff_main(text1, text2, true);
    QCOMPARE(describeRows(engine.patch_make(diffs)), describeRows(engine.patch_make(text1, diffs, false)));
    QCOMPARE(describeRows(engine.patch_make(text1, "ignored", diffs)),
             describeRows(engine.patch_make(text1, diffs, false)));
    const QList<UnitPatch> rows = engine.patch_make(text1, text2);
    QList<Diff> cleaned = engine.diff_main(text1, text2, true);
    engine.diff_cleanupSemantic(cleaned);
    engine.diff_cleanupEfficiency(cleaned);
    checkRows(engine, text1, text2, cleaned, rows, "from two texts");
    QCOMPARE(rows.size(), 3);
}

void TestPatch::patchText()
{
    Patch patch;
    patch.start1 = 20;
    patch.start2 = 21;
    patch.length1 = 18;
    patch.length2 = 17;
    patch.diffs = {eq("jump"), del("s"), ins("ed"), eq(" over "), del("the"), ins("a"), eq("\nlaz")};
    const QString text = "@@ -21,18 +22,17 @@\n jump\n-s\n+ed\n  over \n-the\n+a\n %0Alaz\n";
    QCOMPARE(patch.toString(), text);
    DiffEngine engine;
    QCOMPARE(engine.patch_toText({patch, patch}), text + text);
    const QList<Patch> read = engine.patch_fromText(text);
    QCOMPARE(read.size(), 1);
    QCOMPARE(read[0].diffs, patch.diffs);
    QCOMPARE(read[0].start1, 20);
    QCOMPARE(read[0].length2, 17);

    Patch empty;
    QVERIFY(empty.isNull());
    QCOMPARE(empty.toString(), QString("@@ -0,0 +0,0 @@\n"));
    QVERIFY(engine.patch_fromText(QString()).isEmpty());
    QCOMPARE(engine.patch_fromText("@@ -1 +1 @@\n+a+b%2B\n")[0].diffs, QList<Diff>{ins("a+b+")});
}

void TestPatch::patchTextRoundTripsOnRandomPairs()
{
    const auto pairs = DiffTestSupport::generatePairs(43, 600, 250);
    DiffEngine engine;
    for (const auto& pair : pairs)
    {
        QList<Diff> diffs = engine.diff_main(pair.text1, pair.text2, false);
        engine.diff_cleanupEfficiency(diffs);
        const QList<Patch> patches = allPatches(engine.patch_make(pair.text1, diffs, false));
        const QList<Patch> read = engine.patch_fromText(engine.patch_toText(patches));
        QCOMPARE(read.size(), patches.size());
        for (int i = 0; i < patches.size(); ++i)
        {
            QCOMPARE(read[i].diffs, patches[i].diffs);
            QCOMPARE(read[i].start1, patches[i].start1);
            QCOMPARE(read[i].start2, patches[i].start2);
            QCOMPARE(read[i].length1, patches[i].length1);
            QCOMPARE(read[i].length2, patches[i].length2);
        }
    }
}

void TestPatch::readHeaders_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("start1");
    QTest::addColumn<int>("length1");
    QTest::addColumn<int>("start2");
    QTest::addColumn<int>("length2");
    QTest::newRow("lengths of one left out") << "@@ -1 +1 @@" << 0 << 1 << 0 << 1;
    QTest::newRow("length 0 keeps the start") << "@@ -0,0 +1,2 @@" << 0 << 0 << 0 << 2;
    QTest::newRow("plain") << "@@ -21,18 +22,17 @@" << 20 << 18 << 21 << 17;
}

void TestPatch::readHeaders()
{
    QFETCH(QString, header);
    QFETCH(int, start1);
    QFETCH(int, length1);
    QFETCH(int, start2);
    QFETCH(int, length2);
    DiffEngine engine;
    const QList<Patch> patches = engine.patch_fromText(header + "\n");
    QCOMPARE(patches.size(), 1);
    QCOMPARE(patches[0].start1, start1);
    QCOMPARE(patches[0].length1, length1);
    QCOMPARE(patches[0].start2, start2);
    QCOMPARE(patches[0].length2, length2);
    QCOMPARE(engine.patch_toText(patches), header + "\n");
}

// A number written with leading zeros reads as its value, and the header
// then writes and reads back as the same numbers.
void TestPatch::headerNumbersWithLeadingZeros_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("start1");
    QTest::addColumn<int>("length1");
    QTest::addColumn<int>("start2");
    QTest::addColumn<int>("length2");
    QTest::newRow("length 00") << "@@ -0,00 +1,2 @@" << 0 << 0 << 0 << 2;
    QTest::newRow("start and length") << "@@ -007,03 +008,02 @@" << 6 << 3 << 7 << 2;
    QTest::newRow("a start of 00 with length 0") << "@@ -00,0 +01 @@" << 0 << 0 << 0 << 1;
    QTest::newRow("length 01") << "@@ -3,01 +3,001 @@" << 2 << 1 << 2 << 1;
}

void TestPatch::headerNumbersWithLeadingZeros()
{
    QFETCH(QString, header);
    QFETCH(int, start1);
    QFETCH(int, length1);
    QFETCH(int, start2);
    QFETCH(int, length2);
    DiffEngine engine;
    const QList<Patch> patches = engine.patch_fromText(header + "\n");
    QCOMPARE(patches.size(), 1);
    QCOMPARE(patches[0].start1, start1);
    QCOMPARE(patches[0].length1, length1);
    QCOMPARE(patches[0].start2, start2);
    QCOMPARE(patches[0].length2, length2);
    const QList<Patch> again = engine.patch_fromText(engine.patch_toText(patches));
    QCOMPARE(again.size(), 1);
    QCOMPARE(again[0].start1, start1);
    QCOMPARE(again[0].length1, length1);
    QCOMPARE(again[0].start2, start2);
    QCOMPARE(again[0].length2, length2);
}

void TestPatch::malformedPatchText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("letter in a header") << "@@ -x +1 @@\n"
                                        << "Invalid patch string: @@ -x +1 @@";
    QTest::newRow("not a header") << "Bad\nPatch\n"
                                  << "Invalid patch string: Bad";
    QTest::newRow("trailing text after a header") << "@@ -1 +1 @@ x\n"
                                                  << "Invalid patch string: @@ -1 +1 @@ x";
    QTest::newRow("number beyond the offsets") << "@@ -99999999999 +1 @@\n"
                                               << "Invalid patch string: @@ -99999999999 +1 @@";
    QTest::newRow("unknown sign") << "@@ -1 +1 @@\n a\nXb%20c\n"
                                  << "Invalid patch mode 'X' in: b c";
    // A start of 0 means "before the text" and fits only an empty side.
    QTest::newRow("start 0 with a length") << "@@ -0,5 +1,5 @@\n"
                                           << "Invalid patch string: @@ -0,5 +1,5 @@";
    QTest::newRow("start 0 with the implied length") << "@@ -1 +0 @@\n"
                                                     << "Invalid patch string: @@ -1 +0 @@";
    // Offsets no text can reach: applying them would overflow.
    QTest::newRow("numbers at the limit of int") << "@@ -2147483647,5 +2147483647,5 @@\n"
                                                 << "Invalid patch string: @@ -2147483647,5 +2147483647,5 @@";
    QTest::newRow("a side beyond any text") << "@@ -1,536870913 +1 @@\n"
                                            << "Invalid patch string: @@ -1,536870913 +1 @@";
    QTest::newRow("patches that together reach beyond any text")
        << "@@ -1,300000000 +1 @@\n@@ -1,300000000 +1 @@\n"
        << "Invalid patch string: @@ -1,300000000 +1 @@";
    QTest::newRow("a control character in a bad header")
        << QString("@@ -1 +1 @@\a\n") << "Invalid patch string: @@ -1 +1 @@\\u0007";
    QTest::newRow("NUL in the text of an unknown sign") << "@@ -1 +1 @@\nXb%00c\n"
                                                        << "Invalid patch mode 'X' in: b\\u0000c";
    QTest::newRow("second patch broken") << "@@ -1 +1 @@\n a\n@@ -2,2 +2 @\n"
                                         << "Invalid patch string: @@ -2,2 +2 @";
}

void TestPatch::malformedPatchText()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    DiffEngine engine;
    try
    {
        engine.patch_fromText(text);
        QFAIL("no exception");
    }
    catch (const QString& thrown)
    {
        QCOMPARE(thrown, message);
    }
}

QTEST_APPLESS_MAIN(TestPatch)
#include "tst_patch.moc"
