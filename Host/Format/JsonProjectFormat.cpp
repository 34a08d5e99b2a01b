#include "JsonProjectFormat.h"

#include "JsonKeyScan.h"
#include "JsonTree.h"
#include "JsonWriter.h"
#include "Model/BoxProperties.h"
#include "Model/BuiltInColors.h"
#include "Model/Project.h"

#include <QJsonDocument>
#include <QRegularExpression>

#include <cmath>
#include <limits>
#include <set>

namespace XTHost
{

namespace
{

using JsonValue = JsonTree::Value;
using JsonObject = JsonTree::Object;
using JsonArray = JsonTree::Array;

const char* const sFormatMarker = "corvane-project";

// Limits beyond which a file is refused as unreasonable; page and spread
// numbers are 16-bit in the host interface.
constexpr int sMaxPagesPerLayout = 32000;
constexpr int sMaxSpreadsPerLayout = 32000;
constexpr int sMaxMasters = 1000;
constexpr int sMaxColors = 30000; // colour ids are 16-bit
constexpr int sMaxStoryLength = std::numeric_limits<int32_t>::max() / 2;
constexpr int sMaxColumns = 30;
// A box's or spread's width and height are measures themselves.
constexpr qint64 sMaxExtent = std::numeric_limits<Fixed>::max();
// Values longer than this are shortened in messages.
constexpr int sMaxQuoted = 80;

const char* kindName(int16_t kind)
{
    switch (kind)
    {
    case XT::kContentNone:
        return "none";
    case XT::kContentGroup:
        return "group";
    case XT::kContentText:
        return "text";
    case XT::kContentPicture:
        return "picture";
    case XT::kContentUser:
        return "user";
    default:
        return "";
    }
}

QString fourCCText(XTFourCC code)
{
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text += QChar(char((code >> shift) & 0xFF));
    return text;
}

// Where a value sits in the document, built only when an error is reported.
struct Place
{
    const Place* mParent;
    const char* mKey; // null for an array element
    int mIndex;

    Place child(const char* key) const { return {this, key, -1}; }
    Place at(int index) const { return {this, nullptr, index}; }

