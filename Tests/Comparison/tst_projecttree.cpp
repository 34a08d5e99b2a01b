// The comparison tree of two projects opened in the host, through the
// plug-in's activation: its shape for the pairing cases, its item model and
// the filter proxy.

#include "ModelTestSupport.h"

#include "CorvaneResources.h"
#include "DiffModel.h"
#include "Merge.h"
#include "NodeVisitor.h"
#include "PluginString.h"
#include "ProjectTree.h"
#include "ProjectTreeProxy.h"

#include <QAbstractItemModelTester>
#include <QIcon>
#include <QImage>
#include "UserSettings.h"

#include <QSettings>
#include <QTest>
#include <QUndoStack>

namespace
{

XTHost::Box TextBox(int32_t number, double top = 36)
{
    return makeBox(number, QString(), XT::kContentText, 36, top, 300, top + 100);
}

// Left: layout 1 with three spreads; box 4 on spread 1, box 6 a text box,
// box 8 changed on the right; asset "Dup" only here.
// Right: layout 1 with five spreads; box 4 moved to spread 2, box 6 a picture
// box; layout 2 only here.
std::pair<XTHost::Project, XTHost::Project> ShapeProjects()
{
    XTHost::Project left, right;
    std::vector<XTHost::Spread> spreads;
    for (int i = 0; i < 5; ++i)
        spreads.push_back(makeSpread({QString::number(2 * i + 1), QString::number(2 * i + 2)}));
    std::vector<XTHost::Spread> leftSpreads(spreads.begin(), spreads.begin() + 3);
    leftSpreads[0].mBoxes = {TextBox(4), TextBox(6), TextBox(8)};
    spreads[0].mBoxes = {makeBox(6, QString(), XT::kContentPicture, 36, 36, 300, 136), TextBox(8, 50)};
    spreads[1].mBoxes = {TextBox(4)};
    left.mLayouts = {makeLayout(1, QStringLiteral("Print"), leftSpreads)};
    right.mLayouts = {
        makeLayout(1, QStringLiteral("Print"), spreads),
        makeLayout(2, QStringLiteral("Web"), {makeSpread({QStringLiteral("Home")}, {TextBox(1)})})};
    left.mAssets[0] = {makeAsset(1, QStringLiteral("Dup"), QStringLiteral("first")),
                       makeAsset(1, QStringLiteral("Body"), QStringLiteral("same"))};
    right.mAssets[0] = {makeAsset(1, QStringLiteral("Body"), QStringLiteral("same")),
                        makeAsset(1, QStringLiteral("Extra"), QStringLiteral("x"))};
    left.mAssets[2] = {makeColor(QStringLiteral("Sea"), 0, 90, 160)};
    right.mAssets[2] = {makeColor(QStringLiteral("Sea"), 0, 90, 161)};
    return {left, right};
}

// One line per node below `node`, indented by depth: the display text and the
// status.
void Describe(const QAbstractItemModel& model, const QModelIndex& parent, int depth, QStringList& lines)
{
    for (int row = 0; row < model.rowCount(parent); ++row)
    {
        const QModelIndex index = model.index(row, 0, parent);
        const QAbstractItemModel* source = &model;
        QModelIndex sourceIndex = index;
        if (auto* proxy = qobject_cast<const QSortFilterProxyModel*>(&model))
        {
            source = proxy->sourceModel();
            sourceIndex = proxy->mapToSource(index);
        }
        const ProjectTreeNodeBase* node = static_cast<const ProjectTree*>(source)->NodeOf(sourceIndex);
        lines << QString(depth, QLatin1Char('-')) + index.data().toString() + QLatin1Char('@') +
                     QString::number(node->NodeType());
        Describe(model, index, depth + 1, lines);
    }
}

QStringList Describe(const QAbstractItemModel& model)
{
    QStringList lines;
    Describe(model, QModelIndex(), 0, lines);
    return lines;
}

QStringList Matching(const QStringList& lines, const QString& pattern)
{
    return lines.filter(QRegularExpression(pattern));
}

QImage IconImage(const QVariant& icon)
{
    return icon.value<QIcon>().pixmap(16, 16).toImage();
}

QImage IconImage(const char* path)
{
    return IconImage(QVariant(QIcon(QString::fromLatin1(path))));
}

// For every pair below a node: the status the fast pass gave it, and the one a
// model of the pair finds from both texts, as "name: fast/model".
class StatusCheck : public NodeVisitor
{
public:
    explicit StatusCheck(QStringList& disagreements) : mDisagreements(disagreements) {}

