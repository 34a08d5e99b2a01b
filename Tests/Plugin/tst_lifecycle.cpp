// The plug-in's life with the host: activation, setup and its failures,
// callbacks, language, the palette record, the rendering of a text box for a
// preview, and xthost loading the real module.

#include "PluginSession.h"

#include "Api/CallbackRegistry.h"
#include "Assert.h"
#include "BaseCB.h"
#include "CorvaneMenu.h"
#include "MainXT.h"
#include "PluginString.h"
#include "Preferences.h"
#include "XImage.h"
#include "XTCalls.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QtTest>

#include <cstring>

namespace
{

// A callback that counts its calls and answers a chosen status.
class CountingCB : public QUARK::BaseCB
{
public:
    CountingCB(long code, XTStatus answer) : BaseCB(code, 7, 200), mAnswer(answer) {}
    XTStatus Handler(void* param) override
    {
        ++mCalls;
        mLastParam = param;
        return mAnswer;
    }
    int mCalls = 0;
    void* mLastParam = nullptr;
    XTStatus mAnswer;
};

constexpr int32_t kTestCode = 4711;

// The installed callbacks of the codes setup installs, as "deactivate,
// language, add items, update items, command" counts.
QString InstalledCallbacks(XTHost::HostSession& host)
{
    XTHost::CallbackRegistry& callbacks = host.callbacks();
    return QStringLiteral("%1,%2,%3,%4,%5")
        .arg(callbacks.count(XT::kCbDeactivate))
        .arg(callbacks.count(XT::kCbSetLanguage))
        .arg(callbacks.count(XT::kCbAddMenuItems))
        .arg(callbacks.count(XT::kCbUpdateMenuItems))
        .arg(callbacks.count(XT::kCbHandleCommand));
}

// Counts GetPaletteBounds calls while it stands in for the host's table.
int sPaletteCalls = 0;
XTError CountingPaletteBounds(int32_t, Rect* bounds)
{
    ++sPaletteCalls;
    *bounds = Rect{0, 0, 100, 50};
    return 0;
}

} // namespace

class tst_Lifecycle : public QObject
{
    Q_OBJECT

private slots:
    void setupThroughEntryPoint();
    void setupFailures_data();
    void setupFailures();
    void refusedActivation();
    void callbackDispatchAndRemoval();
    void languageChanges();
    void paletteRecord();
    void paletteRectOfNoPosition();
    void renderedTextBox();
    void failedAssertion();
    void xthostListsTheMenu();
    void xthostFailures_data();
    void xthostFailures();
};

void tst_Lifecycle::setupThroughEntryPoint()
{
    PluginSession session;
    QCOMPARE(session.SetupStatus(), XT::kNoErr);
    QCOMPARE(session.Plugin().activationLevel(), 200);
    QCOMPARE(InstalledCallbacks(session.Host()), QStringLiteral("1,1,1,1,1"));

    // The menu title and item are strings 1 and 2 of the plug-in's list.
    QVERIFY(!PluginString(1).isEmpty());
    QVERIFY(!PluginString(2).isEmpty());
    const auto entries = session.Plugin().menuEntries();
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().mPath,
             QStringLiteral("Utilities > %1 > %2").arg(PluginString(1), PluginString(2)));
    QCOMPARE(entries.first().mId, MainXT::GetInstance()->Menu()->CompareItemId());
    QCOMPARE(MainXT::GetInstance()->ResourceFileNumber(), short(128));

    // Another command id is not the plug-in's and does nothing.
    QCOMPARE(session.Plugin().runCommand(XTMenuItemId(entries.first().mId + 100)), XT::kNoErr);
}

