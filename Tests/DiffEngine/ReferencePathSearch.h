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
    QList<TextDiff::Diff> diff_path1(const QList<QSet<QPair<int, int>>>& v_map, const QString& text1,
                                     const QString& text2) const;
    QList<TextDiff::Diff> diff_path2(const QList<QSet<QPair<int, int>>>& v_map, const QString& text1,
                                     const QString& text2) const;

private:
    short mDualThreshold;
};
