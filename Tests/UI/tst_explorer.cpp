// The explorer window on the bundled sample projects, through the plug-in's
// real activation, with real clicks and key presses.

#include "AboutDialog.h"
#include "CorvaneExplorer.h"
#include "DiffModel.h"
#include "ExplorerFixture.h"
#include "UserSettings.h"
#include "HostSession.h"
#include "PluginSession.h"
#include "PreviewModel.h"
#include "ProjectGenerator.h"
#include "ProjectTree.h"
#include "ProjectTreeProxy.h"
#include "Settings.h"
#include "TreeItemDelegate.h"
#include "UiTestSupport.h"
#include "XTCalls.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolTip>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <QUndoStack>

namespace
{

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

// Copies every change row of the shown pair one by one, with clicks and keys.
void CopyEveryRow(const Comparison& comparison, Qt::Key key)
{
    DiffModel* model = comparison.ShownDiffModel();
    for (int row : ChangeRows(*model))
    {
        comparison.ClickRow(row);
        PressAlt(comparison.DiffTable(), key);
    }
}

void ClickSave(const Comparison& comparison)
{
    QToolBar* toolBar = Child<QToolBar>(comparison.Explorer(), "mToolBar");
    QTest::mouseClick(toolBar->widgetForAction(comparison.Action("actionSave")), Qt::LeftButton);
}

// Whether every row of the patch table has the height its contents ask for:
// measuring a row again leaves its height as it was.
bool RowsFitTheirContents(QTableView* table)
{
    bool fit = true;
    for (int row = 0; row < table->model()->rowCount(); ++row)
    {
        const int height = table->rowHeight(row);
        table->resizeRowToContents(row);
        fit = fit && table->rowHeight(row) == height;
    }
    return fit;
}

// The node whose tree text is that, depth first.
ProjectTreeNodeBase* Named(const Comparison& comparison, const QString& text)
{
    return comparison.Find([&](ProjectTreeNodeBase& node) { return node.Data(0).toString() == text; });
}

} // namespace

class TestExplorer : public SampleComparisonTest
{
    Q_OBJECT

private slots:
    void aboutFromTheHelpMenu();

    void reselectingReusesModels();
    void previewCacheKeepsTheHundredMostRecent_data();
    void previewCacheKeepsTheHundredMostRecent();
    void columnsShareTheTableWidth();

    void altArrowsJumpBetweenChanges();
    void differencesFollowOneAnotherAcrossItems();
    void altDownInTheTreeIsNotTheNextRow();
    void copyActionsFollowTheCurrentRow();
    void saveButtonFollowsEveryPair();

    void saveWritesAppliedRowsAndRefreshes();

    void endingTheRun_data();
    void endingTheRun();
    void geometryIsStoredAndRestored();

    void rollupCountsWhatLiesBelow_data();
    void rollupCountsWhatLiesBelow();
    void rollupBadgeStaysInANarrowTree();

    void statusFollowsCopiesUndoAndSave();
    void filterFollowsCopiesOnceTheItemIsLeft();
    void rowsAreMeasuredAfterCopyAndSave();

    void copyAllIsOneStepAfterTheCount_data();
    void copyAllIsOneStepAfterTheCount();
    void onlyDifferencesToggleIsTheViewOption();
    void formattingSettingComparesAgain();
    void renamedBoxDiffersAndItsNameIsCopied();
    void statusBarCountsDifferencesAndPlace();
    void copyAllOfAContainerIsOneStep();
    void oneSidedItemIsOneDifference_data();
    void oneSidedItemIsOneDifference();
    void countsFollowCopyAllOfTheProject();
    void projectFilesPathIsNoDifference();
    void commandsAreInTheMenus();
    void onlyDifferingRowsToggle();
    void changeRowsMarkWhatChangedAndWhereItWent();
    void rescanKeepsOrDropsUnsavedCopies_data();
    void rescanKeepsOrDropsUnsavedCopies();
    void swapSidesTradesTheProjects();
};

void TestExplorer::aboutFromTheHelpMenu()
{
    auto* bar = Child<QMenuBar>(mComparison->Explorer(), "mMenubar");
    auto* help = Child<QMenu>(mComparison->Explorer(), "menuHelp");
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->actionGeometry(help->menuAction()).center());
    QTRY_VERIFY(help->isVisible());

    // Not resizable, and its picture comes from the compiled-in resource.
    QString title;
    bool fixed = false, pictures = false;
    WhenModal<AboutDialog>(
        [&](AboutDialog* about)
        {
            title = about->windowTitle();
            fixed = about->minimumSize() == about->maximumSize();
            pictures = !about->windowIcon().isNull() &&
                       !Child<QLabel>(*about, "label")->pixmap(Qt::ReturnByValue).isNull();
            auto* close = Child<QDialogButtonBox>(*about, "buttonBox")->button(QDialogButtonBox::Close);
            QTest::mouseClick(close, Qt::LeftButton, Qt::NoModifier, close->rect().center());
        });
    QAction* about = mComparison->Action("actionAbout");
    QTest::mouseClick(help, Qt::LeftButton, Qt::NoModifier, help->actionGeometry(about).center());
    QTRY_COMPARE(title, QStringLiteral("About CorvaneXT"));
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(fixed && pictures);
}

