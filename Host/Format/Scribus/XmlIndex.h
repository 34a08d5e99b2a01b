#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace XTHost
{

// A value from a document as a message shows it: between quotes, control
// characters escaped ("\u0005"), cut after 60 characters.
QString printable(const QString& value);

// An XML document held as its own bytes with a flat index of its elements:
// nothing is copied out of the bytes until a reader asks for it, so a large
// document costs little more than its size, and an element nobody edits can
// be written back byte for byte.
//
// parse() checks well-formedness as it builds the index (names, quoting,
// matching end tags, repeated attributes, references, UTF-8) and refuses
// what it cannot hold with the line and column of the fault. It is lenient
// in one way on purpose: control characters that XML 1.0 does not allow
// (U+0001 to U+001F but tab and line ends), raw or as character references,
// are taken in text and attribute values, because Scribus writes them
// (0x05 ended a paragraph in its older formats, 0x1E is a page number).
class XmlIndex
{
public:
    static constexpr uint32_t sNone = UINT32_MAX;
    // Limits, named in the messages that refuse a document past them.
    static constexpr int sMaxDepth = 256;
    static constexpr uint32_t sMaxElements = 2000000;

    struct Element
    {
        uint32_t mStart = 0;   // the '<' of the start tag
        uint32_t mContent = 0; // just after the start tag; mEnd for an empty element ("<a/>")
        uint32_t mEnd = 0;     // just after the end tag
        uint32_t mParent = sNone;
        uint32_t mFirstChild = sNone;
        uint32_t mNextSibling = sNone;
        uint32_t mNameLength = 0; // the name follows the '<'
    };

    // One attribute of a start tag, as spans of the bytes.
    struct Attribute
    {
        uint32_t mName = 0;
        uint32_t mNameLength = 0;
        uint32_t mValue = 0; // after the opening quote
        uint32_t mValueLength = 0;
    };

    // Takes the document's bytes. False with *error ("line L, column C:
    // what") when they are not a well-formed document this index holds.
    [[nodiscard]] bool parse(QByteArray bytes, QString* error);

    const QByteArray& bytes() const { return mBytes; }
    // Takes the bytes out (the index stays, and refers to them), and puts
    // them back: for keeping a large document packed while nobody reads it.
    QByteArray releaseBytes() { return std::move(mBytes); }
    void restoreBytes(QByteArray bytes) { mBytes = std::move(bytes); }
    const char* data() const { return mBytes.constData(); }
    uint32_t root() const { return mRoot; }
    size_t elementCount() const { return mElements.size(); }
    const Element& element(uint32_t index) const { return mElements[index]; }
    // Whether a byte order mark precedes the document.
    bool hasByteOrderMark() const { return mByteOrderMark; }

    bool isNamed(uint32_t index, const char* name) const;
    QByteArray name(uint32_t index) const;
    // The first child element of that name, or sNone.
    uint32_t child(uint32_t parent, const char* name) const;

    // The attributes of an element's start tag, in their order.
    void attributes(uint32_t index, std::vector<Attribute>& out) const;
    // An attribute's value with references resolved and white space
    // normalised as XML reads it.
    QString value(const Attribute& attribute) const;
    bool nameIs(const Attribute& attribute, const char* name) const;

    // Text between two offsets read as XML character data (references
    // resolved, line ends normalised).
    QString text(uint32_t from, uint32_t to) const;

    // Line and column (from 1) of an offset, for messages.
    void position(uint32_t offset, int* line, int* column) const;
    // UTF-8 bytes as text, a U+FEFF at their start kept (QString::fromUtf8
    // takes it for a byte order mark and drops it).
    static QString utf8(const char* data, uint32_t length);
    // Decodes XML attribute or character data; `attribute` normalises white
    // space as an attribute value is. The bytes were checked by parse().
    static QString decode(const char* data, uint32_t length, bool attribute);

private:
    QByteArray mBytes;
    std::vector<Element> mElements;
    uint32_t mRoot = sNone;
    bool mByteOrderMark = false;
};

// The attributes of one start tag, read once for several lookups.
class XmlTag
{
public:
    XmlTag() = default;
    XmlTag(const XmlIndex& index, uint32_t element) { read(index, element); }
    void read(const XmlIndex& index, uint32_t element);

    bool has(const char* name) const { return find(name) != nullptr; }
    QString value(const char* name, const QString& fallback = QString()) const;
    // A number, or the fallback where the attribute is missing or is no
    // finite number.
    double number(const char* name, double fallback = 0) const;
    int integer(const char* name, int fallback = 0) const;
    // Whether the value is exactly this ASCII text.
    bool equals(const char* name, const char* text) const;
    const std::vector<XmlIndex::Attribute>& all() const { return mAttributes; }
    const XmlIndex::Attribute* find(const char* name) const;

private:
    const XmlIndex* mIndex = nullptr;
    std::vector<XmlIndex::Attribute> mAttributes;
};

} // namespace XTHost
