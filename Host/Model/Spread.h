#pragma once

#include "Box.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace XTHost
{

// A normal spread of a layout: its page labels in order, and the boxes on it
// in their stacking order.
struct Spread
{
    QString mName;
    // Left, right (horizontal measures), top, bottom (vertical measures).
    std::array<Fixed, 4> mBounds{0, 0, 0, 0};
    int16_t mColumns = 1;
    Fixed mGutter = 0;
    QStringList mPages;
    std::vector<Box> mBoxes;

    bool operator==(const Spread& other) const
    {
        return mName == other.mName && mBounds == other.mBounds && mColumns == other.mColumns &&
               mGutter == other.mGutter && mPages == other.mPages && mBoxes == other.mBoxes;
    }
    bool operator!=(const Spread& other) const { return !(*this == other); }
};

} // namespace XTHost
