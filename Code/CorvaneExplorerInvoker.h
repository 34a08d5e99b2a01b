#pragma once

#include "XTTypes.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class ComparisonSession;
class QCloseEvent;
class ThreeWayReview;

// One comparison run from the project picker to the closing of both
// projects: it owns the comparison session, runs the explorer over it, saves
// when the window asks and asks about unsaved changes when it closes.
class CorvaneExplorerInvoker : public QObject
{
    Q_OBJECT

public:
    // Opens both projects; Session().IsOpen() tells whether they opened.
    CorvaneExplorerInvoker(const QString& lhsPath, const QString& rhsPath);
    ~CorvaneExplorerInvoker() override;

    // Runs one comparison from the project picker to the closing of both
    // projects.
    static void Invoke();
    // The two files the next Invoke compares, without the picker (xthost
    // --compare, as git difftool runs it). /dev/null or an empty file is a
    // project with nothing in it.
    static void SetNextPair(const QString& lhsPath, const QString& rhsPath);
    // The files of the next Invoke's three-way merge, without the picker
    // (xthost --merge, as git mergetool runs it): the window merges REMOTE's
    // changes since BASE into a copy of LOCAL, and Save writes that copy to
    // MERGED, which nothing else touches. `status` then holds 0 when MERGED
    // was saved with no conflict left unresolved, otherwise 1.
    static void SetNextMerge(const QStringList& baseLocalRemoteMerged, int* status);

    // Whether a running comparison has this project open.
    static bool IsInvoked(const QString& path);

    ComparisonSession& Session() const { return *mSession; }
    XTProjectId LHSProject() const;
    XTProjectId RHSProject() const;

public slots:
    void Open();
    // Saves each project that holds changes; tells the user of a refusal
    // and answers false then.
    bool Save();
    void Close(QCloseEvent* eventP);

private:
    // The picker until the user picks two projects that open, or cancels
    // (null).
    static std::unique_ptr<CorvaneExplorerInvoker> Pick();
    // The explorer over the open comparison, until it closes.
    void Run();
    // The three-way merge named by SetNextMerge; its status.
    static int RunMerge(const QStringList& files);
    // Saves the merge result and writes it to MERGED.
    bool SaveMerge();
    bool SaveSide(int side);
    // Once the window is done: opens what was saved again, compares it, and
    // tells the user of each item that does not read as the merge left it.
    void CheckSaved();

    std::unique_ptr<ComparisonSession> mSession;
    // The paths this comparison holds in the list of running ones.
    QStringList mListed;
    // Whether a save asked of this comparison was refused.
    bool mRefused = false;
    // Whether a Save went through, so that what it wrote is checked at the
    // end, also when it changed no document.
    bool mChecked = false;
    // A three-way merge: its review, the file Save writes, and whether the
    // last save left no conflict unresolved.
    ThreeWayReview* mReview = nullptr;
    QString mMergedPath;
    bool mMergeSettled = false;

    static QStringList sOpenedProjects;
    static QStringList sNextPair;
    static QStringList sNextMerge;
    static int* sMergeStatus;
};
