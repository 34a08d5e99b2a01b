#pragma once

#include "DiffEngine.h"

#include <QColor>
#include <QTextLayout>
#include <QVector>

#include <functional>
#include <map>
#include <utility>
#include <vector>

// How a cell of the patch table is drawn: as format ranges over the cell's text, its changed text in the
// change colour (and marked kChangeProperty), the unchanged text around the changes in the equality colour,
// and every unit of hidden text on a tint (and marked kHiddenProperty), in the change colour where the
// hidden text on the other side differs.
class PatchTextStyle
{
public:
    // The character format property that marks a unit of hidden text.
    static constexpr int kHiddenProperty = QTextFormat::UserProperty + 1;
    // The character format property that marks changed text.
    static constexpr int kChangeProperty = QTextFormat::UserProperty + 2;
    // The character format property that marks text kept on both sides but
    // formatted differently: drawn in the change colour, underlined with a
    // wave, where changed text is not underlined.
    static constexpr int kFormatProperty = QTextFormat::UserProperty + 3;

    // One side of the pair as the cell sees it: the compared text, the same text with its hidden runs
    // written out (empty when it has none) and where those runs are (start to length), and the cell's span
    // of the compared text, [start, end).
    struct Side
    {
        const QString& text;
        const QString& unmasked;
        const std::map<long, long>& runs;
        long start;
        long end;
    };

    struct Colours
    {
        QColor change;
        QColor equality;
    };
    // The colours are read when a cell needs them, each time.
    explicit PatchTextStyle(std::function<Colours()> colours);

    // Rows of a property list: a property's value is one token, so the whole value of a change row is a
    // change, without the separator that ends it.
    void SetPropertyRows(QChar separator);

    // Appends the ranges of one cell of a row, the left cell when left is true (mine is that cell's side),
    // then rewrites them with the hidden text marked where a side holds any.
    void Style(const TextDiff::UnitPatch& row, bool left, const Side& mine, const Side& theirs,
               QVector<QTextLayout::FormatRange>& ranges) const;

private:
    void StyleChanges(const TextDiff::UnitPatch& row, bool left, const Side& mine,
                      QVector<QTextLayout::FormatRange>& ranges) const;
    void StyleHidden(const TextDiff::UnitPatch& row, bool left, const Side& mine, const Side& theirs,
                     QVector<QTextLayout::FormatRange>& ranges) const;
    // Marks as changed the hidden units of mine whose hidden text differs from the units they are aligned
    // with on the other side.
    void MarkChangedHidden(const TextDiff::UnitPatch& row, bool left, const Side& mine, const Side& theirs,
                           const std::vector<bool>& hidden, std::vector<int>& kind) const;
    // Each hidden run of a side that overlaps its cell, clipped to it.
    static std::vector<std::pair<long, long>> RunsIn(const Side& side);

    std::function<Colours()> mColours;
    bool mPropertyRows = false;
    QChar mSeparator;
};
