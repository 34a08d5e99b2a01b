#include "SpreadPreview.h"

#include "Placement.h"

#include "XTCalls.h"

#include <QStringList>
#include <QPainter>

#include <cstring>

namespace
{

constexpr int kMargin = 8;

QRectF ToPoints(const XTFixedRect& rect)
{
    const auto points = [](Fixed value) { return qreal(value) / XT::kFixedOne; };
    return QRectF(QPointF(points(rect.left), points(rect.top)),
                  QPointF(points(rect.right), points(rect.bottom)));
}

} // namespace

SpreadPreview SpreadPreview::OfBox(XTBoxRef box)
{
    SpreadPreview preview;
    if (box == XT::kNoBox)
        return preview;
    const DocRef layout = XT::gBox->GetBoxDocument(box);
    const int16_t count = XT::gSpread->GetSpreadCount(layout, 0);
    for (int16_t i = 1; i <= count; ++i)
    {
        const XTBoxRef spread = XT::gSpread->GetSpreadBox(layout, i);
        for (XTBoxRef b = XT::gBox->GetFirstBox(spread, 0); b != XT::kNoBox; b = XT::gBox->GetNextBox(b, 0))
            if (b == box)
            {
                preview.Read(spread);
                preview.Select(XT::gBox->GetBoxNumber(box, 0));
                return preview;
            }
    }
    return preview;
}

SpreadPreview SpreadPreview::OfSpread(XTBoxRef spreadBox)
{
    SpreadPreview preview;
    if (spreadBox != XT::kNoBox)
        preview.Read(spreadBox);
    return preview;
}

SpreadPreview SpreadPreview::OfPage(DocRef layout, long page)
{
    SpreadPreview preview;
    if (layout == XT::kNoDoc)
        return preview;
    const int16_t count = XT::gSpread->GetSpreadCount(layout, 0);
    for (int16_t i = 1; i <= count; ++i)
        if (Placement::PagesOf(layout, i).contains(int16_t(page)))
        {
            preview.Read(XT::gSpread->GetSpreadBox(layout, i));
            break;
        }
    return preview;
}

void SpreadPreview::Read(XTBoxRef spreadBox)
{
    XTFixedRect bounds{};
    if (XT::gBox->GetBoxBounds(spreadBox, 1, 16, &bounds) != 0)
        return;
    mBounds = ToPoints(bounds);
    const DocRef layout = XT::gBox->GetBoxDocument(spreadBox);
    const int16_t index =
        int16_t(XT::gSpread->GetSpreadNumber(spreadBox) - XT::gSpread->GetMasterSpreadCount(layout));
    mPages = qMax(1, Placement::PagesOf(layout, index).size());
    for (XTBoxRef box = XT::gBox->GetFirstBox(spreadBox, 0); box != XT::kNoBox;
         box = XT::gBox->GetNextBox(box, 0))
    {
        XTFixedRect rect{};
        if (XT::gBox->GetBoxBounds(box, 1, 16, &rect) == 0)
            mBoxes.append({ToPoints(rect), XT::gBox->GetBoxNumber(box, 0), box});
    }
}

double SpreadPreview::Scale() const
{
    if (!IsValid())
        return 1;
    return (kWidth - 2 * kMargin) / mBounds.width();
}

QPointF SpreadPreview::ToPicture(const QPointF& point) const
{
    const double scale = Scale();
    return QPointF(kMargin + (point.x() - mBounds.left()) * scale,
                   kMargin + (point.y() - mBounds.top()) * scale);
}

// Boxes are drawn in stacking order, so a box covers those below it as it
// does on the page; the selected one is outlined again on top of all.
QImage SpreadPreview::Draw() const
{
    if (!IsValid())
        return QImage();
    const double scale = Scale();
    const int height = int(mBounds.height() * scale) + 2 * kMargin;
    QImage picture(kWidth, height, QImage::Format_RGB32);
    picture.fill(QColor(0xB8, 0xB8, 0xB8));
    QPainter painter(&picture);
    const auto map = [&](const QRectF& rect)
    { return QRectF(ToPicture(rect.topLeft()), ToPicture(rect.bottomRight())); };

    const QRectF spread = map(mBounds);
    const double pageWidth = spread.width() / mPages;
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(PageColour());
    for (int page = 0; page < mPages; ++page)
        painter.drawRect(QRectF(spread.left() + page * pageWidth, spread.top(), pageWidth, spread.height()));

    QRectF selected;
    for (const Item& box : mBoxes)
    {
        const QRectF rect = map(box.mBounds);
        const QColor fill = box.mNumber == mSelected           ? SelectedColour()
                            : mPending.contains(box.mNumber)   ? PendingColour()
                            : mDiffering.contains(box.mNumber) ? DifferingColour()
                                                               : BoxColour();
        painter.setBrush(fill);
        painter.setPen(QPen(fill.darker(160), 1));
        painter.drawRect(rect);
        if (box.mNumber == mSelected)
            selected = rect;
    }
    if (selected.isValid())
    {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(SelectedColour().darker(170), 3));
        painter.drawRect(selected);
    }
    return picture;
}

QString SpreadPreview::Legend()
{
    QStringList entries;
    const std::pair<QColor, QString> marks[] = {{SelectedColour(), QStringLiteral("Selected box")},
                                                {DifferingColour(), QStringLiteral("Differs")},
                                                {PendingColour(), QStringLiteral("Copied, not saved")}};
    for (const auto& mark : marks)
        entries << QStringLiteral("<span style=\"color:%1\">\u25A0</span>&nbsp;%2").arg(mark.first.name(), mark.second);
    return entries.join(QStringLiteral("&nbsp;&nbsp;&nbsp;"));
}
