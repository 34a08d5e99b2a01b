#include "DiffEngine.h"

#include <QHash>

namespace TextDiff
{

namespace
{

// A word is a run of letters and digits (and the marks that go with them); every other unit is a token of
// its own.
bool isWordUnit(QChar unit)
{
    return unit.isLetterOrNumber() || unit.isMark();
}

// Each distinct token as one code unit, outside the surrogates: the engine then aligns whole tokens. Null
// when there are more distinct tokens than units to stand for them.
class Tokens
{
public:
    QString encode(const QString& text)
    {
        QString encoded;
        encoded.reserve(text.size());
        for (int i = 0; i < text.size();)
        {
            int end = i + 1;
            if (isWordUnit(text.at(i)))
            {
                while (end < text.size() && isWordUnit(text.at(end)))
                {
                    ++end;
                }
            }
            const QString token = text.mid(i, end - i);
            int id = mIds.value(token, -1);
            if (id < 0)
            {
                id = mTokens.size();
                if (id >= sUnits)
                {
                    return QString();
                }
                mTokens << token;
                mIds.insert(token, id);
            }
            encoded += unit(id);
            i = end;
        }
        return encoded;
    }

    QString decode(const QString& encoded) const
    {
        QString text;
        for (QChar unit : encoded)
        {
            text += mTokens.at(id(unit));
        }
        return text;
    }

private:
    // 1 to 0xD7FF, then 0xE000 to 0xFFFF.
    static constexpr int sLow = 0xD7FF;
    static constexpr int sUnits = sLow + 0x2000;
    static QChar unit(int id) { return QChar(ushort(id < sLow ? id + 1 : id - sLow + 0xE000)); }
    static int id(QChar unit)
    {
        return unit.unicode() < 0xE000 ? unit.unicode() - 1 : unit.unicode() - 0xE000 + sLow;
    }

    QStringList mTokens;
    QHash<QString, int> mIds;
};

} // namespace

QList<Diff> DiffEngine::diff_words(const QString& text1, const QString& text2)
{
    Tokens tokens;
    const QString encoded1 = tokens.encode(text1);
    const QString encoded2 = encoded1.isNull() ? QString() : tokens.encode(text2);
    if (encoded1.isNull() || encoded2.isNull())
    {
        return diff_main(text1, text2, false);
    }
    QList<Diff> diffs = diff_main(encoded1, encoded2, false);
    // Not merged again: a merge would move the letters that a changed word shares with its replacement
    // out of the change.
    for (Diff& diff : diffs)
    {
        diff.text = tokens.decode(diff.text);
    }
    return diffs;
}

} // namespace TextDiff
