#include "ApiTables.h"
#include "HostState.h"

namespace XTHost
{
namespace Api
{

namespace
{

XTError getDocumentPreferences(DocRef doc, XTDocumentPreferences* preferences)
{
    HostState* state = HostState::current();
    OpenProject* project = nullptr;
    int layout = 0;
    if (!state || !preferences || !state->findDoc(doc, &project, &layout))
        return XT::kErrParam;
    preferences->measureUnits = 0; // points
    preferences->defaultInset = XT::kFixedOne;
    return XT::kNoErr;
}

bool getAppIdleTimerEnable()
{
    HostState* state = HostState::current();
    return state && state->mIdleTimerEnabled;
}

void setAppIdleTimerEnable(bool enable)
{
    if (HostState* state = HostState::current())
        state->mIdleTimerEnabled = enable;
}

// The groups the plug-in acquires to check they are there, without calling.
const XTReservedTable sReserved = {XT::kGroupVersion};

const void* tableOf(uint32_t group)
{
    switch (group)
    {
    case XT::kGroupStrings:
        return &stringsTable();
    case XT::kGroupProject:
        return &projectTable();
    case XT::kGroupSpread:
        return &spreadTable();
    case XT::kGroupDoc:
        return &docTable();
    case XT::kGroupBox:
        return &boxTable();
    case XT::kGroupBoxFields:
        return &boxFieldsTable();
    case XT::kGroupPicture:
        return &pictureTable();
    case XT::kGroupText:
        return &textTable();
    case XT::kGroupAssets:
        return &assetsTable();
    case XT::kGroupColors:
        return &colorsTable();
    case XT::kGroupNumbers:
        return &numbersTable();
    case XT::kGroupFiles:
        return &filesTable();
    case XT::kGroupPlatform:
        return &platformTable();
    case XT::kGroupUnicode:
    case XT::kGroupGraphics:
    case XT::kGroupOpenType:
        return &sReserved;
    case XT::kGroupMenus:
        return &menusTable();
    case XT::kGroupResources:
        return &resourcesTable();
    case XT::kGroupPreferences:
        return &preferencesTable();
    case XT::kGroupRendering:
        return &renderingTable();
    case XT::kGroupGifFilter:
        return &gifFilterTable();
    default:
        return nullptr;
    }
}

} // namespace

XTError acquireGroup(uint32_t group, int32_t version, const void** table)
{
    HostState* state = HostState::current();
    if (!state || !table)
        return XT::kErrParam;
    *table = nullptr;
    if (state->mWithheldGroups.count(group) || version != state->mGroupVersion)
        return XT::kErrNotFound;
    *table = tableOf(group);
    return *table ? XT::kNoErr : XT::kErrNotFound;
}

XTError resolveSelector(int32_t selector, void** function)
{
    HostState* state = HostState::current();
    if (!state || !function)
        return XT::kErrParam;
    *function = nullptr;
    if (state->mFailedSelectors.count(selector))
        return XT::kErrNotFound;
    switch (selector)
    {
    case XT::kSelEditCopy:
        *function = reinterpret_cast<void*>(static_cast<XECopyProc>(editCopy));
        break;
    case XT::kSelEditPaste:
        *function = reinterpret_cast<void*>(static_cast<XEPasteProc>(editPaste));
        break;
    case XT::kSelGetDocumentPreferences:
        *function =
            reinterpret_cast<void*>(static_cast<XTGetDocumentPreferencesProc>(getDocumentPreferences));
        break;
    case XT::kSelGetBoxGeometry:
        *function = reinterpret_cast<void*>(static_cast<XTGetBoxGeometryProc>(getBoxGeometry));
        break;
    case XT::kSelGetAppIdleTimerEnable:
        *function = reinterpret_cast<void*>(static_cast<XTGetAppIdleTimerEnableProc>(getAppIdleTimerEnable));
        break;
    case XT::kSelSetAppIdleTimerEnable:
        *function = reinterpret_cast<void*>(static_cast<XTSetAppIdleTimerEnableProc>(setAppIdleTimerEnable));
        break;
    default:
        return XT::kErrNotFound;
    }
    return XT::kNoErr;
}

XTError installCallback(int32_t xtId, int32_t code, XTUserCallbackProc handler, uint16_t kind,
                        int16_t priority, XTCallbackId* id, unsigned long userData)
{
    HostState* state = HostState::current();
    return state ? state->mCallbacks.install(xtId, code, handler, kind, priority, id, userData)
                 : XT::kErrParam;
}

XTError removeCallback(int32_t code, XTCallbackId id)
{
    HostState* state = HostState::current();
    return state ? state->mCallbacks.remove(code, id) : XT::kErrParam;
}

XTError installSetupCallback(int32_t code, XTCallbackProc handler, int32_t kind, int32_t priority,
                             int32_t reserved)
{
    HostState* state = HostState::current();
    return state ? state->mCallbacks.installSetup(code, handler, kind, priority) : XT::kErrParam;
}

} // namespace Api
} // namespace XTHost
