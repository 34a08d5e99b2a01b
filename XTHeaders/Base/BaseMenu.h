#pragma once

#include "BaseCB.h"
#include "XTRecords.h"

namespace QUARK
{

// The three host menu callbacks of one plug-in menu, forwarded to the
// menu's operations of the same names.
class BaseMenu
{
public:
    BaseMenu(unsigned short kind, short priority);
    virtual ~BaseMenu();
    BaseMenu(const BaseMenu&) = delete;
    BaseMenu& operator=(const BaseMenu&) = delete;

    virtual XTStatus AddMenuItems(xtaddmenuitemsrec& record) = 0;
    virtual XTStatus UpdateMenuItems(xtupdatemenuitemsrec& record) = 0;
    virtual XTStatus HandleCommand(xthandlecommandrec& record);

    class AddMenuItemsCB : public BaseCB
    {
    public:
        AddMenuItemsCB(BaseMenu& menu, unsigned short kind, short priority);
        XTStatus Handler(void* param) override;

    private:
        BaseMenu& mMenu;
    };

    class UpdateMenuItemsCB : public BaseCB
    {
    public:
        UpdateMenuItemsCB(BaseMenu& menu, unsigned short kind, short priority);
        XTStatus Handler(void* param) override;

    private:
        BaseMenu& mMenu;
    };

    class HandleCommandCB : public BaseCB
    {
    public:
        HandleCommandCB(BaseMenu& menu, unsigned short kind, short priority);
        XTStatus Handler(void* param) override;

    private:
        BaseMenu& mMenu;
    };

private:
    AddMenuItemsCB mAddMenuItems;
    UpdateMenuItemsCB mUpdateMenuItems;
    HandleCommandCB mHandleCommand;
};

} // namespace QUARK
