#pragma once

#include <QSortFilterProxyModel>

// What the explorer's tree shows: the comparison tree without the leaves
// whose status the user switched off in the view options. Nodes with
// children always stay.
class ProjectTreeNodeBase;

class ProjectTreeProxy : public QSortFilterProxyModel
{
public:
    explicit ProjectTreeProxy(QObject* parent = nullptr);

    // A node shown whatever its status: the selected one, so that copying
    // its last row does not pull it from under the user.
    void KeepShown(const ProjectTreeNodeBase* node);

protected:
    const ProjectTreeNodeBase* mKept = nullptr;

    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
};
