// The explorer window on the bundled sample projects, through the plug-in's
// real activation, with real clicks and key presses.

#include "AboutDialog.h"
#include "CorvaneExplorer.h"
#include "DiffModel.h"
#include "ExplorerFixture.h"
#include "HostSession.h"
#include "PluginSession.h"
#include "PreviewModel.h"
#include "ProjectGenerator.h"
#include "ProjectTree.h"
#include "ProjectTreeProxy.h"
#include "Settings.h"
#include "UiTestSupport.h"
#include "XTCalls.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <QUndoStack>

namespace
{

const QString kLeftSample = QStringLiteral("harbour-gazette-v1.xprj");
const QString kRightSample = QStringLiteral("harbour-gazette-v2.xprj");

// Rows of the shown patch table that are not equalities.
QList<int> ChangeRows(const DiffModel& model)
{
    QList<int> rows;
    for (int row = 0; row < model.rowCount(); ++row)
        if (!model.IsEquality(model.index(row, 0)))
            rows << row;
    return rows;
}

int CurrentRow(const Comparison& comparison)
{
    return comparison.DiffTable()->currentIndex().row();
}

void PressAlt(QWidget* widget, Qt::Key key)
{
    QTest::keyClick(widget, key, Qt::AltModifier);
}

// The visible leaves of the tree view, as node statuses.
QList<int> VisibleLeafTypes(const Comparison& comparison)
{
    QList<int> types;
    QAbstractItemModel* model = comparison.TreeView()->model();
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent)
    {
        for (int row = 0; row < model->rowCount(parent); ++row)
        {
            const QModelIndex index = model->index(row, 0, parent);
            const QModelIndex source = comparison.Proxy().mapToSource(index);
            ProjectTreeNodeBase* node = comparison.Tree().NodeOf(source);
            if (node->HasChildren())
                walk(index);
            else
                types << int(node->NodeType());
        }
    };
    walk(QModelIndex());
    return types;
}

} // namespace

class TestExplorer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void aboutFromTheHelpMenu();

    void reselectingReusesModels();
    void previewCacheKeepsTheHundredMostRecent_data();
    void previewCacheKeepsTheHundredMostRecent();
    void emptySelectionShowsNothing();
    void columnsShareTheTableWidth();

    void arrowKeysDoNotMoveThePatchSelection();
    void altArrowsJumpBetweenChanges();
    void copyActionsFollowTheCurrentRow();

    void undoRedoFollowTheSelectedPair();
    void saveButtonFollowsEveryPair();
    void saveWritesAppliedRowsAndRefreshes();

    void endingTheRun_data();
    void endingTheRun();
    void geometryIsStoredAndRestored();
    void acceptedSettingsFilterTheTreeAtOnce();

private:
    std::unique_ptr<PluginSession> mSession;
    std::unique_ptr<Comparison> mComparison;
};

void TestExplorer::initTestCase()
{
    TestSettings().clear();
    mSession = std::make_unique<PluginSession>();
    QCOMPARE(mSession->SetupStatus(), XTStatus(0));
}

void TestExplorer::init()
{
    TestSettings().clear();
    mComparison =
        std::make_unique<Comparison>(mSession->Host(), SamplePath(kLeftSample), SamplePath(kRightSample));
    QVERIFY(mComparison->IsOpen());
}

void TestExplorer::cleanup()
{
    mComparison.reset();
}

void TestExplorer::cleanupTestCase()
{
    mComparison.reset();
    mSession.reset();
}

void TestExplorer::aboutFromTheHelpMenu()
{
    auto* bar = Child<QMenuBar>(mComparison->Explorer(), "mMenubar");
    auto* help = Child<QMenu>(mComparison->Explorer(), "menuHelp");
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->actionGeometry(help->menuAction()).center());
    QTRY_VERIFY(help->isVisible());

    QString title;
    WhenModal<AboutDialog>(
        [&](AboutDialog* about)
        {
            title = about->windowTitle();
            auto* close = Child<QDialogButtonBox>(*about, "buttonBox")->button(QDialogButtonBox::Close);
            QTest::mouseClick(close, Qt::LeftButton, Qt::NoModifier, close->rect().center());
        });
    QAction* about = mComparison->Action("actionAbout");
    QTest::mouseClick(help, Qt::LeftButton, Qt::NoModifier, help->actionGeometry(about).center());
    QTRY_COMPARE(title, QStringLiteral("About CorvaneXT"));
    QTRY_VERIFY(!QApplication::activeModalWidget());
}

