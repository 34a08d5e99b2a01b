// The patch table's delegate, painted into images: the colours of changed and
// unchanged text, unstyled equality and applied rows, selection, line feeds
// and text that is never elided.

#include "Corvable.h"
#include "DiffModel.h"
#include "PatchItemDelegate.h"
#include "UiTestSupport.h"

#include <QImage>
#include <QPainter>
#include "UserSettings.h"

#include <QSettings>
#include <QStandardItemModel>
#include <QTest>

namespace
{

// A comparable item that is just a text.
class TextItem : public Corvable
{
public:
    explicit TextItem(QString text) : mText(std::move(text)) {}
    QString ToString() const override { return mText; }
    QString Name() const override { return QStringLiteral("text"); }
    bool IsValid() const override { return true; }
    RefusedRows ApplyPatches(Corvable&, std::map<int, TextDiff::UnitPatch*>&) override { return {}; }

private:
    QString mText;
};

const QColor kChangeColour(255, 0, 0);
const QColor kEqualityColour(0, 0, 255);
const QColor kTextColour(0, 160, 0);
const QColor kHighlightColour(255, 200, 0);
const QColor kBackground(Qt::white);

QStyleOptionViewItem Option(const QSize& size)
{
    QStyleOptionViewItem option;
    option.rect = QRect(QPoint(0, 0), size);
    option.state = QStyle::State_Enabled | QStyle::State_Active;
    option.displayAlignment = Qt::AlignLeft | Qt::AlignTop;
    option.font = QFont(QStringLiteral("DejaVu Sans"));
    option.font.setPixelSize(24);
    option.font.setBold(true);
    option.palette.setColor(QPalette::Text, kTextColour);
    option.palette.setColor(QPalette::Highlight, kHighlightColour);
    option.palette.setColor(QPalette::HighlightedText, Qt::black);
    option.direction = Qt::LeftToRight;
    return option;
}

QImage Paint(const QModelIndex& index, const QStyleOptionViewItem& option)
{
    QImage image(option.rect.size(), QImage::Format_ARGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    PatchItemDelegate delegate;
    delegate.paint(&painter, option, index);
    return image;
}

int Count(const QImage& image, const QColor& colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                ++count;
    return count;
}

// The first and last image rows that hold anything but the background.
QPair<int, int> InkRows(const QImage& image)
{
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != kBackground)
            {
                if (first < 0)
                    first = y;
                last = y;
                break;
            }
    return {first, last};
}

} // namespace

class TestPatchItemDelegate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void changeRowColours_data();
    void changeRowColours();
    void equalityAndAppliedRowsAreUnstyled_data();
    void equalityAndAppliedRowsAreUnstyled();
    void selectedCellIsHighlighted();
    void selectedChangesStayReadable();
    void lineBreaks_data();
    void lineBreaks();
    void textIsNeverElided();
};

void TestPatchItemDelegate::init()
{
    QSettings settings = TestSettings();
    settings.clear();
    settings.setValue(QStringLiteral("prefs/Colors/diffFG"), kChangeColour);
    settings.setValue(QStringLiteral("prefs/Colors/equalityFG"), kEqualityColour);
    settings.setValue(QStringLiteral("prefs/Colors/diffBG"), QColor(Qt::white));
    settings.sync();
    UserSettings::Get().Reload();
}

void TestPatchItemDelegate::changeRowColours_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("changeInk");
    QTest::addColumn<bool>("equalityInk");

    // A cell shows its own deletions (left) or insertions (right) in the
    // change colour and the rest of the row in the equality colour.
    QTest::newRow("left deletes a word") << "Keep THIS word"
                                         << "Keep word" << 0 << true << true;
    QTest::newRow("right of a deletion has nothing to mark") << "Keep THIS word"
                                                             << "Keep word" << 1 << false << true;
    QTest::newRow("right inserts a word") << "Keep word"
                                          << "Keep MORE word" << 1 << true << true;
    QTest::newRow("left of an insertion has nothing to mark") << "Keep word"
                                                              << "Keep MORE word" << 0 << false << true;
    QTest::newRow("whole text replaced, left") << "AAAA"
                                               << "ZZZZ" << 0 << true << false;
    QTest::newRow("whole text replaced, right") << "AAAA"
                                                << "ZZZZ" << 1 << true << false;
}

void TestPatchItemDelegate::changeRowColours()
{
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(int, column);
    QFETCH(bool, changeInk);
    QFETCH(bool, equalityInk);

    TextItem leftItem(left), rightItem(right);
    DiffModel model(leftItem, rightItem);
    model.CompleteDiff();
    // The change and the unchanged " word" after it: one row.
    QCOMPARE(model.rowCount(), 1);
    const QModelIndex cell = model.index(0, column);
    QVERIFY(!model.IsEquality(cell));

    const QImage image = Paint(cell, Option(QSize(400, 40)));
    QCOMPARE(Count(image, kChangeColour) > 0, changeInk);
    QCOMPARE(Count(image, kEqualityColour) > 0, equalityInk);
    QCOMPARE(Count(image, kTextColour), 0);
}

