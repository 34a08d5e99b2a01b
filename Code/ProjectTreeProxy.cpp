#include "ProjectTreeProxy.h"

#include "ProjectTree.h"

#include <QSettings>

ProjectTreeProxy::ProjectTreeProxy(QObject* parent) : QSortFilterProxyModel(parent)
{
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
    if (node->HasChildren())
        return true;
    QSettings settings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
    const int mask = settings.value(QStringLiteral("prefs/ViewOptions"), 15).toInt();
    const int type = node->NodeType();
    return (type & mask) == type;
}
