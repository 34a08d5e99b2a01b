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
    QList<QSet<QPair<int, int>>> v_map1;
    QList<QSet<QPair<int, int>>> v_map2;
    QMap<int, int> v1;
    QMap<int, int> v2;
    v1.insert(1, 0);
    v2.insert(1, 0);
    int x;
    int y;
    QPair<int, int> footstep;
    QHash<QPair<int, int>, int> footsteps;
    bool done = false;
    const bool front = (len1 + len2) % 2 == 1;
    for (int d = 0; d < max_d; d++)
    {
        v_map1.append(QSet<QPair<int, int>>());
        for (int k = -d; k <= d; k += 2)
        {
            if (k == -d || (k != d && v1.value(k - 1) < v1.value(k + 1)))
            {
                x = v1.value(k + 1);
            }
            else
            {
                x = v1.value(k - 1) + 1;
            }
            y = x - k;
            if (doubleEnd)
            {
                footstep = qMakePair(x, y);
                if (front && footsteps.contains(footstep))
                {
                    done = true;
                }
                if (!front)
                {
                    footsteps.insert(footstep, d);
                }
            }
            while (!done && x < len1 && y < len2 && text1[x] == text2[y])
            {
                x++;
                y++;
                if (doubleEnd)
                {
                    footstep = qMakePair(x, y);
                    if (front && footsteps.contains(footstep))
                    {
                        done = true;
                    }
                    if (!front)
                    {
                        footsteps.insert(footstep, d);
                    }
                }
            }
            v1.insert(k, x);
            v_map1[d].insert(qMakePair(x, y));
            if (x == len1 && y == len2)
            {
                return diff_path1(v_map1, text1, text2);
            }
            else if (done)
            {
                v_map2 = v_map2.mid(0, footsteps.value(footstep) + 1);
                QList<Diff> a = diff_path1(v_map1, text1.left(x), text2.left(y));
                a += diff_path2(v_map2, text1.mid(x), text2.mid(y));
                return a;
            }
        }

        if (doubleEnd)
        {
            v_map2.append(QSet<QPair<int, int>>());
            for (int k = -d; k <= d; k += 2)
            {
                if (k == -d || (k != d && v2.value(k - 1) < v2.value(k + 1)))
                {
                    x = v2.value(k + 1);
                }
                else
                {
                    x = v2.value(k - 1) + 1;
                }
                y = x - k;
                footstep = qMakePair(len1 - x, len2 - y);
                if (!front && footsteps.contains(footstep))
                {
                    done = true;
                }
                if (front)
                {
                    footsteps.insert(footstep, d);
                }
                while (!done && x < len1 && y < len2 && text1[len1 - x - 1] == text2[len2 - y - 1])
                {
                    x++;
                    y++;
                    footstep = qMakePair(len1 - x, len2 - y);
                    if (!front && footsteps.contains(footstep))
                    {
                        done = true;
                    }
                    if (front)
                    {
                        footsteps.insert(footstep, d);
                    }
                }
                v2.insert(k, x);
                v_map2[d].insert(qMakePair(x, y));
                if (done)
                {
                    v_map1 = v_map1.mid(0, footsteps.value(footstep) + 1);
                    QList<Diff> a = diff_path1(v_map1, text1.left(len1 - x), text2.left(len2 - y));
                    a += diff_path2(v_map2, text1.mid(len1 - x), text2.mid(len2 - y));
                    return a;
                }
            }
        }
    }
    return QList<Diff>();
}

QList<Diff> ReferencePathSearch::diff_path1(const QList<QSet<QPair<int, int>>>& v_map, const QString& text1,
                                            const QString& text2) const
{
    QList<Diff> path;
    int x = text1.length();
    int y = text2.length();
    bool first = true;
    Operation last_op = EQUAL;
    for (int d = v_map.size() - 2; d >= 0; d--)
    {
        while (true)
        {
            if (v_map[d].contains(qMakePair(x - 1, y)))
            {
                x--;
                if (!first && last_op == DELETE)
                {
                    path.front().text = text1[x] + path.front().text;
                }
                else
                {
                    path.push_front(Diff(DELETE, text1.mid(x, 1), false));
                }
                last_op = DELETE;
                first = false;
                break;
            }
            else if (v_map[d].contains(qMakePair(x, y - 1)))
            {
                y--;
                if (!first && last_op == INSERT)
                {
                    path.front().text = text2[y] + path.front().text;
                }
                else
                {
                    path.push_front(Diff(INSERT, text2.mid(y, 1), false));
                }
                last_op = INSERT;
                first = false;
                break;
            }
            else
            {
                x--;
                y--;
                if (text1[x] != text2[y])
                {
                    throw "No diagonal.  Can't happen. (diff_path1)";
                }
                if (!first && last_op == EQUAL)
                {
                    path.front().text = text1[x] + path.front().text;
                }
                else
                {
                    path.push_front(Diff(EQUAL, text1.mid(x, 1), false));
                }
                last_op = EQUAL;
                first = false;
            }
        }
    }
    return path;
}

QList<Diff> ReferencePathSearch::diff_path2(const QList<QSet<QPair<int, int>>>& v_map, const QString& text1,
                                            const QString& text2) const
{
    QList<Diff> path;
    int x = text1.length();
    int y = text2.length();
    bool first = true;
    Operation last_op = EQUAL;
    for (int d = v_map.size() - 2; d >= 0; d--)
    {
        while (true)
        {
            if (v_map[d].contains(qMakePair(x - 1, y)))
            {
                x--;
                if (!first && last_op == DELETE)
                {
                    path.back().text += text1[text1.length() - x - 1];
                }
                else
                {
                    path.push_back(Diff(DELETE, text1.mid(text1.length() - x - 1, 1), false));
                }
                last_op = DELETE;
                first = false;
                break;
            }
            else if (v_map[d].contains(qMakePair(x, y - 1)))
            {
                y--;
                if (!first && last_op == INSERT)
                {
                    path.back().text += text2[text2.length() - y - 1];
                }
                else
                {
                    path.push_back(Diff(INSERT, text2.mid(text2.length() - y - 1, 1), false));
                }
                last_op = INSERT;
                first = false;
                break;
            }
            else
            {
                x--;
                y--;
                if (text1[text1.length() - x - 1] != text2[text2.length() - y - 1])
                {
                    throw "No diagonal.  Can't happen. (diff_path2)";
                }
                if (!first && last_op == EQUAL)
                {
                    path.back().text += text1[text1.length() - x - 1];
                }
                else
                {
                    path.push_back(Diff(EQUAL, text1.mid(text1.length() - x - 1, 1), false));
                }
                last_op = EQUAL;
                first = false;
            }
        }
    }
    return path;
}
