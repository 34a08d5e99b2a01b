#include "ScribusDocument.h"

#include "Gzip.h"

#include "Model/BoxProperties.h"

#include <algorithm>
#include <cmath>

namespace XTHost
{

Fixed toFixed(double value)
{
    const double scaled = std::round(value * XT::kFixedOne);
    return Fixed(std::max(-2147483647.0, std::min(2147483647.0, scaled)));
}

double fromFixed(Fixed value)
{
    return double(value) / XT::kFixedOne;
}

void rotatedCentre(double x, double y, double width, double height, double rotation, double* cx, double* cy)
{
    const double angle = rotation * M_PI / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    double left = x, right = x, top = y, bottom = y;
    for (const auto& corner : {std::make_pair(width, 0.0), std::make_pair(width, height), std::make_pair(0.0, height)})
    {
        const double px = x + corner.first * c - corner.second * s;
        const double py = y + corner.first * s + corner.second * c;
        left = std::min(left, px), right = std::max(right, px);
        top = std::min(top, py), bottom = std::max(bottom, py);
    }
    *cx = (left + right) / 2;
    *cy = (top + bottom) / 2;
}

QString numberText(double value)
{
    return QString::number(value, 'g', 12);
}

namespace ScribusAssets
{

const char* elementOf(int32_t kind)
{
    switch (kind)
    {
    case sParagraphStyle:
        return "STYLE";
    case sCharacterStyle:
        return "CHARSTYLE";
    case sColour:
        return "COLOR";
    case sLayer:
        return "LAYERS";
    default:
        return nullptr;
    }
}

const char* nameAttributeOf(int32_t kind)
{
    return kind == sCharacterStyle ? "CNAME" : "NAME";
}

int32_t kindOf(const XmlIndex& xml, uint32_t element)
{
    for (int32_t kind : sKinds)
        if (xml.isNamed(element, elementOf(kind)))
            return kind;
    return 0;
}

} // namespace ScribusAssets

namespace
{

int hexByte(const QString& text, int index)
{
    bool ok = false;
    const int value = text.mid(1 + 2 * index, 2).toInt(&ok, 16);
    return ok ? value : 0;
}

ColorValue colorOf(const XmlTag& tag)
{
    ColorValue value;
    value.mSpot = tag.equals("Spot", "1");
    if (tag.equals("SPACE", "RGB"))
    {
        value.mModel = ColorValue::Rgb;
        value.mValues = {qRound(tag.number("R")), qRound(tag.number("G")), qRound(tag.number("B")), 0};
    }
    else if (tag.equals("SPACE", "CMYK"))
    {
        value.mModel = ColorValue::Cmyk;
        value.mValues = {qRound(tag.number("C")), qRound(tag.number("M")), qRound(tag.number("Y")),
                         qRound(tag.number("K"))};
    }
    else if (tag.has("CMYK"))
    {
        const QString cmyk = tag.value("CMYK");
        value.mModel = ColorValue::Cmyk;
        for (int i = 0; i < 4; ++i)
            value.mValues[size_t(i)] = qRound(hexByte(cmyk, i) * 100.0 / 255.0);
    }
    else
    {
        const QString rgb = tag.value("RGB");
        value.mModel = ColorValue::Rgb;
        value.mValues = {hexByte(rgb, 0), hexByte(rgb, 1), hexByte(rgb, 2), 0};
    }
    for (int& component : value.mValues)
        component = std::max(0, std::min(value.mModel == ColorValue::Rgb ? 255 : 100, component));
    return value;
}

// A value the host's model cannot hold is brought within its range: a
// document that another program would read the same way, and that the host
// can write in its own format too.
int32_t clampedProperty(int32_t label, int32_t value)
{
    const PropertyInfo* info = findBoxProperty(label);
    return info ? std::max(info->mMin, std::min(info->mMax, value)) : value;
}

} // namespace

const XmlIndex& ScribusDocument::xml() const
{
    std::lock_guard<std::mutex> lock(mPackMutex);
    if (!mPacked.isEmpty() && mXml.bytes().isEmpty())
    {
        QByteArray bytes;
        QString error;
        // The packed bytes are this process's own: they inflate.
        Gzip::inflate(mPacked, sMaxSize, &bytes, &error);
        mXml.restoreBytes(std::move(bytes));
    }
    return mXml;
}

void ScribusDocument::pack(QByteArray file)
{
    mPacked = file.isEmpty() ? Gzip::deflate(mXml.bytes(), 1) : std::move(file);
    mXml.releaseBytes();
}

void ScribusDocument::spreadOrigin(int spread, double* x, double* y) const
{
    *x = *y = 0;
    if (mOldFormat)
        return;
    bool first = true;
    for (const Page& page : mPages)
        if (page.mSpread == spread)
        {
            *x = first ? page.mX : std::min(*x, page.mX);
            *y = first ? page.mY : std::min(*y, page.mY);
            first = false;
        }
}

const ScribusDocument::Object* ScribusDocument::objectAt(uint32_t element) const
{
    auto found = mObjectIndex.find(element);
    return found == mObjectIndex.end() ? nullptr : &mObjects[found->second];
}

const std::vector<uint32_t>* ScribusDocument::storyFrames(uint32_t firstFrame) const
{
    auto found = mStories.find(firstFrame);
    return found == mStories.end() ? nullptr : &found->second;
}

Box ScribusDocument::readBox(uint32_t element, int spread) const
{
    const XmlTag tag(xml(), element);
    const int ptype = tag.integer("PTYPE", 0);
    Box box;
    box.mKind = ptype == 4    ? XT::kContentText
                : ptype == 2  ? XT::kContentPicture
                : ptype == 12 ? XT::kContentGroup
                              : XT::kContentNone;
    applyDefaultProperties(box);
    double originX = 0, originY = 0;
    spreadOrigin(spread, &originX, &originY);
    const double left = tag.number("XPOS") - originX;
    const double top = tag.number("YPOS") - originY;
    // Within the measures the host holds, as a width and height too.
    const Fixed maxMeasure = 0x7FFFFFFF;
    box.mBounds.left = std::max(-maxMeasure, toFixed(left));
    box.mBounds.top = std::max(-maxMeasure, toFixed(top));
    const double width = std::max(0.0, std::min(tag.number("WIDTH"), 32767.99998));
    const double height = std::max(0.0, std::min(tag.number("HEIGHT"), 32767.99998));
    box.mBounds.right = Fixed(std::min<int64_t>(int64_t(box.mBounds.left) + toFixed(width), maxMeasure));
    box.mBounds.bottom = Fixed(std::min<int64_t>(int64_t(box.mBounds.top) + toFixed(height), maxMeasure));

    const QString fill = tag.value("PCOLOR", QStringLiteral("None"));
    box.mColor = fill == QLatin1String("None") ? QString() : fill;
    box.mProperties[51] = toFixed(tag.number("ROT", 0));
    box.mProperties[53] = toFixed(tag.number("RADRECT", 0));
    box.mProperties[55] = clampedProperty(55, toFixed((1.0 - tag.number("TransValue", 0)) * 100.0));
    box.mProperties[56] = clampedProperty(56, toFixed(tag.number("SHADE", 100)));
    box.mProperties[80] = tag.equals("PRINTABLE", "0") ? 1 : 0;
    box.mProperties[81] = tag.equals("LOCK", "1") ? 1 : 0;
    if (box.isText())
    {
        box.mProperties[59] = clampedProperty(59, tag.integer("COLUMNS", 1));
        box.mProperties[60] = toFixed(tag.number("COLGAP", 0));
        box.mInsets = {toFixed(tag.number("EXTRA", 0)), toFixed(tag.number("TEXTRA", 0)),
                       toFixed(tag.number("REXTRA", 0)), toFixed(tag.number("BEXTRA", 0))};
    }
    if (box.isPicture())
        box.mPicturePath = tag.value("PFILE");
    return box;
}

uint32_t ScribusDocument::assetElement(int32_t kind, const QString& name) const
{
    for (const auto& entry : mAssets)
        if (entry.first.first == kind && entry.first.second == name)
            return entry.second;
    return XmlIndex::sNone;
}

Asset ScribusDocument::readAsset(int32_t kind, uint32_t element) const
{
    const XmlTag tag(xml(), element);
    Asset asset;
    asset.mKind = kind;
    const char* nameAttribute = ScribusAssets::nameAttributeOf(kind);
    asset.mName = tag.value(nameAttribute);
    if (kind == ScribusAssets::sColour)
    {
        asset.mColor = colorOf(tag);
        return asset;
    }
    // A style's or layer's description: its attributes one a line, then its
    // child elements as XML, so that it is a complete definition.
    QStringList lines;
    for (const XmlIndex::Attribute& attribute : tag.all())
        if (!xml().nameIs(attribute, nameAttribute))
            lines << XmlIndex::utf8(xml().data() + attribute.mName, attribute.mNameLength) +
                         QLatin1Char('=') + xml().value(attribute);
    for (uint32_t c = xml().element(element).mFirstChild; c != XmlIndex::sNone; c = xml().element(c).mNextSibling)
    {
        const XmlIndex::Element& child = xml().element(c);
        lines << QString::fromUtf8(xml().data() + child.mStart, int(child.mEnd - child.mStart));
    }
    asset.mDescription = lines.join(QLatin1Char('\r'));
    return asset;
}

QString ScribusDocument::layerName(int number) const
{
    for (const auto& entry : mAssets)
        if (entry.first.first == ScribusAssets::sLayer &&
            XmlTag(xml(), entry.second).integer("NUMMER", -1) == number)
            return entry.first.second;
    return QString();
}

int ScribusDocument::layerNumber(const QString& name) const
{
    const uint32_t element = assetElement(ScribusAssets::sLayer, name);
    return element == XmlIndex::sNone ? -1 : XmlTag(xml(), element).integer("NUMMER", -1);
}

} // namespace XTHost
