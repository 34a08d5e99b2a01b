// A preview picture is shown whole: scaled down to its cell's width, never
// up, proportions kept.

#include "PreviewItemDelegate.h"

#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QtTest>

class tst_PreviewItemDelegate : public QObject
{
    Q_OBJECT

private slots:
    void fittedSize_data();
    void fittedSize();
    void paintsTheWholePicture();
};

void tst_PreviewItemDelegate::fittedSize_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<int>("cell");
    QTest::addColumn<QSize>("fitted");
    QTest::newRow("narrower than the cell") << QSize(100, 50) << 300 << QSize(100, 50);
    QTest::newRow("wider: halved") << QSize(592, 300) << 300 << QSize(296, 150);
    QTest::newRow("exactly the room") << QSize(296, 10) << 300 << QSize(296, 10);
    QTest::newRow("a thin strip keeps a line") << QSize(5000, 1) << 300 << QSize(296, 1);
    QTest::newRow("no cell width yet") << QSize(800, 200) << 0 << QSize(800, 200);
    QTest::newRow("no picture") << QSize() << 300 << QSize();
}

void tst_PreviewItemDelegate::fittedSize()
{
    QFETCH(QSize, picture);
    QFETCH(int, cell);
    QFETCH(QSize, fitted);
    QCOMPARE(PreviewItemDelegate::FittedSize(picture, cell), fitted);
}

void tst_PreviewItemDelegate::paintsTheWholePicture()
{
    // A picture twice as wide as its cell, red with a blue right edge.
    QImage picture(400, 100, QImage::Format_RGB32);
    picture.fill(Qt::red);
    for (int y = 0; y < 100; ++y)
        for (int x = 390; x < 400; ++x)
            picture.setPixel(x, y, qRgb(0, 0, 255));
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), picture, Qt::DecorationRole);

    PreviewItemDelegate delegate;
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 204, 300);
    QCOMPARE(delegate.sizeHint(option, model.index(0, 0)), QSize(204, 54));

    QImage canvas(204, 300, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    delegate.paint(&painter, option, model.index(0, 0));
    painter.end();
    // The blue edge made it into the cell, and nothing was drawn below the
    // scaled picture.
    QCOMPARE(qBlue(canvas.pixel(200, 20)), 255);
    QCOMPARE(qRed(canvas.pixel(100, 20)), 255);
    QCOMPARE(canvas.pixel(100, 60), qRgb(255, 255, 255));
}

QTEST_MAIN(tst_PreviewItemDelegate)
#include "tst_previewitemdelegate.moc"
