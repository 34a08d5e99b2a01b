#include "CorvaneExplorer.h"

#include "ui_CorvaneExplorer.h"

#include "AboutDialog.h"
#include "ApplyCommand.h"
#include "CorvaneResources.h"
#include "DiffModel.h"
#include "NodeDifferVisitor.h"
#include "PreviewItemDelegate.h"
#include "PreviewModel.h"
#include "ProjectTree.h"
#include "Settings.h"
#include "XImageLoader.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QUndoGroup>
#include <QUndoStack>

namespace
{

const char* const kGeometryKey = "CorvaneExplorer/Geometry";

QSettings AppSettings()
{
    return QSettings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
}

// Hands the GUI thread's native events to CorvaneExplorer::QxpEventFilter.
// Installed while at least one explorer runs its loop: explorers nest when
// one opens another comparison.
class QxpNativeEventFilter : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray&, void* message, long*) override
    {
        return CorvaneExplorer::QxpEventFilter(message);
    }

    static void Acquire()
    {
        if (sUsers++ == 0)
            if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
                dispatcher->installNativeEventFilter(Instance());
    }

    static void Release()
    {
        if (--sUsers == 0)
            if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
                dispatcher->removeNativeEventFilter(Instance());
    }

private:
    // Never destroyed: its destructor would reach for a dispatcher at exit.
    static QxpNativeEventFilter* Instance()
    {
        static auto* sInstance = new QxpNativeEventFilter;
        return sInstance;
    }

    static int sUsers;
};

int QxpNativeEventFilter::sUsers = 0;

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

CorvaneExplorer::CorvaneExplorer(QAbstractItemModel& model, QWidget* parent)
    : QMainWindow(parent), mUi(new Ui_CorvaneExplorer), mResult(0), mPreviewCache(100), mUndoGroup(nullptr)
{
    InitCorvaneResources();
    mUi->setupUi(this);
    setWindowModality(Qt::NonModal);

    mUi->mExplorer->setModel(&model);
    // Open on the comparison's outline: the project pair and its folders of
    // layouts, stories and assets.
    mUi->mExplorer->expandToDepth(1);

    restoreGeometry(AppSettings().value(QLatin1String(kGeometryKey)).toByteArray());

    mUi->mDiffTable->setItemDelegate(&mDelegate);
    mUi->mPreviewTable->setItemDelegate(new PreviewItemDelegate(this));

    connect(mUi->mExplorer->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CorvaneExplorer::SelectionChanged);

    mUi->mDiffTable->installEventFilter(this);
    installEventFilter(this);

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

    // The form gives about() no trigger; the Help menu is where users look.
    QMenu* help = mUi->mMenubar->addMenu(tr("Help"));
    help->setObjectName(QStringLiteral("menuHelp"));
    QAction* about = help->addAction(QIcon(QStringLiteral(":/CorvaneXT.png")), tr("About CorvaneXT..."));
    about->setObjectName(QStringLiteral("actionAbout"));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &CorvaneExplorer::about);

    emit dirty(false);
    mUi->mButtonBox->button(QDialogButtonBox::Save)->setEnabled(false);
}

CorvaneExplorer::~CorvaneExplorer()
{
    ClearModels();
    // The invoker clears the cache before it destroys the window; a window
    // destroyed otherwise must not leave the shown preview behind either.
    ClearPreviewCache();
}

ProjectTree* CorvaneExplorer::Tree() const
{
    QAbstractItemModel* model = mUi->mExplorer->model();
    if (auto* proxy = qobject_cast<QSortFilterProxyModel*>(model))
        model = proxy->sourceModel();
    return qobject_cast<ProjectTree*>(model);
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

    NodeDifferVisitor visitor(Complete);

    if (DiffModel* shown = ShownDiffModel())
        disconnect(shown->UndoStack(), &QUndoStack::cleanChanged, this, &CorvaneExplorer::DirtinessChanged);

    DiffModel* model = nullptr;
    if (node)
    {
        model = mDiffModels.value(node->mId, nullptr);
        if (!model)
        {
            model = visitor.Diff(*node);
            if (model)
                mDiffModels.insert(node->mId, model);
        }
    }

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
    connect(mUi->mDiffTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CorvaneExplorer::UpdateActions);


    mUi->actionCopyLeft->setEnabled(false);
    mUi->actionCopyRight->setEnabled(false);
    mUi->actionNextDiff->setEnabled(false);
    mUi->actionPreviousDiff->setEnabled(false);

    // The shown preview goes into the cache under its own node when it leaves
    // the table (the cache then deletes its least recently used models).
    if (PreviewModel* shown = ShownPreviewModel())
        if (!mPreviewCache.contains(shown->Node().mId))
            mPreviewCache.insert(shown->Node().mId, shown, 1);

    PreviewModel* preview = nullptr;
    if (node)
    {
        preview = mPreviewCache.object(node->mId);
        if (!preview)
            preview = new PreviewModel(*node);
    }
    oldSelection = mUi->mPreviewTable->selectionModel();
    mUi->mPreviewTable->setModel(preview);
    if (oldSelection != mUi->mPreviewTable->selectionModel())
        delete oldSelection;
    if (preview)
        connect(preview, &QAbstractItemModel::dataChanged, mUi->mPreviewTable,
                &QTableView::resizeRowsToContents, Qt::UniqueConnection);
    StretchColumns(mUi->mPreviewTable);
    mUi->mPreviewTable->resizeRowsToContents();
}

