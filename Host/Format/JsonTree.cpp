#include "JsonTree.h"

#include "JsonKeyScan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace XTHost
{

namespace
{

// Deeper texts go to QJsonDocument, which allows 1024 levels.
constexpr int sMaxDepth = 256;
// Whole numbers of up to this many digits fit a qint64, as QJsonDocument
// keeps them; longer ones it reads as doubles.
constexpr int sMaxWholeDigits = 18;
// A decimal of at most 15 significant digits is below 2^53, and 10^22 is the
// largest power of ten a double holds exactly: their quotient is then the
// correctly rounded value, as every exact decimal reader gives it.
constexpr int sMaxExactDigits = 15;
constexpr int sMaxExactFraction = 22;

const double sPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether any of the eight bytes needs a closer look in a string: a quote, a
// backslash, a control character or a byte of a multi-byte character.
bool plainWord(const char* p)
{
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    constexpr uint64_t ones = 0x0101010101010101ULL;
    constexpr uint64_t highs = 0x8080808080808080ULL;
    const uint64_t quote = word ^ (ones * '"');
    const uint64_t backslash = word ^ (ones * '\\');
    const uint64_t special = ((word - ones * 0x20) & ~word) | ((quote - ones) & ~quote) |
                             ((backslash - ones) & ~backslash) | word;
    return (special & highs) == 0;
}

int compareBytes(const char* a, uint32_t aLength, const char* b, uint32_t bLength)
{
    const int order = std::memcmp(a, b, std::min(aLength, bLength));
    if (order != 0)
        return order;
    return aLength < bLength ? -1 : (aLength > bLength ? 1 : 0);
}

} // namespace

class JsonTree::Reader
{
public:
    Reader(JsonTree& tree) : mTree(tree), mData(tree.mData.constData()), mSize(uint32_t(tree.mData.size())) {}

    bool run()
    {
        skipSpace();
        if (mPos >= mSize || mData[mPos] != '{')
            return false;
        if (!value(0))
            return false;
        skipSpace();
        return mPos == mSize;
    }

private:
    void skipSpace()
    {
        while (mPos < mSize)
        {
            const char c = mData[mPos];
            if (c != ' ' && c != '\n' && c != '\r' && c != '\t')
                return;
            ++mPos;
        }
    }

    uint32_t addNode(Type type, uint8_t flags = 0, uint32_t a = 0, uint32_t b = 0)
    {
        mTree.mNodes.push_back({type, flags, a, b});
        return uint32_t(mTree.mNodes.size() - 1);
    }

    bool literal(const char* word, size_t length)
    {
        if (mSize - mPos < length || std::memcmp(mData + mPos, word, length) != 0)
            return false;
        mPos += uint32_t(length);
        return true;
    }

    bool value(int depth)
    {
        if (mPos >= mSize)
            return false;
        switch (mData[mPos])
        {
        case '{':
            return object(depth + 1);
        case '[':
            return array(depth + 1);
        case '"':
            return string(false);
        case 't':
            addNode(Type::Bool, 0, 1);
            return literal("true", 4);
        case 'f':
            addNode(Type::Bool, 0, 0);
            return literal("false", 5);
        case 'n':
            addNode(Type::Null);
            return literal("null", 4);
        default:
            return number();
        }
    }

    bool object(int depth)
    {
        if (depth > sMaxDepth)
            return false;
        const uint32_t node = addNode(Type::Object);
        const size_t first = mMembers.size();
        ++mPos;
        skipSpace();
        if (mPos < mSize && mData[mPos] == '}')
            ++mPos;
        else
            for (;;)
            {
                skipSpace();
                if (mPos >= mSize || mData[mPos] != '"')
                    return false;
                const uint32_t key = uint32_t(mTree.mNodes.size());
                if (!string(true))
                    return false;
                skipSpace();
                if (mPos >= mSize || mData[mPos] != ':')
                    return false;
                ++mPos;
                skipSpace();
                const uint32_t member = uint32_t(mTree.mNodes.size());
                if (!value(depth))
                    return false;
                mMembers.push_back({key, member});
                skipSpace();
                if (mPos >= mSize)
                    return false;
                if (mData[mPos] == ',')
                {
                    ++mPos;
                    continue;
                }
                if (mData[mPos] != '}')
                    return false;
                ++mPos;
                break;
            }
        // QJsonObject's order; a repeated key is left to QJsonDocument's
        // reader, which reports it.
        const std::vector<Node>& nodes = mTree.mNodes;
        const auto order = [&](const std::pair<uint32_t, uint32_t>& a, const std::pair<uint32_t, uint32_t>& b)
        {
            const Node& x = nodes[a.first];
            const Node& y = nodes[b.first];
            return compareBytes(mData + x.mA, x.mB, mData + y.mA, y.mB) < 0;
        };
        const auto begin = mMembers.begin() + std::ptrdiff_t(first);
        if (!std::is_sorted(begin, mMembers.end(), order))
            std::sort(begin, mMembers.end(), order);
        for (auto it = begin; it != mMembers.end(); ++it)
        {
            if (it + 1 != mMembers.end() && !order(*it, *(it + 1)))
                return false;
            mTree.mChildren.push_back(it->first);
            mTree.mChildren.push_back(it->second);
        }
        Node& self = mTree.mNodes[node];
        self.mB = uint32_t(mMembers.size() - first);
        self.mA = uint32_t(mTree.mChildren.size() - 2 * self.mB);
        mMembers.resize(first);
        return true;
    }

    bool array(int depth)
    {
        if (depth > sMaxDepth)
            return false;
        const uint32_t node = addNode(Type::Array);
        const size_t first = mElements.size();
        ++mPos;
        skipSpace();
        if (mPos < mSize && mData[mPos] == ']')
            ++mPos;
        else
            for (;;)
            {
                skipSpace();
                mElements.push_back(uint32_t(mTree.mNodes.size()));
                if (!value(depth))
                    return false;
                skipSpace();
                if (mPos >= mSize)
                    return false;
                if (mData[mPos] == ',')
                {
                    ++mPos;
                    continue;
                }
                if (mData[mPos] != ']')
                    return false;
                ++mPos;
                break;
            }
        Node& self = mTree.mNodes[node];
        self.mA = uint32_t(mTree.mChildren.size());
        self.mB = uint32_t(mElements.size() - first);
        mTree.mChildren.insert(mTree.mChildren.end(), mElements.begin() + std::ptrdiff_t(first), mElements.end());
        mElements.resize(first);
        return true;
    }

    // One character of two to four bytes, strictly formed; noncharacters are
    // left to QJsonDocument too.
    bool multiByte()
    {
        const auto at = [&](uint32_t i) { return uint8_t(mData[i]); };
        const uint8_t lead = at(mPos);
        int length;
        uint32_t code;
        uint8_t low = 0x80;
        uint8_t high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF)
        {
            length = 2;
            code = lead & 0x1F;
        }
        else if (lead >= 0xE0 && lead <= 0xEF)
        {
            length = 3;
            code = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F; // no surrogates
        }
        else if (lead >= 0xF0 && lead <= 0xF4)
        {
            length = 4;
            code = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        }
        else
            return false;
        if (mSize - mPos < uint32_t(length))
            return false;
        for (int i = 1; i < length; ++i)
        {
            const uint8_t next = at(mPos + uint32_t(i));
            if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF))
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        if ((code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE)
            return false;
        mPos += uint32_t(length);
        return true;
    }

    bool escape()
    {
        if (mSize - mPos < 2)
            return false;
        switch (mData[mPos + 1])
        {
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
            mPos += 2;
            return true;
        case 'u':
        {
            if (mSize - mPos < 6)
                return false;
            int unit = 0;
            for (uint32_t i = 2; i < 6; ++i)
            {
                const int digit = hexDigit(mData[mPos + i]);
                if (digit < 0)
                    return false;
                unit = unit * 16 + digit;
            }
            if (unit >= 0xD800 && unit <= 0xDFFF)
                return false;
            mPos += 6;
            return true;
        }
        default:
            return false;
        }
    }

    bool string(bool key)
    {
        const uint32_t start = ++mPos;
        uint8_t flags = Ascii;
        for (;;)
        {
            while (mSize - mPos >= 8 && plainWord(mData + mPos))
                mPos += 8;
            if (mPos >= mSize)
                return false;
            const uint8_t c = uint8_t(mData[mPos]);
            if (c == '"')
                break;
            if (c < 0x20)
                return false;
            if (c == '\\')
            {
                if (key || !escape())
                    return false;
                flags = Escaped;
            }
            else if (c >= 0x80)
            {
                if (key || !multiByte())
                    return false;
                flags &= uint8_t(~Ascii);
            }
            else
                ++mPos;
        }
        addNode(Type::String, flags, start, mPos - start);
        ++mPos;
        return true;
    }

    bool number()
    {
        const uint32_t start = mPos;
        const bool negative = mData[mPos] == '-';
        if (negative)
            ++mPos;
        if (mPos >= mSize || !isDigit(mData[mPos]))
            return false;
        // Digits of the whole part and the fraction, without leading zeros.
        uint64_t mantissa = 0;
        int digits = 0;
        int fraction = 0;
        const auto take = [&](char c)
        {
            if (digits > 0 || c != '0')
            {
                if (++digits <= sMaxWholeDigits)
                    mantissa = mantissa * 10 + uint64_t(c - '0');
            }
        };
        if (mData[mPos] == '0')
            ++mPos;
        else
            while (mPos < mSize && isDigit(mData[mPos]))
                take(mData[mPos++]);
        bool whole = true;
        if (mPos < mSize && mData[mPos] == '.')
        {
            whole = false;
            ++mPos;
            if (mPos >= mSize || !isDigit(mData[mPos]))
                return false;
            while (mPos < mSize && isDigit(mData[mPos]))
            {
                take(mData[mPos++]);
                ++fraction;
            }
        }
        if (mPos >= mSize || mData[mPos] == 'e' || mData[mPos] == 'E')
            return false;
        if (whole)
        {
            // QJsonDocument keeps a whole number as a qint64 and gives its
            // double when asked.
            if (digits > sMaxWholeDigits)
                return false;
            const int64_t value = negative ? -int64_t(mantissa) : int64_t(mantissa);
            if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max())
                addNode(Type::Number, Whole, uint32_t(int32_t(value)));
            else
                addNode(Type::Number, 0, mTree.addDouble(double(value)));
            return true;
        }
        double value;
        if (digits <= sMaxExactDigits && fraction <= sMaxExactFraction)
        {
            value = double(mantissa) / sPowersOfTen[fraction];
            if (negative)
                value = -value;
        }
        else
        {
            bool ok = false;
            value = QByteArray::fromRawData(mData + start, int(mPos - start)).toDouble(&ok);
            if (!ok || !std::isfinite(value))
                return false;
        }
        // QJsonDocument gives 0 for -0.0 as well.
        addNode(Type::Number, 0, mTree.addDouble(value == 0 ? 0.0 : value));
        return true;
    }

    JsonTree& mTree;
    const char* mData;
    uint32_t mSize;
    uint32_t mPos = 0;
    // Children of the open containers, moved to mChildren as each closes.
    std::vector<std::pair<uint32_t, uint32_t>> mMembers;
    std::vector<uint32_t> mElements;
};

