#pragma once

#include <QByteArray>
#include <QString>

namespace XTHost
{

// A key that an object of a JSON text holds twice, or a key that holds a
// control character as a raw byte.
struct RepeatedKey
{
    QString mPlace; // the object, as a path such as layouts[1].spreads[0]; empty for the top level
    QString mKey;
    int mOffset = -1;          // the byte offset of the second occurrence, or of the key
    bool mRawControl = false; // a raw control character rather than a repetition
};

// Looks for the first key that one object holds twice, without building the
// document. A raw control character in a key counts as well: JSON allows it
// only escaped, and QJsonDocument, which takes it, can lose one of two keys
// that hold NUL bytes (and leak its value). QJsonDocument keeps only the last value of a repeated key (and
// leaks the others), so repeated keys must be found before it parses.
// Reads keys as QJsonDocument does (a byte order mark skipped, an unknown
// escape taken for the character itself). Stops without a finding at the
// first syntax error or too deep a nesting: the parser then reports it.
[[nodiscard]] bool findRepeatedKey(const QByteArray& data, RepeatedKey* found);

// The value of a hexadecimal digit of a \u escape; -1 for another byte.
inline int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace XTHost
