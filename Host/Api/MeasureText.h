#pragma once

#include "XTTypes.h"

#include <QString>

namespace XTHost
{

// The host's text form of a measure: FixedToText and TextToFixed. Each format
// has a unit ("%", "°" or " pt"); a value is written with as few decimals as
// reading it back needs to give the same Fixed, so the two are inverse.
class MeasureText
{
public:
    static bool isKnownFormat(int32_t format);
    // Empty for an unknown format.
    static QString format(Fixed value, int32_t format);
    // Accepts what format() writes, with or without the unit and with spaces
    // around; *ok is false for anything else.
    static Fixed parse(const QString& text, int32_t format, bool* ok);
};

} // namespace XTHost
