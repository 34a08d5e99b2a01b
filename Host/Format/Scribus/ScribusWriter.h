#pragma once

#include "ScribusDocument.h"

#include <QByteArray>
#include <QString>

namespace XTHost
{

namespace ScribusWriter
{

// What of `project` the document it was read from cannot hold, in words;
// empty when all of it can be written.
QString unwritable(const ScribusDocument& document, const Project& project);
// The document edited to hold `project`: what the model changed is written
// into it, everything else stays as it was read, byte for byte. Copies from
// another Scribus document are written from their source elements. The
// XML, not yet compressed.
QByteArray write(const ScribusDocument& document, const Project& project);
// A new document for a model that no document was read for.
QByteArray blankDocument(const Project& project);

} // namespace ScribusWriter

} // namespace XTHost
