#pragma once

// Pairing the boxes of two layouts that their numbers cannot pair, and
// their places in the stacking order. QtCore only.

#include "XTTypes.h"

#include <QString>

#include <utility>
#include <vector>

namespace BoxPairing
{

// What a box is, for telling it among the boxes of a document that keeps no
// identity for them (Scribus numbers the objects it named itself by their
// place, so deleting one renumbers those after it).
struct Signature
{
    int16_t mKind = 0;
    QString mShape; // the kind of object the document's program names it by ("Polyline" of "Polyline14")
    int mSpread = 0;
    XTFixedRect mBounds{0, 0, 0, 0};
    QString mContent; // a text box's story text, a picture box's file

    bool operator==(const Signature& other) const
    {
        return mKind == other.mKind && mShape == other.mShape && mSpread == other.mSpread && mBounds.left == other.mBounds.left &&
               mBounds.top == other.mBounds.top && mBounds.right == other.mBounds.right &&
               mBounds.bottom == other.mBounds.bottom && mContent == other.mContent;
    }
};

// Pairs two sequences of boxes (each in its document's order): the longest
// run of boxes that are alike in everything is paired first, then, between
// those, boxes of one kind by how much else they share (spread, place,
// size, content), so that a deletion is one deletion and a moved, resized
// or edited box one edited box. Returns (left index or -1, right index or
// -1) in order, every box once.
std::vector<std::pair<int, int>> Align(const std::vector<Signature>& left, const std::vector<Signature>& right);

// The boxes of a spread that keep their places relative to each other: the
// longest common subsequence of two stacking orders, given as pair ids
// (each id at most once per side). Returns, per side, whether each box of
// that side's order is among them.
std::pair<std::vector<bool>, std::vector<bool>> Steady(const std::vector<int>& left, const std::vector<int>& right);

} // namespace BoxPairing
