// The comparison window in three-way mode (xthost --merge): the review's
// marks in the tree, Next and Previous Conflict, and Save's question while
// conflicts are unresolved. The rest of the window works as in a two-way
// comparison, without copies to REMOTE.

#include "CorvaneExplorer.h"

#include "ui_CorvaneExplorer.h"

#include "ComparisonSession.h"
#include "ProjectTree.h"
#include "ThreeWayReview.h"

#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>

#include <climits>

void CorvaneExplorer::MoveNextConflict()
{
    MoveConflict(true);
}

void CorvaneExplorer::MovePreviousConflict()
{
    MoveConflict(false);
}

void CorvaneExplorer::MoveConflict(bool forward)
{
    const QList<ThreeWayReview::Place> places =
        mThreeWay ? mThreeWay->Conflicts() : QList<ThreeWayReview::Place>();
    if (places.isEmpty())
        return;
    // Where each conflict is, and where the user is, as (pair, row) in the
    // order of the tree's pairs.
    QHash<const ProjectTreeNodeBase*, int> order;
    for (ProjectTreeNodeBase* node : Merge::PairsInTreeOrder(mSession.ProjectPair()))
        order.insert(node, order.size());
    const ProjectTreeNodeBase* node = NodeOf(mUi->mExplorer->currentIndex());
    const QModelIndex current = mUi->mDiffTable->currentIndex();
    const QPair<int, int> here{order.value(node, forward ? -1 : order.size()),
                               current.isValid() ? current.row() : (forward ? -1 : INT_MAX)};
    const ThreeWayReview::Place* to = forward ? &places.first() : &places.last();
    for (const ThreeWayReview::Place& place : places)
    {
        const QPair<int, int> at{order.value(place.mNode), place.mRow};
        if (forward && at > here)
        {
            to = &place;
            break;
        }
        if (!forward && at < here)
            to = &place;
    }
    KeepShown(to->mNode);
    QModelIndex index = Tree()->IndexOf(to->mNode);
    if (auto* proxy = qobject_cast<QSortFilterProxyModel*>(mUi->mExplorer->model()))
        index = proxy->mapFromSource(index);
    if (!index.isValid())
        return;
    mUi->mExplorer->setCurrentIndex(index);
    mUi->mExplorer->scrollTo(index);
    SelectRow(to->mRow, 0);
}

bool CorvaneExplorer::ConfirmUnresolved()
{
    if (!mThreeWay || mThreeWay->Settled())
        return true;
    const int open = mThreeWay->Unresolved();
    QMessageBox ask(QMessageBox::Warning, QStringLiteral("CorvaneXT"),
                    open == 1 ? QStringLiteral("1 conflict is not resolved.")
                              : QStringLiteral("%1 conflicts are not resolved.").arg(open),
                    QMessageBox::Cancel, this);
    ask.setObjectName(QStringLiteral("mUnresolvedQuestion"));
    ask.setInformativeText(QStringLiteral("Where nothing was copied from REMOTE, the merge keeps the version "
                                          "shown on the left (LOCAL's). Save the choices as shown?"));
    QPushButton* save = ask.addButton(QStringLiteral("Save As Shown"), QMessageBox::AcceptRole);
    ask.setDefaultButton(QMessageBox::Cancel);
    ask.exec();
    if (ask.clickedButton() != save)
        return false;
    mThreeWay->AcceptShown();
    return true;
}

void CorvaneExplorer::SetThreeWay(ThreeWayReview* review)
{
    mThreeWay = review;
    ProjectTree* tree = Tree();
    tree->SetNotes([review](const ProjectTreeNodeBase& node)
                   { return ThreeWayReview::MarkText(review->MarkOf(node)); });
    for (QAction* action : {mUi->actionCopyRight, mCopyAllRight, mSwap})
        action->setVisible(false);
    mNextConflict = new QAction(tr("Next Conflict"), this);
    mNextConflict->setObjectName(QStringLiteral("actionNextConflict"));
    mNextConflict->setShortcut(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Down));
    mNextConflict->setToolTip(tr("Go to the next row both sides changed (Alt + Shift + Down)"));
    mPreviousConflict = new QAction(tr("Previous Conflict"), this);
    mPreviousConflict->setObjectName(QStringLiteral("actionPreviousConflict"));
    mPreviousConflict->setShortcut(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Up));
    mPreviousConflict->setToolTip(tr("Go to the previous row both sides changed (Alt + Shift + Up)"));
    connect(mNextConflict, &QAction::triggered, this, &CorvaneExplorer::MoveNextConflict);
    connect(mPreviousConflict, &QAction::triggered, this, &CorvaneExplorer::MovePreviousConflict);
    // Beside Next and Previous Difference, in the menu, the toolbar and the
    // context menus.
    for (QWidget* widget :
         std::initializer_list<QWidget*>{mUi->menuEdit, mUi->mToolBar, mUi->mExplorer, mUi->mDiffTable})
        widget->insertActions(
            mUi->actionPreviousDiff->associatedWidgets().contains(widget)
                ? widget->actions().value(widget->actions().indexOf(mUi->actionPreviousDiff) + 1)
                : nullptr,
            {mNextConflict, mPreviousConflict});
    // The models of the automatic decisions were made before the window;
    // the tree tells of their copies once, at the end.
    {
        const ProjectTree::Quiet quiet(tree);
        for (const auto& made : mSession.Models())
        {
            TakeModel(*made.second);
            UpdatePendingStatus(made.second);
        }
    }
    ShowTitle();
    UpdateSaveButton();
    UpdateNavigation();
    UpdateStatusBar();
}
