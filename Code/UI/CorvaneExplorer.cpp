#include "CorvaneExplorer.h"

#include "ui_CorvaneExplorer.h"

#include "AboutDialog.h"
#include "ActionScript.h"
#include "ApplyCommand.h"
#include "CopyBelowCommand.h"
#include "HelpPage.h"
#include "QxpNativeEventFilter.h"
#include "TreeOrder.h"
#include "ComparisonSession.h"
#include "CorvaneResources.h"
#include "DiffModel.h"
#include "MergeLog.h"
#include "PreviewItemDelegate.h"
#include "PreviewModel.h"
#include "ProjectTree.h"
#include "ProjectTreeProxy.h"
#include "SpreadPreview.h"
#include "Settings.h"
#include "ThreeWayReview.h"
#include "TreeItemDelegate.h"
#include "UserSettings.h"
#include "XImageLoader.h"

#include <QCloseEvent>
#include <QDir>
#include <QComboBox>
#include <QPointer>
#include <QEventLoop>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <QToolTip>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QUndoGroup>
#include <QUndoStack>
#include <QVBoxLayout>

#include <functional>

namespace
{


// Every column shares the width. The form's last-section stretch is
// redundant then, and harmful: with it, QHeaderView keeps the last column at
// its default width whenever the viewport narrows (as when the vertical
// header appears), and the table scrolls sideways.
void StretchColumns(QTableView* table)
{
    table->horizontalHeader()->setStretchLastSection(false);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
}

} // namespace

CorvaneExplorer::CorvaneExplorer(ComparisonSession& session, QAbstractItemModel& model, QWidget* parent)
    : QMainWindow(parent), mSession(session), mUi(new Ui_CorvaneExplorer), mResult(0), mPreviewCache(100),
      mUndoGroup(nullptr)
{
    InitCorvaneResources();
    mUi->setupUi(this);
    setWindowModality(Qt::NonModal);

    mUi->mExplorer->setModel(&model);
    mUi->mExplorer->setItemDelegate(new TreeItemDelegate(this));
    // Open on the comparison's outline: the project pair and its folders of
    // layouts, stories and assets.
    mUi->mExplorer->expandToDepth(1);

    ShowTitle();
    mComparisonStatus = new QLabel(this);
    mComparisonStatus->setObjectName(QStringLiteral("mComparisonStatus"));
    mSelectionStatus = new QLabel(this);
    mSelectionStatus->setObjectName(QStringLiteral("mSelectionStatus"));
    mUi->mStatusbar->addWidget(mComparisonStatus);
    mUi->mStatusbar->addWidget(mSelectionStatus, 1);
    // Copies, undos and saves change the counts in the tree.
    connect(&model, &QAbstractItemModel::dataChanged, this, &CorvaneExplorer::UpdateStatusBar);
    // and the marks of a spread preview.
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [this]
            {
                if (PreviewModel* shown = ShownPreviewModel())
                    shown->RedrawSpreads();
            });

    // Each window starts from the stored settings, which another process
    // may have changed since.
    UserSettings::Get().Reload();
    restoreGeometry(UserSettings::Get().ExplorerGeometry());
    mSession.SetModelHook([this](ProjectTreeNodeBase&, DiffModel& model) { TakeModel(model); });
    SetUpTables();
    SetUpUndo();
    SetUpViewActions();
    SetUpCopyAllActions();
    SetUpComparisonActions();
    SetUpMenus();

    // Cancel ends the run as it is, without a question.
    mUi->mButtonBox->button(QDialogButtonBox::Cancel)
        ->setToolTip(tr("Close without saving; copies not saved are discarded"));
    emit dirty(false);
    mUi->mButtonBox->button(QDialogButtonBox::Save)->setEnabled(false);
    // Before anything is selected, Next Difference goes to the first one.
    UpdateNavigation();
    UpdateStatusBar();
}

void CorvaneExplorer::SetUpTables()
{
    mUi->mDiffTable->setItemDelegate(&mDelegate);
    mPreviewDelegate = new PreviewItemDelegate(this);
    mUi->mPreviewTable->setItemDelegate(mPreviewDelegate);
    mUi->mPreviewTable->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    mUi->mPreviewTable->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The legend of a spread preview's marks goes under the previews, in
    // the text's own size however small the pictures are drawn.
    auto* previews = new QWidget(this);
    auto* column = new QVBoxLayout(previews);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    const int place = mUi->mHorizontalSplitter->indexOf(mUi->mPreviewTable);
    column->addWidget(mUi->mPreviewTable);
    mPreviewLegend = new QLabel(SpreadPreview::Legend(), previews);
    mPreviewLegend->setObjectName(QStringLiteral("mPreviewLegend"));
    mPreviewLegend->setVisible(false);
    column->addWidget(mPreviewLegend);
    mUi->mHorizontalSplitter->insertWidget(place, previews);

    connect(mUi->mExplorer->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CorvaneExplorer::SelectionChanged);

    // A long title ("LHS harbour-gazette-v1.xprj: Cover photo(Picture)")
    // loses its middle, not both ends; the whole title is its tooltip.
    mUi->mDiffTable->horizontalHeader()->setTextElideMode(Qt::ElideMiddle);
    mUi->mDiffTable->horizontalHeader()->viewport()->installEventFilter(this);
    mUi->mDiffTable->installEventFilter(this);
    mUi->mExplorer->installEventFilter(this);
    installEventFilter(this);
}

void CorvaneExplorer::SetUpUndo()
{
    mUndoGroup = new QUndoGroup(this);
    QAction* undo = mUndoGroup->createUndoAction(this, QString());
    QAction* redo = mUndoGroup->createRedoAction(this, QString());
    undo->setObjectName(QStringLiteral("actionUndo"));
    redo->setObjectName(QStringLiteral("actionRedo"));
    undo->setShortcuts(QKeySequence::Undo);
    redo->setShortcuts(QKeySequence::Redo);
    undo->setIcon(QIcon(QStringLiteral(":/Undo.png")));
    redo->setIcon(QIcon(QStringLiteral(":/Redo.png")));
    mUi->menuEdit->addAction(undo);
    mUi->menuEdit->addAction(redo);
    mUi->mToolBar->addAction(undo);
    mUi->mToolBar->addAction(redo);
}

