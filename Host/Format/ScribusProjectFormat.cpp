#include "ScribusProjectFormat.h"

#include "Model/BoxProperties.h"
#include "Model/BuiltInColors.h"
#include "Model/Project.h"

#include <QXmlStreamReader>

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace XTHost
{

namespace
{

// Scribus writes control characters that XML 1.0 does not allow (0x05 ends a
// paragraph in the older formats, 0x1E is the page number), raw or as
// character references. They are read as private-use characters, one range
// per spelling, and written back as they came.
constexpr char16_t sRawControl = 0xF700;
constexpr char16_t sRefControl = 0xF720;

bool isControlPlaceholder(QChar c)
{
    return c.unicode() >= sRawControl && c.unicode() < sRefControl + 0x20;
}
int controlOf(QChar c)
{
    return c.unicode() >= sRefControl ? c.unicode() - sRefControl : c.unicode() - sRawControl;
}
bool isAllowedControl(uint value)
{
    return value == 9 || value == 10 || value == 13;
}

// One node of the document as read: everything the model does not describe
// is written back from these.
struct XmlNode
{
    enum Kind : int8_t
    {
        Element,
        Text,
        CData,
        Comment,
        Instruction,
        Dtd
    };
    Kind mKind = Element;
    QString mName; // element name or instruction target
    std::vector<std::pair<QString, QString>> mAttributes;
    QString mText; // text, comment, instruction data, DTD
    std::vector<XmlNode> mChildren;
    bool mDeleted = false;
    std::vector<XmlNode> mInsertAfter;

    bool isElement(const char* name) const { return mKind == Element && mName == QLatin1String(name); }
    bool has(const char* name) const
    {
        for (const auto& attribute : mAttributes)
            if (attribute.first == QLatin1String(name))
                return true;
        return false;
    }
    QString attr(const char* name, const QString& fallback = QString()) const
    {
        for (const auto& attribute : mAttributes)
            if (attribute.first == QLatin1String(name))
                return attribute.second;
        return fallback;
    }
    double number(const char* name, double fallback = 0) const
    {
        bool ok = false;
        const double value = attr(name).toDouble(&ok);
        return ok && std::isfinite(value) ? value : fallback;
    }
    void setAttr(const QString& name, const QString& value)
    {
        for (auto& attribute : mAttributes)
            if (attribute.first == name)
            {
                attribute.second = value;
                return;
            }
        mAttributes.emplace_back(name, value);
    }
    const XmlNode* child(const char* name) const
    {
        for (const XmlNode& node : mChildren)
            if (node.isElement(name))
                return &node;
        return nullptr;
    }
};

using Path = std::vector<int>;

XmlNode& nodeAt(XmlNode& root, const Path& path)
{
    XmlNode* node = &root;
    for (int index : path)
        node = &node->mChildren[size_t(index)];
    return *node;
}

// ---------------------------------------------------------------- bytes

bool isGzip(const QByteArray& data)
{
    return data.size() >= 2 && uchar(data[0]) == 0x1f && uchar(data[1]) == 0x8b;
}

// Inflates gzip data; at most `limit` bytes out. A truncated stream fails
// unless `partial` (for looking at a file's head).
bool gunzip(const QByteArray& data, qint64 limit, bool partial, QByteArray* out, QString* error)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
    {
        *error = QStringLiteral("cannot start decompressing");
        return false;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    out->clear();
    char buffer[65536];
    int result = Z_OK;
    while (result == Z_OK)
    {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        out->append(buffer, int(sizeof buffer - stream.avail_out));
        if (out->size() > limit)
        {
            inflateEnd(&stream);
            if (partial)
                return true;
            *error = QStringLiteral("the document is larger than %1 bytes uncompressed").arg(limit);
            return false;
        }
        if (result == Z_BUF_ERROR && stream.avail_in == 0)
            break;
    }
    inflateEnd(&stream);
    if (result == Z_STREAM_END || partial)
        return true;
    *error = result == Z_BUF_ERROR || result == Z_OK
                 ? QStringLiteral("the compressed data ends early (byte %1)").arg(data.size())
                 : QStringLiteral("the compressed data is damaged near byte %1").arg(stream.total_in);
    return false;
}

QByteArray gzip(const QByteArray& data)
{
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out;
    out.resize(int(deflateBound(&stream, uLong(data.size()))));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(int(stream.total_out));
    deflateEnd(&stream);
    return out;
}

void appendUtf8(QByteArray& out, char16_t c)
{
    out += QString(QChar(c)).toUtf8();
}

// Replaces the control characters XML does not allow by their placeholders.
QByteArray maskControls(const QByteArray& data)
{
    QByteArray out;
    out.reserve(data.size());
    for (int i = 0; i < data.size(); ++i)
    {
        const uchar c = uchar(data[i]);
        if (c < 0x20 && !isAllowedControl(c))
        {
            appendUtf8(out, char16_t(sRawControl + c));
            continue;
        }
        if (c == '&' && i + 2 < data.size() && data[i + 1] == '#')
        {
            const bool hex = data[i + 2] == 'x';
            int end = i + (hex ? 3 : 2);
            while (end < data.size() && end - i < 12 && data[end] != ';')
                ++end;
            if (end < data.size() && data[end] == ';')
            {
                bool ok = false;
                const QByteArray digits = data.mid(i + (hex ? 3 : 2), end - i - (hex ? 3 : 2));
                const uint value = digits.toUInt(&ok, hex ? 16 : 10);
                if (ok && value < 0x20 && !isAllowedControl(value))
                {
                    appendUtf8(out, char16_t(sRefControl + value));
                    i = end;
                    continue;
                }
            }
        }
        out += char(c);
    }
    return out;
}

// ---------------------------------------------------------------- XML

struct ParseFailure
{
    QString mMessage;
};

[[noreturn]] void fail(const QXmlStreamReader& reader, const QString& message)
{
    throw ParseFailure{QStringLiteral("line %1, column %2: %3")
                           .arg(reader.lineNumber())
                           .arg(reader.columnNumber())
                           .arg(message)};
}

struct XmlDocument
{
    bool mDeclaration = false;
    std::vector<XmlNode> mProlog; // before the root element
    XmlNode mRoot;
    std::vector<XmlNode> mEpilog;
};

XmlDocument readXml(const QByteArray& data)
{
    QXmlStreamReader reader(data);
    reader.setNamespaceProcessing(false);
    XmlDocument document;
    std::vector<XmlNode*> open;
    bool rootSeen = false;
    auto add = [&](XmlNode node)
    {
        if (!open.empty())
            open.back()->mChildren.push_back(std::move(node));
        else if (!rootSeen)
            document.mProlog.push_back(std::move(node));
        else
            document.mEpilog.push_back(std::move(node));
    };
    while (!reader.atEnd())
    {
        switch (reader.readNext())
        {
        case QXmlStreamReader::StartDocument:
            document.mDeclaration = !reader.documentVersion().isEmpty();
            break;
        case QXmlStreamReader::StartElement:
        {
            XmlNode node;
            node.mName = reader.qualifiedName().toString();
            for (const QXmlStreamAttribute& attribute : reader.attributes())
                node.mAttributes.emplace_back(attribute.qualifiedName().toString(),
                                              attribute.value().toString());
            if (open.empty())
            {
                if (rootSeen)
                    fail(reader, QStringLiteral("a second root element"));
                rootSeen = true;
                document.mRoot = std::move(node);
                open.push_back(&document.mRoot);
            }
            else
            {
                open.back()->mChildren.push_back(std::move(node));
                open.push_back(&open.back()->mChildren.back());
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            open.pop_back();
            break;
        case QXmlStreamReader::Characters:
        {
            XmlNode node;
            node.mKind = reader.isCDATA() ? XmlNode::CData : XmlNode::Text;
            node.mText = reader.text().toString();
            if (!open.empty() || !reader.isWhitespace())
                add(std::move(node));
            break;
        }
        case QXmlStreamReader::Comment:
        {
            XmlNode node;
            node.mKind = XmlNode::Comment;
            node.mText = reader.text().toString();
            add(std::move(node));
            break;
        }
        case QXmlStreamReader::ProcessingInstruction:
        {
            XmlNode node;
            node.mKind = XmlNode::Instruction;
            node.mName = reader.processingInstructionTarget().toString();
            node.mText = reader.processingInstructionData().toString();
            add(std::move(node));
            break;
        }
        case QXmlStreamReader::DTD:
        {
            XmlNode node;
            node.mKind = XmlNode::Dtd;
            node.mText = reader.text().toString();
            add(std::move(node));
            break;
        }
        case QXmlStreamReader::EntityReference:
            fail(reader, QStringLiteral("unknown entity &%1;").arg(reader.name().toString()));
        default:
            break;
        }
    }
    if (reader.hasError())
        fail(reader, reader.errorString());
    if (!rootSeen)
        fail(reader, QStringLiteral("no root element"));
    return document;
}

void escape(QString& out, const QString& text, bool attribute)
{
    for (QChar c : text)
    {
        switch (c.unicode())
        {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += attribute ? QLatin1String("&quot;") : QLatin1String("\"");
            break;
        case '\t':
        case '\n':
            if (attribute)
                out += QStringLiteral("&#%1;").arg(c.unicode());
            else
                out += c;
            break;
        case '\r':
            out += QLatin1String("&#13;");
            break;
        default:
            if (isControlPlaceholder(c))
            {
                if (c.unicode() >= sRefControl)
                    out += QStringLiteral("&#%1;").arg(controlOf(c));
                else
                    out += QChar(controlOf(c));
            }
            else
                out += c;
        }
    }
}

void writeNode(QString& out, const XmlNode& node)
{
    if (node.mDeleted)
        return;
    switch (node.mKind)
    {
    case XmlNode::Element:
        out += QLatin1Char('<') + node.mName;
        for (const auto& attribute : node.mAttributes)
        {
            out += QLatin1Char(' ') + attribute.first + QLatin1String("=\"");
            escape(out, attribute.second, true);
            out += QLatin1Char('"');
        }
        if (node.mChildren.empty())
            out += QLatin1String("/>");
        else
        {
            out += QLatin1Char('>');
            for (const XmlNode& child : node.mChildren)
                writeNode(out, child);
            out += QLatin1String("</") + node.mName + QLatin1Char('>');
        }
        break;
    case XmlNode::Text:
        escape(out, node.mText, false);
        break;
    case XmlNode::CData:
        out += QLatin1String("<![CDATA[") + node.mText + QLatin1String("]]>");
        break;
    case XmlNode::Comment:
        out += QLatin1String("<!--") + node.mText + QLatin1String("-->");
        break;
    case XmlNode::Instruction:
        out += QLatin1String("<?") + node.mName +
               (node.mText.isEmpty() ? QString() : QLatin1Char(' ') + node.mText) + QLatin1String("?>");
        break;
    case XmlNode::Dtd:
        out += node.mText;
        break;
    }
    for (const XmlNode& next : node.mInsertAfter)
        writeNode(out, next);
}

QByteArray writeXml(const XmlDocument& document)
{
    QString out;
    if (document.mDeclaration)
        out += QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    for (const XmlNode& node : document.mProlog)
    {
        writeNode(out, node);
        out += QLatin1Char('\n');
    }
    writeNode(out, document.mRoot);
    out += QLatin1Char('\n');
    for (const XmlNode& node : document.mEpilog)
    {
        writeNode(out, node);
        out += QLatin1Char('\n');
    }
    return out.toUtf8();
}

// ---------------------------------------------------------------- text

// One unit of a story's text and where it came from: the element whose
// formatting it carries, and how it is written.
struct TextUnit
{
    enum Encoding : int8_t
    {
        InRun,   // a character of an ITEXT run's CH
        Element, // an element of its own (para, tab, breakline...)
        Opaque   // kept as it is; hidden in the model
    };
    QChar mChar;
    Encoding mEncoding = InRun;
    std::shared_ptr<const XmlNode> mSource; // for InRun: the run without its text
};

bool isInlineElement(const QString& name)
{
    static const std::set<QString> sInline = {
        QStringLiteral("ITEXT"),     QStringLiteral("para"),     QStringLiteral("tab"),
        QStringLiteral("breakline"), QStringLiteral("breakcol"), QStringLiteral("breakframe"),
        QStringLiteral("nbhyphen"),  QStringLiteral("nbspace"),  QStringLiteral("zwnbspace"),
        QStringLiteral("zwspace"),   QStringLiteral("var"),      QStringLiteral("MARK")};
    return sInline.count(name) > 0;
}

QChar charOfElement(const QString& name)
{
    if (name == QLatin1String("para"))
        return QChar(u'\r');
    if (name == QLatin1String("tab"))
        return QChar(u'\t');
    if (name == QLatin1String("breakline"))
        return QChar(0x2028);
    if (name == QLatin1String("nbspace"))
        return QChar(0x00A0);
    if (name == QLatin1String("nbhyphen"))
        return QChar(0x2011);
    if (name == QLatin1String("zwnbspace"))
        return QChar(0xFEFF);
    if (name == QLatin1String("zwspace"))
        return QChar(0x200B);
    return QChar();
}

const char* elementOfChar(QChar c)
{
    switch (c.unicode())
    {
    case u'\r':
        return "para";
    case u'\t':
        return "tab";
    case 0x2028:
        return "breakline";
    case 0x00A0:
        return "nbspace";
    case 0x2011:
        return "nbhyphen";
    case 0xFEFF:
        return "zwnbspace";
    case 0x200B:
        return "zwspace";
    default:
        return nullptr;
    }
}

// The element that holds a frame's text: StoryText from 1.5 on, the frame
// itself before.
XmlNode& textContainer(XmlNode& frame)
{
    for (XmlNode& child : frame.mChildren)
        if (child.isElement("StoryText"))
            return child;
    return frame;
}

void readUnits(const XmlNode& container, std::vector<TextUnit>& units)
{
    for (const XmlNode& node : container.mChildren)
    {
        if (node.mKind != XmlNode::Element || !isInlineElement(node.mName))
            continue;
        if (node.mName == QLatin1String("ITEXT"))
        {
            auto source = std::make_shared<XmlNode>(node);
            source->mChildren.clear();
            const QString text = node.attr("CH");
            for (QChar c : text)
            {
                TextUnit unit;
                unit.mSource = source;
                if (isControlPlaceholder(c) && controlOf(c) == 5)
                    unit.mChar = QChar(u'\r');
                else if (isControlPlaceholder(c))
                {
                    unit.mChar = c;
                    unit.mEncoding = TextUnit::Opaque;
                }
                else
                    unit.mChar = c;
                units.push_back(unit);
            }
            continue;
        }
        TextUnit unit;
        unit.mSource = std::make_shared<XmlNode>(node);
        unit.mChar = charOfElement(node.mName);
        unit.mEncoding = unit.mChar.isNull() ? TextUnit::Opaque : TextUnit::Element;
        units.push_back(unit);
    }
}

void unitsToStory(const std::vector<TextUnit>& units, Story& story)
{
    QString visible;
    for (const TextUnit& unit : units)
    {
        if (unit.mEncoding == TextUnit::Opaque)
        {
            story.appendVisible(visible);
            visible.clear();
            story.appendHidden(QString());
        }
        else
            visible += unit.mChar;
    }
    story.appendVisible(visible);
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
        int previousK;
        if (k == -d || (k != d && vd[size_t(k - 1 + max)] < vd[size_t(k + 1 + max)]))
            previousK = k + 1;
        else
            previousK = k - 1;
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

// The units of a story's new text: kept units where the text is kept,
// new ones formatted as their neighbours where it is new.
std::vector<TextUnit> rebuildUnits(const std::vector<TextUnit>& before, const Story& story,
                                   const std::shared_ptr<const XmlNode>& fallbackRun,
                                   const std::shared_ptr<const XmlNode>& trail, bool paraElements)
{
    // The model's text with each hidden run reduced to its marker.
    QString oldText;
    for (const TextUnit& unit : before)
        oldText += unit.mEncoding == TextUnit::Opaque ? QChar(Story::sMarker) : unit.mChar;
    QString newText;
    std::vector<bool> hidden;
    for (int i = 0; i < story.mText.size();)
    {
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
    const std::vector<int> match = matchUnits(oldText, newText);
    std::vector<TextUnit> after;
    after.reserve(size_t(newText.size()));
    for (int i = 0; i < newText.size(); ++i)
    {
        const int kept = match[size_t(i)];
        if (kept >= 0)
        {
            after.push_back(before[size_t(kept)]);
            continue;
        }
        const QChar c = newText[i];
        if (c == QChar(Story::sMarker))
            continue; // hidden content without an element to write: dropped
        // Character formatting from the previous run in the new text, else
        // the next kept one, else the frame's default.
        std::shared_ptr<const XmlNode> run;
        for (int j = int(after.size()) - 1; j >= 0 && !run; --j)
            if (after[size_t(j)].mEncoding == TextUnit::InRun)
                run = after[size_t(j)].mSource;
        for (int j = i + 1; j < newText.size() && !run; ++j)
            if (match[size_t(j)] >= 0 && before[size_t(match[size_t(j)])].mEncoding == TextUnit::InRun)
                run = before[size_t(match[size_t(j)])].mSource;
        if (!run)
            run = fallbackRun;
        TextUnit unit;
        unit.mChar = c;
        const char* element = paraElements ? elementOfChar(c) : nullptr;
        if (!element)
        {
            unit.mSource = run;
            after.push_back(unit);
            continue;
        }
        // A paragraph end takes the paragraph style of the paragraph it now
        // ends: that of the next kept paragraph end, else the trail's.
        auto node = std::make_shared<XmlNode>();
        node->mName = QLatin1String(element);
        if (c == QChar(u'\r'))
        {
            std::shared_ptr<const XmlNode> para;
            for (int j = i + 1; j < newText.size() && !para; ++j)
            {
                const int k = match[size_t(j)];
                if (k >= 0 && before[size_t(k)].mChar == QChar(u'\r') &&
                    before[size_t(k)].mEncoding == TextUnit::Element)
                    para = before[size_t(k)].mSource;
            }
            if (!para && trail)
                para = trail;
            if (para)
                node->mAttributes = para->mAttributes;
        }
        else if (run)
        {
            for (const auto& attribute : run->mAttributes)
                if (attribute.first != QLatin1String("CH"))
                    node->mAttributes.push_back(attribute);
        }
        unit.mEncoding = TextUnit::Element;
        unit.mSource = node;
        after.push_back(unit);
    }
    return after;
}

std::vector<XmlNode> unitsToElements(const std::vector<TextUnit>& units)
{
    std::vector<XmlNode> out;
    const XmlNode* openSource = nullptr;
    QString openText;
    auto flush = [&]()
    {
        if (!openSource)
            return;
        XmlNode node = *openSource;
        node.setAttr(QStringLiteral("CH"), openText);
        out.push_back(std::move(node));
        openSource = nullptr;
        openText.clear();
    };
    for (const TextUnit& unit : units)
    {
        const bool inRun =
            unit.mEncoding == TextUnit::InRun ||
            (unit.mEncoding == TextUnit::Opaque && unit.mSource &&
             unit.mSource->mName == QLatin1String("ITEXT") && isControlPlaceholder(unit.mChar));
        if (inRun)
        {
            if (openSource && unit.mSource.get() != openSource &&
                unit.mSource->mAttributes != openSource->mAttributes)
                flush();
            if (!openSource)
                openSource = unit.mSource.get();
            openText += unit.mChar == QChar(u'\r') ? QChar(char16_t(sRawControl + 5)) : unit.mChar;
            continue;
        }
        flush();
        out.push_back(*unit.mSource);
    }
    flush();
    return out;
}

// Replaces the text elements of a container by `elements`, where the first
// of them stood (before the trail otherwise), each indented as they were.
void replaceText(XmlNode& container, std::vector<XmlNode> elements)
{
    auto isBlank = [](const XmlNode& node)
    { return node.mKind == XmlNode::Text && node.mText.trimmed().isEmpty(); };
    std::vector<XmlNode> children;
    int insertAt = -1;
    QString indent;
    for (XmlNode& child : container.mChildren)
    {
        if (child.mKind == XmlNode::Element && isInlineElement(child.mName))
        {
            // The indentation before a text element goes with it.
            QString before;
            if (!children.empty() && isBlank(children.back()))
            {
                before = children.back().mText;
                children.pop_back();
            }
            if (insertAt < 0)
            {
                insertAt = int(children.size());
                indent = before;
            }
            continue;
        }
        children.push_back(std::move(child));
    }
    if (insertAt < 0)
    {
        insertAt = int(children.size());
        for (size_t i = 0; i < children.size(); ++i)
            if (children[i].isElement("trail"))
            {
                insertAt = int(i);
                if (i > 0 && isBlank(children[i - 1]))
                {
                    indent = children[i - 1].mText;
                    insertAt = int(i) - 1;
                }
                break;
            }
    }
    std::vector<XmlNode> inserted;
    for (XmlNode& element : elements)
    {
        if (!indent.isEmpty())
        {
            XmlNode space;
            space.mKind = XmlNode::Text;
            space.mText = indent;
            inserted.push_back(std::move(space));
        }
        inserted.push_back(std::move(element));
    }
    children.insert(children.begin() + insertAt, std::make_move_iterator(inserted.begin()),
                    std::make_move_iterator(inserted.end()));
    container.mChildren = std::move(children);
}

// ---------------------------------------------------------------- model

Fixed toFixed(double value)
{
    const double scaled = std::round(value * XT::kFixedOne);
    return Fixed(std::max(-2147483647.0, std::min(2147483647.0, scaled)));
}
double fromFixed(Fixed value)
{
    return double(value) / XT::kFixedOne;
}
QString numberText(double value)
{
    return QString::number(value, 'g', 12);
}

constexpr int32_t sLayerKind = 17;
constexpr int32_t sParagraphStyleKind = 1;
constexpr int32_t sCharacterStyleKind = 2;

const char* nameAttributeOf(int32_t kind)
{
    return kind == sCharacterStyleKind ? "CNAME" : "NAME";
}
const char* elementOfKind(int32_t kind)
{
    switch (kind)
    {
    case sParagraphStyleKind:
        return "STYLE";
    case sCharacterStyleKind:
        return "CHARSTYLE";
    case XT::kColorAssetKind:
        return "COLOR";
    case sLayerKind:
        return "LAYERS";
    default:
        return nullptr;
    }
}
int32_t kindOfElement(const XmlNode& node)
{
    for (int32_t kind : {sParagraphStyleKind, sCharacterStyleKind, XT::kColorAssetKind, sLayerKind})
        if (node.isElement(elementOfKind(kind)))
            return kind;
    return 0;
}

int hexByte(const QString& text, int index)
{
    bool ok = false;
    const int value = text.mid(1 + 2 * index, 2).toInt(&ok, 16);
    return ok ? value : 0;
}

ColorValue colorOf(const XmlNode& node)
{
    ColorValue value;
    value.mSpot = node.attr("Spot") == QLatin1String("1");
    const QString space = node.attr("SPACE");
    if (space == QLatin1String("RGB"))
    {
        value.mModel = ColorValue::Rgb;
        value.mValues = {qRound(node.number("R")), qRound(node.number("G")), qRound(node.number("B")), 0};
    }
    else if (space == QLatin1String("CMYK"))
    {
        value.mModel = ColorValue::Cmyk;
        value.mValues = {qRound(node.number("C")), qRound(node.number("M")), qRound(node.number("Y")),
                         qRound(node.number("K"))};
    }
    else if (node.has("CMYK"))
    {
        const QString cmyk = node.attr("CMYK");
        value.mModel = ColorValue::Cmyk;
        for (int i = 0; i < 4; ++i)
            value.mValues[size_t(i)] = qRound(hexByte(cmyk, i) * 100.0 / 255.0);
    }
    else
    {
        const QString rgb = node.attr("RGB");
        value.mModel = ColorValue::Rgb;
        value.mValues = {hexByte(rgb, 0), hexByte(rgb, 1), hexByte(rgb, 2), 0};
    }
    for (int& component : value.mValues)
        component = std::max(0, std::min(value.mModel == ColorValue::Rgb ? 255 : 100, component));
    return value;
}

void writeColor(XmlNode& node, const ColorValue& value)
{
    const bool rgb = value.mModel == ColorValue::Rgb;
    if (node.has("SPACE") || !(node.has("RGB") || node.has("CMYK")))
    {
        // The 1.5 spelling; the other model's components go.
        static const char* const sAll[] = {"R", "G", "B", "C", "M", "Y", "K"};
        std::vector<std::pair<QString, QString>> kept;
        for (const auto& attribute : node.mAttributes)
            if (std::none_of(std::begin(sAll), std::end(sAll),
                             [&](const char* name) { return attribute.first == QLatin1String(name); }))
                kept.push_back(attribute);
        node.mAttributes = kept;
        node.setAttr(QStringLiteral("SPACE"), rgb ? QStringLiteral("RGB") : QStringLiteral("CMYK"));
        const char* const names[] = {"R", "G", "B", "C", "M", "Y", "K"};
        for (int i = 0; i < (rgb ? 3 : 4); ++i)
            node.setAttr(QLatin1String(names[rgb ? i : 3 + i]), QString::number(value.mValues[size_t(i)]));
    }
    else
    {
        std::vector<std::pair<QString, QString>> kept;
        for (const auto& attribute : node.mAttributes)
            if (attribute.first != QLatin1String("RGB") && attribute.first != QLatin1String("CMYK"))
                kept.push_back(attribute);
        node.mAttributes = kept;
        QString text = QStringLiteral("#");
        for (int i = 0; i < (rgb ? 3 : 4); ++i)
        {
            const int byte =
                rgb ? value.mValues[size_t(i)] : qRound(value.mValues[size_t(i)] * 255.0 / 100.0);
            text += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
        }
        node.setAttr(rgb ? QStringLiteral("RGB") : QStringLiteral("CMYK"), text);
    }
    if (value.mSpot)
        node.setAttr(QStringLiteral("Spot"), QStringLiteral("1"));
    else if (node.has("Spot"))
        node.setAttr(QStringLiteral("Spot"), QStringLiteral("0"));
}

// A style's or layer's description: its attributes one a line, then its
// child elements as XML, so that it is a complete definition.
QString describe(const XmlNode& node, const char* nameAttribute)
{
    QStringList lines;
    for (const auto& attribute : node.mAttributes)
        if (attribute.first != QLatin1String(nameAttribute))
            lines << attribute.first + QLatin1Char('=') + attribute.second;
    for (const XmlNode& child : node.mChildren)
        if (child.mKind == XmlNode::Element)
        {
            QString xml;
            writeNode(xml, child);
            lines << xml;
        }
    return lines.join(QLatin1Char('\r'));
}

void defineFromDescription(XmlNode& node, const QString& name, const char* nameAttribute,
                           const QString& description)
{
    node.mAttributes.clear();
    node.mChildren.clear();
    node.mAttributes.emplace_back(QLatin1String(nameAttribute), name);
    for (const QString& line : description.split(QLatin1Char('\r'), Qt::SkipEmptyParts))
    {
        if (line.startsWith(QLatin1Char('<')))
        {
            try
            {
                node.mChildren.push_back(readXml(line.toUtf8()).mRoot);
            }
            catch (const ParseFailure&)
            {
            }
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            node.mAttributes.emplace_back(line.left(equals), line.mid(equals + 1));
    }
}

// Where a story came from in the document, and its text as units.
struct StoryOrigin
{
    std::vector<Path> mFrames; // first frame first
    std::vector<TextUnit> mUnits;
    bool mParaElements = false;
    std::shared_ptr<const XmlNode> mFallbackRun;
    std::shared_ptr<const XmlNode> mTrail;
};

struct PageInfo
{
    QString mLabel;
    double mX = 0, mY = 0, mWidth = 0, mHeight = 0;
    int mSpread = 0;
};

// A parsed document: its XML and the model as it was read from it.
struct Kept
{
    bool mCompressed = false;
    bool mOldFormat = false;
    XmlDocument mXml;
    Project mModel;
    std::map<int32_t, Path> mBoxes; // by box number
    std::map<int32_t, StoryOrigin> mStories;
    std::map<std::pair<int32_t, QString>, Path> mAssets;
    Path mDocument;
    std::vector<PageInfo> mPages; // the normal pages, in order
    std::vector<Path> mPagePaths;
    std::vector<Path> mObjects; // every page object in the order links count them
    int mColumns = 1;           // pages a spread has, as the facing-pages setting groups them
    int mFirstColumn = 0;       // the column of the first page
};

class Registry
{
public:
    // Keeps `kept` for as long as some model shares `key`.
    void add(const QString& key, std::shared_ptr<const Kept> kept)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mEntries.erase(std::remove_if(mEntries.begin(), mEntries.end(),
                                      [](Entry& entry) { return !entry.mKey.data_ptr()->ref.isShared(); }),
                       mEntries.end());
        mEntries.push_back({key, std::move(kept)});
    }
    std::shared_ptr<const Kept> find(const QString& key)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        for (const Entry& entry : mEntries)
            if (entry.mKey.constData() == key.constData())
                return entry.mKept;
        return nullptr;
    }

private:
    struct Entry
    {
        QString mKey;
        std::shared_ptr<const Kept> mKept;
    };
    std::mutex mMutex;
    std::vector<Entry> mEntries;
};

Registry& registry()
{
    static Registry sRegistry;
    return sRegistry;
}

int formatVersion(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    auto leadingNumber = [](const QString& part)
    {
        int value = 0;
        for (QChar c : part)
        {
            if (!c.isDigit())
                break;
            value = value * 10 + c.digitValue();
        }
        return value;
    };
    const int major = parts.isEmpty() ? 0 : leadingNumber(parts[0]);
    const int minor = parts.size() < 2 ? 0 : leadingNumber(parts[1]);
    return major * 100 + minor;
}

const char* typeWord(int ptype)
{
    switch (ptype)
    {
    case 2:
        return "Image";
    case 4:
        return "Text";
    case 5:
        return "Line";
    case 6:
        return "Polygon";
    case 7:
        return "Polyline";
    case 8:
        return "PathText";
    case 12:
        return "Group";
    default:
        return "Item";
    }
}

struct Builder
{
    explicit Builder(Kept& kept) : mKept(kept) {}

    Kept& mKept;
    bool mOldFormat = false;
    std::vector<PageInfo> mPages;
    // Objects in document order: path, page index.
    struct Object
    {
        Path mPath;
        int mPage = 0;
        int32_t mNumber = 0;
    };
    std::vector<Object> mObjects;
    std::set<int32_t> mUsedNumbers;
    std::map<Path, int> mOrdinals;

    XmlNode& root() { return mKept.mXml.mRoot; }
    XmlNode& documentNode() { return nodeAt(root(), mKept.mDocument); }

    // Every item element in document order: Scribus numbers the names it
    // gives unnamed items by this order.
    void countItems(const Path& parentPath)
    {
        XmlNode& parent = nodeAt(root(), parentPath);
        for (size_t i = 0; i < parent.mChildren.size(); ++i)
        {
            const XmlNode& child = parent.mChildren[i];
            Path path = parentPath;
            path.push_back(int(i));
            const bool item = child.isElement("PAGEOBJECT") || child.isElement("MASTEROBJECT") ||
                              child.isElement("FRAMEOBJECT");
            if (item)
                mOrdinals[path] = int(mOrdinals.size()) + 1;
            if (item || (mOldFormat && child.isElement("PAGE")))
                countItems(path);
        }
    }

    void collectObjects(const Path& parentPath, int page, bool nested)
    {
        XmlNode& parent = nodeAt(root(), parentPath);
        for (size_t i = 0; i < parent.mChildren.size(); ++i)
        {
            const XmlNode& child = parent.mChildren[i];
            if (!child.isElement("PAGEOBJECT"))
                continue;
            Path path = parentPath;
            path.push_back(int(i));
            int ownPage = page;
            if (!mOldFormat && !nested)
                ownPage = int(child.number("OwnPage", 0));
            mObjects.push_back({path, ownPage, 0});
            collectObjects(path, ownPage, true);
        }
    }

    void build(Project& project)
    {
        XmlNode& document = documentNode();
        const double docWidth = document.number("PAGEWIDTH", document.number("PAGEWITH", 595));
        const double docHeight = document.number("PAGEHEIGHT", 842);
        Layout layout;
        layout.mNumber = 1;
        layout.mType = XT::kLayoutPrint;
        // A string of its own: the kept document is found by it.
        const QString title = document.attr("TITLE");
        layout.mName = title.isEmpty() ? QStringLiteral("Document") : title;
        layout.mName.detach();
        layout.mName = QString(layout.mName.constData(), layout.mName.size());

        std::vector<Path> pagePaths;
        for (size_t i = 0; i < document.mChildren.size(); ++i)
        {
            const XmlNode& node = document.mChildren[i];
            Path path = mKept.mDocument;
            path.push_back(int(i));
            const bool master = node.isElement("MASTERPAGE") ||
                                (mOldFormat && node.isElement("PAGE") && !node.attr("NAM").isEmpty());
            if (master)
            {
                layout.mMasterPages << node.attr("NAM");
                continue;
            }
            if (!node.isElement("PAGE"))
                continue;
            PageInfo page;
            page.mLabel = QString::number(mPages.size() + 1);
            page.mX = node.number("PAGEXPOS", 0);
            page.mY = node.number("PAGEYPOS", 0);
            page.mWidth = node.number("PAGEWIDTH", docWidth);
            page.mHeight = node.number("PAGEHEIGHT", docHeight);
            mPages.push_back(page);
            pagePaths.push_back(path);
        }
        layout.mMasterSpreads = int16_t(std::min(layout.mMasterPages.size(), 32767));

        // Spreads as the facing-pages setting groups pages.
        const int book = int(document.number("BOOK", 0));
        int perSpread = std::max(1, std::min(book + 1, 4));
        int first = book == 1 ? 1 : 0;
        if (const XmlNode* sets = document.child("PageSets"))
        {
            int index = 0;
            for (const XmlNode& set : sets->mChildren)
                if (set.isElement("Set") && index++ == book)
                {
                    perSpread = std::max(1, int(set.number("Columns", perSpread)));
                    first = int(set.number("FirstPage", first));
                }
        }
        else if (document.has("FIRSTLEFT") && book == 1)
            first = document.attr("FIRSTLEFT") == QLatin1String("1") ? 0 : 1;
        first = std::max(0, std::min(first, perSpread - 1));
        mKept.mColumns = perSpread;
        mKept.mFirstColumn = first;
        for (size_t p = 0; p < mPages.size();)
        {
            const int count = layout.mSpreads.empty() ? perSpread - first : perSpread;
            Spread spread;
            double width = 0, height = 0;
            for (int i = 0; i < count && p < mPages.size(); ++i, ++p)
            {
                mPages[p].mSpread = int(layout.mSpreads.size());
                spread.mPages << mPages[p].mLabel;
                width += mPages[p].mWidth;
                height = std::max(height, mPages[p].mHeight);
            }
            spread.mBounds = {0, toFixed(width), 0, toFixed(height)};
            layout.mSpreads.push_back(std::move(spread));
        }

        // Objects: on the pages (older format), or beside them.
        if (mOldFormat)
        {
            for (size_t p = 0; p < pagePaths.size(); ++p)
                collectObjects(pagePaths[p], int(p), true);
        }
        else
            collectObjects(mKept.mDocument, 0, false);

        mKept.mOldFormat = mOldFormat;
        mKept.mPages = mPages;
        mKept.mPagePaths = pagePaths;
        for (const Object& object : mObjects)
            mKept.mObjects.push_back(object.mPath);

        // Box numbers from the names; then the boxes.
        countItems(mKept.mDocument);
        std::map<QString, int> byItemId;
        for (size_t o = 0; o < mObjects.size(); ++o)
        {
            Object& object = mObjects[o];
            XmlNode& node = nodeAt(root(), object.mPath);
            const int ptype = int(node.number("PTYPE", 0));
            QString name = node.attr("ANNAME");
            // An unnamed item has the name Scribus gives it when it opens
            // the document.
            if (name.isEmpty())
                name = QLatin1String(typeWord(ptype)) + QString::number(mOrdinals[object.mPath]);
            int32_t number = ScribusProjectFormat::numberForName(name);
            while (!mUsedNumbers.insert(number).second)
                number = number == std::numeric_limits<int32_t>::max() ? 1 : number + 1;
            object.mNumber = number;
            if (node.has("ItemID"))
                byItemId[node.attr("ItemID")] = int(o);

            if (mPages.empty())
                continue;
            const int pageIndex = std::max(0, std::min(object.mPage, int(mPages.size()) - 1));
            const PageInfo& page = mPages[size_t(pageIndex)];
            Spread& spread = layout.mSpreads[size_t(page.mSpread)];
            // Positions count from the first page's corner, as Scribus's own
            // coordinates do, not from the item's page: Scribus reassigns an
            // item that straddles pages to another page when it saves, and
            // the item must not seem to move for that.
            const double originX = mOldFormat ? 0 : mPages.front().mX;
            const double originY = mOldFormat ? 0 : mPages.front().mY;
            Box box;
            box.mNumber = number;
            box.mName = name;
            box.mKind = ptype == 4    ? XT::kContentText
                        : ptype == 2  ? XT::kContentPicture
                        : ptype == 12 ? XT::kContentGroup
                                      : XT::kContentNone;
            applyDefaultProperties(box);
            const double left = node.number("XPOS") - originX;
            const double top = node.number("YPOS") - originY;
            box.mBounds = {toFixed(left), toFixed(top), toFixed(left + node.number("WIDTH")),
                           toFixed(top + node.number("HEIGHT"))};
            if (box.mBounds.right < box.mBounds.left)
                box.mBounds.right = box.mBounds.left;
            if (box.mBounds.bottom < box.mBounds.top)
                box.mBounds.bottom = box.mBounds.top;
            readBoxValues(node, box);
            spread.mBoxes.push_back(box);
            mKept.mBoxes[number] = object.mPath;
        }

        // Stories: each chain of linked text frames from its first frame.
        std::map<int, int> next, previous;
        for (size_t o = 0; o < mObjects.size(); ++o)
        {
            const XmlNode& node = nodeAt(root(), mObjects[o].mPath);
            if (int(node.number("PTYPE", 0)) != 4 || !node.has("NEXTITEM"))
                continue;
            const QString target = node.attr("NEXTITEM");
            int index = -1;
            if (!byItemId.empty())
            {
                auto found = byItemId.find(target);
                index = found == byItemId.end() ? -1 : found->second;
            }
            else if (!mOldFormat)
            {
                bool ok = false;
                index = target.toInt(&ok);
                if (!ok || index < 0 || index >= int(mObjects.size()))
                    index = -1;
            }
            if (index >= 0 && index != int(o) && !previous.count(index) &&
                int(nodeAt(root(), mObjects[size_t(index)].mPath).number("PTYPE", 0)) == 4)
            {
                next[int(o)] = index;
                previous[index] = int(o);
            }
        }
        for (size_t o = 0; o < mObjects.size(); ++o)
        {
            XmlNode& node = nodeAt(root(), mObjects[o].mPath);
            if (int(node.number("PTYPE", 0)) != 4 || previous.count(int(o)) || mPages.empty())
                continue;
            Story story;
            story.mNumber = mObjects[o].mNumber;
            StoryOrigin origin;
            std::set<int> seen;
            for (int frame = int(o); frame >= 0 && seen.insert(frame).second;)
            {
                XmlNode& frameNode = nodeAt(root(), mObjects[size_t(frame)].mPath);
                const XmlNode& container = textContainer(frameNode);
                readUnits(container, origin.mUnits);
                for (const XmlNode& child : container.mChildren)
                {
                    if (child.isElement("para"))
                        origin.mParaElements = true;
                    if (child.isElement("trail") && !origin.mTrail)
                        origin.mTrail = std::make_shared<XmlNode>(child);
                }
                if (&container != &frameNode)
                    origin.mParaElements = true;
                origin.mFrames.push_back(mObjects[size_t(frame)].mPath);
                story.mBoxes.push_back({1, mObjects[size_t(frame)].mNumber});
                auto found = next.find(frame);
                frame = found == next.end() ? -1 : found->second;
            }
            if (origin.mTrail)
                origin.mParaElements = true;
            for (const TextUnit& unit : origin.mUnits)
                if (unit.mEncoding == TextUnit::InRun)
                {
                    origin.mFallbackRun = unit.mSource;
                    break;
                }
            if (!origin.mFallbackRun)
            {
                auto run = std::make_shared<XmlNode>();
                run->mName = QStringLiteral("ITEXT");
                run->mAttributes.emplace_back(QStringLiteral("CH"), QString());
                origin.mFallbackRun = run;
            }
            unitsToStory(origin.mUnits, story);
            mKept.mStories[story.mNumber] = std::move(origin);
            project.mStories.push_back(std::move(story));
        }

        // Assets: colours, paragraph and character styles, layers.
        for (size_t i = 0; i < document.mChildren.size(); ++i)
        {
            const XmlNode& node = document.mChildren[i];
            const int32_t kind = kindOfElement(node);
            if (!kind)
                continue;
            Asset asset;
            asset.mKind = kind;
            asset.mName = node.attr(nameAttributeOf(kind));
            if (asset.mName.isEmpty() || project.findAsset(kind, asset.mName))
                continue;
            if (kind == XT::kColorAssetKind)
            {
                if (builtInColorIndex(asset.mName) >= 0)
                    continue; // the host's own; kept in the document as it is
                asset.mColor = colorOf(node);
            }
            else
                asset.mDescription = describe(node, nameAttributeOf(kind));
            Path path = mKept.mDocument;
            path.push_back(int(i));
            mKept.mAssets[{kind, asset.mName}] = path;
            project.mAssets[size_t(kind - 1)].push_back(std::move(asset));
        }
        project.mLayouts.push_back(std::move(layout));
    }

    static void readBoxValues(const XmlNode& node, Box& box)
    {
        const QString fill = node.attr("PCOLOR", QStringLiteral("None"));
        box.mColor = fill == QLatin1String("None") ? QString() : fill;
        box.mProperties[51] = toFixed(node.number("ROT", 0));
        box.mProperties[53] = toFixed(node.number("RADRECT", 0));
        box.mProperties[55] = toFixed((1.0 - node.number("TransValue", 0)) * 100.0);
        box.mProperties[56] = toFixed(node.number("SHADE", 100));
        box.mProperties[80] = node.attr("PRINTABLE", QStringLiteral("1")) == QLatin1String("0") ? 1 : 0;
        box.mProperties[81] = node.attr("LOCK", QStringLiteral("0")) == QLatin1String("1") ? 1 : 0;
        if (box.isText())
        {
            box.mProperties[59] = std::max(1, int(node.number("COLUMNS", 1)));
            box.mProperties[60] = toFixed(node.number("COLGAP", 0));
            box.mInsets = {toFixed(node.number("EXTRA", 0)), toFixed(node.number("TEXTRA", 0)),
                           toFixed(node.number("REXTRA", 0)), toFixed(node.number("BEXTRA", 0))};
        }
        if (box.isPicture())
            box.mPicturePath = node.attr("PFILE");
    }
};

// A shape's outline scaled by (sx, sy): an SVG path of absolute or relative
// moves, lines and curves (the 1.5 spelling, `path` and `copath`), or a list
// of x y pairs (older formats, `POCOOR` and `COCOOR`). A path with arcs, or
// anything not understood, is left as it is.
QString scaledPath(const QString& path, double sx, double sy, bool pairs)
{
    QString out;
    QChar command = QLatin1Char('M');
    int index = 0; // of the number within its command's argument group
    int i = 0;
    const int n = path.size();
    while (i < n)
    {
        const QChar c = path[i];
        if (c.isSpace() || c == QLatin1Char(','))
        {
            out += c;
            ++i;
            continue;
        }
        if (c.isLetter() && c != QLatin1Char('e') && c != QLatin1Char('E'))
        {
            if (pairs || !QStringLiteral("MmLlCcSsQqTtHhVvZz").contains(c))
                return path;
            command = c;
            index = 0;
            out += c;
            ++i;
            continue;
        }
        int end = i + 1;
        while (end < n && (path[end].isDigit() || path[end] == QLatin1Char('.') ||
                           path[end] == QLatin1Char('e') || path[end] == QLatin1Char('E') ||
                           ((path[end] == QLatin1Char('-') || path[end] == QLatin1Char('+')) &&
                            (path[end - 1] == QLatin1Char('e') || path[end - 1] == QLatin1Char('E')))))
            ++end;
        bool ok = false;
        const double value = path.mid(i, end - i).toDouble(&ok);
        if (!ok)
            return path;
        const QChar upper = command.toUpper();
        const bool isX = upper == QLatin1Char('H') || (upper != QLatin1Char('V') && index % 2 == 0);
        out += numberText(value * (isX ? sx : sy));
        ++index;
        i = end;
    }
    return out;
}

// Writes what the model changed into the document's XML.
void applyBox(XmlNode& node, const Box& before, const Box& box)
{
    auto set = [&](const char* name, double value) { node.setAttr(QLatin1String(name), numberText(value)); };
    if (box.mName != before.mName)
        node.setAttr(QStringLiteral("ANNAME"), box.mName);
    // A moved item's group position moves with it where it is its own.
    auto move = [&](const char* position, const char* groupPosition, Fixed delta)
    {
        const double old = node.number(position);
        if (node.has(groupPosition) && node.number(groupPosition) == old)
            set(groupPosition, old + fromFixed(delta));
        set(position, old + fromFixed(delta));
    };
    if (box.mBounds.left != before.mBounds.left)
        move("XPOS", "gXpos", box.mBounds.left - before.mBounds.left);
    if (box.mBounds.top != before.mBounds.top)
        move("YPOS", "gYpos", box.mBounds.top - before.mBounds.top);
    const Fixed width = box.mBounds.right - box.mBounds.left,
                oldWidth = before.mBounds.right - before.mBounds.left;
    const Fixed height = box.mBounds.bottom - box.mBounds.top,
                oldHeight = before.mBounds.bottom - before.mBounds.top;
    if (width != oldWidth || height != oldHeight)
    {
        // The outline scales with the item, as Scribus scales it.
        const double sx = oldWidth > 0 ? double(width) / oldWidth : 1.0;
        const double sy = oldHeight > 0 ? double(height) / oldHeight : 1.0;
        for (const char* name : {"path", "copath"})
            if (node.has(name))
                node.setAttr(QLatin1String(name), scaledPath(node.attr(name), sx, sy, false));
        for (const char* name : {"POCOOR", "COCOOR"})
            if (node.has(name))
                node.setAttr(QLatin1String(name), scaledPath(node.attr(name), sx, sy, true));
    }
    if (width != oldWidth)
        set("WIDTH", fromFixed(width));
    if (height != oldHeight)
        set("HEIGHT", fromFixed(height));
    if (box.mColor != before.mColor)
        node.setAttr(QStringLiteral("PCOLOR"), box.mColor.isEmpty() ? QStringLiteral("None") : box.mColor);
    auto property = [&](const PropertyMap& map, int32_t label)
    {
        auto found = map.find(label);
        return found == map.end() ? 0 : found->second;
    };
    auto changed = [&](int32_t label)
    { return property(box.mProperties, label) != property(before.mProperties, label); };
    if (changed(51))
        set("ROT", fromFixed(property(box.mProperties, 51)));
    if (changed(53))
        set("RADRECT", fromFixed(property(box.mProperties, 53)));
    if (changed(55))
        set("TransValue", 1.0 - fromFixed(property(box.mProperties, 55)) / 100.0);
    if (changed(56))
        set("SHADE", fromFixed(property(box.mProperties, 56)));
    if (changed(80))
        node.setAttr(QStringLiteral("PRINTABLE"),
                     property(box.mProperties, 80) ? QStringLiteral("0") : QStringLiteral("1"));
    if (changed(81))
        node.setAttr(QStringLiteral("LOCK"),
                     property(box.mProperties, 81) ? QStringLiteral("1") : QStringLiteral("0"));
    if (box.isText() && before.isText())
    {
        if (changed(59))
            node.setAttr(QStringLiteral("COLUMNS"), QString::number(property(box.mProperties, 59)));
        if (changed(60))
            set("COLGAP", fromFixed(property(box.mProperties, 60)));
        const char* const insets[] = {"EXTRA", "TEXTRA", "REXTRA", "BEXTRA"};
        for (size_t i = 0; i < 4; ++i)
            if (box.mInsets[i] != before.mInsets[i])
                set(insets[i], fromFixed(box.mInsets[i]));
    }
    if (box.isPicture() && before.isPicture() && box.mPicturePath != before.mPicturePath)
        node.setAttr(QStringLiteral("PFILE"), box.mPicturePath);
}

// A box's property, or its default where the box does not carry it.
int32_t propertyOf(const Box& box, int32_t label)
{
    auto found = box.mProperties.find(label);
    if (found != box.mProperties.end())
        return found->second;
    const PropertyInfo* info = findBoxProperty(label);
    return info ? info->mDefault : 0;
}

// The element of a box that no element of a document describes: its values
// in the attributes the reader takes them from, its outline a rectangle.
// (x, y) is its corner on Scribus's canvas.
XmlNode objectNode(const Box& box, double x, double y, int ownPage)
{
    XmlNode node;
    node.mName = QStringLiteral("PAGEOBJECT");
    auto set = [&](const char* name, double value) { node.setAttr(QLatin1String(name), numberText(value)); };
    const double width = fromFixed(box.mBounds.right - box.mBounds.left);
    const double height = fromFixed(box.mBounds.bottom - box.mBounds.top);
    set("XPOS", x);
    set("YPOS", y);
    node.setAttr(QStringLiteral("OwnPage"), QString::number(ownPage));
    node.setAttr(QStringLiteral("PTYPE"), box.isText()      ? QStringLiteral("4")
                                          : box.isPicture() ? QStringLiteral("2")
                                                            : QStringLiteral("6"));
    set("WIDTH", width);
    set("HEIGHT", height);
    node.setAttr(QStringLiteral("FRTYPE"), QStringLiteral("0"));
    node.setAttr(QStringLiteral("CLIPEDIT"), QStringLiteral("0"));
    node.setAttr(QStringLiteral("ANNAME"), box.mName);
    node.setAttr(QStringLiteral("PCOLOR"), box.mColor.isEmpty() ? QStringLiteral("None") : box.mColor);
    set("ROT", fromFixed(propertyOf(box, 51)));
    if (propertyOf(box, 53) != 0)
        set("RADRECT", fromFixed(propertyOf(box, 53)));
    set("TransValue", 1.0 - fromFixed(propertyOf(box, 55)) / 100.0);
    set("SHADE", fromFixed(propertyOf(box, 56)));
    node.setAttr(QStringLiteral("PRINTABLE"),
                 propertyOf(box, 80) ? QStringLiteral("0") : QStringLiteral("1"));
    node.setAttr(QStringLiteral("LOCK"), propertyOf(box, 81) ? QStringLiteral("1") : QStringLiteral("0"));
    if (box.isText())
    {
        node.setAttr(QStringLiteral("COLUMNS"), QString::number(std::max(1, propertyOf(box, 59))));
        set("COLGAP", fromFixed(propertyOf(box, 60)));
        const char* const insets[] = {"EXTRA", "TEXTRA", "REXTRA", "BEXTRA"};
        for (size_t i = 0; i < 4; ++i)
            set(insets[i], fromFixed(box.mInsets[i]));
    }
    if (box.isPicture())
    {
        node.setAttr(QStringLiteral("PFILE"), box.mPicturePath);
        node.setAttr(QStringLiteral("LOCALSCX"), QStringLiteral("1"));
        node.setAttr(QStringLiteral("LOCALSCY"), QStringLiteral("1"));
    }
    const QString outline =
        QStringLiteral("M0 0 L%1 0 L%1 %2 L0 %2 L0 0 Z").arg(numberText(width), numberText(height));
    node.setAttr(QStringLiteral("path"), outline);
    node.setAttr(QStringLiteral("copath"), outline);
    node.setAttr(QStringLiteral("NEXTITEM"), QStringLiteral("-1"));
    node.setAttr(QStringLiteral("BACKITEM"), QStringLiteral("-1"));
    return node;
}

// The spread index of every box of a layout, by box number.
std::map<int32_t, int> spreadsOfBoxes(const Layout& layout)
{
    std::map<int32_t, int> spreads;
    for (size_t s = 0; s < layout.mSpreads.size(); ++s)
        for (const Box& box : layout.mSpreads[s].mBoxes)
            spreads[box.mNumber] = int(s);
    return spreads;
}

// The page counts of a layout's spreads: what a document's page list and
// its facing-pages setting must give.
std::vector<int> pageShape(const Layout& layout)
{
    std::vector<int> shape;
    for (const Spread& spread : layout.mSpreads)
        shape.push_back(spread.mPages.size());
    return shape;
}

// Why the pages of `layout` cannot be written into the document it was read
// from, or empty when they can: spreads may be added at the end or removed
// from it, as long as the document's facing-pages setting groups the pages
// into those spreads again and every box it had stays on its spread.
QString pagesProblem(const Kept& kept, const Layout& layout, const Layout& before)
{
    const std::vector<int> now = pageShape(layout), was = pageShape(before);
    if (now == was)
        return QString();
    const QString changed =
        QStringLiteral("it has %1 pages in %2 spreads where it was read with %3 in %4, and ")
            .arg(layout.pageCount())
            .arg(layout.mSpreads.size())
            .arg(before.pageCount())
            .arg(before.mSpreads.size());
    if (kept.mOldFormat)
        return changed + QStringLiteral("pages added or removed are not written in a format 1.2 document");
    if (kept.mPagePaths.empty())
        return changed + QStringLiteral("pages are not added to a document that has none to model them on");
    const QString notAtEnd =
        changed + QStringLiteral("only spreads added at the end or removed from it are written");
    if (!std::equal(now.begin(), now.begin() + std::min(now.size(), was.size()), was.begin()))
        return notAtEnd;
    std::vector<int> grouped;
    for (int left = layout.pageCount(); left > 0;)
    {
        const int count = std::min(left, grouped.empty() ? kept.mColumns - kept.mFirstColumn : kept.mColumns);
        grouped.push_back(count);
        left -= count;
    }
    if (grouped != now)
        return changed +
               QStringLiteral("the document's facing-pages setting (%1 pages a spread) would group the "
                              "pages otherwise")
                   .arg(kept.mColumns);
    const std::map<int32_t, int> spreadsNow = spreadsOfBoxes(layout);
    for (const auto& entry : spreadsOfBoxes(before))
    {
        auto found = spreadsNow.find(entry.first);
        if (found != spreadsNow.end() && found->second != entry.second)
            return notAtEnd;
    }
    return QString();
}

// The item elements of a document in the order the reader counts them (and
// the older formats' links refer to them by).
void collectItems(XmlNode& parent, std::vector<XmlNode*>& out)
{
    for (XmlNode& child : parent.mChildren)
        if (!child.mDeleted && child.isElement("PAGEOBJECT"))
        {
            out.push_back(&child);
            collectItems(child, out);
        }
}

QString quoted(const QString& name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// What of `project` the document `kept` was read from cannot hold.
QString unwritableIn(const Kept& kept, const Project& project)
{
    QStringList reasons;
    const Layout* before = kept.mModel.mLayouts.empty() ? nullptr : &kept.mModel.mLayouts.front();
    for (size_t l = 1; l < project.mLayouts.size(); ++l)
        reasons << QStringLiteral("a Scribus document holds one layout, so layout %1 cannot be written in it")
                       .arg(quoted(project.mLayouts[l].mName));
    const Layout* layout = project.mLayouts.empty() ? nullptr : &project.mLayouts.front();
    if (!layout || !before)
        return reasons.join(QLatin1String("; "));
    if (layout->mMasterPages != before->mMasterPages)
        reasons << QStringLiteral(
                       "its master pages changed (%1, read as %2), and master pages are not written")
                       .arg(layout->mMasterPages.join(QLatin1String(", ")),
                            before->mMasterPages.join(QLatin1String(", ")));
    const QString pages = pagesProblem(kept, *layout, *before);
    if (!pages.isEmpty())
        reasons << pages;
    for (const Spread& spread : layout->mSpreads)
        for (const Box& box : spread.mBoxes)
        {
            if (box.mKind != XT::kContentGroup)
                continue;
            const Box* original = before->findBox(box.mNumber);
            if (!original || original->mKind != XT::kContentGroup)
                reasons << QStringLiteral("box %1 is a new group, and a group is not written without the "
                                          "objects in it")
                               .arg(quoted(box.mName));
        }
    for (const Story& story : project.mStories)
    {
        const bool framed = std::any_of(story.mBoxes.begin(), story.mBoxes.end(),
                                        [&](const BoxLink& link)
                                        {
                                            const Box* box = link.mLayout == layout->mNumber
                                                                 ? layout->findBox(link.mBox)
                                                                 : nullptr;
                                            return box && box->isText();
                                        });
        if (!framed)
            reasons << QStringLiteral("story %1 (%2) is in no text frame, and a Scribus document keeps text "
                                      "only in frames")
                           .arg(story.mNumber)
                           .arg(quoted(story.mText.left(30).simplified()));
    }
    if (kept.mOldFormat)
        for (const Story& story : project.mStories)
        {
            const Story* original = kept.mModel.findStory(story.mNumber);
            if (story.mBoxes.size() > 1 && (!original || original->mBoxes != story.mBoxes))
            {
                const Box* first = layout->findBox(story.mBoxes.front().mBox);
                reasons << QStringLiteral("the story of box %1 runs through %2 frames, and a format 1.2 "
                                          "document's linked frames are not written")
                               .arg(quoted(first ? first->mName : QString::number(story.mNumber)))
                               .arg(story.mBoxes.size());
            }
        }
    return reasons.join(QLatin1String("; "));
}

// Puts the elements of new boxes into the document (after its last object;
// in the older format, into their pages), then links and fills the frames
// of the stories that are written whole.
void writeCreated(const Kept& kept, const Project& project, XmlDocument& xml,
                  std::vector<std::pair<XmlNode, int>>& created,
                  const std::map<int32_t, size_t>& createdIndex, const std::vector<const Story*>& rewritten,
                  const std::set<int32_t>& rewrittenNumbers)
{
    XmlNode& root = xml.mRoot;
    XmlNode& document = nodeAt(root, kept.mDocument);
    const Layout* layout = project.mLayouts.empty() ? nullptr : &project.mLayouts.front();
    const bool version15 = formatVersion(root.attr("Version")) >= 105;
    std::vector<std::pair<Path, size_t>> places; // parent, index within it
    if (kept.mOldFormat)
    {
        for (auto& entry : created)
        {
            if (size_t(entry.second) >= kept.mPagePaths.size())
                continue; // no page to hold it: refused by unwritableIn() before a save
            const Path& page = kept.mPagePaths[size_t(entry.second)];
            XmlNode& parent = nodeAt(root, page);
            places.emplace_back(page, parent.mChildren.size());
            parent.mChildren.push_back(std::move(entry.first));
        }
    }
    else if (!created.empty())
    {
        int last = -1;
        for (size_t i = 0; i < document.mChildren.size(); ++i)
            if (document.mChildren[i].isElement("PAGEOBJECT"))
                last = int(i);
        if (last < 0)
            for (size_t i = 0; i < document.mChildren.size(); ++i)
                if (document.mChildren[i].isElement("PAGE"))
                    last = int(i);
        if (last < 0)
            last = int(document.mChildren.size()) - 1;
        QString indent;
        if (last > 0 && document.mChildren[size_t(last - 1)].mKind == XmlNode::Text)
            indent = document.mChildren[size_t(last - 1)].mText;
        std::vector<XmlNode> inserted;
        for (auto& entry : created)
        {
            if (!indent.isEmpty())
            {
                XmlNode space;
                space.mKind = XmlNode::Text;
                space.mText = indent;
                inserted.push_back(std::move(space));
            }
            places.emplace_back(kept.mDocument, size_t(last + 1) + inserted.size());
            inserted.push_back(std::move(entry.first));
        }
        document.mChildren.insert(document.mChildren.begin() + (last + 1),
                                  std::make_move_iterator(inserted.begin()),
                                  std::make_move_iterator(inserted.end()));
    }
    std::vector<XmlNode*> createdNodes;
    for (const auto& place : places)
        createdNodes.push_back(&nodeAt(root, place.first).mChildren[place.second]);

    // The items in the order the reader counts them.
    std::vector<XmlNode*> order;
    if (kept.mOldFormat)
        for (const Path& page : kept.mPagePaths)
            collectItems(nodeAt(root, page), order);
    else
        collectItems(document, order);
    std::map<const XmlNode*, int> position;
    for (size_t i = 0; i < order.size(); ++i)
        position[order[i]] = int(i);
    // Links by item position (before 1.5) follow the objects that a deleted
    // one moved up.
    if (!version15 && !kept.mOldFormat)
    {
        std::vector<int> now;
        for (const Path& path : kept.mObjects)
        {
            auto found = position.find(&nodeAt(root, path));
            now.push_back(found == position.end() ? -1 : found->second);
        }
        for (XmlNode* node : order)
            for (const char* name : {"NEXTITEM", "BACKITEM"})
            {
                bool ok = false;
                const int was = node->attr(name).toInt(&ok);
                if (ok && was >= 0 && was < int(now.size()) && now[size_t(was)] != was)
                    node->setAttr(QLatin1String(name), QString::number(now[size_t(was)]));
            }
    }
    if (!layout)
        return;

    auto nodeOf = [&](int32_t number) -> XmlNode*
    {
        auto made = createdIndex.find(number);
        if (made != createdIndex.end())
            return createdNodes[made->second];
        auto found = kept.mBoxes.find(number);
        if (found == kept.mBoxes.end() || !layout->findBox(number))
            return nullptr;
        XmlNode* node = &nodeAt(root, found->second);
        return position.count(node) ? node : nullptr;
    };
    auto reference = [&](XmlNode* node)
    { return version15 ? node->attr("ItemID") : QString::number(position.at(node)); };
    // Frames of chains that changed or went are unlinked first.
    for (const auto& entry : kept.mStories)
    {
        if (project.findStory(entry.first) && !rewrittenNumbers.count(entry.first))
            continue;
        for (const Path& path : entry.second.mFrames)
        {
            XmlNode* node = &nodeAt(root, path);
            if (!position.count(node))
                continue;
            node->setAttr(QStringLiteral("NEXTITEM"), QStringLiteral("-1"));
            node->setAttr(QStringLiteral("BACKITEM"), QStringLiteral("-1"));
        }
    }
    bool paraElements = version15;
    for (const auto& entry : kept.mStories)
        paraElements = paraElements || entry.second.mParaElements;
    for (const Story* story : rewritten)
    {
        std::vector<XmlNode*> frames;
        for (const BoxLink& link : story->mBoxes)
            if (link.mLayout == layout->mNumber)
                if (XmlNode* node = nodeOf(link.mBox))
                    if (std::find(frames.begin(), frames.end(), node) == frames.end())
                        frames.push_back(node);
        if (frames.empty())
            continue;
        for (size_t f = 0; f < frames.size(); ++f)
        {
            frames[f]->setAttr(QStringLiteral("NEXTITEM"),
                               f + 1 < frames.size() ? reference(frames[f + 1]) : QStringLiteral("-1"));
            frames[f]->setAttr(QStringLiteral("BACKITEM"),
                               f > 0 ? reference(frames[f - 1]) : QStringLiteral("-1"));
        }
        auto found = kept.mStories.find(story->mNumber);
        const StoryOrigin* origin = found == kept.mStories.end() ? nullptr : &found->second;
        auto plainRun = std::make_shared<XmlNode>();
        plainRun->mName = QStringLiteral("ITEXT");
        plainRun->mAttributes.emplace_back(QStringLiteral("CH"), QString());
        const std::vector<TextUnit> units =
            rebuildUnits(origin ? origin->mUnits : std::vector<TextUnit>(), *story,
                         origin ? origin->mFallbackRun : plainRun, origin ? origin->mTrail : nullptr,
                         origin ? origin->mParaElements : paraElements);
        for (size_t f = 0; f < frames.size(); ++f)
        {
            std::vector<XmlNode> elements = f == 0 ? unitsToElements(units) : std::vector<XmlNode>();
            XmlNode& frame = *frames[f];
            const bool hasStoryText =
                std::any_of(frame.mChildren.begin(), frame.mChildren.end(),
                            [](const XmlNode& child) { return child.isElement("StoryText"); });
            if (!version15 || hasStoryText)
            {
                replaceText(textContainer(frame), std::move(elements));
                continue;
            }
            // From 1.5 on a frame's text lives in StoryText, which ends with
            // the last paragraph's style.
            if (elements.empty())
                continue;
            XmlNode text;
            text.mName = QStringLiteral("StoryText");
            text.mChildren = std::move(elements);
            XmlNode trail;
            trail.mName = QStringLiteral("trail");
            text.mChildren.push_back(origin && origin->mTrail ? *origin->mTrail : trail);
            frame.mChildren.push_back(std::move(text));
        }
    }
}

// Adds the pages of spreads added at the end of the layout (each a copy of
// the last page in its column, one spread's step further down) or drops
// those of spreads removed from the end; returns where the pages now lie.
std::vector<PageInfo> writePages(const Kept& kept, const Layout& layout, const Layout& before, XmlNode& root)
{
    std::vector<PageInfo> pages = kept.mPages;
    const int oldCount = int(pages.size());
    const int newCount = layout.pageCount();
    if (newCount == oldCount || !pagesProblem(kept, layout, before).isEmpty() || kept.mPagePaths.empty())
        return pages;
    XmlNode& document = nodeAt(root, kept.mDocument);
    if (newCount < oldCount)
    {
        for (int p = newCount; p < oldCount; ++p)
            nodeAt(root, kept.mPagePaths[size_t(p)]).mDeleted = true;
        pages.resize(size_t(newCount));
    }
    else
    {
        // Each existing page's column and the top of each spread.
        std::vector<int> columns;
        std::vector<double> tops;
        for (size_t s = 0, p = 0; s < before.mSpreads.size(); ++s)
        {
            double top = 0;
            for (int j = 0; j < before.mSpreads[s].mPages.size() && p < pages.size(); ++j, ++p)
            {
                columns.push_back(s == 0 ? kept.mFirstColumn + j : j);
                top = j == 0 ? pages[p].mY : std::min(top, pages[p].mY);
            }
            tops.push_back(top);
        }
        const double step =
            tops.size() >= 2 ? tops.back() - tops[tops.size() - 2] : pages.back().mHeight + 40;
        XmlNode& lastPage = nodeAt(root, kept.mPagePaths.back());
        const Path lastPath = kept.mPagePaths.back();
        QString indent;
        if (lastPath.back() > 0 && document.mChildren[size_t(lastPath.back() - 1)].mKind == XmlNode::Text)
            indent = document.mChildren[size_t(lastPath.back() - 1)].mText;
        for (size_t s = before.mSpreads.size(); s < layout.mSpreads.size(); ++s)
            for (int j = 0; j < layout.mSpreads[s].mPages.size(); ++j)
            {
                const int column = s == 0 ? kept.mFirstColumn + j : j;
                int reference = oldCount - 1;
                for (int p = oldCount - 1; p >= 0; --p)
                    if (columns[size_t(p)] == column)
                    {
                        reference = p;
                        break;
                    }
                PageInfo info = pages[size_t(reference)];
                info.mLabel = QString::number(pages.size() + 1);
                const PageInfo& model = pages[size_t(reference)];
                info.mY = tops.back() + step * double(s - (before.mSpreads.size() - 1)) +
                          (model.mY - tops[size_t(model.mSpread)]);
                info.mSpread = int(s);
                XmlNode node = nodeAt(root, kept.mPagePaths[size_t(reference)]);
                node.mInsertAfter.clear();
                node.setAttr(QStringLiteral("PAGEXPOS"), numberText(info.mX));
                node.setAttr(QStringLiteral("PAGEYPOS"), numberText(info.mY));
                node.setAttr(QStringLiteral("NUM"), QString::number(pages.size()));
                if (!indent.isEmpty())
                {
                    XmlNode space;
                    space.mKind = XmlNode::Text;
                    space.mText = indent;
                    lastPage.mInsertAfter.push_back(std::move(space));
                }
                lastPage.mInsertAfter.push_back(std::move(node));
                pages.push_back(info);
            }
    }
    if (document.has("ANZPAGES"))
        document.setAttr(QStringLiteral("ANZPAGES"), QString::number(newCount));
    // The section that ran to the last page runs to the new last page.
    for (XmlNode& child : document.mChildren)
        if (child.isElement("Sections"))
            for (XmlNode& section : child.mChildren)
                if (section.isElement("Section") && int(section.number("To", -1)) == oldCount - 1)
                    section.setAttr(QStringLiteral("To"), QString::number(newCount - 1));
    return pages;
}

QByteArray serializeKept(const Kept& kept, const Project& project)
{
    XmlDocument xml = kept.mXml;
    XmlNode& root = xml.mRoot;
    XmlNode& document = nodeAt(root, kept.mDocument);
    const Layout* layout = project.mLayouts.empty() ? nullptr : &project.mLayouts.front();
    const Layout* before = kept.mModel.mLayouts.empty() ? nullptr : &kept.mModel.mLayouts.front();
    const bool itemIds = formatVersion(root.attr("Version")) >= 105;
    // Boxes that no element describes (new ones, and kept ones whose kind or
    // spread changed: those lose their element and are written anew), in
    // their layout's order.
    std::vector<std::pair<XmlNode, int>> created; // the element, its page
    std::map<int32_t, size_t> createdIndex;       // by box number
    std::set<int32_t> replaced;
    if (layout && before)
    {
        const std::map<int32_t, int> spreadsBefore = spreadsOfBoxes(*before);
        const std::map<int32_t, int> spreadsNow = spreadsOfBoxes(*layout);
        std::vector<Path> deleted;
        for (const auto& entry : kept.mBoxes)
        {
            const Box* original = before->findBox(entry.first);
            const Box* now = layout->findBox(entry.first);
            if (!original)
                continue;
            if (!now || now->mKind != original->mKind ||
                spreadsNow.at(entry.first) != spreadsBefore.at(entry.first))
            {
                deleted.push_back(entry.second);
                if (now)
                    replaced.insert(entry.first);
                continue;
            }
            if (*now != *original)
                applyBox(nodeAt(root, entry.second), *original, *now);
        }
        for (const Path& path : deleted)
            nodeAt(root, path).mDeleted = true;

        const std::vector<PageInfo> pages = writePages(kept, *layout, *before, root);
        const double originX = kept.mOldFormat || pages.empty() ? 0 : pages.front().mX;
        const double originY = kept.mOldFormat || pages.empty() ? 0 : pages.front().mY;
        int firstPage = 0;
        for (size_t s = 0; s < layout->mSpreads.size(); ++s)
        {
            const Spread& spread = layout->mSpreads[s];
            for (const Box& box : spread.mBoxes)
            {
                if (kept.mBoxes.count(box.mNumber) && !replaced.count(box.mNumber))
                    continue;
                const double x = fromFixed(box.mBounds.left) + originX;
                const double y = fromFixed(box.mBounds.top) + originY;
                // Of the spread's pages, the one that holds the box's
                // centre, else the nearest: Scribus lists an object with
                // the page it names.
                const double cx = x + fromFixed(box.mBounds.right - box.mBounds.left) / 2;
                const double cy = y + fromFixed(box.mBounds.bottom - box.mBounds.top) / 2;
                int page = std::min(firstPage, std::max(0, int(pages.size()) - 1));
                double nearest = -1;
                for (int p = firstPage; p < firstPage + spread.mPages.size() && p < int(pages.size()); ++p)
                {
                    const PageInfo& info = pages[size_t(p)];
                    const double dx = std::max({0.0, info.mX - cx, cx - info.mX - info.mWidth});
                    const double dy = std::max({0.0, info.mY - cy, cy - info.mY - info.mHeight});
                    if (nearest < 0 || dx * dx + dy * dy < nearest)
                    {
                        nearest = dx * dx + dy * dy;
                        page = p;
                    }
                }
                createdIndex[box.mNumber] = created.size();
                created.emplace_back(objectNode(box, x, y, page), page);
            }
            firstPage += spread.mPages.size();
        }
        if (itemIds)
        {
            qint64 next = 0;
            for (const Path& path : kept.mObjects)
                next = std::max(next, nodeAt(root, path).attr("ItemID").toLongLong() + 1);
            for (auto& entry : created)
                entry.first.setAttr(QStringLiteral("ItemID"), QString::number(next++));
        }
    }

    // Stories whose chain of frames is new or changed are written whole:
    // their links, and their text in their first frame.
    std::vector<const Story*> rewritten;
    std::set<int32_t> rewrittenNumbers;
    if (layout)
        for (const Story& story : project.mStories)
        {
            const Story* original = kept.mModel.findStory(story.mNumber);
            bool whole = !kept.mStories.count(story.mNumber) || !original || original->mBoxes != story.mBoxes;
            for (const BoxLink& link : story.mBoxes)
                whole = whole || createdIndex.count(link.mBox);
            if (!whole)
                continue;
            rewritten.push_back(&story);
            rewrittenNumbers.insert(story.mNumber);
        }
    for (const auto& entry : kept.mStories)
    {
        const Story* original = kept.mModel.findStory(entry.first);
        const Story* now = project.findStory(entry.first);
        if (!original || !now || now->mText == original->mText || rewrittenNumbers.count(entry.first))
            continue;
        const StoryOrigin& origin = entry.second;
        const std::vector<TextUnit> units =
            rebuildUnits(origin.mUnits, *now, origin.mFallbackRun, origin.mTrail, origin.mParaElements);
        for (size_t f = 0; f < origin.mFrames.size(); ++f)
            replaceText(textContainer(nodeAt(root, origin.mFrames[f])),
                        f == 0 ? unitsToElements(units) : std::vector<XmlNode>());
    }
    // Assets: changed definitions rewritten, new ones added after the last
    // of their kind, removed ones dropped.
    for (int32_t kind : {sParagraphStyleKind, sCharacterStyleKind, XT::kColorAssetKind, sLayerKind})
    {
        const char* nameAttribute = nameAttributeOf(kind);
        const auto& now = project.mAssets[size_t(kind - 1)];
        const auto& was = kept.mModel.mAssets[size_t(kind - 1)];
        int last = -1;
        for (size_t i = 0; i < document.mChildren.size(); ++i)
            if (kindOfElement(document.mChildren[i]) == kind)
                last = int(i);
        std::vector<XmlNode> added;
        for (const Asset& asset : now)
        {
            auto found = kept.mAssets.find({kind, asset.mName});
            if (found != kept.mAssets.end())
            {
                const Asset* original = kept.mModel.findAsset(kind, asset.mName);
                if (original && *original == asset)
                    continue;
                XmlNode& node = nodeAt(root, found->second);
                if (kind == XT::kColorAssetKind)
                    writeColor(node, asset.mColor);
                else
                    defineFromDescription(node, asset.mName, nameAttribute, asset.mDescription);
                continue;
            }
            XmlNode node;
            node.mName = QLatin1String(elementOfKind(kind));
            if (kind == XT::kColorAssetKind)
            {
                node.setAttr(QStringLiteral("NAME"), asset.mName);
                if (last >= 0 && document.mChildren[size_t(last)].has("SPACE"))
                    node.setAttr(QStringLiteral("SPACE"), QString());
                else if (last >= 0)
                    node.setAttr(asset.mColor.mModel == ColorValue::Rgb ? QStringLiteral("RGB")
                                                                        : QStringLiteral("CMYK"),
                                 QString());
                writeColor(node, asset.mColor);
            }
            else
                defineFromDescription(node, asset.mName, nameAttribute, asset.mDescription);
            added.push_back(std::move(node));
        }
        for (const Asset& asset : was)
            if (!project.findAsset(kind, asset.mName))
            {
                auto found = kept.mAssets.find({kind, asset.mName});
                if (found != kept.mAssets.end())
                    nodeAt(root, found->second).mDeleted = true;
            }
        if (added.empty())
            continue;
        if (last < 0)
        {
            // Before the first page definition, else at the end.
            last = int(document.mChildren.size()) - 1;
            for (size_t i = 0; i < document.mChildren.size(); ++i)
                if (document.mChildren[i].isElement("MASTERPAGE") || document.mChildren[i].isElement("PAGE"))
                {
                    last = int(i) - 1;
                    break;
                }
        }
        QString indent;
        if (last > 0 && document.mChildren[size_t(last - 1)].mKind == XmlNode::Text)
            indent = document.mChildren[size_t(last - 1)].mText;
        if (last < 0)
        {
            document.mChildren.insert(document.mChildren.begin(), XmlNode());
            document.mChildren.front().mKind = XmlNode::Text;
            last = 0;
        }
        for (XmlNode& node : added)
        {
            if (!indent.isEmpty())
            {
                XmlNode space;
                space.mKind = XmlNode::Text;
                space.mText = indent;
                document.mChildren[size_t(last)].mInsertAfter.push_back(std::move(space));
            }
            document.mChildren[size_t(last)].mInsertAfter.push_back(std::move(node));
        }
    }
    writeCreated(kept, project, xml, created, createdIndex, rewritten, rewrittenNumbers);
    const QByteArray data = writeXml(xml);
    return kept.mCompressed ? gzip(data) : data;
}

// A document for a model that no parse made: the model alone, in the 1.5
// spelling.
QByteArray serializeNew(const Project& project)
{
    XmlDocument xml;
    xml.mDeclaration = true;
    XmlNode& root = xml.mRoot;
    root.mName = QStringLiteral("SCRIBUSUTF8NEW");
    root.setAttr(QStringLiteral("Version"), QStringLiteral("1.5.8"));
    root.mChildren.emplace_back();
    XmlNode& document = root.mChildren.back();
    document.mName = QStringLiteral("DOCUMENT");
    const Layout* layout = project.mLayouts.empty() ? nullptr : &project.mLayouts.front();
    int pages = layout ? layout->pageCount() : 0;
    double width = 595.276, height = 841.89;
    if (layout && !layout->mSpreads.empty() && !layout->mSpreads.front().mPages.isEmpty())
    {
        const Spread& spread = layout->mSpreads.front();
        width = fromFixed(spread.mBounds[1] - spread.mBounds[0]) / spread.mPages.size();
        height = fromFixed(spread.mBounds[3] - spread.mBounds[2]);
    }
    document.setAttr(QStringLiteral("ANZPAGES"), QString::number(pages));
    document.setAttr(QStringLiteral("PAGEWIDTH"), numberText(width));
    document.setAttr(QStringLiteral("PAGEHEIGHT"), numberText(height));
    document.setAttr(QStringLiteral("BOOK"), QStringLiteral("0"));
    if (layout)
        document.setAttr(QStringLiteral("TITLE"), layout->mName);
    for (int32_t kind : {XT::kColorAssetKind, sParagraphStyleKind, sCharacterStyleKind, sLayerKind})
        for (const Asset& asset : project.mAssets[size_t(kind - 1)])
        {
            XmlNode node;
            node.mName = QLatin1String(elementOfKind(kind));
            if (kind == XT::kColorAssetKind)
            {
                node.setAttr(QStringLiteral("NAME"), asset.mName);
                writeColor(node, asset.mColor);
            }
            else
                defineFromDescription(node, asset.mName, nameAttributeOf(kind), asset.mDescription);
            document.mChildren.push_back(std::move(node));
        }
    XmlNode master;
    master.mName = QStringLiteral("MASTERPAGE");
    master.setAttr(QStringLiteral("PAGEXPOS"), QStringLiteral("0"));
    master.setAttr(QStringLiteral("PAGEYPOS"), QStringLiteral("0"));
    master.setAttr(QStringLiteral("PAGEWIDTH"), numberText(width));
    master.setAttr(QStringLiteral("PAGEHEIGHT"), numberText(height));
    master.setAttr(QStringLiteral("NUM"), QStringLiteral("0"));
    master.setAttr(QStringLiteral("NAM"), QStringLiteral("Normal"));
    document.mChildren.push_back(master);
    if (!layout)
        return writeXml(xml);
    int pageNumber = 0;
    std::map<int32_t, int> itemIds;
    std::vector<XmlNode> objects;
    for (const Spread& spread : layout->mSpreads)
    {
        const double y = 20 + pageNumber * (height + 40);
        for (int p = 0; p < spread.mPages.size(); ++p)
        {
            XmlNode page;
            page.mName = QStringLiteral("PAGE");
            page.setAttr(QStringLiteral("PAGEXPOS"), numberText(100 + p * width));
            page.setAttr(QStringLiteral("PAGEYPOS"), numberText(y));
            page.setAttr(QStringLiteral("PAGEWIDTH"), numberText(width));
            page.setAttr(QStringLiteral("PAGEHEIGHT"), numberText(height));
            page.setAttr(QStringLiteral("NUM"), QString::number(pageNumber + p));
            page.setAttr(QStringLiteral("MNAM"), QStringLiteral("Normal"));
            document.mChildren.push_back(page);
        }
        for (const Box& box : spread.mBoxes)
        {
            const int column = std::max(
                0, std::min(int(fromFixed(box.mBounds.left) / width), int(spread.mPages.size()) - 1));
            XmlNode node = objectNode(box, 100 + fromFixed(box.mBounds.left), y + fromFixed(box.mBounds.top),
                                      pageNumber + column);
            node.mAttributes.insert(node.mAttributes.begin(),
                                    {QStringLiteral("ItemID"), QString::number(objects.size() + 1)});
            itemIds[box.mNumber] = int(objects.size());
            objects.push_back(std::move(node));
        }
        pageNumber += spread.mPages.size();
    }
    for (const Story& story : project.mStories)
    {
        std::vector<int> frames;
        for (const BoxLink& link : story.mBoxes)
            if (link.mLayout == layout->mNumber && itemIds.count(link.mBox))
                frames.push_back(itemIds[link.mBox]);
        if (frames.empty())
            continue;
        for (size_t f = 0; f + 1 < frames.size(); ++f)
        {
            objects[size_t(frames[f])].setAttr(QStringLiteral("NEXTITEM"),
                                               QString::number(frames[f + 1] + 1));
            objects[size_t(frames[f + 1])].setAttr(QStringLiteral("BACKITEM"),
                                                   QString::number(frames[f] + 1));
        }
        XmlNode text;
        text.mName = QStringLiteral("StoryText");
        std::vector<TextUnit> units;
        auto run = std::make_shared<XmlNode>();
        run->mName = QStringLiteral("ITEXT");
        run->mAttributes.emplace_back(QStringLiteral("CH"), QString());
        text.mChildren = unitsToElements(rebuildUnits({}, story, run, nullptr, true));
        XmlNode trail;
        trail.mName = QStringLiteral("trail");
        text.mChildren.push_back(trail);
        objects[size_t(frames.front())].mChildren.push_back(std::move(text));
    }
    for (XmlNode& node : objects)
        document.mChildren.push_back(std::move(node));
    return writeXml(xml);
}

} // namespace

int32_t ScribusProjectFormat::numberForName(const QString& name)
{
    uint32_t hash = 2166136261u;
    for (QChar c : name)
    {
        hash ^= c.unicode() & 0xff;
        hash *= 16777619u;
        hash ^= c.unicode() >> 8;
        hash *= 16777619u;
    }
    const int32_t number = int32_t(hash & 0x7fffffff);
    return number == 0 ? 1 : number;
}

bool ScribusProjectFormat::recognise(const QByteArray& head, XTFourCC* fileType) const
{
    QByteArray text = head;
    if (isGzip(head))
    {
        QString ignored;
        if (!gunzip(head, sHeadSize, true, &text, &ignored))
            return false;
    }
    const int start = text.indexOf('<', text.startsWith("<?xml") ? text.indexOf("?>") : 0);
    const QByteArray element = start < 0 ? QByteArray() : text.mid(start, 13);
    if (!element.startsWith("<SCRIBUSUTF8"))
        return false;
    *fileType = XT::kFileProject;
    return true;
}

bool ScribusProjectFormat::parse(const QByteArray& data, const QString& place, Project& project,
                                 QString* error) const
{
    auto kept = std::make_shared<Kept>();
    QByteArray text = data;
    if (isGzip(data))
    {
        kept->mCompressed = true;
        QString message;
        if (!gunzip(data, sMaxFileSize, false, &text, &message))
        {
            *error = QStringLiteral("%1: %2").arg(place, message);
            return false;
        }
    }
    try
    {
        kept->mXml = readXml(maskControls(text));
    }
    catch (const ParseFailure& failure)
    {
        *error = QStringLiteral("%1: %2").arg(place, failure.mMessage);
        return false;
    }
    const XmlNode& root = kept->mXml.mRoot;
    const bool oldFormat = root.mName == QLatin1String("SCRIBUSUTF8");
    if (!oldFormat && root.mName != QLatin1String("SCRIBUSUTF8NEW"))
    {
        *error = QStringLiteral("%1: element <%2>: not a Scribus document").arg(place, root.mName);
        return false;
    }
    const QString version = root.attr("Version");
    if (formatVersion(version) > sNewestVersion)
    {
        *error = QStringLiteral("%1: element <%2>, attribute Version: format version %3 is newer than this "
                                "host reads (1.5)")
                     .arg(place, root.mName, version);
        return false;
    }
    int documentIndex = -1;
    for (size_t i = 0; i < root.mChildren.size(); ++i)
        if (root.mChildren[i].isElement("DOCUMENT"))
        {
            documentIndex = int(i);
            break;
        }
    if (documentIndex < 0)
    {
        *error = QStringLiteral("%1: element <%2>: no DOCUMENT element").arg(place, root.mName);
        return false;
    }
    kept->mDocument = {documentIndex};
    Project loaded;
    Builder builder(*kept);
    builder.mOldFormat = oldFormat;
    builder.build(loaded);
    kept->mModel = loaded;
    // The kept copy must not share the key, or the entry would never go.
    QString& keptName = kept->mModel.mLayouts.front().mName;
    keptName = QString(keptName.constData(), keptName.size());
    registry().add(loaded.mLayouts.front().mName, kept);
    project = std::move(loaded);
    return true;
}

QString ScribusProjectFormat::unwritable(const Project& project) const
{
    if (!project.mLayouts.empty())
        if (std::shared_ptr<const Kept> kept = registry().find(project.mLayouts.front().mName))
            return unwritableIn(*kept, project);
    return QString();
}

QByteArray ScribusProjectFormat::serialize(const Project& project) const
{
    if (!project.mLayouts.empty())
        if (std::shared_ptr<const Kept> kept = registry().find(project.mLayouts.front().mName))
            return serializeKept(*kept, project);
    return serializeNew(project);
}

} // namespace XTHost
