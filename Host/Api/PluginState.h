#pragma once

#include "TokenTable.h"
#include "XTRecords.h"

#include <QFile>
#include <QImage>
#include <QMap>
#include <QString>
#include <QVector>

#include <memory>
#include <vector>

namespace XTHost
{

// One entry of a host menu; an entry with a submenu opens it.
struct MenuItem
{
    XTMenuItemId mId = 0;
    QString mText;
    XTMenu mSubmenu = nullptr;
};

struct Menu
{
    QString mTitle;
    std::vector<MenuItem> mItems;
};

// A plug-in's string resources: list 20000 of every strings file added.
struct ResourceSet
{
    QString mBundle;
    QMap<int, QString> mStrings;
};

// An open preferences file with its position.
struct PreferencesFile
{
    std::unique_ptr<QFile> mFile;
};

struct RenderContext
{
    int32_t mWidth = 0;
    int32_t mHeight = 0;
    std::vector<XTBoxRef> mBoxes;
};

// What the host keeps for the plug-in itself, apart from its documents:
// activation, menus, string resources, preferences files and renderings.
struct PluginState
{
    // Activation and setup.
    XTCallbackProc mSetupCallback = nullptr;
    bool mRefuseActivation = false;
    int32_t mActivationLevel = 0;
    bool mNoResourceFile = false;
    int16_t mLanguage = 0;
    // Where the plug-in's strings files are: set by whoever loads the
    // plug-in, else taken from XTHOST_RESOURCES.
    QString mResourceFolder = qEnvironmentVariable("XTHOST_RESOURCES");
    QString mPreferencesFolder;

    // Menus: the host's own menus by id, and the submenus plug-ins make.
    TokenTable<XTMenu, Menu> mMenus{8};
    QMap<int32_t, XTMenu> mHostMenus;
    XTMenuItemId mLastItemId = 1000;

    TokenTable<XTResourceSet, ResourceSet> mResourceSets{9};
    TokenTable<XTFileRef, PreferencesFile> mPreferencesFiles{10};
    TokenTable<XTRenderContext, RenderContext> mRenderContexts{11};
    TokenTable<XTImage, QImage> mImages{12};
};

} // namespace XTHost
