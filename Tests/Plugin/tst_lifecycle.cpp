// The plug-in's life with the host: activation, setup and its failures,
// callbacks, language, the palette record (kept across loads, read safely
// when short or unreadable), the rendering of a text box for a preview, and
// xthost loading the real module.

#include "PluginSession.h"

#include "Api/CallbackRegistry.h"
#include "Assert.h"
#include "BaseCB.h"
#include "CorvaneMenu.h"
#include "Main.h"
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

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool WriteFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
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
    void refusedActivation();
    void callbackDispatchAndRemoval();
    void languageChanges();
    void paletteRecord();
    void paletteRecordReadAtSetup_data();
    void paletteRecordReadAtSetup();
    void shortOrUnreadablePaletteRecord_data();
    void shortOrUnreadablePaletteRecord();
    void shortOrUnreadablePaletteRecordAtSetup_data();
    void shortOrUnreadablePaletteRecordAtSetup();
    void failedPreferencesWriteIsReported();
    void paletteRectOfNoPosition();
    void renderedTextBox();
    void failedAssertion();
    void xthostListsTheMenu();
    void xthostKeepsThePaletteRecord_data();
    void xthostKeepsThePaletteRecord();
    void xthostFailures_data();
    void xthostFailures();
    void xthostRunWithoutADisplay();
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
// default record; what the file held is never taken for a corner.
void tst_Lifecycle::shortOrUnreadablePaletteRecord()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, folder);

    PluginSession session;
    const QString path = session.TempPath(QStringLiteral("Preferences/%1").arg(kRecordName));
    QFile::remove(path);
    QVERIFY(QDir().mkpath(folder ? path : QFileInfo(path).path()));
    if (!folder)
        QVERIFY(WriteFile(path, stored));

    PreferencesManager* preferences = PreferencesManager::GetInstance();
    preferences->SetPaletteRect(Rect{1, 2, 0, 0});
    preferences->SetFlag(3);
    // No success is claimed for a record that could not be read; a short one
    // is replaced by the defaults.
    const bool read = preferences->ReadPreferences();
    QCOMPARE(PreferencesState(), QStringLiteral("72,72,0"));
    QCOMPARE(read, !folder);
    QCOMPARE(ReadFile(path), folder ? QByteArray("(unreadable)") : PaletteRecord(72, 72, 0));
}

void tst_Lifecycle::shortOrUnreadablePaletteRecordAtSetup_data()
{
    shortOrUnreadablePaletteRecord_data();
}

// The same through the host: setup reads the record, deactivation writes the
// defaults back where there is a file to hold them.
void tst_Lifecycle::shortOrUnreadablePaletteRecordAtSetup()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, folder);

    PluginSession session(false);
    const QString path = session.TempPath(QStringLiteral("Preferences/%1").arg(kRecordName));
    QVERIFY(QDir().mkpath(folder ? path : QFileInfo(path).path()));
    if (!folder)
        QVERIFY(WriteFile(path, stored));
    QCOMPARE(session.Activate(), XT::kNoErr);
    QCOMPARE(PreferencesState(), QStringLiteral("72,72,0"));
    session.Plugin().deactivate();
    QCOMPARE(ReadFile(path), folder ? QByteArray("(unreadable)") : PaletteRecord(72, 72, 0));
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

void tst_Lifecycle::xthostKeepsThePaletteRecord_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("72, 72, 1") << PaletteRecord(72, 72, 1);
    QTest::newRow("-20, 1000, 255") << PaletteRecord(-20, 1000, 255, 0x7f);
    QTest::newRow("no position") << PaletteRecord(32767, 32767, 1);
}

// Loading and unloading the module leaves a stored record as it was.
void tst_Lifecycle::xthostKeepsThePaletteRecord()
{
    QFETCH(QByteArray, stored);
    QTemporaryDir preferences;
    const QString path = preferences.filePath(QString::fromLatin1(kRecordName));
    QVERIFY(WriteFile(path, stored));
    for (int run = 0; run < 2; ++run)
    {
        QProcess host;
        host.start(XthostPath(),
                   {QStringLiteral("--list"), QStringLiteral("--preferences"), preferences.path()});
        QVERIFY2(host.waitForFinished(20000), qPrintable(host.errorString()));
        QCOMPARE(host.exitCode(), 0);
        QCOMPARE(ReadFile(path), stored);
    }
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

// Without a display --run says so and fails, rather than abort in Qt.
void tst_Lifecycle::xthostRunWithoutADisplay()
{
    QTemporaryDir preferences;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QLatin1String(name));
    QProcess host;
    host.setProcessEnvironment(environment);
    host.start(XthostPath(), {QStringLiteral("--run"), QStringLiteral("Compare Projects..."),
                              QStringLiteral("--preferences"), preferences.path()});
    QVERIFY(host.waitForFinished(20000));
    QCOMPARE(host.exitStatus(), QProcess::NormalExit);
    QCOMPARE(host.exitCode(), 1);
    const QString error = QString::fromUtf8(host.readAllStandardError());
    QVERIFY2(error.startsWith(QLatin1String("xthost: no display")), qPrintable(error));
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
