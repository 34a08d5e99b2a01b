#include "Project.h"

namespace XTHost
{

const Layout* Project::findLayout(int32_t number) const
{
    for (const Layout& layout : mLayouts)
        if (layout.mNumber == number)
            return &layout;
    return nullptr;
}

const Story* Project::findStory(int32_t number) const
{
    for (const Story& story : mStories)
        if (story.mNumber == number)
            return &story;
    return nullptr;
}

const Asset* Project::findAsset(int32_t kind, const QString& name) const
{
    if (kind < XT::kFirstAssetKind || kind > XT::kLastAssetKind)
        return nullptr;
    for (const Asset& asset : mAssets[kind - 1])
        if (asset.mName == name)
            return &asset;
    return nullptr;
}

} // namespace XTHost
