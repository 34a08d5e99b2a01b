#include "XmlIndex.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace XTHost
{

namespace
{

struct Failure
{
    uint32_t mOffset;
    QString mMessage;
};

bool isSpace(uchar c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The length of the UTF-8 sequence at p (at most `available` bytes) and its
// code point, or 0 where it is not well-formed UTF-8 (overlong forms,
// surrogates and values past U+10FFFF included).
int decodeUtf8(const uchar* p, uint32_t available, uint32_t* codePoint)
{
    const uchar c = p[0];
    if (c < 0x80)
    {
        *codePoint = c;
        return 1;
    }
    int length;
    uint32_t value;
    uint32_t minimum;
    if ((c & 0xE0) == 0xC0)
        length = 2, value = c & 0x1F, minimum = 0x80;
    else if ((c & 0xF0) == 0xE0)
        length = 3, value = c & 0x0F, minimum = 0x800;
    else if ((c & 0xF8) == 0xF0)
        length = 4, value = c & 0x07, minimum = 0x10000;
    else
        return 0;
    if (uint32_t(length) > available)
        return 0;
    for (int i = 1; i < length; ++i)
    {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

bool isNameStart(uint32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(uint32_t c)
{
    if (c < 0x80)
        return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    return isNameStart(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// One pass over the bytes: checks them and records every element.
class Scanner
{
public:
    Scanner(const QByteArray& bytes, std::vector<XmlIndex::Element>& elements)
        : mData(reinterpret_cast<const uchar*>(bytes.constData())), mSize(uint32_t(bytes.size())),
          mElements(elements)
    {
    }

    uint32_t run(bool* byteOrderMark)
    {
        if (mSize >= 2 && ((mData[0] == 0xFE && mData[1] == 0xFF) || (mData[0] == 0xFF && mData[1] == 0xFE) ||
                           (mData[0] == 0 && mData[1] == '<') || (mData[0] == '<' && mData[1] == 0)))
            fail(0, QStringLiteral("the document is encoded in UTF-16; only UTF-8 documents are read"));
        if (mSize >= 3 && mData[0] == 0xEF && mData[1] == 0xBB && mData[2] == 0xBF)
        {
            *byteOrderMark = true;
            mAt = 3;
        }
        if (startsWith("<?xml") && mAt + 5 < mSize && isSpace(mData[mAt + 5]))
            declaration();
        uint32_t root = XmlIndex::sNone;
        bool doctype = false;
        // The prolog, the root element, what may follow it.
        while (mAt < mSize)
        {
            if (isSpace(mData[mAt]))
            {
                ++mAt;
                continue;
            }
            if (mData[mAt] != '<')
                fail(mAt, root == XmlIndex::sNone ? QStringLiteral("text before the root element")
                                                  : QStringLiteral("text after the root element"));
            if (startsWith("<!--"))
                comment();
            else if (startsWith("<?"))
                instruction();
            else if (startsWith("<!DOCTYPE"))
            {
                if (doctype || root != XmlIndex::sNone)
                    fail(mAt, QStringLiteral("a document type declaration out of place"));
                doctype = true;
                documentType();
            }
            else if (root == XmlIndex::sNone)
                root = content();
            else
                fail(mAt, QStringLiteral("a second root element"));
        }
        if (root == XmlIndex::sNone)
            fail(mAt, QStringLiteral("the document has no root element"));
        return root;
    }

private:
    [[noreturn]] void fail(uint32_t offset, const QString& message) { throw Failure{offset, message}; }

    bool startsWith(const char* text) const
    {
        const size_t length = std::strlen(text);
        return mAt + length <= mSize && std::memcmp(mData + mAt, text, length) == 0;
    }

    void expect(const char* text, const char* what)
    {
        if (!startsWith(text))
            fail(mAt, mAt >= mSize ? QStringLiteral("the document ends early, in %1").arg(QLatin1String(what))
                                   : QStringLiteral("\"%1\" expected in %2")
                                         .arg(QLatin1String(text), QLatin1String(what)));
        mAt += uint32_t(std::strlen(text));
    }

    void skipSpace()
    {
        while (mAt < mSize && isSpace(mData[mAt]))
            ++mAt;
    }

    // The end of the name at mAt.
    uint32_t name(const char* what)
    {
        uint32_t at = mAt;
        bool first = true;
        while (at < mSize)
        {
            uint32_t c;
            const int length = decodeUtf8(mData + at, mSize - at, &c);
            if (length == 0)
                fail(at, QStringLiteral("not UTF-8 in %1").arg(QLatin1String(what)));
            if (!(first ? isNameStart(c) : isNameChar(c)))
                break;
            first = false;
            at += uint32_t(length);
        }
        if (at == mAt)
        {
            if (mAt >= mSize)
                fail(mAt, QStringLiteral("the document ends early, in %1").arg(QLatin1String(what)));
            fail(mAt, QStringLiteral("%1 is not an XML name").arg(QLatin1String(what)));
        }
        return at;
    }

    // Checks UTF-8 from mAt up to the end marker, which it skips; what lies
    // between is not read further (comments, instructions, CDATA).
    void until(const char* end, const char* what)
    {
        const size_t length = std::strlen(end);
        while (mAt < mSize)
        {
            if (mData[mAt] == uchar(end[0]) && mAt + length <= mSize &&
                std::memcmp(mData + mAt, end, length) == 0)
            {
                mAt += uint32_t(length);
                return;
            }
            char32(what);
        }
        fail(mAt, QStringLiteral("the document ends early, in %1").arg(QLatin1String(what)));
    }

    // Steps over one character, checking it.
    void char32(const char* what)
    {
        const uchar c = mData[mAt];
        if (c < 0x80)
        {
            if (c == 0)
                fail(mAt, QStringLiteral("a NUL byte in %1").arg(QLatin1String(what)));
            ++mAt;
            return;
        }
        uint32_t value;
        const int length = decodeUtf8(mData + mAt, mSize - mAt, &value);
        if (length == 0)
            fail(mAt, QStringLiteral("not UTF-8 in %1").arg(QLatin1String(what)));
        mAt += uint32_t(length);
    }

    void comment() { mAt += 4, until("-->", "a comment"); }

    void instruction()
    {
        mAt += 2;
        const uint32_t start = mAt;
        mAt = name("a processing instruction's target");
        if (mAt - start == 3 && (mData[start] | 0x20) == 'x' && (mData[start + 1] | 0x20) == 'm' &&
            (mData[start + 2] | 0x20) == 'l')
            fail(start - 2, QStringLiteral("an XML declaration out of place"));
        until("?>", "a processing instruction");
    }

    void declaration()
    {
        const uint32_t start = mAt;
        mAt += 5;
        const uint32_t end = mAt;
        until("?>", "the XML declaration");
        // Only UTF-8 is read: a document that says it is in another
        // encoding would be misread.
        const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(mData) + end,
                                                        int(mAt - 2 - end));
        const int key = text.indexOf("encoding");
        if (key < 0)
            return;
        int open = key + 8;
        while (open < text.size() && (isSpace(uchar(text[open])) || text[open] == '='))
            ++open;
        if (open >= text.size() || (text[open] != '"' && text[open] != '\''))
            fail(start, QStringLiteral("the XML declaration's encoding is not quoted"));
        const int close = text.indexOf(text[open], open + 1);
        const QByteArray encoding = text.mid(open + 1, close - open - 1).toLower();
        if (close < 0 || (encoding != "utf-8" && encoding != "utf8"))
            fail(start, QStringLiteral("the document is encoded in %1; only UTF-8 documents are read")
                            .arg(printable(QString::fromLatin1(text.mid(open + 1, close - open - 1)))));
    }

    void documentType()
    {
        const uint32_t start = mAt;
        mAt += 9;
        int brackets = 0;
        while (mAt < mSize)
        {
            const uchar c = mData[mAt];
            if (c == '"' || c == '\'')
            {
                const uchar quote = c;
                ++mAt;
                while (mAt < mSize && mData[mAt] != quote)
                    char32("the document type declaration");
                ++mAt;
                continue;
            }
            if (c == '[')
                ++brackets;
            else if (c == ']')
                --brackets;
            else if (c == '>' && brackets <= 0)
            {
                ++mAt;
                return;
            }
            char32("the document type declaration");
        }
        fail(start, QStringLiteral("the document ends early, in the document type declaration"));
    }

    // A reference at mAt ('&'); the character it stands for is checked.
    void reference(const char* what)
    {
        const uint32_t start = mAt;
        ++mAt;
        if (mAt < mSize && mData[mAt] == '#')
        {
            ++mAt;
            const bool hex = mAt < mSize && mData[mAt] == 'x';
            if (hex)
                ++mAt;
            uint64_t value = 0;
            const uint32_t digits = mAt;
            while (mAt < mSize && mData[mAt] != ';')
            {
                const uchar c = mData[mAt];
                int digit;
                if (c >= '0' && c <= '9')
                    digit = c - '0';
                else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f')
                    digit = (c | 0x20) - 'a' + 10;
                else
                    fail(start, QStringLiteral("a malformed character reference in %1").arg(QLatin1String(what)));
                value = std::min<uint64_t>(value * (hex ? 16 : 10) + uint64_t(digit), 0x110000);
                ++mAt;
            }
            if (mAt >= mSize || mAt == digits)
                fail(start, QStringLiteral("a malformed character reference in %1").arg(QLatin1String(what)));
            ++mAt;
            if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
                fail(start, QStringLiteral("a character reference to no character in %1").arg(QLatin1String(what)));
            return;
        }
        const uint32_t nameEnd = name("a reference");
        const QByteArray entity(reinterpret_cast<const char*>(mData) + mAt, int(nameEnd - mAt));
        if (nameEnd >= mSize || mData[nameEnd] != ';')
            fail(start, QStringLiteral("a malformed reference in %1").arg(QLatin1String(what)));
        if (entity != "lt" && entity != "gt" && entity != "amp" && entity != "apos" && entity != "quot")
            fail(start, QStringLiteral("unknown entity &%1;").arg(QString::fromUtf8(entity.left(40))));
        mAt = nameEnd + 1;
    }

    // Character data up to the next '<'.
    void characters()
    {
        while (mAt < mSize)
        {
            const uchar c = mData[mAt];
            if (c == '<')
                return;
            if (c == '&')
                reference("text");
            else if (c >= 0x80 || c == 0)
                char32("text");
            else
                ++mAt;
        }
    }

    void attributeValue()
    {
        if (mAt >= mSize || (mData[mAt] != '"' && mData[mAt] != '\''))
            fail(mAt, mAt >= mSize ? QStringLiteral("the document ends early, in a start tag")
                                   : QStringLiteral("an attribute value is not quoted"));
        const uchar quote = mData[mAt++];
        while (mAt < mSize)
        {
            const uchar c = mData[mAt];
            if (c == quote)
            {
                ++mAt;
                return;
            }
            if (c == '<')
                fail(mAt, QStringLiteral("'<' in an attribute value"));
            if (c == '&')
                reference("an attribute value");
            else if (c >= 0x80 || c == 0)
                char32("an attribute value");
            else
                ++mAt;
        }
        fail(mAt, QStringLiteral("the document ends early, in an attribute value"));
    }

    // The start tag at mAt, its attributes checked; returns whether the
    // element is empty ("/>").
    bool startTag(uint32_t element)
    {
        ++mAt;
        const uint32_t nameStart = mAt;
        mAt = name("an element name");
        mElements[element].mNameLength = mAt - nameStart;
        mNames.clear();
        for (;;)
        {
            const uint32_t beforeSpace = mAt;
            skipSpace();
            if (mAt >= mSize)
                fail(mAt, QStringLiteral("the document ends early, in a start tag"));
            if (mData[mAt] == '>')
            {
                ++mAt;
                break;
            }
            if (mData[mAt] == '/')
            {
                ++mAt;
                expect(">", "an empty-element tag");
                checkRepeats();
                return true;
            }
            if (beforeSpace == mAt)
                fail(mAt, QStringLiteral("no space before an attribute"));
            const uint32_t attribute = mAt;
            mAt = name("an attribute name");
            mNames.push_back({attribute, mAt - attribute});
            skipSpace();
            expect("=", "an attribute");
            skipSpace();
            attributeValue();
        }
        checkRepeats();
        return false;
    }

    void checkRepeats()
    {
        if (mNames.size() < 2)
            return;
        auto sameName = [&](const std::pair<uint32_t, uint32_t>& a, const std::pair<uint32_t, uint32_t>& b)
        { return a.second == b.second && std::memcmp(mData + a.first, mData + b.first, a.second) == 0; };
        if (mNames.size() <= 8)
        {
            for (size_t i = 1; i < mNames.size(); ++i)
                for (size_t j = 0; j < i; ++j)
                    if (sameName(mNames[i], mNames[j]))
                        repeated(mNames[i]);
            return;
        }
        mHashes.clear();
        for (size_t i = 0; i < mNames.size(); ++i)
        {
            uint64_t hash = 1469598103934665603ull;
            for (uint32_t k = 0; k < mNames[i].second; ++k)
                hash = (hash ^ mData[mNames[i].first + k]) * 1099511628211ull;
            mHashes.emplace_back(hash, uint32_t(i));
        }
        std::sort(mHashes.begin(), mHashes.end());
        for (size_t i = 1; i < mHashes.size(); ++i)
            for (size_t j = i; j > 0 && mHashes[j - 1].first == mHashes[i].first; --j)
                if (sameName(mNames[mHashes[i].second], mNames[mHashes[j - 1].second]))
                    repeated(mNames[std::max(mHashes[i].second, mHashes[j - 1].second)]);
    }

    [[noreturn]] void repeated(const std::pair<uint32_t, uint32_t>& name)
    {
        fail(name.first, QStringLiteral("the attribute %1 is repeated")
                             .arg(QString::fromUtf8(reinterpret_cast<const char*>(mData) + name.first,
                                                    int(std::min<uint32_t>(name.second, 60)))));
    }

    uint32_t newElement(uint32_t parent)
    {
        if (mElements.size() >= XmlIndex::sMaxElements)
            fail(mAt, QStringLiteral("the document has more than %1 elements").arg(XmlIndex::sMaxElements));
        XmlIndex::Element element;
        element.mStart = mAt;
        element.mParent = parent;
        mElements.push_back(element);
        return uint32_t(mElements.size() - 1);
    }

    // The root element and everything in it, without recursion: a document
    // nested deeper than the stack would be refused, not crash.
    uint32_t content()
    {
        struct Open
        {
            uint32_t mElement;
            uint32_t mLastChild;
        };
        std::vector<Open> open;
        const uint32_t root = newElement(XmlIndex::sNone);
        if (startTag(root))
        {
            mElements[root].mContent = mElements[root].mEnd = mAt;
            return root;
        }
        mElements[root].mContent = mAt;
        open.push_back({root, XmlIndex::sNone});
        while (!open.empty())
        {
            characters();
            if (mAt >= mSize)
                fail(mAt, QStringLiteral("the document ends early, inside <%1>")
                              .arg(QString::fromUtf8(nameOf(open.back().mElement))));
            if (startsWith("</"))
            {
                const uint32_t element = open.back().mElement;
                const XmlIndex::Element& e = mElements[element];
                const uint32_t at = mAt;
                mAt += 2;
                const uint32_t end = name("an end tag");
                if (end - mAt != e.mNameLength || std::memcmp(mData + mAt, mData + e.mStart + 1, e.mNameLength) != 0)
                    fail(at, QStringLiteral("the end tag </%1> does not close <%2>")
                                 .arg(QString::fromUtf8(reinterpret_cast<const char*>(mData) + mAt,
                                                        int(std::min<uint32_t>(end - mAt, 60))),
                                      QString::fromUtf8(nameOf(element))));
                mAt = end;
                skipSpace();
                expect(">", "an end tag");
                mElements[element].mEnd = mAt;
                open.pop_back();
                continue;
            }
            if (startsWith("<!--"))
            {
                comment();
                continue;
            }
            if (startsWith("<![CDATA["))
            {
                mAt += 9;
                until("]]>", "a CDATA section");
                continue;
            }
            if (startsWith("<?"))
            {
                instruction();
                continue;
            }
            if (startsWith("<!"))
                fail(mAt, QStringLiteral("a declaration inside an element"));
            Open& parent = open.back();
            const uint32_t element = newElement(parent.mElement);
            if (parent.mLastChild == XmlIndex::sNone)
                mElements[parent.mElement].mFirstChild = element;
            else
                mElements[parent.mLastChild].mNextSibling = element;
            parent.mLastChild = element;
            if (startTag(element))
            {
                mElements[element].mContent = mElements[element].mEnd = mAt;
                continue;
            }
            mElements[element].mContent = mAt;
            if (open.size() >= size_t(XmlIndex::sMaxDepth))
                fail(mElements[element].mStart,
                     QStringLiteral("elements are nested deeper than %1").arg(XmlIndex::sMaxDepth));
            open.push_back({element, XmlIndex::sNone});
        }
        return root;
    }

    QByteArray nameOf(uint32_t element) const
    {
        const XmlIndex::Element& e = mElements[element];
        return QByteArray(reinterpret_cast<const char*>(mData) + e.mStart + 1, int(e.mNameLength));
    }

    const uchar* mData;
    uint32_t mSize;
    uint32_t mAt = 0;
    std::vector<XmlIndex::Element>& mElements;
    std::vector<std::pair<uint32_t, uint32_t>> mNames;
    std::vector<std::pair<uint64_t, uint32_t>> mHashes;
};

} // namespace

QString printable(const QString& value)
{
    QString out = QStringLiteral("\"");
    for (QChar c : value.left(60))
    {
        const ushort u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || c.isSurrogate())
            out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + (value.size() > 60 ? QStringLiteral("\"...") : QStringLiteral("\""));
}

bool XmlIndex::parse(QByteArray bytes, QString* error)
{
    if (bytes.size() < 0 || uint64_t(bytes.size()) >= uint64_t(UINT32_MAX))
    {
        *error = QStringLiteral("the document is too large");
        return false;
    }
    mBytes = std::move(bytes);
    mElements.clear();
    mByteOrderMark = false;
    try
    {
        Scanner scanner(mBytes, mElements);
        mRoot = scanner.run(&mByteOrderMark);
    }
    catch (const Failure& failure)
    {
        int line = 0, column = 0;
        position(failure.mOffset, &line, &column);
        *error = QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(failure.mMessage);
        mElements.clear();
        mElements.shrink_to_fit();
        mRoot = sNone;
        return false;
    }
    mElements.shrink_to_fit();
    return true;
}

void XmlIndex::position(uint32_t offset, int* line, int* column) const
{
    const char* data = mBytes.constData();
    const uint32_t end = std::min<uint32_t>(offset, uint32_t(mBytes.size()));
    int lines = 1;
    uint32_t lineStart = 0;
    for (const char* p = data; (p = static_cast<const char*>(std::memchr(p, '\n', size_t(data + end - p))));
         ++p)
    {
        ++lines;
        lineStart = uint32_t(p - data) + 1;
    }
    int characters = 1;
    for (uint32_t i = lineStart; i < end; ++i)
        if ((uchar(data[i]) & 0xC0) != 0x80)
            ++characters;
    *line = lines;
    *column = characters;
}

bool XmlIndex::isNamed(uint32_t index, const char* name) const
{
    const Element& e = mElements[index];
    return std::strlen(name) == e.mNameLength && std::memcmp(data() + e.mStart + 1, name, e.mNameLength) == 0;
}

QByteArray XmlIndex::name(uint32_t index) const
{
    const Element& e = mElements[index];
    return QByteArray(data() + e.mStart + 1, int(e.mNameLength));
}

uint32_t XmlIndex::child(uint32_t parent, const char* name) const
{
    for (uint32_t c = mElements[parent].mFirstChild; c != sNone; c = mElements[c].mNextSibling)
        if (isNamed(c, name))
            return c;
    return sNone;
}

void XmlIndex::attributes(uint32_t index, std::vector<Attribute>& out) const
{
    out.clear();
    const Element& e = mElements[index];
    const char* d = data();
    uint32_t at = e.mStart + 1 + e.mNameLength;
    // The tag was checked: names end at space or '=', values at their quote.
    for (;;)
    {
        while (isSpace(uchar(d[at])))
            ++at;
        if (d[at] == '>' || d[at] == '/')
            return;
        Attribute attribute;
        attribute.mName = at;
        while (!isSpace(uchar(d[at])) && d[at] != '=')
            ++at;
        attribute.mNameLength = at - attribute.mName;
        while (d[at] != '"' && d[at] != '\'')
            ++at;
        const char quote = d[at++];
        attribute.mValue = at;
        const char* close = static_cast<const char*>(std::memchr(d + at, quote, size_t(e.mContent - at)));
        at = uint32_t(close - d);
        attribute.mValueLength = at - attribute.mValue;
        ++at;
        out.push_back(attribute);
    }
}

bool XmlIndex::nameIs(const Attribute& attribute, const char* name) const
{
    return std::strlen(name) == attribute.mNameLength &&
           std::memcmp(data() + attribute.mName, name, attribute.mNameLength) == 0;
}

QString XmlIndex::value(const Attribute& attribute) const
{
    return decode(data() + attribute.mValue, attribute.mValueLength, true);
}

QString XmlIndex::text(uint32_t from, uint32_t to) const
{
    return decode(data() + from, to - from, false);
}

QString XmlIndex::utf8(const char* data, uint32_t length)
{
    QString out;
    while (length >= 3 && uchar(data[0]) == 0xEF && uchar(data[1]) == 0xBB && uchar(data[2]) == 0xBF)
    {
        out += QChar(0xFEFF);
        data += 3;
        length -= 3;
    }
    return out.isEmpty() ? QString::fromUtf8(data, int(length)) : out + QString::fromUtf8(data, int(length));
}

QString XmlIndex::decode(const char* data, uint32_t length, bool attribute)
{
    bool plain = true;
    for (uint32_t i = 0; i < length && plain; ++i)
    {
        const char c = data[i];
        plain = c != '&' && c != '\r' && !(attribute && (c == '\n' || c == '\t'));
    }
    if (plain)
        return utf8(data, length);
    QString out;
    out.reserve(int(length));
    uint32_t run = 0; // start of the bytes not yet decoded
    auto flush = [&](uint32_t to)
    {
        if (to > run)
            out += utf8(data + run, to - run);
    };
    for (uint32_t i = 0; i < length;)
    {
        const char c = data[i];
        if (c == '\r' || (attribute && (c == '\n' || c == '\t')))
        {
            flush(i);
            const bool pair = c == '\r' && i + 1 < length && data[i + 1] == '\n';
            out += attribute ? QChar(u' ') : QChar(u'\n');
            i += pair ? 2 : 1;
            run = i;
            continue;
        }
        if (c != '&')
        {
            ++i;
            continue;
        }
        flush(i);
        const char* end = static_cast<const char*>(std::memchr(data + i, ';', length - i));
        const uint32_t close = end ? uint32_t(end - data) : length;
        const QByteArray name(data + i + 1, int(close - i - 1));
        if (name.startsWith('#'))
        {
            bool ok = false;
            const uint value = name.startsWith("#x") ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
            if (ok)
                out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&value), 1);
        }
        else if (name == "lt")
            out += QLatin1Char('<');
        else if (name == "gt")
            out += QLatin1Char('>');
        else if (name == "amp")
            out += QLatin1Char('&');
        else if (name == "apos")
            out += QLatin1Char('\'');
        else if (name == "quot")
            out += QLatin1Char('"');
        i = close + 1;
        run = i;
    }
    flush(length);
    return out;
}

void XmlTag::read(const XmlIndex& index, uint32_t element)
{
    mIndex = &index;
    index.attributes(element, mAttributes);
}

const XmlIndex::Attribute* XmlTag::find(const char* name) const
{
    const size_t length = std::strlen(name);
    const char* data = mIndex->data();
    for (const XmlIndex::Attribute& attribute : mAttributes)
        if (attribute.mNameLength == length && std::memcmp(data + attribute.mName, name, length) == 0)
            return &attribute;
    return nullptr;
}

QString XmlTag::value(const char* name, const QString& fallback) const
{
    const XmlIndex::Attribute* attribute = find(name);
    return attribute ? mIndex->value(*attribute) : fallback;
}

bool XmlTag::equals(const char* name, const char* text) const
{
    const XmlIndex::Attribute* attribute = find(name);
    return attribute && attribute->mValueLength == std::strlen(text) &&
           std::memcmp(mIndex->data() + attribute->mValue, text, attribute->mValueLength) == 0;
}

double XmlTag::number(const char* name, double fallback) const
{
    const XmlIndex::Attribute* attribute = find(name);
    if (!attribute || attribute->mValueLength == 0 || attribute->mValueLength > 64)
        return fallback;
    const char* data = mIndex->data() + attribute->mValue;
    // Numbers are plain ASCII; one with a reference in it is read whole.
    if (std::memchr(data, '&', attribute->mValueLength))
    {
        bool ok = false;
        const double value = mIndex->value(*attribute).trimmed().toDouble(&ok);
        return ok && std::isfinite(value) ? value : fallback;
    }
    // A copy: trimming a QByteArray over raw data would move the document's
    // own bytes.
    const char* begin = data;
    const char* end = data + attribute->mValueLength;
    while (begin < end && (*begin == ' ' || *begin == '\t' || *begin == '\n' || *begin == '\r'))
        ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\n' || end[-1] == '\r'))
        --end;
    char text[65];
    std::memcpy(text, begin, size_t(end - begin));
    text[end - begin] = '\0';
    bool ok = false;
    const double value = QByteArray::fromRawData(text, int(end - begin)).toDouble(&ok);
    return ok && std::isfinite(value) ? value : fallback;
}

int XmlTag::integer(const char* name, int fallback) const
{
    const double value = number(name, fallback);
    return value >= -2147483647.0 && value <= 2147483647.0 ? int(value) : fallback;
}

} // namespace XTHost
