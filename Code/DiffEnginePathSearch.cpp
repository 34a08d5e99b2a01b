#include "DiffEngine.h"
#include "DiffEngineSupport.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdlib>
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

// Appends an owned copy of units [from, from + count) of a text, joining it to the last diff when that has
// the same operation. The texts of a split search are views into the caller's strings and must not leak
// into the result.
void appendOwned(QList<Diff>& diffs, Operation op, const QChar* from, int count)
{
    if (count <= 0)
    {
        return;
    }
    if (!diffs.isEmpty() && diffs.last().operation == op)
    {
        diffs.last().text.append(from, count);
    }
    else
    {
        diffs.append(Diff(op, QString(from, count), false));
    }
}

} // namespace

// One path search of diff_map, with the settings and clock of that call. Both fronts run as the stored
// search does; while their steps fit the budget a meeting gives the whole path. Past the budget only the last
// step of each front is kept, and the first overlap of the fronts on a diagonal splits the texts in two: the
// forward front reached that point with dF edits, and along a diagonal the edits still needed to reach the
// end never grow, so the rest takes at most the reverse front's dB; dF + dB is the shortest count because
// the fronts did not overlap one step earlier. Each part is searched again the same way, keeping only the
// last steps, so the result is a shortest edit script in memory linear in the texts.
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
        Split split;
        End end = search(text1, text2, true, path, split);
        if (end == End::Restart)
        {
            end = search(text1, text2, false, path, split);
        }
        if (end == End::Path)
        {
            return path;
        }
        if (end != End::Split)
        {
            return QList<Diff>();
        }
        QList<Diff> diffs;
        if (!solve(text1.constData(), split.x, text2.constData(), split.y, diffs) ||
            !solve(text1.constData() + split.x, text1.length() - split.x, text2.constData() + split.y,
                   text2.length() - split.y, diffs))
        {
            return QList<Diff>();
        }
        return diffs;
    }

private:
    enum class End
    {
        Path,
        Split,
        // The stored steps show an overlap that the stored search did not take: search again from the start
        // with the last steps only.
        Restart,
        TimedOut,
        NoPath
    };

    struct Split
    {
        int x = 0;
        int y = 0;
    };

    bool expired() const { return mLimitMs >= 0 && mClock.elapsed() > mLimitMs; }

    // A part of a split search: trims what both texts share at their ends, then searches the rest.
    bool solve(const QChar* a, int len1, const QChar* b, int len2, QList<Diff>& diffs)
    {
        const int prefix = commonPrefix(a, len1, b, len2);
        appendOwned(diffs, EQUAL, a, prefix);
        a += prefix;
        b += prefix;
        len1 -= prefix;
        len2 -= prefix;
        const int suffix = commonSuffix(a, len1, b, len2);
        len1 -= suffix;
        len2 -= suffix;
        if (len1 == 0 || len2 == 0)
        {
            appendOwned(diffs, DELETE, a, len1);
            appendOwned(diffs, INSERT, b, len2);
        }
        else
        {
            const QString text1 = QString::fromRawData(a, len1);
            const QString text2 = QString::fromRawData(b, len2);
            // The parts keep only the last steps: a meeting of stored fronts is not always on a shortest
            // path, a first overlap is. Below the dual threshold the forward front alone runs, stored, and
            // the first path to reach the end is a shortest one.
            QList<Diff> path;
            Split split;
            switch (search(text1, text2, false, path, split))
            {
            case End::Path:
                for (const Diff& diff : qAsConst(path))
                {
                    appendOwned(diffs, diff.operation, diff.text.constData(), diff.text.length());
                }
                break;
            case End::Split:
                if (!solve(a, split.x, b, split.y, diffs) ||
                    !solve(a + split.x, len1 - split.x, b + split.y, len2 - split.y, diffs))
                {
                    return false;
                }
                break;
            case End::NoPath:
                // Nothing in common: replacing all is the shortest script.
                appendOwned(diffs, DELETE, a, len1);
                appendOwned(diffs, INSERT, b, len2);
                break;
            case End::Restart:
            case End::TimedOut:
                return false;
            }
        }
        appendOwned(diffs, EQUAL, a + len1, suffix);
        return true;
    }

    static int commonPrefix(const QChar* a, int len1, const QChar* b, int len2)
    {
        const int n = std::min(len1, len2);
        int i = 0;
        while (i < n && a[i] == b[i])
        {
            ++i;
        }
        return i;
    }

    static int commonSuffix(const QChar* a, int len1, const QChar* b, int len2)
    {
        const int n = std::min(len1, len2);
        int i = 0;
        while (i < n && a[len1 - 1 - i] == b[len2 - 1 - i])
        {
            ++i;
        }
        return i;
    }

    // Whether the fronts, as stored up to step d - 1, already overlap on a diagonal: forward step s against
    // reverse step s - 1 when the total length is odd, reverse step s against forward step s when it is
    // even. An overlap on a diagonal persists two steps later, so the last two steps tell.
    static bool overlapsSoFar(const FrontMap& map1, const FrontMap& map2, int d, int len1, int delta,
                              bool front)
    {
        for (int s = std::max(d - 2, 1); s <= d - 1; ++s)
        {
            for (int k = -s; k <= s; k += 2)
            {
                const int other = delta - k;
                if (front)
                {
                    if (std::abs(other) <= s - 1 && map1.furthest(s, k) + map2.furthest(s - 1, other) >= len1)
                    {
                        return true;
                    }
                }
                else if (std::abs(other) <= s && map2.furthest(s, k) + map1.furthest(s, other) >= len1)
                {
                    return true;
                }
            }
        }
        return false;
    }

    static int* stepBuffer(std::vector<int>& buffer, int d)
    {
        if (buffer.size() < size_t(d + 1))
        {
            buffer.resize(size_t(2 * (d + 1)));
        }
        return buffer.data();
    }

    End search(const QString& text1, const QString& text2, bool storeSteps, QList<Diff>& path, Split& split);
    // The search with the last step of each front only, from step firstStep, the fronts' steps
    // firstStep - 1 being in mForward and mReverse. Ends with a split (or on the clock).
    End bisect(const QChar* a, int len1, const QChar* b, int len2, int firstStep, Split& split);

    DiffEngine& mEngine;
    QElapsedTimer mClock;
    qint64 mLimitMs = -1;
    // The last and the next step of each front once the search keeps no more than those; shared by the
    // searches of all parts, which run one after the other.
    std::vector<int> mForward;
    std::vector<int> mForwardNext;
    std::vector<int> mReverse;
    std::vector<int> mReverseNext;
};

