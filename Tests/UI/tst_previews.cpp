// Previews on the sample projects through the plug-in's activation: host
// renderings of stories through GIF files, colour swatches, nothing for other
// items, and the explorer's event filters while a rendering runs.

#include "CorvaneExplorer.h"
#include "DiffModel.h"
#include "ExplorerFixture.h"
#include "HostSession.h"
#include "PluginSession.h"
#include "PreviewModel.h"
#include "ProjectTree.h"
#include "SpreadPreview.h"
#include "UiTestSupport.h"
#include "XImageLoader.h"
#include "XTCalls.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QDir>
#include <QMutexLocker>
#include <QPixmap>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimerEvent>

#include <cstring>

namespace
{

QVariant Picture(const PreviewModel& model, int column)
{
    return model.data(model.index(0, column), Qt::DecorationRole);
}

// The files in the host's temporary folder.
QStringList TemporaryFiles()
{
    XTFileSpec folder = XT::gFiles->NewFileSpec();
    XT::gFiles->GetTempFolder(folder);
    const QString path = XT::ToQString(XT::gFiles->GetFilePath(folder));
    XT::gFiles->DisposeFile(folder);
    return QDir(path).entryList(QDir::Files);
}

// The size, in points, of the first box a story runs through.
QSize FirstBoxSize(const Story& story)
{
    XTHandle boxes = XT::gPlatform->NewHandle(0);
    XT::gText->GetStoryBoxes(story.Text(), 0, boxes);
    XTBoxRef first = XT::kNoBox;
    std::memcpy(&first, *boxes, sizeof first);
    XT::gPlatform->DisposeHandle(boxes);
    XTFixedRect bounds{};
    XT::gBox->GetBoxBounds(first, 1, 16, &bounds);
    return QSize((bounds.right - bounds.left) / XT::kFixedOne, (bounds.bottom - bounds.top) / XT::kFixedOne);
}

int ColourCount(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return colours.size();
}

bool Loaded(const PreviewModel& model)
{
    return !model.IsLoading(0) && !model.IsLoading(1);
}

} // namespace

class TestPreviews : public SampleComparisonTest
{
    Q_OBJECT

private slots:

    void storyPairRendersBothSides();
    void oneSidedStoryRendersOneSide();
    void colourSwatches_data();
    void colourSwatches();
    void otherItemsShowNothing();
    void spreadPreviewMarksTheBoxAndTheDifferences_data();
    void spreadPreviewMarksTheBoxAndTheDifferences();
    void onlyOneSideHasTheSpread();
    void storyPreviewAtAReadableSize();
    void deletingALoadingModelWaitsForItsRenderings();
    void reselectingWhileLoadingStartsNothing();
    void eventsAreDroppedOnlyWhileARenderingRuns();
};

// Each side is rendered once, on its own worker thread, when the cell is
// first asked for; the picture arrives with dataChanged for its cell, and the
// temporary GIF file is gone by then.
void TestPreviews::storyPairRendersBothSides()
{
    ProjectTreeNode<Story>* pair = mComparison->StoryPair(3);
    QVERIFY(pair);
    const QStringList filesBefore = TemporaryFiles();
    PreviewModel model(*pair);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    // The tester asks for every role already; no picture is there yet.
    QVERIFY(!Picture(model, 0).isValid());
    QVERIFY(!Picture(model, 1).isValid());
    QVERIFY(model.IsLoading(0) && model.IsLoading(1));

    QTRY_VERIFY(Loaded(model));
    QCOMPARE(changed.count(), 2);
    QSet<int> columns;
    for (const QList<QVariant>& signal : changed)
    {
        const QModelIndex from = signal.at(0).toModelIndex();
        QCOMPARE(from, signal.at(1).toModelIndex());
        QCOMPARE(from.row(), 0);
        columns << from.column();
    }
    QCOMPARE(columns, QSet<int>({0, 1}));

    const QImage left = Picture(model, 0).value<QImage>();
    const QImage right = Picture(model, 1).value<QImage>();
    QVERIFY(!left.isNull() && !right.isNull());
    // Read back from GIF files: at most 256 colours.
    QVERIFY(ColourCount(left) <= 256);
    QVERIFY(ColourCount(right) <= 256);
    QCOMPARE(left.size(), FirstBoxSize(pair->mLeft));
    QCOMPARE(right.size(), FirstBoxSize(pair->mRight));
    // The two sides' texts differ, and so do their pictures.
    QVERIFY(left != right);
    QCOMPARE(TemporaryFiles(), filesBefore);

    // Each side is produced once per model.
    QVERIFY(!model.IsLoading(0) && !model.IsLoading(1));
    QCOMPARE(changed.count(), 2);
}

