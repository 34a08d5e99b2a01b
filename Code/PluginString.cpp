#include "PluginString.h"

#include "XTCalls.h"

#include <QHash>

namespace
{

XTResourceSet sResources = nullptr;
// Changes whenever the labels may read differently: a new resource set,
// another language, a reset.
uint64_t sGeneration = 0;

} // namespace

void SetPluginStrings(XTResourceSet resources)
{
    sResources = resources;
    ++sGeneration;
}

HostString LoadPluginHostString(int n)
{
    return XT::gStrings->LoadPluginString(kPluginStringList, n, sResources);
}

QString PluginString(int n)
{
    return XT::ToQString(LoadPluginHostString(n));
}

const QString& PluginLabel(int n)
{
    static uint64_t sCachedGeneration = 0;
    static QHash<int, QString> sLabels;
    if (sCachedGeneration != sGeneration)
    {
        sLabels.clear();
        sCachedGeneration = sGeneration;
    }
    auto label = sLabels.find(n);
    if (label == sLabels.end())
        label = sLabels.insert(n, PluginString(n));
    return *label;
}
