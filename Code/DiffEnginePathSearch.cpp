#include "DiffEngine.h"

#include <QElapsedTimer>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

namespace TextDiff
{

// ---------------------------------------------------------------------------------------------------------
// Path search fronts

bool DiffEngine::FrontMap::contains(int d, int x, int y) const
{
    const int k = x - y;
    if (d < 0 || d >= size() || k < -d || k > d || ((k + d) & 1) != 0)
    {
        return false;
    }
    return mSteps[size_t(d)][size_t((k + d) / 2)] == x;
}

int DiffEngine::FrontMap::snakeStart(int d, int k) const
{
    if (d == 0)
    {
        return 0;
    }
    const int* previous = mSteps[size_t(d - 1)].get();
    const int index = (k + d) / 2;
    if (k == -d || (k != d && previous[index - 1] < previous[index]))
    {
        return previous[index];
    }
    return previous[index - 1] + 1;
}

int* DiffEngine::FrontMap::appendStep(int d)
{
    mSteps.emplace_back(new int[size_t(d + 1)]);
    mBytes += qint64(d + 1) * qint64(sizeof(int));
    return mSteps.back().get();
}

void DiffEngine::FrontMap::truncate(int count)
{
    while (size() > count)
    {
        mBytes -= qint64(size()) * qint64(sizeof(int));
        mSteps.pop_back();
    }
}

// Finds, on diagonal k of the other front, the largest x in [lo, hi] that the other front has passed
// through in its steps 0..lastStep, and the last step that passed it. Along one diagonal both the snake
// starts and the furthest points never decrease from step to step, so the step is the last one whose snake
// starts at or before hi, and the point is found if that snake reaches lo.
bool DiffEngine::findFootstep(const FrontMap& other, int lastStep, int k, int lo, int hi, int& hitX,
                              int& hitStep) const
{
    if (lastStep < 0 || lo > hi)
    {
        return false;
    }
    const int first = std::abs(k);
    if (first > lastStep)
    {
        return false;
    }
    const int last = lastStep - ((lastStep - first) & 1);
    if (other.furthest(last, k) < lo || other.snakeStart(first, k) > hi)
    {
        return false;
    }
    int low = 0;
    int high = (last - first) / 2;
    while (low < high)
    {
        const int mid = (low + high + 1) / 2;
        if (other.snakeStart(first + 2 * mid, k) <= hi)
        {
            low = mid;
        }
        else
        {
            high = mid - 1;
        }
    }
    const int step = first + 2 * low;
    const int candidate = std::min(other.furthest(step, k), hi);
    if (candidate < lo)
    {
        return false;
    }
    hitX = candidate;
    hitStep = step;
    return true;
}

namespace
{

// Whether the other front's furthest point on diagonal k, as of its step lastStep, lies at or beyond lo:
// the cheap test that rules out a meeting on almost every diagonal before the fronts come close.
inline bool reaches(const DiffEngine::FrontMap& other, int lastStep, int k, int lo)
{
    int step = lastStep;
    if ((step - k) & 1)
    {
        --step;
    }
    return step >= 0 && step >= std::abs(k) && other.step(step)[(k + step) / 2] >= lo;
}

} // namespace

namespace
{

struct PathRun
{
    Operation op;
    int count;
};

using PathRuns = std::vector<PathRun>;

void addRun(PathRuns& runs, Operation op, int count)
{
    if (count <= 0)
    {
        return;
    }
    if (!runs.empty() && runs.back().op == op)
    {
        runs.back().count += count;
    }
    else
    {
        runs.push_back({op, count});
    }
}

// Turns runs of steps, in text order from (x, y), into diffs.
QList<Diff> runsToDiffs(const PathRuns& runs, const QString& text1, const QString& text2, int x, int y)
{
    QList<Diff> diffs;
    for (const PathRun& run : runs)
    {
        switch (run.op)
        {
        case DELETE:
            appendDiff(diffs, DELETE, text1.mid(x, run.count));
            x += run.count;
            break;
        case INSERT:
            appendDiff(diffs, INSERT, text2.mid(y, run.count));
            y += run.count;
            break;
        case EQUAL:
            appendDiff(diffs, EQUAL, text1.mid(x, run.count));
            x += run.count;
            y += run.count;
            break;
        }
    }
    return diffs;
}

int commonPrefix(const QChar* a, int len1, const QChar* b, int len2)
{
    const int n = std::min(len1, len2);
    int i = 0;
    while (i < n && a[i] == b[i])
    {
        ++i;
    }
    return i;
}

int commonSuffix(const QChar* a, int len1, const QChar* b, int len2)
{
    const int n = std::min(len1, len2);
    int i = 0;
    while (i < n && a[len1 - 1 - i] == b[len2 - 1 - i])
    {
        ++i;
    }
    return i;
}

// The diagonals k = x - y that step d of a front covers: those within d of the front's first diagonal, of
// the same parity as that diagonal plus d, and that cross the texts' rectangle at all (from -len2 to len1).
struct StepRange
{
    int low;
    int high;

