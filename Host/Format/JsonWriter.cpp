#include "JsonWriter.h"

#include <cstring>

#include "XTTextFormat.h"

namespace XTHost
{

namespace
{

constexpr int sInlineLimit = 96;

void appendEscaped(QByteArray& out, const QString& text)
{
    out += '"';
    QString plain;
    auto flush = [&]()
    {
        out += plain.toUtf8();
        plain.clear();
    };
    const int size = text.size();
    for (int i = 0; i < size; ++i)
    {
        const ushort unit = text.at(i).unicode();
        const char* escape = nullptr;
        switch (unit)
        {
        case '"':
            escape = "\\\"";
            break;
        case '\\':
            escape = "\\\\";
            break;
        case '\r':
            escape = "\\r";
            break;
        case '\n':
            escape = "\\n";
            break;
        case '\t':
            escape = "\\t";
            break;
        default:
            break;
        }
        if (escape)
        {
            flush();
            out += escape;
            continue;
        }
        const bool high = QChar::isHighSurrogate(unit);
        const bool paired = high && i + 1 < size && QChar::isLowSurrogate(text.at(i + 1).unicode());
        if (paired)
        {
            plain += text.at(i);
            plain += text.at(++i);
            continue;
        }
        // Control characters and unpaired surrogates are written as escapes:
        // UTF-8 cannot carry the latter, and the text must come back unit for
        // unit. So is a leading U+FEFF: QJsonDocument takes it for a byte
        // order mark and drops it from a string without escapes.
        if (unit < 0x20 || QChar::isSurrogate(unit) || (i == 0 && unit == 0xFEFF))
        {
            flush();
            out += "\\u" + QByteArray::number(unit, 16).rightJustified(4, '0');
            continue;
        }
        plain += text.at(i);
    }
    flush();
    out += '"';
}

} // namespace

JsonNode JsonNode::number(qint64 value)
{
    JsonNode node;
    node.mLiteral = QByteArray::number(value);
    return node;
}

JsonNode JsonNode::decimal(double value)
{
    JsonNode node;
    node.mLiteral = XT::NumberText(value).toLatin1();
    return node;
}

JsonNode JsonNode::fixed(qint32 value)
{
    // value / 65536 has at most 16 decimals: 10^16 / 2^16 = 152587890625.
    const qint64 whole = qint64(value) >> 16; // floor
    const qint64 fraction = qint64(value) - whole * 65536;
    JsonNode node;
    if (fraction == 0)
    {
        node.mLiteral = QByteArray::number(whole);
        return node;
    }
    // Write negative values as -(|v|) so the digits read naturally.
    const bool negative = value < 0;
    const qint64 magnitude = negative ? -qint64(value) : qint64(value);
    const qint64 magnitudeWhole = magnitude >> 16;
    const qint64 magnitudeFraction = magnitude & 0xFFFF;
    QByteArray digits = QByteArray::number(magnitudeFraction * 152587890625LL).rightJustified(16, '0');
    while (digits.endsWith('0'))
        digits.chop(1);
    node.mLiteral = (negative ? "-" : "") + QByteArray::number(magnitudeWhole) + '.' + digits;
    return node;
}

JsonNode JsonNode::boolean(bool value)
{
    JsonNode node;
    node.mLiteral = value ? "true" : "false";
    return node;
}

JsonNode JsonNode::string(const QString& value)
{
    JsonNode node;
    appendEscaped(node.mLiteral, value);
    return node;
}

JsonNode JsonNode::array()
{
    JsonNode node;
    node.mType = Array;
    return node;
}

JsonNode JsonNode::object()
{
    JsonNode node;
    node.mType = Object;
    return node;
}

JsonNode& JsonNode::append(JsonNode value)
{
    mChildren.emplace_back(nullptr, std::move(value));
    return mChildren.back().second;
}

JsonNode& JsonNode::insert(const char* key, JsonNode value)
{
    mChildren.emplace_back(key, std::move(value));
    return mChildren.back().second;
}

QByteArray JsonNode::toJson() const
{
    QByteArray out;
    write(out, 0);
    out += '\n';
    return out;
}

bool JsonNode::writeInline(QByteArray& out) const
{
    int length = 2;
    for (const auto& child : mChildren)
    {
        if (child.second.mType != Scalar)
            return false;
        length += (child.first ? int(std::strlen(child.first)) : 0) + child.second.mLiteral.size() + 6;
        if (length > sInlineLimit)
            return false;
    }
    out += mType == Array ? '[' : '{';
    bool first = true;
    for (const auto& child : mChildren)
    {
        if (!first)
            out += ", ";
        first = false;
        if (mType == Object)
        {
            out += '"';
            out += child.first;
            out += "\": ";
        }
        out += child.second.mLiteral;
    }
    out += mType == Array ? ']' : '}';
    return true;
}

void JsonNode::write(QByteArray& out, int indent) const
{
    if (mType == Scalar)
    {
        out += mLiteral;
        return;
    }
    // The top level is always laid out, so the file's first keys stand on
    // lines of their own.
    if (indent > 0 && writeInline(out))
        return;
    out += mType == Array ? '[' : '{';
    const QByteArray inner(indent + 2, ' ');
    bool first = true;
    for (const auto& child : mChildren)
    {
        out += first ? "\n" : ",\n";
        first = false;
        out += inner;
        if (mType == Object)
        {
            out += '"';
            out += child.first;
            out += "\": ";
        }
        child.second.write(out, indent + 2);
    }
    if (!mChildren.empty())
        out += '\n' + QByteArray(indent, ' ');
    out += mType == Array ? ']' : '}';
}

} // namespace XTHost
