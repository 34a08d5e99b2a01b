#include "StoryGenerator.h"

#include <QVector>

#include <algorithm>

namespace
{

const char* const sSyllables[] = {"ka",  "lo",  "mer", "an",  "ti",  "vel", "sor", "ne",
                                  "ra",  "dun", "ble", "ish", "or",  "qua", "pen", "str",
                                  "ath", "el",  "mi",  "os",  "ter", "un",  "ga",  "win"};
const char16_t* const sSpecialWords[] = {u"café", u"naïve", u"façade", u"über", u"Ålesund",
                                         u"déjà", u"it’s",  u"don’t",  u"rôle", u"señor"};
const char16_t* const sSurrogateWords[] = {u"\U0001F30A", u"\U0001F4F0", u"\U0001F3B5"};

const QChar sParagraphEnd(13);

} // namespace

QString StoryGenerator::word()
{
    const int pick = mRandom.bounded(1000);
    if (pick < 30)
    {
        return QString::fromUtf16(sSpecialWords[mRandom.bounded(int(std::size(sSpecialWords)))]);
    }
    if (pick < 33)
    {
        return QString::fromUtf16(sSurrogateWords[mRandom.bounded(int(std::size(sSurrogateWords)))]);
    }
    QString result;
    const int syllables = 1 + mRandom.bounded(3);
    for (int i = 0; i < syllables; ++i)
    {
        result += QLatin1String(sSyllables[mRandom.bounded(int(std::size(sSyllables)))]);
    }
    return result;
}

QString StoryGenerator::sentence()
{
    const int words = 6 + mRandom.bounded(13);
    QString result;
    bool quoted = mRandom.bounded(8) == 0;
    if (quoted)
    {
        result += QChar(0x201C);
    }
    for (int i = 0; i < words; ++i)
    {
        QString w = word();
        if (i == 0)
        {
            w[0] = w[0].toUpper();
        }
        result += w;
        if (i + 1 < words)
        {
            const int mark = mRandom.bounded(40);
            if (mark == 0)
            {
                result += QStringLiteral(" \u2014 ");
            }
            else if (mark < 4)
            {
                result += QStringLiteral(", ");
            }
            else
            {
                result += QLatin1Char(' ');
            }
        }
    }
    const int end = mRandom.bounded(10);
    result += end == 0 ? QLatin1Char('?') : end == 1 ? QLatin1Char('!') : QLatin1Char('.');
    if (quoted)
    {
        result += QChar(0x201D);
    }
    return result;
}

QString StoryGenerator::paragraph()
{
    const int sentences = 3 + mRandom.bounded(5);
    QString result;
    for (int i = 0; i < sentences; ++i)
    {
        if (i > 0)
        {
            result += QLatin1Char(' ');
        }
        result += sentence();
    }
    return result + sParagraphEnd;
}

QString StoryGenerator::story(int units)
{
    QString result;
    result.reserve(units + 2000);
    while (result.length() < units)
    {
        result += paragraph();
    }
    return result;
}

QString StoryGenerator::editWords(const QString& text, int edits)
{
    // Word starts: after a space or a paragraph end.
    QVector<int> starts;
    for (int i = 1; i < text.length(); ++i)
    {
        if ((text[i - 1] == QLatin1Char(' ') || text[i - 1] == sParagraphEnd) && text[i].isLetter())
        {
            starts.append(i);
        }
    }
    // One edit per equal stretch of the text, at a random word inside it, so the edits are spread out.
    QVector<int> chosen;
    for (int e = 0; e < edits; ++e)
    {
        const int from = int(qint64(starts.size()) * e / edits);
        const int to = int(qint64(starts.size()) * (e + 1) / edits);
        if (to > from)
        {
            chosen.append(starts[from + mRandom.bounded(to - from)]);
        }
    }
    QString result = text;
    for (int c = chosen.size() - 1; c >= 0; --c)
    {
        const int at = chosen[c];
        int end = at;
        while (end < result.length() && result[end].isLetter())
        {
            ++end;
        }
        switch (mRandom.bounded(3))
        {
        case 0:
            result.replace(at, end - at, word());
            break;
        case 1:
            result.insert(at, word() + QLatin1Char(' '));
            break;
        default:
            if (end < result.length() && result[end] == QLatin1Char(' '))
            {
                ++end;
            }
            result.remove(at, end - at);
            break;
        }
    }
    return result;
}

QString StoryGenerator::moveParagraphs(const QString& text, int blockUnits)
{
    QVector<int> ends;
    for (int i = 0; i < text.length(); ++i)
    {
        if (text[i] == sParagraphEnd)
        {
            ends.append(i + 1);
        }
    }
    auto boundaryNear = [&](int position)
    { return *std::lower_bound(ends.begin(), ends.end() - 1, position); };
    const int from = boundaryNear(text.length() / 4);
    const int to = boundaryNear(from + blockUnits);
    const QString block = text.mid(from, to - from);
    QString rest = text;
    rest.remove(from, to - from);
    int target = from;
    for (int i = 0; i < rest.length(); ++i)
    {
        if (rest[i] == sParagraphEnd && i + 1 >= rest.length() * 85 / 100)
        {
            target = i + 1;
            break;
        }
    }
    rest.insert(target, block);
    return rest;
}