    bool holds(int k) const { return k >= low && k <= high; }
};

inline StepRange stepRange(int first, int d, int lowest, int highest)
{
    int low = first - d;
    if (low < lowest)
    {
        low = lowest + ((lowest - low) & 1);
    }
    int high = first + d;
    if (high > highest)
    {
        high = highest - ((high - highest) & 1);
    }
    return {low, high};
}

// The front values a step reads on a diagonal that the step before did not cover. With them the choice of
// the further move needs no test for the ends of a step: the forward front takes the larger x of its two
// neighbours (moving down from k + 1, or right from k - 1), the reverse front the smaller.
constexpr int sNoForward = -1;
constexpr int sNoReverse = std::numeric_limits<int>::max();

inline int forwardEntry(int fromLeft, int fromAbove)
{
    return fromLeft < fromAbove ? fromAbove : fromLeft + 1;
}

inline int reverseEntry(int fromBelow, int fromRight)
{
    return fromBelow < fromRight ? fromBelow : fromRight - 1;
}

// The shortest edit script between two texts in memory that stays within a budget whatever the texts: a
// forward front from the texts' start and a reverse front from their end advance one edit at a time, each
// keeping its furthest point per diagonal in one array over all diagonals, until they first overlap on a
// diagonal. At that overlap the forward front has used dF edits and the reverse one dB, and dF + dB is the
// shortest count, because the fronts did not overlap one step earlier.
//
// Rebuilding the two halves of the path needs the fronts' earlier steps. The search keeps every s-th step of
// each front, s doubling (and every other kept step dropped) whenever what it keeps passes the budget; a
// path is rebuilt backwards from a kept step by searching again only the diagonals that can still reach the
// path's next point, a triangle of s steps. So the whole search costs about as much as one run of both
// fronts to their meeting, half of what splitting and searching both halves again costs. Only when s would
// grow past sMaxStride, where that triangle itself would be large, does the search keep nothing, split at
// the meeting and search both parts again.
class MiddleSearch
{
public:
    MiddleSearch(const QChar* a, int len1, const QChar* b, int len2, qint64 budgetBytes)
        : mA(a), mB(b), mLen1(len1), mLen2(len2), mDelta(len1 - len2), mLowest(-len2), mHighest(len1),
          mBudget(std::max<qint64>(budgetBytes / qint64(sizeof(int)), 0)),
          mForwardStore(new int[size_t(len1) + size_t(len2) + 3]),
          mReverseStore(new int[size_t(len1) + size_t(len2) + 3])
    {
        // Every step kept at once would be about a quarter of the square of the texts' length; the pool never
        // needs more than that or the budget. Its pages are touched only as steps are kept.
        const qint64 span = qint64(len1) + len2 + 2;
        mPoolCapacity = std::min(mBudget, span * span / 2 + 2 * span);
        mPool.reset(new int[size_t(mPoolCapacity)]);
        // Diagonals -len2 - 1 to len1 + 1: the texts' own and a sentinel beyond each end.
        mForward = mForwardStore.get() + len2 + 1;
        mReverse = mReverseStore.get() + len2 + 1;
    }

