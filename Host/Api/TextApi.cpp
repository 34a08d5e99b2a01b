#include "ApiTables.h"
#include "HostState.h"
#include "TextEditor.h"

#include <algorithm>
#include <cstring>

namespace XTHost
{
namespace Api
{

namespace
{

const TextLocation* locate(XTTextRef text)
{
    HostState* state = HostState::current();
    return state ? state->findText(text) : nullptr;
}

int32_t GetStoryNumber(XTTextRef text)
{
    const TextLocation* location = locate(text);
    return location ? location->story().mNumber : -1;
}

XTError GetStoryBoxes(XTTextRef text, int32_t flags, XTHandle boxes)
{
    HostState* state = HostState::current();
    const TextLocation* location = locate(text);
    if (!location || !state->isHandle(boxes))
        return XT::kErrParam;
    const std::vector<XTBoxRef>& refs = location->mProject->mStoryBoxes[location->mStory];
    if (!state->resizeHandle(boxes, int64_t(refs.size()) * 4))
        return XT::kErrRefused;
    if (!refs.empty())
        std::memcpy(*boxes, refs.data(), refs.size() * 4);
    return XT::kNoErr;
}

int32_t CountTextChars(XTTextRef text, int32_t flags, int32_t options)
{
    const TextLocation* location = locate(text);
    return location ? location->story().length() : 0;
}

int32_t GetTextChars(XTTextRef text, int32_t start, int32_t count, uint16_t* buffer)
{
    const TextLocation* location = locate(text);
    if (!location || !buffer || start < 0 || count <= 0 || start >= location->story().length())
        return 0;
    const int copied = std::min(count, location->story().length() - start);
    std::memcpy(buffer, location->story().mText.constData() + start, size_t(copied) * 2);
    return copied;
}

XTTextRef GetTextSelection(XTBoxRef box, int32_t* start, int32_t* end)
{
    HostState* state = HostState::current();
    const BoxLocation* location = state ? state->findBox(box) : nullptr;
    if (!location || location->isSpreadBox())
        return nullptr;
    auto it = location->mProject->mBoxStories.find(box);
    if (it == location->mProject->mBoxStories.end())
        return nullptr;
    const std::pair<int32_t, int32_t>& selection = location->mProject->mSelections[it->second];
    if (start)
        *start = selection.first;
    if (end)
        *end = selection.second;
    return location->mProject->mStoryTexts[it->second];
}

XTError SetTextSelection(XTTextRef text, int32_t start, int32_t end, int32_t flags)
{
    const TextLocation* location = locate(text);
    if (!location || start < 0 || end < start || end > location->story().length())
        return XT::kErrParam;
    location->mProject->mSelections[location->mStory] = {start, end};
    return XT::kNoErr;
}

XTError DeleteTextRange(XTTextRef text, int32_t start, int32_t end, int32_t flags, int32_t options)
{
    if (HostState::refuses("DeleteTextRange"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    if (!state || !TextEditor::remove(*state, text, start, end))
        return XT::kErrParam;
    return XT::kNoErr;
}

XTError CopyTextRange(XTTextRef source, int32_t start, int32_t end, XTTextRef destination, int32_t offset)
{
    if (HostState::refuses("CopyTextRange"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    const TextLocation* from = locate(source);
    if (!from || start < 0 || end < start || end > from->story().length())
        return XT::kErrParam;
    const TextFragment fragment = from->story().extract(start, end);
    const TextLocation* to = locate(destination);
    if (!to || TextEditor::insert(*state, destination, offset, fragment) < 0)
        return XT::kErrParam;
    state->bringStyles(*from->mProject, *to->mProject, fragment.mFormats, {});
    return XT::kNoErr;
}

intptr_t GetFirstStoryEntry(XTProjectId id)
{
    HostState* state = HostState::current();
    OpenProject* project = state ? state->project(id) : nullptr;
    if (!project || project->mStoryTexts.empty())
        return 0;
    return reinterpret_cast<intptr_t>(project->mStoryTexts.front());
}

XTTextRef GetStoryText(intptr_t entry)
{
    XTTextRef text = reinterpret_cast<XTTextRef>(entry);
    return locate(text) ? text : nullptr;
}

XTTextRef GetNextStory(XTTextRef text)
{
    const TextLocation* location = locate(text);
    if (!location)
        return nullptr;
    const std::vector<XTTextRef>& texts = location->mProject->mStoryTexts;
    const size_t next = size_t(location->mStory) + 1;
    return next < texts.size() ? texts[next] : nullptr;
}

XTError FindHiddenRun(XTTextRef text, int32_t* position, int32_t end, int32_t flags1, int32_t flags2,
                      int32_t forward, int32_t options, bool* found)
{
    const TextLocation* location = locate(text);
    if (!location || !position || !found)
        return XT::kErrParam;
    *found = false;
    if (!forward)
        return XT::kErrParam;
    const int run = location->story().findRun(std::max(*position, 0), end);
    if (run < 0)
    {
        *position = -1;
        return XT::kNoErr;
    }
    *position = location->story().mRuns[run].mOffset;
    *found = true;
    return XT::kNoErr;
}

int32_t GetHiddenRunLength(XTTextRef text, int32_t position)
{
    const TextLocation* location = locate(text);
    if (!location)
        return 0;
    const int run = location->story().runAt(position);
    if (run < 0 || location->story().mRuns[run].mOffset != position)
        return 0;
    return location->story().mRuns[run].mLength;
}

XTError AdjustOffsetForHidden(XTTextRef text, int32_t* offset, int32_t flags)
{
    const TextLocation* location = locate(text);
    if (!location || !offset || *offset < 0 || *offset > location->story().length())
        return XT::kErrParam;
    *offset = location->story().adjustOffset(*offset);
    return XT::kNoErr;
}

XTTextRef CopyStory(XTTextRef source, XTProjectId destination)
{
    if (HostState::refuses("CopyStory"))
        return nullptr;
    HostState* state = HostState::current();
    const TextLocation* from = locate(source);
    OpenProject* to = state ? state->project(destination) : nullptr;
    if (!from || !to || to == from->mProject || to->mModel.findStory(from->story().mNumber))
        return nullptr;
    const Story story = from->story();
    // A story that runs through boxes is made only where one of them is.
    bool placed = story.mBoxes.empty();
    for (const BoxLink& link : story.mBoxes)
    {
        const Layout* layout = to->mModel.findLayout(link.mLayout);
        const Box* box = layout ? layout->findBox(link.mBox) : nullptr;
        placed = placed || (box && box->isText());
    }
    if (!placed)
        return nullptr;
    to->mModel.mStories.push_back(story);
    to->mModel.mStories.back().mBoxes.clear();
    state->bringStyles(*from->mProject, *to, story.mFormats, story.mTrail);
    const XTTextRef text = state->registerStory(*to);
    state->linkStory(*to, int(to->mModel.mStories.size()) - 1, story.mBoxes);
    to->mModified = true;
    return text;
}

XTError DeleteStory(XTTextRef text)
{
    if (HostState::refuses("DeleteStory"))
        return XT::kErrRefused;
    const TextLocation* location = locate(text);
    if (!location)
        return XT::kErrParam;
    OpenProject& project = *location->mProject;
    HostState::current()->removeStory(project, location->mStory);
    return XT::kNoErr;
}

HostString GetStoryDefaultName(XTTextRef text)
{
    const TextLocation* location = locate(text);
    if (!location || !location->story().mNamedByFrame || location->story().mBoxes.empty())
        return nullptr;
    const BoxLink& first = location->story().mBoxes.front();
    const Layout* layout = location->mProject->mModel.findLayout(first.mLayout);
    const Box* box = layout ? layout->findBox(first.mBox) : nullptr;
    if (!box)
        return nullptr;
    return hostString(box->mName.isEmpty() ? box->mDefaultName : box->mName);
}

XTError GetTextFormatting(XTTextRef text, int32_t start, int32_t end, HostString* runs)
{
    const TextLocation* location = locate(text);
    if (!location || !runs || start < 0 || end < start || end > location->story().length())
        return XT::kErrParam;
    *runs = hostString(XT::EncodeFormatRuns(location->story().formatting(start, end)));
    return XT::kNoErr;
}

XTError SetTextFormatting(XTTextRef text, int32_t start, int32_t end, HostString encoded)
{
    if (HostState::refuses("SetTextFormatting"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    const TextLocation* location = locate(text);
    const QString* runsText = state ? state->string(encoded) : nullptr;
    XT::FormatRuns runs;
    if (!location || start < 0 || end < start || end > location->story().length() ||
        (encoded && !runsText) || (runsText && !XT::DecodeFormatRuns(*runsText, runs)))
        return XT::kErrParam;
    Story& story = location->story();
    const XT::FormatRuns before = story.mFormats;
    const XT::TextAttributes trail = story.mTrail;
    story.setFormatting(start, end, runs);
    if (story.mFormats != before || story.mTrail != trail)
        location->mProject->mModified = true;
    return XT::kNoErr;
}

const XTTextTable sTable = {GetStoryNumber,     GetStoryBoxes,         CountTextChars,     GetTextChars,
                            GetTextSelection,   SetTextSelection,      DeleteTextRange,    CopyTextRange,
                            GetFirstStoryEntry, GetStoryText,          GetNextStory,       FindHiddenRun,
                            GetHiddenRunLength, AdjustOffsetForHidden, CopyStory,          DeleteStory,
                            GetStoryDefaultName, GetTextFormatting,    SetTextFormatting};

} // namespace

const XTTextTable& textTable()
{
    return sTable;
}

} // namespace Api
} // namespace XTHost