// A pair keeps its patch and preview models, and their history, while
// other pairs are shown or nothing is; with nothing selected the tables are
// empty, nothing can be copied or undone, and next and previous difference
// go to the first and the last difference of the comparison.
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
    QVERIFY(changes.size() >= 2);
    c.ClickRow(changes.first());
    PressAlt(c.DiffTable(), Qt::Key_Left);
    QCOMPARE(model->UndoStack()->count(), 1);

    QVERIFY(c.Select(second));
    QVERIFY(c.ShownDiffModel() != model);
    QVERIFY(c.ShownPreviewModel() != preview);

    QVERIFY(c.Select(first));
    c.ClickRow(ChangeRows(*model).first());
    QVERIFY(c.Action("actionCopyLeft")->isEnabled());
    // Ctrl+click on the selected item deselects it.
    QTest::mouseClick(c.TreeView()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      c.TreeView()->visualRect(c.ViewIndex(first)).center());
    QVERIFY(!c.TreeView()->selectionModel()->hasSelection());
    QVERIFY(!c.DiffTable()->model());
    QVERIFY(!c.PreviewTable()->model());
    for (const char* name : {"actionCopyLeft", "actionCopyRight", "actionUndo", "actionRedo"})
        QVERIFY2(!c.Action(name)->isEnabled(), name);
    QVERIFY(c.Action("actionNextDiff")->isEnabled() && c.Action("actionPreviousDiff")->isEnabled());
    PressAlt(c.TreeView(), Qt::Key_Up);
    QCOMPARE(c.TreeView()->currentIndex().data().toString(), QStringLiteral("Signal Red | Missing Asset"));
    QVERIFY(c.TreeView()->selectionModel()->isSelected(c.TreeView()->currentIndex()));
    QTest::mouseClick(c.TreeView()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      c.TreeView()->visualRect(c.TreeView()->currentIndex()).center());
    QVERIFY(!c.TreeView()->selectionModel()->hasSelection());
    PressAlt(c.TreeView(), Qt::Key_Down);
    QCOMPARE(c.TreeView()->currentIndex().data().toString(), QStringLiteral("Missing Spread | Letters 4"));
    QCOMPARE(CurrentRow(c), ChangeRows(*c.ShownDiffModel()).first());

    QVERIFY(c.Select(first));
    QCOMPARE(c.ShownDiffModel(), model);
    QCOMPARE(c.ShownPreviewModel(), preview);
    QCOMPARE(model->UndoStack()->count(), 1);
    QCOMPARE(model->UndoStack()->index(), 1);
    QVERIFY(model->IsEquality(model->index(changes.first(), 0)));
    QVERIFY(c.Action("actionUndo")->isEnabled());
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

    // A cached spread keeps no pictures; shown again, it is drawn anew.
    const auto spread = std::find_if(nodes.begin(), nodes.end(), [](ProjectTreeNodeBase* node)
                                     { return dynamic_cast<ProjectTreeNode<Spread>*>(node) != nullptr; });
    QVERIFY(spread != nodes.end());
    auto picture = [&] { return qvariant_cast<QImage>(c.PreviewTable()->model()->index(0, 0).data(Qt::DecorationRole)); };
    QVERIFY(c.Select(*spread));
    const QImage drawn = picture();
    QVERIFY(!drawn.isNull());
    QVERIFY(c.Select(evicted));
    QVERIFY(c.Select(*spread));
    QCOMPARE(picture(), drawn);
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

// From every row, Alt+Down lands on the next row below that is not an
// equality and Alt+Up on the previous one above; past the last (first) change
// they go on to the next (previous) differing item of the tree.
void TestExplorer::altArrowsJumpBetweenChanges()
{
    Comparison& c = *mComparison;
    ProjectTreeNodeBase* story = c.StoryPair(3);
    QVERIFY(c.Select(story));
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
        QVERIFY(c.Select(story));
        c.ClickRow(row);
        QVERIFY(c.Action("actionNextDiff")->isEnabled());
        QVERIFY(c.Action("actionPreviousDiff")->isEnabled());
        PressAlt(c.DiffTable(), Qt::Key_Down);
        if (next >= 0)
            QCOMPARE(CurrentRow(c), next);
        else
        {
            QCOMPARE(&c.ShownPreviewModel()->Node(), static_cast<ProjectTreeNodeBase*>(c.StoryPair(4)));
            QCOMPARE(CurrentRow(c), ChangeRows(*c.ShownDiffModel()).first());
        }

        QVERIFY(c.Select(story));
        c.ClickRow(row);
        PressAlt(c.DiffTable(), Qt::Key_Up);
        if (previous >= 0)
            QCOMPARE(CurrentRow(c), previous);
        else
            QVERIFY(c.ShownDiffModel() != model);
    }
}

// Without a current row, Alt+Down from the tree goes to the pair's first
// change, and on through every change of every differing item; Alt+Up walks
// back the same way. Identical items and folders are passed over.
void TestExplorer::differencesFollowOneAnotherAcrossItems()
{
    Comparison& c = *mComparison;
    QVERIFY(c.Select(c.StoryPair(1)));
    QVERIFY(!c.ShownDiffModel() || ChangeRows(*c.ShownDiffModel()).isEmpty());
    QVERIFY(c.TreeView()->hasFocus());

    struct Stop
    {
        ProjectTreeNodeBase* node;
        int row;
    };
    QList<Stop> stops;
    for (int number : {3, 4})
    {
        QVERIFY(c.Select(c.StoryPair(number)));
        for (int row : ChangeRows(*c.ShownDiffModel()))
            stops.append({c.StoryPair(number), row});
    }
    stops.append({c.StoryPair(6), -1});
    QVERIFY(c.Select(c.StoryPair(1)));

    for (const Stop& stop : stops)
    {
        PressAlt(c.TreeView(), Qt::Key_Down);
        QCOMPARE(&c.ShownPreviewModel()->Node(), stop.node);
        if (stop.row >= 0)
            QCOMPARE(CurrentRow(c), stop.row);
    }
    for (int i = stops.size() - 2; i >= 0; --i)
    {
        PressAlt(c.DiffTable(), Qt::Key_Up);
        QCOMPARE(&c.ShownPreviewModel()->Node(), stops.at(i).node);
        QCOMPARE(CurrentRow(c), stops.at(i).row);
    }
}

// In the tree Alt+Down never moves to the next row: at the last difference
// it does nothing.
void TestExplorer::altDownInTheTreeIsNotTheNextRow()
{
    Comparison& c = *mComparison;
    // The last item of the tree is an identical layer; the one before it too.
    c.TreeView()->expandAll();
    const QAbstractItemModel* model = c.TreeView()->model();
    QModelIndex last = model->index(model->rowCount() - 1, 0);
    while (model->rowCount(last) > 0)
        last = model->index(model->rowCount(last) - 1, 0, last);
    const QModelIndex before = last.sibling(last.row() - 1, 0);
    QVERIFY(before.isValid());
    QCOMPARE(before.data(ProjectTree::ShownStatusRole).toInt(), int(Identical));
    c.TreeView()->scrollTo(before);
    QTest::mouseClick(c.TreeView()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      c.TreeView()->visualRect(before).center());
    QCOMPARE(c.TreeView()->currentIndex(), before);
    QVERIFY(!c.Action("actionNextDiff")->isEnabled());
    PressAlt(c.TreeView(), Qt::Key_Down);
    QCOMPARE(c.TreeView()->currentIndex(), before);
    QVERIFY(c.Action("actionPreviousDiff")->isEnabled());
}

// The current row is the clicked one (arrow keys do not move it), and the
// copies apply to it when it is a change.
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
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up})
        {
            QTest::keyClick(c.DiffTable(), key);
            QCOMPARE(CurrentRow(c), row);
        }
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

