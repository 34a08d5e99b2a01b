#pragma once

#include "XmlIndex.h"

#include "XTTextFormat.h"

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace XTHost
{

// The formatting Scribus writes on its text elements, as the model's
// attributes: an ITEXT run (or an inline element) carries a character's
// (FONT, FONTSIZE, FCOLOR, FEATURES...), a para or trail element its
// paragraph's (PARENT, ALIGN, INDENT...). Every other attribute is Scribus's
// alone and is written back as it was read.
namespace ScribusFormatting
{

using Edits = std::vector<std::pair<QByteArray, QString>>; // name -> value; empty: removed

// The character attributes (paragraph false) or paragraph attributes of an
// element; none for XmlIndex::sNone.
XT::TextAttributes read(const XmlIndex& xml, uint32_t element, bool paragraph);
// What to set on an element (sNone: one written from nothing) so that it
// reads as `attributes` of that kind. An attribute that already reads so
// keeps its bytes.
Edits edits(const XmlIndex& xml, uint32_t element, const XT::TextAttributes& attributes, bool paragraph);

} // namespace ScribusFormatting

} // namespace XTHost