    // What the search found: the forward and reverse halves of a shortest path, or, where it kept too little
    // to rebuild them, a point on a shortest path at which to split.
    struct Result
    {
        bool rebuilt = false;
        PathRuns runs;
        int splitX = 0;
        int splitY = 0;
        int splitEdits = 0;
    };

    // Runs the search on two texts that differ at both ends; false when the clock ran out first.
    template <typename Expired> bool run(Result& result, Expired expired);

private:
    static constexpr int sMaxStride = 1024;

    // A kept step of a front: its values on the diagonals low, low + 2, ..., in the pool from offset on.
    struct Kept
    {
        bool forward;
        int step;
        int low;
        int count;
        qint64 offset;
    };

    void keep(bool forward, const int* front, int step, const StepRange& range);
    void thin();
    const Kept& keptBefore(bool forward, int t) const;
    bool meet(bool forwardMoved, int d, int k, int entry, int x, Result& result);
    // The edits of the forward front's path to point x on diagonal k of its step t, in reverse text order.
    void walkForward(int t, int k, int x, PathRuns& runs) const;
    // The edits of the reverse front's path from point x on diagonal k of its step t, in text order.
    void walkReverse(int t, int k, int x, PathRuns& runs) const;
    // Steps c to t - 1 of a front again, on the diagonals from which its step t's diagonal k can be reached.
    void replay(bool forward, const Kept& from, int t, int k) const;

