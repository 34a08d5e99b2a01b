#pragma once

#include "XTTypes.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QVector>

// A picture of one side's spread, drawn to scale with QPainter from the
// host's geometry (not rendered by the host): the pasteboard, the pages side
// by side, and every box, the selected one, those that differ from the other
// side and those with copies not saved yet marked (the window shows the
// legend of the marks, Legend, beside the pictures).
class SpreadPreview
{
public:
    struct Item
    {
        QRectF mBounds; // points, spread coordinates
        int32_t mNumber = 0;
        XTBoxRef mBox = XT::kNoBox;
    };

    // Reads the spread that holds `box` (or is `spreadBox`) from the host.
    static SpreadPreview OfBox(XTBoxRef box);
    static SpreadPreview OfSpread(XTBoxRef spreadBox);
    // The spread that holds a normal page of a layout.
    static SpreadPreview OfPage(DocRef layout, long page);

    bool IsValid() const { return mBounds.isValid(); }
    const QRectF& Bounds() const { return mBounds; }
    int PageCount() const { return mPages; }
    const QVector<Item>& Boxes() const { return mBoxes; }

    void Select(int32_t boxNumber) { mSelected = boxNumber; }
    void SetDiffering(const QSet<int32_t>& boxNumbers) { mDiffering = boxNumbers; }
    // Boxes with copies not saved yet: drawn as such, whether they still
    // differ or not.
    void SetPending(const QSet<int32_t>& boxNumbers) { mPending = boxNumbers; }

    // The picture, kWidth pixels wide.
    QImage Draw() const;
    // Where a point of the spread lands in the picture.
    QPointF ToPicture(const QPointF& point) const;

    static constexpr int kWidth = 640;
    static QColor SelectedColour() { return QColor(0x3A, 0x7B, 0xD5); }
    static QColor DifferingColour() { return QColor(0xF5, 0xA6, 0x23); }
    static QColor PendingColour() { return QColor(0x4C, 0xAF, 0x50); }
    static QColor BoxColour() { return QColor(0xDD, 0xDD, 0xDD); }
    // What each mark means, as rich text: a square of its colour and its
    // name.
    static QString Legend();
    static QColor PageColour() { return QColor(Qt::white); }

private:
    void Read(XTBoxRef spreadBox);
    double Scale() const;

    QRectF mBounds;
    int mPages = 0;
    QVector<Item> mBoxes;
    int32_t mSelected = 0;
    QSet<int32_t> mDiffering;
    QSet<int32_t> mPending;
};
