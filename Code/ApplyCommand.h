#pragma once

#include "DiffModel.h"

#include <QModelIndex>
#include <QUndoCommand>

// Applies one row of a patch table to the left or to the right. It only marks
// the row; the documents change when the model is saved.
class ApplyCommand : public QUndoCommand
{
public:
    ApplyCommand(DiffModel* model, const QModelIndex& index, ApplyDirection direction,
                 QUndoCommand* parent = nullptr);
    ~ApplyCommand() override;

    void undo() override;
    void redo() override;

    ApplyDirection Direction() const { return mDirection; }
    // Tells the copy's direction on the stack; no two copies merge.
    int id() const override { return CopyCommandId(mDirection); }

private:
    DiffModel* mModel;
    QModelIndex mIndex;
    ApplyDirection mDirection;
};
