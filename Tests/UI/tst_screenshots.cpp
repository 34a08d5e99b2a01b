// Writes screenshots of the explorer on the sample projects, and of the
// settings dialog, to the build folder (see the README), so that anyone can
// look at the windows without a display. Each picture is checked to be there
// and to be more than a blank window, and to show what it is taken for: the
// roll-up counts of the tree, the spread preview with its marked boxes and
// its legend, a change in hidden text, the status bar, the rows that differ,
// a copied row and the Edit menu.

#include "CorvaneExplorer.h"
#include "DiffModel.h"
#include "ExplorerFixture.h"
#include "HostSession.h"
#include "PluginSession.h"
#include "PreviewModel.h"
#include "ProjectTree.h"
#include "Settings.h"
#include "SpreadPreview.h"
#include "TreeItemDelegate.h"
#include "UiTestSupport.h"

#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#ifndef CORVANE_SCREENSHOT_DIR
#error "CORVANE_SCREENSHOT_DIR names the folder the screenshots go to"
#endif

namespace
{

// Saves the widget's picture and checks it shows more than a few colours.
void Shoot(QWidget& widget, const QString& name)
{
    // Deferred layouts (header sections, scroll bars) settle first.
    QTest::qWait(50);
    const QImage image = widget.grab().toImage();
    QVERIFY(!image.isNull());
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    QVERIFY2(colours.size() > 20, qPrintable(name));
    const QString path = QDir(QStringLiteral(CORVANE_SCREENSHOT_DIR)).filePath(name);
    QVERIFY2(image.save(path), qPrintable(path));
    qInfo("wrote %s", qPrintable(path));
}

// How many pixels of the widget's picture have that colour.
int Pixels(QWidget& widget, const QColor& colour)
{
    const QImage image = widget.grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == colour ? 1 : 0;
    return count;
}

QString SelectionStatus(const Comparison& comparison)
{
    return comparison.Explorer().findChild<QLabel*>(QStringLiteral("mSelectionStatus"))->text();
}

} // namespace

class TestScreenshots : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void explorer();
    void settings();

private:
    std::unique_ptr<PluginSession> mSession;
};

void TestScreenshots::initTestCase()
{
    TestSettings().clear();
    QVERIFY(QDir().mkpath(QStringLiteral(CORVANE_SCREENSHOT_DIR)));
}

void TestScreenshots::cleanupTestCase()
{
    mSession.reset();
}

