#include "StoryText.h"

#include "ScribusFormatting.h"
#include "XmlEditor.h"

#include "Model/TextFormat.h"

#include <algorithm>
#include <cstring>

namespace XTHost
{

namespace StoryText
{

namespace
{

struct Inline
{
    const char* mName;
    char16_t mChar; // 0: no character, kept as hidden text
};

// The elements of a frame's text, and the character each stands for.
const Inline sInline[] = {
    {"ITEXT", 0},         {"para", u'\r'},      {"tab", u'\t'},          {"breakline", 0x2028},
    {"nbspace", 0x00A0},  {"nbhyphen", 0x2011}, {"zwnbspace", 0xFEFF},   {"zwspace", 0x200B},
    {"breakcol", 0},      {"breakframe", 0},    {"var", 0},              {"MARK", 0},
};

const Inline* inlineOf(const XmlIndex& xml, uint32_t element)
{
    for (const Inline& entry : sInline)
        if (xml.isNamed(element, entry.mName))
            return &entry;
    return nullptr;
}

const char* elementOfChar(QChar c)
{
    for (const Inline& entry : sInline)
        if (entry.mChar != 0 && entry.mChar == c.unicode())
            return entry.mName;
    return nullptr;
}

// The paragraph end of the older formats, a character of a run.
constexpr char16_t sOldParagraphEnd = 0x05;

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r';
}

const XmlIndex::Attribute* findCh(const XmlIndex& xml, const std::vector<XmlIndex::Attribute>& attributes)
{
    for (const XmlIndex::Attribute& attribute : attributes)
        if (xml.nameIs(attribute, "CH"))
            return &attribute;
    return nullptr;
}

// Whether two runs are formatted alike: the same attributes but CH.
bool sameFormat(const XmlIndex& xml, uint32_t a, uint32_t b)
{
    if (a == b)
        return true;
    if (a == XmlIndex::sNone || b == XmlIndex::sNone)
        return false;
    std::vector<XmlIndex::Attribute> first, second;
    xml.attributes(a, first);
    xml.attributes(b, second);
    auto withoutCh = [&](std::vector<XmlIndex::Attribute>& list)
    {
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const XmlIndex::Attribute& attribute) { return xml.nameIs(attribute, "CH"); }),
                   list.end());
    };
    withoutCh(first);
    withoutCh(second);
    if (first.size() != second.size())
        return false;
    for (size_t i = 0; i < first.size(); ++i)
    {
        const XmlIndex::Attribute& x = first[i];
        const XmlIndex::Attribute& y = second[i];
        if (x.mNameLength != y.mNameLength || x.mValueLength != y.mValueLength ||
            std::memcmp(xml.data() + x.mName, xml.data() + y.mName, x.mNameLength) != 0 ||
            std::memcmp(xml.data() + x.mValue, xml.data() + y.mValue, x.mValueLength) != 0)
            return false;
    }
    return true;
}