DiffEngine::PathSearch::End DiffEngine::PathSearch::search(const QString& text1, const QString& text2,
                                                           bool storeSteps, QList<Diff>& path, Split& split)
{
    const int len1 = text1.length();
    const int len2 = text2.length();
    const int max_d = len1 + len2 - 1;
    const bool doubleEnd = 2 * int(mEngine.Diff_DualThreshold) < max_d;
    // With an odd total the forward front runs into the reverse one, otherwise the reverse front does.
    const bool front = (len1 + len2) % 2 == 1;
    const int delta = len1 - len2;
    const QChar* a = text1.constData();
    const QChar* b = text2.constData();

    // A split needs both fronts; a search below the dual threshold is small enough to store whole.
    if (doubleEnd && !storeSteps)
    {
        return bisect(a, len1, b, len2, 0, split);
    }
    FrontMap map1;
    FrontMap map2;
    qint64 work = 0;
    qint64 nextClockCheck = 1 << 20;
    int hitX = 0;
    int hitStep = 0;

    for (int d = 0; d < max_d; ++d)
    {
        if (expired())
        {
            return End::TimedOut;
        }
        if (doubleEnd && d >= 2 &&
            map1.storedBytes() + map2.storedBytes() + qint64(d + 1) * qint64(sizeof(int)) * 2 >
                mEngine.Diff_FrontBudget)
        {
            if (overlapsSoFar(map1, map2, d, len1, delta, front))
            {
                return End::Restart;
            }
            std::copy(map1.step(d - 1), map1.step(d - 1) + d, stepBuffer(mForward, d - 1));
            std::copy(map2.step(d - 1), map2.step(d - 1) + d, stepBuffer(mReverse, d - 1));
            map1 = FrontMap();
            map2 = FrontMap();
            return bisect(a, len1, b, len2, d, split);
        }

        // Forward front.
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
            work += x - snakeStart + 1;
            bool done = false;
            if (doubleEnd && front && reaches(map2, d - 1, delta - k, len1 - x) &&
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
                return End::Path;
            }
            if (done)
            {
                map2.truncate(hitStep + 1);
                path = mEngine.diff_path1(map1, text1.left(x), text2.left(y));
                path += mEngine.diff_path2(map2, text1.mid(x), text2.mid(y));
                return End::Path;
            }
            if (work > nextClockCheck)
            {
                nextClockCheck = work + (1 << 20);
                if (expired())
                {
                    return End::TimedOut;
                }
            }
        }

        if (!doubleEnd)
        {
            continue;
        }

        // Reverse front: x and y count from the ends of the texts.
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
            work += x - snakeStart + 1;
            bool done = false;
            if (!front && reaches(map1, d, delta - k, len1 - x) &&
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
                return End::Path;
            }
            if (work > nextClockCheck)
            {
                nextClockCheck = work + (1 << 20);
                if (expired())
                {
                    return End::TimedOut;
                }
            }
        }
    }
    return End::NoPath;
}

