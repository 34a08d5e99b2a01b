#pragma once

#include "BaseMenu.h"

typedef HostString QXStringRef;

// The plug-in's submenu in the host's menu, with its one command.
class CorvaneMenu : public QUARK::BaseMenu
{
public:
    static constexpr unsigned short kKind = 7;
    static constexpr short kPriority = 300;

    explicit CorvaneMenu(QXStringRef title);
    ~CorvaneMenu() override;

    XTStatus AddMenuItems(xtaddmenuitemsrec& record) override;
    XTStatus UpdateMenuItems(xtupdatemenuitemsrec& record) override;
    XTStatus HandleCommand(xthandlecommandrec& record) override;

    XTMenuItemId SubmenuItemId() const { return mSubmenuItemId; }
    XTMenuItemId CompareItemId() const { return mCompareItemId; }

private:
    XTMenu mHostMenu = nullptr;
    XTMenu mSubmenu = nullptr;
    XTMenuItemId mSubmenuItemId = 0;
    XTMenuItemId mCompareItemId = 0;
    HostString mTitle = nullptr;
};