// An empty element named `name` with the attributes of `source` (CH
// replaced by `ch` where given, dropped where `dropCh`), in their order.
QByteArray elementFrom(const XmlIndex& xml, const char* name, uint32_t source, const QString* ch, bool dropCh,
                       bool rawControls, const ScribusFormatting::Edits& edits = {})
{
    QByteArray out = QByteArray("<") + name;
    bool chWritten = false;
    std::vector<bool> editDone(edits.size(), false);
    auto writeEdit = [&](size_t e)
    {
        editDone[e] = true;
        if (edits[e].second.isEmpty())
            return;
        out += ' ' + edits[e].first + "=\"";
        appendEscaped(out, edits[e].second, true);
        out += '"';
    };
    if (source != XmlIndex::sNone)
    {
        std::vector<XmlIndex::Attribute> attributes;
        xml.attributes(source, attributes);
        for (const XmlIndex::Attribute& attribute : attributes)
        {
            const auto edit = std::find_if(edits.begin(), edits.end(), [&](const auto& e)
                                           { return xml.nameIs(attribute, e.first.constData()); });
            if (edit != edits.end())
            {
                writeEdit(size_t(edit - edits.begin()));
                continue;
            }
            const bool isCh = xml.nameIs(attribute, "CH");
            if (isCh && (dropCh || ch))
            {
                if (ch && !dropCh)
                {
                    out += " CH=\"";
                    appendEscaped(out, *ch, true, rawControls);
                    out += '"';
                    chWritten = true;
                }
                continue;
            }
            out += ' ';
            out.append(xml.data() + attribute.mName, int(attribute.mNameLength));
            out += "=\"";
            out.append(xml.data() + attribute.mValue, int(attribute.mValueLength));
            out += '"';
        }
    }
    for (size_t e = 0; e < edits.size(); ++e)
        if (!editDone[e])
            writeEdit(e);
    if (ch && !dropCh && !chWritten)
    {
        out += " CH=\"";
        appendEscaped(out, *ch, true, rawControls);
        out += '"';
    }
    return out + "/>";
}

// The edits that give a unit written from the model its formatting.
ScribusFormatting::Edits editsOf(const XmlIndex& xml, const TextUnit& unit)
{
    if (!unit.mFormatted || unit.mKind == TextUnit::Opaque)
        return {};
    const bool paragraph = unit.mKind == TextUnit::Element && unit.mChar == QChar(u'\r');
    uint32_t source = unit.mSource;
    // A paragraph end made from a run's formatting takes none of it.
    if (paragraph && source != XmlIndex::sNone && !xml.isNamed(source, "para") && !xml.isNamed(source, "trail"))
        source = XmlIndex::sNone;
    return ScribusFormatting::edits(xml, source, unit.mFormat, paragraph);
}

