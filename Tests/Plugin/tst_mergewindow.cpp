// The same merge twice: once with corvane-merge, once in the comparison
// window through the loaded module (Copy All on every item the command
// copied, or once on the project pair, then Save), as a user does it. Both write the same bytes and the
// same merge log: the one a save writes when the setting asks for it, and
// the one File > Save Merge Log... writes.
//
// This program makes no application object of its own: the command does.

#include "ComparisonDriver.h"
#include "PluginSession.h"
#include "Script.h"
#include "TestFiles.h"

#include "HostSession.h"
#include "PluginHost.h"
#include "XTCalls.h"

#include <QAction>
#include <QDir>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QtTest>

#include <dlfcn.h>
#include <functional>

namespace
{

QJsonArray Decisions(const QString& log)
{
    return QJsonDocument::fromJson(ReadFile(log)).object().value(QStringLiteral("decisions")).toArray();
}

// The labels of the items a merge report lists as copied, in its order.
QStringList CopiedItems(const QString& report)
{
    QStringList items;
    for (const QString& line : report.split(QLatin1Char('\n')))
        if (line.size() > 2 && QStringLiteral("~<>").contains(line.at(0)) && line.at(1) == QLatin1Char(' '))
            items << line.mid(line.lastIndexOf(QLatin1Char('/')) + 1);
    return items;
}

// Runs the comparison command of the module, loaded for this run, with the
// steps that `steps` gives a script once the command has made its
// application object; empty when they all ran, else what went wrong.
QString RunComparison(const QString& preferences, const std::function<void(Script&)>& steps)
{
    LoadedPlugin plugin(QStringLiteral(CORVANE_MODULE), preferences);
    if (!plugin.mActive)
        return QStringLiteral("the module is not active: %1").arg(QString::fromLocal8Bit(dlerror()));
    std::unique_ptr<Script> script;
    gOnApplication = [&]
    {
        script = std::make_unique<Script>(20000);
        steps(*script);
        script->Start();
    };
    XTStatus status = -1;
    const bool ran = plugin.mPlugin->runCommand(QStringLiteral("Compare Projects..."), &status);
    gOnApplication = nullptr;
    if (!ran || status != XT::kNoErr)
        return QStringLiteral("the command did not run (status %1)").arg(status);
    if (!script)
        return QStringLiteral("no application object was made");
    return script->Finished() ? script->Failure() : QStringLiteral("unfinished: ") + script->Failure();
}

} // namespace

class tst_MergeWindow : public QObject
{
    Q_OBJECT

private slots:
    void windowAndCommandWriteTheSameBytes_data();
    void windowAndCommandWriteTheSameBytes();
    void saveSaysWhatDidNotTake();
};

void tst_MergeWindow::windowAndCommandWriteTheSameBytes_data()
{
    QTest::addColumn<bool>("takeLeft");
    QTest::addColumn<bool>("whole");
    QTest::newRow("take left, item by item") << true << false;
    // The LHS takes three stories it lacks: created in the order written.
    QTest::newRow("take right, item by item") << false << false;
    // One Copy All on the project pair: everything, items only one side has
    // included.
    QTest::newRow("take left, the whole project") << true << true;
    QTest::newRow("take right, the whole project") << false << true;
}

