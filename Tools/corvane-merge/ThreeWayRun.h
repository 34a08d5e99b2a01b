#pragma once

// corvane-merge --base: the three-way merge as a command, and as git's merge
// driver ("corvane-merge --base %O %A %B").

#include "ComparisonSession.h"
#include "ThreeWayMerge.h"

#include <QString>

#include <memory>

namespace XTHost
{
class HostSession;
}

// What a merge holds until the process ends: the comparison, and the base
// compared with each side (which refers to it, and goes first).
struct MergeHeld
{
    std::unique_ptr<ComparisonSession> mSession;
    std::unique_ptr<ThreeWay::Merger> mMerger;
};

struct ThreeWayOptions
{
    QString mBase;
    QString mLeft;
    QString mRight;
    QString mOutput; // empty: LEFT
    QString mLog;
    bool mPreferRight = false;
    bool mDryRun = false;
};

// Runs the merge once the plug-in is active: 0 merged cleanly, 1 conflicts
// (or rows that could not be copied), 2 trouble with nothing written. What
// the merge held is handed to `held` once every file is written.
int RunThreeWay(const ThreeWayOptions& options, XTHost::HostSession& host, MergeHeld& held);