void CorvaneExplorer::UpdateActions(QModelIndex selected, QModelIndex)
{
    DiffModel* model = ShownDiffModel();
    const QModelIndex& current = selected;
    if (!model || !current.isValid() || current.row() < 0 || current.column() < 0)
    {
        mUi->actionCopyLeft->setEnabled(false);
        mUi->actionCopyRight->setEnabled(false);
        mUi->actionNextDiff->setEnabled(false);
        mUi->actionPreviousDiff->setEnabled(false);
        return;
    }

    bool next = false;
    for (int row = current.row() + 1; row < model->rowCount() && !next; ++row)
        next = !model->IsEquality(model->index(row, current.column()));
    bool previous = false;
    for (int row = current.row() - 1; row >= 0 && !previous; --row)
        previous = !model->IsEquality(model->index(row, current.column()));
    const bool copy = !model->IsEquality(current) && model->CanApply(current);

    mUi->actionNextDiff->setEnabled(next);
    mUi->actionPreviousDiff->setEnabled(previous);
    mUi->actionCopyLeft->setEnabled(copy);
    mUi->actionCopyRight->setEnabled(copy);
}

void CorvaneExplorer::SelectRow(int row, int column)
{
    DiffModel* model = ShownDiffModel();
    if (!model || row < 0 || row >= model->rowCount())
        return;
    mUi->mDiffTable->setCurrentIndex(model->index(row, qMax(0, column)));
}

void CorvaneExplorer::MoveNext()
{
    DiffModel* model = ShownDiffModel();
    if (!model)
        return;
    const QModelIndex current = mUi->mDiffTable->currentIndex();
    const int column = qMax(0, current.column());
    int row = current.isValid() ? current.row() + 1 : 0;
    while (row < model->rowCount() && model->IsEquality(model->index(row, column)))
        ++row;
    SelectRow(row, column);
}

void CorvaneExplorer::MovePrevious()
{
    DiffModel* model = ShownDiffModel();
    if (!model)
        return;
    const QModelIndex current = mUi->mDiffTable->currentIndex();
    if (!current.isValid())
        return;
    const int column = current.column();
    int row = current.row() - 1;
    while (row > 0 && model->IsEquality(model->index(row, column)))
        --row;
    SelectRow(row, column);
}

void CorvaneExplorer::Apply(ApplyDirection direction)
{
    DiffModel* model = ShownDiffModel();
    if (!model)
        return;
    const QModelIndex current = mUi->mDiffTable->currentIndex();
    // The same conditions that enable the actions: a command on anything else
    // would only make the pair look dirty.
    if (!current.isValid() || model->IsEquality(current) || !model->CanApply(current))
        return;
    model->UndoStack()->push(new ApplyCommand(model, current, direction, nullptr));
    mUi->actionCopyLeft->setEnabled(false);
    mUi->actionCopyRight->setEnabled(false);
    mUi->mDiffTable->clearSelection();
}

void CorvaneExplorer::ApplyLeft()
{
    Apply(Left);
}

void CorvaneExplorer::ApplyRight()
{
    Apply(Right);
}

void CorvaneExplorer::DirtinessChanged(bool)
{
    UpdateSaveButton();
}

bool CorvaneExplorer::IsDirty() const
{
    if (mUnsavedLeft || mUnsavedRight)
        return true;
    for (const DiffModel* model : mDiffModels)
        if (model->IsDirty())
            return true;
    return false;
}

bool CorvaneExplorer::IsLeftDirty() const
{
    if (mUnsavedLeft)
        return true;
    for (const DiffModel* model : mDiffModels)
        if (model->IsLeftDirty())
            return true;
    return false;
}

bool CorvaneExplorer::IsRightDirty() const
{
    if (mUnsavedRight)
        return true;
    for (const DiffModel* model : mDiffModels)
        if (model->IsRightDirty())
            return true;
    return false;
}

void CorvaneExplorer::SetUnsavedInHost(bool left, bool right)
{
    mUnsavedLeft = left;
    mUnsavedRight = right;
    UpdateSaveButton();
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
    QStringList refused;
    bool wrote = false;
    for (DiffModel* model : qAsConst(mDiffModels))
    {
        wrote = wrote || model->HasAppliedRows(Left) || model->HasAppliedRows(Right);
        refused << model->Save();
    }
    if (wrote)
    {
        ResetModels();
        if (ProjectTree* tree = Tree())
            tree->RefreshNodeTypes();
        mUi->mExplorer->viewport()->update();
        mUi->mDiffTable->resizeRowsToContents();
        // The shown model's rows were rebuilt: there is no current row any more.
        UpdateActions(mUi->mDiffTable->currentIndex(), QModelIndex());
    }
    UpdateSaveButton();
    if (!refused.isEmpty())
    {
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
}

void CorvaneExplorer::ResetModels()
{
    for (DiffModel* model : qAsConst(mDiffModels))
        model->Reset();
}

void CorvaneExplorer::ClearModels()
{
    mUndoGroup->setActiveStack(nullptr);
    const QMap<QUuid, DiffModel*> models = mDiffModels;
    mDiffModels.clear();
    qDeleteAll(models);
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
    ApplyModels();
    emit saveInvoked();
}

void CorvaneExplorer::open()
{
    emit openInvoked();
}

void CorvaneExplorer::prefs()
{
    Settings settings(this);
    settings.setModal(true);
    if (settings.exec() != QDialog::Accepted)
        return;
    if (auto* proxy = qobject_cast<QSortFilterProxyModel*>(mUi->mExplorer->model()))
        proxy->invalidate();
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
    QPointer<CorvaneExplorer> self(this);
    QEventLoop loop;
    mEventLoop = &loop;
    QxpNativeEventFilter::Acquire();
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
    AppSettings().setValue(QLatin1String(kGeometryKey), saveGeometry());
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
    mUi->mPreviewTable->resizeRowsToContents();
}
