#include "JsonKeyScan.h"

#include <algorithm>
#include <vector>

namespace XTHost
{

namespace
{

// Deeper documents are refused by QJsonDocument anyway (its limit is 1024).
constexpr size_t sMaxDepth = 1024;

struct Frame
{
    bool mObject;
    std::vector<QString> mKeys; // objects hold few keys: a linear search is fastest
    QString mKey;               // objects: the key of the value being read
    int mIndex;                 // arrays: the index of the value being read
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads the string that starts at data[pos] (a quote) and moves pos past it.
// With `text`, decodes it; false on anything the JSON parser would refuse
// that matters here.
bool readString(const QByteArray& data, int& pos, QString* text)
{
    ++pos;
    const int start = pos;
    bool escaped = false;
    while (pos < data.size() && data[pos] != '"')
    {
        if (data[pos] == '\\')
        {
            escaped = true;
            ++pos;
        }
        ++pos;
    }
    if (pos >= data.size())
        return false;
    ++pos;
    if (!text)
        return true;
    const QByteArray raw = data.mid(start, pos - 1 - start);
    if (!escaped)
    {
        if (std::all_of(raw.begin(), raw.end(), [](char c) { return uchar(c) < 0x80; }))
        {
            *text = QString::fromLatin1(raw);
            return true;
        }
        *text = QString::fromUtf8(raw);
        // Invalid UTF-8 would decode to replacement characters, and two
        // different keys could then look the same.
        return text->toUtf8() == raw;
    }
    QByteArray plain; // UTF-8 runs between escapes
    text->clear();
    auto flush = [&]()
    {
        const QString decoded = QString::fromUtf8(plain);
        if (decoded.toUtf8() != plain)
            return false;
        *text += decoded;
        plain.clear();
        return true;
    };
    for (int i = 0; i < raw.size(); ++i)
    {
        if (raw[i] != '\\')
        {
            plain += raw[i];
            continue;
        }
        if (!flush() || ++i >= raw.size())
            return false;
        switch (raw[i])
        {
        case '"':
        case '\\':
        case '/':
            *text += QChar(raw[i]);
            break;
        case 'b':
            *text += QChar('\b');
            break;
        case 'f':
            *text += QChar('\f');
            break;
        case 'n':
            *text += QChar('\n');
            break;
        case 'r':
            *text += QChar('\r');
            break;
        case 't':
            *text += QChar('\t');
            break;
        case 'u':
        {
            if (i + 4 >= raw.size())
                return false;
            int code = 0;
            for (int d = 1; d <= 4; ++d)
            {
                const int digit = hexDigit(raw[i + d]);
                if (digit < 0)
                    return false;
                code = code * 16 + digit;
            }
            *text += QChar(ushort(code));
            i += 4;
            break;
        }
        default:
            return false;
        }
    }
    return flush();
}

QString placeOf(const std::vector<Frame>& stack)
{
    // The top frame is the object that holds the repeated key; each frame
    // below it names the value that the frame above it is.
    QString place;
    for (size_t i = 0; i + 1 < stack.size(); ++i)
    {
        const Frame& frame = stack[i];
        if (frame.mObject)
            place += (place.isEmpty() ? QString() : QStringLiteral(".")) + frame.mKey;
        else
            place += QStringLiteral("[%1]").arg(frame.mIndex);
    }
    return place;
}

} // namespace

bool findRepeatedKey(const QByteArray& data, RepeatedKey* found)
{
    enum class Want
    {
        Value,
        ValueOrClose, // after [
        KeyOrClose,   // after {
        Key,
        Colon,
        CommaOrClose
    };
    std::vector<Frame> stack;
    Want want = Want::Value;
    int pos = 0;
    while (true)
    {
        while (pos < data.size() && isSpace(data[pos]))
            ++pos;
        if (pos >= data.size())
            return false;
        const char c = data[pos];
        switch (want)
        {
        case Want::ValueOrClose:
        case Want::Value:
            if (want == Want::ValueOrClose && c == ']')
            {
                ++pos;
                stack.pop_back();
            }
            else if (c == '{' || c == '[')
            {
                if (stack.size() >= sMaxDepth)
                    return false;
                ++pos;
                stack.push_back({c == '{', {}, QString(), 0});
                want = c == '{' ? Want::KeyOrClose : Want::ValueOrClose;
                continue;
            }
            else if (c == '"')
            {
                if (!readString(data, pos, nullptr))
                    return false;
            }
            else if (c == '-' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))
            {
                while (pos < data.size() &&
                       (data[pos] == '-' || data[pos] == '+' || data[pos] == '.' ||
                        (data[pos] >= '0' && data[pos] <= '9') || (data[pos] >= 'a' && data[pos] <= 'z') ||
                        (data[pos] >= 'A' && data[pos] <= 'Z')))
                    ++pos;
            }
            else
                return false;
            if (stack.empty())
                return false; // one value read: the rest is the parser's
            want = Want::CommaOrClose;
            break;
        case Want::KeyOrClose:
        case Want::Key:
        {
            if (want == Want::KeyOrClose && c == '}')
            {
                ++pos;
                stack.pop_back();
                if (stack.empty())
                    return false;
                want = Want::CommaOrClose;
                break;
            }
            if (c != '"')
                return false;
            const int keyOffset = pos;
            QString key;
            if (!readString(data, pos, &key))
                return false;
            Frame& frame = stack.back();
            if (std::find(frame.mKeys.begin(), frame.mKeys.end(), key) != frame.mKeys.end())
            {
                *found = {placeOf(stack), key, keyOffset};
                return true;
            }
            frame.mKeys.push_back(key);
            frame.mKey = key;
            want = Want::Colon;
            break;
        }
        case Want::Colon:
            if (c != ':')
                return false;
            ++pos;
            want = Want::Value;
            break;
        case Want::CommaOrClose:
        {
            Frame& frame = stack.back();
            ++pos;
            if (c == ',')
            {
                ++frame.mIndex;
                want = frame.mObject ? Want::Key : Want::Value;
            }
            else if (c == (frame.mObject ? '}' : ']'))
            {
                stack.pop_back();
                if (stack.empty())
                    return false;
            }
            else
                return false;
            break;
        }
        }
    }
}

} // namespace XTHost
