// The plug-in's command as the host runs it: the application object made and
// destroyed around each run, the host's quit handler and idle timer set aside
// and restored, nothing opened when the picker is cancelled. Whole
// comparisons through the loaded module, checked on the saved files, are
// tst_mergesession's and tst_mergewindow's.
//
// This program makes no application object of its own: the command does.

#include "PluginSession.h"
#include "Script.h"

#include "PluginHost.h"
#include "XTCalls.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QtTest>

#include <functional>

namespace
{

// What runs as soon as the command has made its application object.
std::function<void()> sOnApplication;
int sApplicationsMade = 0;
int sApplicationsDestroyed = 0;

void ApplicationMade()
{
    ++sApplicationsMade;
    QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] { ++sApplicationsDestroyed; });
    if (sOnApplication)
        sOnApplication();
}
Q_COREAPP_STARTUP_FUNCTION(ApplicationMade)

XTOSErr HostQuit(const void*, void*, intptr_t)
{
    return 0;
}

XTOSErr OtherQuit(const void*, void*, intptr_t)
{
    return 0;
}

const XTFourCC kCore = XT::FourCC("aevt");
const XTFourCC kQuit = XT::FourCC("quit");

} // namespace

class tst_Command : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void twiceInARow_data();
    void twiceInARow();
};

void tst_Command::init()
{
    sOnApplication = nullptr;
    sApplicationsMade = 0;
    sApplicationsDestroyed = 0;
}

void tst_Command::twiceInARow_data()
{
    QTest::addColumn<bool>("idle");
    QTest::newRow("idle timer on") << true;
    QTest::newRow("idle timer off stays off") << false;
}

// Each run makes its application object and destroys it, turns the host's
// idle timer off while it runs and gives back the timer and quit handler
// as they were.
void tst_Command::twiceInARow()
{
    QFETCH(bool, idle);
    PluginSession session;
    QVERIFY(session.IsActive());
    QCOMPARE(XT::gPlatform->AEInstallEventHandler(kCore, kQuit, &HostQuit, 42, false), XTOSErr(0));
    XT::XTSetAppIdleTimerEnable(idle);

    bool idleDuringRun = true;
    sOnApplication = [&]
    {
        idleDuringRun = XT::XTGetAppIdleTimerEnable();
        // Something inside the run takes the quit event over.
        XT::gPlatform->AEInstallEventHandler(kCore, kQuit, &OtherQuit, 7, false);
        auto* script = new Script;
        script->setParent(QCoreApplication::instance());
        script->Then(
            QStringLiteral("cancel the picker"),
            [] { return Script::Modal("ProjectPickerClass") != nullptr; },
            []
            {
                Script::Modal("ProjectPickerClass")
                    ->findChild<QDialogButtonBox*>()
                    ->button(QDialogButtonBox::Cancel)
                    ->click();
            });
        script->Start();
    };

    for (int run = 1; run <= 2; ++run)
    {
        QVERIFY(session.Plugin().runCommand(QStringLiteral("Compare Projects..."), nullptr));
        QCOMPARE(sApplicationsMade, run);
        QCOMPARE(sApplicationsDestroyed, run);
        QVERIFY(!QCoreApplication::instance());
        QCOMPARE(XT::gProject->GetOpenProjectCount(), 0);
        QVERIFY(!idleDuringRun);
        QCOMPARE(XT::XTGetAppIdleTimerEnable(), idle);
        AEEventHandlerProc handler = nullptr;
        intptr_t refcon = 0;
        QCOMPARE(XT::gPlatform->AEGetEventHandler(kCore, kQuit, &handler, &refcon, false), XTOSErr(0));
        QVERIFY(handler == &HostQuit);
        QCOMPARE(refcon, intptr_t(42));
    }
}

int main(int argc, char** argv)
{
    tst_Command test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_command.moc"
