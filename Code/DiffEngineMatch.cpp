#include "DiffEngine.h"

#include <QHash>

#include <algorithm>
#include <cstdlib>

namespace TextDiff
{

// ---------------------------------------------------------------------------------------------------------
// Matching and patch application

int DiffEngine::maxBits() const
{
    // Bitap runs on 64-bit words; 0 (no limit) and larger settings are held to that.
    return (Match_MaxBits <= 0 || Match_MaxBits > 64) ? 64 : Match_MaxBits;
}

int DiffEngine::match_main(const QString& text, const QString& pattern, int loc)
{
    loc = std::max(0, std::min(loc, text.length()));
    if (text == pattern)
    {
        return 0;
    }
    if (text.isEmpty())
    {
        return -1;
    }
    if (loc + pattern.length() <= text.length() && text.midRef(loc, pattern.length()) == pattern)
    {
        return loc;
    }
    return match_bitap(text, pattern, loc);
}

int DiffEngine::match_bitap(const QString& text, const QString& pattern, int loc)
{
    const int patternLength = pattern.length();
    if ((Match_MaxBits != 0 && patternLength > Match_MaxBits) || patternLength > 64)
    {
        throw "Pattern too long for this application.";
    }
    if (patternLength == 0)
    {
        return std::max(0, std::min(loc, text.length()));
    }
    QHash<QChar, quint64> alphabet;
    for (int i = 0; i < patternLength; ++i)
    {
        alphabet[pattern[i]] |= quint64(1) << (patternLength - i - 1);
    }

    double threshold = bitapThreshold(text, pattern, loc);
    const quint64 matchmask = quint64(1) << (patternLength - 1);
    int best = -1;
    int binMax = patternLength + text.length();
    std::vector<quint64> rd;
    std::vector<quint64> lastRd;
    for (int d = 0; d < patternLength; ++d)
    {
        const int binMid = bitapReach(d, loc, pattern, threshold, binMax);
        binMax = binMid;
        int start = std::max(1, loc - binMid + 1);
        const int finish = std::min(loc + binMid, text.length()) + patternLength;

        // Cells a previous round did not reach read as 0.
        rd.assign(size_t(finish) + 2, 0);
        if (lastRd.size() < rd.size())
        {
            lastRd.resize(rd.size(), 0);
        }
        rd[size_t(finish) + 1] = (quint64(1) << d) - 1;
        for (int j = finish; j >= start; --j)
        {
            const quint64 charMatch = (text.length() <= j - 1) ? 0 : alphabet.value(text[j - 1], 0);
            if (d == 0)
            {
                rd[size_t(j)] = ((rd[size_t(j) + 1] << 1) | 1) & charMatch;
            }
            else
            {
                rd[size_t(j)] = (((rd[size_t(j) + 1] << 1) | 1) & charMatch) |
                                (((lastRd[size_t(j) + 1] | lastRd[size_t(j)]) << 1) | 1) |
                                lastRd[size_t(j) + 1];
            }
            if (rd[size_t(j)] & matchmask)
            {
                const double score = match_bitapScore(d, j - 1, loc, pattern);
                if (score <= threshold)
                {
                    threshold = score;
                    best = j - 1;
                    if (best > loc)
                    {
                        // Go no further left of loc than the match found right of it.
                        start = std::max(1, 2 * loc - best);
                    }
                    else
                    {
                        break;
                    }
                }
            }
        }
        if (match_bitapScore(d + 1, loc, loc, pattern) > threshold)
        {
            break;
        }
        lastRd.swap(rd);
    }
    return best;
}

// The score a match must reach: the threshold, or that of an exact match of the pattern near loc if better.
double DiffEngine::bitapThreshold(const QString& text, const QString& pattern, int loc)
{
    double threshold = Match_Threshold;
    int best = text.indexOf(pattern, loc);
    if (best != -1)
    {
        threshold = std::min(match_bitapScore(0, best, loc, pattern), threshold);
    }
    best = text.lastIndexOf(pattern, loc + pattern.length());
    if (best != -1)
    {
        threshold = std::min(match_bitapScore(0, best, loc, pattern), threshold);
    }
    return threshold;
}

// How far from loc, below binMax, a match with d errors may lie and still reach the threshold, by bisection.
int DiffEngine::bitapReach(int d, int loc, const QString& pattern, double threshold, int binMax)
{
    int binMin = 0;
    int binMid = binMax;
    while (binMin < binMid)
    {
        if (match_bitapScore(d, loc + binMid, loc, pattern) <= threshold)
        {
            binMin = binMid;
        }
        else
        {
            binMax = binMid;
        }
        binMid = (binMax - binMin) / 2 + binMin;
    }
    return binMid;
}

QMap<QChar, int> DiffEngine::match_alphabet(const QString& pattern)
{
    QMap<QChar, int> s;
    const int length = pattern.length();
    for (int i = 0; i < length; ++i)
    {
        s.insert(pattern[i], 0);
    }
    for (int i = 0; i < length; ++i)
    {
        const int shift = length - i - 1;
        if (shift < 32)
        {
            s[pattern[i]] = int(uint(s.value(pattern[i])) | (1u << shift));
        }
    }
    return s;
}

double DiffEngine::match_bitapScore(int e, int x, int loc, const QString& pattern)
{
    const float accuracy = static_cast<float>(e) / pattern.length();
    const int proximity = std::abs(loc - x);
    if (Match_Distance == 0)
    {
        return proximity == 0 ? accuracy : 1.0;
    }
    return accuracy + (proximity / static_cast<float>(Match_Distance));
}

void DiffEngine::patch_addContext(Patch& patch, const QString& text)
{
    if (text.isEmpty())
    {
        return;
    }
    const int length = text.length();
    auto window = [&](int from, int to)
    {
        from = std::max(0, std::min(from, length));
        to = std::max(from, std::min(to, length));
        return text.mid(from, to - from);
    };
    const int bits = maxBits();
    QString pattern = window(patch.start2, patch.start2 + patch.length1);
    int padding = 0;
    // A margin of 0 or less would never widen the pattern.
    while (Patch_Margin > 0 && text.indexOf(pattern) != text.lastIndexOf(pattern) &&
           pattern.length() < bits - Patch_Margin - Patch_Margin)
    {
        padding += Patch_Margin;
        pattern = window(patch.start2 - padding, patch.start2 + patch.length1 + padding);
    }
    padding += Patch_Margin;

    const QString prefix = window(patch.start2 - padding, patch.start2);
    if (!prefix.isEmpty())
    {
        patch.diffs.prepend(Diff(EQUAL, prefix, true));
    }
    const QString suffix = window(patch.start2 + patch.length1, patch.start2 + patch.length1 + padding);
    if (!suffix.isEmpty())
    {
        patch.diffs.append(Diff(EQUAL, suffix, true));
    }
    patch.start1 -= prefix.length();
    patch.start2 -= prefix.length();
    patch.length1 += prefix.length() + suffix.length();
    patch.length2 += prefix.length() + suffix.length();
}

void DiffEngine::patch_splitMax(QList<Patch>& patches)
{
    const int patchSize = maxBits();
    for (int x = 0; x < patches.size(); ++x)
    {
        if (patches[x].length1 <= patchSize)
        {
            continue;
        }
        Patch bigpatch = patches[x];
        patches.removeAt(x);
        --x;
        int start1 = bigpatch.start1;
        int start2 = bigpatch.start2;
        QString precontext;
        while (!bigpatch.diffs.isEmpty())
        {
            Patch patch;
            patch.start1 = start1 - precontext.length();
            patch.start2 = start2 - precontext.length();
            if (!precontext.isEmpty())
            {
                patch.length1 = precontext.length();
                patch.length2 = precontext.length();
                appendDiff(patch.diffs, EQUAL, precontext);
            }
            const bool empty = !splitOff(bigpatch, patch, start1, start2, patchSize);
            const QString newText = diff_text2(patch.diffs);
            precontext = newText.right(std::max(0, int(Patch_Margin)));
            const QString oldRest = diff_text1(bigpatch.diffs);
            const QString postcontext = oldRest.left(std::max(0, int(Patch_Margin)));
            if (!postcontext.isEmpty())
            {
                patch.length1 += postcontext.length();
                patch.length2 += postcontext.length();
                if (!patch.diffs.isEmpty() && patch.diffs.last().operation == EQUAL)
                {
                    patch.diffs.last().text += postcontext;
                }
                else
                {
                    appendDiff(patch.diffs, EQUAL, postcontext);
                }
            }
            if (!empty)
            {
                ++x;
                patches.insert(x, patch);
            }
        }
    }
}

// Moves the diffs of bigpatch into patch, the front one cut where it would not fit, until patch nearly
// fills patchSize; start1 and start2 follow the text moved. True when patch then holds an edit.
bool DiffEngine::splitOff(Patch& bigpatch, Patch& patch, int& start1, int& start2, int patchSize)
{
    bool edited = false;
    // With a margin close to the patch size the loop could take nothing; take at least one unit.
    bool took = false;
    while (!bigpatch.diffs.isEmpty() && (patch.length1 < patchSize - Patch_Margin || !took))
    {
        took = true;
        const Operation diffType = bigpatch.diffs.first().operation;
        QString diffText = bigpatch.diffs.first().text;
        if (diffType == INSERT)
        {
            patch.length2 += diffText.length();
            start2 += diffText.length();
            patch.diffs.append(bigpatch.diffs.takeFirst());
            patch.diffs.last().isContext = false;
            edited = true;
        }
        else if (diffType == DELETE && patch.diffs.size() == 1 && patch.diffs.first().operation == EQUAL &&
                 diffText.length() > 2 * patchSize)
        {
            // A large deletion passes in one piece.
            patch.length1 += diffText.length();
            start1 += diffText.length();
            edited = true;
            appendDiff(patch.diffs, diffType, diffText);
            bigpatch.diffs.removeFirst();
        }
        else
        {
            const int take = std::max(1, std::min(diffText.length(), patchSize - patch.length1 - Patch_Margin));
            diffText = diffText.left(take);
            patch.length1 += diffText.length();
            start1 += diffText.length();
            if (diffType == EQUAL)
            {
                patch.length2 += diffText.length();
                start2 += diffText.length();
            }
            else
            {
                edited = true;
            }
            appendDiff(patch.diffs, diffType, diffText);
            if (diffText == bigpatch.diffs.first().text)
            {
                bigpatch.diffs.removeFirst();
            }
            else
            {
                bigpatch.diffs.first().text = bigpatch.diffs.first().text.mid(diffText.length());
            }
        }
    }
    return edited;
}

QString DiffEngine::patch_addPadding(QList<Patch>& patches)
{
    const int paddingLength = Patch_Margin;
    QString nullPadding;
    for (int x = 1; x <= paddingLength; ++x)
    {
        nullPadding += QChar(ushort(x));
    }
    if (patches.isEmpty())
    {
        return nullPadding;
    }
    for (Patch& patch : patches)
    {
        patch.start1 += paddingLength;
        patch.start2 += paddingLength;
    }

    Patch& first = patches.first();
    if (first.diffs.isEmpty() || first.diffs.first().operation != EQUAL)
    {
        first.diffs.prepend(Diff(EQUAL, nullPadding, false));
        first.start1 -= paddingLength;
        first.start2 -= paddingLength;
        first.length1 += paddingLength;
        first.length2 += paddingLength;
    }
    else if (paddingLength > first.diffs.first().text.length())
    {
        Diff& firstDiff = first.diffs.first();
        const int extra = paddingLength - firstDiff.text.length();
        firstDiff.text = nullPadding.mid(firstDiff.text.length(), extra) + firstDiff.text;
        first.start1 -= extra;
        first.start2 -= extra;
        first.length1 += extra;
        first.length2 += extra;
    }

    Patch& last = patches.last();
    if (last.diffs.isEmpty() || last.diffs.last().operation != EQUAL)
    {
        appendDiff(last.diffs, EQUAL, nullPadding);
        last.length1 += paddingLength;
        last.length2 += paddingLength;
    }
    else if (paddingLength > last.diffs.last().text.length())
    {
        Diff& lastDiff = last.diffs.last();
        const int extra = paddingLength - lastDiff.text.length();
        lastDiff.text += nullPadding.left(extra);
        last.length1 += extra;
        last.length2 += extra;
    }
    return nullPadding;
}

QList<Patch> DiffEngine::patch_deepCopy(QList<Patch>& patches)
{
    QList<Patch> copies;
    for (const Patch& patch : qAsConst(patches))
    {
        Patch copy;
        for (const Diff& diff : patch.diffs)
        {
            appendDiff(copy.diffs, diff.operation, diff.text);
        }
        copy.start1 = patch.start1;
        copy.start2 = patch.start2;
        copy.length1 = patch.length1;
        copy.length2 = patch.length2;
        copies.append(copy);
    }
    return copies;
}

QPair<QString, QVector<bool>> DiffEngine::patch_apply(QList<Patch>& patches, const QString& sourceText)
{
    if (patches.isEmpty())
    {
        return qMakePair(sourceText, QVector<bool>());
    }
    QList<Patch> copy = patch_deepCopy(patches);
    const QString nullPadding = patch_addPadding(copy);
    QString text = nullPadding + sourceText + nullPadding;
    patch_splitMax(copy);

    const int bits = maxBits();
    int delta = 0;
    QVector<bool> results(copy.size(), false);
    for (int x = 0; x < copy.size(); ++x)
    {
        const Patch& patch = copy[x];
        const int expected = patch.start2 + delta;
        const QString text1 = diff_text1(patch.diffs);
        int start = -1;
        int end = -1;
        if (text1.length() > bits)
        {
            // Match the two ends; a patch whose ends cannot both be placed in order is dropped.
            start = match_main(text, text1.left(bits), expected);
            if (start != -1)
            {
                end = match_main(text, text1.right(bits), expected + text1.length() - bits);
                if (end == -1 || start >= end)
                {
                    start = -1;
                }
            }
        }
        else
        {
            start = match_main(text, text1, expected);
        }

        if (start == -1)
        {
            results[x] = false;
            delta -= patch.length2 - patch.length1;
            continue;
        }
        results[x] = true;
        delta = start - expected;
        const QString text2 =
            end == -1 ? text.mid(start, text1.length()) : text.mid(start, end + bits - start);
        if (text1 == text2)
        {
            text = text.left(start) + diff_text2(patch.diffs) + text.mid(start + text1.length());
            continue;
        }
        QList<Diff> diffs = diff_main(text1, text2, false);
        if (text1.length() > bits &&
            diff_levenshtein(diffs) / static_cast<float>(text1.length()) > Patch_DeleteThreshold)
        {
            results[x] = false;
            continue;
        }
        diff_cleanupSemanticLossless(diffs);
        int index1 = 0;
        for (const Diff& diff : patch.diffs)
        {
            if (diff.operation != EQUAL)
            {
                const int index2 = diff_xIndex(diffs, index1);
                if (diff.operation == INSERT)
                {
                    text.insert(std::min(start + index2, text.length()), diff.text);
                }
                else
                {
                    text.remove(start + index2, diff_xIndex(diffs, index1 + diff.text.length()) - index2);
                }
            }
            if (diff.operation != DELETE)
            {
                index1 += diff.text.length();
            }
        }
    }
    text = text.mid(nullPadding.length(), text.length() - 2 * nullPadding.length());
    return qMakePair(text, results);
}

} // namespace TextDiff
