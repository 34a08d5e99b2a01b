// The plug-in's command as the host runs it: the application object made and
// destroyed around each run, the host's quit handler and idle timer set aside
// and restored; and a whole comparison through the loaded module, driven by
// events, checked on the saved files.
//
// This program makes no application object of its own: the command does.

#include "ComparisonDriver.h"
#include "PluginSession.h"
#include "Script.h"

#include "HostSession.h"
#include "Model/Project.h"
#include "PluginHost.h"
#include "XTCalls.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <dlfcn.h>
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

// A story's text as the comparison shows it: hidden runs as zero-width
// spaces.
QString Compared(const XTHost::Story& story)
{
    QString text = story.mText;
    for (const XTHost::HiddenRun& run : story.mRuns)
        for (int i = run.mOffset; i < run.end(); ++i)
            text[i] = QChar(0x200B);
    return text;
}

XTHost::Story* FindStory(XTHost::Project& project, int32_t number)
{
    for (XTHost::Story& story : project.mStories)
        if (story.mNumber == number)
            return &story;
    return nullptr;
}

XTHost::Box* FindBox(XTHost::Project& project, int32_t layout, int32_t number)
{
    for (XTHost::Layout& l : project.mLayouts)
        for (XTHost::Spread& spread : l.mSpreads)
            for (XTHost::Box& box : spread.mBoxes)
                if (l.mNumber == layout && box.mNumber == number)
                    return &box;
    return nullptr;
}

// The cells of the patch table row that the next copy will take.
struct Copied
{
    QString mLeft;
    QString mRight;
};

QString CopyFirstDifference(QWidget* explorer, const QString& pair, bool left, Copied* copied)
{
    if (!Driver::SelectPair(explorer, pair))
        return QStringLiteral("cannot select %1").arg(pair);
    QAbstractItemModel* model = explorer->findChild<QTableView*>(QStringLiteral("mDiffTable"))->model();
    for (int row = 0; model && row < model->rowCount(); ++row)
        if (model->index(row, 0).data(Qt::BackgroundRole).isValid())
        {
            copied->mLeft = model->index(row, 0).data().toString();
            copied->mRight = model->index(row, 1).data().toString();
            break;
        }
    const QString problem = Driver::CopyRow(explorer, 0, left);
    return problem.isEmpty() ? QString() : pair + QStringLiteral(": ") + problem;
}

} // namespace

class tst_Command : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void twiceInARow();
    void idleTimerOffStaysOff();
    void endToEndThroughTheModule();
};

void tst_Command::init()
{
    sOnApplication = nullptr;
    sApplicationsMade = 0;
    sApplicationsDestroyed = 0;
}

void tst_Command::twiceInARow()
{
    PluginSession session;
    QVERIFY(session.IsActive());
    QCOMPARE(XT::gPlatform->AEInstallEventHandler(kCore, kQuit, &HostQuit, 42, false), XTOSErr(0));
    QVERIFY(XT::XTGetAppIdleTimerEnable());

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
        QVERIFY(!idleDuringRun);
        QVERIFY(XT::XTGetAppIdleTimerEnable());
        AEEventHandlerProc handler = nullptr;
        intptr_t refcon = 0;
        QCOMPARE(XT::gPlatform->AEGetEventHandler(kCore, kQuit, &handler, &refcon, false), XTOSErr(0));
        QVERIFY(handler == &HostQuit);
        QCOMPARE(refcon, intptr_t(42));
    }
}

void tst_Command::idleTimerOffStaysOff()
{
    PluginSession session;
    XT::XTSetAppIdleTimerEnable(false);
    sOnApplication = []
    {
        auto* script = new Script;
        script->setParent(QCoreApplication::instance());
        script->Then(
            QStringLiteral("cancel the picker"),
            [] { return Script::Modal("ProjectPickerClass") != nullptr; },
            [] { QMetaObject::invokeMethod(QApplication::activeModalWidget(), "reject"); });
        script->Start();
    };
    QVERIFY(session.Plugin().runCommand(QStringLiteral("Compare Projects..."), nullptr));
    QCOMPARE(sApplicationsMade, 1);
    QVERIFY(!XT::XTGetAppIdleTimerEnable());
}