// Whether a run spells its control characters as raw bytes (the older
// formats) rather than as references.
bool rawControlsIn(const XmlIndex& xml, uint32_t run)
{
    if (run == XmlIndex::sNone)
        return false;
    std::vector<XmlIndex::Attribute> attributes;
    xml.attributes(run, attributes);
    const XmlIndex::Attribute* ch = findCh(xml, attributes);
    if (!ch)
        return false;
    for (uint32_t i = 0; i < ch->mValueLength; ++i)
    {
        const uchar c = uchar(xml.data()[ch->mValue + i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return true;
    }
    return false;
}

// Myers' diff of two unit strings: for each position of `after`, the
// position in `before` it keeps, or -1 where it is new.
std::vector<int> matchUnits(const QString& before, const QString& after)
{
    const int n = before.size();
    const int m = after.size();
    std::vector<int> match(size_t(m), -1);
    int prefix = 0;
    while (prefix < n && prefix < m && before[prefix] == after[prefix])
    {
        match[size_t(prefix)] = prefix;
        ++prefix;
    }
    int suffix = 0;
    while (suffix < n - prefix && suffix < m - prefix && before[n - 1 - suffix] == after[m - 1 - suffix])
    {
        match[size_t(m - 1 - suffix)] = n - 1 - suffix;
        ++suffix;
    }
    const int a0 = prefix, b0 = prefix;
    const int an = n - prefix - suffix, bn = m - prefix - suffix;
    if (an == 0 || bn == 0)
        return match;
    const int max = an + bn;
    // Too large a middle for the quadratic-memory trace: no pairs inside.
    if (qint64(max) * max > 64LL * 1024 * 1024)
        return match;
    std::vector<int> v(size_t(2 * max + 2), 0);
    std::vector<std::vector<int>> trace;
    int found = -1;
    for (int d = 0; d <= max && found < 0; ++d)
    {
        trace.push_back(v);
        for (int k = -d; k <= d; k += 2)
        {
            int x;
            if (k == -d || (k != d && v[size_t(k - 1 + max)] < v[size_t(k + 1 + max)]))
                x = v[size_t(k + 1 + max)];
            else
                x = v[size_t(k - 1 + max)] + 1;
            int y = x - k;
            while (x < an && y < bn && before[a0 + x] == after[b0 + y])
                ++x, ++y;
            v[size_t(k + max)] = x;
            if (x >= an && y >= bn)
            {
                found = d;
                break;
            }
        }
    }
    int x = an, y = bn;
    for (int d = found; d > 0; --d)
    {
        const std::vector<int>& vd = trace[size_t(d)];
        const int k = x - y;
        const int previousK =
            (k == -d || (k != d && vd[size_t(k - 1 + max)] < vd[size_t(k + 1 + max)])) ? k + 1 : k - 1;
        const int previousX = vd[size_t(previousK + max)];
        const int previousY = previousX - previousK;
        while (x > previousX && y > previousY)
        {
            --x, --y;
            match[size_t(b0 + y)] = a0 + x;
        }
        x = previousX;
        y = previousY;
    }
    while (x > 0 && y > 0)
    {
        --x, --y;
        match[size_t(b0 + y)] = a0 + x;
    }
    return match;
}

} // namespace

uint32_t container(const XmlIndex& xml, uint32_t frame)
{
    const uint32_t storyText = xml.child(frame, "StoryText");
    return storyText == XmlIndex::sNone ? frame : storyText;
}

bool isTextElement(const XmlIndex& xml, uint32_t element)
{
    return inlineOf(xml, element) != nullptr;
}

void read(const XmlIndex& xml, uint32_t frame, std::vector<TextUnit>& units)
{
    const uint32_t holder = container(xml, frame);
    for (uint32_t e = xml.element(holder).mFirstChild; e != XmlIndex::sNone; e = xml.element(e).mNextSibling)
    {
        const Inline* entry = inlineOf(xml, e);
        if (!entry)
            continue;
        if (entry->mName == sInline[0].mName)
        {
            const QString text = XmlTag(xml, e).value("CH");
            for (QChar c : text)
            {
                TextUnit unit;
                unit.mSource = e;
                if (c.unicode() == sOldParagraphEnd)
                    unit.mChar = QChar(u'\r');
                else
                {
                    // A control character, and U+FFFC (the host's mark of
                    // hidden text), are hidden text of the model.
                    unit.mChar = c;
                    if (isControl(c) || c == QChar(Story::sMarker))
                        unit.mKind = TextUnit::HiddenInRun;
                }
                units.push_back(unit);
            }
            continue;
        }
        TextUnit unit;
        unit.mSource = e;
        unit.mChar = QChar(entry->mChar);
        unit.mKind = entry->mChar ? TextUnit::Element : TextUnit::Opaque;
        units.push_back(unit);
    }
}

void toStory(const XmlIndex& xml, const std::vector<TextUnit>& units, uint32_t trail, Story& story)
{
    // Runs give many units one element: its attributes are read once.
    uint32_t last = XmlIndex::sNone;
    bool lastParagraph = false;
    XT::TextAttributes attributes;
    for (size_t i = 0; i < units.size(); ++i)
    {
        const TextUnit& unit = units[i];
        if (unit.mKind == TextUnit::Opaque)
        {
            story.mFormats.push_back({int(i), XT::TextAttributes()});
            last = XmlIndex::sNone;
            continue;
        }
        const bool paragraph = unit.mKind == TextUnit::Element && unit.mChar == QChar(u'\r');
        if (unit.mSource != last || paragraph != lastParagraph)
        {
            attributes = ScribusFormatting::read(xml, unit.mSource, paragraph);
            last = unit.mSource;
            lastParagraph = paragraph;
            story.mFormats.push_back({int(i), attributes});
        }
    }
    TextFormat::normalize(story.mFormats);
    story.mTrail = ScribusFormatting::read(xml, trail, true);
    // One allocation of the text's own size: a large document's stories are
    // most of what its model holds.
    QString text(int(units.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (size_t i = 0; i < units.size(); ++i)
    {
        if (units[i].isHidden())
        {
            story.mRuns.push_back({int(i), 0});
            out[i] = QChar(Story::sMarker);
        }
        else
            out[i] = units[i].mChar;
    }
    story.mText = std::move(text);
}

Style styleOf(const XmlIndex& xml, const std::vector<uint32_t>& frames, const std::vector<TextUnit>& units)
{
    Style style;
    style.mParaElements = false;
    for (uint32_t frame : frames)
    {
        const uint32_t holder = container(xml, frame);
        if (holder != frame)
            style.mParaElements = true;
        for (uint32_t e = xml.element(holder).mFirstChild; e != XmlIndex::sNone; e = xml.element(e).mNextSibling)
        {
            if (xml.isNamed(e, "para"))
                style.mParaElements = true;
            if (xml.isNamed(e, "trail") && style.mTrail == XmlIndex::sNone)
            {
                style.mTrail = e;
                style.mParaElements = true;
            }
        }
    }
    for (const TextUnit& unit : units)
        if (unit.mKind == TextUnit::InRun)
        {
            style.mFallbackRun = unit.mSource;
            break;
        }
    return style;
}

std::vector<TextUnit> rebuild(const XmlIndex& xml, const std::vector<TextUnit>& before, const Story& story,
                              const Style& style)
{
    // Both texts with each hidden unit or run reduced to one marker.
    QString oldText;
    oldText.reserve(int(before.size()));
    for (const TextUnit& unit : before)
        oldText += unit.isHidden() ? QChar(Story::sMarker) : unit.mChar;
    QString newText;
    newText.reserve(story.mText.size());
    std::vector<int> offsets; // of each unit of newText in the story
    offsets.reserve(size_t(story.mText.size()));
    for (int i = 0; i < story.mText.size();)
    {
        offsets.push_back(i);
        const int run = story.runAt(i);
        if (run >= 0 && story.mRuns[size_t(run)].mOffset == i)
        {
            newText += QChar(Story::sMarker);
            i = story.mRuns[size_t(run)].end();
            continue;
        }
        newText += story.mText[i];
        ++i;
    }
    // Each unit takes the model's formatting: a paragraph end its
    // paragraph's attributes, any other unit its character's.
    auto formatted = [&](TextUnit unit, int i)
    {
        const XT::TextAttributes& attributes = TextFormat::at(story.mFormats, offsets[size_t(i)]);
        const bool paragraph = unit.mKind == TextUnit::Element && unit.mChar == QChar(u'\r');
        unit.mFormat = XT::ParagraphPart(attributes, paragraph);
        unit.mFormatted = true;
        return unit;
    };
    const std::vector<int> match = matchUnits(oldText, newText);
    std::vector<TextUnit> after;
    after.reserve(size_t(newText.size()));
    for (int i = 0; i < newText.size(); ++i)
    {
        const int kept = match[size_t(i)];
        if (kept >= 0)
        {
            after.push_back(formatted(before[size_t(kept)], i));
            continue;
        }
        const QChar c = newText[i];
        if (c == QChar(Story::sMarker))
            continue;
        // Character formatting from the previous run in the new text, else
        // the next kept one, else the story's first.
        uint32_t run = XmlIndex::sNone;
        for (int j = int(after.size()) - 1; j >= 0 && run == XmlIndex::sNone; --j)
            if (after[size_t(j)].mKind == TextUnit::InRun && !after[size_t(j)].mMade)
                run = after[size_t(j)].mSource;
        for (int j = i + 1; j < newText.size() && run == XmlIndex::sNone; ++j)
            if (match[size_t(j)] >= 0 && before[size_t(match[size_t(j)])].mKind == TextUnit::InRun)
                run = before[size_t(match[size_t(j)])].mSource;
        if (run == XmlIndex::sNone)
            run = style.mFallbackRun;
        TextUnit unit;
        unit.mChar = c;
        const char* element = style.mParaElements ? elementOfChar(c) : nullptr;
        if (!element)
        {
            unit.mSource = run;
            after.push_back(formatted(unit, i));
            continue;
        }
        unit.mKind = TextUnit::Element;
        unit.mMade = element;
        unit.mSource = run;
        if (c == QChar(u'\r'))
        {
            // A paragraph end takes the style of the paragraph it now ends:
            // that of the next kept paragraph end, else the trail's.
            unit.mSource = style.mTrail;
            for (int j = i + 1; j < newText.size(); ++j)
            {
                const int k = match[size_t(j)];
                if (k >= 0 && before[size_t(k)].mKind == TextUnit::Element && before[size_t(k)].mChar == QChar(u'\r'))
                {
                    unit.mSource = before[size_t(k)].mSource;
                    break;
                }
            }
        }
        after.push_back(formatted(unit, i));
    }
    return after;
}

std::vector<QByteArray> toXml(const XmlIndex& xml, const std::vector<TextUnit>& units)
{
    std::vector<QByteArray> out;
    uint32_t open = XmlIndex::sNone;
    XT::TextAttributes openFormat;
    bool openFormatted = false;
    bool opened = false;
    QString text;
    auto flush = [&]()
    {
        if (!opened)
            return;
        TextUnit run;
        run.mSource = open;
        run.mFormat = openFormat;
        run.mFormatted = openFormatted;
        out.push_back(elementFrom(xml, "ITEXT", open, &text, false, rawControlsIn(xml, open), editsOf(xml, run)));
        opened = false;
        text.clear();
    };
    for (const TextUnit& unit : units)
    {
        if (unit.mKind == TextUnit::InRun || unit.mKind == TextUnit::HiddenInRun)
        {
            if (opened && (!sameFormat(xml, unit.mSource, open) || unit.mFormat != openFormat ||
                           unit.mFormatted != openFormatted))
                flush();
            if (!opened)
            {
                open = unit.mSource;
                openFormat = unit.mFormat;
                openFormatted = unit.mFormatted;
                opened = true;
            }
            text += unit.mChar == QChar(u'\r') ? QChar(sOldParagraphEnd) : unit.mChar;
            continue;
        }
        flush();
        if (unit.mMade)
        {
            // A paragraph end keeps its source's attributes whole; another
            // element takes its run's formatting without the text.
            const bool fromPara = unit.mSource != XmlIndex::sNone &&
                                  (xml.isNamed(unit.mSource, "para") || xml.isNamed(unit.mSource, "trail"));
            out.push_back(elementFrom(xml, unit.mMade, unit.mSource, nullptr, !fromPara, false, editsOf(xml, unit)));
            continue;
        }
        const ScribusFormatting::Edits edits = editsOf(xml, unit);
        if (!edits.empty())
        {
            out.push_back(elementFrom(xml, xml.name(unit.mSource).constData(), unit.mSource, nullptr, false, false, edits));
            continue;
        }
        const XmlIndex::Element& e = xml.element(unit.mSource);
        out.push_back(QByteArray(xml.data() + e.mStart, int(e.mEnd - e.mStart)));
    }
    flush();
    return out;
}

QByteArray trailXml(const XmlIndex* xml, uint32_t trail, const XT::TextAttributes& paragraph)
{
    if (!xml || trail == XmlIndex::sNone)
    {
        static const XmlIndex none;
        return elementFrom(none, "trail", XmlIndex::sNone, nullptr, true, false,
                           ScribusFormatting::edits(none, XmlIndex::sNone, paragraph, true));
    }
    const ScribusFormatting::Edits edits = ScribusFormatting::edits(*xml, trail, paragraph, true);
    if (edits.empty())
    {
        const XmlIndex::Element& e = xml->element(trail);
        return QByteArray(xml->data() + e.mStart, int(e.mEnd - e.mStart));
    }
    return elementFrom(*xml, "trail", trail, nullptr, true, false, edits);
}

} // namespace StoryText

} // namespace XTHost
