// The plug-in's life with the host: activation, setup and its failures,
// callbacks, language, the palette record (kept across loads, read safely
// when short or unreadable), and xthost loading the real module. (The
// rendering of a text box for a preview is tst_previews'.)

#include "PluginSession.h"
#include "TestFiles.h"

#include "Api/CallbackRegistry.h"
#include "Assert.h"
#include "BaseCB.h"
#include "CorvaneMenu.h"
#include "Main.h"
#include "MainXT.h"
#include "PluginString.h"
#include "Preferences.h"
#include "XTCalls.h"

#include <QFile>
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

const char kRecordName[] = "Trellium Preferences";

// A palette record as the file holds it: top, left, flag, padding, in the
// machine's byte order.
QByteArray PaletteRecord(int16_t top, int16_t left, uint8_t flag, uint8_t padding = 0)
{
    QByteArray record(6, '\0');
    std::memcpy(record.data(), &top, 2);
    std::memcpy(record.data() + 2, &left, 2);
    record[4] = char(flag);
    record[5] = char(padding);
    return record;
}

QString PreferencesState()
{
    PreferencesManager* preferences = PreferencesManager::GetInstance();
    return QStringLiteral("%1,%2,%3")
        .arg(preferences->Top())
        .arg(preferences->Left())
        .arg(preferences->Flag());
}

} // namespace

class tst_Lifecycle : public QObject
{
    Q_OBJECT

private slots:
    void setupThroughEntryPoint();
    void setupFailures_data();
    void setupFailures();
    void callbackDispatchAndRemoval();
    void languageChanges();
    void paletteRecordReadAtSetup_data();
    void paletteRecordReadAtSetup();
    void shortOrUnreadablePaletteRecord_data();
    void shortOrUnreadablePaletteRecord();
    void failedPreferencesWriteIsReported();
    void failedAssertion();
    void xthostListsTheMenu_data();
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

    enum
    {
        Group,
        Interface,
        GroupVersion,
        ResourceFile,
        StringsFile,
        Refused,
        Selector
    };
    QTest::newRow("strings group withheld") << int(Group) << int(XT::kGroupStrings);
    QTest::newRow("resources group withheld") << int(Group) << int(XT::kGroupResources);
    QTest::newRow("preferences group withheld") << int(Group) << int(XT::kGroupPreferences);
    QTest::newRow("GIF filter group withheld") << int(Group) << int(XT::kGroupGifFilter);
    QTest::newRow("OpenType group withheld") << int(Group) << int(XT::kGroupOpenType);
    QTest::newRow("older interface version") << int(Interface) << 360;
    QTest::newRow("another group version") << int(GroupVersion) << 2;
    QTest::newRow("no resource file number") << int(ResourceFile) << 0;
    QTest::newRow("no strings file") << int(StringsFile) << 0;
    QTest::newRow("activation refused") << int(Refused) << 0;
    const std::pair<const char*, int32_t> selectors[] = {
        {"xecopy", XT::kSelEditCopy},
        {"XEPaste", XT::kSelEditPaste},
        {"document preferences", XT::kSelGetDocumentPreferences},
        {"box geometry", XT::kSelGetBoxGeometry},
        {"idle timer getter", XT::kSelGetAppIdleTimerEnable},
        {"idle timer setter", XT::kSelSetAppIdleTimerEnable},
    };
    for (const auto& [name, selector] : selectors)
        QTest::addRow("%s refused", name) << int(Selector) << int(selector);
}

// A setup that fails at any step leaves nothing the host can call: no
// callback, no menu entry, and a deactivation notice that writes nothing.
void tst_Lifecycle::setupFailures()
{
    QFETCH(int, kind);
    QFETCH(int, value);

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
    case 4:
        session.Plugin().setResourceFolder(session.TempPath(QStringLiteral("no-resources")));
        break;
    case 5:
        session.Plugin().refuseActivation(true);
        break;
    default:
        session.Host().failSelector(value);
        break;
    }
    QCOMPARE(session.Activate(), XT::kSetupFailed);

    // Whatever the host still offers is tried: every menu entry, and the
    // unload notice sent straight through the callbacks.
    session.Plugin().addMenuItems();
    const auto entries = session.Plugin().menuEntries();
    for (const auto& entry : entries)
        session.Plugin().runCommand(entry.mId);
    xtvoidrec deactivate{{XT::kCbDeactivate, int32_t(sizeof(xtvoidrec))}};
    session.Host().callbacks().dispatch(XT::kCbDeactivate, &deactivate);

    QCOMPARE(entries.size(), 0);
    QCOMPARE(InstalledCallbacks(session.Host()), QStringLiteral("0,0,0,0,0"));
    QVERIFY(!MainXT::GetInstance()->Menu());
    QVERIFY(!QFile::exists(session.TempPath(QStringLiteral("Preferences/%1").arg(kRecordName))));

    // The same host, mended, sets the plug-in up in full.
    session.Host().reset();
    XTHost::PluginHost host(session.Host());
    host.setResourceFolder(SourcePath(QStringLiteral("Resources")));
    host.setPreferencesFolder(session.TempPath(QStringLiteral("Preferences")));
    QCOMPARE(host.activate(&XTActivateCallback), XT::kNoErr);
    host.addMenuItems();
    QCOMPARE(host.menuEntries().size(), 1);
    QCOMPARE(InstalledCallbacks(session.Host()), QStringLiteral("1,1,1,1,1"));
    host.deactivate();
    QCOMPARE(ReadFile(session.TempPath(QStringLiteral("Preferences/%1").arg(kRecordName))),
             PaletteRecord(72, 72, 0));
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