void tst_Lifecycle::setupFailures_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("value");
    // What was installed when setup stopped: deactivate, language, menu counts.
    QTest::addColumn<QString>("installed");
    QTest::addColumn<bool>("hasMenu");

    enum
    {
        Group,
        Interface,
        GroupVersion,
        ResourceFile,
        Selector
    };
    const QString none = QStringLiteral("0,0,0,0,0");
    QTest::newRow("strings group withheld") << int(Group) << int(XT::kGroupStrings) << none << false;
    QTest::newRow("resources group withheld") << int(Group) << int(XT::kGroupResources) << none << false;
    QTest::newRow("GIF filter group withheld") << int(Group) << int(XT::kGroupGifFilter) << none << false;
    QTest::newRow("OpenType group withheld") << int(Group) << int(XT::kGroupOpenType) << none << false;
    QTest::newRow("older interface version") << int(Interface) << 360 << none << false;
    QTest::newRow("another group version") << int(GroupVersion) << 2 << none << false;
    QTest::newRow("no resource file number") << int(ResourceFile) << 0 << none << false;
    // Selectors are resolved last: everything before is in place.
    const QString all = QStringLiteral("1,1,1,1,1");
    QTest::newRow("xecopy refused") << int(Selector) << int(XT::kSelEditCopy) << all << true;
    QTest::newRow("idle timer setter refused")
        << int(Selector) << int(XT::kSelSetAppIdleTimerEnable) << all << true;
}

void tst_Lifecycle::setupFailures()
{
    QFETCH(int, kind);
    QFETCH(int, value);
    QFETCH(QString, installed);
    QFETCH(bool, hasMenu);

    PluginSession session(false);
    switch (kind)
    {
    case 0:
        session.Host().withholdGroup(uint32_t(value));
        break;
    case 1:
        session.Host().offerInterfaceVersion(XT::kInterfaceMajor, int16_t(value));
        break;
    case 2:
        session.Host().offerGroupVersion(value);
        break;
    case 3:
        session.Plugin().withholdResourceFile(true);
        break;
    default:
        session.Host().failSelector(value);
        break;
    }
    QCOMPARE(session.Activate(), XT::kSetupFailed);
    QCOMPARE(InstalledCallbacks(session.Host()), installed);
    QCOMPARE(MainXT::GetInstance()->Menu() != nullptr, hasMenu);
    session.Plugin().addMenuItems();
    QCOMPARE(session.Plugin().menuEntries().size(), hasMenu ? 1 : 0);
}

void tst_Lifecycle::refusedActivation()
{
    PluginSession session(false);
    session.Plugin().refuseActivation(true);
    QCOMPARE(session.Activate(), XT::kSetupFailed);
    QCOMPARE(session.Plugin().activationLevel(), 0);
    QCOMPARE(InstalledCallbacks(session.Host()), QStringLiteral("0,0,0,0,0"));
}

void tst_Lifecycle::callbackDispatchAndRemoval()
{
    PluginSession session;
    XTHost::CallbackRegistry& callbacks = session.Host().callbacks();
    auto first = std::make_unique<CountingCB>(kTestCode, 0);
    CountingCB second(kTestCode, 17);
    QVERIFY(first->Id() != 0);
    QVERIFY(first->Id() != second.Id());
    QCOMPARE(callbacks.count(kTestCode), 2);

    xtvoidrec record{{kTestCode, int32_t(sizeof(xtvoidrec))}};
    QCOMPARE(callbacks.dispatch(kTestCode, &record), 17);
    QCOMPARE(first->mCalls, 1);
    QCOMPARE(second.mCalls, 1);
    QCOMPARE(first->mLastParam, static_cast<void*>(&record));

    // Destroying one removes its own registration and no other.
    first.reset();
    QCOMPARE(callbacks.count(kTestCode), 1);
    callbacks.dispatch(kTestCode, &record);
    QCOMPARE(second.mCalls, 2);
    QCOMPARE(InstalledCallbacks(session.Host()), QStringLiteral("1,1,1,1,1"));
}