namespace
{

// How many values a text holds, guessed from samples of it. Every value but
// the root follows one of , : [ { so counting those (an overcount: some are
// inside strings) in 32 windows spread over the text, scaled to its size,
// gives a guess good enough to reserve the nodes at once: moving a vector of
// millions of nodes as it grows cost a tenth of reading a large project.
size_t expectedValues(const QByteArray& data)
{
    constexpr int window = 32 * 1024;
    constexpr int windows = 32;
    const int size = data.size();
    const int step = std::max(window, size / windows);
    size_t counted = 0;
    qint64 sampled = 0;
    for (qint64 start = 0; start < size; start += step)
    {
        const qint64 end = std::min<qint64>(size, start + window);
        for (qint64 i = start; i < end; ++i)
        {
            const char c = data.at(int(i));
            counted += c == ',' || c == ':' || c == '[' || c == '{';
        }
        sampled += end - start;
    }
    return sampled == 0 ? 1 : size_t(double(counted) / double(sampled) * double(size) * 1.1) + 16;
}

} // namespace

bool JsonTree::read(const QByteArray& data)
{
    mFromDocument = false;
    mData = data;
    mNodes.clear();
    mChildren.clear();
    mDoubles.clear();
    mOwned.clear();
    const size_t expected = expectedValues(data);
    mNodes.reserve(expected);
    mChildren.reserve(expected);
    Reader reader(*this);
    if (reader.run())
        return true;
    mData.clear();
    std::vector<Node>().swap(mNodes);
    std::vector<uint32_t>().swap(mChildren);
    std::vector<double>().swap(mDoubles);
    return false;
}