void TestPreviews::oneSidedStoryRendersOneSide()
{
    ProjectTreeNode<Story>* pair = mComparison->StoryPair(6);
    QVERIFY(pair && !pair->mLeft.IsValid() && pair->mRight.IsValid());
    PreviewModel model(*pair);
    QVERIFY(!Picture(model, 0).isValid());
    QVERIFY(!model.IsLoading(0));
    QVERIFY(!Picture(model, 1).isValid());
    QTRY_VERIFY(Loaded(model));
    QVERIFY(!Picture(model, 0).isValid());
    QVERIFY(!Picture(model, 1).value<QImage>().isNull());
}

void TestPreviews::colourSwatches_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("left"); // invalid: the side has no such colour
    QTest::addColumn<QColor>("right");

    // The samples' RGB colours, as the projects define them.
    QTest::newRow("changed colour") << "Harbour Blue" << QColor(18, 74, 128) << QColor(18, 80, 140);
    QTest::newRow("only in the left project") << "Signal Red" << QColor(200, 30, 30) << QColor();
    QTest::newRow("only in the right project") << "Sea Foam" << QColor() << QColor(170, 220, 210);
}

void TestPreviews::colourSwatches()
{
    QFETCH(QString, name);
    QFETCH(QColor, left);
    QFETCH(QColor, right);

    ProjectTreeNode<Asset>* pair = mComparison->ColourPair(name);
    QVERIFY(pair);
    PreviewModel model(*pair);
    const QColor expected[] = {left, right};
    for (int column = 0; column < 2; ++column)
    {
        const QVariant picture = Picture(model, column);
        QVERIFY(!model.IsLoading(column));
        QCOMPARE(picture.isValid(), expected[column].isValid());
        if (!picture.isValid())
            continue;
        const QImage swatch = picture.value<QPixmap>().toImage();
        QCOMPARE(swatch.size(), QSize(40, 40));
        QCOMPARE(swatch.pixelColor(0, 0), expected[column]);
        QCOMPARE(swatch.pixelColor(39, 39), expected[column]);
    }
}

// Projects, layouts, spreads, pages, boxes and folders have no picture and
// start no thread.
void TestPreviews::otherItemsShowNothing()
{
    int checked = 0;
    for (ProjectTreeNodeBase* node : mComparison->Nodes())
    {
        if (dynamic_cast<ProjectTreeNode<Story>*>(node))
            continue;
        auto* asset = dynamic_cast<ProjectTreeNode<Asset>*>(node);
        if (asset && asset->mLeft.Kind() == XT::kColorAssetKind)
            continue;
        // Spreads, pages and boxes show their spread.
        if (dynamic_cast<ProjectTreeNode<Spread>*>(node) || dynamic_cast<ProjectTreeNode<Page>*>(node) ||
            dynamic_cast<ProjectTreeNode<Box>*>(node))
            continue;
        PreviewModel model(*node);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        for (int column = 0; column < 2; ++column)
        {
            QVERIFY(!Picture(model, column).isValid());
            QVERIFY(!model.IsLoading(column));
        }
        QVERIFY(!XImageLoader::WorkInProgress());
        QCOMPARE(changed.count(), 0);
        ++checked;
    }
    QVERIFY(checked > 20);
}

