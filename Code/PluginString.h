#pragma once

#include "XTTypes.h"

#include <QString>

// The plug-in's labels: string n of list 20000 in its resource set.
constexpr int32_t kPluginStringList = 20000;

// Where the labels come from: the plug-in's resource set, handed over by its
// setup whenever the set or the language changes (null: no labels). Label
// caches start again.
void SetPluginStrings(XTResourceSet resources);

// Label n as a host string (0 when there is none); the caller releases it.
HostString LoadPluginHostString(int n);

// Label n as text; empty when the host has none.
QString PluginString(int n);

// Label n as PluginString gives it, loaded once for as long as the plug-in's
// strings stay the same: for labels that every entity of a kind repeats. The
// reference stays valid until the strings change. For the UI thread only.
const QString& PluginLabel(int n);
