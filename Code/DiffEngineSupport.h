#pragma once

// Helpers that several of the engine's sources share; not part of its interface.

#include "DiffEngine.h"

namespace TextDiff
{

inline void appendDiff(QList<Diff>& diffs, Operation op, const QString& text)
{
    diffs.append(Diff(op, text, false));
}

} // namespace TextDiff
