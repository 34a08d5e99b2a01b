#include "ApiTables.h"
#include "HostState.h"

#include "Model/BuiltInColors.h"

namespace XTHost
{
namespace Api
{

namespace
{

struct ColorHit
{
    OpenProject* mProject = nullptr;
    const ColorValue* mValue = nullptr;
    QString mName;
    bool mBuiltIn = false;
    bool mRequired = false;
};

ColorHit findColor(XTColorList list, XTColorId id)
{
    ColorHit hit;
    HostState* state = HostState::current();
    OpenProject* project = state ? state->projectOfColorList(list) : nullptr;
    if (!project)
        return hit;
    if (id >= 1 && id <= int(sBuiltInColors.size()))
    {
        const BuiltInColor& color = sBuiltInColors[id - 1];
        hit = {project, &color.mValue, QLatin1String(color.mName), true, color.mRequired};
        return hit;
    }
    const int index = project->assetIndex(XT::kColorAssetKind, id);
    if (index < 0)
        return hit;
    const Asset& asset = project->mModel.mAssets[XT::kColorAssetKind - 1][index];
    hit = {project, &asset.mColor, asset.mName, false, false};
    return hit;
}

int32_t useCount(const OpenProject& project, const QString& name)
{
    int32_t count = 0;
    for (const Layout& layout : project.mModel.mLayouts)
        for (const Spread& spread : layout.mSpreads)
            for (const Box& box : spread.mBoxes)
                count += box.mColor == name ? 1 : 0;
    return count;
}

int32_t QueryColor(XTColorList list, XTColorId color, int32_t selector)
{
    const ColorHit hit = findColor(list, color);
    if (!hit.mValue)
        return 0;
    switch (selector)
    {
    case XT::kColorModel:
        return hit.mValue->mSpot ? 2 : hit.mValue->mModel == ColorValue::Rgb ? 0 : 1;
    case XT::kColorIsSpot:
        return hit.mValue->mSpot ? 1 : 0;
    case XT::kColorIsBuiltIn:
        return hit.mBuiltIn ? 1 : 0;
    case XT::kColorIsEditable:
        return hit.mBuiltIn ? 0 : 1;
    case XT::kColorUseCount:
        return useCount(*hit.mProject, hit.mName);
    case XT::kColorIsRequired:
        return hit.mRequired ? 1 : 0;
    default:
        return 0;
    }
}

XTError GetColorRGB(XTColorList list, XTColorId color, Fixed scale, uint32_t colorSpace, int32_t flags,
                    uint16_t* red, uint16_t* green, uint16_t* blue)
{
    const ColorHit hit = findColor(list, color);
    if (!hit.mValue)
        return XT::kErrNotFound;
    if (colorSpace != XT::kColorSpacePSDX || !red || !green || !blue)
        return XT::kErrParam;
    hit.mValue->toRgb16(*red, *green, *blue);
    return XT::kNoErr;
}

const XTColorsTable sTable = {QueryColor, GetColorRGB};

} // namespace

const XTColorsTable& colorsTable()
{
    return sTable;
}

} // namespace Api
} // namespace XTHost