// The Save button and the dirty sides follow the copies of every pair, not
// only of the one shown.
void TestExplorer::saveButtonFollowsEveryPair()
{
    Comparison& c = *mComparison;
    QPushButton* save = c.SaveButton();
    QVERIFY(c.Select(c.StoryPair(3)));
    c.ClickRow(ChangeRows(*c.ShownDiffModel()).first());
    PressAlt(c.DiffTable(), Qt::Key_Left);
    QVERIFY(c.Select(c.StoryPair(4)));
    c.ClickRow(ChangeRows(*c.ShownDiffModel()).first());
    PressAlt(c.DiffTable(), Qt::Key_Right);
    QVERIFY(save->isEnabled() && c.Explorer().IsLeftDirty() && c.Explorer().IsRightDirty());
    // Back to clean on this pair: the other pair still has an applied row.
    QTest::keySequence(&c.Explorer(), QKeySequence::Undo);
    QVERIFY(save->isEnabled() && c.Explorer().IsLeftDirty() && !c.Explorer().IsRightDirty());
    QVERIFY(c.Select(c.StoryPair(3)));
    QTest::keySequence(&c.Explorer(), QKeySequence::Undo);
    QVERIFY(!save->isEnabled() && !c.Explorer().IsDirty());
    QTest::keySequence(&c.Explorer(), QKeySequence::Redo);
    QVERIFY(save->isEnabled());
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
    // The comparison is built anew from the documents, and the same item is
    // shown again, with nothing left to copy or undo.
    colour = c.ColourPair(QStringLiteral("Harbour Blue"));
    QVERIFY(colour);
    QCOMPARE(colour->mLeft.ToString(), colour->mRight.ToString());
    QCOMPARE(colour->NodeType(), Identical);
    QVERIFY(c.TreeView()->selectionModel()->isSelected(c.ViewIndex(colour)));
    model = c.ShownDiffModel();
    QVERIFY(model);
    QVERIFY(ChangeRows(*model).isEmpty());
    QCOMPARE(model->UndoStack()->count(), 0);
    // Nothing here saves what the window asked to save: the host holds the
    // written rows unsaved, and Save stays on for them.
    QVERIFY(c.SaveButton()->isEnabled());
    // Next and previous lead on to the other differing items.
    for (const char* name : {"actionCopyLeft", "actionCopyRight"})
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

    if (how == QLatin1String("cancel"))
        QCOMPARE(c.CancelButton()->toolTip(), QStringLiteral("Close without saving; copies not saved are discarded"));
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

void TestExplorer::rollupCountsWhatLiesBelow_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("ownStatus");
    QTest::addColumn<int>("edited");
    QTest::addColumn<int>("leftOnly");
    QTest::addColumn<int>("rightOnly");

    // Layout 1's own properties are equal; it holds a spread and two pages
    // only the right has, five edited boxes (one of them renamed, one that
    // lost its colour), one box only the left has and three only the right
    // has.
    QTest::newRow("layout with differing spreads and boxes")
        << "Print edition | Print edition" << int(Identical) << 5 << 1 << 6;
    QTest::newRow("layout with one edited box") << "Web teaser | Web teaser" << int(Identical) << 1 << 0 << 0;
    QTest::newRow("one-sided layout") << "Missing Layout | Tablet feature" << int(OnlyInRight) << 0 << 0 << 3;
    QTest::newRow("stories folder") << "Stories" << int(Folder) << 2 << 0 << 3;
    QTest::newRow("asset kind") << "Colors" << int(Folder) << 2 << 1 << 1;
    QTest::newRow("identical spread") << "Cover 1 | Cover 1" << int(Identical) << 0 << 0 << 0;
}

// Every container tells how much differs below it, by role and by tooltip,
// while its own status still speaks of its own properties only.
void TestExplorer::rollupCountsWhatLiesBelow()
{
    QFETCH(QString, item);
    QFETCH(int, ownStatus);
    QFETCH(int, edited);
    QFETCH(int, leftOnly);
    QFETCH(int, rightOnly);
    Comparison& c = *mComparison;
    ProjectTreeNodeBase* node = Named(c, item);
    QVERIFY(node);
    const QModelIndex index = c.ViewIndex(node);
    QVERIFY(index.isValid());

    QCOMPARE(index.data(ProjectTree::StatusRole).toInt(), ownStatus);
    QCOMPARE(index.data(ProjectTree::EditedBelowRole).toInt(), edited);
    QCOMPARE(index.data(ProjectTree::LeftOnlyBelowRole).toInt(), leftOnly);
    QCOMPARE(index.data(ProjectTree::RightOnlyBelowRole).toInt(), rightOnly);

    const QString tip = index.data(Qt::ToolTipRole).toString();
    QCOMPARE(tip.contains(QStringLiteral("Below:")), edited + leftOnly + rightOnly > 0);
    if (edited)
        QVERIFY2(tip.contains(QStringLiteral("%1 edited").arg(edited)), qPrintable(tip));
    if (leftOnly)
        QVERIFY2(tip.contains(QStringLiteral("%1 only left").arg(leftOnly)), qPrintable(tip));
    if (rightOnly)
        QVERIFY2(tip.contains(QStringLiteral("%1 only right").arg(rightOnly)), qPrintable(tip));
}

// Squeezed to a narrow strip, the tree still draws a container's counts at
// the right edge of its row, inside what the user sees.
void TestExplorer::rollupBadgeStaysInANarrowTree()
{
    Comparison& c = *mComparison;
    QTreeView* tree = c.TreeView();
    tree->setFixedWidth(140);
    QTest::qWait(20);
    const QModelIndex index = c.ViewIndex(Named(c, QStringLiteral("Print edition | Print edition")));
    QVERIFY(index.isValid());
    const QRect row = tree->visualRect(index);
    QVERIFY(row.isValid());
    const QImage image = tree->viewport()->grab().toImage();
    const int right = qMin(row.right(), tree->viewport()->width() - 1);
    int badge = 0;
    for (int x = right - 30; x <= right; ++x)
        for (int y = row.top(); y <= row.bottom(); ++y)
            badge += image.pixelColor(x, y) == TreeItemDelegate::BadgeColor() ? 1 : 0;
    QVERIFY2(badge > 20, qPrintable(QString::number(badge)));
}

