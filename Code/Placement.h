#pragma once

#include "XTTypes.h"

#include <QVector>

// Where an item of one project stands in the other: the parts of a project
// found by the identity numbers the two projects share (layout, box and
// story numbers) and by position (spread index).
namespace Placement
{

// The layout of `project` with that layout number; kNoDoc when none.
DocRef LayoutNumbered(XTProjectId project, int32_t number);
// The normal spread (counted from 1) of `layout` that holds `box`; 0 when
// none does.
int16_t SpreadHolding(DocRef layout, XTBoxRef box);
// The box of `layout` with that box number; kNoBox when none.
XTBoxRef BoxNumbered(DocRef layout, int32_t number);
// The story of `project` with that story number; 0 when none.
XTTextRef StoryNumbered(XTProjectId project, int32_t number);
// The normal page numbers (counted from 1 in the layout) of spread `index`.
QVector<int16_t> PagesOf(DocRef layout, int16_t index);
// The project a layout belongs to; kNoProject when none.
XTProjectId ProjectOf(DocRef layout);

} // namespace Placement
