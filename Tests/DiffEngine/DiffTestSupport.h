#pragma once

#include "DiffEngine.h"

#include <QRandomGenerator>
#include <QString>
#include <QVector>
#include <QtTest/QTest>

namespace DiffTestSupport
{

struct TextPair
{
    QString name;
    QString text1;
    QString text2;
};

// A compact, side-effect free form of a diff list for messages: [=ab -c +d].
QString describe(const QList<TextDiff::Diff>& diffs);
QString describe(const TextDiff::Patch& patch);

QString randomText(QRandomGenerator& rng, int length, const QString& alphabet);
// Random insertions, deletions and replacements drawn from the alphabet.
QString mutate(QRandomGenerator& rng, const QString& text, int edits, const QString& alphabet);

// Seeded pairs of every kind the engine must handle: empty and single-character texts, small alphabets,
// carriage-return paragraphs, surrogate pairs, long repeats, a moved block, texts with few edits and
// unrelated texts. Lengths stay within maxLength.
QVector<TextPair> generatePairs(quint32 seed, int count, int maxLength);

// The length of a shortest edit script (insertions plus deletions) from text1 to text2, by the plain greedy
// search: one front, the furthest x per diagonal, step by step until it reaches the end.
int shortestEditCount(const QString& text1, const QString& text2);
// Deleted plus inserted units of a diff list.
int editCount(const QList<TextDiff::Diff>& diffs);

// Diffs of each kind, as the engine makes them (no context).
inline TextDiff::Diff eq(const QString& text)
{
    return TextDiff::Diff(TextDiff::EQUAL, text, false);
}
inline TextDiff::Diff del(const QString& text)
{
    return TextDiff::Diff(TextDiff::DELETE, text, false);
}
inline TextDiff::Diff ins(const QString& text)
{
    return TextDiff::Diff(TextDiff::INSERT, text, false);
}

} // namespace DiffTestSupport

Q_DECLARE_METATYPE(QList<TextDiff::Diff>)

namespace QTest
{
template <> inline char* toString(const TextDiff::Diff& diff)
{
    return QTest::toString(DiffTestSupport::describe(QList<TextDiff::Diff>{diff}));
}
template <> inline char* toString(const TextDiff::Patch& patch)
{
    return QTest::toString(DiffTestSupport::describe(patch));
}
template <> inline char* toString(const QList<TextDiff::Diff>& diffs)
{
    return QTest::toString(DiffTestSupport::describe(diffs));
}
} // namespace QTest