void tst_Lifecycle::languageChanges()
{
    // Before setup there is no menu: a language change only sets the id.
    MainXT::GetInstance()->Reset();
    xtsetlanguagerec record{{XT::kCbSetLanguage, int32_t(sizeof record)}, 9};
    QCOMPARE(MainXT::SetLanguageCB(&record), XT::kNoErr);
    QCOMPARE(MainXT::GetInstance()->LanguageID(), short(9));
    QVERIFY(!MainXT::GetInstance()->Menu());

    // Through the host after setup.
    PluginSession session;
    QCOMPARE(MainXT::GetInstance()->LanguageID(), short(0));
    session.Plugin().setLanguage(3);
    QCOMPARE(MainXT::GetInstance()->LanguageID(), short(3));
    QVERIFY(MainXT::GetInstance()->Menu());
}

void tst_Lifecycle::paletteRecord()
{
    PluginSession session;
    PreferencesManager* preferences = PreferencesManager::GetInstance();

    // A new file gets the default record, and the record is written.
    QVERIFY(preferences->ReadPreferences());
    QCOMPARE(preferences->Top(), int16_t(72));
    QCOMPARE(preferences->Left(), int16_t(72));
    QCOMPARE(preferences->Flag(), uint8_t(0));
    QFile stored(session.TempPath(QStringLiteral("Preferences/Trellium Preferences")));
    QCOMPARE(stored.size(), qint64(6));

    // Deactivation writes the current record; a new read gets it back.
    preferences->SetPaletteRect(Rect{-5, 300, 0, 0});
    preferences->SetFlag(1);
    session.Plugin().deactivate();
    preferences->SetPaletteRect(Rect{0, 0, 0, 0});
    preferences->SetFlag(0);
    QVERIFY(preferences->ReadPreferences());
    QCOMPARE(preferences->Top(), int16_t(-5));
    QCOMPARE(preferences->Left(), int16_t(300));
    QCOMPARE(preferences->Flag(), uint8_t(1));
    QCOMPARE(stored.size(), qint64(6));
}

void tst_Lifecycle::paletteRectOfNoPosition()
{
    PluginSession session;
    PreferencesManager* preferences = PreferencesManager::GetInstance();
    XTPreferencesTable counting = *XT::gPreferences;
    counting.GetPaletteBounds = &CountingPaletteBounds;
    const XTPreferencesTable* host = XT::gPreferences;
    XT::gPreferences = &counting;
    sPaletteCalls = 0;

    preferences->SetPaletteRect(Rect{32767, 32767, 1, 1});
    const Rect none = preferences->GetPaletteRect(1);
    const int callsForNone = sPaletteCalls;
    preferences->SetPaletteRect(Rect{10, 20, 0, 0});
    const Rect placed = preferences->GetPaletteRect(1);
    XT::gPreferences = host;

    QCOMPARE(QString("%1,%2,%3,%4").arg(none.top).arg(none.left).arg(none.bottom).arg(none.right),
             QStringLiteral("32767,32767,0,0"));
    QCOMPARE(callsForNone, 0);
    // Otherwise the palette's size comes from the host, plus a margin of 20.
    QCOMPARE(QString("%1,%2,%3,%4").arg(placed.top).arg(placed.left).arg(placed.bottom).arg(placed.right),
             QStringLiteral("10,20,130,90"));
    QCOMPARE(sPaletteCalls, 1);
}

void tst_Lifecycle::renderedTextBox()
{
    PluginSession session;
    QVERIFY(session.IsActive());
    const XTProjectId project = session.Open(SourcePath(QStringLiteral("Samples/harbour-gazette-v1.xprj")));
    QVERIFY(project != XT::kNoProject);

    // The first story that is in a box, and the size of its first box.
    XTTextRef text = nullptr;
    XTFixedRect bounds{};
    for (XTTextRef story = XT::gText->GetStoryText(XT::gText->GetFirstStoryEntry(project)); story && !text;
         story = XT::gText->GetNextStory(story))
    {
        XTHandle boxes = XT::gPlatform->NewHandle(0);
        if (XT::gText->GetStoryBoxes(story, 0, boxes) == 0 && XT::gPlatform->GetHandleSize(boxes) >= 4)
        {
            XTBoxRef box = 0;
            std::memcpy(&box, *boxes, sizeof box);
            if (XT::gBox->GetBoxBounds(box, 1, 16, &bounds) == 0)
                text = story;
        }
        XT::gPlatform->DisposeHandle(boxes);
    }
    QVERIFY(text);

    QString path;
    {
        XImage image(text);
        path = image.FilePath();
        QVERIFY(path.endsWith(QLatin1String(".gif")));
        QImage picture;
        QVERIFY(picture.load(path));
        QCOMPARE(picture.width(), (bounds.right - bounds.left) / 65536);
        QCOMPARE(picture.height(), (bounds.bottom - bounds.top) / 65536);
        // Something was drawn: not every pixel is white.
        bool inked = false;
        for (int y = 0; y < picture.height() && !inked; ++y)
            for (int x = 0; x < picture.width() && !inked; ++x)
                inked = qGray(picture.pixel(x, y)) < 128;
        QVERIFY(inked);
    }
    QVERIFY(!QFile::exists(path));
}

