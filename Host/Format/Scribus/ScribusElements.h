#pragma once

#include "XmlEditor.h"

#include "Model/Asset.h"
#include "Model/Box.h"

#include <QByteArray>
#include <QString>

namespace XTHost
{

// The elements the Scribus writer writes or edits for the model's parts:
// what one box, colour or definition becomes in a document.
namespace ScribusElements
{

// A box's property, or its default where the box does not carry it.
int32_t propertyOf(const Box& box, int32_t label);

// Writes into an object's element what the model changed of its box
// (`before` is the box as the element reads).
void applyBox(XmlEditor& edit, uint32_t element, const Box& before, const Box& box);
// The element of a box that no element describes: its values in the
// attributes the reader takes them from, its outline a rectangle. (x, y) is
// its corner on Scribus's canvas.
XmlElementBuilder objectElement(const Box& box, double x, double y, int ownPage);

// A colour's value written into its element, in the spelling the element
// has; a new colour element, in the 1.5 spelling (SPACE) or the older one.
void writeColor(XmlEditor& edit, uint32_t element, const ColorValue& value);
QByteArray newColorElement(const Asset& asset, bool spaceSpelling);
// A style or layer defined by its description.
QByteArray definitionElement(int32_t kind, const Asset& asset);

// Whether an attribute names a colour, or (its kind) a style.
bool namesColour(const XmlIndex& xml, const XmlIndex::Attribute& attribute);
int32_t namesStyle(const XmlIndex& xml, const XmlIndex::Attribute& attribute);

} // namespace ScribusElements

} // namespace XTHost
