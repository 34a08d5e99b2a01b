#pragma once

// The empty side of a comparison or a merge: version control tools name
// /dev/null (or an empty file) for a file that does not exist in one of the
// versions they compare, and the tools compare it as a project with nothing
// in it.

#include <QString>

class QTemporaryDir;

namespace EmptyProject
{

// Whether a path names no project content at all: /dev/null or an empty file.
bool IsEmptySide(const QString& path);
// Writes a project file with nothing in it into `folder`; its path, or an
// empty string when it cannot be written.
QString Write(const QTemporaryDir& folder, const QString& name);

} // namespace EmptyProject
