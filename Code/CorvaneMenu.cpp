#include "CorvaneMenu.h"

#include "CorvaneExplorerInvoker.h"
#include "PluginString.h"
#include "XTCalls.h"

#include <QApplication>

#include <cstring>
#include <memory>

namespace
{

const XTFourCC kCoreEventClass = XT::FourCC("aevt");
const XTFourCC kQuitEvent = XT::FourCC("quit");

} // namespace

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

    // The host's quit handler and idle timer stay aside for exactly as long
    // as the application object lives.
    AEEventHandlerProc quitHandler = nullptr;
    intptr_t quitRefcon = 0;
    const bool hasQuitHandler = XT::gPlatform->AEGetEventHandler(kCoreEventClass, kQuitEvent, &quitHandler,
                                                                 &quitRefcon, false) == 0 &&
                                quitHandler != nullptr;
    const bool idleTimer = XT::XTGetAppIdleTimerEnable();
    XT::XTSetAppIdleTimerEnable(false);

    // A host that already runs a Qt application object lends it; otherwise
    // one lives for this command only.
    static int argc = 0;
    static char* argv[] = {nullptr};
    std::unique_ptr<QApplication> application;
    if (!QCoreApplication::instance())
    {
        QCoreApplication::setAttribute(Qt::ApplicationAttribute(5));
        application = std::make_unique<QApplication>(argc, argv);
    }
    const bool quitOnLastWindow = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);

    CorvaneExplorerInvoker::Invoke();

    QCoreApplication::quit();
    if (hasQuitHandler)
        XT::gPlatform->AEInstallEventHandler(kCoreEventClass, kQuitEvent, quitHandler, quitRefcon, false);
    XT::XTSetAppIdleTimerEnable(idleTimer);
    QApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
    application.reset();
    return XT::kNoErr;
}
