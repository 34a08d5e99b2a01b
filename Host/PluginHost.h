#pragma once

#include "XTRecords.h"

#include <QList>
#include <QString>

namespace XTHost
{

class HostSession;

typedef XTStatus (*XTActivateProc)(xtactivaterec* record);

// The host's side of a plug-in's life: activation and setup, the menu items
// it adds, its commands, language changes and deactivation. Works on the
// session's host; one plug-in at a time.
class PluginHost
{
public:
    // The host menu that plug-ins add their items to.
    static constexpr int32_t sUtilitiesMenu = 7;

    explicit PluginHost(HostSession& session);
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Where the plug-in's strings files are, and the host's preferences folder.
    void setResourceFolder(const QString& folder);
    void setPreferencesFolder(const QString& folder);

    // Activates the plug-in through its entry point, then runs the setup
    // callback it registered. The first failing status, or 0.
    XTStatus activate(XTActivateProc entry);
    bool isActive() const { return mActive; }

    // Asks the plug-in for its menu items (once).
    XTStatus addMenuItems();

    struct MenuEntry
    {
        QString mPath; // the titles from the host menu down, joined by " > "
        XTMenuItemId mId = 0;
    };
    // Every entry plug-ins added to the host menu that holds no submenu.
    QList<MenuEntry> menuEntries() const;

    // Runs a command by item id, or by its text (the entry's own text or its
    // whole path). False when no entry has that text.
    XTStatus runCommand(XTMenuItemId id);
    bool runCommand(const QString& text, XTStatus* status);

    void setLanguage(int16_t language);
    // Sends the unload notice (once).
    XTStatus deactivate();

    // Failure injection: activation refused, no resource file number.
    void refuseActivation(bool refuse);
    void withholdResourceFile(bool withhold);

    // The level the plug-in confirmed at activation (0 before).
    int32_t activationLevel() const;

private:
    HostSession& mSession;
    bool mActive = false;
    bool mMenusAdded = false;
};

} // namespace XTHost
