// The same merge twice: once with corvane-merge, once in the comparison
// window through the loaded module (Copy All on every item the command
// copied, or once on the project pair, then Save), as a user does it. Both write the same bytes and the
// same merge log: the one a save writes when the setting asks for it, and
// the one File > Save Merge Log... writes. A three-way merge likewise: the
// window (xthost --merge) and corvane-merge --base make the same project.
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
#include <QDialogButtonBox>
#include <QLabel>
#include <QTableView>
#include <QTreeView>
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
// `before`, when given, runs once the module is loaded, before its command.
QString RunComparison(const QString& preferences, const std::function<void(Script&)>& steps,
                      const std::function<void(void* module)>& before = nullptr)
{
    LoadedPlugin plugin(QStringLiteral(CORVANE_MODULE), preferences);
    if (!plugin.mActive)
        return QStringLiteral("the module is not active: %1").arg(QString::fromLocal8Bit(dlerror()));
    if (before)
        before(plugin.mModule);
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
    void threeWayWindowMergesAsTheCommand_data();
    void threeWayWindowMergesAsTheCommand();
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

void tst_MergeWindow::threeWayWindowMergesAsTheCommand_data()
{
    QTest::addColumn<bool>("takeRemote");
    QTest::newRow("the conflict as shown (LOCAL's)") << false;
    QTest::newRow("the conflict copied from REMOTE") << true;
}

namespace
{

// "label: note" for each item of the tree the window marks, ", copied" when
// it holds copies not saved yet (which Undo takes back).
QStringList Marks(const QAbstractItemModel* model, const QModelIndex& parent = QModelIndex())
{
    QStringList marks;
    for (int row = 0; row < model->rowCount(parent); ++row)
    {
        const QModelIndex index = model->index(row, 0, parent);
        const QString note = index.data(Qt::UserRole + 8).toString();
        if (!note.isEmpty())
            marks << index.data().toString() + QStringLiteral(": ") + note +
                         (index.data(Qt::UserRole + 3).toBool() ? QStringLiteral(", copied") : QString());
        marks << Marks(model, index);
    }
    return marks;
}

QByteArray Edited(QByteArray text, const QList<QPair<QByteArray, QByteArray>>& edits)
{
    for (const auto& edit : edits)
        text.replace(edit.first, edit.second);
    return text;
}

} // namespace

// Given LOCAL and REMOTE edited from one base (a sentence both rewrote, a
// paragraph each edited in a different place, a paragraph and a colour
// only one side changed), when the window opens in three-way mode it marks
// the items, counts them, goes to the conflict, whose tooltip shows the
// base; Save first asks and, cancelled, writes nothing; then the conflict is
// kept as shown or copied from REMOTE, and MERGED holds what
// corvane-merge --base (--prefer right) writes.
void tst_MergeWindow::threeWayWindowMergesAsTheCommand()
{
    QFETCH(bool, takeRemote);
    QTemporaryDir folder;
    const QByteArray base = ReadFile(SourcePath(QStringLiteral("Samples/harbour-gazette-v1.xprj")));
    const QByteArray local = Edited(base, {{"boat jumble on the north quay", "boat sale on the north quay"},
                                           {"The first boats are back", "The first yachts are back"},
                                           {"\"values\": [18, 74, 128]", "\"values\": [18, 74, 150]"}});
    const QByteArray remote =
        Edited(base, {{"boat jumble on the north quay", "jumble market by the north quay"},
                      {"tar and fresh paint", "tar and new paint"},
                      {"adds two crossings", "adds three crossings"}});
    QStringList files;
    for (const auto& [name, content] :
         {qMakePair(QStringLiteral("base"), base), qMakePair(QStringLiteral("local"), local),
          qMakePair(QStringLiteral("remote"), remote), qMakePair(QStringLiteral("merged"), local),
          qMakePair(QStringLiteral("command"), local)})
    {
        files << folder.filePath(name + QStringLiteral(".xprj"));
        WriteFile(files.last(), content);
    }
    QProcess merge;
    merge.start(
        QStringLiteral(CORVANE_MERGE),
        QStringList{QStringLiteral("--base"), files[0], files[4], files[2]} +
            (takeRemote ? QStringList{QStringLiteral("--prefer"), QStringLiteral("right")} : QStringList()));
    QVERIFY(merge.waitForFinished(60000));
    QCOMPARE(merge.exitCode(), 1);

    QStringList marks;
    QString counts;
    QString tip;
    int status = -1;
    auto explorer = [] { return Driver::Explorer(); };
    const QString failure = RunComparison(
        folder.filePath(QStringLiteral("Preferences")),
        [&](Script& script)
        {
            script.ThenPost(
                QStringLiteral("read the marks and go to the conflict"),
                [&] { return explorer() != nullptr; },
                [&]
                {
                    QWidget* window = explorer();
                    marks = Marks(window->findChild<QTreeView*>(QStringLiteral("mExplorer"))->model());
                    counts = window->findChild<QLabel*>(QStringLiteral("mComparisonStatus"))->text();
                    // The stories compared again the other way keep their decisions.
                    window->findChild<QAction*>(QStringLiteral("actionCompareWords"))->trigger();
                    window->findChild<QAction*>(QStringLiteral("actionNextConflict"))->trigger();
                    auto* table = window->findChild<QTableView*>(QStringLiteral("mDiffTable"));
                    tip = table->currentIndex().data(Qt::ToolTipRole).toString();
                    window->findChild<QAction*>(QStringLiteral("actionSave"))->trigger();
                });
            script.Then(
                QStringLiteral("cancel the save"),
                [] { return Script::Modal("mUnresolvedQuestion") != nullptr; },
                [] {
                    qobject_cast<QMessageBox*>(Script::Modal("mUnresolvedQuestion"))
                        ->button(QMessageBox::Cancel)
                        ->click();
                });
            script.ThenPost(
                QStringLiteral("resolve and save"), [&] { return explorer() != nullptr; },
                [&, takeRemote]
                {
                    if (ReadFile(files[3]) != local)
                        return script.Fail(QStringLiteral("a cancelled save wrote MERGED"));
                    const QString copy =
                        takeRemote ? QStringLiteral("actionCopyLeft") : QStringLiteral("actionSave");
                    explorer()->findChild<QAction*>(copy)->trigger();
                    if (takeRemote)
                        explorer()->findChild<QAction*>(QStringLiteral("actionSave"))->trigger();
                });
            if (!takeRemote)
                script.Then(
                    QStringLiteral("confirm the choices shown"),
                    [] { return Script::Modal("mUnresolvedQuestion") != nullptr; },
                    []
                    {
                        for (QAbstractButton* button :
                             Script::Modal("mUnresolvedQuestion")->findChildren<QAbstractButton*>())
                            if (button->text() == QLatin1String("Save As Shown"))
                                return button->click();
                    });
            script.ThenPost(
                QStringLiteral("close"), [&] { return explorer() != nullptr; },
                [&]
                { explorer()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click(); });
        },
        [&](void* module)
        {
            using SetNextMerge = void (*)(const char*, const char*, const char*, const char*, int*);
            auto set = reinterpret_cast<SetNextMerge>(dlsym(module, "CorvaneSetNextMerge"));
            QByteArray paths[4];
            for (int i = 0; i < 4; ++i)
                paths[i] = QFile::encodeName(files[i]);
            set(paths[0].constData(), paths[1].constData(), paths[2].constData(), paths[3].constData(),
                &status);
        });
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY2(marks.contains(QStringLiteral("Story 4 | Story 4: conflict")), qPrintable(marks.join(QLatin1Char('\n'))));
    // REMOTE's crossings are a copy not saved yet; its paint is already in.
    QVERIFY2(marks.contains(QStringLiteral("Story 3 | Story 3: merged, copied")),
             qPrintable(marks.join(QLatin1Char('\n'))));
    QVERIFY2(counts.contains(QStringLiteral("1 in conflict (1 unresolved)")), qPrintable(counts));
    QVERIFY2(tip.contains(QStringLiteral("Base: Saturday: boat jumble on the north quay")), qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral("REMOTE: Saturday: jumble market")), qPrintable(tip));
    QCOMPARE(status, 0);
    QCOMPARE(ReadFile(files[3]), ReadFile(files[4]));
}

int main(int argc, char** argv)
{
    tst_MergeWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mergewindow.moc"
