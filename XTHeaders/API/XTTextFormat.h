#pragma once

// Text formatting as the host hands it over: runs of attributes over a range
// of a story, each attribute a name and a value. The host describes a
// character by the attributes of its run and its paragraph by the paragraph
// attributes (paragraphStyle, align, ...) of every character in it, so two
// ranges are formatted alike exactly when their runs are equal.
//
// On the wire (GetTextFormatting, SetTextFormatting) the runs are one
// string: per run, its offset from the range's start in decimal, then per
// attribute U+001F, the name, U+001E, the value; runs are separated by
// U+001D. Names and values hold none of the three separators.

#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace XT
{

// Name -> value, sorted by name; names are unique and no value is empty.
using TextAttributes = QVector<QPair<QString, QString>>;

struct FormatRun
{
    int32_t mOffset = 0;
    TextAttributes mAttributes;

    bool operator==(const FormatRun& other) const
    {
        return mOffset == other.mOffset && mAttributes == other.mAttributes;
    }
    bool operator!=(const FormatRun& other) const { return !(*this == other); }
};

// Ascending offsets; a run lasts until the next one (the last to the end of
// the range). No runs: the range has no formatting at all.
using FormatRuns = std::vector<FormatRun>;

// The attributes the host knows, with the kind of value each takes: a name
// (of a font, a colour, a style), a number, a flag ("yes") or one of the
// alignments.
enum class AttributeKind
{
    Name,
    Number,
    Flag,
    Alignment
};

struct AttributeInfo
{
    const char* mName;
    AttributeKind mKind;
    bool mParagraph;
    const char* mLabel; // as a user reads it
    const char* mUnit;  // after a number: " pt", "%" or nothing
};

inline const std::vector<AttributeInfo>& KnownAttributes()
{
    static const std::vector<AttributeInfo> known = {
        {"font", AttributeKind::Name, false, "font", ""},
        {"size", AttributeKind::Number, false, "size", " pt"},
        {"colour", AttributeKind::Name, false, "colour", ""},
        {"shade", AttributeKind::Number, false, "shade", "%"},
        {"bold", AttributeKind::Flag, false, "bold", ""},
        {"italic", AttributeKind::Flag, false, "italic", ""},
        {"underline", AttributeKind::Flag, false, "underline", ""},
        {"underlineWords", AttributeKind::Flag, false, "underlined words", ""},
        {"strike", AttributeKind::Flag, false, "strike-through", ""},
        {"smallCaps", AttributeKind::Flag, false, "small caps", ""},
        {"allCaps", AttributeKind::Flag, false, "all caps", ""},
        {"superscript", AttributeKind::Flag, false, "superscript", ""},
        {"subscript", AttributeKind::Flag, false, "subscript", ""},
        {"outline", AttributeKind::Flag, false, "outline", ""},
        {"shadow", AttributeKind::Flag, false, "shadow", ""},
        {"characterStyle", AttributeKind::Name, false, "character style", ""},
        {"tracking", AttributeKind::Number, false, "tracking", ""},
        {"scale", AttributeKind::Number, false, "horizontal scale", "%"},
        {"paragraphStyle", AttributeKind::Name, true, "paragraph style", ""},
        {"align", AttributeKind::Alignment, true, "alignment", ""},
        {"leftIndent", AttributeKind::Number, true, "left indent", " pt"},
        {"rightIndent", AttributeKind::Number, true, "right indent", " pt"},
        {"firstIndent", AttributeKind::Number, true, "first-line indent", " pt"},
        {"spaceBefore", AttributeKind::Number, true, "space before", " pt"},
        {"spaceAfter", AttributeKind::Number, true, "space after", " pt"},
        {"leading", AttributeKind::Number, true, "leading", " pt"},
        // The paragraph's own character settings, which its characters
        // take where they set none.
        {"paragraphFont", AttributeKind::Name, true, "paragraph font", ""},
        {"paragraphSize", AttributeKind::Number, true, "paragraph size", " pt"},
        {"paragraphColour", AttributeKind::Name, true, "paragraph colour", ""},
        {"paragraphShade", AttributeKind::Number, true, "paragraph shade", "%"},
        {"paragraphCharacterStyle", AttributeKind::Name, true, "paragraph character style", ""},
    };
    return known;
}

inline const AttributeInfo* FindAttribute(const QString& name)
{
    // Looked up for every attribute of every run a story is read, compared
    // or written with, so by hash rather than by going down the list.
    static const QHash<QString, const AttributeInfo*> byName = []
    {
        QHash<QString, const AttributeInfo*> names;
        for (const AttributeInfo& info : KnownAttributes())
            names.insert(QLatin1String(info.mName), &info);
        return names;
    }();
    return byName.value(name, nullptr);
}

inline bool IsParagraphAttribute(const QString& name)
{
    const AttributeInfo* info = FindAttribute(name);
    return info && info->mParagraph;
}

// The alignments, as the values of "align".
inline const char* const* Alignments()
{
    static const char* const names[] = {"left", "centre", "right", "justified", "forced", nullptr};
    return names;
}

// A number as attribute values write it: shortest decimal form.
inline QString NumberText(double value)
{
    return QString::number(value, 'g', 12);
}

// Sets (or, with an empty value, removes) one attribute, keeping the order.
inline void SetAttribute(TextAttributes& attributes, const QString& name, const QString& value)
{
    auto it = std::lower_bound(attributes.begin(), attributes.end(), name,
                               [](const QPair<QString, QString>& entry, const QString& key) { return entry.first < key; });
    if (it != attributes.end() && it->first == name)
    {
        if (value.isEmpty())
            attributes.erase(it);
        else
            it->second = value;
        return;
    }
    if (!value.isEmpty())
        attributes.insert(it, qMakePair(name, value));
}

inline QString AttributeValue(const TextAttributes& attributes, const QString& name)
{
    for (const auto& entry : attributes)
        if (entry.first == name)
            return entry.second;
    return QString();
}

// The attributes of one kind only: those of the paragraph, or those of the
// character.
inline TextAttributes ParagraphPart(const TextAttributes& attributes, bool paragraph)
{
    TextAttributes part;
    for (const auto& entry : attributes)
        if (IsParagraphAttribute(entry.first) == paragraph)
            part.append(entry);
    return part;
}

// The attributes that runs give the unit at `offset`.
inline const TextAttributes& AttributesAt(const FormatRuns& runs, int offset)
{
    static const TextAttributes none;
    auto it = std::upper_bound(runs.begin(), runs.end(), offset,
                               [](int value, const FormatRun& run) { return value < run.mOffset; });
    return it == runs.begin() ? none : std::prev(it)->mAttributes;
}

// Where `length` units from startA under runs `a` and from startB under runs
// `b` are formatted differently: stretches [from, to) from the starts, in
// order.
inline QVector<QPair<int, int>> DifferingStretches(const FormatRuns& a, int startA, const FormatRuns& b,
                                                   int startB, int length)
{
    QVector<QPair<int, int>> stretches;
    if (a.empty() && b.empty())
        return stretches;
    auto nextBoundary = [](const FormatRuns& runs, int offset)
    {
        auto it = std::upper_bound(runs.begin(), runs.end(), offset,
                                   [](int value, const FormatRun& run) { return value < run.mOffset; });
        return it == runs.end() ? INT32_MAX : int(it->mOffset);
    };
    for (int at = 0; at < length;)
    {
        const int end = std::min({length, nextBoundary(a, startA + at) - startA, nextBoundary(b, startB + at) - startB});
        if (AttributesAt(a, startA + at) != AttributesAt(b, startB + at))
        {
            if (!stretches.isEmpty() && stretches.back().second == at)
                stretches.back().second = end;
            else
                stretches.append(qMakePair(at, end));
        }
        at = end;
    }
    return stretches;
}

inline QString EncodeFormatRuns(const FormatRuns& runs)
{
    // Piece by piece into one buffer: every story compared is encoded once.
    int size = 0;
    for (const FormatRun& run : runs)
    {
        size += 12;
        for (const auto& entry : run.mAttributes)
            size += 2 + entry.first.size() + entry.second.size();
    }
    QString text;
    text.reserve(size);
    for (size_t i = 0; i < runs.size(); ++i)
    {
        if (i > 0)
            text += QChar(0x1D);
        text += QString::number(runs[i].mOffset);
        for (const auto& entry : runs[i].mAttributes)
        {
            text += QChar(0x1F);
            text += entry.first;
            text += QChar(0x1E);
            text += entry.second;
        }
    }
    return text;
}

// False for text that is not runs in this form.
inline bool DecodeFormatRuns(const QString& text, FormatRuns& runs)
{
    runs.clear();
    if (text.isEmpty())
        return true;
    for (const QString& piece : text.split(QChar(0x1D)))
    {
        const QStringList parts = piece.split(QChar(0x1F));
        FormatRun run;
        bool ok = false;
        run.mOffset = parts.front().toInt(&ok);
        if (!ok || run.mOffset < 0 || (!runs.empty() && run.mOffset <= runs.back().mOffset))
            return false;
        for (int i = 1; i < parts.size(); ++i)
        {
            const int split = parts[i].indexOf(QChar(0x1E));
            if (split <= 0 || split + 1 >= parts[i].size())
                return false;
            SetAttribute(run.mAttributes, parts[i].left(split), parts[i].mid(split + 1));
        }
        runs.push_back(run);
    }
    return true;
}

} // namespace XT
