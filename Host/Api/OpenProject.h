#pragma once

#include "Model/Project.h"

#include <QString>

#include <array>
#include <unordered_map>
#include <utility>
#include <vector>

namespace XTHost
{

class ProjectFormat;

// A project open in the host: the document and, beside it, the references
// the host handed out for its parts. The reference vectors run parallel to
// the model's; parts are only ever appended while a project is open, so a
// position, once handed out, stays valid.
class OpenProject
{
public:
    struct SpreadRefs
    {
        XTBoxRef mSpreadBox = XT::kNoBox;
        std::vector<XTBoxRef> mBoxes;
    };
    struct LayoutRefs
    {
        DocRef mDoc = XT::kNoDoc;
        XTDocNumber mNumber = XT::kNoDocNumber;
        std::vector<SpreadRefs> mSpreads;
    };

    XTProjectId mId = XT::kNoProject;
    QString mPath;
    Project mModel;
    bool mModified = false;
    const ProjectFormat* mFormat = nullptr;
    AssetSpaceRef mSpace = nullptr;
    XTColorList mColorList = nullptr;

    std::vector<LayoutRefs> mLayoutRefs;
    std::vector<XTTextRef> mStoryTexts;
    std::vector<std::pair<int32_t, int32_t>> mSelections; // per story
    std::unordered_map<XTBoxRef, int> mBoxStories;        // text box to story index
    std::vector<std::vector<XTBoxRef>> mStoryBoxes;       // per story, first box first
    std::array<std::vector<AssetUID>, 18> mAssetUids;     // ascending, parallel to the assets
    std::array<AssetUID, 18> mNextUid{};

    // Colour ids 1 to 7 are the built-in colours; the project's own follow.
    static constexpr AssetUID sFirstColorUid = 8;

    // Index of the asset with that id in its kind's list, or -1.
    int assetIndex(int32_t kind, AssetUID uid) const;
};

} // namespace XTHost
