#include "DiffEngine.h"
#include "DiffTestSupport.h"

#include <QtTest/QtTest>

Q_DECLARE_METATYPE(TextDiff::Granularity)

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
// diff list that rows_make's first two steps give in exactly one change row, at its place.
void checkRows(DiffEngine& engine, const QString& text1, const QString& text2, Granularity granularity,
               bool perLine, const QList<UnitPatch>& rows, const QString& name)
{
    QList<Diff> diffs = engine.rows_diff(text1, text2, granularity, perLine);
    engine.rows_cleanup(diffs, granularity, perLine);
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
    void rowsMake_data();
    void rowsMake();
    void noDiffsNoRows();
    void rowsCoverBothTextsOnRandomPairs_data();
    void rowsCoverBothTextsOnRandomPairs();
    void patchText();
    void readHeaders_data();
    void readHeaders();
    void malformedPatchText_data();
    void malformedPatchText();
};

void TestPatch::rowsMake_data()
{
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QString>("text2");
    QTest::addColumn<Granularity>("granularity");
    QTest::addColumn<bool>("perLine");
    QTest::addColumn<QString>("expected");
    const Granularity chars = Granularity::Characters;
    const Granularity words = Granularity::Words;
    QTest::newRow("identical, one paragraph") << "abc"
                                              << "abc" << chars << false << "same 3,3 Patch(0,3 0,3 [=abc])";
    QTest::newRow("identical, paragraphs and a closing piece")
        << "a\rb\rc"
        << "a\rb\rc" << chars << false
        << "same 4,4 Patch(0,4 0,4 [=a\\rb\\r]) | same 1,1 Patch(4,1 4,1 [=c])";
    QTest::newRow("one changed paragraph")
        << "one\rtwo\rthree"
        << "one\r2\rthree" << chars << false
        << "same 4,4 Patch(0,4 0,4 [=one\\r]) | change 4,2 Patch(4,4 4,2 [-two +2 =\\r]) | "
           "same 5,5 Patch(8,5 6,5 [=three])";
    QTest::newRow("dictionary per line")
        << "a=1\rb=2\r"
        << "a=1\rb=3\r" << chars << true
        << "same 4,4 Patch(0,4 0,4 [=a=1\\r]) | change 2,2 Patch(6,2 6,2 [-2 +3 =\\r])";
    QTest::newRow("dictionary as story text")
        << "a=1\rb=2\r"
        << "a=1\rb=3\r" << chars << false
        << "same 4,4 Patch(0,4 0,4 [=a=1\\r]) | change 4,4 Patch(4,4 4,4 [=b= -2 +3 =\\r])";
    QTest::newRow("identical lines per line")
        << "a=1\rb=2\r"
        << "a=1\rb=2\r" << chars << true
        << "same 4,4 Patch(0,4 0,4 [=a=1\\r]) | same 4,4 Patch(4,4 4,4 [=b=2\\r])";
    QTest::newRow("equality of twice the margin closes the patch")
        << "a12345678b"
        << "c12345678d" << chars << false
        << "change 10,10 Patch(0,9 0,9 [-a +c =12345678]) Patch(9,1 9,1 [-b +d])";
    QTest::newRow("shorter equality stays inside")
        << "a1234567b"
        << "c1234567d" << chars << false << "change 9,9 Patch(0,9 0,9 [-a +c =1234567 -b +d])";
    QTest::newRow("short equalities, the last one too, stay in the patch")
        << "aWXYZbWXYZ"
        << "cWXYZdWXYZ" << chars << false << "change 10,10 Patch(0,10 0,10 [-a +c =WXYZ -b +d =WXYZ])";
    QTest::newRow("short unchanged end joins the last change's row")
        << "abcXdef"
        << "abcYdef" << chars << false << "change 7,7 Patch(0,7 0,7 [=abc -X +Y =def])";
    // Characters get the efficiency clean-up, words none; per line the texts are compared by characters
    // whatever the granularity.
    QTest::newRow("characters: changed letters")
        << "The harbour opened\r"
        << "The harbor opened\r" << chars << false
        << "change 19,18 Patch(0,19 0,18 [=The harbo -u =r opened\\r])";
    QTest::newRow("words: the changed word whole")
        << "The harbour opened\r"
        << "The harbor opened\r" << words << false
        << "change 19,18 Patch(0,19 0,18 [=The  -harbour +harbor = opened\\r])";
    QTest::newRow("characters: a short equality between changes joins them")
        << "ab c ef"
        << "xy c zw" << chars << false << "change 7,7 Patch(0,7 0,7 [-ab c ef +xy c zw])";
    QTest::newRow("words: a one-word equality between changes stays")
        << "ab c ef"
        << "xy c zw" << words << false << "change 7,7 Patch(0,7 0,7 [-ab +xy = c  -ef +zw])";
    QTest::newRow("words: a combining mark belongs to its word")
        << QString::fromUtf16(u"cafe\u0301 au lait\r") << "cafe au lait\r" << words << false
        << QString::fromUtf16(u"change 14,13 Patch(0,14 0,13 [-cafe\u0301 +cafe = au lait\\r])");
    QTest::newRow("words: a number is one word")
        << "w=388 pt\r"
        << "w=428 pt\r" << words << false << "change 9,9 Patch(0,9 0,9 [=w= -388 +428 = pt\\r])";
    QTest::newRow("per line, words ignored")
        << "w=388 pt\r"
        << "w=428 pt\r" << words << true << "change 9,9 Patch(0,9 0,9 [=w= -38 +42 =8 pt\\r])";
    // More distinct words than units to stand for them: characters, without the clean-up.
    QStringList numbers;
    for (int i = 0; i < 64000; ++i)
        numbers << QString::number(i);
    const QString many = numbers.join(QLatin1Char(' '));
    const QString n = QString::number(many.size() + 1);
    QTest::newRow("words: too many distinct words")
        << many + "\ra1b" << many + "\rx1y" << words << false
        << QStringLiteral(
               "same %1,%1 Patch(0,%1 0,%1 [=%2\\r]) | change 3,3 Patch(%1,3 %1,3 [-a +x =1 -b +y])")
               .arg(n, many);
}