void TestPreviews::spreadPreviewMarksTheBoxAndTheDifferences_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QStringList>("differing");
    QTest::addColumn<QStringList>("unchanged");
    QTest::addColumn<QString>("copied"); // a box whose rows are copied first, not saved
    // On the cover spread of Layout 1, and on its second spread.
    QTest::newRow("edited box") << "Cover photo" << QStringList{"Cover lines"} << QStringList{"Masthead"}
                                << QString();
    QTest::newRow("identical box") << "Masthead" << QStringList{"Cover photo", "Cover lines"}
                                   << QStringList{} << QString();
    QTest::newRow("renamed box") << "Editorial" << QStringList{} << QStringList{"Editorial continued"}
                                 << QString();
    QTest::newRow("a box copied, not saved") << "Masthead" << QStringList{"Cover photo"} << QStringList{}
                                             << "Cover lines";
}

// Selecting a box shows, on each side, the spread that holds it drawn to
// scale: the box in the selection colour, the boxes that differ in the
// difference colour, those with copies not saved yet in the pending colour,
// the others plain; a legend of the three marks below.
void TestPreviews::spreadPreviewMarksTheBoxAndTheDifferences()
{
    QFETCH(QString, selected);
    QFETCH(QStringList, differing);
    QFETCH(QStringList, unchanged);
    QFETCH(QString, copied);
    Comparison& c = *mComparison;
    auto boxPair = [&](const QString& name)
    {
        return dynamic_cast<ProjectTreeNode<Box>*>(c.Find(
            [&](ProjectTreeNodeBase& node)
            {
                auto* pair = dynamic_cast<ProjectTreeNode<Box>*>(&node);
                return pair && pair->mLeft.IsValid() &&
                       pair->mLeft.Name().startsWith(name + QLatin1Char('('));
            }));
    };
    ProjectTreeNode<Box>* pair = boxPair(selected);
    QVERIFY(pair);
    QVERIFY(c.Select(pair));
    if (!copied.isEmpty())
    {
        // Drawn once before the copy: shown again, the preview is drawn anew.
        QVERIFY(!Picture(*c.ShownPreviewModel(), 0).isNull());
        QVERIFY(c.Select(boxPair(copied)));
        const DiffModel* rows = c.ShownDiffModel();
        for (int row = 0; row < rows->rowCount(); ++row)
            if (!rows->IsEquality(rows->index(row, 0)))
            {
                c.ClickRow(row);
                QTest::keyClick(c.DiffTable(), Qt::Key_Left, Qt::AltModifier);
            }
        QVERIFY(c.Tree().IsPending(boxPair(copied)));
        QVERIFY(c.Select(pair));
    }
    PreviewModel* model = c.ShownPreviewModel();
    QVERIFY(model);
    // Under the pictures, what each mark's colour means.
    auto* legend = Child<QLabel>(c.Explorer(), "mPreviewLegend");
    QVERIFY(legend->isVisible());
    for (const QColor& mark :
         {SpreadPreview::SelectedColour(), SpreadPreview::DifferingColour(), SpreadPreview::PendingColour()})
        QVERIFY2(legend->text().contains(mark.name()), qPrintable(legend->text()));
    QVERIFY(legend->text().contains(QLatin1String("Copied, not saved")));
    for (int column = 0; column < 2; ++column)
    {
        const QImage picture = Picture(*model, column).value<QImage>();
        QVERIFY(!picture.isNull());
        const Box& box = column == 0 ? pair->mLeft : pair->mRight;
        const SpreadPreview spread = SpreadPreview::OfBox(box.BoxRef());
        QVERIFY(spread.IsValid());
        QCOMPARE(picture.width(), SpreadPreview::kWidth);
        // To scale: the picture has the spread's proportions.
        QVERIFY(qAbs(picture.height() - 16 -
                     spread.Bounds().height() * (picture.width() - 16) / spread.Bounds().width()) <= 1.5);
        auto colourAt = [&](const QString& name)
        {
            ProjectTreeNode<Box>* other = boxPair(name);
            const Box& side = column == 0 ? other->mLeft : other->mRight;
            XTFixedRect bounds{};
            XT::gBox->GetBoxBounds(side.BoxRef(), 1, 16, &bounds);
            const QPointF centre((bounds.left + bounds.right) / 2.0 / XT::kFixedOne,
                                 (bounds.top + bounds.bottom) / 2.0 / XT::kFixedOne);
            return picture.pixelColor(spread.ToPicture(centre).toPoint());
        };
        QCOMPARE(colourAt(selected), SpreadPreview::SelectedColour());
        for (const QString& name : differing)
            QVERIFY2(colourAt(name) == SpreadPreview::DifferingColour(), qPrintable(name));
        for (const QString& name : unchanged)
            QVERIFY2(colourAt(name) == SpreadPreview::BoxColour(), qPrintable(name));
        if (!copied.isEmpty())
            QCOMPARE(colourAt(copied), SpreadPreview::PendingColour());
    }
    // A story's previews have no marks to explain.
    QVERIFY(c.Select(c.StoryPair(3)));
    QVERIFY(!legend->isVisible());
}

