#pragma once

#include <QStyledItemDelegate>

// Draws a preview picture whole: scaled down, never up, to the width of its
// cell, keeping its proportions; a rendering of text at the zoom instead, so
// that its text stays readable (the table scrolls).
class PreviewItemDelegate : public QStyledItemDelegate
{
public:
    explicit PreviewItemDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The size the picture takes in a cell of that width.
    static QSize FittedSize(const QSize& picture, int cellWidth);

    // How renderings of text are shown: 0 fits them to the cell's width,
    // any other value scales them by it (1 is the rendering's own size, at
    // which its text reads). Other pictures always fit their cell.
    void SetZoom(double zoom) { mZoom = zoom; }
    double Zoom() const { return mZoom; }
    // The tallest a picture that fits its cell is drawn; 0 for no limit.
    void SetMaxHeight(int height) { mMaxHeight = height; }
    // The size a cell's picture is drawn at.
    QSize ShownSize(const QModelIndex& index, const QSize& picture, int cellWidth) const;

private:
    double mZoom = 1;
    int mMaxHeight = 0;
};
