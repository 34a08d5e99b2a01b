#pragma once

#include "Asset.h"
#include "Layout.h"
#include "Origin.h"
#include "Story.h"

#include <array>
#include <vector>

namespace XTHost
{

// The whole document: what a project file holds.
struct Project
{
    XTFourCC mFileType = XT::kFileProject;
    std::vector<Layout> mLayouts; // ascending layout number
    std::vector<Story> mStories;
    std::array<std::vector<Asset>, 18> mAssets; // index kind - 1, in file order
    // The document the project was read from, where its format keeps one.
    std::shared_ptr<const SourceDocument> mSource;

    const Layout* findLayout(int32_t number) const;
    const Story* findStory(int32_t number) const;
    const Asset* findAsset(int32_t kind, const QString& name) const;

    bool operator==(const Project& other) const
    {
        return mFileType == other.mFileType && mLayouts == other.mLayouts && mStories == other.mStories &&
               mAssets == other.mAssets;
    }
    bool operator!=(const Project& other) const { return !(*this == other); }
};

} // namespace XTHost
