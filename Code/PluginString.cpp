#include "PluginString.h"

#include "MainXT.h"
#include "XTCalls.h"

#include <QHash>

HostString LoadPluginHostString(int n)
{
    return XT::gStrings->LoadPluginString(kPluginStringList, n, MainXT::GetInstance()->ResourceSet());
}

QString PluginString(int n)
{
    return XT::ToQString(LoadPluginHostString(n));
}

const QString& PluginLabel(int n)
{
    static uint64_t sGeneration = 0;
    static QHash<int, QString> sLabels;
    const uint64_t generation = MainXT::GetInstance()->LabelsGeneration();
    if (generation != sGeneration)
    {
        sLabels.clear();
        sGeneration = generation;
    }
    auto label = sLabels.find(n);
    if (label == sLabels.end())
        label = sLabels.insert(n, PluginString(n));
    return *label;
}
