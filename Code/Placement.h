#pragma once

#include "XTTypes.h"

#include <QVector>

// Where an item of one project stands in the other: the parts of a project
// found by the identity numbers the two projects share (layout, box and
// story numbers) and by position (spread index).
namespace Placement
{

// While one lives (the write of many copied items), SpreadHolding and
// BoxNumbered read an index of each layout's boxes, made by one walk of the
// layout, instead of walking it on every call: a copy of thousands of boxes
// would walk the layout for each. Everything a write does to the boxes of a
// layout tells the index (BoxAdded, BoxRemoving, BoxMoved, LayoutsChanged).
class BoxIndex
{
public:
    BoxIndex();
    ~BoxIndex();
    BoxIndex(const BoxIndex&) = delete;
    BoxIndex& operator=(const BoxIndex&) = delete;
};
// A box made on the normal spread `spread` (counted from 1) of `layout`.
void BoxAdded(DocRef layout, XTBoxRef box, int16_t spread);
// A box about to be deleted (LayoutsChanged when the host refuses).
void BoxRemoving(XTBoxRef box);
// A box moved to another spread.
void BoxMoved(XTBoxRef box);
// Layouts, spreads or pages made or removed: what the index knows goes.
void LayoutsChanged();

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
