#include "Placement.h"

#include "XTCalls.h"

#include <cstring>

namespace Placement
{

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
