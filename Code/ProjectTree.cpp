#include "ProjectTree.h"

#include "NodeCreationVisitor.h"
#include "NodeDifferVisitor.h"
#include "XTCalls.h"

#include <QFont>
#include <QIcon>
#include <QStringList>

ProjectTree::ProjectTree(long lhsProject, long rhsProject, const BoxMemo* memo)
    : Tree(new ProjectTreeNode<QXPCursor::NullType>(QXPCursor::NullType(), QXPCursor::NullType(), Identical)),
      mLeftProject(lhsProject), mRightProject(rhsProject)
{
    Build(memo);
    UpdateRollups(false);
}

void ProjectTree::Build(const BoxMemo* memo, bool judged)
{
    ProjectTreeNodeBase* projects = MakePairs(mLeftProject, mRightProject, memo).release();
    Root()->AddChild(projects);
    if (judged)
        (void)NodeDifferVisitor(Fast).Diff(*projects);
}

void ProjectTree::Rebuild(long lhsProject, long rhsProject, int unchanged, bool judged)
{
    beginResetModel();
    std::vector<Box> kept;
    if (unchanged == 0 || unchanged == 1)
        TakeBoxes(*Root(), unchanged, kept);
    BoxMemo memo;
    for (const Box& box : kept)
        memo.emplace(box.BoxRef(), &box);
    delete mRoot;
    mRoot = new ProjectTreeNode<QXPCursor::NullType>(QXPCursor::NullType(), QXPCursor::NullType(), Identical);
    mLeftProject = lhsProject;
    mRightProject = rhsProject;
    mPending.clear();
    mRollups.clear();
    mShownTypes.clear();
    mHeldNodes.clear();
    Build(kept.empty() ? nullptr : &memo, judged);
    if (judged)
        UpdateRollups(false);
    endResetModel();
}

void ProjectTree::TakeBoxes(ProjectTreeNodeBase& node, int side, std::vector<Box>& boxes)
{
    ForEachBoxPair(node,
                   [side, &boxes](ProjectTreeNode<Box>& pair)
                   {
                       Box& box = side == 0 ? pair.mLeft : pair.mRight;
                       if (box.IsValid())
                           boxes.push_back(std::move(box));
                   });
}

QStringList ProjectTree::PathOf(const ProjectTreeNodeBase* node)
{
    QStringList path;
    for (; node && node->mParent; node = node->Parent())
        path.prepend(const_cast<ProjectTreeNodeBase*>(node)->Data(0).toString());
    return path;
}

QModelIndex ProjectTree::IndexOf(const ProjectTreeNodeBase* node) const
{
    if (!node || node == Root() || !node->mParent)
        return QModelIndex();
    return createIndex(node->Row(), 0, const_cast<ProjectTreeNodeBase*>(node));
}

ProjectTreeNodeBase* ProjectTree::NodeAt(const QStringList& path) const
{
    ProjectTreeNodeBase* node = Root();
    for (const QString& label : path)
    {
        ProjectTreeNodeBase* next = nullptr;
        for (int i = 0; i < node->ChildCount() && !next; ++i)
            if (node->Child(i)->Data(0).toString() == label)
                next = node->Child(i);
        if (!next)
            break;
        node = next;
    }
    return node;
}

ProjectTree::~ProjectTree() = default;

void ProjectTree::RefreshNodeTypes()
{
    (void)NodeDifferVisitor(Fast).Diff(*Root());
    mPending.clear();
    UpdateRollups(true);
}

void ProjectTree::SetPendingType(ProjectTreeNodeBase* node, int type)
{
    if (!node || node == Root())
        return;
    const int before = ShownType(node);
    const bool was = IsPending(node);
    if (type == 0)
        mPending.remove(node);
    else
        mPending.insert(node, type);
    const int after = ShownType(node);
    if (after != before || was != IsPending(node))
        ShiftRollups(node, before, after, int(IsPending(node)) - int(was));
    Announce(node);
}

// Only the ancestors' roll-ups change, by one each: counting the whole tree
// again after every copy made Copy All grow with the square of the project.
void ProjectTree::ShiftRollups(const ProjectTreeNodeBase* node, int before, int after, int pending)
{
    mShownTypes.insert(node, after);
    for (ProjectTreeNodeBase* at = node->Parent(); at; at = at->Parent())
    {
        Rollup rollup = mRollups.value(at);
        Tally(rollup, before, -1);
        Tally(rollup, after, 1);
        rollup.mPending += pending;
        if (rollup.Total() > 0 || rollup.mPending > 0)
            mRollups.insert(at, rollup);
        else
            mRollups.remove(at);
        Announce(at);
    }
}

void ProjectTree::Tally(Rollup& rollup, int type, int step)
{
    switch (type)
    {
    case HasEdits:
        rollup.mEdited += step;
        break;
    case OnlyInLeft:
        rollup.mLeftOnly += step;
        break;
    case OnlyInRight:
        rollup.mRightOnly += step;
        break;
    default:
        break;
    }
}

void ProjectTree::Announce(const ProjectTreeNodeBase* node)
{
    if (!node || node == Root() || !node->mParent)
        return;
    if (mHeld > 0)
    {
        mHeldNodes.insert(node);
        return;
    }
    const QModelIndex index = createIndex(node->Row(), 0, const_cast<ProjectTreeNodeBase*>(node));
    emit dataChanged(index, index);
}

ProjectTree::Quiet::Quiet(ProjectTree* tree) : mTree(tree)
{
    if (mTree)
        ++mTree->mHeld;
}

ProjectTree::Quiet::~Quiet()
{
    if (!mTree || --mTree->mHeld > 0)
        return;
    const QSet<const ProjectTreeNodeBase*> nodes = std::move(mTree->mHeldNodes);
    mTree->mHeldNodes.clear();
    for (const ProjectTreeNodeBase* node : nodes)
        mTree->Announce(node);
}

