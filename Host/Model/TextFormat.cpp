#include "TextFormat.h"

#include <algorithm>

namespace XTHost
{

namespace TextFormat
{

const TextAttributes& at(const FormatRuns& runs, int offset)
{
    static const TextAttributes none;
    auto it = std::upper_bound(runs.begin(), runs.end(), offset,
                               [](int value, const XT::FormatRun& run) { return value < run.mOffset; });
    return it == runs.begin() ? none : std::prev(it)->mAttributes;
}

FormatRuns slice(const FormatRuns& runs, int start, int end)
{
    FormatRuns out;
    if (runs.empty() || end <= start)
        return out;
    out.push_back({0, at(runs, start)});
    auto it = std::upper_bound(runs.begin(), runs.end(), start,
                               [](int value, const XT::FormatRun& run) { return value < run.mOffset; });
    for (; it != runs.end() && it->mOffset < end; ++it)
        out.push_back({it->mOffset - start, it->mAttributes});
    normalize(out);
    return out;
}

void splice(FormatRuns& runs, int length, int start, int removed, const FormatRuns& inserted, int insertedLength)
{
    if (runs.empty() && inserted.empty())
        return;
    FormatRuns out;
    out.reserve(runs.size() + inserted.size() + 2);
    for (const XT::FormatRun& run : runs)
    {
        if (run.mOffset >= start)
            break;
        out.push_back(run);
    }
    if (insertedLength > 0)
    {
        if (inserted.empty() || inserted.front().mOffset > 0)
            out.push_back({start, TextAttributes()});
        for (const XT::FormatRun& run : inserted)
            if (run.mOffset < insertedLength)
                out.push_back({start + run.mOffset, run.mAttributes});
    }
    const int rest = start + removed;
    if (rest < length)
    {
        const int shift = insertedLength - removed;
        out.push_back({rest + shift, at(runs, rest)});
        for (const XT::FormatRun& run : runs)
            if (run.mOffset > rest)
                out.push_back({run.mOffset + shift, run.mAttributes});
    }
    runs.swap(out);
    normalize(runs);
}

void normalize(FormatRuns& runs)
{
    FormatRuns out;
    out.reserve(runs.size());
    for (XT::FormatRun& run : runs)
    {
        // Of runs at one offset the last holds; a run like the one before
        // it continues that one.
        while (!out.empty() && out.back().mOffset >= run.mOffset)
            out.pop_back();
        if (!out.empty() && out.back().mAttributes == run.mAttributes)
            continue;
        if (out.empty() && run.mOffset > 0)
            out.push_back({0, TextAttributes()});
        out.push_back(std::move(run));
    }
    if (std::all_of(out.begin(), out.end(), [](const XT::FormatRun& run) { return run.mAttributes.isEmpty(); }))
        out.clear();
    runs.swap(out);
}

TextAttributes withParagraph(const TextAttributes& character, const TextAttributes& paragraph)
{
    TextAttributes out;
    out.reserve(character.size() + paragraph.size());
    auto own = character.cbegin();
    auto theirs = paragraph.cbegin();
    for (;;)
    {
        while (own != character.cend() && XT::IsParagraphAttribute(own->first))
            ++own;
        if (own == character.cend() && theirs == paragraph.cend())
            return out;
        // A name both hold is the paragraph's.
        if (theirs == paragraph.cend() || (own != character.cend() && own->first < theirs->first))
            out.append(*own++);
        else
        {
            if (own != character.cend() && own->first == theirs->first)
                ++own;
            out.append(*theirs++);
        }
    }
}


} // namespace TextFormat

} // namespace XTHost