void TestExplorer::reselectingReusesModels()
{
    Comparison& c = *mComparison;
    ProjectTreeNodeBase* first = c.StoryPair(3);
    ProjectTreeNodeBase* second = c.StoryPair(4);
    QVERIFY(first && second);

    QVERIFY(c.Select(first));
    DiffModel* model = c.ShownDiffModel();
    PreviewModel* preview = c.ShownPreviewModel();
    QVERIFY(model && preview);
    QCOMPARE(&preview->Node(), first);
    const QList<int> changes = ChangeRows(*model);
    QVERIFY(!changes.isEmpty());
    c.ClickRow(changes.first());
    PressAlt(c.DiffTable(), Qt::Key_Left);
    QCOMPARE(model->UndoStack()->count(), 1);

    QVERIFY(c.Select(second));
    QVERIFY(c.ShownDiffModel() != model);
    QVERIFY(c.ShownPreviewModel() != preview);

    QVERIFY(c.Select(first));
    QCOMPARE(c.ShownDiffModel(), model);
    QCOMPARE(c.ShownPreviewModel(), preview);
    QCOMPARE(model->UndoStack()->count(), 1);
    QCOMPARE(model->UndoStack()->index(), 1);
    QVERIFY(model->IsEquality(model->index(changes.first(), 0)));
    QVERIFY(Child<QAction>(c.Explorer(), "actionUndo")->isEnabled());
}

void TestExplorer::previewCacheKeepsTheHundredMostRecent_data()
{
    QTest::addColumn<bool>("revisitFirst");
    QTest::newRow("first left alone is evicted") << false;
    QTest::newRow("first revisited survives, second is evicted") << true;
}

// Selecting a node caches the preview of the node left behind; past 100
// cached previews the least recently used one is deleted, and its node's
// preview is made anew on its next selection.
void TestExplorer::previewCacheKeepsTheHundredMostRecent()
{
    QFETCH(bool, revisitFirst);
    // The samples have too few items: a generated pair has plenty.
    mComparison.reset();
    XTHost::GeneratorOptions options;
    options.mStoryLength = 200;
    const QString left = mSession->TempPath(QStringLiteral("generated-left.xprj"));
    const QString right = mSession->TempPath(QStringLiteral("generated-right.xprj"));
    QString error;
    QVERIFY2(XTHost::ProjectGenerator::writePair(options, left, right, &error), qPrintable(error));
    mComparison = std::make_unique<Comparison>(mSession->Host(), left, right);
    QVERIFY(mComparison->IsOpen());
    Comparison& c = *mComparison;

    // Stories are left out only to keep the test free of renderings.
    std::vector<ProjectTreeNodeBase*> nodes;
    for (ProjectTreeNodeBase* node : c.Nodes())
        if (!dynamic_cast<ProjectTreeNode<Story>*>(node) && c.ViewIndex(node).isValid())
            nodes.push_back(node);
    QVERIFY2(nodes.size() >= 103, qPrintable(QString::number(nodes.size())));

    QVERIFY(c.Select(nodes[0]));
    QPointer<PreviewModel> first = c.ShownPreviewModel();
    QVERIFY(c.Select(nodes[1]));
    QPointer<PreviewModel> second = c.ShownPreviewModel();
    // Nodes 0 to 100 have been selected: 100 previews are cached, node 101's
    // is shown.
    for (size_t i = 2; i <= 100; ++i)
    {
        if (revisitFirst && i == 50)
        {
            QVERIFY(c.Select(nodes[0]));
            QCOMPARE(c.ShownPreviewModel(), first.data());
        }
        QVERIFY(c.Select(nodes[i]));
    }
    QVERIFY(first && second);

    QVERIFY(c.Select(nodes[101]));
    QCOMPARE(first.isNull(), !revisitFirst);
    QCOMPARE(second.isNull(), revisitFirst);

    ProjectTreeNodeBase* evicted = revisitFirst ? nodes[1] : nodes[0];
    QVERIFY(c.Select(evicted));
    QVERIFY(c.ShownPreviewModel());
    QCOMPARE(&c.ShownPreviewModel()->Node(), evicted);
}

