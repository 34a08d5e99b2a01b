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

namespace
{
[[maybe_unused]] auto* const sEntry = &XTActivateCallback;
}