void tst_Lifecycle::paletteRecordReadAtSetup_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("change"); // 0 none, 1 the flag cleared, 2 the corner moved to (40, 50)
    QTest::addColumn<QString>("read");
    QTest::addColumn<QByteArray>("written");

    const QByteArray standard = PaletteRecord(72, 72, 1);
    QTest::newRow("72, 72, 1 unchanged") << standard << 0 << "72,72,1" << standard;
    QTest::newRow("negative top, padding kept")
        << PaletteRecord(-5, 300, 1, 0x55) << 0 << "-5,300,1" << PaletteRecord(-5, 300, 1, 0x55);
    QTest::newRow("no position stored")
        << PaletteRecord(32767, 32767, 0) << 0 << "32767,32767,0" << PaletteRecord(32767, 32767, 0);
    const QByteArray longer = PaletteRecord(10, 20, 7) + QByteArray("tail");
    QTest::newRow("bytes after the record kept") << longer << 0 << "10,20,7" << longer;
    QTest::newRow("flag cleared") << PaletteRecord(72, 72, 1, 9) << 1 << "72,72,1"
                                  << PaletteRecord(72, 72, 0, 9);
    QTest::newRow("corner moved") << standard << 2 << "72,72,1" << PaletteRecord(40, 50, 1);
}

// The record survives a load and an unload of the plug-in: setup reads it,
// deactivation writes back what was read or changed.
void tst_Lifecycle::paletteRecordReadAtSetup()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, change);
    QFETCH(QString, read);
    QFETCH(QByteArray, written);

    PluginSession session(false);
    const QString path = session.TempPath(QStringLiteral("Preferences/%1").arg(kRecordName));
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(WriteFile(path, stored));
    QCOMPARE(session.Activate(), XT::kNoErr);
    QCOMPARE(PreferencesState(), read);
    QCOMPARE(ReadFile(path), stored);

    PreferencesManager* preferences = PreferencesManager::GetInstance();
    if (change == 1)
        preferences->SetFlag(0);
    else if (change == 2)
        preferences->SetPaletteRect(Rect{40, 50, 0, 0});
    session.Plugin().deactivate();
    QCOMPARE(ReadFile(path), written);
}

void tst_Lifecycle::shortOrUnreadablePaletteRecord_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("folder"); // the record's name is taken by a folder

    const QByteArray bytes("\x11\x22\x33\x44\x55", 5);
    for (int size = 0; size <= 5; ++size)
        QTest::addRow("%d bytes", size) << bytes.left(size) << false;
    QTest::newRow("a folder of that name") << QByteArray() << true;
}

// A record shorter than its six bytes, or one that cannot be read, gives the
// default record, at setup and when the plug-in reads it again; what the file
// held is never taken for a corner. A short record is replaced by the
// defaults; deactivation writes them back where there is a file to hold them.
void tst_Lifecycle::shortOrUnreadablePaletteRecord()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, folder);

    PluginSession session(false);
    const QString path = session.TempPath(QStringLiteral("Preferences/%1").arg(kRecordName));
    QVERIFY(QDir().mkpath(folder ? path : QFileInfo(path).path()));
    const QByteArray expected = folder ? QByteArray("(unreadable)") : PaletteRecord(72, 72, 0);
    for (bool atSetup : {true, false})
    {
        if (!folder)
            QVERIFY(WriteFile(path, stored));
        PreferencesManager* preferences = PreferencesManager::GetInstance();
        if (atSetup)
            QCOMPARE(session.Activate(), XT::kNoErr);
        else
        {
            preferences->SetPaletteRect(Rect{1, 2, 0, 0});
            preferences->SetFlag(3);
            // No success is claimed for a record that could not be read.
            QCOMPARE(preferences->ReadPreferences(), !folder);
        }
        QCOMPARE(PreferencesState(), QStringLiteral("72,72,0"));
        QCOMPARE(ReadFile(path), expected);
    }
    session.Plugin().deactivate();
    QCOMPARE(ReadFile(path), expected);
    QCOMPARE(QFileInfo(path).isDir(), folder);
}