int ProjectTree::ShownType(const ProjectTreeNodeBase* node) const
{
    return mPending.value(node, int(node->NodeType()));
}

ProjectTree::Rollup ProjectTree::Count(const ProjectTreeNodeBase* node,
                                       QHash<const ProjectTreeNodeBase*, Rollup>& rollups) const
{
    Rollup rollup;
    auto* parent = const_cast<ProjectTreeNodeBase*>(node);
    for (int i = 0; i < parent->ChildCount(); ++i)
    {
        const ProjectTreeNodeBase* child = parent->Child(i);
        const Rollup below = Count(child, rollups);
        rollup.mEdited += below.mEdited;
        rollup.mLeftOnly += below.mLeftOnly;
        rollup.mRightOnly += below.mRightOnly;
        Tally(rollup, ShownType(child), 1);
        rollup.mPending += below.mPending + (IsPending(child) ? 1 : 0);
    }
    if (rollup.Total() > 0 || rollup.mPending > 0)
        rollups.insert(node, rollup);
    return rollup;
}

void ProjectTree::UpdateRollups(bool announce)
{
    QHash<const ProjectTreeNodeBase*, Rollup> rollups;
    (void)Count(Root(), rollups);
    QHash<const ProjectTreeNodeBase*, Rollup> before = std::move(mRollups);
    mRollups = std::move(rollups);
    if (announce)
        AnnounceChanges(Root(), before);
    else
        RememberShownTypes(Root());
}

void ProjectTree::RememberShownTypes(const ProjectTreeNodeBase* node)
{
    auto* parent = const_cast<ProjectTreeNodeBase*>(node);
    for (int i = 0; i < parent->ChildCount(); ++i)
    {
        const ProjectTreeNodeBase* child = parent->Child(i);
        mShownTypes.insert(child, ShownType(child));
        RememberShownTypes(child);
    }
}

// One signal per changed node: a proxy filters each of them again, and a
// view repaints only those.
void ProjectTree::AnnounceChanges(ProjectTreeNodeBase* node,
                                  const QHash<const ProjectTreeNodeBase*, Rollup>& before)
{
    for (int i = 0; i < node->ChildCount(); ++i)
    {
        ProjectTreeNodeBase* child = node->Child(i);
        AnnounceChanges(child, before);
        const int shown = ShownType(child);
        int& known = mShownTypes[child];
        if (known != shown || before.value(child) != mRollups.value(child))
        {
            known = shown;
            const QModelIndex index = createIndex(i, 0, child);
            emit dataChanged(index, index);
        }
    }
}

QString ProjectTree::RollupText(const Rollup& rollup)
{
    QStringList parts;
    if (rollup.mEdited)
        parts << QStringLiteral("~%1").arg(rollup.mEdited);
    if (rollup.mLeftOnly)
        parts << QStringLiteral("<%1").arg(rollup.mLeftOnly);
    if (rollup.mRightOnly)
        parts << QStringLiteral(">%1").arg(rollup.mRightOnly);
    return parts.join(QLatin1Char(' '));
}

QString ProjectTree::RollupToolTip(const Rollup& rollup)
{
    if (rollup.Total() == 0)
        return rollup.mPending > 0 ? QStringLiteral("Below, once saved: nothing differs") : QString();
    QStringList parts;
    if (rollup.mEdited)
        parts << QStringLiteral("%1 edited").arg(rollup.mEdited);
    if (rollup.mLeftOnly)
        parts << QStringLiteral("%1 only left").arg(rollup.mLeftOnly);
    if (rollup.mRightOnly)
        parts << QStringLiteral("%1 only right").arg(rollup.mRightOnly);
    return (rollup.mPending > 0 ? QStringLiteral("Below, once saved: ") : QStringLiteral("Below: ")) +
           parts.join(QStringLiteral(", "));
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
    ProjectTreeNodeBase* parent = NodeOf(index)->Parent();
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
    switch (role)
    {
    case StatusRole:
        return int(node->NodeType());
    case ShownStatusRole:
        return ShownType(node);
    case PendingRole:
        return IsPending(node);
    case EditedBelowRole:
        return RollupOf(node).mEdited;
    case LeftOnlyBelowRole:
        return RollupOf(node).mLeftOnly;
    case RightOnlyBelowRole:
        return RollupOf(node).mRightOnly;
    case RollupTextRole:
        return RollupText(RollupOf(node));
    case NoteRole:
        return mNotes ? mNotes(*node) : QString();
    case Qt::ToolTipRole:
    {
        const QString note = mNotes ? mNotes(*node) : QString();
        // Only where there is more to say than the item's name.
        if (!IsPending(node) && RollupOf(node).Total() == 0 && RollupOf(node).mPending == 0 && note.isEmpty())
            return QVariant();
        QStringList lines;
        lines << node->Data(index.column()).toString();
        if (!note.isEmpty())
            lines << QStringLiteral("Three-way merge: %1").arg(note);
        if (IsPending(node))
            lines << QStringLiteral("Copied rows not saved yet");
        const QString below = RollupToolTip(RollupOf(node));
        if (!below.isEmpty())
            lines << below;
        return lines.join(QLatin1Char('\n'));
    }
    case Qt::FontRole:
        // Italic: what is shown is what Save will make of it.
        if (IsPending(node) || RollupOf(node).mPending > 0)
        {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return QVariant();
    default:
        break;
    }
    if (role == Qt::DecorationRole)
    {
        const QString path = IconPath(ShownType(node), node->HasChildren());
        if (path.isEmpty())
            return QVariant();
        return QIcon(path);
    }
    return QVariant();
}