void tst_MergeWindow::windowAndCommandWriteTheSameBytes()
{
    QFETCH(bool, takeLeft);
    QFETCH(bool, whole);
    QTemporaryDir folder;
    QStringList command;
    QStringList window;
    for (const QString& name : {QStringLiteral("command"), QStringLiteral("window")})
        for (const QString& side : {QStringLiteral("v1"), QStringLiteral("v2")})
        {
            const QString path = folder.filePath(QStringLiteral("%1-%2.xprj").arg(name, side));
            QVERIFY(
                QFile::copy(SourcePath(QStringLiteral("Samples/harbour-gazette-%1.xprj").arg(side)), path));
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
            (name == QLatin1String("command") ? command : window) << path;
        }

    const QString commandLog = folder.filePath(QStringLiteral("command.json"));
    QProcess merge;
    merge.start(QStringLiteral(CORVANE_MERGE),
                {QStringLiteral("--take"), takeLeft ? QStringLiteral("left") : QStringLiteral("right"),
                 QStringLiteral("--log"), commandLog, command[0], command[1]});
    QVERIFY(merge.waitForFinished(60000));
    const QString report = QString::fromUtf8(merge.readAllStandardOutput());
    QVERIFY2(merge.exitCode() == 0 || merge.exitCode() == 1, qPrintable(merge.readAllStandardError()));
    const QStringList items = CopiedItems(report);
    QVERIFY(items.size() > 5);
    const bool refusals = report.contains(QStringLiteral("! refused"));

    QSettings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"))
        .setValue(QStringLiteral("prefs/WriteMergeLog"), true);
    const QString menuLog = folder.filePath(QStringLiteral("menu.json"));
    QString told;

    const QString failure = RunComparison(
        folder.filePath(QStringLiteral("Preferences")),
        [&](Script& script)
        {
            Driver::Pick(script, window[0], window[1]);
            const QStringList targets =
                whole ? QStringList{QFileInfo(window[0]).fileName() + QStringLiteral(" | ") +
                                    QFileInfo(window[1]).fileName()}
                      : items;
            for (const QString& item : targets)
            {
                script.ThenPost(
                    QStringLiteral("copy all of %1").arg(item), [] { return Driver::Explorer() != nullptr; },
                    [&script, item, takeLeft]
                    {
                        QWidget* explorer = Driver::Explorer();
                        if (!Driver::SelectPair(explorer, item))
                            return script.Fail(QStringLiteral("cannot select %1").arg(item));
                        QAction* copy =
                            explorer->findChild<QAction*>(takeLeft ? QStringLiteral("actionCopyAllRight")
                                                                   : QStringLiteral("actionCopyAllLeft"));
                        if (!copy->isEnabled())
                            return script.Fail(QStringLiteral("Copy All is off for %1").arg(item));
                        copy->trigger();
                    });
                script.Then(
                    QStringLiteral("say yes for %1").arg(item),
                    [] { return Script::Modal("mCopyAllQuestion") != nullptr; },
                    [] {
                        qobject_cast<QMessageBox*>(Script::Modal("mCopyAllQuestion"))
                            ->button(QMessageBox::Yes)
                            ->click();
                    });
            }
            // Save from the tool bar: the window stays open.
            script.ThenPost(
                QStringLiteral("save"), [] { return Driver::Explorer() != nullptr; },
                [] { Driver::Explorer()->findChild<QAction*>(QStringLiteral("actionSave"))->trigger(); });
            if (refusals)
                script.Then(
                    QStringLiteral("see what the host refused"),
                    [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
                    [] {
                        qobject_cast<QMessageBox*>(QApplication::activeModalWidget())
                            ->button(QMessageBox::Ok)
                            ->click();
                    });
            script.ThenPost(
                QStringLiteral("File > Save Merge Log..."), [] { return Driver::Explorer() != nullptr; },
                [&told] {
                    told = Driver::Explorer()->findChild<QStatusBar*>()->currentMessage();
                    Driver::Explorer()->findChild<QAction*>(QStringLiteral("actionSaveMergeLog"))->trigger();
                });
            script.Then(
                QStringLiteral("name the log"),
                [] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()) != nullptr; },
                [menuLog]
                {
                    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                    dialog->selectFile(menuLog);
                    QMetaObject::invokeMethod(dialog, "accept");
                });
            script.ThenPost(
                QStringLiteral("close"), [] { return Driver::Explorer() != nullptr; },
                [] { Driver::Explorer()->close(); });
        });
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    // The status bar says which file Save wrote.
    QCOMPARE(told, takeLeft ? QStringLiteral("Saved RHS: ") + window[1] : QStringLiteral("Saved LHS: ") + window[0]);

    QCOMPARE(ReadFile(window[0]), ReadFile(command[0]));
    QCOMPARE(ReadFile(window[1]), ReadFile(command[1]));
    const QJsonArray decisions = Decisions(commandLog);
    QVERIFY(!decisions.isEmpty());
    const QJsonArray saved = Decisions(window[1] + QStringLiteral(".mergelog.json"));
    for (int i = 0; i < qMin(saved.size(), decisions.size()); ++i)
        QVERIFY2(saved[i] == decisions[i],
                 qPrintable(QStringLiteral("decision %1: the window's %2, the command's %3")
                                .arg(i)
                                .arg(QString::fromUtf8(QJsonDocument(saved[i].toObject()).toJson()),
                                     QString::fromUtf8(QJsonDocument(decisions[i].toObject()).toJson()))));
    QCOMPARE(saved.size(), decisions.size());
    QCOMPARE(Decisions(menuLog), decisions);
    QCOMPARE(QJsonDocument::fromJson(ReadFile(menuLog)).object().value(QStringLiteral("left")).toString(),
             window[0]);
}

