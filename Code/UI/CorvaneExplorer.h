#pragma once

#include "DiffModel.h"
#include "Merge.h"
#include "PatchItemDelegate.h"

#include <QCache>
#include <QHash>
#include <QItemSelection>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QUuid>

#include <memory>

class ComparisonSession;
class PreviewItemDelegate;
class PreviewModel;
class ProjectTree;
class ProjectTreeNodeBase;
class ThreeWayReview;
class QAbstractItemModel;
class QAction;
class QCloseEvent;
class QComboBox;
class QEventLoop;
class QLabel;
class QUndoGroup;
class Ui_CorvaneExplorer;

// The window of one comparison: the comparison tree, the patch table of the
// selected pair and the previews of its two sides. It runs modally in its own
// event loop, like a dialog. Its comparison session holds the patch tables
// and writes the copies; saving, opening another comparison and closing are
// requested by signals of the one that owns the projects.
class CorvaneExplorer : public QMainWindow
{
    Q_OBJECT

public:
    // `model` is the filter proxy over the session's ProjectTree.
    CorvaneExplorer(ComparisonSession& session, QAbstractItemModel& model, QWidget* parent = nullptr);
    ~CorvaneExplorer() override;

    void ResetModels();
    void ApplyModels();
    void ClearModels();
    void ClearPreviewCache();
    bool IsDirty() const;
    bool IsLeftDirty() const;
    bool IsRightDirty() const;
    // Builds the comparison anew from the documents as they are now, the
    // sides traded when `swap`, and shows the same item again where it still
    // exists. Copies not written yet are dropped: callers write or ask first.
    void Reload(bool swap = false);
    // The merge log of every row this window has written into the
    // documents; false with a reason when it cannot be written.
    bool WriteMergeLog(const QString& path, QString* error) const;
    // Three-way mode (xthost --merge): the LHS is the merge result, with
    // the review's automatic decisions shown as copies; conflicts are
    // marked, visited by Next and Previous Conflict, and Save asks before it
    // saves any unresolved. REMOTE, on the right, takes no copies.
    void SetThreeWay(ThreeWayReview* review);