void TestPatch::rowsMake()
{
    QFETCH(QString, text1);
    QFETCH(QString, text2);
    QFETCH(Granularity, granularity);
    QFETCH(bool, perLine);
    QFETCH(QString, expected);
    DiffEngine engine;
    const QList<UnitPatch> rows = engine.rows_make(text1, text2, granularity, perLine);
    QCOMPARE(describeRows(rows), expected);
    checkRows(engine, text1, text2, granularity, perLine, rows, QTest::currentDataTag());
}

void TestPatch::noDiffsNoRows()
{
    DiffEngine engine;
    QCOMPARE(engine.patch_make(QString(), QList<Diff>(), false).size(), 0);
    QCOMPARE(engine.patch_make(QString(), QList<Diff>(), true).size(), 0);
}

void TestPatch::rowsCoverBothTextsOnRandomPairs_data()
{
    QTest::addColumn<Granularity>("granularity");
    QTest::addColumn<bool>("perLine");
    QTest::addColumn<quint32>("seed");
    QTest::newRow("story rows, characters") << Granularity::Characters << false << 42u;
    QTest::newRow("story rows, words") << Granularity::Words << false << 44u;
    QTest::newRow("rows per line") << Granularity::Characters << true << 41u;
}

void TestPatch::rowsCoverBothTextsOnRandomPairs()
{
    QFETCH(Granularity, granularity);
    QFETCH(bool, perLine);
    QFETCH(quint32, seed);
    DiffEngine engine;
    for (const auto& pair : DiffTestSupport::generatePairs(seed, 1200, 300))
    {
        const QList<UnitPatch> rows = engine.rows_make(pair.text1, pair.text2, granularity, perLine);
        checkRows(engine, pair.text1, pair.text2, granularity, perLine, rows, pair.name);
        if (QTest::currentTestFailed())
        {
            return;
        }
        // Their patches write as patch text and read back the same.
        const QList<Patch> patches = allPatches(rows);
        const QList<Patch> read = engine.patch_fromText(engine.patch_toText(patches));
        QCOMPARE(read.size(), patches.size());
        for (int i = 0; i < patches.size(); ++i)
        {
            QCOMPARE(describe(read[i]), describe(patches[i]));
        }
    }
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

// A header reads as its numbers and writes back in its shortest form, which reads as the same numbers: a
// number written with leading zeros reads as its value.
void TestPatch::readHeaders_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("start1");
    QTest::addColumn<int>("length1");
    QTest::addColumn<int>("start2");
    QTest::addColumn<int>("length2");
    QTest::addColumn<QString>("written");
    QTest::newRow("lengths of one left out") << "@@ -1 +1 @@" << 0 << 1 << 0 << 1 << "@@ -1 +1 @@";
    QTest::newRow("length 0 keeps the start") << "@@ -0,0 +1,2 @@" << 0 << 0 << 0 << 2 << "@@ -0,0 +1,2 @@";
    QTest::newRow("plain") << "@@ -21,18 +22,17 @@" << 20 << 18 << 21 << 17 << "@@ -21,18 +22,17 @@";
    QTest::newRow("length 00") << "@@ -0,00 +1,2 @@" << 0 << 0 << 0 << 2 << "@@ -0,0 +1,2 @@";
    QTest::newRow("start and length") << "@@ -007,03 +008,02 @@" << 6 << 3 << 7 << 2 << "@@ -7,3 +8,2 @@";
    QTest::newRow("a start of 00 with length 0") << "@@ -00,0 +01 @@" << 0 << 0 << 0 << 1 << "@@ -0,0 +1 @@";
    QTest::newRow("length 01") << "@@ -3,01 +3,001 @@" << 2 << 1 << 2 << 1 << "@@ -3 +3 @@";
}