// Copying every row of a story makes it identical in the tree at once, as a
// pending status; undo takes it back, redo brings it again, and the
// container's counts follow. Save makes it the pair's own status.
void TestExplorer::statusFollowsCopiesUndoAndSave()
{
    Comparison& c = *mComparison;
    ProjectTreeNodeBase* story = c.StoryPair(3);
    ProjectTreeNodeBase* stories = Named(c, QStringLiteral("Stories"));
    QVERIFY(c.Select(story));
    const QModelIndex index = c.ViewIndex(story);
    const QModelIndex folder = c.ViewIndex(stories);
    QCOMPARE(index.data(ProjectTree::ShownStatusRole).toInt(), int(HasEdits));
    QCOMPARE(folder.data(ProjectTree::EditedBelowRole).toInt(), 2);

    CopyEveryRow(c, Qt::Key_Left);
    QCOMPARE(index.data(ProjectTree::ShownStatusRole).toInt(), int(Identical));
    QCOMPARE(index.data(ProjectTree::StatusRole).toInt(), int(HasEdits));
    QVERIFY(index.data(ProjectTree::PendingRole).toBool());
    QCOMPARE(folder.data(ProjectTree::EditedBelowRole).toInt(), 1);

    QTest::keySequence(&c.Explorer(), QKeySequence::Undo);
    QCOMPARE(index.data(ProjectTree::ShownStatusRole).toInt(), int(HasEdits));
    QCOMPARE(folder.data(ProjectTree::EditedBelowRole).toInt(), 2);
    QTest::keySequence(&c.Explorer(), QKeySequence::Redo);
    QCOMPARE(index.data(ProjectTree::ShownStatusRole).toInt(), int(Identical));

    ClickSave(c);
    const QModelIndex after = c.ViewIndex(c.StoryPair(3));
    QVERIFY(after.isValid());
    QCOMPARE(after.data(ProjectTree::StatusRole).toInt(), int(Identical));
    QCOMPARE(after.data(ProjectTree::ShownStatusRole).toInt(), int(Identical));
    QVERIFY(!after.data(ProjectTree::PendingRole).toBool());
    QCOMPARE(c.ViewIndex(Named(c, QStringLiteral("Stories"))).data(ProjectTree::EditedBelowRole).toInt(), 1);
}

// With identical items hidden, a story copied whole stays while selected and
// leaves the tree once the user moves on.
void TestExplorer::filterFollowsCopiesOnceTheItemIsLeft()
{
    UserSettings::Get().SetViewOptions(11);
    Comparison& c = *mComparison;
    ProjectTreeNodeBase* story = c.StoryPair(3);
    QVERIFY(c.Select(story));
    CopyEveryRow(c, Qt::Key_Right);
    QVERIFY(c.ViewIndex(story).isValid());

    // (Story 3 goes from above Story 4 as the click lands: its index is
    // looked up again.)
    const QModelIndex next = c.ViewIndex(c.StoryPair(4));
    QTest::mouseClick(c.TreeView()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      c.TreeView()->visualRect(next).center());
    QVERIFY(c.TreeView()->selectionModel()->isSelected(c.ViewIndex(c.StoryPair(4))));
    QVERIFY(!c.ViewIndex(story).isValid());
    QVERIFY(c.ViewIndex(c.StoryPair(4)).isValid());
}

// A copied row shows the other side's text and takes its height; after a save
// the rebuilt rows are measured again.
void TestExplorer::rowsAreMeasuredAfterCopyAndSave()
{
    Comparison& c = *mComparison;
    QVERIFY(c.Select(c.StoryPair(3)));
    QTableView* table = c.DiffTable();
    QVERIFY(RowsFitTheirContents(table));
    CopyEveryRow(c, Qt::Key_Left);
    QVERIFY(RowsFitTheirContents(table));
    ClickSave(c);
    QVERIFY(RowsFitTheirContents(table));
}

// The status bar counts the differing items of the whole comparison and the
// selected pair's changes, and says which one is current.
void TestExplorer::statusBarCountsDifferencesAndPlace()
{
    Comparison& c = *mComparison;
    auto* whole = Child<QLabel>(c.Explorer(), "mComparisonStatus");
    auto* selected = Child<QLabel>(c.Explorer(), "mSelectionStatus");
    QVERIFY(whole->isVisible());
    const ProjectTree::Rollup all = c.Tree().RollupOf(c.Tree().Root()->Child(0));
    QVERIFY(all.Total() > 10);
    QVERIFY2(whole->text().startsWith(QStringLiteral("%1 differing items").arg(all.Total())),
             qPrintable(whole->text()));

    QVERIFY(c.Select(c.StoryPair(3)));
    DiffModel* model = c.ShownDiffModel();
    const QList<int> changes = ChangeRows(*model);
    QVERIFY(changes.size() >= 2);
    QCOMPARE(selected->text(), QStringLiteral("Story 3 | Story 3: %1 differences").arg(changes.size()));
    c.ClickRow(changes.at(1));
    QCOMPARE(selected->text(),
             QStringLiteral("Story 3 | Story 3: %1 differences, difference 2 of %1").arg(changes.size()));

    // A copied row is no longer counted, here or in the whole comparison
    // once the pair is resolved.
    CopyEveryRow(c, Qt::Key_Left);
    QCOMPARE(selected->text(), QStringLiteral("Story 3 | Story 3: 0 differences"));
    QVERIFY2(whole->text().startsWith(QStringLiteral("%1 differing items").arg(all.Total() - 1)),
             qPrintable(whole->text()));
}

void TestExplorer::copyAllIsOneStepAfterTheCount_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<QString>("side");
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("yes");
    QTest::newRow("all left") << Qt::Key_Left << "LHS"
                              << "Copy All Left" << true;
    QTest::newRow("all right") << Qt::Key_Right << "RHS"
                               << "Copy All Right" << true;
    QTest::newRow("all right, cancelled") << Qt::Key_Right << "RHS" << QString() << false;
}

// Alt+Shift+Left/Right asks with the count first, then copies every change
// row as one step: one Undo takes them all back, and Save writes them.
// Cancelled, it changes nothing.
void TestExplorer::copyAllIsOneStepAfterTheCount()
{
    QFETCH(Qt::Key, key);
    QFETCH(QString, side);
    QFETCH(QString, step);
    QFETCH(bool, yes);
    Comparison& c = *mComparison;
    ProjectTreeNode<Story>* story = c.StoryPair(3);
    QVERIFY(c.Select(story));
    DiffModel* model = c.ShownDiffModel();
    const QList<int> rows = ChangeRows(*model);
    const int changes = rows.size();
    QVERIFY(changes >= 2);

    QString question;
    WhenModal<QMessageBox>(
        [&](QMessageBox* box)
        {
            question = box->text();
            box->button(yes ? QMessageBox::Yes : QMessageBox::Cancel)->click();
        });
    QTest::keyClick(c.DiffTable(), key, Qt::AltModifier | Qt::ShiftModifier);
    QTRY_VERIFY(!question.isEmpty());
    QCOMPARE(question,
             QStringLiteral("Copy %1 differences of Story 3 | Story 3 to the %2?").arg(changes).arg(side));
    if (!yes)
    {
        QCOMPARE(ChangeRows(*model), rows);
        QCOMPARE(model->UndoStack()->count(), 0);
        return;
    }
    QVERIFY(ChangeRows(*model).isEmpty());
    QCOMPARE(model->UndoStack()->count(), 1);
    QCOMPARE(c.Action("actionUndo")->text(), QStringLiteral("Undo ") + step);
    QCOMPARE(c.Explorer().IsLeftDirty(), key == Qt::Key_Left);
    QCOMPARE(c.Explorer().IsRightDirty(), key == Qt::Key_Right);
    QVERIFY(!c.Action("actionCopyAllLeft")->isEnabled());

    // Back in the window once the question is gone.
    c.Explorer().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&c.Explorer()));
    QTest::keySequence(&c.Explorer(), QKeySequence::Undo);
    QCOMPARE(ChangeRows(*model).size(), changes);
    QVERIFY(!c.Explorer().IsDirty());
    QTest::keySequence(&c.Explorer(), QKeySequence::Redo);
    ClickSave(c);
    story = c.StoryPair(3);
    QCOMPARE(story->mLeft.ToString(), story->mRight.ToString());
    QCOMPARE(story->NodeType(), Identical);
}

