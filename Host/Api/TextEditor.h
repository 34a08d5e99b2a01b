#pragma once

#include "XTTypes.h"

namespace XTHost
{

class HostState;
struct TextFragment;

// Every change of story text goes through here: it edits the story, keeps
// the selection, marks the project modified, and then, still inside the
// call, tells the registered callbacks what changed.
//
// An insertion is described by one record per piece, in text order: a
// post-insert record (258) for each stretch of ordinary text and a
// post-hidden-insert record (738) for each hidden run, marker included (a run
// longer than 65535 units takes several). Each record gives the piece's own
// offset in the text after the insertion, so a listener that shifts offsets
// at or after each record's offset by its count moves every offset by exactly
// the inserted units.
class TextEditor
{
public:
    // Returns where the fragment went (an offset inside a hidden run moves to
    // the run's end), or -1 for an unknown text or offset.
    static int insert(HostState& state, XTTextRef text, int position, const TextFragment& fragment);
    static bool remove(HostState& state, XTTextRef text, int start, int end);
};

} // namespace XTHost
