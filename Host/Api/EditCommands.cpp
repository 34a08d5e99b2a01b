#include "ApiTables.h"
#include "HostState.h"
#include "TextEditor.h"

namespace XTHost
{
namespace Api
{

XTError editCopy(int32_t what, int32_t flags, int32_t toClipboard, int32_t options)
{
    HostState* state = HostState::current();
    if (!state)
        return XT::kErrParam;
    const BoxLocation* box = state->findBox(state->mCurrentBox);
    if (!box || box->isSpreadBox())
        return XT::kErrParam;
    auto story = box->mProject->mBoxStories.find(state->mCurrentBox);
    if (story == box->mProject->mBoxStories.end())
        return XT::kErrParam;
    const std::pair<int32_t, int32_t>& selection = box->mProject->mSelections[story->second];
    // An empty selection copies nothing and so empties the clipboard: a later
    // paste must not bring back what an earlier copy left there.
    state->mClipboard =
        box->mProject->mModel.mStories[story->second].extract(selection.first, selection.second);
    return XT::kNoErr;
}

XTError editPaste(XTBoxRef box, int32_t what, int32_t flags, int32_t options)
{
    if (HostState::refuses("XEPaste"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    if (!state)
        return XT::kErrParam;
    const BoxLocation* location = state->findBox(box);
    if (!location || location->isSpreadBox())
        return XT::kErrParam;
    OpenProject* project = location->mProject;
    auto story = project->mBoxStories.find(box);
    if (story == project->mBoxStories.end())
        return XT::kErrParam;
    XTTextRef text = project->mStoryTexts[story->second];
    const std::pair<int32_t, int32_t> selection = project->mSelections[story->second];
    // Pasting replaces the selection. The clipboard is copied first: a
    // callback may copy something else meanwhile.
    const TextFragment fragment = state->mClipboard;
    if (selection.second > selection.first &&
        !TextEditor::remove(*state, text, selection.first, selection.second))
        return XT::kErrParam;
    const int at = TextEditor::insert(*state, text, selection.first, fragment);
    if (at < 0)
        return XT::kErrParam;
    if (const TextLocation* after = state->findText(text))
    {
        const int caret = at + fragment.mText.size();
        after->mProject->mSelections[after->mStory] = {caret, caret};
    }
    return XT::kNoErr;
}

} // namespace Api
} // namespace XTHost
