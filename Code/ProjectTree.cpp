#include "ProjectTree.h"

#include "NodeCreationVisitor.h"
#include "NodeDifferVisitor.h"
#include "XTCalls.h"

#include <QIcon>

ProjectTree::ProjectTree(long lhsProject, long rhsProject)
    : Tree(new ProjectTreeNode<QXPCursor::NullType>(QXPCursor::NullType(), QXPCursor::NullType(), Identical))
{
    // Most measures repeat from box to box: one text each for the whole build.
    const XT::FixedTextMemo measures;
    auto* projects = new ProjectTreeNode<Project>(Project(lhsProject), Project(rhsProject), Identical);
    Root()->AddChild(projects);
    NodeCreationVisitor().Create(*projects);
    (void)NodeDifferVisitor(Fast).Diff(*projects);
}

ProjectTree::~ProjectTree() = default;

void ProjectTree::RefreshNodeTypes()
{
    (void)NodeDifferVisitor(Fast).Diff(*Root());
}

ProjectTreeNodeBase* ProjectTree::Root() const
{
    return static_cast<ProjectTreeNodeBase*>(mRoot);
}

ProjectTreeNodeBase* ProjectTree::NodeOf(const QModelIndex& index) const
{
    if (!index.isValid())
        return Root();
    Q_ASSERT(index.model() == this);
    return static_cast<ProjectTreeNodeBase*>(index.internalPointer());
}

int ProjectTree::columnCount(const QModelIndex&) const
{
    return 1;
}

// Only as text: answered for the size role too, the header would ask for a
// size of "Project Explorer" and shrink to nothing.
QVariant ProjectTree::headerData(int, Qt::Orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    return QVariant(QStringLiteral("Project Explorer"));
}

Qt::ItemFlags ProjectTree::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

QModelIndex ProjectTree::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    ProjectTreeNodeBase* child = NodeOf(parent)->Child(row);
    if (!child)
        return QModelIndex();
    return createIndex(row, column, child);
}

QModelIndex ProjectTree::parent(const QModelIndex& index) const
{
    if (!index.isValid())
        return QModelIndex();
    auto* parent = dynamic_cast<ProjectTreeNodeBase*>(NodeOf(index)->mParent);
    if (!parent || parent == Root())
        return QModelIndex();
    return createIndex(parent->Row(), 0, parent);
}

int ProjectTree::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    return NodeOf(parent)->ChildCount();
}

QString ProjectTree::IconPath(int type, bool hasChildren)
{
    switch (type)
    {
    case OnlyInLeft:
        return QStringLiteral(":/OnlyInLeft.png");
    case OnlyInRight:
        return QStringLiteral(":/OnlyInRight.png");
    case Identical:
        return hasChildren ? QStringLiteral(":/FolderIdentical.png") : QStringLiteral(":/Identical.png");
    case HasEdits:
        return hasChildren ? QStringLiteral(":/FolderHasEdits.png") : QStringLiteral(":/HasEdits.png");
    case Folder:
        return QStringLiteral(":/folder.png");
    default:
        return QString();
    }
}

QVariant ProjectTree::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const ProjectTreeNodeBase* node = NodeOf(index);
    if (role == Qt::DisplayRole)
        return node->Data(index.column());
    if (role == StatusRole)
        return int(node->NodeType());
    if (role == Qt::DecorationRole)
    {
        const QString path = IconPath(node->NodeType(), node->HasChildren());
        if (path.isEmpty())
            return QVariant();
        return QIcon(path);
    }
    return QVariant();
}
