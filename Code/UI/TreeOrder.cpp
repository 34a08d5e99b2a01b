#include "TreeOrder.h"

#include "ProjectTree.h"

namespace TreeOrder
{

bool IsDiffering(const QModelIndex& index)
{
    const int type = index.data(ProjectTree::ShownStatusRole).toInt();
    return type == HasEdits || type == OnlyInLeft || type == OnlyInRight;
}

QModelIndex NextInOrder(const QAbstractItemModel* model, const QModelIndex& index)
{
    if (model->rowCount(index) > 0)
        return model->index(0, 0, index);
    for (QModelIndex at = index; at.isValid(); at = at.parent())
    {
        const QModelIndex sibling = at.sibling(at.row() + 1, 0);
        if (sibling.isValid())
            return sibling;
    }
    return QModelIndex();
}

namespace
{

QModelIndex LastDescendant(const QAbstractItemModel* model, QModelIndex index)
{
    for (int rows = model->rowCount(index); rows > 0; rows = model->rowCount(index))
        index = model->index(rows - 1, 0, index);
    return index;
}

} // namespace

QModelIndex PreviousInOrder(const QAbstractItemModel* model, const QModelIndex& index)
{
    if (!index.isValid())
        return LastDescendant(model, QModelIndex());
    if (index.row() > 0)
        return LastDescendant(model, index.sibling(index.row() - 1, 0));
    return index.parent();
}

} // namespace TreeOrder
