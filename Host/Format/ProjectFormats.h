#pragma once

// The formats the host reads and writes, and which one a file is in.

#include "ProjectFormat.h"

namespace XTHost::ProjectFormats
{

// The format of a file judging by its first bytes; the JSON format when
// none recognises them, so that its parser explains what is wrong.
const ProjectFormat& forHead(const QByteArray& head);
// XPRJ or XPRT from the first bytes of a file, without loading it; 0 when
// it is no project file or cannot be read.
XTFourCC fileTypeOf(const QString& path);

} // namespace XTHost::ProjectFormats
