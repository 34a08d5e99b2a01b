// What the plug-in meets at setup: the setup record and its interface
// version, the callback registry, the platform table's handles and strings.
// The groups by id and version, the selectors, and the failures a test host
// can inject, are met by the plug-in's own setup in tst_lifecycle
// (setupThroughEntryPoint, setupFailures); the quit handler set aside and
// restored by its command in tst_command.

#include "HostTestSupport.h"

#include "Api/CallbackRegistry.h"

#include <QtTest>

#include <set>

namespace
{

std::vector<unsigned long> sCalls;
XTCallbackId sToRemove = 0;

XTStatus remember(void* record, unsigned long userData)
{
    sCalls.push_back(userData);
    return XT::kNoErr;
}

XTStatus refuse(void* record, unsigned long userData)
{
    sCalls.push_back(userData);
    return XT::kSetupFailed;
}

XTStatus removeAnother(void* record, unsigned long userData)
{
    sCalls.push_back(userData);
    const xtsetuprec* setup = static_cast<const xtsetuprec*>(record);
    setup->removeCallback(XT::kCbDeactivate, sToRemove);
    return XT::kNoErr;
}

XTStatus setupTime(void* record)
{
    sCalls.push_back(1000);
    return XT::kNoErr;
}

} // namespace

class tst_HostSetup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void setupRecordOffersTheInterface();
    void callbacksByPriorityWithTheirData();
    void removingACallback();
    void aHandlerMayRemoveAnother();
    void resetForgetsEverything();
    void handles();
    void hostStrings();

private:
    std::unique_ptr<XTHost::HostSession> mSession;
};

void tst_HostSetup::init()
{
    mSession = std::make_unique<XTHost::HostSession>();
    sCalls.clear();
}

void tst_HostSetup::cleanup()
{
    mSession.reset();
}

void tst_HostSetup::setupRecordOffersTheInterface()
{
    const xtsetuprec* setup = mSession->setupRecord();
    QCOMPARE(sizeof(*setup), size_t(56));
    QCOMPARE(setup->major, XT::kInterfaceMajor);
    QCOMPARE(setup->minor, XT::kInterfaceMinor);
    QCOMPARE(setup->flags, XT::kInterfaceFlags);
    QVERIFY(setup->acquireGroup && setup->resolveSelector && setup->installCallback &&
            setup->removeCallback && setup->installSetupCallback && setup->platform);
    HostApi api;
    QVERIFY(api.acquire(setup));
}

void tst_HostSetup::callbacksByPriorityWithTheirData()
{
    const xtsetuprec* setup = mSession->setupRecord();
    XTCallbackId late = 0, early = 0, again = 0, other = 0;
    QCOMPARE(setup->installCallback(XT::kXTensionId, XT::kCbHandleCommand, remember, 7, 300, &late, 3),
             XT::kNoErr);
    QCOMPARE(setup->installCallback(XT::kXTensionId, XT::kCbHandleCommand, refuse, 7, 100, &early, 1),
             XT::kNoErr);
    QCOMPARE(setup->installCallback(XT::kXTensionId, XT::kCbHandleCommand, remember, 7, 100, &again, 2),
             XT::kNoErr);
    QCOMPARE(setup->installCallback(XT::kXTensionId, XT::kCbAddMenuItems, remember, 7, 1, &other, 9),
             XT::kNoErr);
    QCOMPARE(setup->installSetupCallback(XT::kCbHandleCommand, setupTime, 1, 200, 0), XT::kNoErr);
    const std::set<XTCallbackId> ids{late, early, again, other};
    QCOMPARE(ids.size(), size_t(4));
    QVERIFY(!ids.count(0));

    xthandlecommandrec record{};
    const XTStatus status = mSession->callbacks().dispatch(XT::kCbHandleCommand, &record);
    QCOMPARE(sCalls, (std::vector<unsigned long>{1, 2, 1000, 3}));
    QCOMPARE(status, XT::kSetupFailed); // the first refusal is the answer
    QCOMPARE(setup->installCallback(XT::kXTensionId, XT::kCbHandleCommand, nullptr, 7, 1, &other, 0),
             XT::kErrParam);
}

