#pragma once

// corvane-merge --base: the three-way merge as a command, and as git's merge
// driver ("corvane-merge --base %O %A %B").

#include <QString>

namespace XTHost
{
class HostSession;
}

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
// (or rows that could not be copied), 2 trouble with nothing written.
int RunThreeWay(const ThreeWayOptions& options, XTHost::HostSession& host);
