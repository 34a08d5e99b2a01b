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

} // namespace

QList<Diff> DiffEngine::diff_map(const QString& text1, const QString& text2)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 limitMs = Diff_Timeout > 0 ? qint64(Diff_Timeout * 1000) : -1;

    const int len1 = text1.length();
    const int len2 = text2.length();
    const int max_d = len1 + len2 - 1;
    const bool doubleEnd = 2 * int(Diff_DualThreshold) < max_d;
    // With an odd total the forward front runs into the reverse one, otherwise the reverse front does.
    const bool front = (len1 + len2) % 2 == 1;
    const int delta = len1 - len2;
    const QChar* a = text1.constData();
    const QChar* b = text2.constData();

    FrontMap map1;
    FrontMap map2;
    qint64 work = 0;
    qint64 nextClockCheck = 1 << 20;
    int hitX = 0;
    int hitStep = 0;

    for (int d = 0; d < max_d; ++d)
    {
        if (limitMs >= 0 && clock.elapsed() > limitMs)
        {
            return QList<Diff>();
        }
        const qint64 stepBytes = qint64(d + 1) * qint64(sizeof(int)) * (doubleEnd ? 2 : 1);
        if (map1.storedBytes() + map2.storedBytes() + stepBytes > sMaxFrontBytes)
        {
            return QList<Diff>();
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
                findFootstep(map2, d - 1, delta - k, len1 - x, len1 - snakeStart, hitX, hitStep))
            {
                x = len1 - hitX;
                y = x - k;
                done = true;
            }
            forward[index] = x;
            if (x == len1 && y == len2)
            {
                return diff_path1(map1, text1, text2);
            }
            if (done)
            {
                map2.truncate(hitStep + 1);
                QList<Diff> result = diff_path1(map1, text1.left(x), text2.left(y));
                result += diff_path2(map2, text1.mid(x), text2.mid(y));
                return result;
            }
            if (limitMs >= 0 && work > nextClockCheck)
            {
                nextClockCheck = work + (1 << 20);
                if (clock.elapsed() > limitMs)
                {
                    return QList<Diff>();
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
                findFootstep(map1, d, delta - k, len1 - x, len1 - snakeStart, hitX, hitStep))
            {
                x = len1 - hitX;
                y = x - k;
                done = true;
            }
            reverse[index] = x;
            if (done)
            {
                map1.truncate(hitStep + 1);
                QList<Diff> result = diff_path1(map1, text1.left(len1 - x), text2.left(len2 - y));
                result += diff_path2(map2, text1.mid(len1 - x), text2.mid(len2 - y));
                return result;
            }
            if (limitMs >= 0 && work > nextClockCheck)
            {
                nextClockCheck = work + (1 << 20);
                if (clock.elapsed() > limitMs)
                {
                    return QList<Diff>();
                }
            }
        }
    }
    return QList<Diff>();
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