    const QChar* mA;
    const QChar* mB;
    const int mLen1;
    const int mLen2;
    const int mDelta;
    const int mLowest;
    const int mHighest;
    const qint64 mBudget;
    std::unique_ptr<int[]> mForwardStore;
    std::unique_ptr<int[]> mReverseStore;
    int* mForward = nullptr;
    int* mReverse = nullptr;
    // The kept steps of both fronts in the order they were kept, their values one after the other in the
    // pool, so that dropping steps only moves values down and the pool never holds more than the budget.
    std::vector<Kept> mKept;
    std::unique_ptr<int[]> mPool;
    qint64 mPoolCapacity = 0;
    qint64 mPoolUsed = 0;
    int mStride = 1;
    bool mKeeping = true;
    // What replay computes: row j - c holds step j on every other diagonal of the replayed triangle.
    mutable std::vector<int> mTable;
    mutable int mTableWidth = 0;
};

template <typename Expired> bool MiddleSearch::run(Result& result, Expired expired)
{
    const bool odd = (mDelta & 1) != 0;
    const QChar* a = mA;
    const int len1 = mLen1;
    const int len2 = mLen2;

    // Step 0 of each front: the texts differ at both ends, so neither front moves along its first diagonal.
    mForward[0] = 0;
    mReverse[mDelta] = len1;
    StepRange forwardRange{0, 0};
    StepRange reverseRange{mDelta, mDelta};
    keep(true, mForward, 0, forwardRange);
    keep(false, mReverse, 0, reverseRange);

    for (int d = 1;; ++d)
    {
        if (expired())
        {
            return false;
        }

        // Forward step d; with an odd delta it may meet the reverse front's step d - 1.
        {
            const StepRange range = stepRange(0, d, mLowest, mHighest);
            int* front = mForward;
            if (range.low - 1 < forwardRange.low)
            {
                front[range.low - 1] = sNoForward;
            }
            if (range.high + 1 > forwardRange.high)
            {
                front[range.high + 1] = sNoForward;
            }
            for (int k = range.low; k <= range.high; k += 2)
            {
                const int entry = forwardEntry(front[k - 1], front[k + 1]);
                // b shifted so that the unit facing a[x] on this diagonal is bk[x].
                const QChar* bk = mB - k;
                const int end = std::min(len1, len2 + k);
                int x = entry;
                while (x < end && a[x] == bk[x])
                {
                    ++x;
                }
                front[k] = x;
                if (odd && reverseRange.holds(k) && mReverse[k] <= x)
                {
                    return meet(true, d, k, entry, x, result);
                }
            }
            forwardRange = range;
            if (mKeeping && d % mStride == 0)
            {
                keep(true, front, d, range);
            }
        }

        // Reverse step d; with an even delta it may meet the forward front's step d.
        {
            const StepRange range = stepRange(mDelta, d, mLowest, mHighest);
            int* front = mReverse;
            if (range.low - 1 < reverseRange.low)
            {
                front[range.low - 1] = sNoReverse;
            }
            if (range.high + 1 > reverseRange.high)
            {
                front[range.high + 1] = sNoReverse;
            }
            for (int k = range.low; k <= range.high; k += 2)
            {
                const int entry = reverseEntry(front[k - 1], front[k + 1]);
                const QChar* bk = mB - k;
                const int end = std::max(0, k);
                int x = entry;
                while (x > end && a[x - 1] == bk[x - 1])
                {
                    --x;
                }
                front[k] = x;
                if (!odd && forwardRange.holds(k) && x <= mForward[k])
                {
                    return meet(false, d, k, entry, x, result);
                }
            }
            reverseRange = range;
            if (mKeeping && d % mStride == 0)
            {
                keep(false, front, d, range);
            }
        }
    }
}

void MiddleSearch::keep(bool forward, const int* front, int step, const StepRange& range)
{
    const int count = (range.high - range.low) / 2 + 1;
    while (mKeeping && mPoolUsed + count > mPoolCapacity)
    {
        thin();
    }
    if (!mKeeping || step % mStride != 0)
    {
        return;
    }
    int* values = mPool.get() + mPoolUsed;
    for (int k = range.low, i = 0; k <= range.high; k += 2, ++i)
    {
        values[i] = front[k];
    }
    mKept.push_back({forward, step, range.low, count, mPoolUsed});
    mPoolUsed += count;
}

void MiddleSearch::thin()
{
    mStride *= 2;
    if (mStride > sMaxStride)
    {
        mKeeping = false;
        mKept.clear();
        mPool.reset();
        mPoolUsed = 0;
        return;
    }
    qint64 used = 0;
    size_t kept = 0;
    for (const Kept& k : mKept)
    {
        if (k.step % mStride == 0)
        {
            std::copy(mPool.get() + k.offset, mPool.get() + k.offset + k.count, mPool.get() + used);
            mKept[kept++] = {k.forward, k.step, k.low, k.count, used};
            used += k.count;
        }
    }
    mKept.resize(kept);
    mPoolUsed = used;
}

const MiddleSearch::Kept& MiddleSearch::keptBefore(bool forward, int t) const
{
    // Step 0 of each front is always kept.
    auto kept = mKept.rbegin();
    while (kept->forward != forward || kept->step > t - 1)
    {
        ++kept;
    }
    return *kept;
}

// The fronts overlap on diagonal k: the forward front's snake of this step runs from forwardEntry to
// forwardEnd, the reverse one's from reverseEntry down to reverseEnd, and reverseEnd <= forwardEnd. A point
// on both snakes lies on both paths, which together make a shortest path. Where the snakes do not share a
// point, the forward front's furthest point still lies on a shortest path (along a diagonal the edits still
// needed to reach the end never grow), and the search splits there.
bool MiddleSearch::meet(bool forwardMoved, int d, int k, int entry, int x, Result& result)
{
    const int forwardStep = d;
    const int reverseStep = forwardMoved ? d - 1 : d;
    int forwardStart = 0;
    int forwardEnd = 0;
    int reverseStart = 0;
    int reverseEnd = 0;
    if (forwardMoved)
    {
        forwardStart = entry;
        forwardEnd = x;
        reverseStart = reverseStep == 0 ? mLen1 : reverseEntry(mReverse[k - 1], mReverse[k + 1]);
        reverseEnd = mReverse[k];
    }
    else
    {
        forwardStart = forwardEntry(mForward[k - 1], mForward[k + 1]);
        forwardEnd = mForward[k];
        reverseStart = entry;
        reverseEnd = x;
    }
    if (!mKeeping)
    {
        result.rebuilt = false;
        result.splitX = forwardEnd;
        result.splitY = forwardEnd - k;
        result.splitEdits = forwardStep;
        return true;
    }
    if (forwardStart <= reverseStart)
    {
        const int point = std::max(forwardStart, reverseEnd);
        walkForward(forwardStep, k, point, result.runs);
        std::reverse(result.runs.begin(), result.runs.end());
        walkReverse(reverseStep, k, point, result.runs);
        result.rebuilt = true;
        return true;
    }
    // The forward half is rebuilt; the rest is searched again.
    walkForward(forwardStep, k, forwardEnd, result.runs);
    std::reverse(result.runs.begin(), result.runs.end());
    result.rebuilt = false;
    result.splitX = forwardEnd;
    result.splitY = forwardEnd - k;
    result.splitEdits = -1;
    return true;
}

void MiddleSearch::replay(bool forward, const Kept& from, int t, int k) const
{
    // Row j - c holds step j on the diagonals k - (t - c) to k + (t - c) of its parity, diagonal q in column
    // (q - left) / 2; a value the step does not have is the front's sentinel.
    const int c = from.step;
    const int n = t - c;
    const int width = n + 2;
    const int left = k - n - 1;
    const int none = forward ? sNoForward : sNoReverse;
    const int first = forward ? 0 : mDelta;
    mTableWidth = width;
    mTable.assign(size_t(n) * size_t(width), none);
    {
        const StepRange range = stepRange(first, c, mLowest, mHighest);
        const int* values = mPool.get() + from.offset;
        int* row = mTable.data();
        for (int q = std::max(range.low, k - n); q <= std::min(range.high, k + n); q += 2)
        {
            row[(q - left) / 2] = values[(q - from.low) / 2];
        }
    }
    const QChar* a = mA;
    for (int j = c + 1; j < t; ++j)
    {
        const StepRange range = stepRange(first, j, mLowest, mHighest);
        const int reach = t - j;
        const int* previous = mTable.data() + size_t(j - 1 - c) * size_t(width);
        int* row = mTable.data() + size_t(j - c) * size_t(width);
        for (int q = std::max(range.low, k - reach); q <= std::min(range.high, k + reach); q += 2)
        {
            const QChar* bq = mB - q;
            const int fromLow = previous[(q - 1 - left) / 2];
            const int fromHigh = previous[(q + 1 - left) / 2];
            int x = 0;
            if (forward)
            {
                x = forwardEntry(fromLow, fromHigh);
                const int end = std::min(mLen1, mLen2 + q);
                while (x < end && a[x] == bq[x])
                {
                    ++x;
                }
            }
            else
            {
                x = reverseEntry(fromLow, fromHigh);
                const int end = std::max(0, q);
                while (x > end && a[x - 1] == bq[x - 1])
                {
                    --x;
                }
            }
            row[(q - left) / 2] = x;
        }
    }
}

void MiddleSearch::walkForward(int t, int k, int x, PathRuns& runs) const
{
    while (t > 0)
    {
        const Kept& kept = keptBefore(true, t);
        replay(true, kept, t, k);
        const int c = kept.step;
        const int left = k - (t - c) - 1;
        for (; t > c; --t)
        {
            const int* previous = mTable.data() + size_t(t - 1 - c) * size_t(mTableWidth);
            const int fromLeft = previous[(k - 1 - left) / 2];
            const int fromAbove = previous[(k + 1 - left) / 2];
            const int entry = forwardEntry(fromLeft, fromAbove);
            addRun(runs, EQUAL, x - entry);
            if (fromLeft < fromAbove)
            {
                addRun(runs, INSERT, 1);
                ++k;
                x = fromAbove;
            }
            else
            {
                addRun(runs, DELETE, 1);
                --k;
                x = fromLeft;
            }
        }
    }
    addRun(runs, EQUAL, x);
}

void MiddleSearch::walkReverse(int t, int k, int x, PathRuns& runs) const
{
    while (t > 0)
    {
        const Kept& kept = keptBefore(false, t);
        replay(false, kept, t, k);
        const int c = kept.step;
        const int left = k - (t - c) - 1;
        for (; t > c; --t)
        {
            const int* previous = mTable.data() + size_t(t - 1 - c) * size_t(mTableWidth);
            const int fromBelow = previous[(k - 1 - left) / 2];
            const int fromRight = previous[(k + 1 - left) / 2];
            const int entry = reverseEntry(fromBelow, fromRight);
            addRun(runs, EQUAL, entry - x);
            if (fromBelow < fromRight)
            {
                addRun(runs, INSERT, 1);
                --k;
                x = fromBelow;
            }
            else
            {
                addRun(runs, DELETE, 1);
                ++k;
                x = fromRight;
            }
        }
    }
    addRun(runs, EQUAL, mLen1 - x);
}

} // namespace

// One path search of diff_map, with the settings and clock of that call. It runs the search that keeps
// every step of both fronts while those stay within the budget, and past it the middle search above, which
// keeps a bounded share of its steps and always finds a shortest path.
class DiffEngine::PathSearch
{
public:
    explicit PathSearch(DiffEngine& engine) : mEngine(engine)
    {
        mClock.start();
        mLimitMs = engine.Diff_Timeout > 0 ? qint64(engine.Diff_Timeout * 1000) : -1;
    }

