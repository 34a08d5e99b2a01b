#pragma once

// One comparison of two project files, from their opening in the host to
// their closing: the comparison tree, the patch table of every pair compared
// so far, the copies marked in them, their writing into the documents in tree
// order, the saving, the check that what was saved reads as the merge left
// it, and the record of every decision written. The window and corvane-merge
// both run a merge through it, so the same copies write the same bytes.
// QtCore only: no widget, no dialog.

#include "Merge.h"
#include "XTTypes.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class DiffModel;
class ProjectTree;
class ProjectTreeNodeBase;

namespace Merge
{

// The rows one Copy All marks in one pair.
struct Copy
{
    ProjectTreeNodeBase* mNode = nullptr;
    DiffModel* mModel = nullptr;
    QList<int> mRows;    // the copyable change rows
    int mUncopyable = 0; // differences no row copy reaches
};

// What one Copy All marks: the differing pairs at and below an item, in tree
// order. A layout or spread only one side has is copied or removed whole,
// with what is on it, so nothing below it is marked again.
struct CopyPlan
{
    QList<Copy> mCopies;
    int Rows() const;
};

} // namespace Merge

class ComparisonSession
{
public:
    enum Side
    {
        LHS = 0,
        RHS = 1
    };

    // Opens both project files in the host. When one cannot be opened, the
    // other is closed again and IsOpen() is false; FailedSide() and
    // OpenError() tell which and why.
    ComparisonSession(const QString& lhsPath, const QString& rhsPath);
    // Closes both projects; what was not saved is dropped.
    ~ComparisonSession();
    ComparisonSession(const ComparisonSession&) = delete;
    ComparisonSession& operator=(const ComparisonSession&) = delete;

    bool IsOpen() const { return mTree != nullptr; }
    int FailedSide() const { return mFailedSide; }
    QString OpenError() const { return mOpenError; }

    XTProjectId Project(int side) const { return mProjects[side]; }
    QString Path(int side) const { return mPaths[side]; }
    ProjectTree& Tree() const { return *mTree; }
    // The pair of the two projects, below which everything else lies.
    ProjectTreeNodeBase& ProjectPair() const;

    // The patch table of a pair, made (complete diff) on first use and kept
    // until the comparison is built again; null for a folder.
    DiffModel* ModelOf(ProjectTreeNodeBase& node);
    // Called with every model the session makes, before it is handed out.
    void SetModelHook(std::function<void(ProjectTreeNodeBase&, DiffModel&)> hook) { mModelHook = std::move(hook); }
    // The pair a model belongs to; null for a model of no pair.
    ProjectTreeNodeBase* NodeOf(const DiffModel* model) const;
    // The models made so far, in tree order.
    std::vector<std::pair<ProjectTreeNodeBase*, DiffModel*>> Models() const;
    Merge::Models& Made() { return *mModels; }

    // The rows Copy All marks at and below `top`, among the pairs `selected`
    // accepts (every pair without it).
    Merge::CopyPlan PlanCopyAll(ProjectTreeNodeBase& top,
                                const std::function<bool(ProjectTreeNodeBase&)>& selected = nullptr);

    // Writes the rows marked in the models into the documents, in tree
    // order, and records them. The comparison is not built again: callers
    // that go on showing it do (Rebuild).
    Merge::Written WriteMarked();
    // Every decision written so far, in the order of the writes.
    const QList<Merge::Decision>& Decisions() const { return mDecisions; }
    // Whether the host holds changes of a side that are not saved.
    bool IsModified(int side) const;

    // Saves a side through the host; false when the host refuses.
    bool Save(int side);
    // The sides saved so far that are still to be checked.
    bool WasSaved(int side) const { return mSaved[side]; }
    // Opens the saved sides again and compares them: the items the saved
    // writes were to make equal that do not read as the merge left them,
    // one line each (Merge::StillDiffering). The comparison is built anew
    // from what was read, its models dropped. Without `shown` it is built
    // only for the check, by a program that ends after it: the pairs'
    // statuses are left unfound, and the tree is not to be shown.
    QStringList CheckSaved(bool shown = true);

    // The comparison built anew from the documents as they are now, the
    // sides traded when `swap`; the models and their marks are dropped.
    void Rebuild(bool swap = false);

    // The merge log of the decisions written so far.
    QByteArray LogJson() const;
    // Where a save writes the log when the user asks for it: beside the RHS
    // project, named after it.
    QString AutomaticLogPath() const;
    // A side's project file as the host names it.
    QString FilePath(int side) const;

private:
    XTProjectId mProjects[2] = {XT::kNoProject, XT::kNoProject};
    QString mPaths[2];
    int mFailedSide = -1;
    QString mOpenError;
    std::unique_ptr<ProjectTree> mTree;
    std::unique_ptr<Merge::Models> mModels;
    std::function<void(ProjectTreeNodeBase&, DiffModel&)> mModelHook;
    QList<Merge::Decision> mDecisions;
    // What the writes were to make equal, checked once saved.
    QList<Merge::Asked> mAsked;      // written, not yet saved
    QList<Merge::Asked> mSavedAsked; // written and saved: CheckSaved checks these
    bool mSaved[2] = {false, false};
};

// Opens a project file in the host; no project when the path is empty or the
// host cannot open it.
XTProjectId OpenProject(const QString& path);