    void Visit(ProjectTreeNode<QXPCursor::NullType>& node) const override { Children(node); }
    void Visit(ProjectTreeNode<Project>& node) const override { Check(node); }
    void Visit(ProjectTreeNode<Layout>& node) const override { Check(node); }
    void Visit(ProjectTreeNode<Spread>& node) const override { Check(node); }
    void Visit(ProjectTreeNode<Page>& node) const override { Check(node); }
    void Visit(ProjectTreeNode<Box>& node) const override { Check(node); }
    void Visit(ProjectTreeNode<Story>& node) const override { Check(node); }
    void Visit(ProjectTreeNode<Asset>& node) const override { Check(node); }
    void Visit(PlaceholderNode& node) const override { Children(node); }

    mutable int mPairs = 0;

private:
    template <typename T> void Check(ProjectTreeNode<T>& node) const
    {
        ++mPairs;
        const TreeNodeType fromModel = DiffModel(node.mLeft, node.mRight).FastCheck();
        if (node.NodeType() != fromModel || DiffModel::FastStatus(node.mLeft, node.mRight) != fromModel)
            mDisagreements << QStringLiteral("%1: %2/%3")
                                  .arg(node.Data(0).toString())
                                  .arg(node.NodeType())
                                  .arg(fromModel);
        for (const Corvable* side : {static_cast<const Corvable*>(&node.mLeft), static_cast<const Corvable*>(&node.mRight)})
            if (side->IdentityKey() != IdentityKeyWriter::Of(side->Identity()) ||
                side->IdentityKey().isEmpty() == side->IsValid())
                mDisagreements << QStringLiteral("%1: key %2").arg(node.Data(0).toString(), QString(side->IdentityKey()));
        Children(node);
    }
    void Children(ProjectTreeNodeBase& node) const
    {
        for (int i = 0; i < node.ChildCount(); ++i)
            node.Child(i)->Accept(*this);
    }

    QStringList& mDisagreements;
};

} // namespace

