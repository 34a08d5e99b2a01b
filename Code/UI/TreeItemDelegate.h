#pragma once

#include <QStyledItemDelegate>

// Draws a tree item with its roll-up badge ("~2 <1 >3") at the right edge of
// its cell. The badge is drawn first and the name elided into what is left,
// so that in a narrow tree the counts stay readable and the name gives way.
class TreeItemDelegate : public QStyledItemDelegate
{
public:
    explicit TreeItemDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where the badge of an item goes in a cell; empty for an item without
    // one.
    static QRect BadgeRect(const QStyleOptionViewItem& option, const QModelIndex& index);
    // The badge's fill, for those who look for it on screen.
    static QColor BadgeColor();
};
