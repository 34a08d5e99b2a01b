#pragma once

#include "XmlIndex.h"

#include <QByteArray>
#include <QString>

#include <unordered_map>
#include <utility>
#include <vector>

namespace XTHost
{

// Escapes text for an attribute value or character data. Control
// characters (below U+0020 but tab and line ends) are written raw where
// `rawControls`, else as character references; Scribus reads both.
void appendEscaped(QByteArray& out, const QString& text, bool attribute, bool rawControls = false);

// A new element written from scratch: its name, attributes in order, and
// content (already XML) or none.
class XmlElementBuilder
{
public:
    explicit XmlElementBuilder(const char* name) : mName(name) {}
    XmlElementBuilder& set(const char* name, const QString& value);
    QByteArray empty() const;
    QByteArray withContent(const QByteArray& content) const;

private:
    QByteArray mName;
    std::vector<std::pair<QByteArray, QString>> mAttributes;
};

// The edits of one save over a document that stays as it was read: changed
// attributes, removed elements, moved elements, new XML placed beside or
// inside elements. write() gives the edited document: every element whose
// subtree no edit touches is copied byte for byte, so what the edits do not
// reach is written exactly as it was read.
class XmlEditor
{
public:
    explicit XmlEditor(const XmlIndex& index) : mIndex(index) {}

    const XmlIndex& index() const { return mIndex; }

    // Sets an attribute (added at the end of the tag when the element lacks
    // it), or removes it.
    void setAttribute(uint32_t element, const char* name, const QString& value);
    void removeAttribute(uint32_t element, const char* name);
    // The attribute as the edits leave it: the edited value, else the read
    // one, else the fallback.
    QString attribute(uint32_t element, const char* name, const QString& fallback = QString()) const;

    // Drops an element with the white space that leads to it. What is
    // placed before or after it stays.
    void remove(uint32_t element);
    bool isRemoved(uint32_t element) const;

    // New XML placed after an element (after what is already placed there),
    // indented as the element is; it stays even when the element goes.
    void insertAfter(uint32_t element, QByteArray xml);
    // New XML placed as the element's last content, indented one step
    // further than the element (before its end tag).
    void append(uint32_t element, QByteArray xml);
    // New XML placed before an element, indented as it is.
    void insertBefore(uint32_t element, QByteArray xml);
    // Writes another element of the document (with its own edits) where
    // `slot` stands, instead of it: for reordering elements among their
    // places, each element placed in exactly one slot.
    void placeInstead(uint32_t slot, uint32_t element);
    // Replaces the element's content (between its tags) by `xml`; for an
    // empty element ("<a/>") the tag is opened and closed around it.
    void replaceContent(uint32_t element, QByteArray xml);

    // The element as the edits leave it, with its subtree; for placing a
    // copy of it elsewhere (in this document or another).
    QByteArray elementText(uint32_t element) const;
    QByteArray write() const;

    // The white space before an element, if only white space separates it
    // from what precedes it.
    QByteArray indentOf(uint32_t element) const;

private:
    struct Placed
    {
        QByteArray mXml;
    };
    struct Edit
    {
        std::vector<std::pair<QByteArray, QString>> mSet; // in order of first setting
        std::vector<QByteArray> mRemoved;
        bool mDropped = false;
        uint32_t mReplacement = XmlIndex::sNone; // written in this element's place
        bool mHasContent = false;
        QByteArray mContent;
        std::vector<QByteArray> mBefore;
        std::vector<Placed> mAfter;
        std::vector<QByteArray> mAppended;
    };

    Edit& edit(uint32_t element);
    const Edit* find(uint32_t element) const;
    void touch(uint32_t element);
    bool touched(uint32_t element) const;
    void writeElement(QByteArray& out, uint32_t element) const;
    void writeStartTag(QByteArray& out, uint32_t element, const Edit& edit, bool close) const;
    void writeChildren(QByteArray& out, uint32_t element) const;
    void writePlaced(QByteArray& out, const std::vector<Placed>& placed, const QByteArray& indent) const;
    QByteArray leadingSpace(uint32_t element, uint32_t* start) const;

    const XmlIndex& mIndex;
    std::unordered_map<uint32_t, Edit> mEdits;
    // Elements at or above an edit: written piece by piece, not copied.
    std::unordered_map<uint32_t, bool> mTouched;
};

} // namespace XTHost