    // The edit script for the texts, or an empty list on a time-out or when no path was found.
    QList<Diff> map(const QString& text1, const QString& text2)
    {
        QList<Diff> path;
        switch (search(text1, text2, path))
        {
        case End::Path:
            return path;
        case End::OverBudget:
#if defined(__GLIBC__)
            // The stored steps, freed in many small blocks, stay in the heap; give their pages back before
            // the middle search takes a pool of its own, or the process would hold both.
            malloc_trim(0);
#endif
            break;
        case End::TimedOut:
        case End::NoPath:
            return QList<Diff>();
        }
        PathRuns runs;
        if (!solve(text1.constData(), text1.length(), text2.constData(), text2.length(), runs))
        {
            return QList<Diff>();
        }
        return runsToDiffs(runs, text1, text2, 0, 0);
    }

private:
    static constexpr qint64 sMaxScaledBudget = 64LL * 1024 * 1024;

    enum class End
    {
        Path,
        OverBudget,
        TimedOut,
        NoPath
    };

    bool expired() const
    {
        return mLimitMs >= 0 && mClock.elapsed() > mLimitMs;
    }

    qint64 budget(int len1, int len2) const
    {
        const qint64 scaled =
            std::min(qint64(mEngine.Diff_FrontBytesPerUnit) * (qint64(len1) + len2), sMaxScaledBudget);
        return std::max(mEngine.Diff_FrontBudget, scaled);
    }

