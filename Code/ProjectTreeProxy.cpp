#include "ProjectTreeProxy.h"

#include "ProjectTree.h"

#include <QSettings>

ProjectTreeProxy::ProjectTreeProxy(QObject* parent) : QSortFilterProxyModel(parent)
{
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
    QSettings settings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
    const int mask = settings.value(QStringLiteral("prefs/ViewOptions"), 15).toInt();
    // A pair whose copies make it identical leaves the view at once, not at
    // the next save.
    const int type = tree->ShownType(node);
    return (type & mask) == type;
}
