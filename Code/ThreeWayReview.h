#pragma once

// A three-way merge in the comparison window (xthost --merge, as git
// mergetool runs it). The window compares the merge result (its LHS, a copy
// of LOCAL) with REMOTE; the Merger decides, the window shows and lets the
// user change. Start() applies the Merger's automatic decisions:
//
//   Classify()      on LOCAL↔REMOTE against the base
//   WriteHunks()    the story rows both sides edited in different places get
//                   REMOTE's hunks, written into the LHS document (a row
//                   copy cannot take part of a row)
//   Rebuild()       the comparison from the documents as they are now
//   Classify()      again: the rows that remain, each decided
//   Mark()          REMOTE's rows marked as copies to the LHS, not written:
//                   the user sees them as pending copies and Undo takes
//                   them back
//
// Refresh() decides again whenever the window builds the comparison anew,
// so the marks, the counts and the conflicts always describe what is shown.
// A conflict row is resolved once the user copies it (REMOTE's version) or
// confirms at Save that the LHS's version stands.

#include "ThreeWayMerge.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

class ComparisonSession;
class DiffModel;
class ProjectTreeNodeBase;

class ThreeWayReview
{
public:
    ThreeWayReview(ComparisonSession& session, const QString& basePath);

    // Applies the automatic decisions; false with Error() when the base
    // cannot be opened. What could not be merged (the host refused to write
    // it, or no row copy reaches it), one line each.
    bool Start(QStringList* refused);
    QString Error() const { return mError; }
    // Decides again from the documents as they are now.
    void Refresh();

    enum Mark
    {
        None,
        Merged,   // every difference decided without the user
        Conflict, // a conflict row the user has not resolved
        Resolved  // its conflict rows copied from REMOTE
    };
    Mark MarkOf(const ProjectTreeNodeBase& node) const;
    static QString MarkText(Mark mark);

    // A conflict row of the shown comparison.
    struct Place
    {
        ProjectTreeNodeBase* mNode = nullptr;
        DiffModel* mModel = nullptr;
        int mRow = 0;
    };
    // Every conflict row, in the tree's order.
    QList<Place> Conflicts() const;

    struct Counts
    {
        int mMerged = 0;     // items merged without the user
        int mConflicts = 0;  // items with conflicts, resolved or not
        int mUnresolved = 0; // conflict rows not copied from REMOTE
    };
    // The counts, kept until the rows' copies change (Changed) or the
    // comparison is decided again: the window shows them on every change of
    // the tree.
    const Counts& Tally() const;
    void Changed() { mCounted = false; }
    int Unresolved() const { return Tally().mUnresolved; }
    // The user confirmed that the shown choices stand: what is not copied
    // from REMOTE is resolved as LOCAL's.
    void AcceptShown() { mAccepted = true; }
    // No conflict is left to the user.
    bool Settled() const { return mAccepted || (mError.isEmpty() && Unresolved() == 0); }

private:
    ComparisonSession& mSession;
    QString mBasePath;
    QString mError;
    bool mAccepted = false;
    ThreeWay::Plan mPlan;
    // Items that took REMOTE's changes before the window opened, by path:
    // they no longer differ where REMOTE's hunks were written.
    QSet<QString> mMergedPaths;
    QHash<const ProjectTreeNodeBase*, const ThreeWay::Item*> mItems;
    mutable Counts mCounts;
    mutable bool mCounted = false;
};
