#include "ProjectTreeNode.h"

void ProjectTreeNodeBase::Accept(const NodeVisitor&)
{
}

int ProjectTreeNodeBase::Row() const
{
    if (auto* parent = dynamic_cast<const CompositeTreeNode*>(mParent))
        return parent->ChildIndex(this);
    return 0;
}

QVariant PlaceholderNode::Data(int) const
{
    return QVariant(mName);
}

TreeNodeType PlaceholderNode::NodeType() const
{
    return Folder;
}

void PlaceholderNode::Accept(const NodeVisitor& visitor)
{
    visitor.Visit(*this);
}
