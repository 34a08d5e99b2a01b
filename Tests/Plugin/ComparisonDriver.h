#pragma once

// Steps a test takes in the windows of a comparison, as a user would: choose
// the files in the picker, select a pair in the tree, copy a row of the patch
// table, close the window. They find widgets by their object names.

#include "Script.h"

#include "HostSession.h"
#include "PluginHost.h"

#include <QString>

#include <functional>
#include <memory>

class QAbstractItemView;
class QModelIndex;
class QWidget;

namespace Driver
{

// Waits for the picker, fills in both sides and presses OK.
void Pick(Script& script, const QString& lhs, const QString& rhs);

// The explorer window, when one is shown and no modal dialog is up.
QWidget* Explorer();

// Selects the tree item whose text is `text` with a click.
bool SelectPair(QWidget* explorer, const QString& text);

// Clicks the n-th row of the patch table that is a difference, then copies
// it left or right with the keyboard shortcut. Empty when it did, else why
// not.
QString CopyRow(QWidget* explorer, int nth, bool left);

// Presses a key in the explorer window.
void Press(QWidget* explorer, int key);

} // namespace Driver

// The plug-in module loaded and activated in a host of this process, as
// xthost does it, its menu items added; deactivated and unloaded when it
// goes.
struct LoadedPlugin
{
    LoadedPlugin(const QString& module, const QString& preferences);
    ~LoadedPlugin();
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    XTHost::HostSession mHost;
    void* mModule = nullptr;
    std::unique_ptr<XTHost::PluginHost> mPlugin;
    bool mActive = false;
};

// What runs as soon as the plug-in's command has made its application
// object (a program that makes none of its own).
extern std::function<void()> gOnApplication;
