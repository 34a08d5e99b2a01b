#include "JsonWriter.h"

#include "XTTextFormat.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace XTHost
{

namespace
{

constexpr int sInlineLimit = 96;

void appendInteger(QByteArray& out, qint64 value)
{
    char digits[24];
    const auto written = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, int(written.ptr - digits));
}

// Control characters and unpaired surrogates are written as escapes: UTF-8
// cannot carry the latter, and the text must come back unit for unit. So is
// a leading U+FEFF: QJsonDocument takes it for a byte order mark and drops
// it from a string without escapes.
void appendEscaped(QByteArray& out, const QString& text)
{
    out += '"';
    const int size = text.size();
    const QChar* units = text.constData();
    int plain = 0; // where the stretch written as it is began
    auto flush = [&](int end)
    {
        if (end > plain)
            out += QStringView(units + plain, end - plain).toUtf8();
    };
    for (int i = 0; i < size; ++i)
    {
        const ushort unit = units[i].unicode();
        if (unit >= 0x20 && unit != '"' && unit != '\\' && !QChar::isSurrogate(unit) && !(i == 0 && unit == 0xFEFF))
            continue;
        if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(units[i + 1].unicode()))
        {
            ++i;
            continue;
        }
        flush(i);
        plain = i + 1;
        switch (unit)
        {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += "\\u" + QByteArray::number(unit, 16).rightJustified(4, '0');
        }
    }
    flush(size);
    out += '"';
}

void appendFixed(QByteArray& out, qint32 value)
{
    // value / 65536 has at most 16 decimals: 10^16 / 2^16 = 152587890625.
    const qint64 whole = qint64(value) >> 16; // floor
    if (qint64(value) - whole * 65536 == 0)
    {
        appendInteger(out, whole);
        return;
    }
    // Negative values are written as -(|v|), so the digits read naturally.
    const qint64 magnitude = value < 0 ? -qint64(value) : qint64(value);
    if (value < 0)
        out += '-';
    appendInteger(out, magnitude >> 16);
    out += '.';
    char digits[24];
    const auto written = std::to_chars(digits, digits + sizeof digits, (magnitude & 0xFFFF) * 152587890625LL);
    int length = int(written.ptr - digits);
    out.append(16 - length, '0');
    while (digits[length - 1] == '0')
        --length;
    out.append(digits, length);
}

} // namespace

void JsonWriter::beginObject(const char* key)
{
    begin(key, false);
}

void JsonWriter::beginArray(const char* key)
{
    begin(key, true);
}

void JsonWriter::begin(const char* key, bool array)
{
    if (!mFrames.empty())
        member(key, false);
    mOut += array ? '[' : '{';
    Frame frame;
    frame.mArray = array;
    frame.mLaidOut = mFrames.empty();
    mFrames.push_back(frame);
}

void JsonWriter::end()
{
    const Frame frame = mFrames.back();
    if (!frame.mLaidOut)
    {
        int start = 0;
        for (size_t i = 0; i < mHeldEnds.size(); ++i)
        {
            if (i > 0)
                mOut += ", ";
            mOut.append(mHeld.constData() + start, mHeldEnds[i] - start);
            start = mHeldEnds[i];
        }
        mHeld.clear();
        mHeldEnds.clear();
    }
    else if (frame.mMembers > 0)
        newLine(int(mFrames.size()) - 1);
    mOut += frame.mArray ? ']' : '}';
    mFrames.pop_back();
}

void JsonWriter::newLine(int depth)
{
    mOut += '\n';
    mOut.append(2 * depth, ' ');
}

void JsonWriter::layOut(Frame& frame)
{
    frame.mLaidOut = true;
    int start = 0;
    for (size_t i = 0; i < mHeldEnds.size(); ++i)
    {
        if (i > 0)
            mOut += ',';
        newLine(int(mFrames.size()));
        mOut.append(mHeld.constData() + start, mHeldEnds[i] - start);
        start = mHeldEnds[i];
    }
    mHeld.clear();
    mHeldEnds.clear();
}

QByteArray& JsonWriter::member(const char* key, bool scalar)
{
    Frame& frame = mFrames.back();
    if (!scalar && !frame.mLaidOut)
        layOut(frame);
    QByteArray& out = frame.mLaidOut ? mOut : mHeld;
    if (frame.mLaidOut)
    {
        if (frame.mMembers > 0)
            mOut += ',';
        newLine(int(mFrames.size()));
    }
    ++frame.mMembers;
    if (key)
    {
        out += '"';
        out += key;
        out += "\": ";
    }
    return out;
}

void JsonWriter::scalarWritten(const char* key, int start)
{
    Frame& frame = mFrames.back();
    if (frame.mLaidOut)
        return;
    mHeldEnds.push_back(mHeld.size());
    // A member counts its key, its value and six more (quotes, colon,
    // separator), as the one-line form reads.
    const int keyLength = key ? int(std::strlen(key)) : 0;
    const int valueLength = mHeld.size() - start - (key ? keyLength + 4 : 0);
    frame.mInlineLength += keyLength + valueLength + 6;
    if (frame.mInlineLength > sInlineLimit)
        layOut(frame);
}

void JsonWriter::number(const char* key, qint64 value)
{
    const int start = mHeld.size();
    appendInteger(member(key, true), value);
    scalarWritten(key, start);
}

void JsonWriter::fixed(const char* key, qint32 value)
{
    const int start = mHeld.size();
    appendFixed(member(key, true), value);
    scalarWritten(key, start);
}

void JsonWriter::decimal(const char* key, double value)
{
    const int start = mHeld.size();
    member(key, true) += XT::NumberText(value).toLatin1();
    scalarWritten(key, start);
}

void JsonWriter::boolean(const char* key, bool value)
{
    const int start = mHeld.size();
    member(key, true) += value ? "true" : "false";
    scalarWritten(key, start);
}

void JsonWriter::string(const char* key, const QString& value)
{
    const int start = mHeld.size();
    appendEscaped(member(key, true), value);
    scalarWritten(key, start);
}

JsonWriter::JsonWriter(qsizetype expectedSize)
{
    if (expectedSize > 0)
        mOut.reserve(int(qMin<qsizetype>(expectedSize, std::numeric_limits<int>::max() / 2)));
}

QByteArray JsonWriter::finish()
{
    mOut += '\n';
    return std::move(mOut);
}

} // namespace XTHost
