#pragma once

#include <cstddef>
#include <vector>

// A general tree that knows nothing of what its nodes hold. A child belongs
// to its parent from AddChild on; the root belongs to the Tree.
class TreeNode
{
public:
    TreeNode() = default;
    virtual ~TreeNode() = default;
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;

    TreeNode* mParent = nullptr;
    // The node's place among its parent's children, set when it is added:
    // views ask for it on every index they make.
    int mRow = -1;
};

class CompositeTreeNode : public TreeNode
{
public:
    ~CompositeTreeNode() override
    {
        for (TreeNode* child : mChildren)
            delete child;
        mChildren.clear();
    }

    void AddChild(TreeNode* child)
    {
        child->mParent = this;
        child->mRow = int(mChildren.size());
        mChildren.push_back(child);
    }

    // The child's position, or -1 when it is not a child of this node.
    int ChildIndex(const CompositeTreeNode* child) const
    {
        return child && child->mParent == this ? child->mRow : -1;
    }

protected:
    std::vector<TreeNode*> mChildren;
};

class Tree
{
public:
    explicit Tree(TreeNode* root = nullptr) : mRoot(root) {}
    virtual ~Tree() { delete mRoot; }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

protected:
    TreeNode* mRoot;
};
