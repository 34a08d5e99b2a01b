#include "ApiTables.h"
#include "HostState.h"

#include <QDir>

namespace XTHost
{
namespace Api
{

namespace
{

constexpr XTOSErr sFileNotOpen = -38;
constexpr XTOSErr sIoErr = -36;

// Opens (creating it when missing) a file of the host's preferences folder,
// positioned at its start.
XTError OpenPreferencesFile(HostString name, int32_t permission, int32_t create, XTFileRef* file)
{
    HostState* state = HostState::current();
    if (!state || !file || !state->string(name))
        return XT::kErrParam;
    *file = nullptr;
    const QString fileName = stringOf(name);
    const QString folder = state->preferencesFolder();
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')) || folder.isEmpty() ||
        !QDir().mkpath(folder))
        return XT::kErrNotFound;
    auto handle = std::make_unique<QFile>(QDir(folder).filePath(fileName));
    if (!handle->open(QIODevice::ReadWrite))
        return XT::kErrNotFound;
    PreferencesFile open;
    open.mFile = std::move(handle);
    *file = state->mPlugin.mPreferencesFiles.add(std::move(open));
    return XT::kNoErr;
}

XTError CloseFile(XTFileRef file, int32_t)
{
    HostState* state = HostState::current();
    if (!state || !state->mPlugin.mPreferencesFiles.remove(file))
        return sFileNotOpen;
    return XT::kNoErr;
}

// Every palette of the stand-in host has the same size.
XTError GetPaletteBounds(int32_t palette, Rect* bounds)
{
    if (!bounds)
        return XT::kErrParam;
    *bounds = Rect{0, 0, 240, 180};
    return XT::kNoErr;
}

const XTPreferencesTable sTable = {OpenPreferencesFile, CloseFile, GetPaletteBounds};

} // namespace

const XTPreferencesTable& preferencesTable()
{
    return sTable;
}

namespace
{

// The open file of a transfer of *count bytes, or null with the error; *count
// is cleared until bytes have moved.
PreferencesFile* StartTransfer(XTFileRef file, int32_t* count, const void* buffer, XTOSErr* error)
{
    HostState* state = HostState::current();
    PreferencesFile* open = state ? state->mPlugin.mPreferencesFiles.find(file) : nullptr;
    *error = 0;
    if (!count)
    {
        *error = XT::kErrParam;
        return nullptr;
    }
    const int32_t wanted = *count;
    *count = 0;
    if (!open)
        *error = sFileNotOpen;
    else if (wanted < 0 || (wanted > 0 && !buffer))
        *error = XT::kErrParam;
    return *error == 0 ? open : nullptr;
}

} // namespace

XTOSErr readFile(XTFileRef file, int32_t* count, void* buffer)
{
    const int32_t wanted = count ? *count : 0;
    XTOSErr error = 0;
    PreferencesFile* open = StartTransfer(file, count, buffer, &error);
    if (!open)
        return error;
    const qint64 read = open->mFile->read(static_cast<char*>(buffer), wanted);
    if (read < 0)
        return sIoErr;
    *count = int32_t(read);
    return read < wanted ? XT::kEofErr : XTOSErr(0);
}

XTOSErr writeFile(XTFileRef file, int32_t* count, const void* buffer)
{
    const int32_t wanted = count ? *count : 0;
    XTOSErr error = 0;
    PreferencesFile* open = StartTransfer(file, count, buffer, &error);
    if (!open)
        return error;
    const qint64 written = open->mFile->write(static_cast<const char*>(buffer), wanted);
    if (written != wanted || !open->mFile->flush())
        return sIoErr;
    *count = int32_t(written);
    return 0;
}

} // namespace Api
} // namespace XTHost
