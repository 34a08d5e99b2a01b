#include "XmlEditor.h"

#include <cstdio>
#include <cstring>

namespace XTHost
{

namespace
{

bool isBlank(const char* data, uint32_t from, uint32_t to)
{
    for (uint32_t i = from; i < to; ++i)
        if (data[i] != ' ' && data[i] != '\t' && data[i] != '\n' && data[i] != '\r')
            return false;
    return true;
}

} // namespace

void appendEscaped(QByteArray& out, const QString& text, bool attribute, bool rawControls)
{
    int run = 0; // start of the characters not yet written
    auto flush = [&](int to)
    {
        if (to > run)
            out += QStringView(text).mid(run, to - run).toUtf8();
    };
    for (int i = 0; i < text.size(); ++i)
    {
        const char16_t c = text[i].unicode();
        const char* entity = nullptr;
        char reference[12];
        switch (c)
        {
        case u'&':
            entity = "&amp;";
            break;
        case u'<':
            entity = "&lt;";
            break;
        case u'>':
            entity = "&gt;";
            break;
        case u'"':
            entity = attribute ? "&quot;" : nullptr;
            break;
        case u'\t':
        case u'\n':
            entity = attribute ? (c == u'\t' ? "&#9;" : "&#10;") : nullptr;
            break;
        case u'\r':
            entity = "&#13;";
            break;
        default:
            if (c < 0x20)
            {
                if (rawControls)
                {
                    flush(i);
                    out += char(c);
                    run = i + 1;
                    continue;
                }
                std::snprintf(reference, sizeof reference, "&#%d;", int(c));
                entity = reference;
            }
        }
        if (!entity)
            continue;
        flush(i);
        out += entity;
        run = i + 1;
    }
    flush(text.size());
}

XmlElementBuilder& XmlElementBuilder::set(const char* name, const QString& value)
{
    for (auto& attribute : mAttributes)
        if (attribute.first == name)
        {
            attribute.second = value;
            return *this;
        }
    mAttributes.emplace_back(QByteArray(name), value);
    return *this;
}

QByteArray XmlElementBuilder::empty() const
{
    QByteArray out = '<' + mName;
    for (const auto& attribute : mAttributes)
    {
        out += ' ' + attribute.first + "=\"";
        appendEscaped(out, attribute.second, true);
        out += '"';
    }
    return out + "/>";
}

QByteArray XmlElementBuilder::withContent(const QByteArray& content) const
{
    QByteArray out = empty();
    out.chop(2);
    return out + '>' + content + "</" + mName + '>';
}

XmlEditor::Edit& XmlEditor::edit(uint32_t element)
{
    touch(element);
    return mEdits[element];
}

const XmlEditor::Edit* XmlEditor::find(uint32_t element) const
{
    auto found = mEdits.find(element);
    return found == mEdits.end() ? nullptr : &found->second;
}

void XmlEditor::touch(uint32_t element)
{
    for (uint32_t e = element; e != XmlIndex::sNone; e = mIndex.element(e).mParent)
        if (!mTouched.emplace(e, true).second)
            break;
}

bool XmlEditor::touched(uint32_t element) const
{
    return mTouched.count(element) > 0;
}

void XmlEditor::setAttribute(uint32_t element, const char* name, const QString& value)
{
    Edit& e = edit(element);
    for (auto it = e.mRemoved.begin(); it != e.mRemoved.end(); ++it)
        if (*it == name)
        {
            e.mRemoved.erase(it);
            break;
        }
    for (auto& attribute : e.mSet)
        if (attribute.first == name)
        {
            attribute.second = value;
            return;
        }
    e.mSet.emplace_back(QByteArray(name), value);
}

void XmlEditor::removeAttribute(uint32_t element, const char* name)
{
    Edit& e = edit(element);
    for (auto it = e.mSet.begin(); it != e.mSet.end(); ++it)
        if (it->first == name)
        {
            e.mSet.erase(it);
            break;
        }
    e.mRemoved.emplace_back(name);
}

QString XmlEditor::attribute(uint32_t element, const char* name, const QString& fallback) const
{
    if (const Edit* e = find(element))
    {
        for (const auto& attribute : e->mSet)
            if (attribute.first == name)
                return attribute.second;
        for (const QByteArray& removed : e->mRemoved)
            if (removed == name)
                return fallback;
    }
    return XmlTag(mIndex, element).value(name, fallback);
}

void XmlEditor::remove(uint32_t element)
{
    edit(element).mDropped = true;
}

bool XmlEditor::isRemoved(uint32_t element) const
{
    const Edit* e = find(element);
    return e && e->mDropped;
}

void XmlEditor::insertAfter(uint32_t element, QByteArray xml)
{
    edit(element).mAfter.push_back({std::move(xml)});
}

void XmlEditor::insertBefore(uint32_t element, QByteArray xml)
{
    edit(element).mBefore.push_back(std::move(xml));
}

void XmlEditor::append(uint32_t element, QByteArray xml)
{
    edit(element).mAppended.push_back(std::move(xml));
}

void XmlEditor::placeInstead(uint32_t slot, uint32_t element)
{
    edit(slot).mReplacement = element;
    touch(element);
}

void XmlEditor::replaceContent(uint32_t element, QByteArray xml)
{
    Edit& e = edit(element);
    e.mHasContent = true;
    e.mContent = std::move(xml);
}

QByteArray XmlEditor::leadingSpace(uint32_t element, uint32_t* start) const
{
    const XmlIndex::Element& e = mIndex.element(element);
    uint32_t from = 0;
    if (e.mParent != XmlIndex::sNone)
    {
        from = mIndex.element(e.mParent).mContent;
        for (uint32_t c = mIndex.element(e.mParent).mFirstChild; c != element && c != XmlIndex::sNone;
             c = mIndex.element(c).mNextSibling)
            from = mIndex.element(c).mEnd;
    }
    *start = e.mStart;
    if (!isBlank(mIndex.data(), from, e.mStart))
        return QByteArray();
    *start = from;
    return QByteArray(mIndex.data() + from, int(e.mStart - from));
}

QByteArray XmlEditor::indentOf(uint32_t element) const
{
    uint32_t start = 0;
    const QByteArray space = leadingSpace(element, &start);
    const int line = space.lastIndexOf('\n');
    return line < 0 ? space : space.mid(line);
}

void XmlEditor::writeStartTag(QByteArray& out, uint32_t element, const Edit& edit, bool close) const
{
    const XmlIndex::Element& e = mIndex.element(element);
    const char* data = mIndex.data();
    std::vector<XmlIndex::Attribute> attributes;
    mIndex.attributes(element, attributes);
    uint32_t at = e.mStart + 1 + e.mNameLength;
    out.append(data + e.mStart, int(at - e.mStart));
    std::vector<bool> written(edit.mSet.size(), false);
    for (const XmlIndex::Attribute& attribute : attributes)
    {
        const QByteArray name(data + attribute.mName, int(attribute.mNameLength));
        const uint32_t end = attribute.mValue + attribute.mValueLength + 1;
        bool removed = false;
        for (const QByteArray& gone : edit.mRemoved)
            removed = removed || gone == name;
        int set = -1;
        for (size_t i = 0; i < edit.mSet.size() && set < 0; ++i)
            if (edit.mSet[i].first == name)
                set = int(i);
        if (removed)
        {
            at = end;
            continue;
        }
        if (set < 0)
        {
            out.append(data + at, int(end - at));
            at = end;
            continue;
        }
        written[size_t(set)] = true;
        out.append(data + at, int(attribute.mName - at));
        out += name + "=\"";
        appendEscaped(out, edit.mSet[size_t(set)].second, true);
        out += '"';
        at = end;
    }
    for (size_t i = 0; i < edit.mSet.size(); ++i)
    {
        if (written[i])
            continue;
        out += ' ' + edit.mSet[i].first + "=\"";
        appendEscaped(out, edit.mSet[i].second, true);
        out += '"';
    }
    // The tag's own end: "/>" for an empty element that is to stay empty.
    const bool empty = e.mContent == e.mEnd;
    if (empty && close)
    {
        uint32_t slash = e.mContent - 2;
        while (data[slash] != '/')
            --slash;
        out.append(data + at, int(slash - at));
        out += '>';
    }
    else
        out.append(data + at, int(e.mContent - at));
}

void XmlEditor::writePlaced(QByteArray& out, const std::vector<Placed>& placed, const QByteArray& indent) const
{
    for (const Placed& item : placed)
        out += indent + item.mXml;
}

void XmlEditor::writeChildren(QByteArray& out, uint32_t element) const
{
    const XmlIndex::Element& e = mIndex.element(element);
    const char* data = mIndex.data();
    uint32_t at = e.mContent;
    uint32_t last = XmlIndex::sNone;
    for (uint32_t c = e.mFirstChild; c != XmlIndex::sNone; c = mIndex.element(c).mNextSibling)
    {
        last = c;
        const XmlIndex::Element& child = mIndex.element(c);
        const Edit* edit = touched(c) ? find(c) : nullptr;
        const uint32_t written = edit && edit->mReplacement != XmlIndex::sNone ? edit->mReplacement : c;
        const Edit* writtenEdit = written == c ? edit : find(written);
        if (edit && !edit->mBefore.empty())
        {
            const QByteArray indent = indentOf(c);
            for (const QByteArray& xml : edit->mBefore)
                out += indent + xml;
        }
        if (writtenEdit && writtenEdit->mDropped)
        {
            // The element goes with the white space that led to it.
            if (!isBlank(data, at, child.mStart))
                out.append(data + at, int(child.mStart - at));
        }
        else
        {
            out.append(data + at, int(child.mStart - at));
            writeElement(out, written);
        }
        at = child.mEnd;
        if (edit && !edit->mAfter.empty())
            writePlaced(out, edit->mAfter, indentOf(c));
    }
    uint32_t endTag = e.mEnd - 1;
    while (data[endTag] != '<')
        --endTag;
    const Edit* edit = find(element);
    if (edit && !edit->mAppended.empty())
    {
        QByteArray indent = last != XmlIndex::sNone ? indentOf(last) : indentOf(element) + ' ';
        if (indent.isEmpty())
            indent = "\n";
        // New content goes before the white space that indents the end tag.
        uint32_t trailing = endTag;
        while (trailing > at && (data[trailing - 1] == ' ' || data[trailing - 1] == '\t' ||
                                 data[trailing - 1] == '\n' || data[trailing - 1] == '\r'))
            --trailing;
        out.append(data + at, int(trailing - at));
        for (const QByteArray& xml : edit->mAppended)
            out += indent + xml;
        at = trailing;
    }
    out.append(data + at, int(e.mEnd - at));
}

void XmlEditor::writeElement(QByteArray& out, uint32_t element) const
{
    const XmlIndex::Element& e = mIndex.element(element);
    const char* data = mIndex.data();
    if (!touched(element))
    {
        out.append(data + e.mStart, int(e.mEnd - e.mStart));
        return;
    }
    static const Edit sNoEdit;
    const Edit* found = find(element);
    const Edit& edit = found ? *found : sNoEdit;
    const bool empty = e.mContent == e.mEnd;
    const bool content = edit.mHasContent || !edit.mAppended.empty();
    writeStartTag(out, element, edit, empty && content);
    if (edit.mHasContent)
    {
        out += edit.mContent;
        if (empty)
            out += "</" + mIndex.name(element) + '>';
        else
        {
            uint32_t endTag = e.mEnd - 1;
            while (data[endTag] != '<')
                --endTag;
            out.append(data + endTag, int(e.mEnd - endTag));
        }
        return;
    }
    if (empty)
    {
        if (content)
        {
            const QByteArray indent = indentOf(element);
            for (const QByteArray& xml : edit.mAppended)
                out += (indent.isEmpty() ? QByteArray("\n") : indent) + ' ' + xml;
            out += (indent.isEmpty() ? QByteArray() : indent) + "</" + mIndex.name(element) + '>';
        }
        return;
    }
    writeChildren(out, element);
}

QByteArray XmlEditor::elementText(uint32_t element) const
{
    QByteArray out;
    writeElement(out, element);
    return out;
}

QByteArray XmlEditor::write() const
{
    const XmlIndex::Element& root = mIndex.element(mIndex.root());
    const QByteArray& bytes = mIndex.bytes();
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 16);
    out.append(bytes.constData(), int(root.mStart));
    writeElement(out, mIndex.root());
    out.append(bytes.constData() + root.mEnd, int(bytes.size() - root.mEnd));
    return out;
}

} // namespace XTHost