void TestPatchItemDelegate::equalityAndAppliedRowsAreUnstyled_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<int>("applied"); // -1 none, else the ApplyDirection

    QTest::newRow("equal texts") << "Same text"
                                 << "Same text" << -1;
    QTest::newRow("applied left") << "Keep THIS word"
                                  << "Keep word" << int(Left);
    QTest::newRow("applied right") << "Keep THIS word"
                                   << "Keep word" << int(Right);
}

void TestPatchItemDelegate::equalityAndAppliedRowsAreUnstyled()
{
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(int, applied);

    TextItem leftItem(left), rightItem(right);
    DiffModel model(leftItem, rightItem);
    model.CompleteDiff();
    if (applied == Left)
        model.ApplyLeft(model.index(0, 0), true);
    else if (applied == Right)
        model.ApplyRight(model.index(0, 0), true);

    for (int column = 0; column < 2; ++column)
    {
        const QImage image = Paint(model.index(0, column), Option(QSize(400, 40)));
        QCOMPARE(Count(image, kChangeColour), 0);
        QCOMPARE(Count(image, kEqualityColour), 0);
        QVERIFY(Count(image, kTextColour) > 0);
    }
}

void TestPatchItemDelegate::selectedCellIsHighlighted()
{
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), QStringLiteral("Selected"));
    QStyleOptionViewItem option = Option(QSize(200, 40));
    option.state |= QStyle::State_Selected;
    const QImage image = Paint(model.index(0, 0), option);
    QVERIFY(Count(image, kHighlightColour) > 0);
    QCOMPARE(Count(image, kTextColour), 0);
    QVERIFY(Count(image, Qt::black) > 0);
}

// On the selection colour the change and equality colours would barely read:
// a selected change row draws all its text in the highlighted-text colour and
// underlines what changed.
void TestPatchItemDelegate::selectedChangesStayReadable()
{
    TextItem left(QStringLiteral("Keep THIS word"));
    TextItem right(QStringLiteral("Keep word"));
    DiffModel model(left, right);
    model.CompleteDiff();
    QVERIFY(!model.IsEquality(model.index(0, 0)));
    QVERIFY(PatchItemDelegate::Contrast(kChangeColour, kHighlightColour) < 4.5);

    QStyleOptionViewItem option = Option(QSize(400, 40));
    option.state |= QStyle::State_Selected;
    const QImage selected = Paint(model.index(0, 0), option);
    QCOMPARE(Count(selected, kChangeColour), 0);
    QCOMPARE(Count(selected, kEqualityColour), 0);
    QVERIFY(Count(selected, Qt::black) > 0);

    // The same text selected without changes: the underline is the
    // difference.
    QStandardItemModel plain(1, 1);
    plain.setData(plain.index(0, 0), model.index(0, 0).data());
    const QImage unmarked = Paint(plain.index(0, 0), option);
    QVERIFY2(
        Count(selected, Qt::black) > Count(unmarked, Qt::black) + 20,
        qPrintable(
            QStringLiteral("%1 against %2").arg(Count(selected, Qt::black)).arg(Count(unmarked, Qt::black))));
}

void TestPatchItemDelegate::lineBreaks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");

    QTest::newRow("one line") << "one line" << 1;
    QTest::newRow("line feed") << "one\nline" << 2;
    QTest::newRow("paragraph end") << "one\rline" << 2;
    QTest::newRow("closing paragraph end adds no line") << "one line\r" << 1;
    QTest::newRow("paragraphs and a line feed") << "one\rtwo\nthree\r" << 3;
}

// Line feeds and paragraph ends inside a cell start new lines, both when the
// cell is drawn and when its height is measured.
void TestPatchItemDelegate::lineBreaks()
{
    QFETCH(QString, text);
    QFETCH(int, lines);

    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), text);
    const QStyleOptionViewItem option = Option(QSize(300, 160));
    const int lineHeight = QFontMetrics(option.font).height();

    const QPair<int, int> ink = InkRows(Paint(model.index(0, 0), option));
    QVERIFY(ink.first >= 0);
    const int inkLines = (ink.second - ink.first) / lineHeight + 1;
    QCOMPARE(inkLines, lines);

    PatchItemDelegate delegate;
    const int height = delegate.sizeHint(option, model.index(0, 0)).height();
    QVERIFY2(height >= lines * lineHeight && height < (lines + 1) * lineHeight,
             qPrintable(QStringLiteral("%1 for %2 lines of %3").arg(height).arg(lines).arg(lineHeight)));
}

// A cell narrower than its text shows the text's start as it is, clipped:
// the same pixels as the start of the same text in a wide cell, no ellipsis.
void TestPatchItemDelegate::textIsNeverElided()
{
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), QStringLiteral("A rather long line of text that cannot fit"));
    const QImage narrow = Paint(model.index(0, 0), Option(QSize(150, 40)));
    const QImage wide = Paint(model.index(0, 0), Option(QSize(1200, 40)));
    // The narrow cell's text rectangle ends a few pixels before its edge.
    const QRect compared(0, 0, 140, 40);
    QCOMPARE(narrow.copy(compared), wide.copy(compared));
}

QTEST_MAIN(TestPatchItemDelegate)
#include "tst_patchitemdelegate.moc"