uint32_t JsonTree::addDouble(double value)
{
    mDoubles.push_back(value);
    return uint32_t(mDoubles.size() - 1);
}

uint32_t JsonTree::addValue(const QJsonValue& value)
{
    const uint32_t node = uint32_t(mNodes.size());
    switch (value.type())
    {
    case QJsonValue::Null:
        mNodes.push_back({Type::Null, 0, 0, 0});
        break;
    case QJsonValue::Bool:
        mNodes.push_back({Type::Bool, 0, value.toBool() ? 1u : 0u, 0});
        break;
    case QJsonValue::Double:
        mNodes.push_back({Type::Number, 0, addDouble(value.toDouble()), 0});
        break;
    case QJsonValue::String:
        mOwned.push_back(value.toString());
        mNodes.push_back({Type::String, Owned, uint32_t(mOwned.size() - 1), 0});
        break;
    case QJsonValue::Array:
    {
        mNodes.push_back({Type::Array, 0, 0, 0});
        const QJsonArray array = value.toArray();
        std::vector<uint32_t> elements;
        elements.reserve(size_t(array.size()));
        for (const QJsonValue element : array)
            elements.push_back(addValue(element));
        mNodes[node].mA = uint32_t(mChildren.size());
        mNodes[node].mB = uint32_t(elements.size());
        mChildren.insert(mChildren.end(), elements.begin(), elements.end());
        break;
    }
    case QJsonValue::Object:
    {
        mNodes.push_back({Type::Object, 0, 0, 0});
        const QJsonObject object = value.toObject();
        std::vector<uint32_t> members;
        members.reserve(2 * size_t(object.size()));
        for (auto it = object.begin(); it != object.end(); ++it)
        {
            mOwned.push_back(it.key());
            members.push_back(uint32_t(mNodes.size()));
            mNodes.push_back({Type::String, Owned, uint32_t(mOwned.size() - 1), 0});
            members.push_back(addValue(it.value()));
        }
        mNodes[node].mA = uint32_t(mChildren.size());
        mNodes[node].mB = uint32_t(object.size());
        mChildren.insert(mChildren.end(), members.begin(), members.end());
        break;
    }
    case QJsonValue::Undefined:
        mNodes.push_back({Type::Undefined, 0, 0, 0});
        break;
    }
    return node;
}

