#include "BoxProperties.h"

#include <limits>

namespace XTHost
{

namespace
{
constexpr int32_t sPercent100 = 100 * XT::kFixedOne;
constexpr int32_t sMaxColumns = 30;
} // namespace

bool PropertyInfo::appliesTo(const Box& box) const
{
    switch (mScope)
    {
    case AnyBox:
        return box.mKind != XT::kContentSpread;
    case TextBox:
        return box.isText();
    case PictureBox:
        return box.isPicture();
    }
    return false;
}

bool PropertyInfo::accepts(int32_t value) const
{
    if (value < mMin || value > mMax)
        return false;
    switch (mKind)
    {
    case Int16:
        return value >= std::numeric_limits<int16_t>::min() && value <= std::numeric_limits<int16_t>::max();
    case ByteCode:
        return value >= 0 && value <= 255;
    case Boolean:
        return value == 0 || value == 1;
    case Measure:
    case Int32:
        return true;
    }
    return false;
}

const std::vector<PropertyInfo>& boxProperties()
{
    static const std::vector<PropertyInfo> sProperties = {
        {51, "angle", PropertyInfo::Measure, PropertyInfo::AnyBox, 0},
        {52, "skew", PropertyInfo::Measure, PropertyInfo::AnyBox, 0},
        {53, "cornerRadius", PropertyInfo::Measure, PropertyInfo::AnyBox, 0},
        {54, "frameStyle", PropertyInfo::Int16, PropertyInfo::AnyBox, 0},
        {55, "opacity", PropertyInfo::Measure, PropertyInfo::AnyBox, sPercent100, 0, sPercent100},
        {56, "shade", PropertyInfo::Measure, PropertyInfo::AnyBox, sPercent100, 0, sPercent100},
        {57, "textAngle", PropertyInfo::Measure, PropertyInfo::TextBox, 0},
        {58, "textSkew", PropertyInfo::Measure, PropertyInfo::TextBox, 0},
        {59, "columns", PropertyInfo::Int32, PropertyInfo::TextBox, 1, 1, sMaxColumns},
        {60, "gutterWidth", PropertyInfo::Measure, PropertyInfo::TextBox, 12 * XT::kFixedOne},
        {65, "firstBaselineOffset", PropertyInfo::Measure, PropertyInfo::TextBox, 0},
        {66, "verticalAlignment", PropertyInfo::ByteCode, PropertyInfo::TextBox, 0},
        {67, "runAround", PropertyInfo::Boolean, PropertyInfo::TextBox, 0},
        {80, "suppressOutput", PropertyInfo::Boolean, PropertyInfo::AnyBox, 0},
        {81, "locked", PropertyInfo::Boolean, PropertyInfo::AnyBox, 0},
    };
    return sProperties;
}

const std::vector<PropertyInfo>& pictureProperties()
{
    static const std::vector<PropertyInfo> sProperties = {
        {68, "offsetDown", PropertyInfo::Measure, PropertyInfo::PictureBox, 0},
        {69, "offsetAcross", PropertyInfo::Measure, PropertyInfo::PictureBox, 0},
        {70, "scaleAcross", PropertyInfo::Measure, PropertyInfo::PictureBox, sPercent100},
        {71, "scaleDown", PropertyInfo::Measure, PropertyInfo::PictureBox, sPercent100},
        {72, "angle", PropertyInfo::Measure, PropertyInfo::PictureBox, 0},
        {73, "skew", PropertyInfo::Measure, PropertyInfo::PictureBox, 0},
        {74, "flip", PropertyInfo::Int16, PropertyInfo::PictureBox, 0},
        {75, "opacity", PropertyInfo::Measure, PropertyInfo::PictureBox, sPercent100, 0, sPercent100},
        {76, "shade", PropertyInfo::Measure, PropertyInfo::PictureBox, sPercent100, 0, sPercent100},
        {77, "resolution", PropertyInfo::Int16, PropertyInfo::PictureBox, 300},
        {78, "contrast", PropertyInfo::Measure, PropertyInfo::PictureBox, sPercent100},
        {79, "brightness", PropertyInfo::Measure, PropertyInfo::PictureBox, sPercent100},
    };
    return sProperties;
}

const PropertyInfo* findBoxProperty(int32_t label)
{
    for (const PropertyInfo& info : boxProperties())
        if (info.mLabel == label)
            return &info;
    return nullptr;
}

const PropertyInfo* findPictureProperty(int32_t label)
{
    for (const PropertyInfo& info : pictureProperties())
        if (info.mLabel == label)
            return &info;
    return nullptr;
}

void applyDefaultProperties(Box& box)
{
    box.mProperties.clear();
    box.mPictureProperties.clear();
    for (const PropertyInfo& info : boxProperties())
        if (info.appliesTo(box))
            box.mProperties[info.mLabel] = info.mDefault;
    if (box.isPicture())
        for (const PropertyInfo& info : pictureProperties())
            box.mPictureProperties[info.mLabel] = info.mDefault;
}

} // namespace XTHost
