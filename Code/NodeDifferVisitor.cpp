#include "NodeDifferVisitor.h"

#include "DiffModel.h"

NodeDifferVisitor::NodeDifferVisitor(DiffType type) : mDiffType(type)
{
}

NodeDifferVisitor::~NodeDifferVisitor() = default;

DiffModel* NodeDifferVisitor::Diff(ProjectTreeNodeBase& node)
{
    node.Accept(*this);
    if (mDiffType == Fast)
        return nullptr;
    return mModel.release();
}

template <typename T> void NodeDifferVisitor::Perform(ProjectTreeNode<T>& node) const
{
    if (mDiffType == Fast)
    {
        // A status needs no model: no model object per pair of the tree.
        node.mType = DiffModel::FastStatus(node.mLeft, node.mRight);
        VisitChildren(node);
    }
    else
    {
        mModel = std::make_unique<DiffModel>(node.mLeft, node.mRight);
        mModel->CompleteDiff();
    }
}

void NodeDifferVisitor::VisitChildren(ProjectTreeNodeBase& node) const
{
    for (int i = 0; i < node.ChildCount(); ++i)
        node.Child(i)->Accept(*this);
}

void NodeDifferVisitor::Visit(ProjectTreeNode<QXPCursor::NullType>& node) const
{
    if (mDiffType == Fast)
        VisitChildren(node);
}

void NodeDifferVisitor::Visit(PlaceholderNode& node) const
{
    if (mDiffType == Fast)
        VisitChildren(node);
}

void NodeDifferVisitor::Visit(ProjectTreeNode<Project>& node) const
{
    Perform(node);
}

void NodeDifferVisitor::Visit(ProjectTreeNode<Layout>& node) const
{
    Perform(node);
}

void NodeDifferVisitor::Visit(ProjectTreeNode<Spread>& node) const
{
    Perform(node);
}

void NodeDifferVisitor::Visit(ProjectTreeNode<Page>& node) const
{
    Perform(node);
}

void NodeDifferVisitor::Visit(ProjectTreeNode<Box>& node) const
{
    Perform(node);
}

void NodeDifferVisitor::Visit(ProjectTreeNode<Story>& node) const
{
    Perform(node);
}

void NodeDifferVisitor::Visit(ProjectTreeNode<Asset>& node) const
{
    Perform(node);
}
