#pragma once

// Walking the comparison tree's view in the order it shows its items, for
// moving from difference to difference.

#include <QAbstractItemModel>
#include <QModelIndex>

namespace TreeOrder
{

// Whether an item's status, as the tree shows it, is a difference.
bool IsDiffering(const QModelIndex& index);
// Depth first, in the order a fully expanded tree shows its items; invalid
// after the last.
QModelIndex NextInOrder(const QAbstractItemModel* model, const QModelIndex& index);
// The item before, in that order; the last item for an invalid index.
QModelIndex PreviousInOrder(const QAbstractItemModel* model, const QModelIndex& index);

} // namespace TreeOrder
