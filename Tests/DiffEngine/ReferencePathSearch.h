#pragma once

#include "DiffEngine.h"

#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

// The path search written the straightforward way: every step's points in a set, and a map from every
// point a front passed to the step at which it passed it. Far too slow and large for real texts; the
// tests hold the engine's compact search to exactly its answers.
class ReferencePathSearch
{
public:
    explicit ReferencePathSearch(short dualThreshold) : mDualThreshold(dualThreshold) {}

    QList<TextDiff::Diff> diff_map(const QString& text1, const QString& text2) const;

private:
    using Steps = QList<QSet<QPair<int, int>>>;

    // The path a front took to the ends of the texts, read back from its steps: the forward front's from
    // the start of the texts, the reverse front's from their ends (its x and y count from there).
    QList<TextDiff::Diff> walk(const Steps& steps, const QString& text1, const QString& text2,
                               bool reverse) const;

    short mDualThreshold;
};
