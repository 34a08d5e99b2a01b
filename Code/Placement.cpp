#include "Placement.h"

#include "XTCalls.h"

#include <cstring>
#include <unordered_map>

namespace Placement
{

namespace
{

// What the living BoxIndex knows: per layout read, its boxes by number (the
// first in spread order, as a walk finds them) and whether a number is on
// more than one box; the normal spread of each box of those layouts.
struct Layouts
{
    struct Boxes
    {
        std::unordered_map<int32_t, XTBoxRef> mByNumber;
        bool mRepeated = false;
    };
    int mDepth = 0;
    std::unordered_map<DocRef, Boxes> mLayouts;
    std::unordered_map<XTBoxRef, int16_t> mSpreads;
};

Layouts& Known()
{
    static Layouts known;
    return known;
}

const Layouts::Boxes& BoxesOf(DocRef layout)
{
    Layouts& known = Known();
    const auto found = known.mLayouts.find(layout);
    if (found != known.mLayouts.end())
        return found->second;
    Layouts::Boxes& boxes = known.mLayouts[layout];
    const int16_t count = XT::gSpread->GetSpreadCount(layout, 0);
    for (int16_t i = 1; i <= count; ++i)
    {
        const XTBoxRef spread = XT::gSpread->GetSpreadBox(layout, i);
        for (XTBoxRef b = XT::gBox->GetFirstBox(spread, 0); b != XT::kNoBox; b = XT::gBox->GetNextBox(b, 0))
        {
            boxes.mRepeated = !boxes.mByNumber.emplace(XT::gBox->GetBoxNumber(b, 0), b).second || boxes.mRepeated;
            known.mSpreads[b] = i;
        }
    }
    return boxes;
}

} // namespace

BoxIndex::BoxIndex()
{
    ++Known().mDepth;
}

BoxIndex::~BoxIndex()
{
    if (--Known().mDepth == 0)
        LayoutsChanged();
}

void BoxAdded(DocRef layout, XTBoxRef box, int16_t spread)
{
    Layouts& known = Known();
    const auto found = known.mLayouts.find(layout);
    if (found == known.mLayouts.end() || box == XT::kNoBox)
        return;
    found->second.mRepeated =
        !found->second.mByNumber.emplace(XT::gBox->GetBoxNumber(box, 0), box).second || found->second.mRepeated;
    known.mSpreads[box] = spread;
}

void BoxRemoving(XTBoxRef box)
{
    Layouts& known = Known();
    known.mSpreads.erase(box);
    const auto found = known.mLayouts.find(XT::gBox->GetBoxDocument(box));
    if (found == known.mLayouts.end())
        return;
    // Another box of the same number would take its place: read the
    // layout again then.
    if (found->second.mRepeated)
    {
        known.mLayouts.erase(found);
        return;
    }
    const auto number = found->second.mByNumber.find(XT::gBox->GetBoxNumber(box, 0));
    if (number != found->second.mByNumber.end() && number->second == box)
        found->second.mByNumber.erase(number);
}

void BoxMoved(XTBoxRef box)
{
    Known().mSpreads.erase(box);
}

void LayoutsChanged()
{
    Known().mLayouts.clear();
    Known().mSpreads.clear();
}

DocRef LayoutNumbered(XTProjectId project, int32_t number)
{
    for (int32_t i = 0;; ++i)
    {
        const DocRef layout = XT::gProject->GetLayout(project, i);
        if (layout == XT::kNoDoc || XT::gProject->GetLayoutIndex(layout) == number)
            return layout;
    }
}

int16_t SpreadHolding(DocRef layout, XTBoxRef box)
{
    if (Known().mDepth > 0)
    {
        BoxesOf(layout);
        const auto found = Known().mSpreads.find(box);
        if (found != Known().mSpreads.end() && XT::gBox->GetBoxDocument(box) == layout)
            return found->second;
    }
    const int16_t count = XT::gSpread->GetSpreadCount(layout, 0);
    for (int16_t i = 1; i <= count; ++i)
    {
        const XTBoxRef spread = XT::gSpread->GetSpreadBox(layout, i);
        for (XTBoxRef b = XT::gBox->GetFirstBox(spread, 0); b != XT::kNoBox; b = XT::gBox->GetNextBox(b, 0))
            if (b == box)
                return i;
    }
    return 0;
}

XTBoxRef BoxNumbered(DocRef layout, int32_t number)
{
    if (Known().mDepth > 0)
    {
        // A box found is checked (a host may take other boxes with one it
        // deletes): when it is gone, the layout is read again.
        for (int pass = 0; pass < 2; ++pass)
        {
            const Layouts::Boxes& boxes = BoxesOf(layout);
            const auto found = boxes.mByNumber.find(number);
            if (found == boxes.mByNumber.end())
                return XT::kNoBox;
            if (XT::gBox->GetBoxDocument(found->second) == layout &&
                XT::gBox->GetBoxNumber(found->second, 0) == number)
                return found->second;
            Known().mLayouts.erase(layout);
        }
    }
    const int16_t count = XT::gSpread->GetSpreadCount(layout, 0);
    for (int16_t i = 1; i <= count; ++i)
    {
        const XTBoxRef spread = XT::gSpread->GetSpreadBox(layout, i);
        for (XTBoxRef b = XT::gBox->GetFirstBox(spread, 0); b != XT::kNoBox; b = XT::gBox->GetNextBox(b, 0))
            if (XT::gBox->GetBoxNumber(b, 0) == number)
                return b;
    }
    return XT::kNoBox;
}

XTTextRef StoryNumbered(XTProjectId project, int32_t number)
{
    const intptr_t entry = XT::gText->GetFirstStoryEntry(project);
    for (XTTextRef text = entry ? XT::gText->GetStoryText(entry) : nullptr; text;
         text = XT::gText->GetNextStory(text))
        if (XT::gText->GetStoryNumber(text) == number)
            return text;
    return nullptr;
}

QVector<int16_t> PagesOf(DocRef layout, int16_t index)
{
    QVector<int16_t> pages;
    if (XTHandle handle = XT::gSpread->GetSpreadPages(layout, index))
    {
        const int64_t count = XT::gPlatform->GetHandleSize(handle) / int64_t(sizeof(int16_t));
        for (int64_t i = 0; i < count; ++i)
        {
            int16_t page = 0;
            std::memcpy(&page, *handle + i * int64_t(sizeof(int16_t)), sizeof page);
            pages << page;
        }
        XT::gPlatform->DisposeHandle(handle);
    }
    return pages;
}

XTProjectId ProjectOf(DocRef layout)
{
    for (int32_t p = 0; p < XT::gProject->GetOpenProjectCount(); ++p)
    {
        const XTProjectId project = XT::gProject->GetOpenProject(p);
        for (int32_t i = 0;; ++i)
        {
            const DocRef doc = XT::gProject->GetLayout(project, i);
            if (doc == XT::kNoDoc)
                break;
            if (doc == layout)
                return project;
        }
    }
    return XT::kNoProject;
}

} // namespace Placement
