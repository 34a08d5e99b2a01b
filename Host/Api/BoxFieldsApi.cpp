#include "ApiTables.h"
#include "HostState.h"

#include "Model/BoxProperties.h"
#include "Model/BuiltInColors.h"

#include <algorithm>

namespace XTHost
{
namespace Api
{

namespace
{

Box* boxOf(XTBoxRef box, OpenProject** project = nullptr)
{
    HostState* state = HostState::current();
    const BoxLocation* location = state ? state->findBox(box) : nullptr;
    if (!location || location->isSpreadBox())
        return nullptr;
    if (project)
        *project = location->mProject;
    return location->box();
}

int32_t GetBoxProperty(XTBoxRef box, int32_t property)
{
    const Box* b = boxOf(box);
    const PropertyInfo* info = findBoxProperty(property);
    if (!b || !info || !info->appliesTo(*b))
        return 0;
    auto it = b->mProperties.find(property);
    return it == b->mProperties.end() ? info->mDefault : it->second;
}

XTError SetBoxProperty(XTBoxRef box, int32_t property, int32_t value)
{
    if (HostState::refuses("SetBoxProperty"))
        return XT::kErrRefused;
    OpenProject* project = nullptr;
    Box* b = boxOf(box, &project);
    const PropertyInfo* info = findBoxProperty(property);
    if (!b || !info || !info->appliesTo(*b) || !info->accepts(value))
        return XT::kErrParam;
    int32_t& stored = b->mProperties[property];
    if (stored != value)
    {
        stored = value;
        project->mModified = true;
    }
    return XT::kNoErr;
}

XTError GetTextInsets(XTBoxRef box, Fixed insets[4])
{
    const Box* b = boxOf(box);
    if (!b || !b->isText() || !insets)
        return XT::kErrParam;
    std::copy(b->mInsets.begin(), b->mInsets.end(), insets);
    return XT::kNoErr;
}

XTError SetTextInsets(XTBoxRef box, const Fixed insets[4])
{
    OpenProject* project = nullptr;
    Box* b = boxOf(box, &project);
    if (!b || !b->isText() || !insets)
        return XT::kErrParam;
    if (std::any_of(insets, insets + 4, [](Fixed inset) { return inset < 0; }))
        return XT::kErrParam;
    const std::array<Fixed, 4> values{insets[0], insets[1], insets[2], insets[3]};
    if (values != b->mInsets)
    {
        b->mInsets = values;
        project->mModified = true;
    }
    return XT::kNoErr;
}

int32_t GetInsetSetting(XTBoxRef box)
{
    const Box* b = boxOf(box);
    return b && b->isText() ? b->mInsetSetting : 0;
}

XTError SetInsetSetting(XTBoxRef box, int32_t setting)
{
    OpenProject* project = nullptr;
    Box* b = boxOf(box, &project);
    if (!b || !b->isText() || setting < 0 || setting > 255)
        return XT::kErrParam;
    if (b->mInsetSetting != setting)
    {
        b->mInsetSetting = setting;
        project->mModified = true;
    }
    return XT::kNoErr;
}

HostString GetBoxColor(XTBoxRef box)
{
    const Box* b = boxOf(box);
    return b ? hostString(b->mColor) : nullptr;
}

XTError SetBoxColor(XTBoxRef box, HostString name)
{
    if (HostState::refuses("SetBoxColor"))
        return XT::kErrRefused;
    OpenProject* project = nullptr;
    Box* b = boxOf(box, &project);
    if (!b)
        return XT::kErrParam;
    const QString color = stringOf(name);
    if (!color.isEmpty() && builtInColorIndex(color) < 0 &&
        !project->mModel.findAsset(XT::kColorAssetKind, color))
        return XT::kErrNotFound;
    if (b->mColor != color)
    {
        b->mColor = color;
        project->mModified = true;
    }
    return XT::kNoErr;
}

const XTBoxFieldsTable sTable = {GetBoxProperty,  SetBoxProperty,  GetTextInsets, SetTextInsets,
                                 GetInsetSetting, SetInsetSetting, GetBoxColor,   SetBoxColor};

} // namespace

const XTBoxFieldsTable& boxFieldsTable()
{
    return sTable;
}

} // namespace Api
} // namespace XTHost
