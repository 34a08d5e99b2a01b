#include "TextEditor.h"

#include "HostState.h"

#include <cstring>
#include <limits>

namespace XTHost
{

namespace
{

void notifyInsert(HostState& state, XTTextRef text, int offset, int count)
{
    XTInsertTextRec record;
    std::memset(&record, 0, sizeof(record));
    record.header = {XT::kCbPostTextInsert, int32_t(sizeof(record))};
    record.text = text;
    record.offset = offset;
    record.count = count;
    state.mCallbacks.dispatch(XT::kCbPostTextInsert, &record);
}

void notifyHiddenInsert(HostState& state, XTTextRef text, int offset, int count)
{
    // The record's count is 16-bit.
    while (count > 0)
    {
        const int piece = std::min(count, int(std::numeric_limits<uint16_t>::max()));
        XTInsertHiddenBytesRec record;
        std::memset(&record, 0, sizeof(record));
        record.header = {XT::kCbPostHiddenTextInsert, int32_t(sizeof(record))};
        record.text = text;
        record.offset = offset;
        record.count = uint16_t(piece);
        state.mCallbacks.dispatch(XT::kCbPostHiddenTextInsert, &record);
        offset += piece;
        count -= piece;
    }
}

} // namespace

int TextEditor::insert(HostState& state, XTTextRef text, int position, const TextFragment& fragment)
{
    const TextLocation* location = state.findText(text);
    if (!location || position < 0 || position > location->story().length())
        return -1;
    if (int64_t(location->story().length()) + fragment.mText.size() > std::numeric_limits<int32_t>::max() / 2)
        return -1;
    if (fragment.mText.isEmpty())
        return location->story().adjustOffset(position);
    const int at = location->story().insert(position, fragment);
    const int count = fragment.mText.size();
    std::pair<int32_t, int32_t>& selection = location->mProject->mSelections[location->mStory];
    if (selection.first >= at)
        selection.first += count;
    if (selection.second >= at)
        selection.second += count;
    location->mProject->mModified = true;

    // The pieces are worked out before any callback runs: a handler may edit
    // or close the project.
    struct Piece
    {
        int mOffset;
        int mCount;
        bool mHidden;
    };
    std::vector<Piece> pieces;
    int cursor = 0;
    for (const HiddenRun& run : fragment.mRuns)
    {
        if (run.mOffset > cursor)
            pieces.push_back({at + cursor, run.mOffset - cursor, false});
        pieces.push_back({at + run.mOffset, run.mLength + 1, true});
        cursor = run.end();
    }
    if (cursor < count)
        pieces.push_back({at + cursor, count - cursor, false});
    for (const Piece& piece : pieces)
    {
        if (piece.mHidden)
            notifyHiddenInsert(state, text, piece.mOffset, piece.mCount);
        else
            notifyInsert(state, text, piece.mOffset, piece.mCount);
    }
    return at;
}

bool TextEditor::remove(HostState& state, XTTextRef text, int start, int end)
{
    const TextLocation* location = state.findText(text);
    if (!location || start < 0 || end < start || end > location->story().length())
        return false;
    if (start == end)
        return true;
    location->story().remove(start, end);
    const int count = end - start;
    std::pair<int32_t, int32_t>& selection = location->mProject->mSelections[location->mStory];
    auto shift = [&](int32_t& offset) { offset = offset >= end ? offset - count : std::min(offset, start); };
    shift(selection.first);
    shift(selection.second);
    location->mProject->mModified = true;

    XTDeleteTextRec record;
    std::memset(&record, 0, sizeof(record));
    record.header = {XT::kCbPostTextDelete, int32_t(sizeof(record))};
    record.text = text;
    record.offset = start;
    record.count = count;
    state.mCallbacks.dispatch(XT::kCbPostTextDelete, &record);
    return true;
}

} // namespace XTHost
