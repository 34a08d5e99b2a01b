#include "ApiTables.h"
#include "HostState.h"

namespace XTHost
{
namespace Api
{

namespace
{

XTMenu GetMenu(int32_t menuId)
{
    HostState* state = HostState::current();
    return state ? state->mPlugin.mHostMenus.value(menuId, nullptr) : nullptr;
}

XTMenuItemId NewMenuItemId()
{
    HostState* state = HostState::current();
    return state ? ++state->mPlugin.mLastItemId : XTMenuItemId(0);
}

XTMenu NewSubmenu()
{
    HostState* state = HostState::current();
    return state ? state->mPlugin.mMenus.add(Menu()) : nullptr;
}

XTError AppendMenuItem(XTMenu menu, XTMenuItemId id, HostString text)
{
    HostState* state = HostState::current();
    Menu* target = state ? state->mPlugin.mMenus.find(menu) : nullptr;
    if (!target || id == 0)
        return XT::kErrParam;
    MenuItem item;
    item.mId = id;
    item.mText = stringOf(text);
    target->mItems.push_back(item);
    return XT::kNoErr;
}

XTError AttachSubmenu(XTMenuItemId itemId, XTMenu submenu)
{
    HostState* state = HostState::current();
    if (!state || !state->mPlugin.mMenus.find(submenu))
        return XT::kErrParam;
    bool attached = false;
    state->mPlugin.mMenus.forEach(
        [&](Menu& menu)
        {
            for (MenuItem& item : menu.mItems)
                if (item.mId == itemId)
                {
                    item.mSubmenu = submenu;
                    attached = true;
                }
        });
    return attached ? XT::kNoErr : XT::kErrNotFound;
}

const XTMenusTable sTable = {GetMenu, NewMenuItemId, NewSubmenu, AppendMenuItem, AttachSubmenu};

} // namespace

const XTMenusTable& menusTable()
{
    return sTable;
}

} // namespace Api
} // namespace XTHost
