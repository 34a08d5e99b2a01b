#pragma once

#include "Box.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace XTHost
{

// What each box and picture property label stands for, the key the project
// file stores it under, and the kind of its 32-bit value.
struct PropertyInfo
{
    enum Kind : int8_t
    {
        Measure, // Fixed; the file writes it in points, degrees or percent
        Int16,
        Int32,
        ByteCode,
        Boolean
    };
    enum Scope : int8_t
    {
        AnyBox,
        TextBox,
        PictureBox
    };

    int32_t mLabel;
    const char* mKey;
    Kind mKind;
    Scope mScope;
    int32_t mDefault;
    // The values the host accepts (in 16.16 units for measures).
    int32_t mMin = std::numeric_limits<int32_t>::min();
    int32_t mMax = std::numeric_limits<int32_t>::max();

    bool appliesTo(const Box& box) const;
    bool accepts(int32_t value) const;
};

const std::vector<PropertyInfo>& boxProperties();
const std::vector<PropertyInfo>& pictureProperties();
const PropertyInfo* findBoxProperty(int32_t label);
const PropertyInfo* findPictureProperty(int32_t label);

// Sets every property that applies to the box's kind to its default.
void applyDefaultProperties(Box& box);

} // namespace XTHost
