#pragma once

#include "XTTextFormat.h"

#include <QString>

namespace XTHost
{

// Runs of formatting over a text (see XTTextFormat.h): the first at offset
// 0, each lasting until the next, none at all when the text has none. A
// story's runs give each character its character attributes, and each
// paragraph end its paragraph's attributes as well.
namespace TextFormat
{

using XT::FormatRuns;
using XT::TextAttributes;

const TextAttributes& at(const FormatRuns& runs, int offset);
// The runs of [start, end), offsets from start.
FormatRuns slice(const FormatRuns& runs, int start, int end);
// Replaces `removed` units at `start` of a text of `length` units with
// `insertedLength` units formatted by `inserted` (offsets from start).
void splice(FormatRuns& runs, int length, int start, int removed, const FormatRuns& inserted,
            int insertedLength);
// Merges neighbours formatted alike; no runs when nothing is formatted.
void normalize(FormatRuns& runs);

// A character's own attributes (the character ones of `character`) with
// its paragraph's, both sorted by name, merged into one sorted set.
TextAttributes withParagraph(const TextAttributes& character, const TextAttributes& paragraph);

inline bool isParagraphEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0x2029;
}

} // namespace TextFormat

} // namespace XTHost
