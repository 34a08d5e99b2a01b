#include "PluginString.h"

#include "MainXT.h"
#include "XTCalls.h"

HostString LoadPluginHostString(int n)
{
    return XT::gStrings->LoadPluginString(kPluginStringList, n, MainXT::GetInstance()->ResourceSet());
}

QString PluginString(int n)
{
    return XT::ToQString(LoadPluginHostString(n));
}
