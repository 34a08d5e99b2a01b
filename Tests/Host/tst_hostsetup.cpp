// What the plug-in meets at setup: the setup record and its interface
// version, groups by id and version, selectors, the callback registry, the
// platform table; and the failures a test host can inject.

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

XTOSErr quitHandler(const void*, void*, intptr_t)
{
    return 0;
}

} // namespace

class tst_HostSetup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void setupRecordOffersTheInterface();
    void everyGroupByIdAndVersion_data();
    void everyGroupByIdAndVersion();
    void injectedFailures();
    void selectors_data();
    void selectors();
    void callbacksByPriorityWithTheirData();
    void removingACallback();
    void aHandlerMayRemoveAnother();
    void resetForgetsEverything();
    void handles();
    void hostStrings();
    void eventHandlers();

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

void tst_HostSetup::everyGroupByIdAndVersion_data()
{
    QTest::addColumn<uint32_t>("group");
    QTest::newRow("strings") << uint32_t(XT::kGroupStrings);
    QTest::newRow("project") << uint32_t(XT::kGroupProject);
    QTest::newRow("spread") << uint32_t(XT::kGroupSpread);
    QTest::newRow("doc") << uint32_t(XT::kGroupDoc);
    QTest::newRow("box") << uint32_t(XT::kGroupBox);
    QTest::newRow("box fields") << uint32_t(XT::kGroupBoxFields);
    QTest::newRow("picture") << uint32_t(XT::kGroupPicture);
    QTest::newRow("text") << uint32_t(XT::kGroupText);
    QTest::newRow("assets") << uint32_t(XT::kGroupAssets);
    QTest::newRow("colours") << uint32_t(XT::kGroupColors);
    QTest::newRow("numbers") << uint32_t(XT::kGroupNumbers);
    QTest::newRow("files") << uint32_t(XT::kGroupFiles);
    QTest::newRow("platform") << uint32_t(XT::kGroupPlatform);
    QTest::newRow("unicode") << uint32_t(XT::kGroupUnicode);
    QTest::newRow("graphics") << uint32_t(XT::kGroupGraphics);
    QTest::newRow("opentype") << uint32_t(XT::kGroupOpenType);
}

void tst_HostSetup::everyGroupByIdAndVersion()
{
    QFETCH(uint32_t, group);
    const xtsetuprec* setup = mSession->setupRecord();
    const void* table = nullptr;
    QCOMPARE(setup->acquireGroup(group, XT::kGroupVersion, &table), XT::kNoErr);
    QVERIFY(table);
    QVERIFY(setup->acquireGroup(group, XT::kGroupVersion + 1, &table) != XT::kNoErr);
    QVERIFY(!table);
}

void tst_HostSetup::injectedFailures()
{
    const xtsetuprec* setup = mSession->setupRecord();
    const void* table = nullptr;
    mSession->withholdGroup(XT::kGroupText);
    QVERIFY(setup->acquireGroup(XT::kGroupText, XT::kGroupVersion, &table) != XT::kNoErr);
    QCOMPARE(setup->acquireGroup(XT::kGroupBox, XT::kGroupVersion, &table), XT::kNoErr);
    HostApi api;
    QVERIFY(!api.acquire(setup));
    mSession->withholdGroup(XT::kGroupText, false);
    QVERIFY(api.acquire(setup));

    mSession->offerGroupVersion(2);
    QVERIFY(setup->acquireGroup(XT::kGroupBox, XT::kGroupVersion, &table) != XT::kNoErr);
    QCOMPARE(setup->acquireGroup(XT::kGroupBox, 2, &table), XT::kNoErr);
    mSession->offerGroupVersion(XT::kGroupVersion);

    mSession->offerInterfaceVersion(4, 100);
    QCOMPARE(setup->major, int16_t(4));
    QCOMPARE(setup->minor, int16_t(100));

    mSession->failSelector(XT::kSelGetBoxGeometry);
    void* function = reinterpret_cast<void*>(1);
    QVERIFY(setup->resolveSelector(XT::kSelGetBoxGeometry, &function) != XT::kNoErr);
    QVERIFY(!function);
    QVERIFY(!api.acquire(setup));
    QCOMPARE(setup->resolveSelector(XT::kSelEditCopy, &function), XT::kNoErr);
}

void tst_HostSetup::selectors_data()
{
    QTest::addColumn<int32_t>("selector");
    QTest::addColumn<bool>("resolves");
    QTest::newRow("xecopy") << int32_t(XT::kSelEditCopy) << true;
    QTest::newRow("XEPaste") << int32_t(XT::kSelEditPaste) << true;
    QTest::newRow("document preferences") << int32_t(XT::kSelGetDocumentPreferences) << true;
    QTest::newRow("box geometry") << int32_t(XT::kSelGetBoxGeometry) << true;
    QTest::newRow("idle timer, get") << int32_t(XT::kSelGetAppIdleTimerEnable) << true;
    QTest::newRow("idle timer, set") << int32_t(XT::kSelSetAppIdleTimerEnable) << true;
    QTest::newRow("unknown") << 9999 << false;
}

void tst_HostSetup::selectors()
{
    QFETCH(int32_t, selector);
    QFETCH(bool, resolves);
    void* function = nullptr;
    QCOMPARE(mSession->setupRecord()->resolveSelector(selector, &function) == XT::kNoErr, resolves);
    QCOMPARE(function != nullptr, resolves);
    if (selector == XT::kSelSetAppIdleTimerEnable)
    {
        void* get = nullptr;
        mSession->setupRecord()->resolveSelector(XT::kSelGetAppIdleTimerEnable, &get);
        auto getEnabled = reinterpret_cast<XTGetAppIdleTimerEnableProc>(get);
        auto setEnabled = reinterpret_cast<XTSetAppIdleTimerEnableProc>(function);
        QVERIFY(getEnabled());
        setEnabled(false);
        QVERIFY(!getEnabled());
    }
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

void tst_HostSetup::eventHandlers()
{
    const XTPlatformTable* platform = mSession->setupRecord()->platform;
    const XTFourCC core = XT::FourCC("aevt");
    const XTFourCC quit = XT::FourCC("quit");
    AEEventHandlerProc handler = nullptr;
    intptr_t refcon = 0;
    QVERIFY(platform->AEGetEventHandler(core, quit, &handler, &refcon, false) != 0);
    QCOMPARE(platform->AEInstallEventHandler(core, quit, quitHandler, 42, false), XTOSErr(0));
    QCOMPARE(platform->AEGetEventHandler(core, quit, &handler, &refcon, false), XTOSErr(0));
    QVERIFY(handler == &quitHandler);
    QCOMPARE(refcon, intptr_t(42));
}

QTEST_GUILESS_MAIN(tst_HostSetup)
#include "tst_hostsetup.moc"
