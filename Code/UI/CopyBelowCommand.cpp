#include "CopyBelowCommand.h"

#include "Merge.h"

#include <QUndoStack>

CopyBelowCommand::CopyBelowCommand(const QString& text, QList<QPair<QPointer<DiffModel>, QList<int>>> rows,
                                   ApplyDirection direction, ProjectTree* tree)
    : mRows(std::move(rows)), mDirection(direction), mTree(tree)
{
    setText(text);
}

void CopyBelowCommand::redo()
{
    const ProjectTree::Quiet quiet(mTree);
    for (int i = 0; i < mRows.size(); ++i)
    {
        DiffModel* model = mRows[i].first;
        if (!model)
            continue;
        QUndoStack* stack = model->UndoStack();
        if (mIndexes.size() <= i)
        {
            Merge::MarkRows(*model, mRows[i].second, mDirection, text());
            mIndexes << stack->index();
        }
        else if (stack->index() == mIndexes[i] - 1)
            stack->redo();
    }
}

void CopyBelowCommand::undo()
{
    const ProjectTree::Quiet quiet(mTree);
    for (int i = 0; i < mRows.size() && i < mIndexes.size(); ++i)
        if (DiffModel* model = mRows[i].first; model && model->UndoStack()->index() == mIndexes[i])
            model->UndoStack()->undo();
}