// The toolbar toggle hides identical items at once and is the same option as
// the Settings dialog's "show identical items", which, accepted, filters the
// tree at once too.
void TestExplorer::onlyDifferencesToggleIsTheViewOption()
{
    Comparison& c = *mComparison;
    c.TreeView()->expandAll();
    QAction* only = c.Action("actionShowOnlyDifferences");
    QVERIFY(only && !only->isChecked());
    QVERIFY(VisibleLeafTypes(c).contains(Identical));
    const int folders = c.Proxy().rowCount(c.Proxy().index(0, 0));

    QToolBar* toolBar = Child<QToolBar>(c.Explorer(), "mToolBar");
    QTest::mouseClick(toolBar->widgetForAction(only), Qt::LeftButton);
    QVERIFY(only->isChecked());
    QCOMPARE(TestSettings().value(QStringLiteral("prefs/ViewOptions")).toInt(), 11);
    QVERIFY(!VisibleLeafTypes(c).contains(Identical));
    QVERIFY(VisibleLeafTypes(c).contains(HasEdits));
    // Nodes with children stay, whatever their status.
    QCOMPARE(c.Proxy().rowCount(c.Proxy().index(0, 0)), folders);

    // Settings shows it unchecked; checking it there clears the toggle.
    bool shownChecked = true;
    WhenModal<Settings>(
        [&](Settings* settings)
        {
            Child<QTabWidget>(*settings, "mSettingsTab")->setCurrentIndex(0);
            auto* identical = Child<QCheckBox>(*settings, "showIdenticalCheck");
            shownChecked = identical->isChecked();
            // On its label: the box is as wide as the dialog's longest one.
            QTest::mouseClick(identical, Qt::LeftButton, Qt::NoModifier,
                              QPoint(identical->sizeHint().width() / 2, identical->height() / 2));
            auto* ok = Child<QPushButton>(*settings, "okButton");
            QTest::mouseClick(ok, Qt::LeftButton, Qt::NoModifier, ok->rect().center());
        });
    QTest::mouseClick(toolBar->widgetForAction(c.Action("actionSettings")), Qt::LeftButton);
    QVERIFY(!shownChecked);
    QVERIFY(!only->isChecked());
    QCOMPARE(TestSettings().value(QStringLiteral("prefs/ViewOptions")).toInt(), 15);
    QVERIFY(VisibleLeafTypes(c).contains(Identical));
}

// Whether formatting is compared decides which stories are identical: the
// Settings check box compares the projects again.
void TestExplorer::formattingSettingComparesAgain()
{
    Comparison& c = *mComparison;
    QCOMPARE(c.StoryPair(1)->NodeType(), Identical);
    // The RHS's story 1 made bold at its start, in the host, and compared again
    const XTTextRef right = c.StoryPair(1)->mRight.Text();
    HostString bold = XT::FromQString(QStringLiteral("0\u001Fbold\u001Eyes"));
    QCOMPARE(XT::gText->SetTextFormatting(right, 0, 4, bold), XT::kNoErr);
    XT::gStrings->ReleaseHostString(bold);
    QTest::keyClick(c.TreeView(), Qt::Key_F5);
    QCOMPARE(c.StoryPair(1)->NodeType(), HasEdits);

    for (const TreeNodeType shown : {Identical, HasEdits})
    {
        WhenModal<Settings>(
            [&](Settings* settings)
            {
                Child<QCheckBox>(*settings, "compareFormattingCheck")->click();
                Child<QPushButton>(*settings, "okButton")->click();
            });
        QTest::mouseClick(Child<QToolBar>(c.Explorer(), "mToolBar")->widgetForAction(c.Action("actionSettings")),
                          Qt::LeftButton);
        QCOMPARE(c.StoryPair(1)->NodeType(), shown);
    }
}

// A box whose name alone changed is edited; its first row is its name, which
// is copied and saved like any other property.
void TestExplorer::renamedBoxDiffersAndItsNameIsCopied()
{
    Comparison& c = *mComparison;
    auto* box =
        dynamic_cast<ProjectTreeNode<Box>*>(Named(c, QStringLiteral("Editorial(Text) | Leader(Text)")));
    QVERIFY(box);
    QCOMPARE(box->NodeType(), HasEdits);
    QVERIFY(c.Select(box));
    DiffModel* model = c.ShownDiffModel();
    QVERIFY(model->HasVerticalHeader());
    QCOMPARE(model->headerData(0, Qt::Vertical).toString(), QStringLiteral("Name"));
    for (int row = 0; row < model->rowCount(); ++row)
        QVERIFY2(!model->headerData(row, Qt::Vertical).toString().isEmpty(),
                 qPrintable(QString::number(row)));
    QCOMPARE(ChangeRows(*model), QList<int>{0});
    QCOMPARE(model->data(model->index(0, 0)).toString().trimmed(), QStringLiteral("Editorial"));
    QCOMPARE(model->data(model->index(0, 1)).toString().trimmed(), QStringLiteral("Leader"));

    c.ClickRow(0);
    PressAlt(c.DiffTable(), Qt::Key_Right);
    ClickSave(c);
    box = dynamic_cast<ProjectTreeNode<Box>*>(Named(c, QStringLiteral("Editorial(Text) | Editorial(Text)")));
    QVERIFY(box);
    QCOMPARE(box->NodeType(), Identical);
    QVERIFY(XT::gProject->IsProjectModified(c.Right()));
    QVERIFY(!XT::gProject->IsProjectModified(c.Left()));
}

