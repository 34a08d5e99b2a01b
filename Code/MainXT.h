#pragma once

#include "XTRecords.h"

#include <cstdint>
#include <memory>

class CorvaneMenu;

// The plug-in's main object: its setup with the host, its string resources,
// its language and its menu.
class MainXT
{
public:
    static MainXT* GetInstance();

    static XTStatus SetupCB(xtsetuprec* record);
    static XTStatus SetLanguageCB(xtsetlanguagerec* record);

    XTStatus ISetupCB(xtsetuprec* record);
    void SetLanguageID(short language);

    short LanguageID() const { return mLanguageId; }
    short ResourceFileNumber() const { return mResourceFileNumber; }
    XTResourceSet ResourceSet() const { return mResourceSet; }
    CorvaneMenu* Menu() const { return mMenu.get(); }

    // Undoes a setup: the menu (and its callbacks) and the resource set go,
    // the acquired tables are forgotten. The destructor does the same.
    void Reset();

    ~MainXT();

private:
    MainXT() = default;
    MainXT(const MainXT&) = delete;
    // Undoes what a failing setup did so far; the setup's failure status.
    XTStatus Abandon();
    MainXT& operator=(const MainXT&) = delete;

    short mLanguageId = 0;
    short mResourceFileNumber = -1;
    XTResourceSet mResourceSet = nullptr;
    std::unique_ptr<CorvaneMenu> mMenu;

    // Hands the labels' resource set to PluginString, whose label caches
    // start again.
    void LabelsChanged();
};

// The host's unload notice.
XTStatus DeactivateCB(xtvoidrec* record);