void CorvaneExplorer::SetUpViewActions()
{
    mOnlyDifferences =
        new QAction(QIcon(QStringLiteral(":/FolderHasEdits.png")), tr("Show Only Differences"), this);
    mOnlyDifferences->setObjectName(QStringLiteral("actionShowOnlyDifferences"));
    mOnlyDifferences->setCheckable(true);
    mOnlyDifferences->setToolTip(tr("Hide identical items (the view options of Settings)"));
    mUi->menuEdit->addAction(mOnlyDifferences);
    mUi->mToolBar->addAction(mOnlyDifferences);
    mPreviewZoom = new QComboBox(this);
    mPreviewZoom->setObjectName(QStringLiteral("mPreviewZoom"));
    mPreviewZoom->setToolTip(tr("The size of story previews"));
    mPreviewZoom->addItem(tr("Fit width"), 0);
    for (int percent : {100, 150, 200})
        mPreviewZoom->addItem(QStringLiteral("%1%").arg(percent), percent);
    mUi->mToolBar->addWidget(mPreviewZoom);
    const int zoom = UserSettings::Get().PreviewZoom();
    mPreviewZoom->setCurrentIndex(qMax(0, mPreviewZoom->findData(zoom)));
    mPreviewDelegate->SetZoom(mPreviewZoom->currentData().toInt() / 100.0);
    connect(mPreviewZoom, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &CorvaneExplorer::SetPreviewZoom);

    mDifferingRows = new QAction(tr("Only Differing Rows"), this);
    mDifferingRows->setObjectName(QStringLiteral("actionOnlyDifferingRows"));
    mDifferingRows->setCheckable(true);
    mDifferingRows->setToolTip(tr("Show only the rows of the table that differ (or differed before a copy)"));
    mUi->mToolBar->addAction(mDifferingRows);
    connect(mDifferingRows, &QAction::toggled, this, &CorvaneExplorer::ShowDifferingRows);

    mWords = new QAction(tr("Words"), this);
    mWords->setObjectName(QStringLiteral("actionCompareWords"));
    mWords->setCheckable(true);
    mWords->setToolTip(tr("Compare story text word by word; off: character by character"));
    mUi->menuEdit->addAction(mWords);
    mUi->mToolBar->addAction(mWords);
    ReadViewOptions();
    connect(mOnlyDifferences, &QAction::toggled, this, &CorvaneExplorer::ShowOnlyDifferences);
    connect(mWords, &QAction::toggled, this, &CorvaneExplorer::CompareWords);
    // The settings change here, in the Settings dialog or in another window.
    connect(&UserSettings::Get(), &UserSettings::viewOptionsChanged, this, &CorvaneExplorer::ReadViewOptions);
    connect(&UserSettings::Get(), &UserSettings::granularityChanged, this,
            &CorvaneExplorer::RediffUntouchedModels);
    // Comparing formatting or not changes which items are identical: the
    // whole comparison is made again, as Rescan makes it.
    connect(&UserSettings::Get(), &UserSettings::formattingChanged, this, &CorvaneExplorer::Rescan);
    connect(&UserSettings::Get(), &UserSettings::coloursChanged, mUi->mDiffTable->viewport(),
            qOverload<>(&QWidget::update));
}

void CorvaneExplorer::SetUpCopyAllActions()
{
    mCopyAllLeft = new QAction(QIcon(QStringLiteral(":/CopyLeft.png")), tr("Copy All Left"), this);
    mCopyAllLeft->setObjectName(QStringLiteral("actionCopyAllLeft"));
    mCopyAllLeft->setShortcut(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Left));
    mCopyAllLeft->setToolTip(
        tr("Copy every difference of the selected item and all below it to the LHS (Alt + Shift + Left)"));
    mCopyAllRight = new QAction(QIcon(QStringLiteral(":/CopyRight.png")), tr("Copy All Right"), this);
    mCopyAllRight->setObjectName(QStringLiteral("actionCopyAllRight"));
    mCopyAllRight->setShortcut(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Right));
    mCopyAllRight->setToolTip(
        tr("Copy every difference of the selected item and all below it to the RHS (Alt + Shift + Right)"));
    for (QAction* action : {mCopyAllRight, mCopyAllLeft})
    {
        action->setEnabled(false);
        mUi->menuEdit->addAction(action);
        mUi->mToolBar->addAction(action);
    }
    connect(mCopyAllLeft, &QAction::triggered, this, &CorvaneExplorer::CopyAllLeft);
    connect(mCopyAllRight, &QAction::triggered, this, &CorvaneExplorer::CopyAllRight);
    mContainerStack = new QUndoStack(this);
    mUndoGroup->addStack(mContainerStack);
}

void CorvaneExplorer::SetUpComparisonActions()
{
    mRescan = new QAction(tr("Rescan"), this);
    mRescan->setObjectName(QStringLiteral("actionRescan"));
    mRescan->setShortcut(QKeySequence::Refresh);
    mRescan->setToolTip(tr("Compare again from the documents as they are now (F5)"));
    mSwap = new QAction(tr("Swap Sides"), this);
    mSwap->setObjectName(QStringLiteral("actionSwapSides"));
    mSwap->setToolTip(tr("Show the LHS project on the right and the RHS project on the left"));
    for (QAction* action : {mRescan, mSwap})
    {
        mUi->menuEdit->addAction(action);
        mUi->mToolBar->addAction(action);
    }
    connect(mRescan, &QAction::triggered, this, &CorvaneExplorer::Rescan);
    connect(mSwap, &QAction::triggered, this, &CorvaneExplorer::SwapSides);
}

void CorvaneExplorer::SetUpMenus()
{
    // The decisions written so far, as a log that corvane-merge replays.
    QAction* saveLog = new QAction(tr("Save Merge Log..."), this);
    saveLog->setObjectName(QStringLiteral("actionSaveMergeLog"));
    saveLog->setToolTip(tr("Write every copy saved in this comparison to a merge log"));
    mUi->menuFile->addAction(saveLog);
    connect(saveLog, &QAction::triggered, this, &CorvaneExplorer::SaveMergeLog);

    SetUpEditMenu();

    // The form gives about() no trigger; the Help menu is where users look.
    QMenu* help = mUi->mMenubar->addMenu(tr("Help"));
    help->setObjectName(QStringLiteral("menuHelp"));
    QAction* keys = help->addAction(tr("Keys and Usage..."));
    keys->setObjectName(QStringLiteral("actionHelp"));
    keys->setShortcut(QKeySequence::HelpContents);
    connect(keys, &QAction::triggered, this, &CorvaneExplorer::ShowHelp);
    QAction* about = help->addAction(QIcon(QStringLiteral(":/CorvaneXT.png")), tr("About CorvaneXT..."));
    about->setObjectName(QStringLiteral("actionAbout"));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &CorvaneExplorer::about);
}