void TestExplorer::emptySelectionShowsNothing()
{
    Comparison& c = *mComparison;
    ProjectTreeNodeBase* story = c.StoryPair(3);
    QVERIFY(c.Select(story));
    DiffModel* model = c.ShownDiffModel();
    c.ClickRow(ChangeRows(*model).first());
    PressAlt(c.DiffTable(), Qt::Key_Left);
    c.ClickRow(ChangeRows(*model).first());
    QVERIFY(c.Action("actionCopyLeft")->isEnabled());

    // Ctrl+click on the selected item deselects it.
    const QModelIndex index = c.ViewIndex(story);
    QTest::mouseClick(c.TreeView()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      c.TreeView()->visualRect(index).center());
    QVERIFY(!c.TreeView()->selectionModel()->hasSelection());

    QVERIFY(!c.DiffTable()->model());
    QVERIFY(!c.PreviewTable()->model());
    for (const char* name : {"actionCopyLeft", "actionCopyRight", "actionNextDiff", "actionPreviousDiff",
                             "actionUndo", "actionRedo"})
        QVERIFY2(!c.Action(name)->isEnabled(), name);
    // The pair's model and history stay for its next selection.
    QVERIFY(c.Select(story));
    QCOMPARE(c.ShownDiffModel(), model);
    QVERIFY(c.Action("actionUndo")->isEnabled());
}

// Whatever was shown before, and with or without the vertical header of a
// property list, the two columns fill the patch table without scrolling.
void TestExplorer::columnsShareTheTableWidth()
{
    Comparison& c = *mComparison;
    ProjectTreeNodeBase* box = c.Find(
        [](ProjectTreeNodeBase& node)
        {
            auto* pair = dynamic_cast<ProjectTreeNode<Box>*>(&node);
            return pair && pair->mLeft.IsValid() && pair->mRight.IsValid();
        });
    QVERIFY(box);
    for (ProjectTreeNodeBase* node : {static_cast<ProjectTreeNodeBase*>(c.StoryPair(3)), box,
                                      static_cast<ProjectTreeNodeBase*>(c.StoryPair(4)), box})
    {
        QVERIFY(c.Select(node));
        QTableView* table = c.DiffTable();
        QCOMPARE(table->verticalHeader()->isVisible(), c.ShownDiffModel()->HasVerticalHeader());
        QHeaderView* header = table->horizontalHeader();
        QTRY_COMPARE(header->sectionSize(0) + header->sectionSize(1), table->viewport()->width());
        QVERIFY(qAbs(header->sectionSize(0) - header->sectionSize(1)) <= 1);
    }
}

void TestExplorer::arrowKeysDoNotMoveThePatchSelection()
{
    Comparison& c = *mComparison;
    QVERIFY(c.Select(c.StoryPair(3)));
    QVERIFY(c.ShownDiffModel()->rowCount() >= 3);
    c.ClickRow(1);
    QCOMPARE(CurrentRow(c), 1);
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down})
    {
        QTest::keyClick(c.DiffTable(), key);
        QCOMPARE(CurrentRow(c), 1);
    }
}

// From every row, Alt+Down lands on the next row below that is not an
// equality and Alt+Up on the previous one above; with none, the action is
// disabled and the key does nothing.
void TestExplorer::altArrowsJumpBetweenChanges()
{
    Comparison& c = *mComparison;
    QVERIFY(c.Select(c.StoryPair(3)));
    DiffModel* model = c.ShownDiffModel();
    const QList<int> changes = ChangeRows(*model);
    QVERIFY2(changes.size() >= 2 && changes.size() < model->rowCount(),
             "the pair needs changes and equalities");

    for (int row = 0; row < model->rowCount(); ++row)
    {
        int next = -1, previous = -1;
        for (int change : changes)
        {
            if (change > row && next < 0)
                next = change;
            if (change < row)
                previous = change;
        }
        c.ClickRow(row);
        QCOMPARE(c.Action("actionNextDiff")->isEnabled(), next >= 0);
        QCOMPARE(c.Action("actionPreviousDiff")->isEnabled(), previous >= 0);
        PressAlt(c.DiffTable(), Qt::Key_Down);
        QCOMPARE(CurrentRow(c), next >= 0 ? next : row);

        c.ClickRow(row);
        PressAlt(c.DiffTable(), Qt::Key_Up);
        QCOMPARE(CurrentRow(c), previous >= 0 ? previous : row);
    }
}