    // The shortest edit script of two texts, as runs appended in text order; false on a time-out.
    bool solve(const QChar* a, int len1, const QChar* b, int len2, PathRuns& runs)
    {
        const int prefix = commonPrefix(a, len1, b, len2);
        addRun(runs, EQUAL, prefix);
        a += prefix;
        b += prefix;
        len1 -= prefix;
        len2 -= prefix;
        const int suffix = commonSuffix(a, len1, b, len2);
        len1 -= suffix;
        len2 -= suffix;
        if (len1 == 0 || len2 == 0)
        {
            addRun(runs, DELETE, len1);
            addRun(runs, INSERT, len2);
        }
        else
        {
            // The search and what it keeps go before the parts are searched.
            MiddleSearch::Result found;
            if (!MiddleSearch(a, len1, b, len2, budget(len1, len2))
                     .run(found, [this]() { return expired(); }))
            {
                return false;
            }
            if (found.rebuilt)
            {
                runs.insert(runs.end(), found.runs.begin(), found.runs.end());
            }
            else
            {
                if (found.splitEdits < 0)
                {
                    runs.insert(runs.end(), found.runs.begin(), found.runs.end());
                }
                else if (!solve(a, found.splitX, b, found.splitY, runs))
                {
                    return false;
                }
                if (!solve(a + found.splitX, len1 - found.splitX, b + found.splitY, len2 - found.splitY,
                           runs))
                {
                    return false;
                }
            }
        }
        addRun(runs, EQUAL, suffix);
        return true;
    }

    // One search that keeps every step of its fronts: the texts, both fronts, and the work done, by which
    // the clock is read.
    struct Fronts
    {
        Fronts(const QString& text1, const QString& text2, bool doubleEnd, bool front)
            : text1(text1), text2(text2), doubleEnd(doubleEnd), front(front)
        {
        }

