#include "DiffTestSupport.h"

#include <algorithm>
#include <vector>

using TextDiff::Diff;

namespace DiffTestSupport
{

namespace
{

QString visible(const QString& text)
{
    QString shown;
    for (const QChar c : text)
    {
        if (c.unicode() == 13)
        {
            shown += QLatin1String("\\r");
        }
        else if (c.unicode() == 10)
        {
            shown += QLatin1String("\\n");
        }
        else if (c.unicode() < 32 || c.isSurrogate())
        {
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        }
        else
        {
            shown += c;
        }
    }
    return shown;
}

const QString sWords[] = {
    QStringLiteral("the"),       QStringLiteral("harbour"),
    QStringLiteral("light"),     QStringLiteral("\u201cnever\u201d"),
    QStringLiteral("sleeps"),    QStringLiteral("\u2014"),
    QStringLiteral("café"),      QStringLiteral("ships"),
    QStringLiteral("came"),      QStringLiteral("in,"),
    QStringLiteral("slowly"),    QStringLiteral("\U0001F30A"),
    QStringLiteral("and"),       QStringLiteral("left."),
    QStringLiteral("it\u2019s"), QStringLiteral("a"),
};

QString storyText(QRandomGenerator& rng, int length)
{
    QString text;
    while (text.length() < length)
    {
        text += sWords[rng.bounded(int(sizeof(sWords) / sizeof(sWords[0])))];
        text += rng.bounded(8) == 0 ? QChar(13) : QChar(' ');
    }
    text.truncate(length);
    // Never leave half a surrogate pair at the cut.
    if (!text.isEmpty() && QChar(text.back()).isHighSurrogate())
    {
        text.chop(1);
    }
    return text;
}

QString mutateWords(QRandomGenerator& rng, const QString& text, int edits)
{
    QString result = text;
    for (int e = 0; e < edits && !result.isEmpty(); ++e)
    {
        int at = rng.bounded(result.length());
        while (at > 0 && QChar(result[at]).isLowSurrogate())
        {
            --at;
        }
        const QString word = sWords[rng.bounded(int(sizeof(sWords) / sizeof(sWords[0])))];
        switch (rng.bounded(3))
        {
        case 0:
            result.insert(at, word + QLatin1Char(' '));
            break;
        case 1:
        {
            int end = std::min(result.length(), at + 1 + rng.bounded(8));
            while (end < result.length() && QChar(result[end]).isLowSurrogate())
            {
                ++end;
            }
            result.remove(at, end - at);
            break;
        }
        default:
        {
            int end = std::min(result.length(), at + 1 + rng.bounded(6));
            while (end < result.length() && QChar(result[end]).isLowSurrogate())
            {
                ++end;
            }
            result.replace(at, end - at, word);
            break;
        }
        }
    }
    return result;
}

} // namespace

QString describe(const QList<Diff>& diffs)
{
    QStringList parts;
    for (const Diff& diff : diffs)
    {
        const char sign = diff.operation == TextDiff::EQUAL    ? '='
                          : diff.operation == TextDiff::INSERT ? '+'
                                                               : '-';
        parts << QLatin1Char(sign) + visible(diff.text) +
                     (diff.isContext ? QStringLiteral("(ctx)") : QString());
    }
    return QLatin1Char('[') + parts.join(QLatin1Char(' ')) + QLatin1Char(']');
}

QString describe(const TextDiff::Patch& patch)
{
    return QStringLiteral("Patch(%1,%2 %3,%4 %5)")
        .arg(patch.start1)
        .arg(patch.length1)
        .arg(patch.start2)
        .arg(patch.length2)
        .arg(describe(patch.diffs));
}

QString randomText(QRandomGenerator& rng, int length, const QString& alphabet)
{
    QString text;
    text.reserve(length);
    for (int i = 0; i < length; ++i)
    {
        text += alphabet[rng.bounded(alphabet.length())];
    }
    return text;
}

QString mutate(QRandomGenerator& rng, const QString& text, int edits, const QString& alphabet)
{
    QString result = text;
    for (int e = 0; e < edits; ++e)
    {
        const int at = result.isEmpty() ? 0 : rng.bounded(result.length() + 1);
        const int kind = rng.bounded(3);
        if (kind == 0 || result.isEmpty())
        {
            result.insert(at, randomText(rng, 1 + rng.bounded(4), alphabet));
        }
        else if (kind == 1)
        {
            result.remove(at, 1 + rng.bounded(4));
        }
        else
        {
            result.replace(at, 1 + rng.bounded(3), randomText(rng, 1 + rng.bounded(3), alphabet));
        }
    }
    return result;
}

QVector<TextPair> generatePairs(quint32 seed, int count, int maxLength)
{
    QRandomGenerator rng(seed);
    const QString binary = QStringLiteral("ab");
    const QString small = QStringLiteral("abcd");
    const QString paragraphs = QStringLiteral("ab \r");
    const QString wide = QStringLiteral("abcdefghij \r\u00e9\u2014");
    const QString surrogates = QStringLiteral("a\U0001F600\U0001F601b");
    QVector<TextPair> pairs;
    pairs.reserve(count);
    for (int n = 0; n < count; ++n)
    {
        const int length = rng.bounded(maxLength + 1);
        TextPair pair;
        switch (n % 12)
        {
        case 0:
            pair.name = QStringLiteral("binary alphabet");
            pair.text1 = randomText(rng, length, binary);
            pair.text2 = randomText(rng, rng.bounded(maxLength + 1), binary);
            break;
        case 1:
            pair.name = QStringLiteral("four letters, few edits");
            pair.text1 = randomText(rng, length, small);
            pair.text2 = mutate(rng, pair.text1, 1 + rng.bounded(6), small);
            break;
        case 2:
            pair.name = QStringLiteral("paragraphs");
            pair.text1 = randomText(rng, length, paragraphs);
            pair.text2 = mutate(rng, pair.text1, 1 + rng.bounded(10), paragraphs);
            break;
        case 3:
            pair.name = QStringLiteral("surrogate pairs");
            pair.text1 = randomText(rng, length / 2, surrogates);
            pair.text2 = mutate(rng, pair.text1, 1 + rng.bounded(5), surrogates);
            break;
        case 4:
            pair.name = QStringLiteral("long repeats");
            pair.text1 = QString(length, QLatin1Char('a'));
            pair.text2 = mutate(rng, pair.text1, 1 + rng.bounded(3), binary);
            break;
        case 5:
        {
            pair.name = QStringLiteral("moved block");
            const QString a = storyText(rng, length / 3);
            const QString b = storyText(rng, length / 3);
            const QString c = storyText(rng, length / 3);
            pair.text1 = a + b + c;
            pair.text2 = a + c + b;
            break;
        }
        case 6:
            pair.name = QStringLiteral("unrelated");
            pair.text1 = randomText(rng, length, wide);
            pair.text2 = randomText(rng, rng.bounded(maxLength + 1), wide);
            break;
        case 7:
            pair.name = QStringLiteral("story with word edits");
            pair.text1 = storyText(rng, length);
            pair.text2 = mutateWords(rng, pair.text1, 1 + rng.bounded(8));
            break;
        case 8:
            pair.name = QStringLiteral("tiny");
            pair.text1 = randomText(rng, rng.bounded(3), small);
            pair.text2 = randomText(rng, rng.bounded(3), small);
            break;
        case 9:
            pair.name = QStringLiteral("one side much shorter");
            pair.text1 = randomText(rng, length, small);
            pair.text2 = randomText(rng, rng.bounded(1 + maxLength / 8), small);
            break;
        case 10:
        {
            pair.name = QStringLiteral("periodic");
            const QString unit1 = randomText(rng, 1 + rng.bounded(4), small);
            const QString unit2 = randomText(rng, 1 + rng.bounded(4), small);
            pair.text1 = unit1.repeated(1 + length / unit1.length()).left(length);
            pair.text2 = unit2.repeated(1 + length / unit2.length()).left(rng.bounded(maxLength + 1));
            break;
        }
        default:
            pair.name = QStringLiteral("many edits");
            pair.text1 = randomText(rng, length, wide);
            pair.text2 = mutate(rng, pair.text1, length / 4 + 1, wide);
            break;
        }
        pair.name += QStringLiteral(" #%1").arg(n);
        pairs.append(pair);
    }
    return pairs;
}

int shortestEditCount(const QString& text1, const QString& text2)
{
    const int n = text1.length();
    const int m = text2.length();
    // furthest[m + k]: the largest x on diagonal k = x - y reached with the edits so far; diagonals run
    // from -m to n.
    std::vector<int> furthest(size_t(n + m + 1), -1);
    auto at = [&](int k) -> int& { return furthest[size_t(m + k)]; };
    for (int d = 0; d <= n + m; ++d)
    {
        for (int k = std::max(-d, -m); k <= std::min(d, n); ++k)
        {
            if (((k + d) & 1) != 0)
            {
                continue;
            }
            int x = -1;
            if (d == 0)
            {
                x = 0;
            }
            // One insertion from diagonal k + 1, or one deletion from diagonal k - 1, as of step d - 1.
            if (d > 0 && k + 1 <= std::min(d - 1, n) && at(k + 1) >= 0 && at(k + 1) - k <= m)
            {
                x = std::max(x, at(k + 1));
            }
            if (d > 0 && k - 1 >= std::max(-(d - 1), -m) && at(k - 1) >= 0 && at(k - 1) + 1 <= n)
            {
                x = std::max(x, at(k - 1) + 1);
            }
            if (x < 0)
            {
                continue;
            }
            int y = x - k;
            while (x < n && y < m && text1[x] == text2[y])
            {
                ++x;
                ++y;
            }
            at(k) = x;
            if (x == n && y == m)
            {
                return d;
            }
        }
    }
    return -1;
}

int editCount(const QList<Diff>& diffs)
{
    int count = 0;
    for (const Diff& diff : diffs)
    {
        count += diff.operation == TextDiff::EQUAL ? 0 : diff.text.length();
    }
    return count;
}

} // namespace DiffTestSupport