void TestExplorer::copyActionsFollowTheCurrentRow()
{
    Comparison& c = *mComparison;
    QVERIFY(c.Select(c.StoryPair(3)));
    DiffModel* model = c.ShownDiffModel();
    QAction* left = c.Action("actionCopyLeft");
    QAction* right = c.Action("actionCopyRight");
    QVERIFY(!left->isEnabled() && !right->isEnabled());

    for (int row = 0; row < model->rowCount(); ++row)
    {
        c.ClickRow(row);
        const bool change = !model->IsEquality(model->index(row, 0));
        QCOMPARE(left->isEnabled(), change);
        QCOMPARE(right->isEnabled(), change);
    }

    const int row = ChangeRows(*model).first();
    const QString rightText = model->data(model->index(row, 1)).toString();
    c.ClickRow(row);
    PressAlt(c.DiffTable(), Qt::Key_Right);
    QVERIFY(!c.DiffTable()->selectionModel()->hasSelection());
    QVERIFY(!left->isEnabled() && !right->isEnabled());
    QVERIFY(model->IsEquality(model->index(row, 0)));
    QCOMPARE(model->data(model->index(row, 1)).toString(), model->data(model->index(row, 0)).toString());

    // Undone, the row is a change again, but the copies wait for the current
    // row to change.
    QTest::keySequence(&c.Explorer(), QKeySequence::Undo);
    QVERIFY(!model->IsEquality(model->index(row, 0)));
    QCOMPARE(model->data(model->index(row, 1)).toString(), rightText);
    QVERIFY(!left->isEnabled() && !right->isEnabled());
    c.ClickRow(row);
    QVERIFY(!left->isEnabled() && !right->isEnabled());
    c.ClickRow(row == 0 ? 1 : 0);
    c.ClickRow(row);
    QVERIFY(left->isEnabled() && right->isEnabled());
}

void TestExplorer::undoRedoFollowTheSelectedPair()
{
    Comparison& c = *mComparison;
    ProjectTreeNodeBase* a = c.StoryPair(3);
    ProjectTreeNodeBase* b = c.StoryPair(4);
    QAction* undo = c.Action("actionUndo");
    QAction* redo = c.Action("actionRedo");

    QVERIFY(c.Select(a));
    QUndoStack* stackA = c.ShownDiffModel()->UndoStack();
    c.ClickRow(ChangeRows(*c.ShownDiffModel()).first());
    PressAlt(c.DiffTable(), Qt::Key_Left);
    QVERIFY(c.Select(b));
    QUndoStack* stackB = c.ShownDiffModel()->UndoStack();
    QVERIFY(stackA != stackB);
    QCOMPARE(stackB->count(), 0);
    QVERIFY(!undo->isEnabled());

    c.ClickRow(ChangeRows(*c.ShownDiffModel()).first());
    PressAlt(c.DiffTable(), Qt::Key_Right);
    QCOMPARE(undo->text(), QStringLiteral("Undo Apply Right"));
    QTest::keySequence(&c.Explorer(), QKeySequence::Undo);
    QCOMPARE(stackB->index(), 0);
    QCOMPARE(stackA->index(), 1);
    QVERIFY(redo->isEnabled());

    QVERIFY(c.Select(a));
    QCOMPARE(undo->text(), QStringLiteral("Undo Apply Left"));
    QTest::keySequence(&c.Explorer(), QKeySequence::Undo);
    QCOMPARE(stackA->index(), 0);
    QCOMPARE(stackB->index(), 0);
    QTest::keySequence(&c.Explorer(), QKeySequence::Redo);
    QCOMPARE(stackA->index(), 1);
    QCOMPARE(stackB->index(), 0);
}