void JsonTree::fromDocument(const QJsonDocument& document)
{
    mFromDocument = true;
    mData.clear();
    mNodes.clear();
    mChildren.clear();
    mDoubles.clear();
    mOwned.clear();
    if (document.isObject())
        addValue(document.object());
    else if (document.isArray())
        addValue(document.array());
}

QString JsonTree::decode(const Node& node) const
{
    if (node.mFlags & Owned)
        return mOwned[node.mA];
    const char* text = mData.constData() + node.mA;
    if (node.mFlags & Ascii)
        return QString::fromLatin1(text, int(node.mB));
    if (!(node.mFlags & Escaped))
        return QString::fromUtf8(text, int(node.mB)); // drops a leading U+FEFF, as QJsonDocument does
    // The reader let through only escapes it knows and no surrogate.
    QString out;
    out.reserve(int(node.mB));
    uint32_t plain = 0;
    uint32_t i = 0;
    // QString::fromUtf8 drops a byte order mark at the start of its input;
    // QJsonDocument keeps every U+FEFF of a string with escapes.
    const auto flush = [&]()
    {
        while (i - plain >= 3 && std::memcmp(text + plain, "\xEF\xBB\xBF", 3) == 0)
        {
            out += QChar(0xFEFF);
            plain += 3;
        }
        if (i > plain)
            out += QString::fromUtf8(text + plain, int(i - plain));
    };
    while (i < node.mB)
    {
        if (text[i] != '\\')
        {
            ++i;
            continue;
        }
        flush();
        const char kind = text[i + 1];
        switch (kind)
        {
        case 'b':
            out += QChar(0x08);
            break;
        case 'f':
            out += QChar(0x0C);
            break;
        case 'n':
            out += QChar('\n');
            break;
        case 'r':
            out += QChar('\r');
            break;
        case 't':
            out += QChar('\t');
            break;
        case 'u':
        {
            int unit = 0;
            for (uint32_t d = 2; d < 6; ++d)
                unit = unit * 16 + hexDigit(text[i + d]);
            out += QChar(ushort(unit));
            i += 4;
            break;
        }
        default: // the quote, the backslash and the slash stand for themselves
            out += QChar(kind);
            break;
        }
        i += 2;
        plain = i;
    }
    flush();
    return out;
}

