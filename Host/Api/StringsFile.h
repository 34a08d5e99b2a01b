#pragma once

#include <QMap>
#include <QString>

namespace XTHost
{

// Reads a strings file: lines of "key" = "value"; with /* */ and //
// comments and the escapes \" \\ \n \r \t. Keys are string numbers. False
// with the place of the fault in *error for anything else.
bool ReadStringsFile(const QString& path, QMap<int, QString>* strings, QString* error);

} // namespace XTHost