void TestScreenshots::explorer()
{
    mSession = std::make_unique<PluginSession>();
    QCOMPARE(mSession->SetupStatus(), XTStatus(0));

    Comparison c(mSession->Host(), SamplePath(kLeftSample), SamplePath(kRightSample));
    QVERIFY(c.IsOpen());
    c.Explorer().resize(1100, 760);

    // The whole tree with its status icons.
    c.TreeView()->expandAll();
    c.TreeView()->setFixedWidth(330);
    // The containers' counts of what differs below them.
    QTest::qWait(50);
    QVERIFY(Pixels(*c.TreeView()->viewport(), TreeItemDelegate::BadgeColor()) > 100);
    Shoot(c.Explorer(), QStringLiteral("explorer-tree.png"));

    // A story pair: styled change rows, both previews, the current change
    // counted in the status bar.
    ProjectTreeNodeBase* story = c.StoryPair(3);
    QVERIFY(c.Select(story));
    PreviewModel* preview = c.ShownPreviewModel();
    QTRY_VERIFY(!preview->IsLoading(0) && !preview->IsLoading(1));
    QVERIFY(!preview->data(preview->index(0, 0), Qt::DecorationRole).isNull());
    DiffModel* rows = c.ShownDiffModel();
    int change = 0;
    while (change < rows->rowCount() && rows->IsEquality(rows->index(change, 0)))
        ++change;
    c.ClickRow(change);
    QVERIFY2(SelectionStatus(c).contains(QStringLiteral("difference 1 of")), qPrintable(SelectionStatus(c)));
    Shoot(c.Explorer(), QStringLiteral("explorer-story.png"));

    // A change inside hidden text: its units tinted, its tooltip quoting
    // both sides.
    ProjectTreeNodeBase* hidden = c.Find(
        [&](ProjectTreeNodeBase& node)
        {
            auto* pair = dynamic_cast<ProjectTreeNode<Story>*>(&node);
            return pair && pair->NodeType() == HasEdits && pair->mLeft.HiddenRuns().size() > 0;
        });
    QVERIFY(hidden);
    QVERIFY(c.Select(hidden));
    rows = c.ShownDiffModel();
    int hiddenRow = 0;
    while (hiddenRow < rows->rowCount() && !rows->index(hiddenRow, 0).data(Qt::ToolTipRole).isValid())
        ++hiddenRow;
    QVERIFY(hiddenRow < rows->rowCount());
    QVERIFY(!rows->IsEquality(rows->index(hiddenRow, 0)));
    c.ClickRow(hiddenRow);
    Shoot(c.Explorer(), QStringLiteral("explorer-hidden-text.png"));

    // A box pair: one property per row, named in the vertical header.
    ProjectTreeNodeBase* box = c.Find(
        [](ProjectTreeNodeBase& node)
        {
            auto* pair = dynamic_cast<ProjectTreeNode<Box>*>(&node);
            return pair && pair->NodeType() == HasEdits && pair->mLeft.IsValid() && pair->mRight.IsValid();
        });
    QVERIFY(box);
    QVERIFY(c.Select(box));
    QVERIFY(c.ShownDiffModel()->HasVerticalHeader());
    QVERIFY(c.DiffTable()->verticalHeader()->isVisible());
    // The spread preview, the box and the boxes that differ marked.
    QTest::qWait(50);
    QVERIFY(Pixels(*c.PreviewTable()->viewport(), SpreadPreview::SelectedColour()) > 100);
    QVERIFY(Pixels(*c.PreviewTable()->viewport(), SpreadPreview::DifferingColour()) > 100);
    QVERIFY(SelectionStatus(c).contains(QStringLiteral("differences")));
    Shoot(c.Explorer(), QStringLiteral("explorer-box.png"));

    // The same box with only the rows that differ.
    c.Action("actionOnlyDifferingRows")->trigger();
    int hiddenRows = 0;
    for (int row = 0; row < c.ShownDiffModel()->rowCount(); ++row)
        hiddenRows += c.DiffTable()->isRowHidden(row) ? 1 : 0;
    QVERIFY(hiddenRows > 0);
    Shoot(c.Explorer(), QStringLiteral("explorer-box-differing-rows.png"));

    // A row copied to the left: its arrow, and the box pending in the
    // spread preview's legend.
    rows = c.ShownDiffModel();
    change = 0;
    while (change < rows->rowCount() && rows->IsEquality(rows->index(change, 0)))
        ++change;
    c.ClickRow(change);
    QTest::keyClick(c.DiffTable(), Qt::Key_Left, Qt::AltModifier);
    QVERIFY(rows->index(change, 0).data(Qt::DecorationRole).isValid());
    QVERIFY(c.Tree().IsPending(box));
    QVERIFY(Child<QLabel>(c.Explorer(), "mPreviewLegend")->isVisible());
    Shoot(c.Explorer(), QStringLiteral("explorer-box-copied.png"));

    // The Edit menu: every command with its keys.
    auto* edit = Child<QMenu>(c.Explorer(), "menuEdit");
    edit->popup(c.Explorer().mapToGlobal(QPoint(40, 40)));
    QTRY_VERIFY(edit->isVisible());
    Shoot(*edit, QStringLiteral("explorer-edit-menu.png"));
    edit->close();
}

void TestScreenshots::settings()
{
    Settings dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Shoot(dialog, QStringLiteral("settings-colors.png"));
    Child<QTabWidget>(dialog, "mSettingsTab")->setCurrentIndex(0);
    Shoot(dialog, QStringLiteral("settings-view-options.png"));
}

QTEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
