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
    fragment.mFormats = TextFormat::slice(mFormats, start, end);
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
    // Text without formatting of its own is formatted as the character
    // before it (after it at the start), as typed text is.
    XT::FormatRuns formats = fragment.mFormats;
    if (formats.empty() && !mFormats.empty() && length() > 0)
        formats.push_back({0, XT::ParagraphPart(TextFormat::at(mFormats, std::max(position - 1, 0)), false)});
    TextFormat::splice(mFormats, length(), position, 0, formats, count);
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
    TextFormat::splice(mFormats, length(), start, count, {}, 0);
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

XT::TextAttributes Story::paragraphAt(int offset) const
{
    for (int i = std::max(offset, 0); i < length(); ++i)
        if (TextFormat::isParagraphEnd(mText[i]))
            return XT::ParagraphPart(TextFormat::at(mFormats, i), true);
    return mTrail;
}

XT::FormatRuns Story::formatting(int start, int end) const
{
    XT::FormatRuns out;
    start = std::clamp(start, 0, length());
    end = std::clamp(end, start, length());
    if (mFormats.empty() && mTrail.isEmpty())
        return out;
    // Stretches end where a run or a paragraph ends.
    for (int at = start; at < end;)
    {
        int paragraphEnd = at;
        while (paragraphEnd < length() && !TextFormat::isParagraphEnd(mText[paragraphEnd]))
            ++paragraphEnd;
        const XT::TextAttributes paragraph =
            paragraphEnd < length() ? XT::ParagraphPart(TextFormat::at(mFormats, paragraphEnd), true) : mTrail;
        const int stop = std::min(end, paragraphEnd + 1);
        while (at < stop)
        {
            auto next = std::upper_bound(mFormats.begin(), mFormats.end(), at,
                                         [](int value, const XT::FormatRun& run) { return value < run.mOffset; });
            const int runEnd = next == mFormats.end() ? stop : std::min(stop, int(next->mOffset));
            out.push_back({at - start, TextFormat::withParagraph(TextFormat::at(mFormats, at), paragraph)});
            at = runEnd;
        }
    }
    TextFormat::normalize(out);
    return out;
}

void Story::setFormatting(int start, int end, const XT::FormatRuns& runs)
{
    start = std::clamp(start, 0, length());
    end = std::clamp(end, start, length());
    if (end == start)
        return;
    XT::FormatRuns characters;
    for (const XT::FormatRun& run : runs)
        characters.push_back({run.mOffset, XT::ParagraphPart(run.mAttributes, false)});
    TextFormat::normalize(characters);
    TextFormat::splice(mFormats, length(), start, end - start, characters, end - start);
    // Each paragraph touched takes the paragraph attributes of its last
    // character in the range.
    for (int i = start; i < end; ++i)
    {
        const bool last = i + 1 == end || TextFormat::isParagraphEnd(mText[i]);
        if (!last)
            continue;
        const XT::TextAttributes paragraph = XT::ParagraphPart(TextFormat::at(runs, i - start), true);
        int paragraphEnd = i;
        while (paragraphEnd < length() && !TextFormat::isParagraphEnd(mText[paragraphEnd]))
            ++paragraphEnd;
        if (paragraphEnd == length())
        {
            mTrail = paragraph;
            continue;
        }
        XT::TextAttributes attributes = XT::ParagraphPart(TextFormat::at(mFormats, paragraphEnd), false);
        for (const auto& entry : paragraph)
            XT::SetAttribute(attributes, entry.first, entry.second);
        TextFormat::splice(mFormats, length(), paragraphEnd, 1, {{0, attributes}}, 1);
    }
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
