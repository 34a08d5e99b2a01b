#include "PatchTextStyle.h"

#include <QBrush>
#include <QTextCharFormat>

PatchTextStyle::PatchTextStyle(std::function<Colours()> colours) : mColours(std::move(colours))
{
}

void PatchTextStyle::SetPropertyRows(QChar separator)
{
    mPropertyRows = true;
    mSeparator = separator;
}

void PatchTextStyle::Style(const TextDiff::UnitPatch& row, bool left, const Side& mine, const Side& theirs,
                           QVector<QTextLayout::FormatRange>& ranges) const
{
    // An applied row shows the other side's text, which the styles of this
    // side do not describe.
    if (row.appliedLeft || row.appliedRight)
        return;
    if (row.isChange && !row.patches.isEmpty())
        StyleChanges(row, left, mine, ranges);
    StyleHidden(row, left, mine, theirs, ranges);
}

void PatchTextStyle::StyleChanges(const TextDiff::UnitPatch& row, bool left, const Side& mine,
                                  QVector<QTextLayout::FormatRange>& ranges) const
{
    const Colours colours = mColours();
    QTextCharFormat change;
    change.setForeground(QBrush(colours.change, Qt::SolidPattern));
    change.setProperty(kChangeProperty, true);
    QTextCharFormat equality;
    equality.setForeground(QBrush(colours.equality, Qt::SolidPattern));
    QTextCharFormat restyled;
    restyled.setForeground(QBrush(colours.change, Qt::SolidPattern));
    restyled.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    restyled.setUnderlineColor(colours.change);
    restyled.setProperty(kFormatProperty, true);

    // A property's value is one token: 388 pt against 428 pt is a changed
    // value, not "38" and "42" before an unchanged "8 pt".
    if (mPropertyRows)
    {
        const QString cell = mine.text.mid(int(mine.start), qMax(0, int(mine.end - mine.start)));
        const int length = cell.size() - (cell.endsWith(mSeparator) ? 1 : 0);
        if (length > 0)
            ranges.append({0, length, change});
        return;
    }

    const TextDiff::Patch& first = row.patches.constFirst();
    int position = (left ? first.start1 : first.start2) - int(mine.start);
    if (position > 0)
        ranges.append({0, position, equality});

    for (const TextDiff::Patch& hunk : row.patches)
    {
        for (const TextDiff::Diff& diff : hunk.diffs)
        {
            if (diff.isContext)
                continue;
            const int length = diff.text.size();
            if (diff.operation == TextDiff::EQUAL)
            {
                ranges.append({position, length, equality});
                position += length;
            }
            else if ((diff.operation == TextDiff::DELETE) == left)
            {
                ranges.append({position, length, diff.isFormat ? restyled : change});
                position += length;
            }
        }
    }
}

std::vector<std::pair<long, long>> PatchTextStyle::RunsIn(const Side& side)
{
    std::vector<std::pair<long, long>> runs;
    for (const auto& run : side.runs)
    {
        const long from = qMax(run.first, side.start);
        const long to = qMin(run.first + run.second, side.end);
        if (from < to)
            runs.emplace_back(from, to);
    }
    return runs;
}

// Masked units are the same on both sides however their hidden text differs:
// where aligned masked units hold other text, the unit is a change too. Every
// hidden unit is marked, changed or not, so the delegate can draw it.
void PatchTextStyle::StyleHidden(const TextDiff::UnitPatch& row, bool left, const Side& mine,
                                 const Side& theirs, QVector<QTextLayout::FormatRange>& ranges) const
{
    const long start = mine.start;
    const std::vector<std::pair<long, long>> runs = RunsIn(mine);
    if (runs.empty() && RunsIn(theirs).empty())
        return;
    const int length = int(mine.end - start);
    if (length <= 0)
        return;

    // Per unit of the cell: 0 unstyled, 1 equality, 2 change; and hidden.
    const Colours colours = mColours();
    std::vector<int> kind(size_t(length), 0);
    std::vector<bool> hidden(size_t(length), false);
    for (const QTextLayout::FormatRange& range : qAsConst(ranges))
    {
        const int k = range.format.foreground().color() == colours.change ? 2 : 1;
        for (int i = qMax(0, range.start); i < qMin(length, range.start + range.length); ++i)
            kind[size_t(i)] = k;
    }
    for (const auto& run : runs)
        for (long i = run.first; i < run.second; ++i)
            hidden[size_t(i - start)] = true;
    MarkChangedHidden(row, left, mine, theirs, hidden, kind);

    QTextCharFormat formats[3][2];
    formats[1][0].setForeground(colours.equality);
    formats[2][0].setForeground(colours.change);
    formats[2][0].setProperty(kChangeProperty, true);
    for (int k = 0; k < 3; ++k)
    {
        formats[k][1] = formats[k][0];
        formats[k][1].setBackground(QColor(0xFF, 0xE8, 0xA8));
        formats[k][1].setProperty(kHiddenProperty, true);
        if (k == 0)
            formats[k][1].setForeground(QColor(Qt::darkGray));
    }
    ranges.clear();
    for (int i = 0; i < length;)
    {
        int j = i;
        while (j < length && kind[size_t(j)] == kind[size_t(i)] && hidden[size_t(j)] == hidden[size_t(i)])
            ++j;
        if (kind[size_t(i)] != 0 || hidden[size_t(i)])
            ranges.append({i, j - i, formats[kind[size_t(i)]][hidden[size_t(i)] ? 1 : 0]});
        i = j;
    }
}

// The row's equal stretches, aligned on both sides.
void PatchTextStyle::MarkChangedHidden(const TextDiff::UnitPatch& row, bool left, const Side& mine,
                                       const Side& theirs, const std::vector<bool>& hidden,
                                       std::vector<int>& kind) const
{
    if (!row.isChange || mine.unmasked.isEmpty() || theirs.unmasked.isEmpty() || row.patches.isEmpty())
        return;
    const long start = mine.start;
    const long length = long(kind.size());
    const TextDiff::Patch& first = row.patches.constFirst();
    long here = left ? first.start1 : first.start2;
    long there = left ? first.start2 : first.start1;
    auto compare = [&](long a, long b, long count)
    {
        for (long i = 0; i < count; ++i)
        {
            const long unit = a + i - start;
            if (unit >= 0 && unit < length && hidden[size_t(unit)] && b + i < theirs.unmasked.size() &&
                mine.unmasked.at(int(a + i)) != theirs.unmasked.at(int(b + i)))
                kind[size_t(unit)] = 2;
        }
    };
    const long lead = here - start;
    if (lead > 0 && there - lead >= 0)
        compare(start, there - lead, lead);
    for (const TextDiff::Patch& hunk : row.patches)
        for (const TextDiff::Diff& diff : hunk.diffs)
        {
            if (diff.isContext)
                continue;
            const long count = diff.text.size();
            if (diff.operation == TextDiff::EQUAL)
            {
                compare(here, there, count);
                here += count;
                there += count;
            }
            else if ((diff.operation == TextDiff::DELETE) == left)
            {
                here += count;
            }
            else
            {
                there += count;
            }
        }
}
