#pragma once

#include "ProjectTreeNode.h"
#include "Tree.h"

#include <QAbstractItemModel>

// The item model of one comparison: builds the comparison tree of two open
// projects, marks every pair, and shows it as a one-column tree with a status
// icon per node.
class ProjectTree : public QAbstractItemModel, public Tree
{
    Q_OBJECT

public:
    ProjectTree(long lhsProject, long rhsProject);
    ~ProjectTree() override;

    // Marks every pair again from the documents' current contents.
    void RefreshNodeTypes();

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The node's status (TreeNodeType) for views and tests that read it.
    static constexpr int StatusRole = Qt::UserRole + 1;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The node behind an index of this model; the root for an invalid one.
    ProjectTreeNodeBase* NodeOf(const QModelIndex& index) const;
    ProjectTreeNodeBase* Root() const;

    // The icon resource of a status, or an empty string for none.
    static QString IconPath(int type, bool hasChildren);
};