void TestPatch::readHeaders()
{
    QFETCH(QString, header);
    QFETCH(int, start1);
    QFETCH(int, length1);
    QFETCH(int, start2);
    QFETCH(int, length2);
    QFETCH(QString, written);
    DiffEngine engine;
    for (const QString& text : {header, written})
    {
        const QList<Patch> patches = engine.patch_fromText(text + "\n");
        QCOMPARE(patches.size(), 1);
        QCOMPARE(patches[0].start1, start1);
        QCOMPARE(patches[0].length1, length1);
        QCOMPARE(patches[0].start2, start2);
        QCOMPARE(patches[0].length2, length2);
        QCOMPARE(engine.patch_toText(patches), written + "\n");
    }
}

void TestPatch::malformedPatchText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    auto row = [](const char* name, const QString& text, const QString& message)
    { QTest::newRow(name) << text << message; };
    const QString invalid = "Invalid patch string: ";
    row("letter in a header", "@@ -x +1 @@\n", invalid + "@@ -x +1 @@");
    row("not a header", "Bad\nPatch\n", invalid + "Bad");
    row("trailing text after a header", "@@ -1 +1 @@ x\n", invalid + "@@ -1 +1 @@ x");
    row("number beyond the offsets", "@@ -99999999999 +1 @@\n", invalid + "@@ -99999999999 +1 @@");
    row("unknown sign", "@@ -1 +1 @@\n a\nXb%20c\n", "Invalid patch mode 'X' in: b c");
    // A start of 0 means "before the text" and fits only an empty side.
    row("start 0 with a length", "@@ -0,5 +1,5 @@\n", invalid + "@@ -0,5 +1,5 @@");
    row("start 0 with the implied length", "@@ -1 +0 @@\n", invalid + "@@ -1 +0 @@");
    // Offsets no text can reach: applying them would overflow.
    row("numbers at the limit of int", "@@ -2147483647,5 +2147483647,5 @@\n",
        invalid + "@@ -2147483647,5 +2147483647,5 @@");
    row("a side beyond any text", "@@ -1,536870913 +1 @@\n", invalid + "@@ -1,536870913 +1 @@");
    row("patches that together reach beyond any text", "@@ -1,300000000 +1 @@\n@@ -1,300000000 +1 @@\n",
        invalid + "@@ -1,300000000 +1 @@");
    row("a control character in a bad header", "@@ -1 +1 @@\a\n", invalid + "@@ -1 +1 @@\\u0007");
    row("NUL in the text of an unknown sign", "@@ -1 +1 @@\nXb%00c\n",
        "Invalid patch mode 'X' in: b\\u0000c");
    row("second patch broken", "@@ -1 +1 @@\n a\n@@ -2,2 +2 @\n", invalid + "@@ -2,2 +2 @");
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