        const QString& text1;
        const QString& text2;
        // Whether a reverse front runs too, and which front runs into the other: with an odd total the
        // forward front, otherwise the reverse one.
        const bool doubleEnd;
        const bool front;
        FrontMap map1;
        FrontMap map2;
        qint64 work = 0;
        qint64 nextClockCheck = 1 << 20;
    };

    End search(const QString& text1, const QString& text2, QList<Diff>& path);
    // Step d of the forward front, then of the reverse one; each true when the search ends there, with how
    // in end (and the path, when it found one).
    bool forwardStep(Fronts& fronts, int d, QList<Diff>& path, End& end);
    bool reverseStep(Fronts& fronts, int d, QList<Diff>& path, End& end);

    // Whether the clock, read after every 2^20 units of work, has run out.
    bool ranOut(Fronts& fronts)
    {
        if (fronts.work <= fronts.nextClockCheck)
        {
            return false;
        }
        fronts.nextClockCheck = fronts.work + (1 << 20);
        return expired();
    }

    DiffEngine& mEngine;
    QElapsedTimer mClock;
    qint64 mLimitMs = -1;
};

DiffEngine::PathSearch::End DiffEngine::PathSearch::search(const QString& text1, const QString& text2,
                                                           QList<Diff>& path)
{
    const int len1 = text1.length();
    const int len2 = text2.length();
    const int max_d = len1 + len2 - 1;
    Fronts fronts{text1, text2, 2 * int(mEngine.Diff_DualThreshold) < max_d, (len1 + len2) % 2 == 1};
    const qint64 budget = mEngine.Diff_FrontBudget;
    End end = End::NoPath;
    for (int d = 0; d < max_d; ++d)
    {
        if (expired())
        {
            return End::TimedOut;
        }
        if (fronts.doubleEnd && d >= 2 &&
            fronts.map1.storedBytes() + fronts.map2.storedBytes() + qint64(d + 1) * qint64(sizeof(int)) * 2 >
                budget)
        {
            return End::OverBudget;
        }
        if (forwardStep(fronts, d, path, end) || (fronts.doubleEnd && reverseStep(fronts, d, path, end)))
        {
            return end;
        }
    }
    return End::NoPath;
}

bool DiffEngine::PathSearch::forwardStep(Fronts& fronts, int d, QList<Diff>& path, End& end)
{
    const QString& text1 = fronts.text1;
    const QString& text2 = fronts.text2;
    const int len1 = text1.length();
    const int len2 = text2.length();
    const int delta = len1 - len2;
    const QChar* a = text1.constData();
    const QChar* b = text2.constData();
    const bool meets = fronts.doubleEnd && fronts.front;
    FrontMap& map1 = fronts.map1;
    FrontMap& map2 = fronts.map2;
    int hitX = 0;
    int hitStep = 0;

    int* forward = map1.appendStep(d);
    const int* previous = d > 0 ? map1.step(d - 1) : nullptr;
    for (int k = -d, index = 0; k <= d; k += 2, ++index)
    {
        int x = 0;
        if (d > 0)
        {
            x = (k == -d || (k != d && previous[index - 1] < previous[index])) ? previous[index]
                                                                               : previous[index - 1] + 1;
        }
        const int snakeStart = x;
        int y = x - k;
        while (x < len1 && y < len2 && a[x] == b[y])
        {
            ++x;
            ++y;
        }
        fronts.work += x - snakeStart + 1;
        bool done = false;
        if (meets && reaches(map2, d - 1, delta - k, len1 - x) &&
            mEngine.findFootstep(map2, d - 1, delta - k, len1 - x, len1 - snakeStart, hitX, hitStep))
        {
            x = len1 - hitX;
            y = x - k;
            done = true;
        }
        forward[index] = x;
        if (x == len1 && y == len2)
        {
            path = mEngine.diff_path1(map1, text1, text2);
            end = End::Path;
            return true;
        }
        if (done)
        {
            map2.truncate(hitStep + 1);
            path = mEngine.diff_path1(map1, text1.left(x), text2.left(y));
            path += mEngine.diff_path2(map2, text1.mid(x), text2.mid(y));
            end = End::Path;
            return true;
        }
        if (ranOut(fronts))
        {
            end = End::TimedOut;
            return true;
        }
    }
    return false;
}

// x and y of the reverse front count from the ends of the texts.
bool DiffEngine::PathSearch::reverseStep(Fronts& fronts, int d, QList<Diff>& path, End& end)
{
    const QString& text1 = fronts.text1;
    const QString& text2 = fronts.text2;
    const int len1 = text1.length();
    const int len2 = text2.length();
    const int delta = len1 - len2;
    const QChar* a = text1.constData();
    const QChar* b = text2.constData();
    const bool meets = !fronts.front;
    FrontMap& map1 = fronts.map1;
    FrontMap& map2 = fronts.map2;
    int hitX = 0;
    int hitStep = 0;

    int* reverse = map2.appendStep(d);
    const int* previousReverse = d > 0 ? map2.step(d - 1) : nullptr;
    for (int k = -d, index = 0; k <= d; k += 2, ++index)
    {
        int x = 0;
        if (d > 0)
        {
            x = (k == -d || (k != d && previousReverse[index - 1] < previousReverse[index]))
                    ? previousReverse[index]
                    : previousReverse[index - 1] + 1;
        }
        const int snakeStart = x;
        int y = x - k;
        while (x < len1 && y < len2 && a[len1 - x - 1] == b[len2 - y - 1])
        {
            ++x;
            ++y;
        }
        fronts.work += x - snakeStart + 1;
        bool done = false;
        if (meets && reaches(map1, d, delta - k, len1 - x) &&
            mEngine.findFootstep(map1, d, delta - k, len1 - x, len1 - snakeStart, hitX, hitStep))
        {
            x = len1 - hitX;
            y = x - k;
            done = true;
        }
        reverse[index] = x;
        if (done)
        {
            map1.truncate(hitStep + 1);
            path = mEngine.diff_path1(map1, text1.left(len1 - x), text2.left(len2 - y));
            path += mEngine.diff_path2(map2, text1.mid(len1 - x), text2.mid(len2 - y));
            end = End::Path;
            return true;
        }
        if (ranOut(fronts))
        {
            end = End::TimedOut;
            return true;
        }
    }
    return false;
}

QList<Diff> DiffEngine::diff_map(const QString& text1, const QString& text2)
{
    return PathSearch(*this).map(text1, text2);
}

QList<Diff> DiffEngine::diff_path1(const FrontMap& v_map, const QString& text1, const QString& text2)
{
    std::vector<PathRun> runs;
    int x = text1.length();
    int y = text2.length();
    for (int d = v_map.size() - 2; d >= 0; --d)
    {
        while (true)
        {
            if (v_map.contains(d, x - 1, y))
            {
                --x;
                addRun(runs, DELETE, 1);
                break;
            }
            if (v_map.contains(d, x, y - 1))
            {
                --y;
                addRun(runs, INSERT, 1);
                break;
            }
            --x;
            --y;
            if (x < 0 || y < 0 || text1[x] != text2[y])
            {
                throw "No diagonal.  Can't happen. (diff_path1)";
            }
            addRun(runs, EQUAL, 1);
        }
    }
    std::reverse(runs.begin(), runs.end());
    return runsToDiffs(runs, text1, text2, x, y);
}

QList<Diff> DiffEngine::diff_path2(const FrontMap& v_map, const QString& text1, const QString& text2)
{
    std::vector<PathRun> runs;
    const int len1 = text1.length();
    const int len2 = text2.length();
    int x = len1;
    int y = len2;
    for (int d = v_map.size() - 2; d >= 0; --d)
    {
        while (true)
        {
            if (v_map.contains(d, x - 1, y))
            {
                --x;
                addRun(runs, DELETE, 1);
                break;
            }
            if (v_map.contains(d, x, y - 1))
            {
                --y;
                addRun(runs, INSERT, 1);
                break;
            }
            --x;
            --y;
            if (x < 0 || y < 0 || text1[len1 - x - 1] != text2[len2 - y - 1])
            {
                throw "No diagonal.  Can't happen. (diff_path2)";
            }
            addRun(runs, EQUAL, 1);
        }
    }
    return runsToDiffs(runs, text1, text2, 0, 0);
}

} // namespace TextDiff
