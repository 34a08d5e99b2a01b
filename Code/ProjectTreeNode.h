#pragma once

#include "NodeVisitor.h"
#include "Tree.h"

#include "Asset.h"
#include "Box.h"
#include "IIterator.h"
#include "Layout.h"
#include "Page.h"
#include "Project.h"
#include "Spread.h"
#include "Story.h"

#include <QString>
#include <QUuid>
#include <QVariant>

// A node's status, and the mark of a folder. Single bits, so that a set of
// them is a mask.
enum TreeNodeType
{
    OnlyInLeft = 1,
    OnlyInRight = 2,
    Identical = 4,
    HasEdits = 8,
    Folder = 16
};

class NodeDifferVisitor;

// A node of the comparison tree.
class ProjectTreeNodeBase : public CompositeTreeNode
{
public:
    ProjectTreeNodeBase() : mId(NewId()) {}
    ~ProjectTreeNodeBase() override = default;

    virtual QVariant Data(int column) const = 0;
    virtual TreeNodeType NodeType() const = 0;
    virtual void Accept(const NodeVisitor& visitor);
    // A comparison tree holds nothing but comparison nodes: children come
    // only through this, so Child() and Parent() need no dynamic cast (which
    // took a fifth of the time of a large Copy All).
    void AddChild(ProjectTreeNodeBase* child) { CompositeTreeNode::AddChild(child); }
    virtual int ChildCount() const { return int(mChildren.size()); }
    virtual bool HasChildren() const { return ChildCount() != 0; }
    // No bounds check: callers keep 0 <= i < ChildCount().
    virtual ProjectTreeNodeBase* Child(int i) { return static_cast<ProjectTreeNodeBase*>(mChildren[size_t(i)]); }
    // The parent; null for the root.
    ProjectTreeNodeBase* Parent() const { return static_cast<ProjectTreeNodeBase*>(mParent); }
    virtual int Row() const;

    const QUuid mId;

private:
    // A random (version 4) id. QUuid::createUuid() asks the system's source
    // of randomness for every id, microseconds each, and a large comparison
    // has hundreds of thousands of nodes; these come from a generator seeded
    // once from it.
    static QUuid NewId();
};

// A pair of entities of one kind, left and right, with the pair's status.
template <typename T> class ProjectTreeNode : public ProjectTreeNodeBase
{
public:
    ProjectTreeNode(const T& left, const T& right, TreeNodeType type)
        : mLeft(left), mRight(right), mType(type)
    {
    }
    ProjectTreeNode(T&& left, T&& right, TreeNodeType type)
        : mLeft(std::move(left)), mRight(std::move(right)), mType(type)
    {
    }

    QVariant Data(int) const override
    {
        return QVariant(NameOf(mLeft) + QStringLiteral(" | ") + NameOf(mRight));
    }
    TreeNodeType NodeType() const override { return mType; }
    void Accept(const NodeVisitor& visitor) override { visitor.Visit(*this); }

    T mLeft;
    T mRight;

private:
    friend class NodeDifferVisitor;
    static QString NameOf(const T& entity) { return entity.Name(); }

    TreeNodeType mType;
};

// A folder of pairs, under a label.
class PlaceholderNode : public ProjectTreeNodeBase
{
public:
    explicit PlaceholderNode(QString name) : mName(std::move(name)) {}

    QVariant Data(int column) const override;
    TreeNodeType NodeType() const override;
    void Accept(const NodeVisitor& visitor) override;

    QString mName;
};
