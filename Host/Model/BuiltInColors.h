#pragma once

#include "Asset.h"

#include <array>

namespace XTHost
{

// The host's own colours: every project has them, no file stores them, and
// their ids come before the project's own colours.
struct BuiltInColor
{
    const char* mName;
    ColorValue mValue;
    bool mRequired; // no project can lose it
};

extern const std::array<BuiltInColor, 7> sBuiltInColors;
int builtInColorIndex(const QString& name); // -1 when not built in

} // namespace XTHost
