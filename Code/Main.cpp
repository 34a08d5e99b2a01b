#include "Main.h"

#include "MainXT.h"
#include "XTCalls.h"

namespace
{

constexpr int32_t kActivationLevel = 5;
constexpr int32_t kSetupKind = 1;
constexpr int32_t kSetupPriority = 200;
constexpr int32_t kConfirmLevel = 200;

XTStatus SetupTrampoline(void* record)
{
    return MainXT::SetupCB(static_cast<xtsetuprec*>(record));
}

} // namespace

// The module's entry point: the host calls it once after loading the module.
extern "C" __attribute__((visibility("default"))) XTStatus XTActivateCallback(xtactivaterec* record)
{
    if (!record || !record->request || !record->registerSetup || !record->confirm)
        return XT::kSetupFailed;
    if (!record->request(XT::kXTensionId, 0, kActivationLevel, XT::kActivationFlags, 0))
        return XT::kSetupFailed;
    record->registerSetup(&SetupTrampoline, kSetupKind, kSetupPriority, 0);
    record->confirm(kConfirmLevel);
    return XT::kNoErr;
}
