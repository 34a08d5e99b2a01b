#include "ComparisonSession.h"

#include "DiffModel.h"
#include "MergeLog.h"
#include "PhaseTimes.h"
#include "Project.h"
#include "ProjectTree.h"
#include "ProjectTreeNode.h"
#include "XTCalls.h"

#include <QSet>

#include <utility>

namespace
{

constexpr int32_t kOpenFlags = 31;
// Saved as the host's Save does: a new file renamed over the old one.
constexpr int32_t kSaveFlags = 0;
constexpr int32_t kSaveOptions = 71;
constexpr int32_t kCloseWithoutSaving = 1;

// The host's reason for the last refused open, when it gives one.
QString LastOpenError()
{
    if (XT::gProject->GetOpenError)
        return XT::ToQString(XT::gProject->GetOpenError());
    return QString();
}

} // namespace

XTProjectId OpenProject(const QString& path)
{
    if (path.isEmpty())
        return XT::kNoProject;
    XTFileSpec file = nullptr;
    {
        XT::HostStringHolder hostPath(path);
        file = XT::gFiles->FileFromPath(hostPath.Get());
    }
    if (!file)
        return XT::kNoProject;
    const XTProjectId project = XT::gProject->OpenProjectFile(file, kOpenFlags);
    XT::gFiles->DisposeFile(file);
    return project;
}

int Merge::CopyPlan::Rows() const
{
    int rows = 0;
    for (const Copy& copy : mCopies)
        rows += copy.mRows.size();
    return rows;
}

ComparisonSession::ComparisonSession(const QString& lhsPath, const QString& rhsPath)
    : mPaths{lhsPath, rhsPath}
{
    // The host's reason for a refused open is read right after that open:
    // the next open replaces it.
    for (int side : {LHS, RHS})
    {
        mProjects[side] = OpenProject(mPaths[side]);
        if (mProjects[side] != XT::kNoProject)
            continue;
        mFailedSide = side;
        mOpenError = LastOpenError();
        if (side == RHS)
            XT::gProject->CloseProject(mProjects[LHS], kCloseWithoutSaving);
        mProjects[LHS] = XT::kNoProject;
        return;
    }
    PhaseTimes::Mark("open");
    mTree = std::make_unique<ProjectTree>(mProjects[LHS], mProjects[RHS]);
    mModels = std::make_unique<Merge::Models>(ProjectPair());
    PhaseTimes::Mark("pair");
}

ComparisonSession::~ComparisonSession()
{
    // The models point into the tree, the tree into the projects.
    mModels.reset();
    mTree.reset();
    for (XTProjectId project : mProjects)
        if (project != XT::kNoProject)
            XT::gProject->CloseProject(project, kCloseWithoutSaving);
}

ProjectTreeNodeBase& ComparisonSession::ProjectPair() const
{
    return *mTree->Root()->Child(0);
}

DiffModel* ComparisonSession::ModelOf(ProjectTreeNodeBase& node)
{
    bool made = false;
    DiffModel* model = mModels->Of(node, &made);
    if (made && mModelHook)
        mModelHook(node, *model);
    return model;
}

ProjectTreeNodeBase* ComparisonSession::NodeOf(const DiffModel* model) const
{
    return mModels->NodeOf(model);
}

std::vector<std::pair<ProjectTreeNodeBase*, DiffModel*>> ComparisonSession::Models() const
{
    return mModels->Made();
}

Merge::CopyPlan ComparisonSession::PlanCopyAll(ProjectTreeNodeBase& top,
                                               const std::function<bool(ProjectTreeNodeBase&)>& selected)
{
    Merge::CopyPlan plan;
    QSet<const ProjectTreeNodeBase*> whole;
    for (ProjectTreeNodeBase* node : Merge::PairsInTreeOrder(top))
    {
        // The project pair's one row, its layout count, follows from its
        // layouts; no copy takes it.
        if (node->NodeType() == Identical || Merge::KindOf(*node) == QLatin1String("project") ||
            Merge::Below(*node, whole) || (selected && !selected(*node)))
            continue;
        DiffModel* model = ModelOf(*node);
        if (!model)
            continue;
        Merge::Copy copy{node, model, Merge::CopyableRows(*model), 0};
        copy.mUncopyable = qMax(0, model->OpenChangeCount() - copy.mRows.size());
        if (Merge::TakenWhole(*node, *model))
            whole << node;
        if (!copy.mRows.isEmpty() || copy.mUncopyable > 0)
            plan.mCopies << copy;
    }
    return plan;
}