JsonTree::Type JsonTree::Value::type() const
{
    return mTree ? mTree->mNodes[mNode].mType : Type::Undefined;
}

bool JsonTree::Value::toBool() const
{
    return isBool() && mTree->mNodes[mNode].mA != 0;
}

double JsonTree::Value::toDouble() const
{
    if (!isDouble())
        return 0;
    const Node& node = mTree->mNodes[mNode];
    if (node.mFlags & Whole)
        return double(int32_t(node.mA));
    return mTree->mDoubles[node.mA];
}

QString JsonTree::Value::toString() const
{
    return isString() ? mTree->decode(mTree->mNodes[mNode]) : QString();
}

JsonTree::Array JsonTree::Value::toArray() const
{
    if (!isArray())
        return Array();
    const Node& node = mTree->mNodes[mNode];
    return Array(mTree, node.mA, node.mB);
}

JsonTree::Object JsonTree::Value::toObject() const
{
    if (!isObject())
        return Object();
    const Node& node = mTree->mNodes[mNode];
    return Object(mTree, node.mA, node.mB);
}

JsonTree::Value JsonTree::Array::at(int index) const
{
    if (index < 0 || uint32_t(index) >= mCount)
        return Value();
    return Value(mTree, mTree->mChildren[mFirst + uint32_t(index)]);
}

int JsonTree::Object::find(const char* key) const
{
    if (!mTree)
        return -1;
    const uint32_t length = uint32_t(std::strlen(key));
    const uint32_t* members = mTree->mChildren.data() + mFirst;
    if (mTree->mFromDocument)
    {
        // A document from QJsonDocument: its keys may be any text, in its
        // own order.
        for (uint32_t i = 0; i < mCount; ++i)
            if (mTree->mOwned[mTree->mNodes[members[2 * i]].mA] == QLatin1String(key, int(length)))
                return int(i);
        return -1;
    }
    const char* data = mTree->mData.constData();
    uint32_t low = 0;
    uint32_t high = mCount;
    while (low < high)
    {
        const uint32_t middle = (low + high) / 2;
        const Node& node = mTree->mNodes[members[2 * middle]];
        const int order = compareBytes(data + node.mA, node.mB, key, length);
        if (order == 0)
            return int(middle);
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return -1;
}

JsonTree::Value JsonTree::Object::value(const char* key) const
{
    const int index = find(key);
    return index < 0 ? Value() : valueAt(index);
}

QString JsonTree::Object::keyAt(int index) const
{
    return mTree->decode(mTree->mNodes[mTree->mChildren[mFirst + 2 * uint32_t(index)]]);
}

JsonTree::Value JsonTree::Object::valueAt(int index) const
{
    return Value(mTree, mTree->mChildren[mFirst + 2 * uint32_t(index) + 1]);
}

} // namespace XTHost