DiffEngine::PathSearch::End DiffEngine::PathSearch::bisect(const QChar* a, int len1, const QChar* b, int len2,
                                                           int firstStep, Split& split)
{
    const bool front = (len1 + len2) % 2 == 1;
    const int delta = len1 - len2;
    for (int d = firstStep;; ++d)
    {
        if (expired())
        {
            return End::TimedOut;
        }

        // Forward front from its step d - 1; with an odd total it meets the reverse front's step d - 1.
        {
            int* next = stepBuffer(mForwardNext, d);
            const int* previous = mForward.data();
            const int* other = mReverse.data();
            // Diagonals whose reverse counterpart delta - k lies within that step.
            const int lowMeet = front ? delta - (d - 1) : 1;
            const int highMeet = front ? delta + (d - 1) : 0;
            for (int k = -d, index = 0; k <= d; k += 2, ++index)
            {
                int x;
                if (d == 0)
                {
                    x = 0;
                }
                else if (k == -d || (k != d && previous[index - 1] < previous[index]))
                {
                    x = previous[index];
                }
                else
                {
                    x = previous[index - 1] + 1;
                }
                int y = x - k;
                const int room = std::min(len1 - x, len2 - y);
                int run = 0;
                while (run < room && a[x + run] == b[y + run])
                {
                    ++run;
                }
                x += run;
                if (k >= lowMeet && k <= highMeet && x + other[(delta - k + d - 1) / 2] >= len1)
                {
                    split = {x, x - k};
                    return End::Split;
                }
                next[index] = x;
            }
            mForward.swap(mForwardNext);
        }

        // Reverse front, x and y counted from the ends; with an even total it meets the forward step d.
        {
            int* next = stepBuffer(mReverseNext, d);
            const int* previous = mReverse.data();
            const int* other = mForward.data();
            const int lowMeet = front ? 1 : delta - d;
            const int highMeet = front ? 0 : delta + d;
            const QChar* endA = a + len1 - 1;
            const QChar* endB = b + len2 - 1;
            for (int k = -d, index = 0; k <= d; k += 2, ++index)
            {
                int x;
                if (d == 0)
                {
                    x = 0;
                }
                else if (k == -d || (k != d && previous[index - 1] < previous[index]))
                {
                    x = previous[index];
                }
                else
                {
                    x = previous[index - 1] + 1;
                }
                int y = x - k;
                const int room = std::min(len1 - x, len2 - y);
                int run = 0;
                while (run < room && endA[-x - run] == endB[-y - run])
                {
                    ++run;
                }
                x += run;
                if (k >= lowMeet && k <= highMeet && x + other[(delta - k + d) / 2] >= len1)
                {
                    split = {len1 - x, len2 - (x - k)};
                    return End::Split;
                }
                next[index] = x;
            }
            mReverse.swap(mReverseNext);
        }
    }
}

QList<Diff> DiffEngine::diff_map(const QString& text1, const QString& text2)
{
    return PathSearch(*this).map(text1, text2);
}

namespace
{

struct PathRun
{
    Operation op;
    int count;
};

void addStep(std::vector<PathRun>& runs, Operation op)
{
    if (!runs.empty() && runs.back().op == op)
    {
        ++runs.back().count;
    }
    else
    {
        runs.push_back({op, 1});
    }
}

// Turns runs of steps, in text order from (x, y), into diffs.
QList<Diff> runsToDiffs(const std::vector<PathRun>& runs, const QString& text1, const QString& text2, int x,
                        int y)
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

} // namespace

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
                addStep(runs, DELETE);
                break;
            }
            if (v_map.contains(d, x, y - 1))
            {
                --y;
                addStep(runs, INSERT);
                break;
            }
            --x;
            --y;
            if (x < 0 || y < 0 || text1[x] != text2[y])
            {
                throw "No diagonal.  Can't happen. (diff_path1)";
            }
            addStep(runs, EQUAL);
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
                addStep(runs, DELETE);
                break;
            }
            if (v_map.contains(d, x, y - 1))
            {
                --y;
                addStep(runs, INSERT);
                break;
            }
            --x;
            --y;
            if (x < 0 || y < 0 || text1[len1 - x - 1] != text2[len2 - y - 1])
            {
                throw "No diagonal.  Can't happen. (diff_path2)";
            }
            addStep(runs, EQUAL);
        }
    }
    return runsToDiffs(runs, text1, text2, 0, 0);
}

} // namespace TextDiff
