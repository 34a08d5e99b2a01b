#include "BoxPairing.h"

#include <QHash>

#include <algorithm>
#include <cstdint>
#include <functional>

namespace BoxPairing
{

namespace
{

// The longest common subsequence of two sequences of ids, as index pairs:
// common ends first, then a table over what lies between where that is
// small, else the ids that occur once on each side in a rising order.
std::vector<std::pair<int, int>> Common(const std::vector<uint64_t>& a, const std::vector<uint64_t>& b)
{
    const int n = int(a.size()), m = int(b.size());
    std::vector<std::pair<int, int>> pairs;
    int prefix = 0;
    while (prefix < n && prefix < m && a[size_t(prefix)] == b[size_t(prefix)])
    {
        pairs.emplace_back(prefix, prefix);
        ++prefix;
    }
    int suffix = 0;
    while (suffix < n - prefix && suffix < m - prefix && a[size_t(n - 1 - suffix)] == b[size_t(m - 1 - suffix)])
        ++suffix;
    const int an = n - prefix - suffix, bn = m - prefix - suffix;
    std::vector<std::pair<int, int>> middle;
    if (an > 0 && bn > 0 && qint64(an) * bn <= 4 * 1024 * 1024)
    {
        std::vector<uint16_t> table(size_t(an + 1) * size_t(bn + 1), 0);
        auto at = [&](int i, int j) -> uint16_t& { return table[size_t(i) * size_t(bn + 1) + size_t(j)]; };
        for (int i = an - 1; i >= 0; --i)
            for (int j = bn - 1; j >= 0; --j)
                at(i, j) = a[size_t(prefix + i)] == b[size_t(prefix + j)] ? uint16_t(at(i + 1, j + 1) + 1)
                                                                          : std::max(at(i + 1, j), at(i, j + 1));
        for (int i = 0, j = 0; i < an && j < bn;)
        {
            if (a[size_t(prefix + i)] == b[size_t(prefix + j)])
                middle.emplace_back(prefix + i++, prefix + j++);
            else if (at(i + 1, j) >= at(i, j + 1))
                ++i;
            else
                ++j;
        }
    }
    else if (an > 0 && bn > 0)
    {
        // Too many for the table: ids unique on both sides, kept where they
        // rise on both (a patience-style anchor set).
        QHash<uint64_t, int> countA, countB, placeB;
        for (int i = 0; i < an; ++i)
            ++countA[a[size_t(prefix + i)]];
        for (int j = 0; j < bn; ++j)
        {
            ++countB[b[size_t(prefix + j)]];
            placeB[b[size_t(prefix + j)]] = prefix + j;
        }
        int last = -1;
        for (int i = 0; i < an; ++i)
        {
            const uint64_t id = a[size_t(prefix + i)];
            if (countA.value(id) != 1 || countB.value(id) != 1)
                continue;
            const int j = placeB.value(id);
            if (j > last)
            {
                middle.emplace_back(prefix + i, j);
                last = j;
            }
        }
    }
    pairs.insert(pairs.end(), middle.begin(), middle.end());
    for (int k = suffix; k > 0; --k)
        pairs.emplace_back(n - k, m - k);
    return pairs;
}

uint64_t Fingerprint(const Signature& s)
{
    uint64_t hash = 1469598103934665603ull;
    auto mix = [&](uint64_t value)
    {
        hash ^= value;
        hash *= 1099511628211ull;
    };
    mix(uint64_t(uint16_t(s.mKind)));
    mix(uint64_t(qHash(s.mShape)));
    mix(uint64_t(uint32_t(s.mSpread)));
    mix(uint64_t(uint32_t(s.mBounds.left)));
    mix(uint64_t(uint32_t(s.mBounds.top)));
    mix(uint64_t(uint32_t(s.mBounds.right)));
    mix(uint64_t(uint32_t(s.mBounds.bottom)));
    mix(uint64_t(qHash(s.mContent)));
    return hash;
}

// How much two boxes of one kind share; 0 for boxes of different kinds (a
// line is no polygon, though both are boxes without content).
int Likeness(const Signature& a, const Signature& b)
{
    if (a.mKind != b.mKind || a.mShape != b.mShape)
        return 0;
    int score = 1;
    if (a.mSpread == b.mSpread)
        score += 4;
    if (a.mBounds.left == b.mBounds.left && a.mBounds.top == b.mBounds.top)
        score += 2;
    if (a.mBounds.right - a.mBounds.left == b.mBounds.right - b.mBounds.left &&
        a.mBounds.bottom - a.mBounds.top == b.mBounds.bottom - b.mBounds.top)
        score += 2;
    if (a.mContent == b.mContent)
        score += 3;
    return score;
}

// Below this, two boxes between the anchors are taken for different ones:
// the same kind must share its spread, or two other things.
constexpr int kLikeEnough = 5;

// Pairs the boxes of one gap between anchors, best likeness first.
void PairGap(const std::vector<Signature>& left, const std::vector<Signature>& right, int l0, int l1, int r0, int r1,
             std::vector<int>& leftPair)
{
    const int ln = l1 - l0, rn = r1 - r0;
    if (ln <= 0 || rn <= 0)
        return;
    struct Candidate
    {
        int mScore, mLeft, mRight;
    };
    std::vector<Candidate> candidates;
    if (qint64(ln) * rn <= 250000)
    {
        for (int i = l0; i < l1; ++i)
            for (int j = r0; j < r1; ++j)
            {
                const int score = Likeness(left[size_t(i)], right[size_t(j)]);
                if (score >= kLikeEnough)
                    candidates.push_back({score, i, j});
            }
    }
    else
    {
        // A large gap: each box against the boxes at its own place in the
        // other side's gap and a few around it.
        for (int i = l0; i < l1; ++i)
        {
            const int centre = r0 + int(qint64(i - l0) * rn / ln);
            for (int j = std::max(r0, centre - 8); j < std::min(r1, centre + 9); ++j)
            {
                const int score = Likeness(left[size_t(i)], right[size_t(j)]);
                if (score >= kLikeEnough)
                    candidates.push_back({score, i, j});
            }
        }
    }
    // Best first; among equals, those nearest their place in order.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.mScore > b.mScore; });
    std::vector<bool> rightTaken(size_t(rn), false);
    for (const Candidate& candidate : candidates)
    {
        if (leftPair[size_t(candidate.mLeft)] >= 0 || rightTaken[size_t(candidate.mRight - r0)])
            continue;
        leftPair[size_t(candidate.mLeft)] = candidate.mRight;
        rightTaken[size_t(candidate.mRight - r0)] = true;
    }
}

// A box that went to another spread lies elsewhere in the other side's
// order: the boxes left over are paired across the whole layout where they
// share more than their spread would give.
void PairMoved(const std::vector<Signature>& left, const std::vector<Signature>& right, std::vector<int>& leftPair)
{
    std::vector<bool> rightTaken(right.size(), false);
    std::vector<int> lefts, rights;
    for (size_t i = 0; i < left.size(); ++i)
        if (leftPair[i] >= 0)
            rightTaken[size_t(leftPair[i])] = true;
        else
            lefts.push_back(int(i));
    for (size_t j = 0; j < right.size(); ++j)
        if (!rightTaken[j])
            rights.push_back(int(j));
    if (lefts.empty() || rights.empty() || qint64(lefts.size()) * qint64(rights.size()) > 250000)
        return;
    struct Candidate
    {
        int mScore, mLeft, mRight;
    };
    std::vector<Candidate> candidates;
    for (int i : lefts)
        for (int j : rights)
        {
            // Boxes of one spread that met no partner between their anchors
            // are different boxes.
            if (left[size_t(i)].mSpread == right[size_t(j)].mSpread)
                continue;
            const int score = Likeness(left[size_t(i)], right[size_t(j)]);
            if (score > kLikeEnough)
                candidates.push_back({score, i, j});
        }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.mScore > b.mScore; });
    for (const Candidate& candidate : candidates)
    {
        if (leftPair[size_t(candidate.mLeft)] >= 0 || rightTaken[size_t(candidate.mRight)])
            continue;
        leftPair[size_t(candidate.mLeft)] = candidate.mRight;
        rightTaken[size_t(candidate.mRight)] = true;
    }
}

} // namespace

