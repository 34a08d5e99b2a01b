#pragma once

#include "DiffModel.h"
#include "ProjectTree.h"

#include <QList>
#include <QPair>
#include <QPointer>
#include <QUndoCommand>

// Copy All below a container: one command on the window's own stack over the
// copies it pushed onto each pair's stack, so that one undo takes them all
// back. A pair whose stack moved on since (its copies undone or added to on
// its own) is left as it is.
class CopyBelowCommand : public QUndoCommand
{
public:
    // The tree, when given, tells its views of the changes once at the end.
    CopyBelowCommand(const QString& text, QList<QPair<QPointer<DiffModel>, QList<int>>> rows,
                     ApplyDirection direction, ProjectTree* tree = nullptr);

    void redo() override;
    void undo() override;

private:
    QList<QPair<QPointer<DiffModel>, QList<int>>> mRows;
    ApplyDirection mDirection;
    ProjectTree* mTree;
    // Each pair's stack index once its copies were pushed.
    QList<int> mIndexes;
};
