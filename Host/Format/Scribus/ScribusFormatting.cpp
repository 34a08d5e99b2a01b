#include "ScribusFormatting.h"

#include <cmath>
#include <iterator>

namespace XTHost
{

namespace ScribusFormatting
{

namespace
{

// A Scribus attribute and the model attribute it holds.
struct Mapping
{
    const char* mScribus;
    const char* mModel;
};

const Mapping sCharacter[] = {{"FONT", "font"},     {"FONTSIZE", "size"},        {"FCOLOR", "colour"},
                              {"FSHADE", "shade"},  {"CPARENT", "characterStyle"}, {"KERN", "tracking"},
                              {"SCALEH", "scale"}};
const Mapping sParagraph[] = {{"PARENT", "paragraphStyle"}, {"ALIGN", "align"},    {"INDENT", "leftIndent"},
                              {"RMARGIN", "rightIndent"},    {"FIRST", "firstIndent"}, {"VOR", "spaceBefore"},
                              {"NACH", "spaceAfter"},        {"LINESP", "leading"},
                              // A paragraph's character settings, as its style gives them.
                              {"FONT", "paragraphFont"},     {"FONTSIZE", "paragraphSize"},
                              {"FCOLOR", "paragraphColour"}, {"FSHADE", "paragraphShade"},
                              {"CPARENT", "paragraphCharacterStyle"}};
// FEATURES holds the style flags, words separated by spaces.
const Mapping sFeatures[] = {{"underline", "underline"},   {"underlinewords", "underlineWords"},
                             {"strike", "strike"},         {"smallcaps", "smallCaps"},
                             {"allcaps", "allCaps"},       {"superscript", "superscript"},
                             {"subscript", "subscript"},   {"outline", "outline"},
                             {"shadowed", "shadow"}};

// The model's value of a Scribus attribute's text; empty where the text
// means nothing the model holds.
QString modelValue(const char* model, const QString& text)
{
    const XT::AttributeInfo* info = XT::FindAttribute(QLatin1String(model));
    if (!info || text.isEmpty())
        return QString();
    switch (info->mKind)
    {
    case XT::AttributeKind::Number:
    {
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        return ok && std::isfinite(value) ? XT::NumberText(value) : QString();
    }
    case XT::AttributeKind::Alignment:
    {
        bool ok = false;
        const int index = text.trimmed().toInt(&ok);
        return ok && index >= 0 && index < 5 ? QLatin1String(XT::Alignments()[index]) : QString();
    }
    default:
        // Separators of the host's interface cannot be in a value.
        if (text.contains(QChar(0x1D)) || text.contains(QChar(0x1E)) || text.contains(QChar(0x1F)))
            return QString();
        return text;
    }
}

// The Scribus text of a model value.
QString scribusValue(const char* model, const QString& value)
{
    if (XT::FindAttribute(QLatin1String(model))->mKind != XT::AttributeKind::Alignment)
        return value;
    for (int i = 0; XT::Alignments()[i]; ++i)
        if (value == QLatin1String(XT::Alignments()[i]))
            return QString::number(i);
    return QString();
}

void readFeatures(const QString& text, XT::TextAttributes& attributes)
{
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        for (const Mapping& flag : sFeatures)
            if (word == QLatin1String(flag.mScribus))
                XT::SetAttribute(attributes, QLatin1String(flag.mModel), QStringLiteral("yes"));
}

} // namespace

XT::TextAttributes read(const XmlIndex& xml, uint32_t element, bool paragraph)
{
    XT::TextAttributes attributes;
    if (element == XmlIndex::sNone)
        return attributes;
    const XmlTag tag(xml, element);
    if (paragraph)
    {
        for (const Mapping& m : sParagraph)
            if (tag.has(m.mScribus))
                XT::SetAttribute(attributes, QLatin1String(m.mModel), modelValue(m.mModel, tag.value(m.mScribus)));
        return attributes;
    }
    for (const Mapping& m : sCharacter)
        if (tag.has(m.mScribus))
            XT::SetAttribute(attributes, QLatin1String(m.mModel), modelValue(m.mModel, tag.value(m.mScribus)));
    readFeatures(tag.value("FEATURES"), attributes);
    return attributes;
}

Edits edits(const XmlIndex& xml, uint32_t element, const XT::TextAttributes& attributes, bool paragraph)
{
    Edits out;
    XmlTag tag;
    if (element != XmlIndex::sNone)
        tag.read(xml, element);
    const bool source = element != XmlIndex::sNone;
    auto value = [&](const char* name) { return source ? tag.value(name) : QString(); };
    const std::vector<Mapping> mappings = paragraph ? std::vector<Mapping>(std::begin(sParagraph), std::end(sParagraph))
                                                    : std::vector<Mapping>(std::begin(sCharacter), std::end(sCharacter));
    for (const Mapping& m : mappings)
    {
        const QString wanted = XT::AttributeValue(attributes, QLatin1String(m.mModel));
        if (modelValue(m.mModel, value(m.mScribus)) == wanted)
            continue;
        out.emplace_back(m.mScribus, scribusValue(m.mModel, wanted));
    }
    if (paragraph)
        return out;
    XT::TextAttributes readFlags, wantedFlags;
    readFeatures(value("FEATURES"), readFlags);
    QString features = QStringLiteral("inherit");
    for (const Mapping& flag : sFeatures)
    {
        const QString wanted = XT::AttributeValue(attributes, QLatin1String(flag.mModel));
        XT::SetAttribute(wantedFlags, QLatin1String(flag.mModel), wanted);
        if (!wanted.isEmpty())
            features += QLatin1Char(' ') + QLatin1String(flag.mScribus);
    }
    if (readFlags != wantedFlags)
        out.emplace_back("FEATURES", features);
    return out;
}

} // namespace ScribusFormatting

} // namespace XTHost
