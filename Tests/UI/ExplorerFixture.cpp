#include "ExplorerFixture.h"

#include "ComparisonSession.h"
#include "CorvaneExplorer.h"
#include "DiffModel.h"
#include "HostSession.h"
#include "PluginSession.h"
#include "PreviewModel.h"
#include "ProjectTree.h"
#include "ProjectTreeProxy.h"
#include "UiTestSupport.h"
#include "XImageLoader.h"
#include "XTCalls.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeView>

const QString kLeftSample = QStringLiteral("harbour-gazette-v1.xprj");
const QString kRightSample = QStringLiteral("harbour-gazette-v2.xprj");

QString SamplePath(const QString& name)
{
    return SourcePath(QStringLiteral("Samples/") + name);
}

Comparison::Comparison(XTHost::HostSession& host, const QString& lhsPath, const QString& rhsPath)
    : mHost(host), mSession(std::make_unique<ComparisonSession>(lhsPath, rhsPath))
{
    if (!mSession->IsOpen())
    {
        qWarning("cannot open the projects: %s", qPrintable(mSession->OpenError()));
        return;
    }
    mLeft = mSession->Project(ComparisonSession::LHS);
    mRight = mSession->Project(ComparisonSession::RHS);
    mProxy = std::make_unique<ProjectTreeProxy>();
    mProxy->setSourceModel(&mSession->Tree());
    mExplorer = std::make_unique<CorvaneExplorer>(*mSession, *mProxy, nullptr);
    mExplorer->show();
    mExplorer->activateWindow();
    if (!QTest::qWaitForWindowActive(mExplorer.get()))
        qWarning("the explorer window did not become active");
}

Comparison::~Comparison()
{
    // As the invoker ends a comparison: the window goes before the session
    // whose models and tree it shows, which closes the projects.
    if (mExplorer)
        mExplorer->ClearPreviewCache();
    mExplorer.reset();
    mProxy.reset();
    mSession.reset();
}

ProjectTree& Comparison::Tree() const
{
    return mSession->Tree();
}

QTreeView* Comparison::TreeView() const
{
    return mExplorer->findChild<QTreeView*>(QStringLiteral("mExplorer"));
}

QTableView* Comparison::DiffTable() const
{
    return mExplorer->findChild<QTableView*>(QStringLiteral("mDiffTable"));
}

QTableView* Comparison::PreviewTable() const
{
    return mExplorer->findChild<QTableView*>(QStringLiteral("mPreviewTable"));
}

QAction* Comparison::Action(const char* name) const
{
    return mExplorer->findChild<QAction*>(QLatin1String(name));
}

QPushButton* Comparison::SaveButton() const
{
    return mExplorer->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
        ->button(QDialogButtonBox::Save);
}

QPushButton* Comparison::CancelButton() const
{
    return mExplorer->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
        ->button(QDialogButtonBox::Cancel);
}

DiffModel* Comparison::ShownDiffModel() const
{
    return qobject_cast<DiffModel*>(DiffTable()->model());
}

PreviewModel* Comparison::ShownPreviewModel() const
{
    return qobject_cast<PreviewModel*>(PreviewTable()->model());
}

std::vector<ProjectTreeNodeBase*> Comparison::Nodes() const
{
    std::vector<ProjectTreeNodeBase*> nodes;
    std::function<void(ProjectTreeNodeBase*)> walk = [&](ProjectTreeNodeBase* node)
    {
        for (int i = 0; i < node->ChildCount(); ++i)
        {
            nodes.push_back(node->Child(i));
            walk(node->Child(i));
        }
    };
    walk(Tree().Root());
    return nodes;
}

ProjectTreeNodeBase* Comparison::Find(const std::function<bool(ProjectTreeNodeBase&)>& accept) const
{
    for (ProjectTreeNodeBase* node : Nodes())
        if (accept(*node))
            return node;
    return nullptr;
}

ProjectTreeNode<Story>* Comparison::StoryPair(int number) const
{
    auto numberOf = [](const Story& story)
    { return story.Text() ? XT::gText->GetStoryNumber(story.Text()) : -1; };
    return static_cast<ProjectTreeNode<Story>*>(Find(
        [&](ProjectTreeNodeBase& node)
        {
            auto* pair = dynamic_cast<ProjectTreeNode<Story>*>(&node);
            return pair && (numberOf(pair->mLeft) == number || numberOf(pair->mRight) == number);
        }));
}

ProjectTreeNode<Asset>* Comparison::ColourPair(const QString& name) const
{
    return static_cast<ProjectTreeNode<Asset>*>(Find(
        [&](ProjectTreeNodeBase& node)
        {
            auto* pair = dynamic_cast<ProjectTreeNode<Asset>*>(&node);
            return pair && pair->mLeft.Kind() == XT::kColorAssetKind &&
                   ((pair->mLeft.IsValid() && pair->mLeft.Name() == name) ||
                    (pair->mRight.IsValid() && pair->mRight.Name() == name));
        }));
}

QModelIndex Comparison::ViewIndex(ProjectTreeNodeBase* node) const
{
    std::vector<ProjectTreeNodeBase*> path;
    for (ProjectTreeNodeBase* n = node; n && n != Tree().Root();
         n = dynamic_cast<ProjectTreeNodeBase*>(n->mParent))
        path.insert(path.begin(), n);
    QModelIndex source;
    for (ProjectTreeNodeBase* n : path)
        source = Tree().index(n->Row(), 0, source);
    const QModelIndex index = mProxy->mapFromSource(source);
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        TreeView()->expand(parent);
    return index;
}

bool Comparison::Select(ProjectTreeNodeBase* node) const
{
    const QModelIndex index = ViewIndex(node);
    if (!index.isValid())
        return false;
    QTreeView* view = TreeView();
    view->scrollTo(index);
    const QRect rect = view->visualRect(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    return view->selectionModel()->isSelected(index);
}

void Comparison::ClickRow(int row, int column) const
{
    QTableView* table = DiffTable();
    const QModelIndex index = table->model()->index(row, column);
    table->scrollTo(index);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, table->visualRect(index).center());
}

SampleComparisonTest::SampleComparisonTest() = default;

SampleComparisonTest::~SampleComparisonTest() = default;

void SampleComparisonTest::initTestCase()
{
    TestSettings().clear();
    mSession = std::make_unique<PluginSession>();
    QCOMPARE(mSession->SetupStatus(), XTStatus(0));
}

void SampleComparisonTest::init()
{
    TestSettings().clear();
    mComparison =
        std::make_unique<Comparison>(mSession->Host(), SamplePath(kLeftSample), SamplePath(kRightSample));
    QVERIFY(mComparison->IsOpen());
}

void SampleComparisonTest::cleanup()
{
    mComparison.reset();
    QVERIFY(!XImageLoader::WorkInProgress());
}

void SampleComparisonTest::cleanupTestCase()
{
    mComparison.reset();
    mSession.reset();
}
