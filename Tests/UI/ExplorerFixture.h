#pragma once

// What the explorer and preview tests share: one comparison of two project
// files, opened in a host session with the plug-in activated (PluginSession),
// shown in a real explorer window.

#include "ProjectTreeNode.h"
#include "XTTypes.h"

#include <QModelIndex>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ComparisonSession;
class CorvaneExplorer;
class DiffModel;
class PluginSession;
class PreviewModel;
class ProjectTree;
class ProjectTreeProxy;
class QAction;
class QPushButton;
class QTableView;
class QTreeView;

namespace XTHost
{
class HostSession;
}

// The path of a bundled sample project.
QString SamplePath(const QString& name);

// The two sample projects that the explorer tests compare, left and right.
extern const QString kLeftSample;
extern const QString kRightSample;

// One comparison: both projects open in the host, their tree, its filter and
// a shown, active explorer window over it.
class Comparison
{
public:
    Comparison(XTHost::HostSession& host, const QString& lhsPath, const QString& rhsPath);
    ~Comparison();
    Comparison(const Comparison&) = delete;
    Comparison& operator=(const Comparison&) = delete;

    bool IsOpen() const { return mExplorer != nullptr; }
    XTProjectId Left() const { return mLeft; }
    XTProjectId Right() const { return mRight; }

    ProjectTree& Tree() const;
    ComparisonSession& Session() const { return *mSession; }
    ProjectTreeProxy& Proxy() const { return *mProxy; }
    CorvaneExplorer& Explorer() const { return *mExplorer; }

    QTreeView* TreeView() const;
    QTableView* DiffTable() const;
    QTableView* PreviewTable() const;
    QAction* Action(const char* name) const;
    QPushButton* SaveButton() const;
    QPushButton* CancelButton() const;
    DiffModel* ShownDiffModel() const;
    PreviewModel* ShownPreviewModel() const;

    // The first node, depth first, that the predicate accepts; null for none.
    ProjectTreeNodeBase* Find(const std::function<bool(ProjectTreeNodeBase&)>& accept) const;
    // Every node of the tree, depth first.
    std::vector<ProjectTreeNodeBase*> Nodes() const;
    // The pair of stories with that number on either side.
    ProjectTreeNode<Story>* StoryPair(int number) const;
    // The pair of colours with that name on either side.
    ProjectTreeNode<Asset>* ColourPair(const QString& name) const;

    // The node's index in the explorer's tree view (its parents expanded);
    // invalid when the filter hides it.
    QModelIndex ViewIndex(ProjectTreeNodeBase* node) const;
    // Selects a node with a mouse click in the tree view.
    bool Select(ProjectTreeNodeBase* node) const;
    // Clicks a row of the patch table.
    void ClickRow(int row, int column = 0) const;

private:
    XTHost::HostSession& mHost;
    XTProjectId mLeft = XT::kNoProject;
    XTProjectId mRight = XT::kNoProject;
    std::unique_ptr<ComparisonSession> mSession;
    std::unique_ptr<ProjectTreeProxy> mProxy;
    std::unique_ptr<CorvaneExplorer> mExplorer;
};

// What a test of the explorer on the samples starts from: the settings
// cleared and the plug-in activated once; before each test function the
// settings cleared again and a comparison of the two samples opened, closed
// after it with no rendering left running.
class SampleComparisonTest : public QObject
{
    Q_OBJECT

public:
    SampleComparisonTest();
    ~SampleComparisonTest() override;

protected:
    std::unique_ptr<PluginSession> mSession;
    std::unique_ptr<Comparison> mComparison;

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
};
