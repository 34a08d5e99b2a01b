#include "ScribusElements.h"

#include "ScribusDocument.h"

#include "Model/BoxProperties.h"

#include <algorithm>
#include <iterator>

namespace XTHost
{

namespace ScribusElements
{

namespace
{

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
        while (end < n && (path[end].isDigit() || path[end] == QLatin1Char('.') || path[end] == QLatin1Char('e') ||
                           path[end] == QLatin1Char('E') ||
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

} // namespace

int32_t propertyOf(const Box& box, int32_t label)
{
    auto found = box.mProperties.find(label);
    if (found != box.mProperties.end())
        return found->second;
    const PropertyInfo* info = findBoxProperty(label);
    return info ? info->mDefault : 0;
}

void writeColor(XmlEditor& edit, uint32_t element, const ColorValue& value)
{
    const XmlTag tag(edit.index(), element);
    const bool rgb = value.mModel == ColorValue::Rgb;
    if (tag.has("SPACE") || !(tag.has("RGB") || tag.has("CMYK")))
    {
        // The 1.5 spelling; the other model's components go.
        static const char* const sAll[] = {"R", "G", "B", "C", "M", "Y", "K"};
        for (const char* name : sAll)
            if (tag.has(name))
                edit.removeAttribute(element, name);
        edit.setAttribute(element, "SPACE", rgb ? QStringLiteral("RGB") : QStringLiteral("CMYK"));
        for (int i = 0; i < (rgb ? 3 : 4); ++i)
            edit.setAttribute(element, sAll[rgb ? i : 3 + i], QString::number(value.mValues[size_t(i)]));
    }
    else
    {
        edit.removeAttribute(element, rgb ? "CMYK" : "RGB");
        QString text = QStringLiteral("#");
        for (int i = 0; i < (rgb ? 3 : 4); ++i)
        {
            const int byte = rgb ? value.mValues[size_t(i)] : qRound(value.mValues[size_t(i)] * 255.0 / 100.0);
            text += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
        }
        edit.setAttribute(element, rgb ? "RGB" : "CMYK", text);
    }
    if (value.mSpot)
        edit.setAttribute(element, "Spot", QStringLiteral("1"));
    else if (tag.has("Spot"))
        edit.setAttribute(element, "Spot", QStringLiteral("0"));
}

QByteArray newColorElement(const Asset& asset, bool spaceSpelling)
{
    XmlElementBuilder builder("COLOR");
    builder.set("NAME", asset.mName);
    const ColorValue& value = asset.mColor;
    const bool rgb = value.mModel == ColorValue::Rgb;
    if (spaceSpelling)
    {
        builder.set("SPACE", rgb ? QStringLiteral("RGB") : QStringLiteral("CMYK"));
        static const char* const sAll[] = {"R", "G", "B", "C", "M", "Y", "K"};
        for (int i = 0; i < (rgb ? 3 : 4); ++i)
            builder.set(sAll[rgb ? i : 3 + i], QString::number(value.mValues[size_t(i)]));
    }
    else
    {
        QString text = QStringLiteral("#");
        for (int i = 0; i < (rgb ? 3 : 4); ++i)
        {
            const int byte = rgb ? value.mValues[size_t(i)] : qRound(value.mValues[size_t(i)] * 255.0 / 100.0);
            text += QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
        }
        builder.set(rgb ? "RGB" : "CMYK", text);
    }
    if (value.mSpot)
        builder.set("Spot", QStringLiteral("1"));
    return builder.empty();
}

// A style or layer defined by its description: its attributes one a line,
// then its child elements as XML.
QByteArray definitionElement(int32_t kind, const Asset& asset)
{
    QByteArray out = QByteArray("<") + ScribusAssets::elementOf(kind) + ' ' + ScribusAssets::nameAttributeOf(kind) + "=\"";
    appendEscaped(out, asset.mName, true);
    out += '"';
    QByteArray children;
    for (const QString& line : asset.mDescription.split(QLatin1Char('\r'), Qt::SkipEmptyParts))
    {
        if (line.startsWith(QLatin1Char('<')))
        {
            // Only a well-formed element goes in.
            XmlIndex check;
            QString ignored;
            if (check.parse(line.toUtf8(), &ignored))
                children += check.bytes();
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QByteArray name = line.left(equals).toUtf8();
        XmlIndex check;
        QString ignored;
        if (!check.parse("<a " + name + "=\"\"/>", &ignored))
            continue;
        out += ' ' + name + "=\"";
        appendEscaped(out, line.mid(equals + 1), true);
        out += '"';
    }
    if (children.isEmpty())
        return out + "/>";
    return out + '>' + children + "</" + ScribusAssets::elementOf(kind) + '>';
}

// Writes into an object's element what the model changed of its box.
void applyBox(XmlEditor& edit, uint32_t element, const Box& before, const Box& box)
{
    const XmlTag tag(edit.index(), element);
    auto set = [&](const char* name, double value) { edit.setAttribute(element, name, numberText(value)); };
    if (box.mName != before.mName)
    {
        if (box.mName.isEmpty())
            edit.removeAttribute(element, "ANNAME");
        else
            edit.setAttribute(element, "ANNAME", box.mName);
    }
    // A moved item's group position moves with it where it is its own.
    auto move = [&](const char* position, const char* groupPosition, Fixed delta)
    {
        const double old = tag.number(position);
        if (tag.has(groupPosition) && tag.number(groupPosition) == old)
            set(groupPosition, old + fromFixed(delta));
        set(position, old + fromFixed(delta));
    };
    if (box.mBounds.left != before.mBounds.left)
        move("XPOS", "gXpos", box.mBounds.left - before.mBounds.left);
    if (box.mBounds.top != before.mBounds.top)
        move("YPOS", "gYpos", box.mBounds.top - before.mBounds.top);
    const Fixed width = box.mBounds.right - box.mBounds.left, oldWidth = before.mBounds.right - before.mBounds.left;
    const Fixed height = box.mBounds.bottom - box.mBounds.top,
                oldHeight = before.mBounds.bottom - before.mBounds.top;
    if (width != oldWidth || height != oldHeight)
    {
        // The outline scales with the item, as Scribus scales it.
        const double sx = oldWidth > 0 ? double(width) / oldWidth : 1.0;
        const double sy = oldHeight > 0 ? double(height) / oldHeight : 1.0;
        for (const char* name : {"path", "copath"})
            if (tag.has(name))
                edit.setAttribute(element, name, scaledPath(tag.value(name), sx, sy, false));
        for (const char* name : {"POCOOR", "COCOOR"})
            if (tag.has(name))
                edit.setAttribute(element, name, scaledPath(tag.value(name), sx, sy, true));
    }
    if (width != oldWidth)
        set("WIDTH", fromFixed(width));
    if (height != oldHeight)
        set("HEIGHT", fromFixed(height));
    if (box.mColor != before.mColor)
        edit.setAttribute(element, "PCOLOR", box.mColor.isEmpty() ? QStringLiteral("None") : box.mColor);
    auto changed = [&](int32_t label) { return propertyOf(box, label) != propertyOf(before, label); };
    if (changed(51))
        set("ROT", fromFixed(propertyOf(box, 51)));
    if (changed(53))
        set("RADRECT", fromFixed(propertyOf(box, 53)));
    if (changed(55))
        set("TransValue", 1.0 - fromFixed(propertyOf(box, 55)) / 100.0);
    if (changed(56))
        set("SHADE", fromFixed(propertyOf(box, 56)));
    if (changed(80))
        edit.setAttribute(element, "PRINTABLE", propertyOf(box, 80) ? QStringLiteral("0") : QStringLiteral("1"));
    if (changed(81))
        edit.setAttribute(element, "LOCK", propertyOf(box, 81) ? QStringLiteral("1") : QStringLiteral("0"));
    if (box.isText() && before.isText())
    {
        if (changed(59))
            edit.setAttribute(element, "COLUMNS", QString::number(propertyOf(box, 59)));
        if (changed(60))
            set("COLGAP", fromFixed(propertyOf(box, 60)));
        const char* const insets[] = {"EXTRA", "TEXTRA", "REXTRA", "BEXTRA"};
        for (size_t i = 0; i < 4; ++i)
            if (box.mInsets[i] != before.mInsets[i])
                set(insets[i], fromFixed(box.mInsets[i]));
    }
    if (box.isPicture() && before.isPicture() && box.mPicturePath != before.mPicturePath)
        edit.setAttribute(element, "PFILE", box.mPicturePath);
}

// The element of a box that no element describes: its values in the
// attributes the reader takes them from, its outline a rectangle. (x, y) is
// its corner on Scribus's canvas.
XmlElementBuilder objectElement(const Box& box, double x, double y, int ownPage)
{
    XmlElementBuilder node("PAGEOBJECT");
    auto set = [&](const char* name, double value) { node.set(name, numberText(value)); };
    const double width = fromFixed(box.mBounds.right - box.mBounds.left);
    const double height = fromFixed(box.mBounds.bottom - box.mBounds.top);
    set("XPOS", x);
    set("YPOS", y);
    node.set("OwnPage", QString::number(ownPage));
    node.set("PTYPE", box.isText() ? QStringLiteral("4") : box.isPicture() ? QStringLiteral("2") : QStringLiteral("6"));
    set("WIDTH", width);
    set("HEIGHT", height);
    node.set("FRTYPE", QStringLiteral("0"));
    node.set("CLIPEDIT", QStringLiteral("0"));
    if (!box.mName.isEmpty())
        node.set("ANNAME", box.mName);
    node.set("PCOLOR", box.mColor.isEmpty() ? QStringLiteral("None") : box.mColor);
    set("ROT", fromFixed(propertyOf(box, 51)));
    if (propertyOf(box, 53) != 0)
        set("RADRECT", fromFixed(propertyOf(box, 53)));
    set("TransValue", 1.0 - fromFixed(propertyOf(box, 55)) / 100.0);
    set("SHADE", fromFixed(propertyOf(box, 56)));
    node.set("PRINTABLE", propertyOf(box, 80) ? QStringLiteral("0") : QStringLiteral("1"));
    node.set("LOCK", propertyOf(box, 81) ? QStringLiteral("1") : QStringLiteral("0"));
    if (box.isText())
    {
        node.set("COLUMNS", QString::number(std::max(1, propertyOf(box, 59))));
        set("COLGAP", fromFixed(propertyOf(box, 60)));
        const char* const insets[] = {"EXTRA", "TEXTRA", "REXTRA", "BEXTRA"};
        for (size_t i = 0; i < 4; ++i)
            set(insets[i], fromFixed(box.mInsets[i]));
    }
    if (box.isPicture())
    {
        node.set("PFILE", box.mPicturePath);
        node.set("LOCALSCX", QStringLiteral("1"));
        node.set("LOCALSCY", QStringLiteral("1"));
    }
    const QString outline =
        QStringLiteral("M0 0 L%1 0 L%1 %2 L0 %2 L0 0 Z").arg(numberText(width), numberText(height));
    node.set("path", outline);
    node.set("copath", outline);
    node.set("NEXTITEM", QStringLiteral("-1"));
    node.set("BACKITEM", QStringLiteral("-1"));
    return node;
}

// Attributes that name a colour or a style, in objects, text and styles.
bool namesColour(const XmlIndex& xml, const XmlIndex::Attribute& attribute)
{
    const QByteArray name(xml.data() + attribute.mName, int(attribute.mNameLength));
    return name.endsWith("COLOR") || name.endsWith("COLOR2") || name == "TXTFILL" || name == "TXTSTROKE" ||
           name == "BACKC" || name == "FCOLOR" || name == "SCOLOR";
}
int32_t namesStyle(const XmlIndex& xml, const XmlIndex::Attribute& attribute)
{
    if (xml.nameIs(attribute, "CPARENT"))
        return ScribusAssets::sCharacterStyle;
    if (xml.nameIs(attribute, "PARENT"))
        return ScribusAssets::sParagraphStyle;
    return 0;
}

} // namespace ScribusElements

} // namespace XTHost
