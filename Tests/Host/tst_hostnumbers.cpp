// FixedToText and TextToFixed: the text forms of each measure format, what
// reading accepts and refuses, and the round trip over a large share of all
// 16.16 values.

#include "HostTestSupport.h"

#include <QtTest>

#include <random>

class tst_HostNumbers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void writes_data();
    void writes();
    void reads_data();
    void reads();
    void writtenTextReadsBackExactly_data();
    void writtenTextReadsBackExactly();

private:
    Fixed read(const QString& text, int32_t format, bool* ok) const;

    std::unique_ptr<XTHost::HostSession> mSession;
    HostApi mApi;
};

void tst_HostNumbers::initTestCase()
{
    mSession = std::make_unique<XTHost::HostSession>();
    QVERIFY(mApi.acquire(mSession->setupRecord()));
}

void tst_HostNumbers::cleanupTestCase()
{
    mSession.reset();
}

Fixed tst_HostNumbers::read(const QString& text, int32_t format, bool* ok) const
{
    HostString string = mApi.string(text);
    const Fixed value = mApi.mNumbers->TextToFixed(string, format, ok);
    mApi.mStrings->ReleaseHostString(string);
    return value;
}

void tst_HostNumbers::writes_data()
{
    QTest::addColumn<Fixed>("value");
    QTest::addColumn<int32_t>("format");
    QTest::addColumn<QString>("text");
    QTest::newRow("percent") << pt(100) << 101 << "100%";
    QTest::newRow("degrees") << pt(12.5) << 105 << QStringLiteral("12.5\u00B0");
    QTest::newRow("negative degrees") << pt(-45.25) << 105 << QStringLiteral("-45.25\u00B0");
    QTest::newRow("inset points") << pt(1) << 113 << "1 pt";
    QTest::newRow("vertical points") << pt(72) << 115 << "72 pt";
    QTest::newRow("horizontal points") << pt(-0.5) << 116 << "-0.5 pt";
    QTest::newRow("a tenth, three decimals are enough") << Fixed(6554) << 116 << "0.1 pt";
    QTest::newRow("the smallest step needs five") << Fixed(1) << 116 << "0.00002 pt";
    QTest::newRow("minus the smallest step") << Fixed(-1) << 115 << "-0.00002 pt";
    QTest::newRow("largest") << Fixed(0x7FFFFFFF) << 116 << "32767.99998 pt";
    QTest::newRow("smallest") << Fixed(INT32_MIN) << 116 << "-32768 pt";
    QTest::newRow("zero") << Fixed(0) << 101 << "0%";
}

void tst_HostNumbers::writes()
{
    QFETCH(Fixed, value);
    QFETCH(int32_t, format);
    QFETCH(QString, text);
    QCOMPARE(mApi.take(mApi.mNumbers->FixedToText(value, format)), text);
}

void tst_HostNumbers::reads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int32_t>("format");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<Fixed>("value");
    QTest::newRow("as written") << "72 pt" << 115 << true << pt(72);
    QTest::newRow("no space before the unit") << "72pt" << 116 << true << pt(72);
    QTest::newRow("no unit") << "72" << 113 << true << pt(72);
    QTest::newRow("spaces around") << "  12.5 %  " << 101 << true << pt(12.5);
    QTest::newRow("plus sign") << "+3 pt" << 115 << true << pt(3);
    QTest::newRow("no leading digit") << ".5\u00B0" << 105 << true << pt(0.5);
    QTest::newRow("degrees spelt out") << "30 deg" << 105 << true << pt(30);
    QTest::newRow("many decimals round to the nearest step") << "0.0000076294" << 116 << true << Fixed(1);
    QTest::newRow("empty") << "" << 115 << false << 0;
    QTest::newRow("unit alone") << "pt" << 115 << false << 0;
    QTest::newRow("words") << "twelve" << 115 << false << 0;
    QTest::newRow("another unit") << "72 px" << 115 << false << 0;
    QTest::newRow("percent for points") << "72%" << 116 << false << 0;
    QTest::newRow("points for degrees") << "72 pt" << 105 << false << 0;
    QTest::newRow("exponent") << "1e3 pt" << 115 << false << 0;
    QTest::newRow("decimal comma") << "1,5 pt" << 115 << false << 0;
    QTest::newRow("beyond the range") << "32768 pt" << 115 << false << 0;
    QTest::newRow("far beyond the range") << "99999999999 pt" << 115 << false << 0;
    QTest::newRow("space inside the number") << "- 5 pt" << 115 << false << 0;
    QTest::newRow("unit twice") << "5 pt pt" << 115 << false << 0;
    QTest::newRow("unknown format") << "5" << 999 << false << 0;
}

void tst_HostNumbers::reads()
{
    QFETCH(QString, text);
    QFETCH(int32_t, format);
    QFETCH(bool, accepted);
    QFETCH(Fixed, value);
    bool ok = !accepted;
    QCOMPARE(read(text, format, &ok), value);
    QCOMPARE(ok, accepted);
}

void tst_HostNumbers::writtenTextReadsBackExactly_data()
{
    QTest::addColumn<int32_t>("format");
    for (int32_t format : {101, 105, 113, 115, 116})
        QTest::newRow(qPrintable(QString::number(format))) << format;
}

void tst_HostNumbers::writtenTextReadsBackExactly()
{
    // Every fraction of 0 and -1, every 7th at the ends of the range, and
    // random values over the whole range; an unknown format is refused both
    // ways.
    QFETCH(int32_t, format);
    std::vector<Fixed> values;
    for (int32_t whole : {-1, 0, 32767, -32768})
        for (int32_t fraction = 0; fraction < 65536; fraction += (whole == 0 || whole == -1) ? 1 : 7)
            values.push_back(Fixed(int64_t(whole) * 65536 + fraction));
    std::mt19937 random{uint32_t(format)};
    for (int i = 0; i < 20000; ++i)
        values.push_back(Fixed(random()));
    for (Fixed value : values)
    {
        const QString text = mApi.take(mApi.mNumbers->FixedToText(value, format));
        bool ok = false;
        const Fixed back = read(text, format, &ok);
        if (!ok || back != value)
            QFAIL(qPrintable(
                QStringLiteral("%1 written as \"%2\" reads back as %3").arg(value).arg(text).arg(back)));
        const int point = text.indexOf('.');
        int decimals = 0;
        for (int i = point + 1; point >= 0 && i < text.size() && text.at(i).isDigit(); ++i)
            ++decimals;
        QVERIFY(decimals <= 5);
    }
    QVERIFY(!mApi.mNumbers->FixedToText(pt(1), 100));
}

QTEST_GUILESS_MAIN(tst_HostNumbers)
#include "tst_hostnumbers.moc"