// A write that the disk refuses is reported, not taken for done.
void tst_Lifecycle::failedPreferencesWriteIsReported()
{
    if (!QFileInfo(QStringLiteral("/dev/full")).isWritable())
        QSKIP("needs /dev/full, a device on which every write fails for lack of space");
    PluginSession session;
    const QString path = session.TempPath(QStringLiteral("Preferences/%1").arg(kRecordName));
    QFile::remove(path);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));

    XT::HostStringHolder name(QString::fromLatin1(kRecordName));
    XTFileRef file = nullptr;
    QCOMPARE(XT::gPreferences->OpenPreferencesFile(name.Get(), 1, 3, &file), XT::kNoErr);
    const QByteArray record = PaletteRecord(1, 2, 3);
    int32_t count = int32_t(record.size());
    QVERIFY(XT::gPlatform->FSWrite(file, &count, record.constData()) != 0);
    QCOMPARE(count, 0);
    XT::gPreferences->CloseFile(file, 1);

    // The plug-in's own write says so too.
    PreferencesManager::GetInstance()->SetFlag(1);
    QVERIFY(!PreferencesManager::GetInstance()->WritePreferences());
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

void tst_Lifecycle::xthostListsTheMenu_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("no record yet") << QByteArray();
    QTest::newRow("-20, 1000, 255") << PaletteRecord(-20, 1000, 255, 0x7f);
}

// xthost loads the module, lists its menu and unloads it, twice: the first
// unload writes the default record into the host's preferences, a stored
// record stays as it was.
void tst_Lifecycle::xthostListsTheMenu()
{
    QFETCH(QByteArray, stored);
    QTemporaryDir preferences;
    const QString path = preferences.filePath(QString::fromLatin1(kRecordName));
    if (!stored.isEmpty())
        QVERIFY(WriteFile(path, stored));
    for (int run = 0; run < 2; ++run)
    {
        QProcess host;
        host.start(XthostPath(),
                   {QStringLiteral("--list"), QStringLiteral("--preferences"), preferences.path()});
        QVERIFY2(host.waitForFinished(20000), qPrintable(host.errorString()));
        QCOMPARE(host.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(host.readAllStandardOutput()),
                 QStringLiteral("1. Utilities > CorvaneXT > Compare Projects...\n"));
        QCOMPARE(ReadFile(path), stored.isEmpty() ? PaletteRecord(72, 72, 0) : stored);
    }
}

void tst_Lifecycle::xthostFailures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    // Without a display --run says so and fails, rather than abort in Qt.
    QTest::newRow("no display") << QStringList{"--run", "Compare Projects...", "--no-display"} << 1
                                << "no display";
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
    QTest::newRow("compare a missing file") << QStringList{"--compare", "/nonexistent.xprj", "/dev/null"} << 1
                                            << "/nonexistent.xprj: no such project file";
    QTest::newRow("compare one file") << QStringList{"--compare", "/dev/null"} << 2
                                      << "unexpected argument --compare";
    QTest::newRow("compare without display")
        << QStringList{"--compare", "/dev/null", "/dev/null", "--no-display"} << 1 << "no display";
    QTest::newRow("merge a missing file")
        << QStringList{"--merge", "/dev/null", "/nonexistent.xprj", "/dev/null", "/tmp/merged.xprj"} << 1
        << "/nonexistent.xprj: no such project file";
    QTest::newRow("merge into a missing folder")
        << QStringList{"--merge", "/dev/null", "/dev/null", "/dev/null", "/nonexistent/merged.xprj"} << 1
        << "/nonexistent: no such folder";
    QTest::newRow("merge three files") << QStringList{"--merge", "/dev/null", "/dev/null", "/dev/null"} << 2
                                       << "unexpected argument --merge";
}

void tst_Lifecycle::xthostFailures()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    QTemporaryDir preferences;
    QProcess host;
    if (arguments.removeAll(QStringLiteral("--no-display")))
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QLatin1String(name));
        host.setProcessEnvironment(environment);
    }
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
