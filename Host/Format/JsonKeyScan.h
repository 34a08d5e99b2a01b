#pragma once

#include <QByteArray>
#include <QString>

namespace XTHost
{

// A key that an object of a JSON text holds twice.
struct RepeatedKey
{
    QString mPlace; // the object, as a path such as layouts[1].spreads[0]; empty for the top level
    QString mKey;
    int mOffset = -1; // the byte offset of the second occurrence
};

// Looks for the first key that one object holds twice, without building the
// document. QJsonDocument keeps only the last value of a repeated key (and
// leaks the others), so repeated keys must be found before it parses.
// Stops without a finding at the first syntax error, too deep a nesting or
// a key that is not valid UTF-8: the parser then reports the error itself.
[[nodiscard]] bool findRepeatedKey(const QByteArray& data, RepeatedKey* found);

} // namespace XTHost