// Given a project and its copy in another folder whose image behind the
// same reference differs, when the window copies everything from the right
// and saves, then once it closes it reads the projects again and says which
// items do not read back as copied: the boxes that show the image.
void tst_MergeWindow::saveSaysWhatDidNotTake()
{
    QTemporaryDir folder;
    QStringList files;
    for (const QString& side : {QStringLiteral("a"), QStringLiteral("b")})
    {
        QDir(folder.path()).mkpath(side + QStringLiteral("/images"));
        files << folder.filePath(side + QStringLiteral("/gazette.xprj"));
        QVERIFY(QFile::copy(SourcePath(QStringLiteral("Samples/harbour-gazette-v1.xprj")), files.last()));
        QFile::setPermissions(files.last(), QFile::ReadOwner | QFile::WriteOwner);
        QFile image(folder.filePath(side + QStringLiteral("/images/harbour-at-dawn.jpg")));
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.write(side.toUtf8());
    }
    QString told;
    const QString failure = RunComparison(
        folder.filePath(QStringLiteral("Preferences")),
        [&](Script& script)
        {
            Driver::Pick(script, files[0], files[1]);
            const QString project = QStringLiteral("gazette.xprj | gazette.xprj");
            script.ThenPost(
                QStringLiteral("copy all from the right"), [] { return Driver::Explorer() != nullptr; },
                [&script, project]
                {
                    QWidget* explorer = Driver::Explorer();
                    if (!Driver::SelectPair(explorer, project))
                        return script.Fail(QStringLiteral("cannot select the project"));
                    explorer->findChild<QAction*>(QStringLiteral("actionCopyAllLeft"))->trigger();
                });
            script.Then(
                QStringLiteral("say yes"), [] { return Script::Modal("mCopyAllQuestion") != nullptr; },
                [] {
                    qobject_cast<QMessageBox*>(Script::Modal("mCopyAllQuestion"))
                        ->button(QMessageBox::Yes)
                        ->click();
                });
            script.ThenPost(
                QStringLiteral("save"), [] { return Driver::Explorer() != nullptr; },
                [] { Driver::Explorer()->findChild<QAction*>(QStringLiteral("actionSave"))->trigger(); });
            script.ThenPost(
                QStringLiteral("close"), [] { return Driver::Explorer() != nullptr; },
                [] { Driver::Explorer()->close(); });
            script.Then(
                QStringLiteral("read what did not take"),
                [] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
                [&told]
                {
                    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    told = box->text() + QLatin1Char('\n') + box->detailedText();
                    box->button(QMessageBox::Ok)->click();
                });
        });
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY2(told.startsWith(QStringLiteral("2 items do not read back as they were copied.")),
             qPrintable(told));
    QVERIFY2(told.contains(QStringLiteral("Boxes/Cover photo(Picture)")), qPrintable(told));
    QVERIFY2(told.contains(QStringLiteral("Boxes/Thumbnail(Picture)")), qPrintable(told));
}

int main(int argc, char** argv)
{
    tst_MergeWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mergewindow.moc"
