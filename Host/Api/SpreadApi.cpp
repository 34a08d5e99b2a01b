#include "ApiTables.h"
#include "DocHit.h"
#include "HostState.h"

#include <algorithm>
#include <cstring>

namespace XTHost
{
namespace Api
{

namespace
{

int16_t GetSpreadCount(DocRef doc, int32_t flags)
{
    const DocHit hit = findDoc(doc);
    return hit ? int16_t(hit.layout().mSpreads.size()) : 0;
}

XTBoxRef GetSpreadBox(DocRef doc, int16_t index)
{
    const DocHit hit = findDoc(doc);
    if (!hit || index < 1 || index > int(hit.refs().mSpreads.size()))
        return XT::kNoBox;
    return hit.refs().mSpreads[index - 1].mSpreadBox;
}

int16_t GetSpreadNumber(XTBoxRef spreadBox)
{
    HostState* state = HostState::current();
    const BoxLocation* location = state ? state->findBox(spreadBox) : nullptr;
    if (!location || !location->isSpreadBox())
        return -1;
    return int16_t(location->layout().mMasterSpreads + location->mSpread + 1);
}

XTHandle GetSpreadPages(DocRef doc, int16_t index)
{
    const DocHit hit = findDoc(doc);
    if (!hit || index < 1 || index > int(hit.layout().mSpreads.size()))
        return nullptr;
    const std::vector<Spread>& spreads = hit.layout().mSpreads;
    int16_t first = 1;
    for (int i = 0; i < index - 1; ++i)
        first = int16_t(first + spreads[i].mPages.size());
    const int count = spreads[index - 1].mPages.size();
    XTHandle pages = hit.mState->newHandle(int64_t(count) * 2, false);
    if (!pages)
        return nullptr;
    for (int i = 0; i < count; ++i)
    {
        const int16_t number = int16_t(first + i);
        std::memcpy(*pages + 2 * i, &number, 2);
    }
    return pages;
}

int32_t freeNumber(int32_t wanted, const std::vector<int32_t>& used)
{
    if (std::find(used.begin(), used.end(), wanted) == used.end())
        return wanted;
    return used.empty() ? 1 : *std::max_element(used.begin(), used.end()) + 1;
}

XTBoxRef CopyBoxToSpread(DocRef source, XTBoxRef box, DocRef destination, XTBoxRef spreadBox)
{
    HostState* state = HostState::current();
    const BoxLocation* from = state ? state->findBox(box) : nullptr;
    const BoxLocation* to = state ? state->findBox(spreadBox) : nullptr;
    const DocHit target = findDoc(destination);
    if (!from || from->isSpreadBox() || !to || !to->isSpreadBox() || !target)
        return XT::kNoBox;
    if (from->layoutRefs().mDoc != source || to->layoutRefs().mDoc != destination)
        return XT::kNoBox;

    // Copy what is needed first: appending below may move the source.
    Box copy = *from->box();
    OpenProject* fromProject = from->mProject;
    auto storyIt = fromProject->mBoxStories.find(box);
    const bool hasStory = storyIt != fromProject->mBoxStories.end();
    Story story = hasStory ? fromProject->mModel.mStories[storyIt->second] : Story();
    OpenProject& project = *target.mProject;
    const int layoutIndex = target.mLayout;
    const int spreadIndex = to->mSpread;

    // Keep the box's and the story's numbers where they are free, so that the
    // copy pairs with its original across the two projects. Where a number is
    // taken, the copy gets one that neither project uses, so that it pairs
    // with no other box or story of either.
    Layout& layout = project.mModel.mLayouts[layoutIndex];
    std::vector<int32_t> boxNumbers;
    for (const Spread& spread : layout.mSpreads)
        for (const Box& b : spread.mBoxes)
            boxNumbers.push_back(b.mNumber);
    if (std::find(boxNumbers.begin(), boxNumbers.end(), copy.mNumber) != boxNumbers.end())
        for (const Spread& spread : from->layout().mSpreads)
            for (const Box& b : spread.mBoxes)
                boxNumbers.push_back(b.mNumber);
    copy.mNumber = freeNumber(copy.mNumber, boxNumbers);
    layout.mSpreads[spreadIndex].mBoxes.push_back(copy);
    const XTBoxRef newBox = state->registerBox(project, layoutIndex, spreadIndex);

    if (hasStory)
    {
        std::vector<int32_t> storyNumbers;
        for (const Story& s : project.mModel.mStories)
            storyNumbers.push_back(s.mNumber);
        if (std::find(storyNumbers.begin(), storyNumbers.end(), story.mNumber) != storyNumbers.end())
            for (const Story& s : fromProject->mModel.mStories)
                storyNumbers.push_back(s.mNumber);
        story.mNumber = freeNumber(story.mNumber, storyNumbers);
        story.mBoxes = {{layout.mNumber, copy.mNumber}};
        project.mModel.mStories.push_back(std::move(story));
        state->registerStory(project);
        project.mBoxStories[newBox] = int(project.mModel.mStories.size()) - 1;
        project.mStoryBoxes.back() = {newBox};
    }
    project.mModified = true;
    return newBox;
}

HostString GetPageLabel(DocRef doc, int16_t page)
{
    const DocHit hit = findDoc(doc);
    if (!hit || page < 1)
        return nullptr;
    const Layout& layout = hit.layout();
    if (page <= layout.mMasterPages.size())
        return hit.mState->newString(layout.mMasterPages.at(page - 1));
    int remaining = page - layout.mMasterPages.size();
    for (const Spread& spread : layout.mSpreads)
    {
        if (remaining <= spread.mPages.size())
            return hit.mState->newString(spread.mPages.at(remaining - 1));
        remaining -= spread.mPages.size();
    }
    return nullptr;
}

int16_t GetMasterSpreadCount(DocRef doc)
{
    const DocHit hit = findDoc(doc);
    return hit ? hit.layout().mMasterSpreads : 0;
}

int16_t GetMasterPageCount(DocRef doc)
{
    const DocHit hit = findDoc(doc);
    return hit ? int16_t(hit.layout().mMasterPages.size()) : 0;
}

const XTSpreadTable sTable = {GetSpreadCount,  GetSpreadBox, GetSpreadNumber,      GetSpreadPages,
                              CopyBoxToSpread, GetPageLabel, GetMasterSpreadCount, GetMasterPageCount};

} // namespace

const XTSpreadTable& spreadTable()
{
    return sTable;
}

} // namespace Api
} // namespace XTHost
