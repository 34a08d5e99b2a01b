#include "BaseMenu.h"

namespace QUARK
{

BaseMenu::BaseMenu(unsigned short kind, short priority)
    : mAddMenuItems(*this, kind, priority), mUpdateMenuItems(*this, kind, priority),
      mHandleCommand(*this, kind, priority)
{
}

BaseMenu::~BaseMenu() = default;

XTStatus BaseMenu::HandleCommand(xthandlecommandrec&)
{
    return XT::kNoErr;
}

BaseMenu::AddMenuItemsCB::AddMenuItemsCB(BaseMenu& menu, unsigned short kind, short priority)
    : BaseCB(XT::kCbAddMenuItems, kind, priority), mMenu(menu)
{
}

XTStatus BaseMenu::AddMenuItemsCB::Handler(void* param)
{
    return mMenu.AddMenuItems(*static_cast<xtaddmenuitemsrec*>(param));
}

BaseMenu::UpdateMenuItemsCB::UpdateMenuItemsCB(BaseMenu& menu, unsigned short kind, short priority)
    : BaseCB(XT::kCbUpdateMenuItems, kind, priority), mMenu(menu)
{
}

XTStatus BaseMenu::UpdateMenuItemsCB::Handler(void* param)
{
    return mMenu.UpdateMenuItems(*static_cast<xtupdatemenuitemsrec*>(param));
}

BaseMenu::HandleCommandCB::HandleCommandCB(BaseMenu& menu, unsigned short kind, short priority)
    : BaseCB(XT::kCbHandleCommand, kind, priority), mMenu(menu)
{
}

XTStatus BaseMenu::HandleCommandCB::Handler(void* param)
{
    return mMenu.HandleCommand(*static_cast<xthandlecommandrec*>(param));
}

} // namespace QUARK