Merge::Written ComparisonSession::WriteMarked()
{
    const std::vector<std::pair<ProjectTreeNodeBase*, DiffModel*>> models = Models();
    const QList<Merge::Asked> asked = Merge::AskedOf(models);
    Merge::Written written = Merge::Write(models);
    mDecisions << written.mDecisions;
    mAsked << Merge::WrittenOf(asked, written.mDecisions);
    return written;
}

bool ComparisonSession::IsModified(int side) const
{
    return mProjects[side] != XT::kNoProject && XT::gProject->IsProjectModified(mProjects[side]);
}

bool ComparisonSession::Save(int side)
{
    if (XT::gProject->SaveProject(mProjects[side], kSaveFlags, kSaveOptions) != 0)
        return false;
    mSaved[side] = true;
    // What was written is checked once every side it changed is saved: a
    // write still unsaved (its save refused, then the window cancelled) is
    // not on disk to be checked.
    if (!IsModified(LHS) && !IsModified(RHS))
        mSavedAsked << std::exchange(mAsked, {});
    return true;
}

QStringList ComparisonSession::CheckSaved(bool shown)
{
    // A write that left nothing to save (the host took nothing) is checked
    // as it stands.
    if (!IsModified(LHS) && !IsModified(RHS))
        mSavedAsked << std::exchange(mAsked, {});
    if (mSavedAsked.isEmpty())
        return {};
    // A saved side is read again; the other is compared as it is open, as
    // the merge compared it.
    mModels.reset();
    QStringList differing;
    // A side that was neither saved nor changed is as the tree has it.
    int unchanged = -1;
    for (int side : {LHS, RHS})
        if (!mSaved[side] && !IsModified(side))
            unchanged = side;
    for (int side : {LHS, RHS})
    {
        if (!mSaved[side] || !differing.isEmpty())
            continue;
        XT::gProject->CloseProject(mProjects[side], kCloseWithoutSaving);
        mProjects[side] = OpenProject(mPaths[side]);
        mSaved[side] = false;
        if (mProjects[side] == XT::kNoProject)
            differing << QStringLiteral("%1 cannot be read again: %2").arg(mPaths[side], LastOpenError());
    }
    PhaseTimes::Mark("read back");
    const QList<Merge::Asked> asked = std::exchange(mSavedAsked, {});
    mTree->Rebuild(mProjects[LHS], mProjects[RHS], unchanged, shown);
    mModels = std::make_unique<Merge::Models>(ProjectPair());
    PhaseTimes::Mark("pair again");
    if (differing.isEmpty())
        differing = Merge::StillDiffering(ProjectPair(), asked);
    PhaseTimes::Mark("check");
    return differing;
}

void ComparisonSession::Rebuild(bool swap)
{
    mModels.reset();
    if (swap)
    {
        std::swap(mProjects[LHS], mProjects[RHS]);
        std::swap(mPaths[LHS], mPaths[RHS]);
        std::swap(mSaved[LHS], mSaved[RHS]);
        // The decisions written so far name their sides: they turn with them.
        for (Merge::Decision& decision : mDecisions)
            decision.mDirection = decision.mDirection == Left ? Right : Left;
        for (QList<Merge::Asked>* list : {&mAsked, &mSavedAsked})
            for (Merge::Asked& asked : *list)
                std::swap(asked.mLeft, asked.mRight);
    }
    mTree->Rebuild(mProjects[LHS], mProjects[RHS]);
    mModels = std::make_unique<Merge::Models>(ProjectPair());
}

QByteArray ComparisonSession::LogJson() const
{
    return Merge::LogJson(mDecisions, FilePath(LHS), FilePath(RHS));
}

QString ComparisonSession::AutomaticLogPath() const
{
    return FilePath(RHS) + QStringLiteral(".mergelog.json");
}

QString ComparisonSession::FilePath(int side) const
{
    auto* pair = dynamic_cast<ProjectTreeNode<::Project>*>(&ProjectPair());
    return pair ? (side == LHS ? pair->mLeft : pair->mRight).Path() : mPaths[side];
}