void tst_Lifecycle::failedAssertion()
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--fail-assertion")});
    QVERIFY(child.waitForFinished(10000));
    QVERIFY(child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0);
    const QString line = QString::fromLocal8Bit(child.readAllStandardError()).trimmed();
    QVERIFY2(
        QRegularExpression(QStringLiteral("^\\S*tst_lifecycle\\.cpp:\\d+: failed assertion `1 \\+ 1 == 3'$"))
            .match(line)
            .hasMatch(),
        qPrintable(line));
}

namespace
{

QString XthostPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../../bin/xthost"));
}

} // namespace

void tst_Lifecycle::xthostListsTheMenu()
{
    QTemporaryDir preferences;
    QProcess host;
    host.start(XthostPath(), {QStringLiteral("--list"), QStringLiteral("--preferences"), preferences.path()});
    QVERIFY2(host.waitForFinished(20000), qPrintable(host.errorString()));
    QCOMPARE(host.exitCode(), 0);
    const QString output = QString::fromUtf8(host.readAllStandardOutput());
    QCOMPARE(output, QStringLiteral("1. Utilities > CorvaneXT > Compare Projects...\n"));
    // Deactivation wrote the palette record into the host's preferences.
    QCOMPARE(QFileInfo(preferences.filePath(QStringLiteral("Trellium Preferences"))).size(), qint64(6));
}

void tst_Lifecycle::xthostFailures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("missing module") << QStringList{"--module", "/nonexistent/CorvaneXT.so", "--list"} << 1
                                    << "cannot load the module /nonexistent/CorvaneXT.so";
    QTest::newRow("not a plug-in") << QStringList{"--module", XthostPath(), "--list"} << 1 << "cannot load";
    QTest::newRow("no strings file") << QStringList{"--resources", "/nonexistent", "--list"} << 1
                                     << "setup failed (status 0x51000401): /nonexistent/Master.strings";
    QTest::newRow("unknown command") << QStringList{"--run", "Print Everything"} << 2
                                     << "no menu item \"Print Everything\"";
    QTest::newRow("bad project") << QStringList{"--open", "/nonexistent.xprj", "--list"} << 1
                                 << "/nonexistent.xprj";
    QTest::newRow("bad argument") << QStringList{"--frobnicate"} << 2 << "unexpected argument --frobnicate";
}

void tst_Lifecycle::xthostFailures()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    QTemporaryDir preferences;
    QProcess host;
    host.start(XthostPath(), arguments << QStringLiteral("--preferences") << preferences.path());
    QVERIFY(host.waitForFinished(20000));
    QCOMPARE(host.exitStatus(), QProcess::NormalExit);
    QCOMPARE(host.exitCode(), status);
    const QString error = QString::fromUtf8(host.readAllStandardError());
    QVERIFY2(error.startsWith(QLatin1String("xthost: ")) && error.contains(message), qPrintable(error));
}

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--fail-assertion") == 0)
    {
        XT_ASSERT(1 + 1 == 3);
        return 0;
    }
    QApplication application(argc, argv);
    tst_Lifecycle test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_lifecycle.moc"
