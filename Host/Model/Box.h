#pragma once

#include "XTTypes.h"

#include <QString>

#include <array>
#include <cstdint>
#include <map>

namespace XTHost
{

// A box on a spread. Properties are keyed by their label number (see
// BoxProperties for which labels a box of each kind has).
struct Box
{
    int32_t mNumber = 0;
    QString mName;
    int16_t mKind = XT::kContentNone;
    XTFixedRect mBounds{0, 0, 0, 0}; // the origin is the top-left corner
    QString mColor;                  // background colour by name; empty: none
    std::map<int32_t, int32_t> mProperties;
    // Text boxes only.
    std::array<Fixed, 4> mInsets{0, 0, 0, 0};
    int32_t mInsetSetting = 0;
    // Picture boxes only.
    QString mPicturePath;
    std::map<int32_t, int32_t> mPictureProperties;

    bool isText() const { return mKind == XT::kContentText; }
    bool isPicture() const { return mKind == XT::kContentPicture; }

    bool operator==(const Box& other) const
    {
        return mNumber == other.mNumber && mName == other.mName && mKind == other.mKind &&
               mBounds.left == other.mBounds.left && mBounds.top == other.mBounds.top &&
               mBounds.right == other.mBounds.right && mBounds.bottom == other.mBounds.bottom &&
               mColor == other.mColor && mProperties == other.mProperties && mInsets == other.mInsets &&
               mInsetSetting == other.mInsetSetting && mPicturePath == other.mPicturePath &&
               mPictureProperties == other.mPictureProperties;
    }
    bool operator!=(const Box& other) const { return !(*this == other); }
};

} // namespace XTHost