// Copy All on a folder copies every difference below it, items only one
// side has included, after saying how many; one undo takes all of it back;
// saved, what the host refused is reported and the rest is in the document.
void TestExplorer::copyAllOfAContainerIsOneStep()
{
    Comparison& c = *mComparison;
    ProjectTreeNodeBase* colours = Named(c, QStringLiteral("Colors"));
    QVERIFY(colours);
    QVERIFY(c.Tree().RollupOf(colours).Total() >= 3);
    QVERIFY(c.Select(colours));
    QVERIFY(c.Action("actionCopyAllLeft")->isEnabled());
    QString question;
    WhenModal<QMessageBox>(
        [&](QMessageBox* box)
        {
            question = box->text();
            box->button(QMessageBox::Yes)->click();
        });
    QTest::keyClick(c.TreeView(), Qt::Key_Left, Qt::AltModifier | Qt::ShiftModifier);
    QTRY_VERIFY(!question.isEmpty());
    QVERIFY2(question.contains(QStringLiteral(" items of Colors to the LHS?")), qPrintable(question));
    QCOMPARE(c.Tree().RollupOf(colours).Total(), 0);
    QVERIFY(c.Explorer().IsLeftDirty());

    // Back in the window once the question is gone.
    c.Explorer().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&c.Explorer()));
    QTest::keySequence(&c.Explorer(), QKeySequence::Undo);
    QVERIFY(c.Tree().RollupOf(colours).Total() >= 3);
    QVERIFY(!c.Explorer().IsDirty());
    QTest::keySequence(&c.Explorer(), QKeySequence::Redo);
    QCOMPARE(c.Tree().RollupOf(colours).Total(), 0);

    // The left's own colour cannot go while its advertisement box has it
    // (the box is not below Colors): the save says so, and writes the rest.
    QString warning;
    WhenModal<QMessageBox>(
        [&](QMessageBox* box)
        {
            warning = box->informativeText();
            box->button(QMessageBox::Ok)->click();
        });
    ClickSave(c);
    QTRY_VERIFY(!warning.isEmpty());
    QVERIFY2(warning.startsWith(
                 QStringLiteral("Signal Red to the LHS: a box of this project still has the colour")),
             qPrintable(warning));
    colours = Named(c, QStringLiteral("Colors"));
    QVERIFY(colours);
    QCOMPARE(c.Tree().RollupOf(colours).Total(), 1);
    QVERIFY(Named(c, QStringLiteral("Sea Foam | Sea Foam")));
    QVERIFY(Named(c, QStringLiteral("Signal Red | Missing Asset")));
}

void TestExplorer::oneSidedItemIsOneDifference_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<QString>("side");
    QTest::newRow("box only the right has, copied left") << "Missing Box | Lantern(Picture)" << Qt::Key_Left
                                                         << "LHS";
    QTest::newRow("box only the left has, removed") << "Portrait(Picture) | Missing Box" << Qt::Key_Left << "LHS";
    QTest::newRow("box only the left has, copied right")
        << "Portrait(Picture) | Missing Box" << Qt::Key_Right << "RHS";
    QTest::newRow("story only the right has") << "Missing Story | Story 6" << Qt::Key_Left << "LHS";
    QTest::newRow("colour only the left has") << "Signal Red | Missing Asset" << Qt::Key_Right << "RHS";
}

// An item only one side has is made or removed whole, so it is one
// difference however many rows show it: the status bar and Copy All count
// it once, Next Difference stops on it once, and copying any of its rows
// copies them all, as one step.
void TestExplorer::oneSidedItemIsOneDifference()
{
    QFETCH(QString, item);
    QFETCH(Qt::Key, key);
    QFETCH(QString, side);
    Comparison& c = *mComparison;
    ProjectTreeNodeBase* node = Named(c, item);
    QVERIFY(node);
    QVERIFY(c.Select(node));
    DiffModel* model = c.ShownDiffModel();
    const QList<int> rows = ChangeRows(*model);
    QVERIFY(!rows.isEmpty());
    auto* status = Child<QLabel>(c.Explorer(), "mSelectionStatus");
    QCOMPARE(status->text(), item + QStringLiteral(": 1 difference"));

    // From the tree: the item's first row, then on to another item (or, at
    // the last one, nowhere).
    PressAlt(c.TreeView(), Qt::Key_Down);
    QCOMPARE(CurrentRow(c), rows.first());
    QCOMPARE(status->text(), item + QStringLiteral(": 1 difference, difference 1 of 1"));
    PressAlt(c.DiffTable(), Qt::Key_Down);
    QVERIFY(c.ShownDiffModel() != model || CurrentRow(c) == rows.first());

    QVERIFY(c.Select(node));
    QString question;
    WhenModal<QMessageBox>(
        [&](QMessageBox* box)
        {
            question = box->text();
            box->button(QMessageBox::Cancel)->click();
        });
    QTest::keyClick(c.TreeView(), key, Qt::AltModifier | Qt::ShiftModifier);
    QTRY_VERIFY(!question.isEmpty());
    QCOMPARE(question, QStringLiteral("Copy 1 difference of %1 to the %2?").arg(item, side));
    c.Explorer().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&c.Explorer()));

    c.ClickRow(rows.last());
    PressAlt(c.DiffTable(), key);
    QVERIFY(ChangeRows(*model).isEmpty());
    QCOMPARE(status->text(), item + QStringLiteral(": 0 differences"));
    QCOMPARE(model->UndoStack()->count(), 1);
    QTest::keySequence(&c.Explorer(), QKeySequence::Undo);
    QCOMPARE(ChangeRows(*model), rows);
}

// Copy All on the whole project: the badges, the icons and the status bar
// show at once what Save will leave, marked as not saved yet; undo takes it
// back, and Save leaves just that.
void TestExplorer::countsFollowCopyAllOfTheProject()
{
    Comparison& c = *mComparison;
    ProjectTreeNodeBase* project = c.Tree().Root()->Child(0);
    ProjectTreeNodeBase* layout = Named(c, QStringLiteral("Missing Layout | Tablet feature"));
    auto* whole = Child<QLabel>(c.Explorer(), "mComparisonStatus");
    const QString before = whole->text();
    const ProjectTree::Rollup all = c.Tree().RollupOf(project);
    QVERIFY(c.Tree().RollupOf(layout).Total() == 3);
    QVERIFY(c.Select(project));
    WhenModal<QMessageBox>([&](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
    QTest::keyClick(c.TreeView(), Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier);
    QTRY_VERIFY(c.Explorer().IsRightDirty());

    // What lies on a layout copied whole is settled with it.
    QCOMPARE(c.Tree().RollupOf(layout).Total(), 0);
    QCOMPARE(c.ViewIndex(layout).data(ProjectTree::RollupTextRole).toString(), QString());
    QCOMPARE(c.Tree().RollupOf(project).Total(), 0);
    QCOMPARE(whole->text(), QStringLiteral("The projects are identical once saved"));
    QVERIFY(c.ViewIndex(project).data(Qt::FontRole).value<QFont>().italic());
    QVERIFY2(c.ViewIndex(project).data(Qt::ToolTipRole).toString().contains(QStringLiteral("once saved")),
             qPrintable(c.ViewIndex(project).data(Qt::ToolTipRole).toString()));

    c.Explorer().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&c.Explorer()));
    QTest::keySequence(&c.Explorer(), QKeySequence::Undo);
    QCOMPARE(c.Tree().RollupOf(project), all);
    QCOMPARE(c.Tree().RollupOf(layout).Total(), 3);
    QCOMPARE(whole->text(), before);
    QTest::keySequence(&c.Explorer(), QKeySequence::Redo);

    ClickSave(c);
    project = c.Tree().Root()->Child(0);
    QCOMPARE(c.Tree().RollupOf(project).Total(), 0);
    QCOMPARE(whole->text(), QStringLiteral("The projects are identical"));
    QVERIFY(!c.ViewIndex(project).data(Qt::FontRole).value<QFont>().italic());
}

