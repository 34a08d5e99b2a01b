// The module is the plug-in library linked whole; this file only anchors the
// entry point so a reader of the module's target sees what it exports.
#include "Main.h"

namespace
{
[[maybe_unused]] auto* const sEntry = &XTActivateCallback;
}
