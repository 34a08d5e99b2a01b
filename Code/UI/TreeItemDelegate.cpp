#include "TreeItemDelegate.h"

#include "ProjectTree.h"

#include <QApplication>
#include <QPainter>

namespace
{

constexpr int kPadding = 4;
constexpr int kMargin = 2;

// The window's note on the item (a three-way merge's "conflict") and the
// counts below it.
QString BadgeText(const QModelIndex& index)
{
    QStringList parts{index.data(ProjectTree::NoteRole).toString(),
                      index.data(ProjectTree::RollupTextRole).toString()};
    parts.removeAll(QString());
    return parts.join(QLatin1Char(' '));
}

} // namespace

TreeItemDelegate::TreeItemDelegate(QObject* parent) : QStyledItemDelegate(parent)
{
}

QColor TreeItemDelegate::BadgeColor()
{
    return QColor(0xF4, 0xD0, 0x6F);
}

QRect TreeItemDelegate::BadgeRect(const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const QString text = BadgeText(index);
    if (text.isEmpty())
        return QRect();
    const QFontMetrics metrics(option.font);
    const int width = metrics.horizontalAdvance(text) + 2 * kPadding;
    // At most the whole cell: a badge wider than the tree is cut, not moved.
    const int left = qMax(option.rect.left(), option.rect.right() - kMargin - width + 1);
    return QRect(left, option.rect.top() + kMargin, option.rect.right() - kMargin - left + 1,
                 option.rect.height() - 2 * kMargin);
}

void TreeItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    const QRect badge = BadgeRect(option, index);
    if (badge.isEmpty())
    {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem rest(option);
    rest.rect.setRight(badge.left() - kMargin - 1);
    if (rest.rect.width() > 0)
        QStyledItemDelegate::paint(painter, rest, index);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    // A conflict stands out from the counts.
    const bool conflict = index.data(ProjectTree::NoteRole).toString() == QLatin1String("conflict");
    painter->setBrush(conflict ? QColor(0xF0, 0x8A, 0x80) : BadgeColor());
    painter->drawRoundedRect(badge, 4, 4);
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    painter->drawText(badge, Qt::AlignCenter, BadgeText(index));
    painter->restore();
}

QSize TreeItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QString text = BadgeText(index);
    if (!text.isEmpty())
        size.rwidth() += QFontMetrics(option.font).horizontalAdvance(text) + 2 * kPadding + 2 * kMargin;
    return size;
}