// Every command of the window in the Edit menu, with its keys, in the order
// of a comparison: move, copy, undo, what is shown, compare again; the
// commands on a pair also in the context menus of the tree and the table.
void CorvaneExplorer::SetUpEditMenu()
{
    auto separator = [this]
    {
        auto* line = new QAction(this);
        line->setSeparator(true);
        return line;
    };
    QList<QAction*> undo;
    for (QAction* action : mUi->menuEdit->actions())
        if (action->objectName() == QLatin1String("actionUndo") ||
            action->objectName() == QLatin1String("actionRedo"))
            undo << action;
    const QList<QAction*> onPair{mUi->actionNextDiff,  mUi->actionPreviousDiff, separator(),
                                 mUi->actionCopyLeft,  mUi->actionCopyRight,    mCopyAllLeft,
                                 mCopyAllRight};
    mUi->menuEdit->clear();
    mUi->menuEdit->addActions(onPair);
    mUi->menuEdit->addSeparator();
    mUi->menuEdit->addActions(undo);
    mUi->menuEdit->addSeparator();
    mUi->menuEdit->addActions({mOnlyDifferences, mWords, mDifferingRows});
    mUi->menuEdit->addSeparator();
    mUi->menuEdit->addActions({mRescan, mSwap});
    mUi->menuEdit->addSeparator();
    mUi->menuEdit->addAction(mUi->actionSettings);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(mUi->mExplorer),
                                    static_cast<QAbstractItemView*>(mUi->mDiffTable)})
    {
        view->setContextMenuPolicy(Qt::ActionsContextMenu);
        view->addActions(onPair);
        view->addAction(separator());
        view->addActions(undo);
    }
}

void CorvaneExplorer::ShowHelp()
{
    QList<QAction*> actions = mUi->menuFile->actions();
    actions << mUi->menuEdit->actions();
    HelpPage page(actions, this);
    page.exec();
}

void CorvaneExplorer::ShowTitle()
{
    if (ProjectName(0).isEmpty())
        return;
    setWindowTitle(
        mThreeWay ? QStringLiteral("Merge %1 \u2190 %2 \u2014 CorvaneXT").arg(ProjectName(0), ProjectName(1))
                  : QStringLiteral("%1 \u2194 %2 \u2014 CorvaneXT").arg(ProjectName(0), ProjectName(1)));
}

QString CorvaneExplorer::ProjectName(int side) const
{
    ProjectTree* tree = Tree();
    if (!tree || tree->Root()->ChildCount() == 0)
        return QString();
    auto* projects = dynamic_cast<ProjectTreeNode<Project>*>(tree->Root()->Child(0));
    if (!projects)
        return QString();
    return side == 0 ? projects->mLeft.Name() : projects->mRight.Name();
}

void CorvaneExplorer::UpdateStatusBar()
{
    if (ProjectTree* tree = Tree(); tree && tree->Root()->ChildCount() > 0)
    {
        const ProjectTree::Rollup all = tree->RollupOf(tree->Root()->Child(0));
        QString text = all.Total() == 0 ? QStringLiteral("The projects are identical")
                                        : QStringLiteral("%1 in the comparison (%2)")
                                              .arg(all.Total() == 1
                                                       ? QStringLiteral("1 differing item")
                                                       : QStringLiteral("%1 differing items").arg(all.Total()),
                                                   ProjectTree::RollupText(all));
        // The counts already leave out what the copies not saved yet will
        // settle.
        if (all.mPending > 0)
            text += all.Total() == 0 ? QStringLiteral(" once saved") : QStringLiteral(", once saved");
        if (mThreeWay)
        {
            const ThreeWayReview::Counts& counts = mThreeWay->Tally();
            for (QAction* action : {mNextConflict, mPreviousConflict})
                if (action)
                    action->setEnabled(counts.mConflicts > 0);
            text += QStringLiteral("; three-way merge: %1 merged automatically, %2 in conflict (%3 unresolved)")
                        .arg(counts.mMerged)
                        .arg(counts.mConflicts)
                        .arg(counts.mUnresolved);
        }
        mComparisonStatus->setText(text);
    }
    DiffModel* model = ShownDiffModel();
    if (!model)
    {
        mSelectionStatus->clear();
        return;
    }
    const QModelIndex current = mUi->mDiffTable->currentIndex();
    int total = 0;
    int place = 0;
    for (int row = 0; row < model->rowCount(); ++row)
        if (Merge::IsDifferenceRow(*model, row))
        {
            ++total;
            if (current.isValid() && row <= current.row())
                place = total;
        }
    const ProjectTreeNodeBase* node = mSession.NodeOf(model);
    const QString item = node ? node->Data(0).toString() : QString();
    QString text = total == 1 ? QStringLiteral("%1: 1 difference").arg(item)
                              : QStringLiteral("%1: %2 differences").arg(item).arg(total);
    if (current.isValid() && total > 0 && !model->IsEquality(current))
        text += QStringLiteral(", difference %1 of %2").arg(place).arg(total);
    mSelectionStatus->setText(text);
}

CorvaneExplorer::~CorvaneExplorer()
{
    mSession.SetModelHook(nullptr);
    if (mThreeWay)
        Tree()->SetNotes(nullptr);
    ClearModels();
    // The invoker clears the cache before it destroys the window; a window
    // destroyed otherwise must not leave the shown preview behind either.
    ClearPreviewCache();
}

ProjectTree* CorvaneExplorer::Tree() const
{
    return &mSession.Tree();
}

ProjectTreeNodeBase* CorvaneExplorer::NodeOf(const QModelIndex& proxyIndex) const
{
    if (!proxyIndex.isValid())
        return nullptr;
    QModelIndex source = proxyIndex;
    if (auto* proxy = qobject_cast<const QSortFilterProxyModel*>(proxyIndex.model()))
        source = proxy->mapToSource(proxyIndex);
    if (!source.isValid())
        return nullptr;
    return static_cast<ProjectTreeNodeBase*>(source.internalPointer());
}

