#include "CorvaneMenu.h"

#include "PluginString.h"
#include "XTCalls.h"

#include <cstring>

CorvaneMenu::CorvaneMenu(QXStringRef title) : QUARK::BaseMenu(kKind, kPriority)
{
    // The caller releases its title; keep a copy of our own.
    if (title)
        mTitle = XT::FromQString(XT::ToQString(title, false));
}

CorvaneMenu::~CorvaneMenu()
{
    if (mTitle && XT::gStrings)
        XT::gStrings->ReleaseHostString(mTitle);
}

XTStatus CorvaneMenu::AddMenuItems(xtaddmenuitemsrec& record)
{
    int32_t menuId = 0;
    std::memcpy(&menuId, reinterpret_cast<const char*>(&record) + offsetof(xtaddmenuitemsrec, menuId),
                sizeof menuId);
    mHostMenu = XT::gMenus->GetMenu(menuId);
    mSubmenuItemId = XT::gMenus->NewMenuItemId();
    mSubmenu = XT::gMenus->NewSubmenu();
    XT::gMenus->AppendMenuItem(mHostMenu, mSubmenuItemId, mTitle);
    XT::gMenus->AttachSubmenu(mSubmenuItemId, mSubmenu);

    HostString text = LoadPluginHostString(2);
    mCompareItemId = XT::gMenus->NewMenuItemId();
    XT::gMenus->AppendMenuItem(mSubmenu, mCompareItemId, text);
    if (text)
        XT::gStrings->ReleaseHostString(text);
    return XT::kNoErr;
}

XTStatus CorvaneMenu::UpdateMenuItems(xtupdatemenuitemsrec&)
{
    return XT::kNoErr;
}

XTStatus CorvaneMenu::HandleCommand(xthandlecommandrec& record)
{
    XTMenuItemId command = 0;
    std::memcpy(&command, reinterpret_cast<const char*>(&record) + offsetof(xthandlecommandrec, commandId),
                sizeof command);
    if (command != mCompareItemId || mCompareItemId == 0)
        return XT::kNoErr;
    // The comparison itself arrives with the explorer.
    return XT::kNoErr;
}