void tst_Command::endToEndThroughTheModule()
{
    QTemporaryDir folder;
    const QString lhs = folder.filePath(QStringLiteral("left issue.xprj"));
    const QString rhs = folder.filePath(QStringLiteral("right issue.xprj"));
    QVERIFY(QFile::copy(SourcePath(QStringLiteral("Samples/harbour-gazette-v1.xprj")), lhs));
    QVERIFY(QFile::copy(SourcePath(QStringLiteral("Samples/harbour-gazette-v2.xprj")), rhs));
    QFile::setPermissions(lhs, QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(rhs, QFile::ReadOwner | QFile::WriteOwner);

    XTHost::HostSession host;
    XTHost::Project left;
    XTHost::Project right;
    {
        const XTProjectId l = host.openProject(lhs);
        const XTProjectId r = host.openProject(rhs);
        QVERIFY(l != -1 && r != -1);
        left = *host.project(l);
        right = *host.project(r);
        host.closeProject(l);
        host.closeProject(r);
    }

    // The module as xthost loads it.
    const QString modulePath = QStringLiteral(CORVANE_MODULE);
    void* module = dlopen(QFile::encodeName(modulePath).constData(), RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(module, dlerror());
    auto entry = reinterpret_cast<XTHost::XTActivateProc>(dlsym(module, "XTActivateCallback"));
    QVERIFY(entry);
    auto plugin = std::make_unique<XTHost::PluginHost>(host);
    plugin->setResourceFolder(SourcePath(QStringLiteral("Resources")));
    plugin->setPreferencesFolder(folder.filePath(QStringLiteral("Preferences")));
    QCOMPARE(plugin->activate(entry), XT::kNoErr);
    plugin->addMenuItems();

    Copied story3;
    Copied story4;
    Copied box;
    QString failure;
    std::unique_ptr<Script> script;
    sOnApplication = [&]
    {
        script = std::make_unique<Script>(20000);
        Driver::Pick(*script, lhs, rhs);
        script->Then(
            QStringLiteral("copy rows of two stories and a box"),
            [] { return Driver::Explorer() != nullptr; },
            [&]
            {
                QWidget* explorer = Driver::Explorer();
                QString problem =
                    CopyFirstDifference(explorer, QStringLiteral("Story 3 | Story 3"), true, &story3);
                if (problem.isEmpty())
                    problem =
                        CopyFirstDifference(explorer, QStringLiteral("Story 4 | Story 4"), false, &story4);
                if (problem.isEmpty())
                    problem = CopyFirstDifference(
                        explorer, QStringLiteral("Cover lines(Text) | Cover lines(Text)"), true, &box);
                if (!problem.isEmpty())
                    script->Fail(problem);
            });
        // Save ends the comparison; the run saves both projects.
        script->ThenPost(
            QStringLiteral("save"), [] { return Driver::Explorer() != nullptr; },
            []
            {
                Driver::Explorer()
                    ->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
                    ->button(QDialogButtonBox::Save)
                    ->click();
            });
        script->Start();
    };
    XTStatus status = -1;
    QVERIFY(plugin->runCommand(QStringLiteral("Compare Projects..."), &status));
    failure = script ? script->Failure() : QStringLiteral("no application object was made");
    const bool finished = script && script->Finished();
    script.reset();
    QCOMPARE(status, XT::kNoErr);
    plugin->deactivate();
    plugin.reset();
    dlclose(module);
    QVERIFY2(finished && failure.isEmpty(), qPrintable(failure));
    QCOMPARE(host.project(1) == nullptr, true);

    // Reopened, each file changed exactly as merged: the left took the right
    // side's row of story 3 and the box's place; the right took the left
    // side's row of story 4. Nothing else moved.
    const XTProjectId l = host.openProject(lhs);
    const XTProjectId r = host.openProject(rhs);
    QVERIFY(l != -1 && r != -1);
    XTHost::Project savedLeft = *host.project(l);
    XTHost::Project savedRight = *host.project(r);

    QString expected3 = Compared(*FindStory(left, 3));
    QCOMPARE(expected3.count(story3.mLeft), 1);
    expected3.replace(story3.mLeft, story3.mRight);
    QCOMPARE(Compared(*FindStory(savedLeft, 3)), expected3);
    QString expected4 = Compared(*FindStory(right, 4));
    QCOMPARE(expected4.count(story4.mRight), 1);
    expected4.replace(story4.mRight, story4.mLeft);
    QCOMPARE(Compared(*FindStory(savedRight, 4)), expected4);

    QCOMPARE(box.mLeft, QStringLiteral("540 pt\r"));
    QCOMPARE(box.mRight, QStringLiteral("580 pt\r"));
    XTHost::Box* moved = FindBox(left, 1, 3);
    moved->mBounds.top += 40 * 65536;
    moved->mBounds.bottom += 40 * 65536;
    *FindStory(left, 3) = *FindStory(savedLeft, 3);
    *FindStory(right, 4) = *FindStory(savedRight, 4);
    QVERIFY(savedLeft == left);
    QVERIFY(savedRight == right);
}

int main(int argc, char** argv)
{
    tst_Command test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_command.moc"
