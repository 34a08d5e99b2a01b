#include "ApplyCommand.h"

#include <QCoreApplication>

ApplyCommand::ApplyCommand(DiffModel* model, const QModelIndex& index, ApplyDirection direction,
                           QUndoCommand* parent)
    : QUndoCommand(parent), mModel(model), mIndex(index), mDirection(direction)
{
}

ApplyCommand::~ApplyCommand() = default;

void ApplyCommand::redo()
{
    if (!mModel)
        return;
    if (mDirection == Left)
    {
        mModel->ApplyLeft(mIndex, true);
        setText(QCoreApplication::translate("ApplyCommand", "Apply Left"));
    }
    else
    {
        mModel->ApplyRight(mIndex, true);
        setText(QCoreApplication::translate("ApplyCommand", "Apply Right"));
    }
}

void ApplyCommand::undo()
{
    if (!mModel)
        return;
    if (mDirection == Left)
        mModel->ApplyLeft(mIndex, false);
    else
        mModel->ApplyRight(mIndex, false);
}
