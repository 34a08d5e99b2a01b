#pragma once

#include "NodeVisitor.h"
#include "ProjectTreeNode.h"

#include <unordered_map>

// Grows the comparison tree below a project pair: walks both projects side by
// side and pairs every item of the left with its counterpart on the right, or
// with an empty entity when there is none.
class NodeCreationVisitor : public NodeVisitor
{
public:
    NodeCreationVisitor() = default;

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
};

// Adds the folder of asset kind N, with its pairs matched by name.
template <typename Kind> void AddAllAssets(ProjectTreeNodeBase& parent, long lhsProject, long rhsProject);
