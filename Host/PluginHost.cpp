#include "PluginHost.h"

#include "Api/HostState.h"
#include "HostSession.h"

#include <functional>

namespace XTHost
{

namespace
{

constexpr int32_t sPluginLevel = 5;

bool RequestActivation(int32_t xtId, int32_t, int32_t level, uint32_t flags, int32_t)
{
    HostState* state = HostState::current();
    return state && !state->mPlugin.mRefuseActivation && xtId != 0 && level == sPluginLevel &&
           flags == XT::kActivationFlags;
}

XTError RegisterSetup(XTCallbackProc setup, int32_t, int32_t, int32_t)
{
    HostState* state = HostState::current();
    if (!state || !setup)
        return XT::kErrParam;
    state->mPlugin.mSetupCallback = setup;
    return XT::kNoErr;
}

void Confirm(int32_t level)
{
    if (HostState* state = HostState::current())
        state->mPlugin.mActivationLevel = level;
}

template <typename Record> Record MakeRecord(int32_t code)
{
    Record record{};
    record.header.code = code;
    record.header.size = int32_t(sizeof(Record));
    return record;
}

} // namespace

PluginHost::PluginHost(HostSession& session) : mSession(session)
{
    HostState* state = HostState::current();
    if (state && !state->mPlugin.mHostMenus.contains(sUtilitiesMenu))
    {
        Menu utilities;
        utilities.mTitle = QStringLiteral("Utilities");
        state->mPlugin.mHostMenus.insert(sUtilitiesMenu, state->mPlugin.mMenus.add(utilities));
    }
}

PluginHost::~PluginHost() = default;

void PluginHost::setResourceFolder(const QString& folder)
{
    if (HostState* state = HostState::current())
        state->mPlugin.mResourceFolder = folder;
}

void PluginHost::setPreferencesFolder(const QString& folder)
{
    if (HostState* state = HostState::current())
        state->mPlugin.mPreferencesFolder = folder;
}

XTStatus PluginHost::activate(XTActivateProc entry)
{
    HostState* state = HostState::current();
    if (!state || !entry)
        return XT::kSetupFailed;
    xtactivaterec activation{&RequestActivation, &RegisterSetup, &Confirm};
    state->mPlugin.mSetupCallback = nullptr;
    const XTStatus activated = entry(&activation);
    if (activated != XT::kNoErr)
        return activated;
    if (!state->mPlugin.mSetupCallback)
        return XT::kSetupFailed;
    xtsetuprec setup = *mSession.setupRecord();
    const XTStatus status = state->mPlugin.mSetupCallback(&setup);
    mActive = status == XT::kNoErr;
    return status;
}

XTStatus PluginHost::addMenuItems()
{
    if (mMenusAdded)
        return XT::kNoErr;
    mMenusAdded = true;
    auto record = MakeRecord<xtaddmenuitemsrec>(XT::kCbAddMenuItems);
    record.menuId = sUtilitiesMenu;
    return mSession.callbacks().dispatch(XT::kCbAddMenuItems, &record);
}

QList<PluginHost::MenuEntry> PluginHost::menuEntries() const
{
    QList<MenuEntry> entries;
    HostState* state = HostState::current();
    if (!state)
        return entries;
    PluginState& plugin = state->mPlugin;
    // Walks a menu depth first; a submenu is followed once.
    std::function<void(XTMenu, const QString&, int)> walk = [&](XTMenu handle, const QString& path, int depth)
    {
        const Menu* menu = plugin.mMenus.find(handle);
        if (!menu || depth > 8)
            return;
        for (const MenuItem& item : menu->mItems)
        {
            const QString itemPath = path + QStringLiteral(" > ") + item.mText;
            if (item.mSubmenu)
                walk(item.mSubmenu, itemPath, depth + 1);
            else
                entries.append(MenuEntry{itemPath, item.mId});
        }
    };
    for (auto it = plugin.mHostMenus.cbegin(); it != plugin.mHostMenus.cend(); ++it)
        if (const Menu* menu = plugin.mMenus.find(it.value()))
            walk(it.value(), menu->mTitle, 0);
    return entries;
}

XTStatus PluginHost::runCommand(XTMenuItemId id)
{
    auto record = MakeRecord<xthandlecommandrec>(XT::kCbHandleCommand);
    record.commandId = id;
    return mSession.callbacks().dispatch(XT::kCbHandleCommand, &record);
}

bool PluginHost::runCommand(const QString& text, XTStatus* status)
{
    for (const MenuEntry& entry : menuEntries())
    {
        const QString own = entry.mPath.section(QStringLiteral(" > "), -1);
        if (entry.mPath == text || own == text)
        {
            const XTStatus result = runCommand(entry.mId);
            if (status)
                *status = result;
            return true;
        }
    }
    return false;
}

void PluginHost::setLanguage(int16_t language)
{
    HostState* state = HostState::current();
    if (!state)
        return;
    state->mPlugin.mLanguage = language;
    auto record = MakeRecord<xtsetlanguagerec>(XT::kCbSetLanguage);
    record.language = language;
    mSession.callbacks().dispatch(XT::kCbSetLanguage, &record);
}

XTStatus PluginHost::deactivate()
{
    if (!mActive)
        return XT::kNoErr;
    mActive = false;
    auto record = MakeRecord<xtvoidrec>(XT::kCbDeactivate);
    return mSession.callbacks().dispatch(XT::kCbDeactivate, &record);
}

void PluginHost::refuseActivation(bool refuse)
{
    if (HostState* state = HostState::current())
        state->mPlugin.mRefuseActivation = refuse;
}

void PluginHost::withholdResourceFile(bool withhold)
{
    if (HostState* state = HostState::current())
        state->mPlugin.mNoResourceFile = withhold;
}

int32_t PluginHost::activationLevel() const
{
    HostState* state = HostState::current();
    return state ? state->mPlugin.mActivationLevel : 0;
}

} // namespace XTHost
