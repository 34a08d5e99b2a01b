#pragma once

#include "NodeVisitor.h"
#include "ProjectTreeNode.h"

#include <functional>
#include <memory>
#include <unordered_map>

// Boxes already read from the host, by reference (unique across projects).
// A tree built while their projects are unchanged copies them instead of
// reading every property again: a three-way merge builds three comparisons
// of three projects, and each project's boxes are in two of them.
using BoxMemo = std::unordered_map<XTBoxRef, const Box*>;
// Adds the boxes of both sides of a tree to a memo, which then refers to the
// tree: it must not outlive it.
void MemoBoxes(ProjectTreeNodeBase& root, BoxMemo& memo);
// Calls `use` with every pair of boxes below a node.
void ForEachBoxPair(ProjectTreeNodeBase& root, const std::function<void(ProjectTreeNode<Box>&)>& use);
// The pair of two projects with every pair below it made and none judged
// yet (each reads as identical): what a comparison tree holds before its
// statuses are found. Boxes in `memo` are copied from it.
std::unique_ptr<ProjectTreeNodeBase> MakePairs(XTProjectId lhs, XTProjectId rhs, const BoxMemo* memo = nullptr);

// Grows the comparison tree below a project pair: walks both projects side by
// side and pairs every item of the left with its counterpart on the right, or
// with an empty entity when there is none.
class NodeCreationVisitor : public NodeVisitor
{
public:
    NodeCreationVisitor() = default;
    // Boxes in `memo` are copied from it, not read.
    explicit NodeCreationVisitor(const BoxMemo* memo) : mMemo(memo) {}

    void Create(ProjectTreeNodeBase& node) const;

    void Visit(ProjectTreeNode<QXPCursor::NullType>& node) const override;
    void Visit(ProjectTreeNode<Project>& node) const override;
    void Visit(ProjectTreeNode<Layout>& node) const override;
    void Visit(ProjectTreeNode<Spread>& node) const override;
    void Visit(ProjectTreeNode<Page>& node) const override;
    void Visit(ProjectTreeNode<Box>& node) const override;
    void Visit(ProjectTreeNode<Story>& node) const override;
    void Visit(ProjectTreeNode<Asset>& node) const override;
    using NodeVisitor::Visit;

private:
    // Boxes whose numbers their files do not keep, paired by what they are:
    // left box to right box, for pairing the stories they begin.
    mutable std::unordered_map<XTBoxRef, XTBoxRef> mCounterparts;
    const BoxMemo* mMemo = nullptr;
};

// Adds the folder of asset kind N, with its pairs matched by name.
template <typename Kind> void AddAllAssets(ProjectTreeNodeBase& parent, long lhsProject, long rhsProject);
