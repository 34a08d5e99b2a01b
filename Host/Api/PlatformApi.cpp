#include "ApiTables.h"
#include "HostState.h"

namespace XTHost
{
namespace Api
{

namespace
{

constexpr XTOSErr sMemFullErr = -108;
constexpr XTOSErr sNilHandleErr = -109;
constexpr XTOSErr sHandlerNotFound = -1717;
constexpr XTOSErr sParamErr = -50;
constexpr XTOSErr sFileNotOpen = -38;

XTHandle NewHandle(int64_t size)
{
    HostState* state = HostState::current();
    return state ? state->newHandle(size, false) : nullptr;
}

XTHandle NewHandleClear(int64_t size)
{
    HostState* state = HostState::current();
    return state ? state->newHandle(size, true) : nullptr;
}

int64_t GetHandleSize(XTHandle handle)
{
    HostState* state = HostState::current();
    return state ? state->handleSize(handle) : 0;
}

XTOSErr SetHandleSize(XTHandle handle, int64_t size)
{
    HostState* state = HostState::current();
    if (!state || !state->isHandle(handle))
        return sNilHandleErr;
    return state->resizeHandle(handle, size) ? XTOSErr(0) : sMemFullErr;
}

void DisposeHandle(XTHandle handle)
{
    if (HostState* state = HostState::current())
        state->disposeHandle(handle);
}

// The only files the plug-in reads and writes itself are preferences files.
XTOSErr FSRead(XTFileRef file, int32_t* count, void* buffer)
{
    return readFile(file, count, buffer);
}

XTOSErr FSWrite(XTFileRef file, int32_t* count, const void* buffer)
{
    return writeFile(file, count, buffer);
}

XTOSErr AEGetEventHandler(XTFourCC eventClass, XTFourCC eventId, AEEventHandlerProc* handler,
                          intptr_t* refcon, bool systemHandler)
{
    HostState* state = HostState::current();
    if (!state || !handler || !refcon)
        return sParamErr;
    auto it = state->mEventHandlers.find({eventClass, eventId});
    if (it == state->mEventHandlers.end())
        return sHandlerNotFound;
    *handler = it->second.first;
    *refcon = it->second.second;
    return 0;
}

XTOSErr AEInstallEventHandler(XTFourCC eventClass, XTFourCC eventId, AEEventHandlerProc handler,
                              intptr_t refcon, bool systemHandler)
{
    HostState* state = HostState::current();
    if (!state || !handler)
        return sParamErr;
    state->mEventHandlers[{eventClass, eventId}] = {handler, refcon};
    return 0;
}

const XTPlatformTable sTable = {NewHandle,     NewHandleClear,    GetHandleSize,
                                SetHandleSize, DisposeHandle,     FSRead,
                                FSWrite,       AEGetEventHandler, AEInstallEventHandler};

} // namespace

const XTPlatformTable& platformTable()
{
    return sTable;
}

} // namespace Api
} // namespace XTHost
