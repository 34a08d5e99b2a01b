#include "ProjectTreeProxy.h"

#include "ProjectTree.h"

#include "UserSettings.h"

ProjectTreeProxy::ProjectTreeProxy(QObject* parent) : QSortFilterProxyModel(parent)
{
    connect(&UserSettings::Get(), &UserSettings::viewOptionsChanged, this, &ProjectTreeProxy::invalidate);
}

void ProjectTreeProxy::KeepShown(const ProjectTreeNodeBase* node)
{
    const ProjectTreeNodeBase* before = mKept;
    mKept = node;
    auto* tree = qobject_cast<ProjectTree*>(sourceModel());
    if (tree && before && before != node)
        tree->Announce(before);
}

bool ProjectTreeProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    if (!index.isValid())
        return true;
    auto* tree = qobject_cast<const ProjectTree*>(sourceModel());
    if (!tree)
        return true;
    const ProjectTreeNodeBase* node = tree->NodeOf(index);
    if (node->HasChildren() || node == mKept)
        return true;
    const int mask = UserSettings::Get().ViewOptions();
    // A pair whose copies make it identical leaves the view at once, not at
    // the next save.
    const int type = tree->ShownType(node);
    return (type & mask) == type;
}
