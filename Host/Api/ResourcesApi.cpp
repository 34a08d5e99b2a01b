#include "ApiTables.h"
#include "HostState.h"
#include "StringsFile.h"

#include <QDir>

namespace XTHost
{
namespace Api
{

namespace
{

// The number the host gives the loaded plug-in's resource file.
constexpr int16_t sResourceFileNumber = 128;
constexpr int32_t sStringList = 20000;

int16_t GetResourceFileNumber()
{
    HostState* state = HostState::current();
    if (!state || state->mPlugin.mNoResourceFile)
        return -1;
    return sResourceFileNumber;
}

XTResourceSet NewResourceSet(HostString bundleId)
{
    HostState* state = HostState::current();
    if (!state || !state->string(bundleId))
        return nullptr;
    ResourceSet set;
    set.mBundle = stringOf(bundleId);
    return state->mPlugin.mResourceSets.add(set);
}

// Strings files live in the loaded plug-in's resource folder.
XTError AddResourceFile(XTResourceSet set, HostString fileName)
{
    HostState* state = HostState::current();
    ResourceSet* resources = state ? state->mPlugin.mResourceSets.find(set) : nullptr;
    if (!resources || !state->string(fileName))
        return XT::kErrParam;
    const QString name = stringOf(fileName);
    if (name.contains(QLatin1Char('/')) || name.isEmpty() || state->mPlugin.mResourceFolder.isEmpty())
        return XT::kErrNotFound;
    QMap<int, QString> strings;
    QString error;
    if (!ReadStringsFile(QDir(state->mPlugin.mResourceFolder).filePath(name), &strings, &error))
    {
        state->mLastError = error;
        return XT::kErrNotFound;
    }
    for (auto it = strings.cbegin(); it != strings.cend(); ++it)
        resources->mStrings.insert(it.key(), it.value());
    return XT::kNoErr;
}

void DisposeResourceSet(XTResourceSet set)
{
    if (HostState* state = HostState::current())
        state->mPlugin.mResourceSets.remove(set);
}

int16_t GetCurrentLanguage()
{
    HostState* state = HostState::current();
    return state ? state->mPlugin.mLanguage : 0;
}

const XTResourcesTable sTable = {GetResourceFileNumber, NewResourceSet, AddResourceFile, DisposeResourceSet,
                                 GetCurrentLanguage};

} // namespace

const XTResourcesTable& resourcesTable()
{
    return sTable;
}

HostString loadPluginString(int32_t listId, int32_t index, XTResourceSet set)
{
    HostState* state = HostState::current();
    const ResourceSet* resources = state ? state->mPlugin.mResourceSets.find(set) : nullptr;
    if (!resources || listId != sStringList || !resources->mStrings.contains(index))
        return nullptr;
    return state->newString(resources->mStrings.value(index));
}

} // namespace Api
} // namespace XTHost
