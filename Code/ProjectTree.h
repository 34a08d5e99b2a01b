#pragma once

#include "NodeCreationVisitor.h"
#include "ProjectTreeNode.h"
#include "Tree.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QSet>

#include <functional>

// The item model of one comparison: builds the comparison tree of two open
// projects, marks every pair, and shows it as a one-column tree with a status
// icon per node. Every node also carries its roll-up: how many items below it
// are edited, only left or only right. A pair's own status says only whether
// its own properties differ; the roll-up says whether anything inside does.
//
// A pair whose copied rows are not saved yet has a pending status: what the
// pair will be once saved. The icon, the roll-up and the filter show that one.
class ProjectTree : public QAbstractItemModel, public Tree
{
    Q_OBJECT

public:
    // Boxes in `memo` are copied from it while the tree is built, not read
    // from the host again.
    ProjectTree(long lhsProject, long rhsProject, const BoxMemo* memo = nullptr);
    ~ProjectTree() override;

    // The items below a node that differ, by status.
    struct Rollup
    {
        int mEdited = 0;
        int mLeftOnly = 0;
        int mRightOnly = 0;
        // Pairs below with copies not saved yet: the counts are what Save
        // will leave.
        int mPending = 0;

        int Total() const { return mEdited + mLeftOnly + mRightOnly; }
        bool operator==(const Rollup& other) const
        {
            return mEdited == other.mEdited && mLeftOnly == other.mLeftOnly && mRightOnly == other.mRightOnly &&
                   mPending == other.mPending;
        }
        bool operator!=(const Rollup& other) const { return !(*this == other); }
    };

    // Marks every pair again from the documents' current contents; pending
    // statuses are dropped (the documents now hold what was copied).
    void RefreshNodeTypes();
    // Builds the whole tree anew from the documents as they are now, with
    // `lhsProject` on the left: after items were copied or removed (pairs
    // change), or to swap the sides. Every node of the old tree is gone, so
    // the views are reset.
    // A side named `unchanged` (0 left, 1 right) is the same project as
    // before, its document unchanged since the tree was built: its boxes are
    // taken over from the old tree instead of being read again. Without
    // `judged`, the pairs are made and their statuses left unfound (every
    // pair reads as identical): a tree only searched for pairs, not shown.
    void Rebuild(long lhsProject, long rhsProject, int unchanged = -1, bool judged = true);
    long LeftProject() const { return mLeftProject; }
    long RightProject() const { return mRightProject; }
    // The labels from the project pair down to a node, for finding "the
    // same" node again after a rebuild; and that node, or its nearest
    // ancestor that still exists.
    static QStringList PathOf(const ProjectTreeNodeBase* node);
    ProjectTreeNodeBase* NodeAt(const QStringList& path) const;
    QModelIndex IndexOf(const ProjectTreeNodeBase* node) const;

    // What a pair will be once its copied rows are saved; 0 drops the
    // pending status.
    void SetPendingType(ProjectTreeNodeBase* node, int type);
    // Tells the views that a node's data may have changed.
    void Announce(const ProjectTreeNodeBase* node);
    // While one lives, what changes is told once at its end, each node once:
    // a Copy All over thousands of pairs changes the same few folders each
    // time.
    class Quiet
    {
    public:
        explicit Quiet(ProjectTree* tree);
        ~Quiet();
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;

    private:
        ProjectTree* mTree;
    };
    bool IsPending(const ProjectTreeNodeBase* node) const { return mPending.contains(node); }
    // The status shown: the pending one where there is one.
    int ShownType(const ProjectTreeNodeBase* node) const;

    Rollup RollupOf(const ProjectTreeNodeBase* node) const { return mRollups.value(node); }
    // "~2 <1 >3": only the counts that are not zero; empty for none.
    static QString RollupText(const Rollup& rollup);
    // "Below: 2 edited, 1 only left, 3 only right"; empty for none.
    static QString RollupToolTip(const Rollup& rollup);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& index) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The node's status (TreeNodeType) for views and tests that read it.
    static constexpr int StatusRole = Qt::UserRole + 1;
    // The status shown (int): StatusRole, or the pending status of a pair
    // whose copies are not saved yet.
    static constexpr int ShownStatusRole = Qt::UserRole + 2;
    // bool: the pair has copied rows that are not saved yet.
    static constexpr int PendingRole = Qt::UserRole + 3;
    // The roll-up counts below a node (int each), and as RollupText.
    static constexpr int EditedBelowRole = Qt::UserRole + 4;
    static constexpr int LeftOnlyBelowRole = Qt::UserRole + 5;
    static constexpr int RightOnlyBelowRole = Qt::UserRole + 6;
    static constexpr int RollupTextRole = Qt::UserRole + 7;
    // A word the window puts beside a node (a three-way merge: "conflict",
    // "merged"); empty for none.
    static constexpr int NoteRole = Qt::UserRole + 8;
    void SetNotes(std::function<QString(const ProjectTreeNodeBase&)> notes) { mNotes = std::move(notes); }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The node behind an index of this model; the root for an invalid one.
    ProjectTreeNodeBase* NodeOf(const QModelIndex& index) const;
    ProjectTreeNodeBase* Root() const;

    // The icon resource of a status, or an empty string for none.
    static QString IconPath(int type, bool hasChildren);

private:
    void Build(const BoxMemo* memo = nullptr, bool judged = true);
    // Moves the boxes of one side out of the pairs below a node, which are
    // about to go.
    static void TakeBoxes(ProjectTreeNodeBase& node, int side, std::vector<Box>& boxes);

    long mLeftProject;
    long mRightProject;

    // Counts every node again and tells the views of each node whose shown
    // status or roll-up changed.
    void UpdateRollups(bool announce);
    Rollup Count(const ProjectTreeNodeBase* node, QHash<const ProjectTreeNodeBase*, Rollup>& rollups) const;
    void AnnounceChanges(ProjectTreeNodeBase* node, const QHash<const ProjectTreeNodeBase*, Rollup>& before);
    // A node's shown status changed from `before` to `after`, and it
    // became pending (`pending` 1), stopped being so (-1) or neither (0).
    void ShiftRollups(const ProjectTreeNodeBase* node, int before, int after, int pending);
    static void Tally(Rollup& rollup, int type, int step);
    void RememberShownTypes(const ProjectTreeNodeBase* node);

    QHash<const ProjectTreeNodeBase*, Rollup> mRollups;
    QHash<const ProjectTreeNodeBase*, int> mPending;
    // The shown status of every node as last announced to the views.
    QHash<const ProjectTreeNodeBase*, int> mShownTypes;
    int mHeld = 0;
    QSet<const ProjectTreeNodeBase*> mHeldNodes;
    std::function<QString(const ProjectTreeNodeBase&)> mNotes;
};
