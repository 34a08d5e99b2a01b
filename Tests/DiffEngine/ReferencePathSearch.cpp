#include "ReferencePathSearch.h"

#include <QHash>
#include <QMap>

using TextDiff::DELETE;
using TextDiff::Diff;
using TextDiff::EQUAL;
using TextDiff::INSERT;
using TextDiff::Operation;

QList<Diff> ReferencePathSearch::diff_map(const QString& text1, const QString& text2) const
{
    const int len1 = text1.length();
    const int len2 = text2.length();
    const int max_d = len1 + len2 - 1;
    const bool doubleEnd = mDualThreshold * 2 < max_d;
    // With an odd total the forward front runs into the reverse one, otherwise the reverse front does;
    // the other front records where it passed.
    const bool forwardMeets = (len1 + len2) % 2 == 1;
    struct Front
    {
        QMap<int, int> furthest{{1, 0}};
        Steps steps;
    } fronts[2];
    QHash<QPair<int, int>, int> footsteps;
    for (int d = 0; d < max_d; d++)
    {
        for (int f = 0; f < (doubleEnd ? 2 : 1); ++f)
        {
            const bool forward = f == 0;
            const bool meets = forward == forwardMeets;
            Front& front = fronts[f];
            front.steps.append(QSet<QPair<int, int>>());
            for (int k = -d; k <= d; k += 2)
            {
                const QMap<int, int>& v = front.furthest;
                int x = (k == -d || (k != d && v.value(k - 1) < v.value(k + 1))) ? v.value(k + 1)
                                                                                 : v.value(k - 1) + 1;
                int y = x - k;
                bool done = false;
                QPair<int, int> footstep;
                auto pass = [&]()
                {
                    if (!doubleEnd)
                        return;
                    footstep = forward ? qMakePair(x, y) : qMakePair(len1 - x, len2 - y);
                    if (meets)
                        done = footsteps.contains(footstep);
                    else
                        footsteps.insert(footstep, d);
                };
                pass();
                while (!done && x < len1 && y < len2 &&
                       (forward ? text1[x] == text2[y] : text1[len1 - x - 1] == text2[len2 - y - 1]))
                {
                    x++;
                    y++;
                    pass();
                }
                front.furthest.insert(k, x);
                front.steps[d].insert(qMakePair(x, y));
                if (forward && x == len1 && y == len2)
                    return walk(front.steps, text1, text2, false);
                if (done)
                {
                    Steps& other = fronts[1 - f].steps;
                    other = other.mid(0, footsteps.value(footstep) + 1);
                    const int at1 = forward ? x : len1 - x;
                    const int at2 = forward ? y : len2 - y;
                    return walk(fronts[0].steps, text1.left(at1), text2.left(at2), false) +
                           walk(fronts[1].steps, text1.mid(at1), text2.mid(at2), true);
                }
            }
        }
    }
    return QList<Diff>();
}

QList<Diff> ReferencePathSearch::walk(const Steps& steps, const QString& text1, const QString& text2,
                                      bool reverse) const
{
    QList<Diff> path;
    int x = text1.length();
    int y = text2.length();
    auto at = [reverse](const QString& text, int i)
    { return reverse ? text[text.length() - i - 1] : text[i]; };
    // Each unit joins the diff at the path's growing end when that diff has its operation.
    auto add = [&](Operation op, QChar unit)
    {
        if (!path.isEmpty() && (reverse ? path.back() : path.front()).operation == op)
        {
            QString& text = (reverse ? path.back() : path.front()).text;
            text = reverse ? text + unit : unit + text;
        }
        else if (reverse)
            path.push_back(Diff(op, QString(unit), false));
        else
            path.push_front(Diff(op, QString(unit), false));
    };
    for (int d = steps.size() - 2; d >= 0; d--)
    {
        while (true)
        {
            if (steps[d].contains(qMakePair(x - 1, y)))
            {
                x--;
                add(DELETE, at(text1, x));
                break;
            }
            if (steps[d].contains(qMakePair(x, y - 1)))
            {
                y--;
                add(INSERT, at(text2, y));
                break;
            }
            x--;
            y--;
            if (at(text1, x) != at(text2, y))
                throw reverse ? "No diagonal.  Can't happen. (diff_path2)"
                              : "No diagonal.  Can't happen. (diff_path1)";
            add(EQUAL, at(text1, x));
        }
    }
    return path;
}