class TestProjectTree : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InitCorvaneResources(); }

    void init()
    {
        QSettings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT")).clear();
        UserSettings::Get().Reload();
        mSession = std::make_unique<ModelSession>();
        QVERIFY(mSession->IsReady());
        auto [left, right] = ShapeProjects();
        mLeft = mSession->OpenBuilt(left, QStringLiteral("left.xprj"));
        mRight = mSession->OpenBuilt(right, QStringLiteral("right.xprj"));
        QVERIFY(mLeft != XT::kNoProject && mRight != XT::kNoProject);
        mTree = std::make_unique<ProjectTree>(mLeft, mRight);
    }
    void cleanup()
    {
        mTree.reset();
        mSession.reset();
    }

    void topLevel()
    {
        QCOMPARE(mTree->rowCount(), 1);
        const QModelIndex project = mTree->index(0, 0);
        QCOMPARE(project.data().toString(), QStringLiteral("left.xprj | right.xprj"));
        QCOMPARE(mTree->rowCount(project), 3);
        QVERIFY(!mTree->index(0, 1).isValid());
        QCOMPARE(mTree->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Project Explorer"));
        // Only as text: a header that answered the size role with it would
        // shrink to nothing.
        QVERIFY(!mTree->headerData(0, Qt::Horizontal, Qt::SizeHintRole).isValid());
        QCOMPARE(mTree->index(0, 0, project).data().toString(), PluginString(22));
        QCOMPARE(mTree->index(1, 0, project).data().toString(), PluginString(20));
        QCOMPARE(mTree->index(2, 0, project).data().toString(), PluginString(26));
        QCOMPARE(mTree->rowCount(mTree->index(2, 0, project)), 18);
    }

    void layoutOnlyOnTheRight()
    {
        const QStringList lines = Describe(*mTree);
        const QString missing = PluginString(94);
        QCOMPARE(Matching(lines, QStringLiteral("^--[^-].*@")).first(),
                 QStringLiteral("--Print | Print@4"));
        const int at = lines.indexOf(QStringLiteral("--%1 | Web@2").arg(missing));
        QVERIFY(at > 0);
        // Everything below it is on the right only; its boxes folder is a folder.
        int below = 0;
        for (int i = at + 1; i < lines.size() && lines[i].startsWith(QStringLiteral("---")); ++i, ++below)
            QVERIFY2(lines[i].endsWith(QStringLiteral("@2")) || lines[i] == "---" + PluginString(21) + "@16",
                     qPrintable(lines[i]));
        QCOMPARE(below, 4); // spread, page, boxes folder, box
    }

    void threeAgainstFiveSpreads()
    {
        const QStringList lines = Describe(*mTree);
        const QStringList spreads = Matching(lines, QStringLiteral("^---Spread \\d| \\| Spread"));
        const QString missing = PluginString(103);
        const QStringList expected = {"---Spread 1 | Spread 1@4",        "---Spread 2 | Spread 2@4",
                                      "---Spread 3 | Spread 3@4",        "---" + missing + " | Spread 4@2",
                                      "---" + missing + " | Spread 5@2", "---" + missing + " | Spread 1@2"};
        QCOMPARE(spreads, expected);
        // The pages of the surplus spreads are right-only too.
        QCOMPARE(
            Matching(lines, "^----" + QRegularExpression::escape(PluginString(100)) + " \\| Page").size(), 5);
    }

    void boxes()
    {
        const QStringList lines = Describe(*mTree);
        const QString box = PluginString(23), none = PluginString(84);
        const QStringList boxes =
            Matching(lines, QStringLiteral("^----[^-].*\\((Text|Picture)\\)|^----%1").arg(none));
        const QStringList expected = {// Moved to another spread: still one pair, edited.
                                      QStringLiteral("----%1 4(Text) | %1 4(Text)@8").arg(box),
                                      // Text on the left, picture on the right: two boxes.
                                      QStringLiteral("----%1 6(Text) | %2@1").arg(box, none),
                                      QStringLiteral("----%2 | %1 6(Picture)@2").arg(box, none),
                                      QStringLiteral("----%1 8(Text) | %1 8(Text)@8").arg(box),
                                      QStringLiteral("----%2 | %1 1(Text)@2").arg(box, none)};
        QCOMPARE(boxes, expected);
    }

    void assets()
    {
        const QStringList lines = Describe(*mTree);
        const int first = lines.indexOf("--" + PluginString(27) + "@16");
        QVERIFY(first > 0);
        const QString missing = PluginString(46);
        QCOMPARE(lines.mid(first + 1, 3), QStringList({"---Body | Body@4", "---Dup | " + missing + "@1",
                                                       "---" + missing + " | Extra@2"}));
        QCOMPARE(lines[first + 4], "--" + PluginString(28) + "@16");
        // Built-in colours are left out on both sides; the document's own stay.
        const int colours = lines.indexOf("--" + PluginString(29) + "@16");
        QCOMPARE(lines.mid(colours + 1, 2), QStringList({"---Sea | Sea@8", "--" + PluginString(30) + "@16"}));
    }

    void icons()
    {
        const QModelIndex project = mTree->index(0, 0);
        const QModelIndex layouts = mTree->index(0, 0, project);
        const QModelIndex layout = mTree->index(0, 0, layouts);
        const QModelIndex spread = mTree->index(0, 0, layout);
        const QModelIndex page = mTree->index(0, 0, spread);
        // The project's own pair (path and layout count) differs.
        QCOMPARE(IconImage(project.data(Qt::DecorationRole)), IconImage(":/FolderHasEdits.png"));
        QCOMPARE(IconImage(layouts.data(Qt::DecorationRole)), IconImage(":/folder.png"));
        // An identical spread with pages below it.
        QCOMPARE(IconImage(spread.data(Qt::DecorationRole)), IconImage(":/FolderIdentical.png"));
        QCOMPARE(IconImage(page.data(Qt::DecorationRole)), IconImage(":/Identical.png"));
        // A tip only where there is more to say than the name: the counts of
        // what differs below.
        QVERIFY(mTree->data(project, Qt::ToolTipRole).toString().contains(QStringLiteral("Below:")));
        QVERIFY(!mTree->data(page, Qt::ToolTipRole).isValid());
        QVERIFY(!mTree->data(QModelIndex(), Qt::DisplayRole).isValid());
        QCOMPARE(mTree->flags(page), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        QCOMPARE(mTree->flags(QModelIndex()), Qt::NoItemFlags);
    }

    // A layout whose own pair is identical but whose boxes differ.
    void identicalLayoutWithChangedBoxes()
    {
        auto [left, right] = ShapeProjects();
        right.mLayouts.resize(1);
        right.mLayouts[0].mSpreads.resize(3);
        const XTProjectId lhs = mSession->OpenBuilt(left, QStringLiteral("l2.xprj"));
        const XTProjectId rhs = mSession->OpenBuilt(right, QStringLiteral("r2.xprj"));
        ProjectTree tree(lhs, rhs);
        const QModelIndex layout = tree.index(0, 0, tree.index(0, 0, tree.index(0, 0)));
        QCOMPARE(tree.NodeOf(layout)->NodeType(), Identical);
        QCOMPARE(IconImage(layout.data(Qt::DecorationRole)), IconImage(":/FolderIdentical.png"));
        QVERIFY(
            Describe(tree).contains(QStringLiteral("----%1 8(Text) | %1 8(Text)@8").arg(PluginString(23))));
    }

    // The fast pass decides from the rows where it can, and identity keys are
    // written without the JSON where they can: both must agree with what
    // they stand for everywhere, on this tree and on the bundled samples.
    void fastStatusAgreesWithTheTexts()
    {
        QStringList disagreements;
        StatusCheck check(disagreements);
        mTree->NodeOf(mTree->index(0, 0))->Accept(check);
        const XTProjectId lhs =
            mSession->Session().Open(SourcePath(QStringLiteral("Samples/harbour-gazette-v1.xprj")));
        const XTProjectId rhs =
            mSession->Session().Open(SourcePath(QStringLiteral("Samples/harbour-gazette-v2.xprj")));
        QVERIFY(lhs != XT::kNoProject && rhs != XT::kNoProject);
        ProjectTree samples(lhs, rhs);
        samples.NodeOf(samples.index(0, 0))->Accept(check);
        QCOMPARE(disagreements, QStringList());
        QVERIFY2(check.mPairs > 60, qPrintable(QString::number(check.mPairs)));
    }

    // A tree that copies boxes already read (a three-way merge's, or a
    // rebuild's of a side that did not change) is the tree read from the
    // host anew, row for row: on both formats, whose boxes pair by number
    // and by what they are.
    void aTreeOfBoxesReadBeforeIsTheTreeReadAnew_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("xprj") << "Samples/harbour-gazette-v1.xprj" << "Samples/harbour-gazette-v2.xprj";
        QTest::newRow("sla") << "Samples/scribus/harbour-notice-v1.sla" << "Samples/scribus/harbour-notice-v2.sla";
    }
    void aTreeOfBoxesReadBeforeIsTheTreeReadAnew()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        const XTProjectId one = mSession->Session().Open(SourcePath(first));
        const XTProjectId two = mSession->Session().Open(SourcePath(second));
        QVERIFY(one != XT::kNoProject && two != XT::kNoProject);
        const ProjectTree read(one, two);
        BoxMemo memo;
        MemoBoxes(*read.Root(), memo);
        QVERIFY(memo.size() > 8);
        const ProjectTree copied(two, one, &memo);
        const ProjectTree anew(two, one);
        auto rows = [](const ProjectTree& tree)
        {
            QStringList lines = Describe(tree);
            for (ProjectTreeNodeBase* node : Merge::PairsInTreeOrder(*tree.Root()))
                if (auto* box = dynamic_cast<ProjectTreeNode<Box>*>(node))
                    lines << box->mLeft.ToString() << box->mRight.ToString();
            return lines;
        };
        QCOMPARE(rows(copied), rows(anew));
        // A rebuild that takes either side's boxes over from the old tree.
        for (int side : {0, 1})
        {
            ProjectTree rebuilt(two, one);
            rebuilt.Rebuild(two, one, side);
            QCOMPARE(rows(rebuilt), rows(anew));
        }
    }

    void modelTester()
    {
        QAbstractItemModelTester tester(mTree.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(Describe(*mTree).size() > 50);
    }

    // Leaves whose status is out of the mask are hidden; every node with
    // children stays; nothing else is hidden.
    void proxy_data()
    {
        QTest::addColumn<QVariant>("mask");
        QTest::newRow("default (no key)") << QVariant();
        QTest::newRow("15") << QVariant(15);
        QTest::newRow("8: differences only") << QVariant(8);
        QTest::newRow("2 and folders") << QVariant(2 | 16);
        QTest::newRow("everything and empty folders") << QVariant(31);
    }
    void proxy()
    {
        QFETCH(QVariant, mask);
        QSettings settings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
        if (mask.isValid())
            settings.setValue(QStringLiteral("prefs/ViewOptions"), mask);
        settings.sync();
        UserSettings::Get().Reload();
        const int bits = mask.isValid() ? mask.toInt() : 15;
        ProjectTreeProxy proxy;
        proxy.setSourceModel(mTree.get());
        QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);

        QStringList expected;
        std::function<void(const QModelIndex&, int)> walk = [&](const QModelIndex& parent, int depth)
        {
            for (int row = 0; row < mTree->rowCount(parent); ++row)
            {
                const QModelIndex index = mTree->index(row, 0, parent);
                const ProjectTreeNodeBase* node = mTree->NodeOf(index);
                const int type = node->NodeType();
                if (!node->HasChildren() && (type & bits) != type)
                    continue;
                expected << QString(depth, QLatin1Char('-')) + index.data().toString() + QLatin1Char('@') +
                                QString::number(type);
                walk(index, depth + 1);
            }
        };
        walk(QModelIndex(), 0);
        QCOMPARE(Describe(proxy), expected);
        // The empty folders of asset kinds show only with bit 16.
        QCOMPARE(expected.contains("--" + PluginString(28) + "@16"), (bits & 16) != 0);
    }

private:
    std::unique_ptr<ModelSession> mSession;
    std::unique_ptr<ProjectTree> mTree;
    XTProjectId mLeft = XT::kNoProject;
    XTProjectId mRight = XT::kNoProject;
};

QTEST_MAIN(TestProjectTree)
#include "tst_projecttree.moc"
