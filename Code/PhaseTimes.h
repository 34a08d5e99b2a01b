#pragma once

// Where a long run spends its time. With CORVANE_PHASE_TIMES naming a file,
// each Mark appends a line "PHASE MS" to it: the phase that just ended and
// its wall time in milliseconds since the mark before, or since Start.
// Without it, a mark costs one test.
namespace PhaseTimes
{
void Start();
void Mark(const char* phase);
}
