#include "DiffEngine.h"

#include <QByteArray>
#include <QDebug>
#include <QElapsedTimer>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace TextDiff
{

namespace
{

const QChar sParagraphEnd(13);

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

bool isUnreservedOrKept(uchar c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
    {
        return true;
    }
    static const char kept[] = "-._~ !*'();/?:@&=+$,#";
    for (const char* p = kept; *p; ++p)
    {
        if (uchar(*p) == c)
        {
            return true;
        }
    }
    return false;
}

// UTF-8 of a UTF-16 text, with unpaired surrogates written as their own three-byte sequences.
QByteArray toByteForm(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    const int n = text.size();
    const QChar* data = text.constData();
    for (int i = 0; i < n; ++i)
    {
        uint cp = data[i].unicode();
        if (QChar::isHighSurrogate(cp) && i + 1 < n && data[i + 1].isLowSurrogate())
        {
            cp = QChar::surrogateToUcs4(data[i], data[i + 1]);
            ++i;
        }
        if (cp < 0x80)
        {
            bytes.append(char(cp));
        }
        else if (cp < 0x800)
        {
            bytes.append(char(0xC0 | (cp >> 6)));
            bytes.append(char(0x80 | (cp & 0x3F)));
        }
        else if (cp < 0x10000)
        {
            bytes.append(char(0xE0 | (cp >> 12)));
            bytes.append(char(0x80 | ((cp >> 6) & 0x3F)));
            bytes.append(char(0x80 | (cp & 0x3F)));
        }
        else
        {
            bytes.append(char(0xF0 | (cp >> 18)));
            bytes.append(char(0x80 | ((cp >> 12) & 0x3F)));
            bytes.append(char(0x80 | ((cp >> 6) & 0x3F)));
            bytes.append(char(0x80 | (cp & 0x3F)));
        }
    }
    return bytes;
}

// The inverse of toByteForm; a malformed sequence gives one replacement character per byte.
QString fromByteForm(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    const int n = bytes.size();
    const uchar* b = reinterpret_cast<const uchar*>(bytes.constData());
    int i = 0;
    while (i < n)
    {
        const uchar lead = b[i];
        if (lead < 0x80)
        {
            text.append(QChar(lead));
            ++i;
            continue;
        }
        int extra = 0;
        uint cp = 0;
        uint minimum = 0;
        if ((lead & 0xE0) == 0xC0)
        {
            extra = 1;
            cp = lead & 0x1F;
            minimum = 0x80;
        }
        else if ((lead & 0xF0) == 0xE0)
        {
            extra = 2;
            cp = lead & 0x0F;
            minimum = 0x800;
        }
        else if ((lead & 0xF8) == 0xF0)
        {
            extra = 3;
            cp = lead & 0x07;
            minimum = 0x10000;
        }
        bool valid = extra > 0 && i + extra < n;
        for (int k = 1; valid && k <= extra; ++k)
        {
            if ((b[i + k] & 0xC0) != 0x80)
            {
                valid = false;
            }
            else
            {
                cp = (cp << 6) | (b[i + k] & 0x3F);
            }
        }
        if (valid && (cp < minimum || cp > 0x10FFFF))
        {
            valid = false;
        }
        if (!valid)
        {
            text.append(QChar(QChar::ReplacementCharacter));
            ++i;
            continue;
        }
        if (cp >= 0x10000)
        {
            text.append(QChar(QChar::highSurrogate(cp)));
            text.append(QChar(QChar::lowSurrogate(cp)));
        }
        else
        {
            text.append(QChar(ushort(cp)));
        }
        i += extra + 1;
    }
    return text;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
    {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f')
    {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F')
    {
        return c - 'A' + 10;
    }
    return -1;
}

void appendDiff(QList<Diff>& diffs, Operation op, const QString& text)
{
    diffs.append(Diff(op, text, false));
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

bool SplitDiff(Diff& diff, Diff* (&parts)[2], bool atStart)
{
    int first = diff.text.indexOf(sParagraphEnd);
    if (first < 0)
    {
        if (atStart)
        {
            parts[1] = new Diff(EQUAL, diff.text, false);
            diff.text = QString();
        }
        return false;
    }
    const int last = diff.text.lastIndexOf(sParagraphEnd);
    if (last < diff.text.length() - 1)
    {
        parts[1] = new Diff(EQUAL, diff.text.mid(last + 1), false);
        diff.text.truncate(last + 1);
    }
    if (atStart)
    {
        first = -1;
    }
    if (first != last)
    {
        parts[0] = new Diff(EQUAL, diff.text.mid(first + 1), false);
        diff.text.truncate(first + 1);
    }
    return true;
}

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
    {
        const bool firstLonger = text1.length() > text2.length();
        const QString& longtext = firstLonger ? text1 : text2;
        const QString& shorttext = firstLonger ? text2 : text1;
        const int i = findText(longtext, shorttext, 0);
        if (i != -1)
        {
            const Operation op = firstLonger ? DELETE : INSERT;
            appendDiff(diffs, op, longtext.left(i));
            appendDiff(diffs, EQUAL, shorttext);
            appendDiff(diffs, op, longtext.mid(i + shorttext.length()));
            return diffs;
        }
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
    return diffs;
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

// ---------------------------------------------------------------------------------------------------------
// Clean-ups

void DiffEngine::diff_cleanupMerge(QList<Diff>& diffs)
{
    bool changes = true;
    while (changes)
    {
        changes = false;
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
                    const int first = i - countDelete - countInsert;
                    diffs.erase(diffs.begin() + first, diffs.begin() + i);
                    i = first;
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
                    if (textDelete.isEmpty() && textInsert.isEmpty() && i > 0 &&
                        diffs[i - 1].operation == EQUAL)
                    {
                        // Nothing was left between two equalities (empty edits, or edits that cancelled
                        // out): join them, so that no two neighbours share an operation.
                        diffs[i - 1].text += diffs[i].text;
                        diffs.removeAt(i);
                        --i;
                    }
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

        // Single edits between two equalities that can slide over one of them, e.g. A<ins>BA</ins>C
        // becomes <ins>AB</ins>AC.
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
    }
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

QString DiffEngine::encodeText(const QString& text)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = toByteForm(text);
    QString encoded;
    encoded.reserve(bytes.size());
    for (const char byte : bytes)
    {
        const uchar c = uchar(byte);
        if (isUnreservedOrKept(c))
        {
            encoded += QLatin1Char(char(c));
        }
        else
        {
            encoded += QLatin1Char('%');
            encoded += QLatin1Char(hex[c >> 4]);
            encoded += QLatin1Char(hex[c & 0xF]);
        }
    }
    return encoded;
}

QString DiffEngine::decodeText(const QString& encoded)
{
    const QByteArray bytes = toByteForm(encoded);
    QByteArray decoded;
    decoded.reserve(bytes.size());
    const int n = bytes.size();
    for (int i = 0; i < n; ++i)
    {
        if (bytes[i] == '%' && i + 2 < n)
        {
            const int high = hexValue(bytes[i + 1]);
            const int low = hexValue(bytes[i + 2]);
            if (high >= 0 && low >= 0)
            {
                decoded.append(char((high << 4) | low));
                i += 2;
                continue;
            }
        }
        decoded.append(bytes[i]);
    }
    return fromByteForm(decoded);
}

QString DiffEngine::diff_toDelta(const QList<Diff>& diffs)
{
    QString text;
    for (const Diff& diff : diffs)
    {
        switch (diff.operation)
        {
        case INSERT:
            text += QLatin1Char('+') + encodeText(diff.text) + QLatin1Char('\t');
            break;
        case DELETE:
            text += QLatin1Char('-') + QString::number(diff.text.length()) + QLatin1Char('\t');
            break;
        case EQUAL:
            text += QLatin1Char('=') + QString::number(diff.text.length()) + QLatin1Char('\t');
            break;
        }
    }
    if (!text.isEmpty())
    {
        text.chop(1);
    }
    return text;
}

QList<Diff> DiffEngine::diff_fromDelta(const QString& text1, const QString& delta)
{
    QList<Diff> diffs;
    qint64 pointer = 0;
    const QStringList tokens = delta.split(QLatin1Char('\t'));
    for (const QString& token : tokens)
    {
        if (token.isEmpty())
        {
            continue;
        }
        const QString param = token.mid(1);
        const QChar sign = token[0];
        if (sign == QLatin1Char('+'))
        {
            appendDiff(diffs, INSERT, decodeText(param));
        }
        else if (sign == QLatin1Char('-') || sign == QLatin1Char('='))
        {
            bool ok = false;
            int n = param.toInt(&ok);
            if (!ok)
            {
                n = 0;
            }
            if (n < 0)
            {
                throw QString(QStringLiteral("Negative number in diff_fromDelta: %1")).arg(param);
            }
            const int from = int(std::min<qint64>(pointer, text1.length()));
            const QString text = text1.mid(from, n);
            pointer += n;
            appendDiff(diffs, sign == QLatin1Char('=') ? EQUAL : DELETE, text);
        }
        else
        {
            throw QString(QStringLiteral("Invalid diff operation in diff_fromDelta: %1")).arg(sign);
        }
    }
    if (pointer != text1.length())
    {
        throw QString(QStringLiteral("Delta length (%1) smaller than source text length (%2)"))
            .arg(pointer)
            .arg(text1.length());
    }
    return diffs;
}

// ---------------------------------------------------------------------------------------------------------
// Patches and rows

QList<UnitPatch> DiffEngine::patch_make(const QString& text1, const QString& text2)
{
    QList<Diff> diffs = diff_main(text1, text2, true);
    if (diffs.size() > 2)
    {
        diff_cleanupSemantic(diffs);
        diff_cleanupEfficiency(diffs);
    }
    return patch_make(text1, diffs, false);
}

QList<UnitPatch> DiffEngine::patch_make(const QList<Diff>& diffs)
{
    return patch_make(diff_text1(diffs), diffs, false);
}

QList<UnitPatch> DiffEngine::patch_make(const QString& text1, const QString& text2, const QList<Diff>& diffs)
{
    Q_UNUSED(text2)
    return patch_make(text1, diffs, false);
}

QList<UnitPatch> DiffEngine::patch_make(const QString& text1, const QList<Diff>& diffs, bool perLine)
{
    Q_UNUSED(text1)
    QList<UnitPatch> rows;
    if (diffs.isEmpty())
    {
        return rows;
    }
    const int margin2 = 2 * Patch_Margin;
    Patch patch;
    QList<Patch> group;
    int group1 = 0;
    int group2 = 0;
    int chars1 = 0;
    int chars2 = 0;
    std::unique_ptr<Diff> tail;

    auto flushRow = [&](bool isChange)
    {
        UnitPatch row(isChange, false, false);
        row.patches = group;
        row.length1 = group1;
        row.length2 = group2;
        rows.append(row);
        group.clear();
        group1 = 0;
        group2 = 0;
    };
    auto unchangedRow = [&](const Diff& diff, int start1, int start2)
    {
        Patch single;
        appendDiff(single.diffs, EQUAL, diff.text);
        single.start1 = start1;
        single.start2 = start2;
        single.length1 = diff.text.length();
        single.length2 = diff.text.length();
        UnitPatch row(false, false, false);
        row.patches.append(single);
        row.length1 = single.length1;
        row.length2 = single.length2;
        rows.append(row);
    };

    for (int index = 0; index < diffs.size(); ++index)
    {
        Diff diff = diffs[index];
        if (diff.operation == EQUAL && tail)
        {
            // Two equalities in a row: read them as one, so that the pending tail is neither lost nor
            // counted twice.
            chars1 -= tail->text.length();
            chars2 -= tail->text.length();
            diff.text.prepend(tail->text);
            tail.reset();
        }
        if (patch.diffs.isEmpty() && (perLine || diff.operation != EQUAL))
        {
            patch.start1 = chars1;
            patch.start2 = chars2;
        }

        if (diff.operation != EQUAL)
        {
            if (tail)
            {
                const int length = tail->text.length();
                patch.diffs.append(*tail);
                patch.start1 -= length;
                patch.start2 -= length;
                patch.length1 += length;
                patch.length2 += length;
                tail.reset();
            }
            patch.diffs.append(diff);
            if (diff.operation == INSERT)
            {
                patch.length2 += diff.text.length();
            }
            else
            {
                patch.length1 += diff.text.length();
            }
        }
        else
        {
            Diff* parts[2] = {nullptr, nullptr};
            const bool split = SplitDiff(diff, parts, chars1 == 0 && chars2 == 0);
            std::unique_ptr<Diff> block(parts[0]);
            tail.reset(parts[1]);

            // Only the very last diff may stay out of the patch: a short equality elsewhere whose text
            // happens to equal the last one is still part of the patch, or the patch would lose it.
            bool appended = false;
            if (!split && diff.text.length() <= margin2 && !patch.diffs.isEmpty() &&
                index != diffs.size() - 1)
            {
                patch.diffs.append(diff);
                patch.length1 += diff.text.length();
                patch.length2 += diff.text.length();
                appended = true;
            }
            if (diff.text.length() >= margin2 || split)
            {
                const bool emptyPatch = patch.diffs.isEmpty();
                // Per line, unchanged text ahead of a line's first change belongs to no patch: nothing to
                // close.
                if (!(emptyPatch && perLine && !split))
                {
                    if (!emptyPatch || perLine)
                    {
                        if (!appended && !diff.text.isEmpty())
                        {
                            patch.diffs.append(diff);
                            patch.length1 += diff.text.length();
                            patch.length2 += diff.text.length();
                        }
                        if (!patch.diffs.isEmpty())
                        {
                            group.append(patch);
                            group1 += patch.length1;
                            group2 += patch.length2;
                            patch = Patch();
                        }
                    }
                    if (split && !group.isEmpty())
                    {
                        const bool onlyEquality = perLine && group.size() == 1 &&
                                                  group[0].diffs.size() == 1 &&
                                                  group[0].diffs[0].operation == EQUAL;
                        flushRow(!onlyEquality);
                    }
                }
            }
            if (block)
            {
                unchangedRow(*block, chars1 + diff.text.length(), chars2 + diff.text.length());
            }
            const int cut = (block ? block->text.length() : 0) + (tail ? tail->text.length() : 0);
            chars1 += cut;
            chars2 += cut;
        }

        if (diff.operation != INSERT)
        {
            chars1 += diff.text.length();
        }
        if (diff.operation != DELETE)
        {
            chars2 += diff.text.length();
        }
    }

    if (!patch.diffs.isEmpty())
    {
        group.append(patch);
        group1 += patch.length1;
        group2 += patch.length2;
    }
    if (!group.isEmpty())
    {
        flushRow(true);
    }
    if (tail)
    {
        const int length = tail->text.length();
        unchangedRow(*tail, chars1 - length, chars2 - length);
    }
    return rows;
}

QString DiffEngine::patch_toText(const QList<Patch>& patches)
{
    QString text;
    for (const Patch& patch : patches)
    {
        text += patch.toString();
    }
    return text;
}

namespace
{

// Patch text may hold any character; a message shows control characters escaped, so that printing it
// whole is safe (a NUL would end it early).
QString printable(const QString& text)
{
    QString out;
    for (const QChar c : text)
    {
        const ushort u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
        {
            out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        }
        else
        {
            out += c;
        }
    }
    return out;
}

// No text reaches this far: a QString holds less than 2^30 units, and patch_apply adds margins and
// offsets to these numbers in int.
const qint64 sMaxPatchReach = qint64(1) << 29;

} // namespace

QList<Patch> DiffEngine::patch_fromText(const QString& text)
{
    QList<Patch> patches;
    if (text.isEmpty())
    {
        return patches;
    }
    static const QRegularExpression header(
        QStringLiteral("\\A@@ -([0-9]+),?([0-9]*) \\+([0-9]+),?([0-9]*) @@\\z"));
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    qint64 reach1 = 0;
    qint64 reach2 = 0;
    int index = 0;
    while (index < lines.size())
    {
        const QString& line = lines[index];
        const QRegularExpressionMatch match = header.match(line);
        const QString invalid = QString(QStringLiteral("Invalid patch string: %1")).arg(printable(line));
        if (!match.hasMatch())
        {
            throw invalid;
        }
        // Numbers too large for the offsets make the header as invalid as a malformed one.
        auto number = [&](int group)
        {
            bool ok = false;
            const int value = match.captured(group).toInt(&ok);
            if (!ok || value > sMaxPatchReach)
            {
                throw invalid;
            }
            return value;
        };
        Patch patch;
        // Lengths are compared by value, so that leading zeros ("00") read as the number they write.
        // A side with text starts at 1 or later; start 0 stands only before an empty side.
        auto readSide = [&](int startGroup, int& start, int& length)
        {
            start = number(startGroup);
            const QString lengthText = match.captured(startGroup + 1);
            length = lengthText.isEmpty() ? 1 : number(startGroup + 1);
            if (length != 0)
            {
                --start;
            }
            if (start < 0 || qint64(start) + length > sMaxPatchReach)
            {
                throw invalid;
            }
        };
        readSide(1, patch.start1, patch.length1);
        readSide(3, patch.start2, patch.length2);
        // patch_apply shifts later patches by the length changes of earlier ones.
        reach1 += patch.length1;
        reach2 += patch.length2;
        if (reach1 > sMaxPatchReach || reach2 > sMaxPatchReach)
        {
            throw invalid;
        }
        ++index;

        while (index < lines.size())
        {
            const QString& body = lines[index];
            if (body.isEmpty())
            {
                ++index;
                continue;
            }
            const QChar sign = body[0];
            if (sign == QLatin1Char('@'))
            {
                break;
            }
            QString rest = body.mid(1);
            rest.replace(QLatin1Char('+'), QLatin1String("%2B"));
            const QString decoded = decodeText(rest);
            if (sign == QLatin1Char('-'))
            {
                appendDiff(patch.diffs, DELETE, decoded);
            }
            else if (sign == QLatin1Char('+'))
            {
                appendDiff(patch.diffs, INSERT, decoded);
            }
            else if (sign == QLatin1Char(' '))
            {
                appendDiff(patch.diffs, EQUAL, decoded);
            }
            else
            {
                throw QString(QStringLiteral("Invalid patch mode '%1' in: %2"))
                    .arg(printable(QString(sign)), printable(decoded));
            }
            ++index;
        }
        patches.append(patch);
    }
    return patches;
}

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

    double threshold = Match_Threshold;
    int best = text.indexOf(pattern, loc);
    if (best != -1)
    {
        threshold = std::min(match_bitapScore(0, best, loc, pattern), threshold);
    }
    best = text.lastIndexOf(pattern, loc + patternLength);
    if (best != -1)
    {
        threshold = std::min(match_bitapScore(0, best, loc, pattern), threshold);
    }

    const quint64 matchmask = quint64(1) << (patternLength - 1);
    best = -1;
    int binMax = patternLength + text.length();
    std::vector<quint64> rd;
    std::vector<quint64> lastRd;
    for (int d = 0; d < patternLength; ++d)
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
            bool empty = true;
            patch.start1 = start1 - precontext.length();
            patch.start2 = start2 - precontext.length();
            if (!precontext.isEmpty())
            {
                patch.length1 = precontext.length();
                patch.length2 = precontext.length();
                appendDiff(patch.diffs, EQUAL, precontext);
            }
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
                    empty = false;
                }
                else if (diffType == DELETE && patch.diffs.size() == 1 &&
                         patch.diffs.first().operation == EQUAL && diffText.length() > 2 * patchSize)
                {
                    // A large deletion passes in one piece.
                    patch.length1 += diffText.length();
                    start1 += diffText.length();
                    empty = false;
                    appendDiff(patch.diffs, diffType, diffText);
                    bigpatch.diffs.removeFirst();
                }
                else
                {
                    const int take =
                        std::max(1, std::min(diffText.length(), patchSize - patch.length1 - Patch_Margin));
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
                        empty = false;
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