// A spread only the right has: the left shows nothing, the right its
// pages, and on them its boxes, all of them differing.
void TestPreviews::onlyOneSideHasTheSpread()
{
    Comparison& c = *mComparison;
    auto* pair = dynamic_cast<ProjectTreeNode<Spread>*>(
        c.Find([](ProjectTreeNodeBase& node)
               { return node.Data(0).toString() == QLatin1String("Missing Spread | Letters 4"); }));
    QVERIFY(pair);
    PreviewModel model(*pair);
    QVERIFY(!Picture(model, 0).isValid());
    const QImage right = Picture(model, 1).value<QImage>();
    QVERIFY(!right.isNull());
    const SpreadPreview spread = SpreadPreview::OfSpread(pair->mRight.SpreadBox());
    QCOMPARE(spread.PageCount(), 2);
    // Below the boxes, on each page; then the middle of the box "Letters".
    QCOMPARE(right.pixelColor(spread.ToPicture({300, 780}).toPoint()), SpreadPreview::PageColour());
    QCOMPARE(right.pixelColor(spread.ToPicture({900, 780}).toPoint()), SpreadPreview::PageColour());
    QCOMPARE(right.pixelColor(spread.ToPicture({300, 400}).toPoint()), SpreadPreview::DifferingColour());
}

// A story's rendering fits the width of its column by default, whole; at
// "100%" it is drawn at its own size, where its text reads, and the table
// scrolls to it.
void TestPreviews::storyPreviewAtAReadableSize()
{
    Comparison& c = *mComparison;
    c.Explorer().resize(900, 600);
    QVERIFY(c.Select(c.StoryPair(3)));
    PreviewModel* model = c.ShownPreviewModel();
    QTRY_VERIFY(Loaded(*model));
    QTableView* table = c.PreviewTable();
    const QImage picture = Picture(*model, 0).value<QImage>();
    auto* zoom = c.Explorer().findChild<QComboBox*>(QStringLiteral("mPreviewZoom"));
    QVERIFY(zoom);
    QCOMPARE(zoom->currentText(), QStringLiteral("Fit width"));
    QHeaderView* header = table->horizontalHeader();
    QTRY_COMPARE(header->sectionSize(0) + header->sectionSize(1), table->viewport()->width());
    QTRY_COMPARE(table->horizontalScrollBar()->maximum(), 0);
    QVERIFY(table->rowHeight(0) < picture.height());

    zoom->setCurrentIndex(zoom->findText(QStringLiteral("100%")));
    QVERIFY(picture.width() > table->viewport()->width() / 2);
    QTRY_VERIFY(header->sectionSize(0) >= picture.width());
    QVERIFY(table->rowHeight(0) >= picture.height());
    QTRY_VERIFY(table->horizontalScrollBar()->maximum() > 0);

    zoom->setCurrentIndex(zoom->findText(QStringLiteral("200%")));
    QTRY_VERIFY(table->rowHeight(0) >= 2 * picture.height());
    QCOMPARE(TestSettings().value(QStringLiteral("prefs/PreviewZoom")).toInt(), 200);
    zoom->setCurrentIndex(zoom->findText(QStringLiteral("Fit width")));
}

