#include "BuiltInColors.h"

namespace XTHost
{

const std::array<BuiltInColor, 7> sBuiltInColors = {{
    {"None", {ColorValue::Rgb, {255, 255, 255, 0}, false}, true},
    {"Registration", {ColorValue::Cmyk, {100, 100, 100, 100}, false}, true},
    {"White", {ColorValue::Rgb, {255, 255, 255, 0}, false}, false},
    {"Black", {ColorValue::Cmyk, {0, 0, 0, 100}, false}, false},
    {"Cyan", {ColorValue::Cmyk, {100, 0, 0, 0}, false}, false},
    {"Magenta", {ColorValue::Cmyk, {0, 100, 0, 0}, false}, false},
    {"Yellow", {ColorValue::Cmyk, {0, 0, 100, 0}, false}, false},
}};

int builtInColorIndex(const QString& name)
{
    for (size_t i = 0; i < sBuiltInColors.size(); ++i)
        if (name == QLatin1String(sBuiltInColors[i].mName))
            return int(i);
    return -1;
}

} // namespace XTHost