DiffModel* CorvaneExplorer::ModelOf(ProjectTreeNodeBase* node)
{
    return node ? mSession.ModelOf(*node) : nullptr;
}

void CorvaneExplorer::TakeModel(DiffModel& model)
{
    model.SetColumnTitles(
        QStringLiteral("LHS %1: %2").arg(ProjectName(0), model.headerData(0, Qt::Horizontal).toString()),
        QStringLiteral("RHS %1: %2").arg(ProjectName(1), model.headerData(1, Qt::Horizontal).toString()));
    // Copies, undos and redos all move the stack's index.
    connect(model.UndoStack(), &QUndoStack::indexChanged, this, [this, &model]() { UpdatePendingStatus(&model); });
}

DiffModel* CorvaneExplorer::ShownDiffModel() const
{
    return qobject_cast<DiffModel*>(mUi->mDiffTable->model());
}

PreviewModel* CorvaneExplorer::ShownPreviewModel() const
{
    return qobject_cast<PreviewModel*>(mUi->mPreviewTable->model());
}

void CorvaneExplorer::SelectionChanged(QItemSelection selected, QItemSelection)
{
    // An empty selection (the selected item filtered away, or deselected)
    // shows nothing: empty tables and no actions.
    ProjectTreeNodeBase* node = nullptr;
    for (const QModelIndex& index : selected.indexes())
        if ((node = NodeOf(index)))
            break;

    if (DiffModel* shown = ShownDiffModel())
        disconnect(shown->UndoStack(), &QUndoStack::cleanChanged, this, &CorvaneExplorer::DirtinessChanged);

    DiffModel* model = ModelOf(node);
    KeepShown(node);

    mUndoGroup->setActiveStack(nullptr);
    QItemSelectionModel* oldSelection = mUi->mDiffTable->selectionModel();
    mUi->mDiffTable->setModel(model);
    if (oldSelection != mUi->mDiffTable->selectionModel())
        delete oldSelection;
    StretchColumns(mUi->mDiffTable);
    mUi->mDiffTable->resizeRowsToContents();
    if (model)
    {
        mUi->mDiffTable->verticalHeader()->setVisible(model->HasVerticalHeader());
        mUndoGroup->addStack(model->UndoStack());
        mUndoGroup->setActiveStack(model->UndoStack());
        connect(model->UndoStack(), &QUndoStack::cleanChanged, this, &CorvaneExplorer::DirtinessChanged);
    }
    else if (node)
    {
        // A folder: what undo takes back is its last Copy All.
        mUndoGroup->setActiveStack(mContainerStack);
    }
    connect(mUi->mDiffTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CorvaneExplorer::UpdateActions);
    if (mUi->mDiffTable->selectionModel())
        connect(mUi->mDiffTable->selectionModel(), &QItemSelectionModel::currentChanged, this,
                &CorvaneExplorer::UpdateStatusBar);
    // The copy actions follow the current row only; next, previous and
    // copy all follow every change of a row, undo and redo included.
    if (model)
    {
        connect(model, &QAbstractItemModel::dataChanged, this, &CorvaneExplorer::RefreshNavigation,
                Qt::UniqueConnection);
        // A copied row shows the other side's text, which may take more or
        // fewer lines.
        connect(model, &QAbstractItemModel::dataChanged, mUi->mDiffTable, &QTableView::resizeRowsToContents,
                Qt::UniqueConnection);
        connect(model, &QAbstractItemModel::modelReset, mUi->mDiffTable, &QTableView::resizeRowsToContents,
                Qt::UniqueConnection);
        connect(model, &QAbstractItemModel::dataChanged, this, &CorvaneExplorer::UpdateStatusBar,
                Qt::UniqueConnection);
        connect(model, &QAbstractItemModel::modelReset, this, &CorvaneExplorer::UpdateStatusBar,
                Qt::UniqueConnection);
        connect(model, &QAbstractItemModel::modelReset, this, &CorvaneExplorer::ShowDifferingRows,
                Qt::UniqueConnection);
    }
    ShowDifferingRows();

    mUi->actionCopyLeft->setEnabled(false);
    mUi->actionCopyRight->setEnabled(false);
    UpdateNavigation();

    // The shown preview goes into the cache under its own node when it leaves
    // the table (the cache then deletes its least recently used models). A
    // spread's pictures are drawn afresh when it is shown again, so the
    // cache keeps none: a hundred of them held more than the whole pair.
    if (PreviewModel* shown = ShownPreviewModel())
    {
        shown->DropSpreads();
        if (!mPreviewCache.contains(shown->Node().mId))
            mPreviewCache.insert(shown->Node().mId, shown, 1);
    }

    PreviewModel* preview = nullptr;
    if (node)
    {
        preview = mPreviewCache.object(node->mId);
        if (preview)
            preview->RedrawSpreads();
        else
            preview = new PreviewModel(*node, Tree());
    }
    oldSelection = mUi->mPreviewTable->selectionModel();
    mUi->mPreviewTable->setModel(preview);
    if (oldSelection != mUi->mPreviewTable->selectionModel())
        delete oldSelection;
    if (preview)
        connect(preview, &QAbstractItemModel::dataChanged, this, &CorvaneExplorer::FitPreviewColumns,
                Qt::UniqueConnection);
    mPreviewLegend->setVisible(preview && preview->ShowsSpreads());
    FitPreviewColumns();
    UpdateStatusBar();
}

void CorvaneExplorer::UpdateActions(QModelIndex selected, QModelIndex)
{
    DiffModel* model = ShownDiffModel();
    const QModelIndex& current = selected;
    if (!model || !current.isValid() || current.row() < 0 || current.column() < 0)
    {
        mUi->actionCopyLeft->setEnabled(false);
        mUi->actionCopyRight->setEnabled(false);
        UpdateNavigation();
        return;
    }

    const bool copy = !model->IsEquality(current) && model->CanApply(current);
    UpdateNavigation();
    mUi->actionCopyLeft->setEnabled(copy);
    mUi->actionCopyRight->setEnabled(copy && !mThreeWay);
}

void CorvaneExplorer::RefreshNavigation()
{
    if (sender() == ShownDiffModel())
        UpdateNavigation();
}

void CorvaneExplorer::SelectRow(int row, int column)
{
    DiffModel* model = ShownDiffModel();
    if (!model || row < 0 || row >= model->rowCount())
        return;
    mUi->mDiffTable->setCurrentIndex(model->index(row, qMax(0, column)));
}

