#pragma once

#include <QStyledItemDelegate>

// Draws a preview picture whole: scaled down, never up, to the width of its
// cell, keeping its proportions. A story's box is often wider than half the
// window, and a picture cut at the cell's edge hides the text that differs.
class PreviewItemDelegate : public QStyledItemDelegate
{
public:
    explicit PreviewItemDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The size the picture takes in a cell of that width.
    static QSize FittedSize(const QSize& picture, int cellWidth);
};
