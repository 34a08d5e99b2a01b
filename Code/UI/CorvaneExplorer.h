#pragma once

#include "DiffModel.h"
#include "PatchItemDelegate.h"

#include <QCache>
#include <QItemSelection>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QUuid>

#include <memory>

class PreviewModel;
class ProjectTree;
class ProjectTreeNodeBase;
class QAbstractItemModel;
class QCloseEvent;
class QEventLoop;
class QUndoGroup;
class Ui_CorvaneExplorer;

// The window of one comparison: the comparison tree, the patch table of the
// selected pair and the previews of its two sides. It runs modally in its own
// event loop, like a dialog, and never calls the host: saving, opening
// another comparison and closing are requested by signals.
class CorvaneExplorer : public QMainWindow
{
    Q_OBJECT

public:
    // `model` is the filter proxy over the comparison's ProjectTree.
    explicit CorvaneExplorer(QAbstractItemModel& model, QWidget* parent = nullptr);
    ~CorvaneExplorer() override;

    void ResetModels();
    void ApplyModels();
    void ClearModels();
    void ClearPreviewCache();
    bool IsDirty() const;
    bool IsLeftDirty() const;
    bool IsRightDirty() const;
    // What the host holds of this comparison and has not saved yet: rows
    // already written into the documents. The invoker tells after each save.
    void SetUnsavedInHost(bool left, bool right);

    // Drops native events while a preview is being rendered, so that the host
    // is not re-entered.
    static bool QxpEventFilter(void* message);

signals:
    void saveInvoked();
    void openInvoked();
    void closeInvoked(QCloseEvent* eventP);
    void closeInvoked();
    void dirty(bool);
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
    void ApplyLeft();
    void ApplyRight();
    void UpdateActions(QModelIndex selected, QModelIndex deselected);
    void DirtinessChanged(bool clean);

private:
    ProjectTreeNodeBase* NodeOf(const QModelIndex& proxyIndex) const;
    ProjectTree* Tree() const;
    DiffModel* ShownDiffModel() const;
    PreviewModel* ShownPreviewModel() const;
    void Apply(ApplyDirection direction);
    void SelectRow(int row, int column);
    void UpdateSaveButton();

    std::unique_ptr<Ui_CorvaneExplorer> mUi;
    PatchItemDelegate mDelegate;
    QPointer<QEventLoop> mEventLoop;
    int mResult;
    QCache<QUuid, PreviewModel> mPreviewCache;
    QUndoGroup* mUndoGroup;
    QMap<QUuid, DiffModel*> mDiffModels;
    bool mUnsavedLeft = false;
    bool mUnsavedRight = false;
};