int CorvaneExplorer::AdjacentChangeRow(int row, int column, bool forward) const
{
    DiffModel* model = ShownDiffModel();
    if (!model)
        return -1;
    // An item only one side has is one difference, whichever of its rows
    // is current.
    if (row >= 0 && row < model->rowCount() && Merge::IsOneSided(*model) &&
        !model->IsEquality(model->index(row, 0)))
        return -1;
    const int step = forward ? 1 : -1;
    for (int at = row + step; at >= 0 && at < model->rowCount(); at += step)
        if (Merge::IsDifferenceRow(*model, at))
            return at;
    return -1;
}


QModelIndex CorvaneExplorer::AdjacentDifferingItem(bool forward) const
{
    const QAbstractItemModel* model = mUi->mExplorer->model();
    if (!model)
        return QModelIndex();
    // With nothing selected, from the top (or the bottom) of the tree.
    const QItemSelectionModel* selection = mUi->mExplorer->selectionModel();
    QModelIndex at = selection && selection->hasSelection() ? mUi->mExplorer->currentIndex() : QModelIndex();
    // The project pair's one row, its layout count, follows from its
    // layouts, which no copy of it could change: never a stop.
    do
    {
        at = forward ? TreeOrder::NextInOrder(model, at.isValid() ? at : QModelIndex())
                     : TreeOrder::PreviousInOrder(model, at);
    } while (at.isValid() && (!TreeOrder::IsDiffering(at) || !at.parent().isValid()));
    return at;
}

void CorvaneExplorer::Move(bool forward)
{
    const QModelIndex current = mUi->mDiffTable->currentIndex();
    const int column = qMax(0, current.column());
    if (DiffModel* model = ShownDiffModel())
    {
        const int from = current.isValid() ? current.row() : (forward ? -1 : model->rowCount());
        const int row = AdjacentChangeRow(from, column, forward);
        if (row >= 0)
        {
            SelectRow(row, column);
            return;
        }
    }
    const QModelIndex item = AdjacentDifferingItem(forward);
    if (!item.isValid())
        return;
    mUi->mExplorer->setCurrentIndex(item);
    mUi->mExplorer->scrollTo(item);
    if (DiffModel* model = ShownDiffModel())
    {
        const int row = AdjacentChangeRow(forward ? -1 : model->rowCount(), column, forward);
        if (row >= 0)
            SelectRow(row, column);
    }
    UpdateNavigation();
}

void CorvaneExplorer::MoveNext()
{
    Move(true);
}

void CorvaneExplorer::MovePrevious()
{
    Move(false);
}

void CorvaneExplorer::UpdateNavigation()
{
    UpdateCopyAll();
    // With nothing selected, next and previous go to the first and the last
    // difference of the comparison.
    if (!mUi->mExplorer->selectionModel() || !mUi->mExplorer->selectionModel()->hasSelection())
    {
        mUi->actionNextDiff->setEnabled(AdjacentDifferingItem(true).isValid());
        mUi->actionPreviousDiff->setEnabled(AdjacentDifferingItem(false).isValid());
        return;
    }
    const QModelIndex current = mUi->mDiffTable->currentIndex();
    bool next = false;
    bool previous = false;
    if (DiffModel* model = ShownDiffModel())
    {
        const int column = qMax(0, current.column());
        next = AdjacentChangeRow(current.isValid() ? current.row() : -1, column, true) >= 0;
        previous =
            AdjacentChangeRow(current.isValid() ? current.row() : model->rowCount(), column, false) >= 0;
    }
    mUi->actionNextDiff->setEnabled(next || AdjacentDifferingItem(true).isValid());
    mUi->actionPreviousDiff->setEnabled(previous || AdjacentDifferingItem(false).isValid());
}

void CorvaneExplorer::Apply(ApplyDirection direction)
{
    DiffModel* model = ShownDiffModel();
    if (!model || (mThreeWay && direction == Right))
        return;
    const QModelIndex current = mUi->mDiffTable->currentIndex();
    // The same conditions that enable the actions: a command on anything else
    // would only make the pair look dirty.
    if (!current.isValid() || model->IsEquality(current) || !model->CanApply(current))
        return;
    // An item only one side has is made or removed whole: every row goes
    // with the one copied, in one step.
    if (Merge::IsOneSided(*model))
        Merge::MarkRows(*model, Merge::CopyableRows(*model), direction,
                        direction == Left ? QStringLiteral("Apply Left") : QStringLiteral("Apply Right"));
    else
        model->UndoStack()->push(new ApplyCommand(model, current, direction, nullptr));
    mUi->actionCopyLeft->setEnabled(false);
    mUi->actionCopyRight->setEnabled(false);
    mUi->mDiffTable->clearSelection();
}


void CorvaneExplorer::UpdateCopyAll()
{
    // A pair with copyable rows, or any item with differences below it.
    const ProjectTreeNodeBase* node = NodeOf(mUi->mExplorer->currentIndex());
    const DiffModel* model = ShownDiffModel();
    bool any = model && !Merge::CopyableRows(*model).isEmpty();
    if (!any && node)
        if (ProjectTree* tree = Tree())
            any = tree->RollupOf(node).Total() > 0;
    mCopyAllLeft->setEnabled(any);
    mCopyAllRight->setEnabled(any && !mThreeWay);
}

void CorvaneExplorer::CopyAll(ApplyDirection direction)
{
    if (mThreeWay && direction == Right)
        return;
    if (ProjectTreeNodeBase* node = NodeOf(mUi->mExplorer->currentIndex()))
        CopyAllBelow(node, direction);
}