std::vector<std::pair<int, int>> Align(const std::vector<Signature>& left, const std::vector<Signature>& right)
{
    std::vector<uint64_t> a, b;
    a.reserve(left.size());
    b.reserve(right.size());
    for (const Signature& s : left)
        a.push_back(Fingerprint(s));
    for (const Signature& s : right)
        b.push_back(Fingerprint(s));
    std::vector<int> leftPair(left.size(), -1);
    int l = 0, r = 0;
    for (const auto& anchor : Common(a, b))
    {
        PairGap(left, right, l, anchor.first, r, anchor.second, leftPair);
        leftPair[size_t(anchor.first)] = anchor.second;
        l = anchor.first + 1;
        r = anchor.second + 1;
    }
    PairGap(left, right, l, int(left.size()), r, int(right.size()), leftPair);
    PairMoved(left, right, leftPair);

    // In order: each left box with its partner, right boxes without one
    // where they stand.
    std::vector<bool> rightPaired(right.size(), false);
    for (int partner : leftPair)
        if (partner >= 0)
            rightPaired[size_t(partner)] = true;
    std::vector<std::pair<int, int>> out;
    int nextRight = 0;
    for (int i = 0; i < int(left.size()); ++i)
    {
        const int partner = leftPair[size_t(i)];
        if (partner >= 0)
            for (; nextRight < partner; ++nextRight)
                if (!rightPaired[size_t(nextRight)])
                    out.emplace_back(-1, nextRight);
        out.emplace_back(i, partner);
    }
    for (; nextRight < int(right.size()); ++nextRight)
        if (!rightPaired[size_t(nextRight)])
            out.emplace_back(-1, nextRight);
    return out;
}

std::pair<std::vector<bool>, std::vector<bool>> Steady(const std::vector<int>& left, const std::vector<int>& right)
{
    std::vector<uint64_t> a(left.begin(), left.end()), b(right.begin(), right.end());
    std::pair<std::vector<bool>, std::vector<bool>> steady{std::vector<bool>(left.size(), false),
                                                           std::vector<bool>(right.size(), false)};
    for (const auto& pair : Common(a, b))
    {
        steady.first[size_t(pair.first)] = true;
        steady.second[size_t(pair.second)] = true;
    }
    return steady;
}

} // namespace BoxPairing
