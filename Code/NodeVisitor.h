#pragma once

namespace QXPCursor
{
class NullType;
}
class Project;
class Layout;
class Spread;
class Page;
class Box;
class Story;
class Asset;
template <typename T> class ProjectTreeNode;
class PlaceholderNode;

// Double dispatch over the node kinds of the comparison tree.
class NodeVisitor
{
public:
    virtual void Visit(ProjectTreeNode<QXPCursor::NullType>& node) const = 0;
    virtual void Visit(ProjectTreeNode<Project>& node) const = 0;
    virtual void Visit(ProjectTreeNode<Layout>& node) const = 0;
    virtual void Visit(ProjectTreeNode<Spread>& node) const = 0;
    virtual void Visit(ProjectTreeNode<Page>& node) const = 0;
    virtual void Visit(ProjectTreeNode<Box>& node) const = 0;
    virtual void Visit(ProjectTreeNode<Story>& node) const = 0;
    virtual void Visit(ProjectTreeNode<Asset>& node) const = 0;
    virtual void Visit(PlaceholderNode& node) const;

protected:
    NodeVisitor() = default;
    NodeVisitor(const NodeVisitor&) = default;
    // Visitors live on their user's stack; none is deleted through this base.
    ~NodeVisitor() = default;
};