void CorvaneExplorer::CopyAllBelow(ProjectTreeNodeBase* top, ApplyDirection direction)
{
    // The differing pairs at and below the item, in the tree's order, as
    // the session plans Copy All for corvane-merge too.
    QList<QPair<QPointer<DiffModel>, QList<int>>> rows;
    int count = 0;
    for (const Merge::Copy& copy : mSession.PlanCopyAll(*top).mCopies)
        if (!copy.mRows.isEmpty())
        {
            rows.append({copy.mModel, copy.mRows});
            count += Merge::IsOneSided(*copy.mModel) ? 1 : copy.mRows.size();
        }
    if (rows.isEmpty())
        return;

    const QString item = top->Data(0).toString();
    const QString side = direction == Left ? QStringLiteral("LHS") : QStringLiteral("RHS");
    QString question =
        count == 1 ? QStringLiteral("Copy 1 difference of %1 to the %2?").arg(item, side)
                   : QStringLiteral("Copy %1 differences of %2 to the %3?").arg(count).arg(item, side);
    if (rows.size() > 1)
        question = QStringLiteral("Copy %1 differences in %2 items of %3 to the %4?")
                       .arg(count)
                       .arg(rows.size())
                       .arg(item, side);
    QMessageBox ask(QMessageBox::Question, QStringLiteral("CorvaneXT"), question,
                    QMessageBox::Yes | QMessageBox::Cancel, this);
    ask.setObjectName(QStringLiteral("mCopyAllQuestion"));
    ask.setInformativeText(QStringLiteral("One step: Undo takes all of them back."));
    ask.setDefaultButton(QMessageBox::Yes);
    if (ask.exec() != QMessageBox::Yes)
        return;

    const QString text = direction == Left ? tr("Copy All Left") : tr("Copy All Right");
    const ProjectTree::Quiet quiet(Tree());
    if (rows.size() == 1)
    {
        Merge::MarkRows(*rows.first().first, rows.first().second, direction, text);
    }
    else
    {
        mContainerStack->push(new CopyBelowCommand(text, rows, direction, Tree()));
        mUndoGroup->setActiveStack(mContainerStack);
    }
    mUi->mDiffTable->clearSelection();
    UpdateActions(mUi->mDiffTable->currentIndex(), QModelIndex());
    UpdateSaveButton();
}

void CorvaneExplorer::CopyAllLeft()
{
    CopyAll(Left);
}

void CorvaneExplorer::CopyAllRight()
{
    CopyAll(Right);
}

void CorvaneExplorer::ApplyLeft()
{
    Apply(Left);
}

void CorvaneExplorer::ApplyRight()
{
    Apply(Right);
}

void CorvaneExplorer::UpdatePendingStatus(DiffModel* model)
{
    ProjectTreeNodeBase* node = mSession.NodeOf(model);
    ProjectTree* tree = Tree();
    if (!node || !tree)
        return;
    const int type = PendingTypeOf(*model, *node);
    tree->SetPendingType(node, type);
    // A conflict copied from REMOTE is resolved: its mark and the counts
    // change.
    if (mThreeWay)
    {
        mThreeWay->Changed();
        tree->Announce(node);
    }
    // A layout or spread copied whole brings (or takes) what is on it: the
    // items below are settled with it, or, once that is undone, back to
    // their own copies.
    if (Merge::TakenWhole(*node, *model))
        for (ProjectTreeNodeBase* below : Merge::PairsInTreeOrder(*node))
            if (below != node)
            {
                const DiffModel* own = mSession.Made().Existing(*below);
                tree->SetPendingType(below, type == Identical ? int(Identical)
                                                              : own ? PendingTypeOf(*own, *below) : 0);
            }
}

int CorvaneExplorer::PendingTypeOf(const DiffModel& model, const ProjectTreeNodeBase& node)
{
    if (!model.HasAppliedRows(Left) && !model.HasAppliedRows(Right))
        return 0;
    return model.OpenChangeCount() == 0 ? int(Identical) : int(node.NodeType());
}

void CorvaneExplorer::KeepShown(const ProjectTreeNodeBase* node)
{
    if (auto* proxy = dynamic_cast<ProjectTreeProxy*>(mUi->mExplorer->model()))
        proxy->KeepShown(node);
}

void CorvaneExplorer::DirtinessChanged(bool)
{
    UpdateSaveButton();
}

// Rows already written into a document whose save the host refused, or
// that are not saved yet, count as changes too.
bool CorvaneExplorer::IsDirty() const
{
    return IsLeftDirty() || IsRightDirty();
}

bool CorvaneExplorer::IsLeftDirty() const
{
    if (mSession.IsModified(ComparisonSession::LHS))
        return true;
    for (const auto& made : mSession.Models())
        if (made.second->IsLeftDirty())
            return true;
    return false;
}

bool CorvaneExplorer::IsRightDirty() const
{
    if (mSession.IsModified(ComparisonSession::RHS))
        return true;
    for (const auto& made : mSession.Models())
        if (made.second->IsRightDirty())
            return true;
    return false;
}

void CorvaneExplorer::UpdateSaveButton()
{
    const bool isDirty = IsDirty();
    emit dirty(isDirty);
    mUi->mButtonBox->button(QDialogButtonBox::Save)->setEnabled(isDirty);
}

// Once its rows are in the documents, a model is compared anew from them:
// its rows, offsets and undo history describe texts that no longer exist, and
// writing them again would copy them twice. The window then shows what the
// documents hold, whether or not the host saves them afterwards.
void CorvaneExplorer::ApplyModels()
{
    // A preview still rendering reads the documents on its own thread, from
    // places a write may move: it ends before anything is written.
    bool marked = false;
    for (const auto& made : mSession.Models())
        marked = marked || made.second->IsDirty();
    if (marked)
        ClearPreviewCache();
    const Merge::Written written = mSession.WriteMarked();
    if (!written.mDecisions.isEmpty() &&
        UserSettings::Get().WriteMergeLog())
    {
        QString error;
        if (!WriteMergeLog(mSession.AutomaticLogPath(), &error))
            QMessageBox::warning(this, QStringLiteral("CorvaneXT"),
                                 QStringLiteral("The merge log could not be written: %1").arg(error));
    }
    // Copies may have made or removed whole items, so the pairs themselves
    // change: the comparison is built anew.
    if (written.mLeft || written.mRight)
        Reload();
    else if (marked)
        SelectionChanged(mUi->mExplorer->selectionModel()->selection(), QItemSelection());
    UpdateSaveButton();
    ReportRefused(written.mRefused);
}

void CorvaneExplorer::ReportRefused(const QStringList& refused)
{
    if (refused.isEmpty())
        return;
    QMessageBox box(
        QMessageBox::Warning, QStringLiteral("CorvaneXT"),
        refused.size() == 1
            ? QStringLiteral("1 change could not be written into the projects.")
            : QStringLiteral("%1 changes could not be written into the projects.").arg(refused.size()),
        QMessageBox::Ok, this);
    const int shown = qMin(refused.size(), 12);
    QString list = QStringList(refused.mid(0, shown)).join(QLatin1Char('\n'));
    if (shown < refused.size())
        list += QStringLiteral("\n(%1 more)").arg(refused.size() - shown);
    box.setInformativeText(list + QStringLiteral("\n\nThe items stay marked as different."));
    box.setDetailedText(refused.join(QLatin1Char('\n')));
    box.exec();
}