// Two projects lie in two files: the project pair compares what they hold,
// not where. A project and its copy in another folder are identical.
void TestExplorer::projectFilesPathIsNoDifference()
{
    mComparison.reset();
    const QString copy = mSession->TempPath(kLeftSample);
    QVERIFY(QFile::copy(SamplePath(kLeftSample), copy));
    mComparison = std::make_unique<Comparison>(mSession->Host(), SamplePath(kLeftSample), copy);
    QVERIFY(mComparison->IsOpen());
    Comparison& c = *mComparison;
    ProjectTreeNodeBase* project = c.Tree().Root()->Child(0);
    QCOMPARE(project->NodeType(), Identical);
    QCOMPARE(Child<QLabel>(c.Explorer(), "mComparisonStatus")->text(),
             QStringLiteral("The projects are identical"));
    QVERIFY(c.Select(project));
    DiffModel* model = c.ShownDiffModel();
    QVERIFY(model);
    for (int row = 0; row < model->rowCount(); ++row)
        QVERIFY(model->headerData(row, Qt::Vertical).toString() != QStringLiteral("Path"));
    QVERIFY(!c.Action("actionNextDiff")->isEnabled());
}

// The Edit menu holds every command on a pair with its keys, and the tree's
// and the table's context menus hold them too; Help > Keys and Usage (F1)
// lists the keys and says how a comparison goes.
void TestExplorer::commandsAreInTheMenus()
{
    Comparison& c = *mComparison;
    auto* edit = Child<QMenu>(c.Explorer(), "menuEdit");
    for (const char* name : {"actionNextDiff", "actionPreviousDiff", "actionCopyLeft", "actionCopyRight",
                             "actionCopyAllLeft", "actionCopyAllRight"})
    {
        QAction* action = c.Action(name);
        QVERIFY2(edit->actions().contains(action) && !action->shortcut().isEmpty(), name);
        QVERIFY2(c.TreeView()->actions().contains(action) && c.DiffTable()->actions().contains(action), name);
    }

    // A right click in the tree, then Next Diff in its menu: on to the first
    // difference after the identical story.
    QVERIFY(c.Select(c.StoryPair(1)));
    QStringList offered;
    QTimer::singleShot(50, &c.Explorer(),
                       [&]
                       {
                           auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                           if (!menu)
                               return;
                           for (QAction* action : menu->actions())
                               offered << action->text();
                           QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                                             menu->actionGeometry(c.Action("actionNextDiff")).center());
                       });
    const QPoint at = c.TreeView()->visualRect(c.ViewIndex(c.StoryPair(1))).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, c.TreeView()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(c.TreeView()->viewport(), &click);
    QTRY_VERIFY(!offered.isEmpty());
    QVERIFY2(offered.contains(QStringLiteral("Copy All Right")), qPrintable(offered.join(QLatin1Char('|'))));
    QTRY_COMPARE(&c.ShownPreviewModel()->Node(), static_cast<ProjectTreeNodeBase*>(c.StoryPair(3)));
    QCOMPARE(CurrentRow(c), ChangeRows(*c.ShownDiffModel()).first());

    QString page;
    WhenModal<QDialog>(
        [&](QDialog* dialog)
        {
            page = Child<QTextBrowser>(*dialog, "mHelpText")->toPlainText();
            dialog->reject();
        });
    c.Explorer().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&c.Explorer()));
    QTest::keyClick(c.TreeView(), Qt::Key_F1);
    QTRY_VERIFY(!page.isEmpty());
    for (const QString& part :
         {QStringLiteral("Next Diff"), QKeySequence(Qt::ALT | Qt::Key_Down).toString(QKeySequence::NativeText),
          QStringLiteral("Copy All Left"), QStringLiteral("Using it")})
        QVERIFY2(page.contains(part), qPrintable(part));
}

// The toggle hides the rows that are no change and shows them again; a
// copied row stays, and Next Difference still reaches every change.
void TestExplorer::onlyDifferingRowsToggle()
{
    Comparison& c = *mComparison;
    QVERIFY(c.Select(Named(c, QStringLiteral("Cover photo(Picture) | Cover photo(Picture)"))));
    DiffModel* model = c.ShownDiffModel();
    const QList<int> changes = ChangeRows(*model);
    QVERIFY(changes.size() < model->rowCount());
    QToolBar* toolBar = Child<QToolBar>(c.Explorer(), "mToolBar");
    QTest::mouseClick(toolBar->widgetForAction(c.Action("actionOnlyDifferingRows")), Qt::LeftButton);
    QVERIFY(c.Action("actionOnlyDifferingRows")->isChecked());
    c.ClickRow(changes.first());
    PressAlt(c.DiffTable(), Qt::Key_Left);
    for (int row = 0; row < model->rowCount(); ++row)
        QCOMPARE(c.DiffTable()->isRowHidden(row), !changes.contains(row));
    // The same on the next pair; off, every row shows again.
    QVERIFY(c.Select(c.StoryPair(3)));
    const QList<int> storyChanges = ChangeRows(*c.ShownDiffModel());
    for (int row = 0; row < c.ShownDiffModel()->rowCount(); ++row)
        QCOMPARE(c.DiffTable()->isRowHidden(row), !storyChanges.contains(row));
    QTest::mouseClick(toolBar->widgetForAction(c.Action("actionOnlyDifferingRows")), Qt::LeftButton);
    for (int row = 0; row < c.ShownDiffModel()->rowCount(); ++row)
        QVERIFY(!c.DiffTable()->isRowHidden(row));
}