void TestExplorer::saveButtonFollowsEveryPair()
{
    Comparison& c = *mComparison;
    QSignalSpy dirty(&c.Explorer(), &CorvaneExplorer::dirty);
    QPushButton* save = c.SaveButton();

    QVERIFY(c.Select(c.StoryPair(3)));
    c.ClickRow(ChangeRows(*c.ShownDiffModel()).first());
    PressAlt(c.DiffTable(), Qt::Key_Left);
    QVERIFY(save->isEnabled());
    QVERIFY(c.Explorer().IsDirty() && c.Explorer().IsLeftDirty() && !c.Explorer().IsRightDirty());
    QCOMPARE(dirty.takeLast().at(0).toBool(), true);

    QVERIFY(c.Select(c.StoryPair(4)));
    c.ClickRow(ChangeRows(*c.ShownDiffModel()).first());
    PressAlt(c.DiffTable(), Qt::Key_Right);
    QVERIFY(c.Explorer().IsRightDirty());

    // Back to clean on this pair: the other pair still has an applied row.
    QTest::keySequence(&c.Explorer(), QKeySequence::Undo);
    QVERIFY(save->isEnabled());
    QCOMPARE(dirty.takeLast().at(0).toBool(), true);

    QVERIFY(c.Select(c.StoryPair(3)));
    QTest::keySequence(&c.Explorer(), QKeySequence::Undo);
    QVERIFY(!save->isEnabled());
    QVERIFY(!c.Explorer().IsDirty());
    QCOMPARE(dirty.takeLast().at(0).toBool(), false);

    QTest::keySequence(&c.Explorer(), QKeySequence::Redo);
    QVERIFY(save->isEnabled());
    QCOMPARE(dirty.takeLast().at(0).toBool(), true);
}

// The Save action writes the applied rows into the documents, diffs the
// pairs again and marks the tree from the saved contents.
void TestExplorer::saveWritesAppliedRowsAndRefreshes()
{
    Comparison& c = *mComparison;
    ProjectTreeNode<Asset>* colour = c.ColourPair(QStringLiteral("Harbour Blue"));
    QVERIFY(colour);
    QCOMPARE(colour->NodeType(), HasEdits);
    QVERIFY(c.Select(colour));
    DiffModel* model = c.ShownDiffModel();
    QVERIFY(model->HasVerticalHeader());
    const QList<int> changes = ChangeRows(*model);
    QVERIFY(!changes.isEmpty());
    for (int row : changes)
    {
        c.ClickRow(row);
        PressAlt(c.DiffTable(), Qt::Key_Left);
    }
    QVERIFY(!XT::gProject->IsProjectModified(c.Left()));

    QSignalSpy saved(&c.Explorer(), &CorvaneExplorer::saveInvoked);
    QToolBar* toolBar = Child<QToolBar>(c.Explorer(), "mToolBar");
    QTest::mouseClick(toolBar->widgetForAction(c.Action("actionSave")), Qt::LeftButton);
    QCOMPARE(saved.count(), 1);

    QVERIFY(XT::gProject->IsProjectModified(c.Left()));
    QVERIFY(!XT::gProject->IsProjectModified(c.Right()));
    QCOMPARE(colour->mLeft.ToString(), colour->mRight.ToString());
    QCOMPARE(colour->NodeType(), Identical);
    QCOMPARE(c.ShownDiffModel(), model);
    QVERIFY(ChangeRows(*model).isEmpty());
    QCOMPARE(model->UndoStack()->count(), 0);
    QVERIFY(!c.SaveButton()->isEnabled());
    for (const char* name : {"actionCopyLeft", "actionCopyRight", "actionNextDiff", "actionPreviousDiff"})
        QVERIFY2(!c.Action(name)->isEnabled(), name);
}

void TestExplorer::endingTheRun_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("closeRequests");

    QTest::newRow("escape in the window") << "escape window" << 0 << 1;
    QTest::newRow("escape in the patch table") << "escape table" << 0 << 1;
    QTest::newRow("cancel button") << "cancel" << 0 << 0;
    QTest::newRow("save button") << "save" << 1 << 0;
}

