#include "Story.h"

#include <algorithm>

namespace XTHost
{

void Story::appendVisible(const QString& text)
{
    mText += text;
}

void Story::appendHidden(const QString& content)
{
    mRuns.push_back({mText.size(), int(content.size())});
    mText += QChar(sMarker);
    mText += content;
}

int Story::runAt(int offset) const
{
    auto it = std::upper_bound(mRuns.begin(), mRuns.end(), offset,
                               [](int value, const HiddenRun& run) { return value < run.mOffset; });
    if (it == mRuns.begin())
        return -1;
    --it;
    return offset < it->end() ? int(it - mRuns.begin()) : -1;
}

int Story::adjustOffset(int offset) const
{
    const int index = runAt(offset);
    if (index < 0 || mRuns[index].mOffset == offset)
        return offset;
    return mRuns[index].end();
}

int Story::findRun(int from, int end) const
{
    auto it = std::upper_bound(mRuns.begin(), mRuns.end(), from,
                               [](int value, const HiddenRun& run) { return value < run.end(); });
    if (it == mRuns.end() || it->mOffset >= end)
        return -1;
    return int(it - mRuns.begin());
}

TextFragment Story::extract(int start, int end) const
{
    TextFragment fragment;
    start = std::clamp(start, 0, length());
    end = std::clamp(end, start, length());
    fragment.mText = mText.mid(start, end - start);
    for (const HiddenRun& run : mRuns)
    {
        if (run.mOffset >= end)
            break;
        // Content cut off from its marker is ordinary text in the copy.
        if (run.mOffset < start)
            continue;
        fragment.mRuns.push_back({run.mOffset - start, std::min(run.end(), end) - run.mOffset - 1});
    }
    return fragment;
}

int Story::insert(int position, const TextFragment& fragment)
{
    position = adjustOffset(std::clamp(position, 0, length()));
    const int count = fragment.mText.size();
    mText.insert(position, fragment.mText);
    std::vector<HiddenRun> runs;
    runs.reserve(mRuns.size() + fragment.mRuns.size());
    auto it = mRuns.begin();
    for (; it != mRuns.end() && it->mOffset < position; ++it)
        runs.push_back(*it);
    for (const HiddenRun& run : fragment.mRuns)
        runs.push_back({run.mOffset + position, run.mLength});
    for (; it != mRuns.end(); ++it)
        runs.push_back({it->mOffset + count, it->mLength});
    mRuns.swap(runs);
    return position;
}

void Story::remove(int start, int end)
{
    start = std::clamp(start, 0, length());
    end = std::clamp(end, start, length());
    const int count = end - start;
    if (count == 0)
        return;
    mText.remove(start, count);
    std::vector<HiddenRun> runs;
    runs.reserve(mRuns.size());
    for (const HiddenRun& run : mRuns)
    {
        if (run.end() <= start)
            runs.push_back(run);
        else if (run.mOffset >= end)
            runs.push_back({run.mOffset - count, run.mLength});
        else if (run.mOffset < start)
            runs.push_back({run.mOffset, run.mLength - (std::min(run.end(), end) - start)});
        // Otherwise the marker went with the deletion and the run ends.
    }
    mRuns.swap(runs);
}

bool Story::isConsistent() const
{
    int previousEnd = 0;
    for (const HiddenRun& run : mRuns)
    {
        if (run.mLength < 0 || run.mOffset < previousEnd || run.end() > length())
            return false;
        if (mText.at(run.mOffset).unicode() != sMarker)
            return false;
        previousEnd = run.end();
    }
    return true;
}

} // namespace XTHost