void tst_HostSetup::removingACallback()
{
    const xtsetuprec* setup = mSession->setupRecord();
    XTCallbackId first = 0, second = 0;
    setup->installCallback(XT::kXTensionId, XT::kCbDeactivate, remember, 7, 200, &first, 1);
    setup->installCallback(XT::kXTensionId, XT::kCbDeactivate, remember, 7, 200, &second, 2);
    QCOMPARE(setup->removeCallback(XT::kCbSetLanguage, first), XT::kErrNotFound); // wrong code
    QCOMPARE(setup->removeCallback(XT::kCbDeactivate, first), XT::kNoErr);
    QCOMPARE(setup->removeCallback(XT::kCbDeactivate, first), XT::kErrNotFound);
    xtvoidrec record{};
    mSession->callbacks().dispatch(XT::kCbDeactivate, &record);
    QCOMPARE(sCalls, std::vector<unsigned long>{2});
    QCOMPARE(mSession->callbacks().count(XT::kCbDeactivate), 1);
}

void tst_HostSetup::aHandlerMayRemoveAnother()
{
    const xtsetuprec* setup = mSession->setupRecord();
    XTCallbackId first = 0;
    setup->installCallback(XT::kXTensionId, XT::kCbDeactivate, removeAnother, 7, 1, &first, 1);
    setup->installCallback(XT::kXTensionId, XT::kCbDeactivate, remember, 7, 2, &sToRemove, 2);
    setup->installCallback(XT::kXTensionId, XT::kCbDeactivate, remember, 7, 3, &first, 3);
    // The record handed over is the setup record here, so the handler can
    // reach removeCallback.
    mSession->callbacks().dispatch(XT::kCbDeactivate, const_cast<xtsetuprec*>(setup));
    QCOMPARE(sCalls, (std::vector<unsigned long>{1, 3}));
}

void tst_HostSetup::resetForgetsEverything()
{
    HostApi api;
    QVERIFY(api.acquire(mSession->setupRecord()));
    QTemporaryDir dir;
    const XTProjectId project = api.open(writeProject(dir, QStringLiteral("p.xprj"), smallProject()));
    QVERIFY(project != XT::kNoProject);
    const XTBoxRef box = api.boxNumbered(project, 1, 10);
    XTCallbackId id = 0;
    mSession->setupRecord()->installCallback(XT::kXTensionId, XT::kCbDeactivate, remember, 7, 1, &id, 1);
    mSession->withholdGroup(XT::kGroupText);

    mSession->reset();
    QCOMPARE(api.mProject->GetOpenProjectCount(), 0);
    QCOMPARE(api.mBox->GetBoxNumber(box, 0), 0);
    QCOMPARE(mSession->callbacks().count(XT::kCbDeactivate), 0);
    QVERIFY(api.acquire(mSession->setupRecord()));
}

void tst_HostSetup::handles()
{
    const XTPlatformTable* platform = mSession->setupRecord()->platform;
    XTHandle handle = platform->NewHandleClear(16);
    QVERIFY(handle && *handle);
    QCOMPARE(platform->GetHandleSize(handle), int64_t(16));
    QCOMPARE(QByteArray(*handle, 16), QByteArray(16, '\0'));
    std::memcpy(*handle, "corvane", 7);
    QCOMPARE(platform->SetHandleSize(handle, 4096), XTOSErr(0));
    QCOMPARE(QByteArray(*handle, 7), QByteArray("corvane"));
    QCOMPARE(QByteArray(*handle + 16, 4080), QByteArray(4080, '\0'));
    QVERIFY(platform->SetHandleSize(handle, -1) != 0);
    platform->DisposeHandle(handle);
    // A handle the host does not know is left alone.
    char* cell = nullptr;
    XTHandle foreign = &cell;
    QCOMPARE(platform->GetHandleSize(foreign), int64_t(0));
    QVERIFY(platform->SetHandleSize(foreign, 8) != 0);
    platform->DisposeHandle(foreign);
    QVERIFY(!platform->NewHandle(-5));
}

void tst_HostSetup::hostStrings()
{
    HostApi api;
    QVERIFY(api.acquire(mSession->setupRecord()));
    const uint16_t chars[] = {'c', 'a', 'f', 0xE9, 0};
    HostString terminated = api.mStrings->HostStringFromUtf16(chars, -1);
    QCOMPARE(api.mStrings->HostStringLength(terminated), 4);
    QCOMPARE(api.take(terminated), QStringLiteral("caf\u00E9"));
    // Released, the handle is unknown: length 0, no characters.
    QCOMPARE(api.mStrings->HostStringLength(terminated), 0);
    QCOMPARE(api.mStrings->HostStringChars(terminated)[0], uint16_t(0));
    HostString empty = api.mStrings->HostStringFromUtf16(nullptr, 0);
    QVERIFY(empty);
    QCOMPARE(api.take(empty), QString(""));
    QVERIFY(!api.mStrings->HostStringFromUtf16(nullptr, 3));
}

QTEST_GUILESS_MAIN(tst_HostSetup)
#include "tst_hostsetup.moc"
