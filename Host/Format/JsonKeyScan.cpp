#include "JsonKeyScan.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace XTHost
{

namespace
{

// Deeper documents are refused by QJsonDocument anyway (its limit is 1024).
constexpr size_t sMaxDepth = 1024;

// A key as it stands in the file: most keys compare as bytes; a key with
// escapes, or one that begins with a byte order mark, is decoded.
struct Key
{
    int mStart;
    int mLength;
    bool mEscaped; // decoded to compare
    // Of the raw bytes: keys without escapes whose hashes differ differ.
    uint32_t mHash;
};

struct Frame
{
    bool mObject;
    std::vector<Key> mKeys; // objects hold few keys: a linear search is fastest
    int mIndex;             // arrays: the index of the value being read
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Moves pos past the string whose opening quote it is at; false when the
// string does not end. Story texts make up most of a file: the closing quote
// is looked for with memchr, and a quote is escaped when an odd number of
// backslashes stands before it.
bool skipString(const char* data, int size, int& pos, bool* escaped)
{
    const int start = pos + 1;
    int from = start;
    while (true)
    {
        const void* quote = std::memchr(data + from, '"', size_t(size - from));
        if (!quote)
            return false;
        const int at = int(static_cast<const char*>(quote) - data);
        int backslashes = 0;
        while (at - backslashes - 1 >= start && data[at - backslashes - 1] == '\\')
            ++backslashes;
        if (backslashes % 2 == 0)
        {
            *escaped = std::memchr(data + start, '\\', size_t(at - start)) != nullptr;
            pos = at + 1;
            return true;
        }
        from = at + 1;
    }
}

// skipString for a key, which also hashes the key's raw bytes (FNV-1a).
bool skipKey(const char* data, int size, int& pos, bool* escaped, bool* control, uint32_t* hash)
{
    ++pos;
    *escaped = false;
    *control = false;
    uint32_t h = 2166136261u;
    const int start = pos;
    while (pos < size && data[pos] != '"')
    {
        if (data[pos] == '\\')
        {
            *escaped = true;
            h = (h ^ uchar(data[pos])) * 16777619u;
            ++pos;
            if (pos >= size)
                break;
        }
        if (uchar(data[pos]) < 0x20)
            *control = true;
        h = (h ^ uchar(data[pos])) * 16777619u;
        ++pos;
    }
    if (pos >= size)
        return false;
    // QJsonDocument drops a byte order mark that begins a key without
    // escapes: such a key is the same as the one without it.
    if (pos - start >= 3 && std::memcmp(data + start, "\xEF\xBB\xBF", 3) == 0)
        *escaped = true;
    ++pos;
    *hash = h;
    return true;
}

// The text of a key as QJsonDocument reads it; false on anything it would
// refuse.
bool decodeKey(const char* data, const Key& key, QString* text)
{
    const QByteArray raw = QByteArray::fromRawData(data + key.mStart, key.mLength);
    text->clear();
    QByteArray plain; // UTF-8 runs between escapes
    auto flush = [&]()
    {
        // fromUtf8 would drop a byte order mark that begins a run; in a key
        // with escapes QJsonDocument keeps every U+FEFF.
        int from = 0;
        while (plain.size() - from >= 3 && std::memcmp(plain.constData() + from, "\xEF\xBB\xBF", 3) == 0)
        {
            *text += QChar(0xFEFF);
            from += 3;
        }
        // With its size: from a QByteArray alone, fromUtf8 stops at a NUL.
        const QByteArray rest = plain.mid(from);
        const QString decoded = QString::fromUtf8(rest.constData(), rest.size());
        // Invalid UTF-8 would decode to replacement characters, and two
        // different keys could then look the same.
        if (decoded.toUtf8() != rest)
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
            // QJsonDocument reads an unknown escape as the character itself.
            *text += QChar(uchar(raw[i]));
            break;
        }
    }
    if (!flush())
        return false;
    // Without escapes, QJsonDocument reads the key as fromUtf8 does, which
    // drops one leading byte order mark.
    if (!raw.contains('\\') && text->startsWith(QChar(0xFEFF)))
        text->remove(0, 1);
    return true;
}

bool sameBytes(const char* data, const Key& a, const Key& b)
{
    return a.mLength == b.mLength && std::memcmp(data + a.mStart, data + b.mStart, size_t(a.mLength)) == 0;
}

bool sameKey(const char* data, const Key& a, const Key& b)
{
    if (!a.mEscaped && !b.mEscaped)
        return a.mHash == b.mHash && sameBytes(data, a, b);
    QString first;
    QString second;
    // A key that cannot be decoded makes the parser refuse the file anyway.
    if (!decodeKey(data, a, &first) || !decodeKey(data, b, &second))
        return sameBytes(data, a, b);
    return first == second;
}

QString placeOf(const char* data, const std::vector<Frame>& stack)
{
    // The top frame is the object that holds the repeated key; each frame
    // below it names the value that the frame above it is: its last key or
    // its current index.
    QString place;
    for (size_t i = 0; i + 1 < stack.size(); ++i)
    {
        const Frame& frame = stack[i];
        if (frame.mObject)
        {
            QString key;
            decodeKey(data, frame.mKeys.back(), &key);
            place += (place.isEmpty() ? QString() : QStringLiteral(".")) + key;
        }
        else
            place += QStringLiteral("[%1]").arg(frame.mIndex);
    }
    return place;
}

// What the scan reads next.
enum class Want
{
    Value,
    ValueOrClose, // after [
    KeyOrClose,   // after {
    Key,
    Colon,
    CommaOrClose
};

// Reads a JSON text token by token, keeping for each open object the keys it
// has read, until a key repeats, a key holds a raw control character, or the
// text ends or goes wrong.
class KeyScanner
{
public:
    KeyScanner(const QByteArray& data, RepeatedKey* found)
        : mText(data.constData()), mSize(data.size()), mFound(found)
    {
        // QJsonDocument skips a byte order mark.
        mPos = mSize >= 3 && std::memcmp(mText, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    }

    bool scan();

private:
    enum class Step
    {
        Next,    // go on reading
        Nothing, // stop: nothing found
        Found
    };

    Step value(char c);
    Step open(char c);
    void skipScalar();
    Step key(char c);
    Step found(int offset);
    Step colon(char c);
    Step commaOrClose(char c);
    void push(bool object);

    // Raw bytes: this runs over every file before it is parsed.
    const char* mText;
    int mSize;
    RepeatedKey* mFound;
    int mPos = 0;
    Want mWant = Want::Value;
    // Frames are kept when popped, so that the key lists of deeper objects keep
    // their room from one object to the next; depth counts the frames in use.
    std::vector<Frame> mFrames;
    size_t mDepth = 0;
};

bool KeyScanner::scan()
{
    while (true)
    {
        while (mPos < mSize && isSpace(mText[mPos]))
            ++mPos;
        if (mPos >= mSize)
            return false;
        const char c = mText[mPos];
        Step step = Step::Nothing;
        switch (mWant)
        {
        case Want::ValueOrClose:
        case Want::Value:
            step = value(c);
            break;
        case Want::KeyOrClose:
        case Want::Key:
            step = key(c);
            break;
        case Want::Colon:
            step = colon(c);
            break;
        case Want::CommaOrClose:
            step = commaOrClose(c);
            break;
        }
        if (step != Step::Next)
            return step == Step::Found;
    }
}

KeyScanner::Step KeyScanner::value(char c)
{
    if (mWant == Want::ValueOrClose && c == ']')
    {
        ++mPos;
        --mDepth;
    }
    else if (c == '{' || c == '[')
        return open(c);
    else if (c == '"')
    {
        bool escaped = false;
        if (!skipString(mText, mSize, mPos, &escaped))
            return Step::Nothing;
    }
    // QJsonDocument reads ".5" as a number, too.
    else if (c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))
        skipScalar();
    else
        return Step::Nothing;
    if (mDepth == 0)
        return Step::Nothing; // one value read: the rest is the parser's
    mWant = Want::CommaOrClose;
    return Step::Next;
}

KeyScanner::Step KeyScanner::open(char c)
{
    if (mDepth >= sMaxDepth)
        return Step::Nothing;
    ++mPos;
    push(c == '{');
    mWant = c == '{' ? Want::KeyOrClose : Want::ValueOrClose;
    return Step::Next;
}

// Moves past a number, true, false or null (or a misspelling of one, which
// the parser refuses).
void KeyScanner::skipScalar()
{
    while (mPos < mSize &&
           (mText[mPos] == '-' || mText[mPos] == '+' || mText[mPos] == '.' ||
            (mText[mPos] >= '0' && mText[mPos] <= '9') || (mText[mPos] >= 'a' && mText[mPos] <= 'z') ||
            (mText[mPos] >= 'A' && mText[mPos] <= 'Z')))
        ++mPos;
}

KeyScanner::Step KeyScanner::key(char c)
{
    if (mWant == Want::KeyOrClose && c == '}')
    {
        ++mPos;
        --mDepth;
        if (mDepth == 0)
            return Step::Nothing;
        mWant = Want::CommaOrClose;
        return Step::Next;
    }
    if (c != '"')
        return Step::Nothing;
    const int keyOffset = mPos;
    uint32_t hash = 0;
    bool escaped = false;
    bool control = false;
    if (!skipKey(mText, mSize, mPos, &escaped, &control, &hash))
        return Step::Nothing;
    const Key key{keyOffset + 1, mPos - keyOffset - 2, escaped, hash};
    if (control)
    {
        // A key that does not decode is the parser's to refuse.
        if (!decodeKey(mText, key, &mFound->mKey))
            return Step::Nothing;
        mFound->mRawControl = true;
        return found(keyOffset);
    }
    Frame& frame = mFrames[mDepth - 1];
    for (const Key& other : frame.mKeys)
    {
        if (sameKey(mText, other, key))
        {
            decodeKey(mText, key, &mFound->mKey);
            return found(keyOffset);
        }
    }
    frame.mKeys.push_back(key);
    mWant = Want::Colon;
    return Step::Next;
}

// Completes the finding, whose key is read already, with its place.
KeyScanner::Step KeyScanner::found(int offset)
{
    mFrames.resize(mDepth);
    mFound->mPlace = placeOf(mText, mFrames);
    mFound->mOffset = offset;
    return Step::Found;
}

KeyScanner::Step KeyScanner::colon(char c)
{
    if (c != ':')
        return Step::Nothing;
    ++mPos;
    mWant = Want::Value;
    return Step::Next;
}

KeyScanner::Step KeyScanner::commaOrClose(char c)
{
    Frame& frame = mFrames[mDepth - 1];
    ++mPos;
    if (c == ',')
    {
        ++frame.mIndex;
        mWant = frame.mObject ? Want::Key : Want::Value;
        return Step::Next;
    }
    if (c != (frame.mObject ? '}' : ']'))
        return Step::Nothing;
    --mDepth;
    return mDepth == 0 ? Step::Nothing : Step::Next;
}

void KeyScanner::push(bool object)
{
    if (mDepth == mFrames.size())
        mFrames.push_back({object, {}, 0});
    else
    {
        mFrames[mDepth].mObject = object;
        mFrames[mDepth].mKeys.clear();
        mFrames[mDepth].mIndex = 0;
    }
    ++mDepth;
}

} // namespace

bool findRepeatedKey(const QByteArray& data, RepeatedKey* found)
{
    return KeyScanner(data, found).scan();
}

} // namespace XTHost
