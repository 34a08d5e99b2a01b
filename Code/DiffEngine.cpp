#include "DiffEngine.h"

#include <QDebug>

#include <algorithm>
#include <vector>

namespace TextDiff
{

namespace
{

int commonPrefixOf(const QChar* a, int aLength, const QChar* b, int bLength)
{
    const int n = std::min(aLength, bLength);
    int i = 0;
    while (i < n && a[i] == b[i])
    {
        ++i;
    }
    return i;
}

int commonSuffixOf(const QChar* a, int aLength, const QChar* b, int bLength)
{
    const int n = std::min(aLength, bLength);
    int i = 0;
    while (i < n && a[aLength - 1 - i] == b[bLength - 1 - i])
    {
        ++i;
    }
    return i;
}

// First occurrence of needle in haystack at or after from, or -1. Horspool on the low byte of each unit is
// fast on text; on repetitive input, past a work budget linear in the lengths, it goes on with
// Knuth-Morris-Pratt so that no input takes quadratic time. work, if given, grows by the units compared.
int findText(const QString& haystack, const QString& needle, int from, qint64* work = nullptr)
{
    const int n = haystack.length();
    const int m = needle.length();
    from = std::max(from, 0);
    if (m == 0)
    {
        return from <= n ? from : -1;
    }
    if (from > n - m)
    {
        return -1;
    }
    const QChar* h = haystack.constData();
    const QChar* p = needle.constData();
    int shift[256];
    std::fill(std::begin(shift), std::end(shift), m);
    for (int i = 0; i < m - 1; ++i)
    {
        shift[p[i].unicode() & 0xFF] = m - 1 - i;
    }
    const qint64 budget = 4 * (qint64(n) + m) + 1024;
    qint64 spent = m;
    int pos = from;
    while (pos <= n - m)
    {
        int k = m - 1;
        while (k >= 0 && h[pos + k] == p[k])
        {
            --k;
        }
        spent += m - k;
        if (k < 0)
        {
            if (work)
            {
                *work += spent;
            }
            return pos;
        }
        if (spent > budget)
        {
            break;
        }
        pos += shift[h[pos + m - 1].unicode() & 0xFF];
    }
    if (pos > n - m)
    {
        if (work)
        {
            *work += spent;
        }
        return -1;
    }
    // Every alignment before pos has been ruled out.
    std::vector<int> failure(size_t(m), 0);
    for (int i = 1, f = 0; i < m; ++i)
    {
        while (f > 0 && p[i] != p[f])
        {
            f = failure[size_t(f - 1)];
        }
        if (p[i] == p[f])
        {
            ++f;
        }
        failure[size_t(i)] = f;
    }
    int matched = 0;
    int result = -1;
    for (int i = pos; i < n; ++i)
    {
        while (matched > 0 && h[i] != p[matched])
        {
            matched = failure[size_t(matched - 1)];
        }
        if (h[i] == p[matched])
        {
            ++matched;
        }
        if (matched == m)
        {
            result = i - m + 1;
            spent += i - pos + 1;
            break;
        }
    }
    if (result < 0)
    {
        spent += n - pos;
    }
    if (work)
    {
        *work += spent + m;
    }
    return result;
}

bool shareAUnit(const QString& text1, const QString& text2)
{
    std::vector<bool> seen(0x10000, false);
    for (const QChar c : text1)
    {
        seen[c.unicode()] = true;
    }
    for (const QChar c : text2)
    {
        if (seen[c.unicode()])
        {
            return true;
        }
    }
    return false;
}

// Z-function of a sequence given by its length and an accessor: z[i] is the length of the longest common
// prefix of the sequence and its suffix from i (z[0] is left 0).
template <typename At> std::vector<int> zFunction(int n, At at)
{
    std::vector<int> z(size_t(std::max(n, 0)), 0);
    for (int i = 1, l = 0, r = 0; i < n; ++i)
    {
        int length = 0;
        if (i < r)
        {
            length = std::min(r - i, z[size_t(i - l)]);
        }
        while (i + length < n && at(length) == at(i + length))
        {
            ++length;
        }
        z[size_t(i)] = length;
        if (i + length > r)
        {
            l = i;
            r = i + length;
        }
    }
    return z;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Diff, Patch, UnitPatch

Diff::Diff(Operation operation, const QString& text, bool isContext)
    : operation(operation), text(text), isContext(isContext)
{
}

QString Diff::strOperation(Operation op)
{
    switch (op)
    {
    case INSERT:
        return QStringLiteral("INSERT");
    case DELETE:
        return QStringLiteral("DELETE");
    case EQUAL:
        return QStringLiteral("EQUAL");
    }
    throw "Invalid operation.";
}

QString Diff::toString() const
{
    QString prettyText = text;
    prettyText.replace(QChar(10), QChar(0xB6));
    const QString result = QStringLiteral("Diff(") + strOperation(operation) + QStringLiteral(",\"") +
                           prettyText + QStringLiteral("\")");
    qDebug().noquote() << result;
    return result;
}

bool Diff::operator==(const Diff& other) const
{
    return operation == other.operation && text == other.text;
}

bool Diff::operator!=(const Diff& other) const
{
    return !(*this == other);
}

bool Patch::isNull() const
{
    return start1 == 0 && start2 == 0 && length1 == 0 && length2 == 0 && diffs.isEmpty();
}

QString Patch::toString() const
{
    auto coordinates = [](int start, int length)
    {
        if (length == 0)
        {
            return QString::number(start) + QStringLiteral(",0");
        }
        if (length == 1)
        {
            return QString::number(start + 1);
        }
        return QString::number(start + 1) + QLatin1Char(',') + QString::number(length);
    };
    QString text = QStringLiteral("@@ -") + coordinates(start1, length1) + QStringLiteral(" +") +
                   coordinates(start2, length2) + QStringLiteral(" @@\n");
    for (const Diff& diff : diffs)
    {
        switch (diff.operation)
        {
        case INSERT:
            text += QLatin1Char('+');
            break;
        case DELETE:
            text += QLatin1Char('-');
            break;
        case EQUAL:
            text += QLatin1Char(' ');
            break;
        }
        text += DiffEngine::encodeText(diff.text) + QLatin1Char('\n');
    }
    return text;
}

UnitPatch::UnitPatch(bool isChange, bool appliedRight, bool appliedLeft)
    : isChange(isChange), appliedRight(appliedRight), appliedLeft(appliedLeft)
{
}

// ---------------------------------------------------------------------------------------------------------
// Core differencing

QList<Diff> DiffEngine::diff_main(const QString& text1, const QString& text2)
{
    return diff_main(text1, text2, true);
}

QList<Diff> DiffEngine::diff_main(const QString& text1, const QString& text2, bool checklines)
{
    QList<Diff> diffs;
    if (text1 == text2)
    {
        appendDiff(diffs, EQUAL, text1.isNull() ? QString(QLatin1String("")) : text1);
        return diffs;
    }
    const int prefixLength = diff_commonPrefix(text1, text2);
    const QString prefix = text1.left(prefixLength);
    QString rest1 = text1.mid(prefixLength);
    QString rest2 = text2.mid(prefixLength);

    const int suffixLength = diff_commonSuffix(rest1, rest2);
    const QString suffix = rest1.right(suffixLength);
    rest1.chop(suffixLength);
    rest2.chop(suffixLength);

    diffs = diff_compute(rest1, rest2, checklines);
    if (!prefix.isEmpty())
    {
        diffs.prepend(Diff(EQUAL, prefix, false));
    }
    if (!suffix.isEmpty())
    {
        appendDiff(diffs, EQUAL, suffix);
    }
    diff_cleanupMerge(diffs);
    return diffs;
}

namespace
{

// The diffs of two texts one of which holds the other: the longer text around the shorter one. False when
// neither holds the other.
bool containmentDiffs(const QString& text1, const QString& text2, QList<Diff>& diffs)
{
    const bool firstLonger = text1.length() > text2.length();
    const QString& longtext = firstLonger ? text1 : text2;
    const QString& shorttext = firstLonger ? text2 : text1;
    const int i = findText(longtext, shorttext, 0);
    if (i == -1)
    {
        return false;
    }
    const Operation op = firstLonger ? DELETE : INSERT;
    appendDiff(diffs, op, longtext.left(i));
    appendDiff(diffs, EQUAL, shorttext);
    appendDiff(diffs, op, longtext.mid(i + shorttext.length()));
    return true;
}

} // namespace

QList<Diff> DiffEngine::diff_compute(QString text1, QString text2, bool checklines)
{
    QList<Diff> diffs;
    if (text1.isEmpty())
    {
        appendDiff(diffs, INSERT, text2);
        return diffs;
    }
    if (text2.isEmpty())
    {
        appendDiff(diffs, DELETE, text1);
        return diffs;
    }
    if (containmentDiffs(text1, text2, diffs))
    {
        return diffs;
    }

    const QStringList hm = diff_halfMatch(text1, text2);
    if (!hm.isEmpty())
    {
        diffs = diff_main(hm[0], hm[2], checklines);
        appendDiff(diffs, EQUAL, hm[4]);
        diffs += diff_main(hm[1], hm[3], checklines);
        return diffs;
    }

    if (checklines && (text1.length() < 100 || text2.length() < 100))
    {
        checklines = false;
    }
    QStringList linearray;
    if (checklines)
    {
        const QList<QVariant> encoded = diff_linesToChars(text1, text2);
        text1 = encoded[0].toString();
        text2 = encoded[1].toString();
        linearray = encoded[2].toStringList();
    }

    // Without a unit in common there is no path, and the search would only find that out after
    // len1 + len2 steps.
    diffs = shareAUnit(text1, text2) ? diff_map(text1, text2) : QList<Diff>();
    if (diffs.isEmpty())
    {
        appendDiff(diffs, DELETE, text1);
        appendDiff(diffs, INSERT, text2);
    }

    if (checklines)
    {
        diff_charsToLines(diffs, linearray);
        diff_cleanupSemantic(diffs);
        rediffReplacedLines(diffs);
    }
    return diffs;
}

void DiffEngine::rediffReplacedLines(QList<Diff>& diffs)
{
    // Re-diff every run of replaced lines character by character.
    appendDiff(diffs, EQUAL, QString(QLatin1String("")));
    int countDelete = 0;
    int countInsert = 0;
    QString textDelete;
    QString textInsert;
    for (int i = 0; i < diffs.size(); ++i)
    {
        switch (diffs[i].operation)
        {
        case INSERT:
            ++countInsert;
            textInsert += diffs[i].text;
            break;
        case DELETE:
            ++countDelete;
            textDelete += diffs[i].text;
            break;
        case EQUAL:
            if (countDelete >= 1 && countInsert >= 1)
            {
                const int first = i - countDelete - countInsert;
                diffs.erase(diffs.begin() + first, diffs.begin() + i);
                const QList<Diff> replacement = diff_main(textDelete, textInsert, false);
                for (int r = 0; r < replacement.size(); ++r)
                {
                    diffs.insert(first + r, replacement[r]);
                }
                i = first + replacement.size();
            }
            countDelete = 0;
            countInsert = 0;
            textDelete.clear();
            textInsert.clear();
            break;
        }
    }
    diffs.removeLast();
}

QStringList DiffEngine::diff_halfMatch(const QString& text1, const QString& text2)
{
    const bool firstLonger = text1.length() > text2.length();
    const QString& longtext = firstLonger ? text1 : text2;
    const QString& shorttext = firstLonger ? text2 : text1;
    if (longtext.length() < 10 || shorttext.isEmpty())
    {
        return QStringList();
    }

    const QStringList hm1 = diff_halfMatchI(longtext, shorttext, (longtext.length() + 3) / 4);
    const QStringList hm2 = diff_halfMatchI(longtext, shorttext, (longtext.length() + 1) / 2);
    QStringList hm;
    if (hm1.isEmpty() && hm2.isEmpty())
    {
        return QStringList();
    }
    if (hm2.isEmpty())
    {
        hm = hm1;
    }
    else if (hm1.isEmpty())
    {
        hm = hm2;
    }
    else
    {
        hm = hm1[4].length() > hm2[4].length() ? hm1 : hm2;
    }

    if (firstLonger)
    {
        return hm;
    }
    return QStringList{hm[2], hm[3], hm[0], hm[1], hm[4]};
}

QStringList DiffEngine::diff_halfMatchI(const QString& longtext, const QString& shorttext, int i)
{
    const int longLength = longtext.length();
    const int shortLength = shorttext.length();
    if (i < 0 || i > longLength)
    {
        return QStringList();
    }
    const QString seed = longtext.mid(i, longLength / 4);
    const QChar* l = longtext.constData();
    const QChar* s = shorttext.constData();
    int bestLength = 0;
    bool found = false;
    int bestJ = 0;
    int bestPrefix = 0;
    int bestSuffix = 0;
    auto consider = [&](int j, int prefixLength, int suffixLength)
    {
        if (bestLength < prefixLength + suffixLength)
        {
            bestLength = prefixLength + suffixLength;
            bestJ = j;
            bestPrefix = prefixLength;
            bestSuffix = suffixLength;
            found = true;
        }
    };

    // Each occurrence of the seed costs its common prefix and suffix; on repetitive text there are many
    // long ones. Past a budget linear in the lengths, all positions are measured at once instead.
    const qint64 budget = 8 * (qint64(longLength) + shortLength) + 4096;
    qint64 work = 0;
    bool exhaustive = false;
    int j = -1;
    while ((j = findText(shorttext, seed, j + 1, &work)) != -1)
    {
        const int prefixLength = commonPrefixOf(l + i, longLength - i, s + j, shortLength - j);
        const int suffixLength = commonSuffixOf(l, i, s, j);
        work += prefixLength + suffixLength;
        consider(j, prefixLength, suffixLength);
        if (work > budget)
        {
            exhaustive = true;
            break;
        }
    }
    if (exhaustive)
    {
        // prefix[j]: common prefix of longtext from i and shorttext from j, from the Z-function of
        // longtext[i..] + separator + shorttext; suffix[j]: common suffix of longtext before i and
        // shorttext before j, likewise on the reversed texts. The seed occurs at j exactly when prefix[j]
        // is at least its length; the occurrences are taken in the same order as above.
        const int head = longLength - i;
        const std::vector<int> prefix = zFunction(
            head + 1 + shortLength,
            [&](int k) {
                return k < head ? int(l[i + k].unicode()) : k == head ? -1 : int(s[k - head - 1].unicode());
            });
        const std::vector<int> suffix =
            zFunction(i + 1 + shortLength,
                      [&](int k)
                      {
                          return k < i    ? int(l[i - 1 - k].unicode())
                                 : k == i ? -1
                                          : int(s[shortLength - 1 - (k - i - 1)].unicode());
                      });
        bestLength = 0;
        found = false;
        const int seedLength = seed.length();
        for (int at = 0; at <= shortLength; ++at)
        {
            const int prefixLength = at < shortLength ? prefix[size_t(head + 1 + at)] : 0;
            if (prefixLength < seedLength)
            {
                continue;
            }
            const int suffixLength = at > 0 ? suffix[size_t(i + 1 + (shortLength - at))] : 0;
            consider(at, prefixLength, suffixLength);
        }
    }
    if (!found || bestLength < longLength / 2)
    {
        return QStringList();
    }
    return QStringList{longtext.left(i - bestSuffix), longtext.mid(i + bestPrefix),
                       shorttext.left(bestJ - bestSuffix), shorttext.mid(bestJ + bestPrefix),
                       shorttext.mid(bestJ - bestSuffix, bestSuffix + bestPrefix)};
}

QList<QVariant> DiffEngine::diff_linesToChars(const QString& text1, const QString& text2)
{
    QStringList lineArray;
    QMap<QString, int> lineHash;
    // Code 0 stays unused.
    lineArray.append(QString(QLatin1String("")));
    const QString chars1 = diff_linesToCharsMunge(text1, lineArray, lineHash);
    const QString chars2 = diff_linesToCharsMunge(text2, lineArray, lineHash);
    QList<QVariant> result;
    result << QVariant::fromValue(chars1) << QVariant::fromValue(chars2) << QVariant::fromValue(lineArray);
    return result;
}

QString DiffEngine::diff_linesToCharsMunge(const QString& text, QStringList& lineArray,
                                           QMap<QString, int>& lineHash)
{
    // One code unit per line holds at most 0xFFFF codes. Near that limit the rest of a text becomes a
    // single line, so that each of the two texts can add at most one more code and every code stays unique.
    const int lastCodes = 0xFFFE;
    QString chars;
    int lineStart = 0;
    int lineEnd = -1;
    while (lineEnd < text.length() - 1)
    {
        if (lineArray.size() >= lastCodes)
        {
            lineEnd = text.length() - 1;
        }
        else
        {
            lineEnd = text.indexOf(QChar(10), lineStart);
            if (lineEnd == -1)
            {
                lineEnd = text.length() - 1;
            }
        }
        const QString line = text.mid(lineStart, lineEnd + 1 - lineStart);
        lineStart = lineEnd + 1;
        const auto known = lineHash.constFind(line);
        if (known != lineHash.constEnd())
        {
            chars += QChar(ushort(known.value()));
        }
        else
        {
            lineArray.append(line);
            lineHash.insert(line, lineArray.size() - 1);
            chars += QChar(ushort(lineArray.size() - 1));
        }
    }
    return chars;
}

void DiffEngine::diff_charsToLines(QList<Diff>& diffs, const QStringList& lineArray)
{
    for (Diff& diff : diffs)
    {
        QString text;
        for (const QChar c : qAsConst(diff.text))
        {
            text += lineArray.value(c.unicode());
        }
        diff.text = text;
    }
}

int DiffEngine::diff_commonPrefix(const QString& text1, const QString& text2)
{
    return commonPrefixOf(text1.constData(), text1.length(), text2.constData(), text2.length());
}

int DiffEngine::diff_commonSuffix(const QString& text1, const QString& text2)
{
    return commonSuffixOf(text1.constData(), text1.length(), text2.constData(), text2.length());
}

} // namespace TextDiff
