#include "PreviewItemDelegate.h"

#include "PreviewModel.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace
{

constexpr int kMargin = 2;

QImage Picture(const QModelIndex& index)
{
    const QVariant decoration = index.data(Qt::DecorationRole);
    if (decoration.canConvert<QImage>() && decoration.userType() == QMetaType::QImage)
        return decoration.value<QImage>();
    if (decoration.userType() == QMetaType::QPixmap)
        return decoration.value<QPixmap>().toImage();
    return QImage();
}

} // namespace

PreviewItemDelegate::PreviewItemDelegate(QObject* parent) : QStyledItemDelegate(parent)
{
}

QSize PreviewItemDelegate::FittedSize(const QSize& picture, int cellWidth)
{
    const int room = cellWidth - 2 * kMargin;
    if (picture.isEmpty() || room <= 0 || picture.width() <= room)
        return picture;
    return QSize(room, qMax(1, picture.height() * room / picture.width()));
}

QSize PreviewItemDelegate::ShownSize(const QModelIndex& index, const QSize& picture, int cellWidth) const
{
    const bool zoomable = index.data(PreviewModel::ZoomableRole).toBool();
    if (!zoomable)
    {
        const QSize fitted = FittedSize(picture, cellWidth);
        if (mMaxHeight <= 0 || fitted.height() <= mMaxHeight)
            return fitted;
        return QSize(qMax(1, fitted.width() * mMaxHeight / fitted.height()), mMaxHeight);
    }
    if (mZoom <= 0)
    {
        const int room = qMax(1, cellWidth - 2 * kMargin);
        return QSize(room, qMax(1, picture.height() * room / qMax(1, picture.width())));
    }
    return QSize(qMax(1, int(picture.width() * mZoom)), qMax(1, int(picture.height() * mZoom)));
}

void PreviewItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    const QImage picture = Picture(index);
    if (picture.isNull())
    {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QSize size = ShownSize(index, picture.size(), option.rect.width());
    const QRect target(option.rect.left() + qMax(0, (option.rect.width() - size.width()) / 2),
                       option.rect.top() + kMargin, size.width(), size.height());
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(target, picture);
    painter->restore();
}

QSize PreviewItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QImage picture = Picture(index);
    if (picture.isNull())
        return QStyledItemDelegate::sizeHint(option, index);
    // Table views give the column's width when they ask for a row's height.
    const int width = option.rect.width() > 0 ? option.rect.width() : picture.width() + 2 * kMargin;
    const QSize size = ShownSize(index, picture.size(), width);
    return QSize(size.width() + 2 * kMargin, size.height() + 2 * kMargin);
}
