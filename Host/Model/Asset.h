#pragma once

#include "Origin.h"
#include "XTTypes.h"

#include <QString>

#include <array>
#include <cstdint>

namespace XTHost
{

// A colour's definition: RGB in 0..255 or CMYK in percent.
struct ColorValue
{
    enum Model : int8_t
    {
        Rgb,
        Cmyk
    };

    Model mModel = Rgb;
    std::array<int, 4> mValues{0, 0, 0, 0};
    bool mSpot = false;

    // 16-bit components, as the colour shows on screen.
    void toRgb16(uint16_t& red, uint16_t& green, uint16_t& blue) const;
    QString description() const;

    bool operator==(const ColorValue& other) const
    {
        return mModel == other.mModel && mValues == other.mValues && mSpot == other.mSpot;
    }
    bool operator!=(const ColorValue& other) const { return !(*this == other); }
};

// A project asset of one of the 18 kinds. Its name is its persistent identity
// within the kind. Colours (kind 3) describe themselves from their value;
// the other kinds carry a description text.
struct Asset
{
    int32_t mKind = 0;
    QString mName;
    QString mDescription;
    ColorValue mColor;
    Origin mOrigin;

    QString description() const;

    bool operator==(const Asset& other) const
    {
        return mKind == other.mKind && mName == other.mName && mDescription == other.mDescription &&
               mColor == other.mColor;
    }
    bool operator!=(const Asset& other) const { return !(*this == other); }
};

// Names of the asset kinds as the project file writes them, index kind - 1.
extern const std::array<const char*, 18> sAssetKindNames;
int assetKindFromName(const QString& name); // 0 when unknown

} // namespace XTHost
