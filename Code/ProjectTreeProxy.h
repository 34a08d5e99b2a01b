#pragma once

#include <QSortFilterProxyModel>

// What the explorer's tree shows: the comparison tree without the leaves
// whose status the user switched off in the view options. Nodes with
// children always stay.
class ProjectTreeProxy : public QSortFilterProxyModel
{
public:
    explicit ProjectTreeProxy(QObject* parent = nullptr);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
};