void CorvaneExplorer::Reload(bool swap)
{
    ProjectTree& tree = mSession.Tree();
    QStringList path = ProjectTree::PathOf(NodeOf(mUi->mExplorer->currentIndex()));
    // With the sides swapped, a pair's label names them the other way round.
    if (swap)
        for (QString& label : path)
        {
            const QStringList sides = label.split(QStringLiteral(" | "));
            if (sides.size() == 2)
                label = sides[1] + QStringLiteral(" | ") + sides[0];
        }
    // Nothing may point into the old tree once it is gone: the tables, the
    // models and previews of its nodes, the copies on the window's stack.
    mUi->mExplorer->selectionModel()->clear();
    mUndoGroup->setActiveStack(nullptr);
    mContainerStack->clear();
    ClearPreviewCache();
    ClearModels();
    mSession.Rebuild(swap);
    if (mThreeWay)
        mThreeWay->Refresh();
    ShowTitle();
    mUi->mExplorer->expandToDepth(1);

    ProjectTreeNodeBase* node = tree.NodeAt(path);
    if (node && node != tree.Root())
    {
        QModelIndex index = tree.IndexOf(node);
        if (auto* proxy = qobject_cast<QSortFilterProxyModel*>(mUi->mExplorer->model()))
            index = proxy->mapFromSource(index);
        if (index.isValid())
        {
            mUi->mExplorer->scrollTo(index);
            mUi->mExplorer->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        }
    }
    UpdateSaveButton();
    UpdateStatusBar();
}

bool CorvaneExplorer::SettlePendingCopies(const QString& action)
{
    int pending = 0;
    for (const auto& made : mSession.Models())
        if (made.second->HasAppliedRows(Left) || made.second->HasAppliedRows(Right))
            ++pending;
    if (pending == 0)
        return true;
    QMessageBox ask(QMessageBox::Question, QStringLiteral("CorvaneXT"),
                    pending == 1 ? QStringLiteral("1 item has copies that are not saved.")
                                 : QStringLiteral("%1 items have copies that are not saved.").arg(pending),
                    QMessageBox::Cancel, this);
    ask.setObjectName(QStringLiteral("mPendingCopiesQuestion"));
    ask.setInformativeText(
        QStringLiteral("Keep them for %1? They are written into the documents, which stay unsaved until "
                       "Save. Or drop them.")
            .arg(action));
    QPushButton* keep = ask.addButton(QStringLiteral("Keep Copies"), QMessageBox::AcceptRole);
    QPushButton* drop = ask.addButton(QStringLiteral("Drop Copies"), QMessageBox::DestructiveRole);
    ask.setDefaultButton(keep);
    ask.exec();
    if (ask.clickedButton() == drop)
        return true;
    if (ask.clickedButton() != keep)
        return false;
    // Written, not saved: the host holds them now.
    ApplyModels();
    return true;
}

void CorvaneExplorer::Rescan()
{
    if (SettlePendingCopies(QStringLiteral("the new comparison")))
        Reload();
}

void CorvaneExplorer::SwapSides()
{
    if (!SettlePendingCopies(QStringLiteral("the swapped comparison")))
        return;
    Reload(true);
    emit sidesSwapped();
}

bool CorvaneExplorer::WriteMergeLog(const QString& path, QString* error) const
{
    return Merge::SaveLog(path, mSession.LogJson(), error);
}