void TestPreviews::deletingALoadingModelWaitsForItsRenderings()
{
    const QStringList filesBefore = TemporaryFiles();
    auto model = std::make_unique<PreviewModel>(*mComparison->StoryPair(4));
    Picture(*model, 0);
    Picture(*model, 1);
    QVERIFY(model->IsLoading(0) && model->IsLoading(1));
    model.reset();
    QVERIFY(!XImageLoader::WorkInProgress());
    QCOMPARE(TemporaryFiles(), filesBefore);
}

// Leaving a story whose pictures are still being produced and coming back
// shows the same model, whose loaders deliver once per side.
void TestPreviews::reselectingWhileLoadingStartsNothing()
{
    Comparison& c = *mComparison;
    ProjectTreeNodeBase* story = c.StoryPair(3);
    std::unique_ptr<QMutexLocker> hold = std::make_unique<QMutexLocker>(&XImageLoader::sMutex);
    QVERIFY(c.Select(story));
    PreviewModel* model = c.ShownPreviewModel();
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    QTRY_VERIFY(model->IsLoading(0) && model->IsLoading(1));

    QVERIFY(c.Select(c.ColourPair(QStringLiteral("Sand"))));
    QVERIFY(c.Select(story));
    QCOMPARE(c.ShownPreviewModel(), model);
    hold.reset();

    QTRY_VERIFY(Loaded(*model));
    QCOMPARE(changed.count(), 2);
    QVERIFY(!Picture(*model, 0).value<QImage>().isNull());
    QVERIFY(!Picture(*model, 1).value<QImage>().isNull());
}

// While a loader holds the host (sMutex), native events and the window's
// timer events are dropped; before and after, nothing is.
void TestPreviews::eventsAreDroppedOnlyWhileARenderingRuns()
{
    Comparison& c = *mComparison;
    QObject& explorer = c.Explorer();
    QTimerEvent timer(1);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QVERIFY(!CorvaneExplorer::QxpEventFilter(nullptr));
    QVERIFY(!explorer.eventFilter(c.DiffTable(), &timer));
    QVERIFY(!explorer.eventFilter(&c.Explorer(), &timer));

    // A real rendering waits behind the mutex that the test holds.
    auto hold = std::make_unique<QMutexLocker>(&XImageLoader::sMutex);
    QVERIFY(c.Select(c.StoryPair(4)));
    PreviewModel* model = c.ShownPreviewModel();
    QTRY_VERIFY(model->IsLoading(0));
    QVERIFY(XImageLoader::WorkInProgress());
    QVERIFY(model->WorkInProgress());
    QVERIFY(CorvaneExplorer::QxpEventFilter(nullptr));
    QVERIFY(explorer.eventFilter(c.DiffTable(), &timer));
    QVERIFY(explorer.eventFilter(&c.Explorer(), &timer));
    QVERIFY(!explorer.eventFilter(&c.Explorer(), &key));
    QTest::qWait(50);
    QVERIFY(model->IsLoading(0));

    hold.reset();
    QTRY_VERIFY(Loaded(*model));
    QVERIFY(!XImageLoader::WorkInProgress());
    QVERIFY(!CorvaneExplorer::QxpEventFilter(nullptr));
    QVERIFY(!explorer.eventFilter(c.DiffTable(), &timer));
}

QTEST_MAIN(TestPreviews)
#include "tst_previews.moc"