    QString toString() const
    {
        if (!mParent)
            return QString();
        QString prefix = mParent->toString();
        if (!mKey)
            return prefix + QStringLiteral("[%1]").arg(mIndex);
        return prefix.isEmpty() ? QString::fromLatin1(mKey) : prefix + '.' + QLatin1String(mKey);
    }
};

struct FormatError
{
    QString mPlace;
    QString mMessage;
};

[[noreturn]] void fail(const Place& place, const QString& message)
{
    throw FormatError{place.toString(), message};
}

bool isControl(ushort c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

QString codePoint(ushort c)
{
    return QStringLiteral("U+%1").arg(c, 4, 16, QLatin1Char('0')).toUpper();
}

// Messages are printed with C string functions: a NUL would end them there,
// and other control characters would garble the terminal. Unpaired
// surrogates would not survive the conversion to UTF-8.
QString escaped(const QString& text, bool quotes)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i)
    {
        const QChar c = text[i];
        const ushort u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        {
            out += c;
            out += text[++i];
        }
        else if (u == '\t')
            out += QLatin1String("\\t");
        else if (u == '\n')
            out += QLatin1String("\\n");
        else if (u == '\r')
            out += QLatin1String("\\r");
        else if (isControl(u) || c.isSurrogate())
            out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        else if (quotes && (u == '"' || u == '\\'))
            out += QLatin1Char('\\') + c;
        else
            out += c;
    }
    return out;
}

// A value from the file as a message shows it: between quotes, escaped as
// in JSON, and shortened when long.
QString quoted(const QString& value)
{
    if (value.size() > sMaxQuoted)
        return QLatin1Char('"') + escaped(value.left(sMaxQuoted), true) + QStringLiteral("\"...");
    return QLatin1Char('"') + escaped(value, true) + QLatin1Char('"');
}

// What characters the host's strings hold. Names (of layouts, spreads,
// boxes, pages, assets, picture paths) hold no control characters; asset
// descriptions hold tabs, line breaks and paragraph ends. Story text is the
// host's text as it is, where any UTF-16 unit may occur (the plug-in shows a
// NUL as U+FFFD), except the character that marks hidden text. No string
// holds half of a surrogate pair: it cannot be written as UTF-8.
enum class Characters
{
    Name,
    Description,
    StoryText
};

// Whether text holds nothing the rule refuses and no surrogate at all (pairs
// are told from halves below): most text, passed in one tight loop.
bool passes(const QString& text, Characters rule)
{
    for (const QChar c : text)
    {
        const ushort u = c.unicode();
        if (u >= 0xD800 && u <= 0xDFFF)
            return false;
        if (rule == Characters::StoryText)
        {
            if (u == Story::sMarker)
                return false;
        }
        else if (isControl(u) && (rule == Characters::Name || (u != '\t' && u != '\n' && u != '\r')))
            return false;
    }
    return true;
}

void checkCharacters(const QString& text, const Place& place, Characters rule)
{
    if (passes(text, rule))
        return;
    const QString what = rule == Characters::Name ? QStringLiteral("a name") : QStringLiteral("text");
    for (int i = 0; i < text.size(); ++i)
    {
        const QChar c = text[i];
        const ushort u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            fail(place, QStringLiteral("%1 cannot hold an unpaired surrogate (%2)").arg(what, codePoint(u)));
        else if (isControl(u) && (rule == Characters::Name ||
                                  (rule == Characters::Description && u != '\t' && u != '\n' && u != '\r')))
            fail(place, QStringLiteral("%1 cannot hold the control character %2").arg(what, codePoint(u)));
        else if (rule == Characters::StoryText && u == Story::sMarker)
            fail(place, QStringLiteral("text cannot hold U+FFFC, which marks hidden text"));
    }
}

QString typeName(const JsonValue& value)
{
    switch (value.type())
    {
    case JsonTree::Type::Null:
        return QStringLiteral("null");
    case JsonTree::Type::Bool:
        return QStringLiteral("a boolean");
    case JsonTree::Type::Number:
        return QStringLiteral("a number");
    case JsonTree::Type::String:
        return QStringLiteral("a string");
    case JsonTree::Type::Array:
        return QStringLiteral("an array");
    case JsonTree::Type::Object:
        return QStringLiteral("an object");
    case JsonTree::Type::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

// Reads the members of one object, refusing keys it does not know.
class ObjectReader
{
public:
    ObjectReader(const JsonValue& value, const Place& place) : mPlace(place)
    {
        if (!value.isObject())
            fail(place, QStringLiteral("expected an object, found %1").arg(typeName(value)));
        mObject = value.toObject();
    }

    // Call after reading every member.
    void finish(std::initializer_list<const char*> known) const
    {
        // Keys are unique: when every key of the object is a known one, the
        // object has no other, and no key needs to be made a string.
        int present = 0;
        for (const char* key : known)
            present += mObject.contains(key) ? 1 : 0;
        if (present == mObject.size())
            return;
        for (int i = 0; i < mObject.size(); ++i)
        {
            const QString name = mObject.keyAt(i);
            bool found = false;
            for (const char* key : known)
                found = found || name == QLatin1String(key);
            if (!found)
                fail(mPlace, QStringLiteral("unknown key %1").arg(quoted(name)));
        }
    }

    bool has(const char* key) const { return mObject.contains(key); }

    QStringList keys() const
    {
        QStringList names;
        for (int i = 0; i < mObject.size(); ++i)
            names << mObject.keyAt(i);
        return names;
    }

    JsonValue value(const char* key, bool required = true) const
    {
        const JsonValue value = mObject.value(key);
        if (required && value.isUndefined())
            fail(mPlace, QStringLiteral("the key \"%1\" is missing").arg(QLatin1String(key)));
        return value;
    }

    QString string(const char* key, bool required = true, const QString& fallback = QString()) const
    {
        const JsonValue v = value(key, required);
        if (v.isUndefined())
            return fallback;
        if (!v.isString())
            fail(mPlace.child(key), QStringLiteral("expected a string, found %1").arg(typeName(v)));
        return v.toString();
    }

    QString name(const char* key, bool required = true) const
    {
        const QString text = string(key, required);
        checkCharacters(text, mPlace.child(key), Characters::Name);
        return text;
    }

    qint64 integer(const char* key, qint64 min, qint64 max, bool required = true, qint64 fallback = 0) const
    {
        const JsonValue v = value(key, required);
        if (v.isUndefined())
            return fallback;
        return readInteger(v, mPlace.child(key), min, max);
    }

    Fixed fixed(const char* key, bool required = true, Fixed fallback = 0) const
    {
        const JsonValue v = value(key, required);
        if (v.isUndefined())
            return fallback;
        return readFixed(v, mPlace.child(key));
    }

    bool boolean(const char* key, bool required = true, bool fallback = false) const
    {
        const JsonValue v = value(key, required);
        if (v.isUndefined())
            return fallback;
        if (!v.isBool())
            fail(mPlace.child(key), QStringLiteral("expected true or false, found %1").arg(typeName(v)));
        return v.toBool();
    }

    JsonArray array(const char* key, bool required = true) const
    {
        const JsonValue v = value(key, required);
        if (v.isUndefined())
            return JsonArray();
        if (!v.isArray())
            fail(mPlace.child(key), QStringLiteral("expected an array, found %1").arg(typeName(v)));
        return v.toArray();
    }

    static qint64 readInteger(const JsonValue& v, const Place& place, qint64 min, qint64 max)
    {
        if (!v.isDouble())
            fail(place, QStringLiteral("expected a whole number, found %1").arg(typeName(v)));
        const double d = v.toDouble();
        if (d != std::floor(d))
            fail(place, QStringLiteral("expected a whole number, found %1").arg(d));
        if (d < double(min) || d > double(max))
            fail(place, QStringLiteral("%1 is out of range (%2 to %3)").arg(d).arg(min).arg(max));
        return qint64(d);
    }

    static Fixed readFixed(const JsonValue& v, const Place& place)
    {
        if (!v.isDouble())
            fail(place, QStringLiteral("expected a number, found %1").arg(typeName(v)));
        const double scaled = std::round(v.toDouble() * 65536.0);
        if (!(scaled >= double(std::numeric_limits<Fixed>::min()) &&
              scaled <= double(std::numeric_limits<Fixed>::max())))
            fail(place, QStringLiteral("%1 is out of range (-32768 to 32767.99998)").arg(v.toDouble()));
        return Fixed(scaled);
    }

    const Place& place() const { return mPlace; }

private:
    JsonObject mObject;
    Place mPlace;
};

QStringList readStrings(const JsonArray& array, const Place& place)
{
    QStringList list;
    list.reserve(array.size());
    for (int i = 0; i < array.size(); ++i)
    {
        if (!array.at(i).isString())
            fail(place.at(i), QStringLiteral("expected a string, found %1").arg(typeName(array.at(i))));
        list << array.at(i).toString();
        checkCharacters(list.back(), place.at(i), Characters::Name);
    }
    return list;
}

void readProperties(const JsonValue& value, const Place& place, const std::vector<PropertyInfo>& table,
                    const Box& box, PropertyMap& properties)
{
    ObjectReader reader(value, place);
    std::vector<const char*> known;
    known.reserve(table.size());
    properties.reserve(table.size());
    int present = 0;
    for (const PropertyInfo& info : table)
    {
        if (!info.appliesTo(box))
            continue;
        known.push_back(info.mKey);
        int32_t result = info.mDefault;
        const JsonValue v = reader.value(info.mKey, false);
        if (!v.isUndefined())
        {
            ++present;
            const Place here = place.child(info.mKey);
            switch (info.mKind)
            {
            case PropertyInfo::Measure:
                result = ObjectReader::readFixed(v, here);
                if (result < info.mMin || result > info.mMax)
                    fail(here, QStringLiteral("%1 is out of range (%2 to %3)")
                                   .arg(v.toDouble())
                                   .arg(info.mMin / double(XT::kFixedOne))
                                   .arg(info.mMax / double(XT::kFixedOne)));
                break;
            case PropertyInfo::Boolean:
                if (!v.isBool())
                    fail(here, QStringLiteral("expected true or false, found %1").arg(typeName(v)));
                result = v.toBool() ? 1 : 0;
                break;
            case PropertyInfo::Int16:
                result = int32_t(ObjectReader::readInteger(v, here, -32768, 32767));
                break;
            case PropertyInfo::ByteCode:
                result = int32_t(ObjectReader::readInteger(v, here, 0, 255));
                break;
            case PropertyInfo::Int32:
                result = int32_t(ObjectReader::readInteger(v, here, info.mMin, info.mMax));
                break;
            }
        }
        properties[info.mLabel] = result;
    }
    // Keys that belong to another kind of box are as wrong as unknown ones.
    // Keys are unique: when every key is a known one there is no other.
    const JsonObject object = value.toObject();
    if (present == object.size())
        return;
    for (int i = 0; i < object.size(); ++i)
    {
        const QString name = object.keyAt(i);
        bool found = false;
        for (const char* key : known)
            found = found || name == QLatin1String(key);
        if (!found)
            fail(place, QStringLiteral("no property %1 for a box of kind %2")
                            .arg(quoted(name), QLatin1String(kindName(box.mKind))));
    }
}

Box readBox(const JsonValue& value, const Place& place)
{
    ObjectReader reader(value, place);
    Box box;
    box.mNumber = int32_t(reader.integer("number", 1, std::numeric_limits<int32_t>::max()));
    box.mName = reader.name("name", false);
    const QString kind = reader.string("kind");
    const int16_t kinds[] = {XT::kContentNone, XT::kContentGroup, XT::kContentText, XT::kContentPicture,
                             XT::kContentUser};
    box.mKind = -1;
    for (int16_t k : kinds)
        if (kind == QLatin1String(kindName(k)))
            box.mKind = k;
    if (box.mKind < 0)
        fail(place.child("kind"),
             QStringLiteral("%1 is no box kind (none, group, text, picture, user)").arg(quoted(kind)));

    const Place boundsPlace = place.child("bounds");
    ObjectReader bounds(reader.value("bounds"), boundsPlace);
    box.mBounds.left = bounds.fixed("left");
    box.mBounds.top = bounds.fixed("top");
    box.mBounds.right = bounds.fixed("right");
    box.mBounds.bottom = bounds.fixed("bottom");
    bounds.finish({"left", "top", "right", "bottom"});
    if (box.mBounds.right < box.mBounds.left || box.mBounds.bottom < box.mBounds.top)
        fail(boundsPlace, QStringLiteral("the right and bottom edges must not lie before the left and top"));
    if (qint64(box.mBounds.right) - box.mBounds.left > sMaxExtent)
        fail(boundsPlace, QStringLiteral("the box is wider than 32767.99998 pt"));
    if (qint64(box.mBounds.bottom) - box.mBounds.top > sMaxExtent)
        fail(boundsPlace, QStringLiteral("the box is taller than 32767.99998 pt"));

    // Whether the project has the colour is checked once its colours are read.
    box.mColor = reader.string("colour", false);
    applyDefaultProperties(box);
    if (reader.has("properties"))
        readProperties(reader.value("properties"), place.child("properties"), boxProperties(), box,
                       box.mProperties);

    if (reader.has("text"))
    {
        const Place textPlace = place.child("text");
        if (!box.isText())
            fail(textPlace, QStringLiteral("only a text box has text settings"));
        ObjectReader text(reader.value("text"), textPlace);
        const JsonArray insets = text.array("insets", false);
        if (text.has("insets"))
        {
            if (insets.size() != 4)
                fail(textPlace.child("insets"), QStringLiteral("expected four insets"));
            for (int i = 0; i < 4; ++i)
                box.mInsets[i] = ObjectReader::readFixed(insets.at(i), textPlace.child("insets").at(i));
        }
        box.mInsetSetting = int32_t(text.integer("insetSetting", 0, 255, false));
        text.finish({"insets", "insetSetting"});
    }
    if (reader.has("picture"))
    {
        const Place picturePlace = place.child("picture");
        if (!box.isPicture())
            fail(picturePlace, QStringLiteral("only a picture box has a picture"));
        ObjectReader picture(reader.value("picture"), picturePlace);
        box.mPicturePath = picture.name("path", false);
        if (picture.has("properties"))
            readProperties(picture.value("properties"), picturePlace.child("properties"), pictureProperties(),
                           box, box.mPictureProperties);
        picture.finish({"path", "properties"});
    }
    reader.finish({"number", "name", "kind", "bounds", "colour", "properties", "text", "picture"});
    return box;
}

Spread readSpread(const JsonValue& value, const Place& place)
{
    ObjectReader reader(value, place);
    Spread spread;
    spread.mName = reader.name("name", false);
    if (reader.has("bounds"))
    {
        const Place boundsPlace = place.child("bounds");
        ObjectReader bounds(reader.value("bounds"), boundsPlace);
        spread.mBounds = {bounds.fixed("left"), bounds.fixed("right"), bounds.fixed("top"),
                          bounds.fixed("bottom")};
        bounds.finish({"left", "right", "top", "bottom"});
        if (spread.mBounds[1] < spread.mBounds[0] || spread.mBounds[3] < spread.mBounds[2])
            fail(boundsPlace,
                 QStringLiteral("the right and bottom edges must not lie before the left and top"));
        if (qint64(spread.mBounds[1]) - spread.mBounds[0] > sMaxExtent)
            fail(boundsPlace, QStringLiteral("the spread is wider than 32767.99998 pt"));
        if (qint64(spread.mBounds[3]) - spread.mBounds[2] > sMaxExtent)
            fail(boundsPlace, QStringLiteral("the spread is taller than 32767.99998 pt"));
    }
    spread.mColumns = int16_t(reader.integer("columns", 1, sMaxColumns, false, 1));
    spread.mGutter = reader.fixed("gutter", false);
    spread.mPages = readStrings(reader.array("pages", false), place.child("pages"));
    const JsonArray boxes = reader.array("boxes", false);
    spread.mBoxes.reserve(boxes.size());
    const Place boxesPlace = place.child("boxes");
    for (int i = 0; i < boxes.size(); ++i)
        spread.mBoxes.push_back(readBox(boxes.at(i), boxesPlace.at(i)));
    reader.finish({"name", "bounds", "columns", "gutter", "pages", "boxes"});
    return spread;
}

XTFourCC readFourCC(const ObjectReader& reader, const char* key)
{
    const QString text = reader.string(key);
    // Printable ASCII; spaces may pad a code at its end, as in 'ps  '.
    if (text.size() != 4 || text[0] == QLatin1Char(' ') ||
        std::any_of(text.begin(), text.end(),
                    [](QChar c) { return c.unicode() < 0x20 || c.unicode() > 0x7E; }))
        fail(reader.place().child(key), QStringLiteral("%1 is not a four-character code").arg(quoted(text)));
    const QByteArray bytes = text.toLatin1();
    return (XTFourCC(uint8_t(bytes[0])) << 24) | (XTFourCC(uint8_t(bytes[1])) << 16) |
           (XTFourCC(uint8_t(bytes[2])) << 8) | XTFourCC(uint8_t(bytes[3]));
}

Layout readLayout(const JsonValue& value, const Place& place)
{
    ObjectReader reader(value, place);
    Layout layout;
    layout.mNumber = int32_t(reader.integer("number", 1, std::numeric_limits<int32_t>::max()));
    layout.mName = reader.name("name", false);
    layout.mType = readFourCC(reader, "type");
    layout.mMasterSpreads = int16_t(reader.integer("masterSpreads", 0, sMaxMasters, false));
    layout.mMasterPages = readStrings(reader.array("masterPages", false), place.child("masterPages"));
    if (layout.mMasterPages.size() > sMaxMasters)
        fail(place.child("masterPages"), QStringLiteral("more than %1 master pages").arg(sMaxMasters));
    const JsonArray spreads = reader.array("spreads");
    if (spreads.size() > sMaxSpreadsPerLayout)
        fail(place.child("spreads"), QStringLiteral("more than %1 spreads").arg(sMaxSpreadsPerLayout));
    const Place spreadsPlace = place.child("spreads");
    std::set<int32_t> numbers;
    for (int i = 0; i < spreads.size(); ++i)
    {
        layout.mSpreads.push_back(readSpread(spreads.at(i), spreadsPlace.at(i)));
        const std::vector<Box>& boxes = layout.mSpreads.back().mBoxes;
        for (size_t b = 0; b < boxes.size(); ++b)
            if (!numbers.insert(boxes[b].mNumber).second)
                fail(spreadsPlace.at(i).child("boxes").at(int(b)).child("number"),
                     QStringLiteral("box number %1 is already used in this layout").arg(boxes[b].mNumber));
    }
    if (layout.pageCount() > sMaxPagesPerLayout)
        fail(spreadsPlace, QStringLiteral("more than %1 pages").arg(sMaxPagesPerLayout));
    reader.finish({"number", "name", "type", "masterSpreads", "masterPages", "spreads"});
    return layout;
}

void readStoryText(const JsonValue& value, const Place& place, Story& story)
{
    // Each toString() converts the text anew from the parsed document: once per piece.
    if (value.isString())
    {
        const QString text = value.toString();
        checkCharacters(text, place, Characters::StoryText);
        story.appendVisible(text);
        return;
    }
    if (!value.isArray())
        fail(place,
             QStringLiteral("expected a string or an array of text pieces, found %1").arg(typeName(value)));
    const JsonArray pieces = value.toArray();
    for (int i = 0; i < pieces.size(); ++i)
    {
        const JsonValue piece = pieces.at(i);
        if (piece.isString())
        {
            const QString text = piece.toString();
            checkCharacters(text, place.at(i), Characters::StoryText);
            story.appendVisible(text);
            continue;
        }
        ObjectReader hidden(piece, place.at(i));
        const QString content = hidden.string("hidden");
        checkCharacters(content, place.at(i).child("hidden"), Characters::StoryText);
        story.appendHidden(content);
        hidden.finish({"hidden"});
    }
    if (story.length() > sMaxStoryLength)
        fail(place, QStringLiteral("the text is too long"));
}

// One run's or paragraph's attributes: the known ones of that kind, each
// with a value of its type.
XT::TextAttributes readAttributes(const ObjectReader& reader, const Place& place, bool paragraph, const char* skip)
{
    XT::TextAttributes attributes;
    for (const QString& name : reader.keys())
    {
        if (skip && name == QLatin1String(skip))
            continue;
        const XT::AttributeInfo* info = XT::FindAttribute(name);
        if (!info || info->mParagraph != paragraph)
            fail(place, QStringLiteral("unknown key %1").arg(quoted(name)));
        const QByteArray key = name.toLatin1();
        const JsonValue value = reader.value(key.constData());
        const Place at = place.child(key.constData());
        QString text;
        switch (info->mKind)
        {
        case XT::AttributeKind::Name:
            text = reader.name(key.constData());
            if (text.isEmpty())
                fail(at, QStringLiteral("expected a name, found an empty string"));
            break;
        case XT::AttributeKind::Number:
            if (!value.isDouble())
                fail(at, QStringLiteral("expected a number, found %1").arg(typeName(value)));
            if (std::abs(value.toDouble()) > 1e6)
                fail(at, QStringLiteral("%1 is out of range").arg(value.toDouble()));
            text = XT::NumberText(value.toDouble());
            break;
        case XT::AttributeKind::Flag:
            if (!reader.boolean(key.constData()))
                continue;
            text = QStringLiteral("yes");
            break;
        case XT::AttributeKind::Alignment:
        {
            text = reader.string(key.constData());
            bool known = false;
            for (const char* const* a = XT::Alignments(); *a; ++a)
                known = known || text == QLatin1String(*a);
            if (!known)
                fail(at, QStringLiteral("%1 is no alignment (left, centre, right, justified, forced)")
                             .arg(quoted(text)));
            break;
        }
        }
        XT::SetAttribute(attributes, name, text);
    }
    return attributes;
}

// A story's formatting: runs of character attributes from their offsets,
// and the paragraphs' attributes in order.
void readFormatting(const JsonValue& value, const Place& place, Story& story)
{
    ObjectReader reader(value, place);
    const JsonArray characters = reader.array("characters", false);
    const Place charactersPlace = place.child("characters");
    for (int i = 0; i < characters.size(); ++i)
    {
        ObjectReader run(characters.at(i), charactersPlace.at(i));
        const qint64 previous = story.mFormats.empty() ? -1 : story.mFormats.back().mOffset;
        const qint64 at = run.integer("at", 0, std::max(story.length() - 1, 0));
        if (at <= previous)
            fail(charactersPlace.at(i).child("at"), QStringLiteral("runs must start at ascending offsets"));
        story.mFormats.push_back({int32_t(at), readAttributes(run, charactersPlace.at(i), false, "at")});
    }
    if (story.length() == 0 && !story.mFormats.empty())
        fail(charactersPlace, QStringLiteral("an empty text has no characters to format"));
    TextFormat::normalize(story.mFormats);
    const JsonArray paragraphs = reader.array("paragraphs", false);
    const Place paragraphsPlace = place.child("paragraphs");
    std::vector<int> ends;
    for (int i = 0; i < story.length(); ++i)
        if (TextFormat::isParagraphEnd(story.mText[i]))
            ends.push_back(i);
    if (size_t(paragraphs.size()) > ends.size() + 1)
        fail(paragraphsPlace, QStringLiteral("the text has %1 paragraphs").arg(ends.size() + 1));
    for (int i = 0; i < paragraphs.size(); ++i)
    {
        ObjectReader paragraph(paragraphs.at(i), paragraphsPlace.at(i));
        const XT::TextAttributes attributes = readAttributes(paragraph, paragraphsPlace.at(i), true, nullptr);
        if (size_t(i) == ends.size())
        {
            story.mTrail = attributes;
            continue;
        }
        XT::TextAttributes own = TextFormat::at(story.mFormats, ends[size_t(i)]);
        for (const auto& entry : attributes)
            XT::SetAttribute(own, entry.first, entry.second);
        TextFormat::splice(story.mFormats, story.length(), ends[size_t(i)], 1, {{0, own}}, 1);
    }
    reader.finish({"characters", "paragraphs"});
}

Story readStory(const JsonValue& value, const Place& place)
{
    ObjectReader reader(value, place);
    Story story;
    story.mNumber = int32_t(reader.integer("number", 1, std::numeric_limits<int32_t>::max()));
    const JsonArray boxes = reader.array("boxes", false);
    const Place boxesPlace = place.child("boxes");
    for (int i = 0; i < boxes.size(); ++i)
    {
        ObjectReader link(boxes.at(i), boxesPlace.at(i));
        story.mBoxes.push_back({int32_t(link.integer("layout", 1, std::numeric_limits<int32_t>::max())),
                                int32_t(link.integer("box", 1, std::numeric_limits<int32_t>::max()))});
        link.finish({"layout", "box"});
    }
    readStoryText(reader.value("text"), place.child("text"), story);
    if (reader.has("formatting"))
        readFormatting(reader.value("formatting"), place.child("formatting"), story);
    reader.finish({"number", "boxes", "text", "formatting"});
    return story;
}

Asset readAsset(const JsonValue& value, const Place& place, int kind)
{
    ObjectReader reader(value, place);
    Asset asset;
    asset.mKind = kind;
    asset.mName = reader.name("name");
    if (asset.mName.isEmpty())
        fail(place.child("name"), QStringLiteral("an asset needs a name"));
    // Names are identities: "Body" and "Body " would pair with nothing.
    if (asset.mName.front().isSpace() || asset.mName.back().isSpace())
        fail(place.child("name"), QStringLiteral("an asset name cannot begin or end with white space"));
    if (kind != XT::kColorAssetKind)
    {
        asset.mDescription = reader.string("description", false);
        checkCharacters(asset.mDescription, place.child("description"), Characters::Description);
        reader.finish({"name", "description"});
        return asset;
    }
    if (builtInColorIndex(asset.mName) >= 0)
        fail(place.child("name"), QStringLiteral("%1 is a built-in colour").arg(quoted(asset.mName)));
    for (const BuiltInColor& builtIn : sBuiltInColors)
        if (asset.mName.compare(QLatin1String(builtIn.mName), Qt::CaseInsensitive) == 0)
            fail(place.child("name"),
                 QStringLiteral("%1 differs from the built-in colour \"%2\" only in case")
                     .arg(quoted(asset.mName), QLatin1String(builtIn.mName)));
    const QString model = reader.string("model");
    const Place valuesPlace = place.child("values");
    const JsonArray values = reader.array("values");
    int count = 0;
    if (model == QLatin1String("RGB"))
    {
        asset.mColor.mModel = ColorValue::Rgb;
        count = 3;
    }
    else if (model == QLatin1String("CMYK"))
    {
        asset.mColor.mModel = ColorValue::Cmyk;
        count = 4;
    }
    else
        fail(place.child("model"), QStringLiteral("%1 is no colour model (RGB, CMYK)").arg(quoted(model)));
    if (values.size() != count)
        fail(valuesPlace, QStringLiteral("a %1 colour has %2 values").arg(model).arg(count));
    for (int i = 0; i < count; ++i)
        asset.mColor.mValues[i] = int(ObjectReader::readInteger(
            values.at(i), valuesPlace.at(i), 0, asset.mColor.mModel == ColorValue::Rgb ? 255 : 100));
    asset.mColor.mSpot = reader.boolean("spot", false);
    reader.finish({"name", "model", "values", "spot"});
    return asset;
}

void readAssets(const JsonValue& value, const Place& place, Project& project)
{
    ObjectReader reader(value, place);
    const JsonObject object = value.toObject();
    for (int k = 0; k < object.size(); ++k)
    {
        const QString name = object.keyAt(k);
        const JsonValue list = object.valueAt(k);
        const int kind = assetKindFromName(name);
        const QByteArray key = name.toUtf8();
        const Place kindPlace = place.child(key.constData());
        if (kind == 0)
            fail(place, QStringLiteral("%1 is no asset kind").arg(quoted(name)));
        if (!list.isArray())
            fail(kindPlace, QStringLiteral("expected an array, found %1").arg(typeName(list)));
        const JsonArray assets = list.toArray();
        if (kind == XT::kColorAssetKind && assets.size() > sMaxColors)
            fail(kindPlace, QStringLiteral("more than %1 colours").arg(sMaxColors));
        std::set<QString> names;
        for (int i = 0; i < assets.size(); ++i)
        {
            Asset asset = readAsset(assets.at(i), kindPlace.at(i), kind);
            if (!names.insert(asset.mName).second)
                fail(kindPlace.at(i).child("name"),
                     QStringLiteral("the name %1 is already used").arg(quoted(asset.mName)));
            project.mAssets[kind - 1].push_back(std::move(asset));
        }
    }
}

// Every box colour is a built-in colour or one of the project's own. The
// layouts are still in file order, so that the places are the file's.
void checkBoxColours(const Project& project, const Place& layoutsPlace)
{
    std::set<QString> colours;
    for (const BuiltInColor& builtIn : sBuiltInColors)
        colours.insert(QLatin1String(builtIn.mName));
    for (const Asset& colour : project.mAssets[XT::kColorAssetKind - 1])
        colours.insert(colour.mName);
    for (size_t l = 0; l < project.mLayouts.size(); ++l)
    {
        const Place layoutPlace = layoutsPlace.at(int(l));
        const Place spreadsPlace = layoutPlace.child("spreads");
        const std::vector<Spread>& spreads = project.mLayouts[l].mSpreads;
        for (size_t s = 0; s < spreads.size(); ++s)
        {
            const Place spreadPlace = spreadsPlace.at(int(s));
            const Place boxesPlace = spreadPlace.child("boxes");
            for (size_t b = 0; b < spreads[s].mBoxes.size(); ++b)
            {
                const QString& colour = spreads[s].mBoxes[b].mColor;
                if (!colour.isEmpty() && colours.count(colour) == 0)
                    fail(boxesPlace.at(int(b)).child("colour"),
                         QStringLiteral("the project has no colour %1").arg(quoted(colour)));
            }
        }
    }
}

// Every story link names a text box that exists, and no box shows two stories.
void checkStoryLinks(const Project& project, const Place& storiesPlace)
{
    std::set<std::pair<int32_t, int32_t>> used;
    std::set<int32_t> numbers;
    for (size_t s = 0; s < project.mStories.size(); ++s)
    {
        const Story& story = project.mStories[s];
        const Place place = storiesPlace.at(int(s));
        if (!numbers.insert(story.mNumber).second)
            fail(place.child("number"), QStringLiteral("story number %1 is already used").arg(story.mNumber));
        // A Place points at its parent: every parent must outlive its children.
        const Place boxesPlace = place.child("boxes");
        for (size_t b = 0; b < story.mBoxes.size(); ++b)
        {
            const BoxLink& link = story.mBoxes[b];
            const Place linkPlace = boxesPlace.at(int(b));
            const Layout* layout = project.findLayout(link.mLayout);
            const Box* box = layout ? layout->findBox(link.mBox) : nullptr;
            if (!box)
                fail(linkPlace, QStringLiteral("layout %1 has no box %2").arg(link.mLayout).arg(link.mBox));
            if (!box->isText())
                fail(linkPlace,
                     QStringLiteral("box %1 of layout %2 is no text box").arg(link.mBox).arg(link.mLayout));
            if (!used.insert({link.mLayout, link.mBox}).second)
                fail(linkPlace, QStringLiteral("box %1 of layout %2 already shows a story")
                                    .arg(link.mBox)
                                    .arg(link.mLayout));
        }
    }
}

// Where a byte offset lies, for parse errors.
QString lineAndColumn(const QByteArray& data, int offset)
{
    int line = 1;
    int lineStart = 0;
    for (int i = 0; i < offset && i < data.size(); ++i)
        if (data[i] == '\n')
        {
            ++line;
            lineStart = i + 1;
        }
    return QStringLiteral("byte offset %1 (line %2, column %3)")
        .arg(offset)
        .arg(line)
        .arg(offset - lineStart + 1);
}

void writeProperties(JsonWriter& out, const char* key, const std::vector<PropertyInfo>& table, const Box& box,
                     const PropertyMap& properties)
{
    out.beginObject(key);
    for (const PropertyInfo& info : table)
    {
        if (!info.appliesTo(box))
            continue;
        auto it = properties.find(info.mLabel);
        const int32_t value = it == properties.end() ? info.mDefault : it->second;
        switch (info.mKind)
        {
        case PropertyInfo::Measure:
            out.fixed(info.mKey, value);
            break;
        case PropertyInfo::Boolean:
            out.boolean(info.mKey, value != 0);
            break;
        default:
            out.number(info.mKey, value);
            break;
        }
    }
    out.end();
}

void writeBox(JsonWriter& out, const Box& box)
{
    out.beginObject();
    out.number("number", box.mNumber);
    out.string("name", box.mName);
    out.string("kind", QLatin1String(kindName(box.mKind)));
    out.beginObject("bounds");
    out.fixed("left", box.mBounds.left);
    out.fixed("top", box.mBounds.top);
    out.fixed("right", box.mBounds.right);
    out.fixed("bottom", box.mBounds.bottom);
    out.end();
    if (!box.mColor.isEmpty())
        out.string("colour", box.mColor);
    writeProperties(out, "properties", boxProperties(), box, box.mProperties);
    if (box.isText())
    {
        out.beginObject("text");
        out.beginArray("insets");
        for (Fixed inset : box.mInsets)
            out.fixed(inset);
        out.end();
        out.number("insetSetting", box.mInsetSetting);
        out.end();
    }
    if (box.isPicture())
    {
        out.beginObject("picture");
        out.string("path", box.mPicturePath);
        writeProperties(out, "properties", pictureProperties(), box, box.mPictureProperties);
        out.end();
    }
    out.end();
}

// The members of the object being written for each attribute.
void writeAttributes(JsonWriter& out, const XT::TextAttributes& attributes)
{
    for (const auto& entry : attributes)
    {
        const XT::AttributeInfo* info = XT::FindAttribute(entry.first);
        if (!info)
            continue;
        switch (info->mKind)
        {
        case XT::AttributeKind::Number:
            out.decimal(info->mName, entry.second.toDouble());
            break;
        case XT::AttributeKind::Flag:
            out.boolean(info->mName, true);
            break;
        default:
            out.string(info->mName, entry.second);
        }
    }
}

void writeFormatting(JsonWriter& out, const Story& story)
{
    out.beginObject("formatting");
    XT::FormatRuns characters;
    for (const XT::FormatRun& run : story.mFormats)
        characters.push_back({run.mOffset, XT::ParagraphPart(run.mAttributes, false)});
    TextFormat::normalize(characters);
    if (!characters.empty())
    {
        out.beginArray("characters");
        for (const XT::FormatRun& run : characters)
        {
            out.beginObject();
            out.number("at", run.mOffset);
            writeAttributes(out, run.mAttributes);
            out.end();
        }
        out.end();
    }
    std::vector<XT::TextAttributes> paragraphs;
    for (int i = 0; i < story.length(); ++i)
        if (TextFormat::isParagraphEnd(story.mText[i]))
            paragraphs.push_back(XT::ParagraphPart(TextFormat::at(story.mFormats, i), true));
    paragraphs.push_back(story.mTrail);
    while (!paragraphs.empty() && paragraphs.back().isEmpty())
        paragraphs.pop_back();
    if (!paragraphs.empty())
    {
        out.beginArray("paragraphs");
        for (const XT::TextAttributes& attributes : paragraphs)
        {
            out.beginObject();
            writeAttributes(out, attributes);
            out.end();
        }
        out.end();
    }
    out.end();
}

void writeStoryText(JsonWriter& out, const Story& story)
{
    if (story.mRuns.empty())
    {
        out.string("text", story.mText);
        return;
    }
    out.beginArray("text");
    int position = 0;
    for (const HiddenRun& run : story.mRuns)
    {
        if (run.mOffset > position)
            out.string(story.mText.mid(position, run.mOffset - position));
        out.beginObject();
        out.string("hidden", story.mText.mid(run.mOffset + 1, run.mLength));
        out.end();
        position = run.end();
    }
    if (position < story.length())
        out.string(story.mText.mid(position));
    out.end();
}

} // namespace

bool JsonProjectFormat::recognise(const QByteArray& head, XTFourCC* fileType) const
{
    // The writer puts these three keys first, so the type of a file shows in
    // its first bytes.
    static const QRegularExpression sHead(QStringLiteral(
        "^\\s*\\{\\s*\"format\"\\s*:\\s*\"corvane-project\"\\s*,\\s*\"version\"\\s*:\\s*\\d+\\s*,"
        "\\s*\"fileType\"\\s*:\\s*\"(XPRJ|XPRT)\""));
    const QRegularExpressionMatch match = sHead.match(QString::fromUtf8(head));
    if (!match.hasMatch())
        return false;
    *fileType = match.captured(1) == QLatin1String("XPRJ") ? XT::kFileProject : XT::kFileTemplate;
    return true;
}

namespace
{

bool parseJson(const QByteArray& data, QByteArray* release, const QString& place, Project& project,
               QString* error)
{
    // The tree reads what nearly every file holds; the rest, and every text
    // it cannot take, QJsonDocument reads and refuses as it always has.
    JsonTree tree;
    if (!tree.read(data))
    {
        RepeatedKey repeated;
        if (findRepeatedKey(data, &repeated))
        {
            const QString where =
                repeated.mPlace.isEmpty() ? QString() : escaped(repeated.mPlace, false) + ": ";
            const QString fault = repeated.mRawControl
                                      ? QStringLiteral("holds a control character that is not escaped")
                                      : QStringLiteral("is repeated");
            *error = QStringLiteral("%1: %2the key %3 %4 (%5)")
                         .arg(place, where, quoted(repeated.mKey), fault, lineAndColumn(data, repeated.mOffset));
            return false;
        }
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
        if (parseError.error != QJsonParseError::NoError)
        {
            *error = QStringLiteral("%1: %2: %3")
                         .arg(place, lineAndColumn(data, parseError.offset), parseError.errorString());
            return false;
        }
        if (release)
            *release = QByteArray();
        tree.fromDocument(document);
    }
    // From here on messages name places in the document, not offsets.
    try
    {
        const Place root{nullptr, nullptr, -1};
        if (!tree.root().isObject())
            fail(root, QStringLiteral("a project file is a JSON object"));
        ObjectReader reader(tree.root(), root);
        if (reader.string("format") != QLatin1String(sFormatMarker))
            fail(root.child("format"), QStringLiteral("not a project file of this host"));
        const qint64 version = reader.integer("version", 1, std::numeric_limits<int32_t>::max());
        if (version > JsonProjectFormat::sVersion)
            fail(root.child("version"), QStringLiteral("version %1 is newer than this host reads (%2)")
                                            .arg(version)
                                            .arg(JsonProjectFormat::sVersion));
        Project loaded;
        const QString type = reader.string("fileType");
        if (type == QLatin1String("XPRJ"))
            loaded.mFileType = XT::kFileProject;
        else if (type == QLatin1String("XPRT"))
            loaded.mFileType = XT::kFileTemplate;
        else
            fail(root.child("fileType"),
                 QStringLiteral("%1 is no project file type (XPRJ, XPRT)").arg(quoted(type)));

        const JsonArray layouts = reader.array("layouts");
        const Place layoutsPlace = root.child("layouts");
        std::set<int32_t> layoutNumbers;
        for (int i = 0; i < layouts.size(); ++i)
        {
            loaded.mLayouts.push_back(readLayout(layouts.at(i), layoutsPlace.at(i)));
            if (!layoutNumbers.insert(loaded.mLayouts.back().mNumber).second)
                fail(layoutsPlace.at(i).child("number"),
                     QStringLiteral("layout number %1 is already used").arg(loaded.mLayouts.back().mNumber));
        }

        const JsonArray stories = reader.array("stories", false);
        const Place storiesPlace = root.child("stories");
        loaded.mStories.reserve(stories.size());
        for (int i = 0; i < stories.size(); ++i)
            loaded.mStories.push_back(readStory(stories.at(i), storiesPlace.at(i)));
        checkStoryLinks(loaded, storiesPlace);

        if (reader.has("assets"))
            readAssets(reader.value("assets"), root.child("assets"), loaded);
        checkBoxColours(loaded, layoutsPlace);
        std::stable_sort(loaded.mLayouts.begin(), loaded.mLayouts.end(),
                         [](const Layout& a, const Layout& b) { return a.mNumber < b.mNumber; });
        reader.finish({"format", "version", "fileType", "layouts", "stories", "assets"});
        project = std::move(loaded);
        return true;
    }
    catch (const FormatError& e)
    {
        const QString message = escaped(e.mMessage, false);
        *error = e.mPlace.isEmpty()
                     ? QStringLiteral("%1: %2").arg(place, message)
                     : QStringLiteral("%1: %2: %3").arg(place, escaped(e.mPlace, false), message);
        return false;
    }
}

} // namespace

bool JsonProjectFormat::parse(const QByteArray& data, const QString& place, Project& project,
                              QString* error) const
{
    return parseJson(data, nullptr, place, project, error);
}

bool JsonProjectFormat::parseOwned(QByteArray&& data, const QString& place, Project& project,
                                   QString* error) const
{
    QByteArray owned = std::move(data);
    return parseJson(owned, &owned, place, project, error);
}

QString JsonProjectFormat::cannotHold(const Asset& asset) const
{
    // The reader's rules, for a value that another format read.
    const QString name = quoted(asset.mName);
    if (asset.mName.isEmpty())
        return QStringLiteral("an asset needs a name");
    if (!passes(asset.mName, Characters::Name))
        return QStringLiteral("the asset name %1 holds a control character or half of a surrogate pair").arg(name);
    if (asset.mName.front().isSpace() || asset.mName.back().isSpace())
        return QStringLiteral("the asset name %1 begins or ends with white space").arg(name);
    if (!passes(asset.mDescription, Characters::Description))
        return QStringLiteral("the description of %1 holds a control character").arg(name);
    if (asset.mKind == XT::kColorAssetKind)
        for (const BuiltInColor& builtIn : sBuiltInColors)
            if (asset.mName.compare(QLatin1String(builtIn.mName), Qt::CaseInsensitive) == 0)
                return QStringLiteral("the colour name %1 is the built-in colour \"%2\" or differs from it only in case")
                    .arg(name, QLatin1String(builtIn.mName));
    return QString();
}

QString JsonProjectFormat::cannotHold(const Box& box) const
{
    if (!passes(box.mName, Characters::Name))
        return QStringLiteral("the box name %1 holds a control character").arg(quoted(box.mName));
    if (!passes(box.mPicturePath, Characters::Name))
        return QStringLiteral("the picture path %1 holds a control character").arg(quoted(box.mPicturePath));
    return QString();
}

QByteArray JsonProjectFormat::serialize(const Project& project, qsizetype expectedSize) const
{
    JsonWriter out(expectedSize);
    out.beginObject();
    out.string("format", QLatin1String(sFormatMarker));
    out.number("version", sVersion);
    out.string("fileType", fourCCText(project.mFileType));

    out.beginArray("layouts");
    for (const Layout& layout : project.mLayouts)
    {
        out.beginObject();
        out.number("number", layout.mNumber);
        out.string("name", layout.mName);
        out.string("type", fourCCText(layout.mType));
        out.number("masterSpreads", layout.mMasterSpreads);
        out.beginArray("masterPages");
        for (const QString& label : layout.mMasterPages)
            out.string(label);
        out.end();
        out.beginArray("spreads");
        for (const Spread& spread : layout.mSpreads)
        {
            out.beginObject();
            out.string("name", spread.mName);
            out.beginObject("bounds");
            out.fixed("left", spread.mBounds[0]);
            out.fixed("right", spread.mBounds[1]);
            out.fixed("top", spread.mBounds[2]);
            out.fixed("bottom", spread.mBounds[3]);
            out.end();
            out.number("columns", spread.mColumns);
            out.fixed("gutter", spread.mGutter);
            out.beginArray("pages");
            for (const QString& label : spread.mPages)
                out.string(label);
            out.end();
            out.beginArray("boxes");
            for (const Box& box : spread.mBoxes)
                writeBox(out, box);
            out.end();
            out.end();
        }
        out.end();
        out.end();
    }
    out.end();

    out.beginArray("stories");
    for (const Story& story : project.mStories)
    {
        out.beginObject();
        out.number("number", story.mNumber);
        out.beginArray("boxes");
        for (const BoxLink& link : story.mBoxes)
        {
            out.beginObject();
            out.number("layout", link.mLayout);
            out.number("box", link.mBox);
            out.end();
        }
        out.end();
        writeStoryText(out, story);
        if (!story.mFormats.empty() || !story.mTrail.isEmpty())
            writeFormatting(out, story);
        out.end();
    }
    out.end();

    out.beginObject("assets");
    for (int kind = XT::kFirstAssetKind; kind <= XT::kLastAssetKind; ++kind)
    {
        const std::vector<Asset>& list = project.mAssets[kind - 1];
        if (list.empty())
            continue;
        out.beginArray(sAssetKindNames[kind - 1]);
        for (const Asset& asset : list)
        {
            out.beginObject();
            out.string("name", asset.mName);
            if (kind == XT::kColorAssetKind)
            {
                const bool rgb = asset.mColor.mModel == ColorValue::Rgb;
                out.string("model", rgb ? QStringLiteral("RGB") : QStringLiteral("CMYK"));
                out.beginArray("values");
                for (int i = 0; i < (rgb ? 3 : 4); ++i)
                    out.number(asset.mColor.mValues[i]);
                out.end();
                out.boolean("spot", asset.mColor.mSpot);
            }
            else
                out.string("description", asset.mDescription);
            out.end();
        }
        out.end();
    }
    out.end();
    out.end();
    return out.finish();
}

} // namespace XTHost
