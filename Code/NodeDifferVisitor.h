#pragma once

#include "NodeVisitor.h"
#include "ProjectTreeNode.h"

#include <memory>

class DiffModel;

enum DiffType
{
    Fast = 0,
    Complete = 1
};

// Compares the two entities of pair nodes. Fast marks every pair of a
// subtree from a quick text check; Complete hands back the full patch table
// of one pair.
class NodeDifferVisitor : public NodeVisitor
{
public:
    explicit NodeDifferVisitor(DiffType type);
    ~NodeDifferVisitor();

    // Fast: null. Complete: the pair's model, owned by the caller (null for a
    // folder or the root).
    [[nodiscard]] DiffModel* Diff(ProjectTreeNodeBase& node);

    void Visit(ProjectTreeNode<QXPCursor::NullType>& node) const override;
    void Visit(ProjectTreeNode<Project>& node) const override;
    void Visit(ProjectTreeNode<Layout>& node) const override;
    void Visit(ProjectTreeNode<Spread>& node) const override;
    void Visit(ProjectTreeNode<Page>& node) const override;
    void Visit(ProjectTreeNode<Box>& node) const override;
    void Visit(ProjectTreeNode<Story>& node) const override;
    void Visit(ProjectTreeNode<Asset>& node) const override;
    void Visit(PlaceholderNode& node) const override;

private:
    template <typename T> void Perform(ProjectTreeNode<T>& node) const;
    void VisitChildren(ProjectTreeNodeBase& node) const;

    mutable std::unique_ptr<DiffModel> mModel;
    const DiffType mDiffType;
};