    // Drops native events while a preview is being rendered, so that the host
    // is not re-entered.
    static bool QxpEventFilter(void* message);

signals:
    void saveInvoked();
    void openInvoked();
    void closeInvoked(QCloseEvent* eventP);
    void closeInvoked();
    void dirty(bool);
    // The two sides changed places: LHS is the former RHS.
    void sidesSwapped();
    void finished(int result);
    void accepted();
    void rejected();

public slots:
    int exec();
    virtual void done(int result);
    virtual void accept();
    virtual void reject();
    void save();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* object, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void SelectionChanged(QItemSelection selected, QItemSelection deselected);
    void about();
    void open();
    void prefs();
    void MoveNext();
    void MovePrevious();
    void MoveNextConflict();
    void MovePreviousConflict();
    void ApplyLeft();
    void ApplyRight();
    void CopyAllLeft();
    void ShowOnlyDifferences(bool only);
    void CompareWords(bool words);
    void SetPreviewZoom(int choice);
    // Hides the rows of the patch table that are no change, when the
    // toggle says so.
    void ShowDifferingRows();
    void CopyAllRight();
    // Compares again from the documents, keeping copies not saved yet (they
    // are written into the documents first) or dropping them, as the user
    // chooses.
    void Rescan();
    // The left project goes right and the right one left.
    void SwapSides();
    void UpdateActions(QModelIndex selected, QModelIndex deselected);
    void DirtinessChanged(bool clean);
    void RefreshNavigation();

private:
    ProjectTreeNodeBase* NodeOf(const QModelIndex& proxyIndex) const;
    ProjectTree* Tree() const;
    DiffModel* ShownDiffModel() const;
    PreviewModel* ShownPreviewModel() const;
    void Apply(ApplyDirection direction);
    void SelectRow(int row, int column);
    // The change row after (before) `row` in the shown table; -1 for none.
    int AdjacentChangeRow(int row, int column, bool forward) const;
    // The next (previous) item of the tree, in the order it shows them, whose
    // status differs; invalid for none.
    QModelIndex AdjacentDifferingItem(bool forward) const;
    // Moves to the next (previous) difference: a change row of the shown
    // pair, or else the next differing item, at its first (last) change row.
    // The same from the tree and from the table.
    void Move(bool forward);
    void UpdateNavigation();
    // Selects the next (previous) conflict row of a three-way merge after
    // (before) the current row, in tree order, from the other end when
    // there is none.
    void MoveConflict(bool forward);
    // Whether Save may go on: no conflict unresolved, or the user confirms
    // that the shown choices stand.
    bool ConfirmUnresolved();
    // Copies every change row of the selected pair one way, as one step on
    // its undo stack, once the user has seen how many.
    void CopyAll(ApplyDirection direction);
    // The patch table of a node, made on first use and kept until the
    // comparison is rebuilt; null for a node that has none (a folder).
    DiffModel* ModelOf(ProjectTreeNodeBase* node);
    // A model the session made: its column titles and the window's hooks.
    void TakeModel(DiffModel& model);
    // Copies every difference below a container (and its own), one undo
    // step on the container's stack; see CopyAll.
    void CopyAllBelow(ProjectTreeNodeBase* node, ApplyDirection direction);
    // The construction's steps: the tables, undo and redo, the view
    // toggles, Copy All, Rescan and Swap, the menus.
    void SetUpTables();
    void SetUpUndo();
    void SetUpViewActions();
    void SetUpCopyAllActions();
    void SetUpComparisonActions();
    void SetUpMenus();
    void SetUpEditMenu();
    // Help > Keys and Usage...
    void ShowHelp();
    // Tells of the rows the host refused to write.
    void ReportRefused(const QStringList& refused);
    // Whether copies are marked that are not written into the documents;
    // asks whether to write or drop them first. False: the user cancelled.
    bool SettlePendingCopies(const QString& action);
    void UpdateCopyAll();
    // The toolbar toggle from the stored view options.
    void ReadViewOptions();
    // Compares anew the pairs that have no copies yet, after the story
    // granularity changed; pairs with copies keep their rows until saved.
    void RediffUntouchedModels();
    // Text previews at a zoom larger than their column widen the columns,
    // and the table scrolls; otherwise the columns share the width.
    void FitPreviewColumns();
    void UpdateSaveButton();
    // The pair's pending status in the tree, from its model's copied rows.
    void UpdatePendingStatus(DiffModel* model);
    // What a pair will be once its copied rows are saved; 0 when none are.
    static int PendingTypeOf(const DiffModel& model, const ProjectTreeNodeBase& node);
    void KeepShown(const ProjectTreeNodeBase* node);
    // "LHS ↔ RHS", or "Merge LHS ← RHS" in three-way mode.
    void ShowTitle();
    // The two projects' file names, for the title and the table headers.
    QString ProjectName(int side) const;
    // The status bar: differing items in the whole comparison, and the
    // selected pair's changes with the current one's place among them.
    void UpdateStatusBar();
    // File > Save Merge Log...
    void SaveMergeLog();

    ComparisonSession& mSession;
    std::unique_ptr<Ui_CorvaneExplorer> mUi;
    PatchItemDelegate mDelegate;
    QPointer<QEventLoop> mEventLoop;
    int mResult;
    QCache<QUuid, PreviewModel> mPreviewCache;
    QUndoGroup* mUndoGroup;
    QAction* mOnlyDifferences = nullptr;
    QAction* mWords = nullptr;
    QAction* mDifferingRows = nullptr;
    PreviewItemDelegate* mPreviewDelegate = nullptr;
    QComboBox* mPreviewZoom = nullptr;
    QAction* mCopyAllLeft = nullptr;
    QAction* mCopyAllRight = nullptr;
    QAction* mRescan = nullptr;
    QAction* mSwap = nullptr;
    // Copies of every difference below a container, one command each.
    QUndoStack* mContainerStack = nullptr;
    QLabel* mComparisonStatus = nullptr;
    QLabel* mSelectionStatus = nullptr;
    // Under the previews while they show spreads: what the marks mean.
    QLabel* mPreviewLegend = nullptr;
    ThreeWayReview* mThreeWay = nullptr;
    QAction* mNextConflict = nullptr;
    QAction* mPreviousConflict = nullptr;
};