void CorvaneExplorer::SaveMergeLog()
{
    QString path = QFileDialog::getSaveFileName(this, tr("Save Merge Log"), mSession.AutomaticLogPath(),
                                                tr("Merge logs (*.json)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!WriteMergeLog(path, &error))
        QMessageBox::warning(this, QStringLiteral("CorvaneXT"),
                             QStringLiteral("The merge log could not be written: %1").arg(error));
    else
        statusBar()->showMessage(QStringLiteral("%1 written to %2")
                                     .arg(mSession.Decisions().size() == 1
                                              ? QStringLiteral("1 decision")
                                              : QStringLiteral("%1 decisions").arg(mSession.Decisions().size()),
                                          path),
                                 5000);
}

void CorvaneExplorer::ResetModels()
{
    for (const auto& made : mSession.Models())
        made.second->Reset();
}

// The session drops the models when it builds the comparison anew; the
// window lets go of them first.
void CorvaneExplorer::ClearModels()
{
    mUndoGroup->setActiveStack(nullptr);
    for (const auto& made : mSession.Models())
        mUndoGroup->removeStack(made.second->UndoStack());
}

void CorvaneExplorer::ClearPreviewCache()
{
    // The shown model belongs to the cache only when it was taken from it.
    PreviewModel* shown = ShownPreviewModel();
    if (shown && mPreviewCache.object(shown->Node().mId) != shown)
    {
        mUi->mPreviewTable->setModel(nullptr);
        delete shown;
    }
    mPreviewCache.clear();
}

void CorvaneExplorer::save()
{
    if (!ConfirmUnresolved())
        return;
    ApplyModels();
    bool modified[2];
    for (int side : {ComparisonSession::LHS, ComparisonSession::RHS})
        modified[side] = mSession.IsModified(side);
    emit saveInvoked();
    // What the host saved is no change any more; what it refused still is.
    UpdateSaveButton();
    QStringList saved;
    for (int side : {ComparisonSession::LHS, ComparisonSession::RHS})
        if (modified[side] && !mSession.IsModified(side))
            saved << QStringLiteral("Saved %1: %2")
                         .arg(side == ComparisonSession::LHS ? QStringLiteral("LHS") : QStringLiteral("RHS"),
                              QDir::toNativeSeparators(mSession.Path(side)));
    // A save the host refused has been told of already.
    if (!saved.isEmpty())
        statusBar()->showMessage(saved.join(QStringLiteral("; ")), 10000);
    else if (!modified[ComparisonSession::LHS] && !modified[ComparisonSession::RHS])
        statusBar()->showMessage(QStringLiteral("Nothing to save"), 10000);
}

void CorvaneExplorer::open()
{
    emit openInvoked();
}

void CorvaneExplorer::prefs()
{
    // What the dialog changes reaches the views through UserSettings.
    Settings settings(this);
    settings.setModal(true);
    settings.exec();
}

// A copied row stays: it differed, and its copy is what the user reads.
void CorvaneExplorer::ShowDifferingRows()
{
    DiffModel* model = ShownDiffModel();
    if (!model)
        return;
    const bool only = mDifferingRows->isChecked();
    for (int row = 0; row < model->rowCount(); ++row)
        mUi->mDiffTable->setRowHidden(row, only && !model->Patches().at(row).isChange);
}

void CorvaneExplorer::ReadViewOptions()
{
    const QSignalBlocker quiet(mOnlyDifferences);
    mOnlyDifferences->setChecked(!(UserSettings::Get().ViewOptions() & Identical));
    const QSignalBlocker quietWords(mWords);
    mWords->setChecked(UserSettings::Get().CompareWords());
}

void CorvaneExplorer::CompareWords(bool words)
{
    UserSettings::Get().SetCompareWords(words);
}

void CorvaneExplorer::RediffUntouchedModels()
{
    ReadViewOptions();
    for (const auto& made : mSession.Models())
        if (made.second->UndoStack()->count() == 0 && !made.second->HasVerticalHeader())
            made.second->Reset();
    // A three-way merge decides rows of the stories as they are now compared.
    if (mThreeWay)
    {
        mThreeWay->Refresh();
        UpdateStatusBar();
    }
    UpdateActions(mUi->mDiffTable->currentIndex(), QModelIndex());
}

void CorvaneExplorer::ShowOnlyDifferences(bool only)
{
    const int mask = UserSettings::Get().ViewOptions();
    UserSettings::Get().SetViewOptions(only ? (mask & ~Identical) : (mask | Identical));
}

void CorvaneExplorer::SetPreviewZoom(int choice)
{
    const int percent = mPreviewZoom->itemData(choice).toInt();
    UserSettings::Get().SetPreviewZoom(percent);
    mPreviewDelegate->SetZoom(percent / 100.0);
    FitPreviewColumns();
    mUi->mPreviewTable->viewport()->update();
}

void CorvaneExplorer::FitPreviewColumns()
{
    QTableView* table = mUi->mPreviewTable;
    const int half = qMax(1, table->viewport()->width() / 2);
    // A drawing (a spread) shows whole, within the table's height too.
    mPreviewDelegate->SetMaxHeight(table->viewport()->height() - 4);
    int needed = 0;
    if (QAbstractItemModel* model = table->model())
        for (int column = 0; column < model->columnCount(); ++column)
        {
            const QModelIndex index = model->index(0, column);
            if (!index.data(PreviewModel::ZoomableRole).toBool())
                continue;
            const QVariant picture = index.data(Qt::DecorationRole);
            if (picture.userType() == QMetaType::QImage)
                needed = qMax(
                    needed,
                    mPreviewDelegate->ShownSize(index, picture.value<QImage>().size(), half).width() + 4);
        }
    if (needed <= half)
    {
        StretchColumns(table);
    }
    else
    {
        QHeaderView* header = table->horizontalHeader();
        header->setSectionResizeMode(QHeaderView::Interactive);
        header->resizeSection(0, needed);
        header->resizeSection(1, needed);
    }
    table->resizeRowsToContents();
}

void CorvaneExplorer::about()
{
    AboutDialog dialog(this);
    dialog.setModal(true);
    dialog.exec();
}

int CorvaneExplorer::exec()
{
    mResult = 0;
    show();
    ActionScript::StartFromEnvironment(this);
    QPointer<CorvaneExplorer> self(this);
    QEventLoop loop;
    mEventLoop = &loop;
    QxpNativeEventFilter::Acquire(&CorvaneExplorer::QxpEventFilter);
    loop.exec(QEventLoop::DialogExec);
    QxpNativeEventFilter::Release();
    if (!self)
        return 0;
    mEventLoop = nullptr;
    return mResult;
}

void CorvaneExplorer::done(int result)
{
    hide();
    mResult = result;
    close();
    UserSettings::Get().SetExplorerGeometry(saveGeometry());
    emit finished(result);
    if (result == 1)
        emit accepted();
    else if (result == 0)
        emit rejected();
    if (mEventLoop)
        mEventLoop->exit();
}

void CorvaneExplorer::accept()
{
    if (ConfirmUnresolved())
        done(1);
}

void CorvaneExplorer::reject()
{
    done(0);
}

bool CorvaneExplorer::QxpEventFilter(void*)
{
    return XImageLoader::WorkInProgress();
}

void CorvaneExplorer::closeEvent(QCloseEvent* event)
{
    if (!isVisible())
    {
        event->accept();
        return;
    }
    emit closeInvoked(event);
    if (!event->isAccepted())
        return;
    QPointer<CorvaneExplorer> self(this);
    reject();
    if (self && isVisible())
        event->ignore();
}

bool CorvaneExplorer::eventFilter(QObject* object, QEvent* event)
{
    if (event->type() == QEvent::Timer && XImageLoader::WorkInProgress())
        return true;
    if (event->type() == QEvent::ToolTip && object == mUi->mDiffTable->horizontalHeader()->viewport())
    {
        auto* help = static_cast<QHelpEvent*>(event);
        const QHeaderView* header = mUi->mDiffTable->horizontalHeader();
        const int section = header->logicalIndexAt(help->pos());
        if (header->model() && section >= 0)
            QToolTip::showText(help->globalPos(), header->model()->headerData(section, Qt::Horizontal).toString(),
                               header->viewport());
        return true;
    }
    // Alt+Up and Alt+Down move between differences; with none left they do
    // nothing rather than move the tree to its next row.
    if (event->type() == QEvent::KeyPress && object == mUi->mExplorer)
    {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & Qt::AltModifier) && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down))
            return true;
    }
    if (event->type() == QEvent::KeyPress && (object == mUi->mDiffTable || object == this))
    {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (object == mUi->mDiffTable && (key == Qt::Key_Up || key == Qt::Key_Down))
            return true;
        if (key == Qt::Key_Escape)
        {
            close();
            return true;
        }
    }
    return QMainWindow::eventFilter(object, event);
}

void CorvaneExplorer::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    mUi->mDiffTable->resizeRowsToContents();
    FitPreviewColumns();
}