// Escape takes the close path (the invoker is asked), Cancel and Save end the
// run at once; none of them saves anything or asks anything itself.
void TestExplorer::endingTheRun()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    QFETCH(int, closeRequests);
    Comparison& c = *mComparison;

    QVERIFY(c.Select(c.StoryPair(3)));
    c.ClickRow(ChangeRows(*c.ShownDiffModel()).first());
    PressAlt(c.DiffTable(), Qt::Key_Left);

    QSignalSpy closing(&c.Explorer(), qOverload<QCloseEvent*>(&CorvaneExplorer::closeInvoked));
    QSignalSpy saving(&c.Explorer(), &CorvaneExplorer::saveInvoked);
    QSignalSpy finished(&c.Explorer(), &CorvaneExplorer::finished);
    QSignalSpy accepted(&c.Explorer(), &CorvaneExplorer::accepted);
    QSignalSpy rejected(&c.Explorer(), &CorvaneExplorer::rejected);

    QTimer::singleShot(0, &c.Explorer(),
                       [&]()
                       {
                           if (how == QLatin1String("escape window"))
                               QTest::keyClick(&c.Explorer(), Qt::Key_Escape);
                           else if (how == QLatin1String("escape table"))
                               QTest::keyClick(c.DiffTable(), Qt::Key_Escape);
                           else if (how == QLatin1String("cancel"))
                               QTest::mouseClick(c.CancelButton(), Qt::LeftButton);
                           else
                               QTest::mouseClick(c.SaveButton(), Qt::LeftButton);
                       });
    QCOMPARE(c.Explorer().exec(), result);

    QVERIFY(!c.Explorer().isVisible());
    QCOMPARE(closing.count(), closeRequests);
    QCOMPARE(saving.count(), 0);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), result);
    QCOMPARE(accepted.count(), result == 1 ? 1 : 0);
    QCOMPARE(rejected.count(), result == 0 ? 1 : 0);
    QVERIFY(!XT::gProject->IsProjectModified(c.Left()));
    QVERIFY(!XT::gProject->IsProjectModified(c.Right()));
    QVERIFY(c.Explorer().IsDirty());
}

void TestExplorer::geometryIsStoredAndRestored()
{
    const QRect placed(60, 70, 700, 520);
    mComparison->Explorer().setGeometry(placed);
    QTimer::singleShot(0, &mComparison->Explorer(), [this]() { mComparison->Explorer().reject(); });
    mComparison->Explorer().exec();
    QVERIFY(TestSettings().contains(QStringLiteral("CorvaneExplorer/Geometry")));
    mComparison.reset();

    mComparison =
        std::make_unique<Comparison>(mSession->Host(), SamplePath(kLeftSample), SamplePath(kRightSample));
    QCOMPARE(mComparison->Explorer().geometry(), placed);
}

void TestExplorer::acceptedSettingsFilterTheTreeAtOnce()
{
    Comparison& c = *mComparison;
    c.TreeView()->expandAll();
    QVERIFY(VisibleLeafTypes(c).contains(Identical));
    const int folders = c.Proxy().rowCount(c.Proxy().index(0, 0));

    WhenModal<Settings>(
        [](Settings* settings)
        {
            Child<QTabWidget>(*settings, "mSettingsTab")->setCurrentIndex(0);
            auto* identical = Child<QCheckBox>(*settings, "showIdenticalCheck");
            QTest::mouseClick(identical, Qt::LeftButton, Qt::NoModifier, identical->rect().center());
            auto* ok = Child<QPushButton>(*settings, "okButton");
            QTest::mouseClick(ok, Qt::LeftButton, Qt::NoModifier, ok->rect().center());
        });
    QToolBar* toolBar = Child<QToolBar>(c.Explorer(), "mToolBar");
    QTest::mouseClick(toolBar->widgetForAction(c.Action("actionSettings")), Qt::LeftButton);

    QCOMPARE(TestSettings().value(QStringLiteral("prefs/ViewOptions")).toInt(), 11);
    const QList<int> leaves = VisibleLeafTypes(c);
    QVERIFY(!leaves.isEmpty());
    QVERIFY(!leaves.contains(Identical));
    // Nodes with children stay, whatever their status.
    QCOMPARE(c.Proxy().rowCount(c.Proxy().index(0, 0)), folders);
}

QTEST_MAIN(TestExplorer)
#include "tst_explorer.moc"
