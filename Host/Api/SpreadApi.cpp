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

XTBoxRef CopyBoxToSpread(DocRef source, XTBoxRef box, DocRef destination, XTBoxRef spreadBox)
{
    if (HostState::refuses("CopyBoxToSpread"))
        return XT::kNoBox;
    HostState* state = HostState::current();
    const BoxLocation* from = state ? state->findBox(box) : nullptr;
    const BoxLocation* to = state ? state->findBox(spreadBox) : nullptr;
    const DocHit target = findDoc(destination);
    if (!from || from->isSpreadBox() || !to || !to->isSpreadBox() || !target)
        return XT::kNoBox;
    if (from->layoutRefs().mDoc != source || to->layoutRefs().mDoc != destination)
        return XT::kNoBox;
    const BoxLocation origin = *from;
    return state->copyBox(origin, *target.mProject, target.mLayout, to->mSpread);
}

XTBoxRef CopySpread(DocRef source, int16_t index, DocRef destination, int16_t at)
{
    if (HostState::refuses("CopySpread"))
        return XT::kNoBox;
    const DocHit from = findDoc(source);
    const DocHit to = findDoc(destination);
    if (!from || !to || from.mProject == to.mProject || index < 1 ||
        index > int(from.layout().mSpreads.size()) || at < 1)
        return XT::kNoBox;
    return from.mState->copySpread(*from.mProject, from.mLayout, index - 1, *to.mProject, to.mLayout, at - 1);
}

XTError DeleteSpread(XTBoxRef spreadBox)
{
    if (HostState::refuses("DeleteSpread"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    return state && state->removeSpread(spreadBox) ? XT::kNoErr : XT::kErrParam;
}

// Page p (counted from 1) of the spread, as a position in its label list.
XTError InsertPage(XTBoxRef spreadBox, int16_t at, HostString label)
{
    if (HostState::refuses("InsertPage"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    const BoxLocation* location = state ? state->findBox(spreadBox) : nullptr;
    if (!location || !location->isSpreadBox() || at < 1 || at > location->spread().mPages.size() + 1)
        return XT::kErrParam;
    location->spread().mPages.insert(at - 1, stringOf(label));
    location->mProject->mModified = true;
    return XT::kNoErr;
}

XTError DeletePage(XTBoxRef spreadBox, int16_t at)
{
    if (HostState::refuses("DeletePage"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    const BoxLocation* location = state ? state->findBox(spreadBox) : nullptr;
    // A spread keeps at least one page.
    if (!location || !location->isSpreadBox() || at < 1 || at > location->spread().mPages.size() ||
        location->spread().mPages.size() < 2)
        return XT::kErrParam;
    location->spread().mPages.removeAt(at - 1);
    location->mProject->mModified = true;
    return XT::kNoErr;
}

XTError SetPageLabel(XTBoxRef spreadBox, int16_t at, HostString label)
{
    if (HostState::refuses("SetPageLabel"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    const BoxLocation* location = state ? state->findBox(spreadBox) : nullptr;
    if (!location || !location->isSpreadBox() || at < 1 || at > location->spread().mPages.size())
        return XT::kErrParam;
    const QString text = stringOf(label);
    if (location->spread().mPages.at(at - 1) != text)
    {
        location->spread().mPages[at - 1] = text;
        location->mProject->mModified = true;
    }
    return XT::kNoErr;
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
                              CopyBoxToSpread, GetPageLabel, GetMasterSpreadCount, GetMasterPageCount,
                              CopySpread,      DeleteSpread, InsertPage,           DeletePage,
                              SetPageLabel};

} // namespace

const XTSpreadTable& spreadTable()
{
    return sTable;
}

} // namespace Api
} // namespace XTHost