// In a story's change row only what changed is in the change colour, the
// rest in the table's text colour; the rest of a paragraph after its last
// change (here ".") reads in that change's row, not in a row of its own. A
// copied row points to the side that took it until the copy is undone.
void TestExplorer::changeRowsMarkWhatChangedAndWhereItWent()
{
    Comparison& c = *mComparison;
    QVERIFY(c.Select(c.StoryPair(3)));
    DiffModel* model = c.ShownDiffModel();
    QTableView* table = c.DiffTable();
    const int last = model->rowCount() - 1;
    const QString left = model->index(last, 0).data().toString();
    const QString right = model->index(last, 1).data().toString();
    QVERIFY2(left.startsWith(QLatin1String("As always")) && left.endsWith(QLatin1String("Chandlers' Row.")),
             qPrintable(left));
    QVERIFY2(right.endsWith(QLatin1String("to the editor.")), qPrintable(right));
    QVERIFY(!model->IsEquality(model->index(last, 0)));

    table->scrollTo(model->index(last, 1));
    const QImage image = table->viewport()->grab().toImage();
    const QRect cell = table->visualRect(model->index(last, 1)) & image.rect();
    QVERIFY(!cell.isEmpty());
    int changed = 0, text = 0, green = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
        {
            const QColor colour = image.pixelColor(x, y);
            changed += colour == UserSettings::Get().DifferenceForeground() ? 1 : 0;
            text += colour == table->palette().color(QPalette::Text) ? 1 : 0;
            green += colour == QColor(Qt::darkGreen) ? 1 : 0;
        }
    QVERIFY2(changed > 0 && text > changed && green == 0,
             qPrintable(QStringLiteral("%1 %2 %3").arg(changed).arg(text).arg(green)));

    c.ClickRow(last);
    PressAlt(table, Qt::Key_Left);
    QCOMPARE(model->index(last, 0).data().toString(), right);
    QVERIFY(!model->index(last, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(!model->index(last, 1).data(Qt::DecorationRole).isValid());
    QTest::keySequence(&c.Explorer(), QKeySequence::Undo);
    QCOMPARE(model->index(last, 0).data().toString(), left);
    QVERIFY(!model->index(last, 0).data(Qt::DecorationRole).isValid());
    c.ClickRow(0);
    c.ClickRow(last);
    PressAlt(table, Qt::Key_Right);
    QVERIFY(!model->index(last, 1).data(Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(!model->index(last, 0).data(Qt::DecorationRole).isValid());
}

void TestExplorer::rescanKeepsOrDropsUnsavedCopies_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("keep") << "Keep Copies";
    QTest::newRow("drop") << "Drop Copies";
    QTest::newRow("cancel") << "Cancel";
}
// Rescan compares again from the documents. Copies not saved yet are
// written into them first or dropped, as the user answers; cancelled, the
// window stays as it was.
void TestExplorer::rescanKeepsOrDropsUnsavedCopies()
{
    QFETCH(QString, answer);
    Comparison& c = *mComparison;
    QVERIFY(c.Select(c.StoryPair(3)));
    CopyEveryRow(c, Qt::Key_Left);
    const ProjectTreeNodeBase* before = c.StoryPair(3);
    QString question;
    WhenModal<QMessageBox>(
        [&](QMessageBox* box)
        {
            question = box->text();
            for (QAbstractButton* button : box->buttons())
                if (button->text() == answer)
                    button->click();
        });
    QTest::keyClick(c.TreeView(), Qt::Key_F5);
    QTRY_VERIFY(!question.isEmpty());
    QCOMPARE(question, QStringLiteral("1 item has copies that are not saved."));

    if (answer == QLatin1String("Cancel"))
    {
        QCOMPARE(c.StoryPair(3), before);
        QVERIFY(c.Tree().IsPending(before));
        return;
    }
    // A new comparison, on the same item.
    ProjectTreeNode<Story>* story = c.StoryPair(3);
    QVERIFY(c.TreeView()->selectionModel()->isSelected(c.ViewIndex(story)));
    QVERIFY(!c.Tree().IsPending(story));
    const bool kept = answer == QLatin1String("Keep Copies");
    QCOMPARE(story->NodeType(), kept ? Identical : HasEdits);
    // Kept copies are in the document, not saved: the window says so.
    QCOMPARE(XT::gProject->IsProjectModified(c.Left()), kept);
    QCOMPARE(c.Explorer().IsLeftDirty(), kept);
    QCOMPARE(c.SaveButton()->isEnabled(), kept);
}

// The title and the patch table name the projects, LHS first; Swap Sides
// shows the RHS project on the left: the title, the pairs and the statuses
// turn with it, and the same item stays selected.
void TestExplorer::swapSidesTradesTheProjects()
{
    Comparison& c = *mComparison;
    const QString title = c.Explorer().windowTitle();
    QVERIFY2(title.startsWith(kLeftSample) && title.indexOf(kRightSample) > kLeftSample.size(),
             qPrintable(title));
    // The patch table's headers name each side's project and item.
    QVERIFY(c.Select(c.StoryPair(3)));
    QAbstractItemModel* header = c.DiffTable()->horizontalHeader()->model();
    QCOMPARE(header->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("LHS %1: Story 3").arg(kLeftSample));
    QCOMPARE(header->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("RHS %1: Story 3").arg(kRightSample));
    // Cut in the middle when narrow; the whole title is the tooltip.
    QHeaderView* titles = c.DiffTable()->horizontalHeader();
    QCOMPARE(titles->textElideMode(), Qt::ElideMiddle);
    const QPoint onRight(titles->sectionViewportPosition(1) + 5, titles->height() / 2);
    QHelpEvent hover(QEvent::ToolTip, onRight, titles->viewport()->mapToGlobal(onRight));
    QApplication::sendEvent(titles->viewport(), &hover);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("RHS %1: Story 3").arg(kRightSample));
    QToolTip::hideText();
    QVERIFY(c.Select(Named(c, QStringLiteral("Signal Red | Missing Asset"))));
    c.Action("actionSwapSides")->trigger();
    QVERIFY(c.Explorer().windowTitle().startsWith(kRightSample));
    ProjectTreeNodeBase* swapped = Named(c, QStringLiteral("Missing Asset | Signal Red"));
    QVERIFY(swapped);
    QCOMPARE(swapped->NodeType(), OnlyInRight);
    QVERIFY(c.TreeView()->selectionModel()->isSelected(c.ViewIndex(swapped)));
    QCOMPARE(c.Tree().LeftProject(), long(c.Right()));
    c.Action("actionSwapSides")->trigger();
    QCOMPARE(c.Explorer().windowTitle(), title);
    QVERIFY(Named(c, QStringLiteral("Signal Red | Missing Asset")));
}

QTEST_MAIN(TestExplorer)
#include "tst_explorer.moc"
