// The module is the plug-in library linked whole; this file only anchors the
// entry point so a reader of the module's target sees what it exports.
#include "CorvaneExplorerInvoker.h"
#include "Main.h"

// The two files the next "Compare Projects..." compares without the picker:
// a host that is asked to compare two files (xthost --compare) names them
// here first.
extern "C" __attribute__((visibility("default"))) void CorvaneSetNextPair(const char* lhsPath,
                                                                          const char* rhsPath)
{
    CorvaneExplorerInvoker::SetNextPair(QString::fromLocal8Bit(lhsPath), QString::fromLocal8Bit(rhsPath));
}

// The files of the next "Compare Projects..." as a three-way merge (xthost
// --merge); `status` receives its outcome: 0 saved with no conflict left, 1
// otherwise.
extern "C" __attribute__((visibility("default"))) void
CorvaneSetNextMerge(const char* base, const char* local, const char* remote, const char* merged, int* status)
{
    QStringList files;
    for (const char* path : {base, local, remote, merged})
        files << QString::fromLocal8Bit(path);
    CorvaneExplorerInvoker::SetNextMerge(files, status);
}

namespace
{
[[maybe_unused]] auto* const sEntry = &XTActivateCallback;
}
