#include "DiffEngine.h"

#include <algorithm>
#include <memory>

namespace TextDiff
{

namespace
{

// The boundary score between text[oneBegin, oneEnd) and text[twoBegin, twoEnd), read in place so that
// sliding an edit along a long equality costs nothing per step.
int boundaryScore(const QChar* one, int oneLength, const QChar* two, int twoLength)
{
    if (oneLength == 0 || twoLength == 0)
    {
        return 10;
    }
    const QChar last = one[oneLength - 1];
    const QChar first = two[0];
    if (last.isLetterOrNumber() && first.isLetterOrNumber())
    {
        return 0;
    }
    if (!last.isSpace() && !first.isSpace())
    {
        return 1;
    }
    if (last.category() != QChar::Other_Control && first.category() != QChar::Other_Control)
    {
        return 2;
    }
    const QChar lf(10);
    const QChar cr(13);
    // One ends with a blank line: LF, optional CR, LF.
    if (oneLength >= 2 && one[oneLength - 1] == lf)
    {
        if (one[oneLength - 2] == lf)
        {
            return 4;
        }
        if (oneLength >= 3 && one[oneLength - 2] == cr && one[oneLength - 3] == lf)
        {
            return 4;
        }
    }
    // Two starts with one: optional CR, LF, optional CR, LF.
    int i = 0;
    if (i < twoLength && two[i] == cr)
    {
        ++i;
    }
    if (i < twoLength && two[i] == lf)
    {
        ++i;
        if (i < twoLength && two[i] == cr)
        {
            ++i;
        }
        if (i < twoLength && two[i] == lf)
        {
            return 4;
        }
    }
    return 3;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Clean-ups

void DiffEngine::diff_cleanupMerge(QList<Diff>& diffs)
{
    bool changes = true;
    while (changes)
    {
        mergeRuns(diffs);
        changes = slideEdits(diffs);
    }
}

// Joins neighbours of the same kind and every run of edits between two equalities into one deletion and one
// insertion, their common prefix and suffix moved into the equalities around them.
void DiffEngine::mergeRuns(QList<Diff>& diffs)
{
    appendDiff(diffs, EQUAL, QString(QLatin1String("")));
    int countDelete = 0;
    int countInsert = 0;
    QString textDelete;
    QString textInsert;
    int prevEqual = -1;
    int i = 0;
    while (i < diffs.size())
    {
        switch (diffs[i].operation)
        {
        case INSERT:
            ++countInsert;
            textInsert += diffs[i].text;
            prevEqual = -1;
            ++i;
            break;
        case DELETE:
            ++countDelete;
            textDelete += diffs[i].text;
            prevEqual = -1;
            ++i;
            break;
        case EQUAL:
            if (countDelete + countInsert > 0)
            {
                i = mergeRun(diffs, i - countDelete - countInsert, i, textDelete, textInsert);
                prevEqual = i;
                ++i;
            }
            else if (prevEqual >= 0)
            {
                diffs[prevEqual].text += diffs[i].text;
                diffs.removeAt(i);
            }
            else
            {
                prevEqual = i;
                ++i;
            }
            countDelete = 0;
            countInsert = 0;
            textDelete.clear();
            textInsert.clear();
            break;
        }
    }
    if (!diffs.isEmpty() && diffs.last().text.isEmpty())
    {
        diffs.removeLast();
    }
}

// Replaces the edits diffs[first, end) by the deletion of textDelete and the insertion of textInsert, what
// both begin with joined to the equality before and what both end with to the equality at end; returns
// where that equality then is.
int DiffEngine::mergeRun(QList<Diff>& diffs, int first, int end, QString& textDelete, QString& textInsert)
{
    diffs.erase(diffs.begin() + first, diffs.begin() + end);
    int i = first;
    if (!textDelete.isEmpty() && !textInsert.isEmpty())
    {
        const int prefixLength = diff_commonPrefix(textInsert, textDelete);
        if (prefixLength != 0)
        {
            if (first > 0)
            {
                if (diffs[first - 1].operation != EQUAL)
                {
                    throw "Previous diff should have been an equality.";
                }
                diffs[first - 1].text += textInsert.left(prefixLength);
            }
            else
            {
                diffs.insert(0, Diff(EQUAL, textInsert.left(prefixLength), false));
                ++i;
            }
            textInsert = textInsert.mid(prefixLength);
            textDelete = textDelete.mid(prefixLength);
        }
        const int suffixLength = diff_commonSuffix(textInsert, textDelete);
        if (suffixLength != 0)
        {
            diffs[i].text = textInsert.right(suffixLength) + diffs[i].text;
            textInsert.chop(suffixLength);
            textDelete.chop(suffixLength);
        }
    }
    if (!textDelete.isEmpty())
    {
        diffs.insert(i, Diff(DELETE, textDelete, false));
        ++i;
    }
    if (!textInsert.isEmpty())
    {
        diffs.insert(i, Diff(INSERT, textInsert, false));
        ++i;
    }
    if (textDelete.isEmpty() && textInsert.isEmpty() && i > 0 && diffs[i - 1].operation == EQUAL)
    {
        // Nothing was left between two equalities (empty edits, or edits that cancelled out): join them, so
        // that no two neighbours share an operation.
        diffs[i - 1].text += diffs[i].text;
        diffs.removeAt(i);
        --i;
    }
    return i;
}

// Single edits between two equalities that can slide over one of them, e.g. A<ins>BA</ins>C becomes
// <ins>AB</ins>AC; true when one did.
bool DiffEngine::slideEdits(QList<Diff>& diffs)
{
    bool changes = false;
    for (int i = 1; i + 1 < diffs.size(); ++i)
    {
        if (diffs[i - 1].operation != EQUAL || diffs[i + 1].operation != EQUAL)
        {
            continue;
        }
        const QString previous = diffs[i - 1].text;
        const QString next = diffs[i + 1].text;
        QString& edit = diffs[i].text;
        if (edit.endsWith(previous))
        {
            edit = previous + edit.left(edit.length() - previous.length());
            diffs[i + 1].text = previous + next;
            diffs.removeAt(i - 1);
            changes = true;
        }
        else if (edit.startsWith(next))
        {
            diffs[i - 1].text = previous + next;
            edit = edit.mid(next.length()) + next;
            diffs.removeAt(i + 1);
            changes = true;
        }
    }
    return changes;
}

void DiffEngine::diff_cleanupSemantic(QList<Diff>& diffs)
{
    if (diffs.isEmpty())
    {
        return;
    }
    bool changes = false;
    QVector<int> equalities;
    bool haveLastEquality = false;
    QString lastEquality;
    int changes1 = 0;
    int changes2 = 0;
    int i = 0;
    while (i < diffs.size())
    {
        if (diffs[i].operation == EQUAL)
        {
            equalities.append(i);
            changes1 = changes2;
            changes2 = 0;
            lastEquality = diffs[i].text;
            haveLastEquality = true;
        }
        else
        {
            changes2 += diffs[i].text.length();
            if (haveLastEquality && lastEquality.length() <= changes1 && lastEquality.length() <= changes2)
            {
                const int at = equalities.last();
                diffs[at] = Diff(DELETE, lastEquality, false);
                diffs.insert(at + 1, Diff(INSERT, lastEquality, false));
                equalities.removeLast();
                if (!equalities.isEmpty())
                {
                    equalities.removeLast();
                }
                changes1 = 0;
                changes2 = 0;
                haveLastEquality = false;
                lastEquality.clear();
                changes = true;
                // Re-read from the equality before, which may now be worth removing too.
                i = equalities.isEmpty() ? 0 : equalities.last();
                continue;
            }
        }
        ++i;
    }
    if (changes)
    {
        diff_cleanupMerge(diffs);
    }
    diff_cleanupSemanticLossless(diffs);
}

void DiffEngine::diff_cleanupSemanticLossless(QList<Diff>& diffs)
{
    int i = 1;
    while (i + 1 < diffs.size())
    {
        if (diffs[i - 1].operation == EQUAL && diffs[i + 1].operation == EQUAL)
        {
            // The three texts are windows of one string: equality1 = [0, p), edit = [p, p + m),
            // equality2 = [p + m, n); sliding the edit only moves p.
            QString equality1 = diffs[i - 1].text;
            QString edit = diffs[i].text;
            QString equality2 = diffs[i + 1].text;
            const int shift = diff_commonSuffix(equality1, edit);
            if (shift != 0)
            {
                const QString common = edit.right(shift);
                equality1.chop(shift);
                edit = common + edit.left(edit.length() - shift);
                equality2 = common + equality2;
            }
            const QString whole = equality1 + edit + equality2;
            const QChar* w = whole.constData();
            const int n = whole.length();
            const int m = edit.length();
            int p = equality1.length();
            auto score = [&](int pos) {
                return boundaryScore(w, pos, w + pos, m) +
                       boundaryScore(w + pos, m, w + pos + m, n - pos - m);
            };
            int bestPos = p;
            int bestScore = score(p);
            while (m > 0 && p + m < n && w[p] == w[p + m])
            {
                ++p;
                const int s = score(p);
                // >= keeps the rightmost of equal scores: trailing rather than leading white space on edits.
                if (s >= bestScore)
                {
                    bestScore = s;
                    bestPos = p;
                }
            }
            const QString bestEquality1 = whole.left(bestPos);
            if (diffs[i - 1].text != bestEquality1)
            {
                const QString bestEdit = whole.mid(bestPos, m);
                const QString bestEquality2 = whole.mid(bestPos + m);
                if (!bestEquality1.isEmpty())
                {
                    diffs[i - 1].text = bestEquality1;
                }
                else
                {
                    diffs.removeAt(i - 1);
                    --i;
                }
                diffs[i].text = bestEdit;
                if (!bestEquality2.isEmpty())
                {
                    diffs[i + 1].text = bestEquality2;
                }
                else
                {
                    diffs.removeAt(i + 1);
                    // Look at this edit again with whatever now follows it.
                    if (i < 1)
                    {
                        i = 1;
                    }
                    continue;
                }
            }
        }
        ++i;
    }
}

int DiffEngine::diff_cleanupSemanticScore(const QString& one, const QString& two)
{
    return boundaryScore(one.constData(), one.length(), two.constData(), two.length());
}

void DiffEngine::diff_cleanupEfficiency(QList<Diff>& diffs)
{
    if (diffs.isEmpty())
    {
        return;
    }
    bool changes = false;
    QVector<int> equalities;
    bool haveLastEquality = false;
    QString lastEquality;
    bool preIns = false;
    bool preDel = false;
    bool postIns = false;
    bool postDel = false;
    int safeDiff = 0;
    int i = 0;
    while (i < diffs.size())
    {
        if (diffs[i].operation == EQUAL)
        {
            if (diffs[i].text.length() < Diff_EditCost && (postIns || postDel))
            {
                equalities.append(i);
                preIns = postIns;
                preDel = postDel;
                lastEquality = diffs[i].text;
                haveLastEquality = true;
            }
            else
            {
                equalities.clear();
                haveLastEquality = false;
                lastEquality.clear();
                safeDiff = i;
            }
            postIns = false;
            postDel = false;
        }
        else
        {
            if (diffs[i].operation == DELETE)
            {
                postDel = true;
            }
            else
            {
                postIns = true;
            }
            const int flags = int(preIns) + int(preDel) + int(postIns) + int(postDel);
            if (haveLastEquality && ((preIns && preDel && postIns && postDel) ||
                                     (lastEquality.length() < Diff_EditCost / 2 && flags == 3)))
            {
                const int at = equalities.last();
                diffs[at] = Diff(DELETE, lastEquality, false);
                diffs.insert(at + 1, Diff(INSERT, lastEquality, false));
                equalities.removeLast();
                haveLastEquality = false;
                lastEquality.clear();
                changes = true;
                if (preIns && preDel)
                {
                    // Nothing before can change: go on after the new insertion.
                    postIns = true;
                    postDel = true;
                    equalities.clear();
                    safeDiff = at + 1;
                    i = at + 2;
                }
                else
                {
                    if (!equalities.isEmpty())
                    {
                        equalities.removeLast();
                    }
                    i = equalities.isEmpty() ? safeDiff : equalities.last();
                    postIns = false;
                    postDel = false;
                }
                continue;
            }
        }
        ++i;
    }
    if (changes)
    {
        diff_cleanupMerge(diffs);
    }
}

void DiffEngine::diff_cleanupSplit(QList<Diff>& diffs)
{
    for (int i = 0; i < diffs.size(); ++i)
    {
        if (diffs[i].operation != EQUAL)
        {
            continue;
        }
        Diff* parts[2] = {nullptr, nullptr};
        const bool split = SplitDiff(diffs[i], parts, false);
        std::unique_ptr<Diff> block(parts[0]);
        std::unique_ptr<Diff> tail(parts[1]);
        if (!split)
        {
            continue;
        }
        int insertAt = i + 1;
        if (tail)
        {
            diffs.insert(i + 1, *tail);
        }
        while (block)
        {
            Diff* next[2] = {nullptr, nullptr};
            SplitDiff(*block, next, false);
            diffs.insert(insertAt++, *block);
            block.reset(next[0]);
            // A block always ends with a carriage return, so it has no tail.
            delete next[1];
        }
        // The tail, if any, is the next diff; it holds no carriage return and stays as it is.
        i = insertAt - 1;
    }
}

// ---------------------------------------------------------------------------------------------------------
// Conversions

int DiffEngine::diff_levenshtein(const QList<Diff>& diffs)
{
    int levenshtein = 0;
    int insertions = 0;
    int deletions = 0;
    for (const Diff& diff : diffs)
    {
        switch (diff.operation)
        {
        case INSERT:
            insertions += diff.text.length();
            break;
        case DELETE:
            deletions += diff.text.length();
            break;
        case EQUAL:
            levenshtein += std::max(insertions, deletions);
            insertions = 0;
            deletions = 0;
            break;
        }
    }
    return levenshtein + std::max(insertions, deletions);
}

int DiffEngine::diff_xIndex(const QList<Diff>& diffs, int loc)
{
    int chars1 = 0;
    int chars2 = 0;
    int lastChars1 = 0;
    int lastChars2 = 0;
    const Diff* overshoot = nullptr;
    for (const Diff& diff : diffs)
    {
        if (diff.operation != INSERT)
        {
            chars1 += diff.text.length();
        }
        if (diff.operation != DELETE)
        {
            chars2 += diff.text.length();
        }
        if (chars1 > loc)
        {
            overshoot = &diff;
            break;
        }
        lastChars1 = chars1;
        lastChars2 = chars2;
    }
    if (overshoot && overshoot->operation == DELETE)
    {
        return lastChars2;
    }
    return lastChars2 + (loc - lastChars1);
}

QString DiffEngine::diff_text1(const QList<Diff>& diffs)
{
    QString text;
    for (const Diff& diff : diffs)
    {
        if (diff.operation != INSERT)
        {
            text += diff.text;
        }
    }
    return text;
}

QString DiffEngine::diff_text2(const QList<Diff>& diffs)
{
    QString text;
    for (const Diff& diff : diffs)
    {
        if (diff.operation != DELETE)
        {
            text += diff.text;
        }
    }
    return text;
}

QString DiffEngine::diff_prettyHtml(const QList<Diff>& diffs)
{
    QString html;
    int i = 0;
    for (const Diff& diff : diffs)
    {
        QString text = diff.text;
        text.replace(QLatin1String("&"), QLatin1String("&amp;"))
            .replace(QLatin1String("<"), QLatin1String("&lt;"))
            .replace(QLatin1String(">"), QLatin1String("&gt;"))
            .replace(QChar(10), QLatin1String("&para;<BR>"));
        const QString position = QString::number(i);
        switch (diff.operation)
        {
        case INSERT:
            html += QLatin1String("<INS STYLE=\"background:#E6FFE6;\" TITLE=\"i=") + position +
                    QLatin1String("\">") + text + QLatin1String("</INS>");
            break;
        case DELETE:
            html += QLatin1String("<DEL STYLE=\"background:#FFE6E6;\" TITLE=\"i=") + position +
                    QLatin1String("\">") + text + QLatin1String("</DEL>");
            break;
        case EQUAL:
            html += QLatin1String("<SPAN TITLE=\"i=") + position + QLatin1String("\">") + text +
                    QLatin1String("</SPAN>");
            break;
        }
        if (diff.operation != DELETE)
        {
            i += diff.text.length();
        }
    }
    return html;
}

} // namespace TextDiff
