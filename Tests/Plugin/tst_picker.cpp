// The project picker: validation of each side with its messages, the OK
// button, the path history, and drag and drop.

#include "PluginSession.h"
#include "TestFiles.h"

#include "CorvaneExplorerInvoker.h"
#include "ProjectPicker.h"

#include <QComboBox>
#include <QFileDialog>
#include <QTimer>
#include <QToolButton>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

namespace
{

const QString kMissing = QStringLiteral("The selected file does not exist or is a directory.");
const QString kNotProject = QStringLiteral("The selected file is not a QuarkXPress file.");
const QString kInUse = QStringLiteral("The selected file is already being compared or is open.");

QSettings Store()
{
    return QSettings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
}

QPushButton* OkButton(ProjectPicker& picker)
{
    return picker.findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))->button(QDialogButtonBox::Ok);
}

QString CopyFile(const QString& from, const QString& to, const QByteArray& replace = {},
                 const QByteArray& with = {})
{
    WriteFile(to, replace.isEmpty() ? ReadFile(from) : ReadFile(from).replace(replace, with));
    return to;
}

void Drop(QWidget* target, const QList<QUrl>& urls, bool* entered = nullptr)
{
    QMimeData data;
    data.setUrls(urls);
    const QPoint where = target->rect().center();
    QDragEnterEvent enter(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (entered)
        *entered = enter.isAccepted();
    QDropEvent drop(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

} // namespace

class tst_Picker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void validation_data();
    void validation();
    void okNeedsBothSides();
    void typingCharacterByCharacter();
    void history();
    void historyUnchangedIsNotWritten();
    void dragAndDrop();
    void sameFileOnBothSidesIsRefused_data();
    void sameFileOnBothSidesIsRefused();
    void refusedFileDoesNotStayFirst();
    void browseOffersProjectsFirst();

private:
    std::unique_ptr<PluginSession> mSession;
    QTemporaryDir mFolder;
    QString mProject;
    QString mOther;
    QString mTemplate;
    QString mText;
};

void tst_Picker::initTestCase()
{
    mSession = std::make_unique<PluginSession>();
    QVERIFY(mSession->IsActive());
    const QString sample = SourcePath(QStringLiteral("Samples/harbour-gazette-v1.xprj"));
    mProject = CopyFile(sample, mFolder.filePath(QStringLiteral("issue one.xprj")));
    mOther = CopyFile(SourcePath(QStringLiteral("Samples/harbour-gazette-v2.xprj")),
                      mFolder.filePath(QStringLiteral("issue two.xprj")));
    mTemplate = CopyFile(sample, mFolder.filePath(QStringLiteral("issue.xprt")), "\"XPRJ\"", "\"XPRT\"");
    mText = CopyFile(SourcePath(QStringLiteral("Samples/text/left.txt")),
                     mFolder.filePath(QStringLiteral("a.txt")));
}

void tst_Picker::init()
{
    Store().clear();
}

void tst_Picker::validation_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty keeps the message") << QString() << false << QStringLiteral("earlier");
    QTest::newRow("missing file") << mFolder.filePath(QStringLiteral("nothing.xprj")) << false << kMissing;
    QTest::newRow("directory") << mFolder.path() << false << kMissing;
    QTest::newRow("text file") << mText << false << kNotProject;
    QTest::newRow("project") << mProject << true << QStringLiteral("earlier");
    QTest::newRow("template") << mTemplate << true << QStringLiteral("earlier");
}

void tst_Picker::validation()
{
    QFETCH(QString, path);
    QFETCH(bool, valid);
    QFETCH(QString, message);

    ProjectPicker picker;
    picker.Combo(ProjectPicker::RHS)->setEditText(QStringLiteral("x"));
    picker.findChild<QLabel*>(QStringLiteral("mLabel"))->setText(QStringLiteral("earlier"));
    picker.Combo(ProjectPicker::RHS)->setEditText(path);
    QCOMPARE(picker.IsValid(ProjectPicker::RHS), valid);
    QCOMPARE(picker.Message(), message);
    QVERIFY(!OkButton(picker)->isEnabled());
    QCOMPARE(picker.GetProjectPath(ProjectPicker::RHS), path);
}

void tst_Picker::okNeedsBothSides()
{
    ProjectPicker picker;
    picker.Combo(ProjectPicker::LHS)->setEditText(mProject);
    QVERIFY(!OkButton(picker)->isEnabled());
    picker.Combo(ProjectPicker::RHS)->setEditText(mText);
    QCOMPARE(picker.Message(), kNotProject);
    picker.Combo(ProjectPicker::RHS)->setEditText(mOther);
    QVERIFY(OkButton(picker)->isEnabled());
    QCOMPARE(picker.Message(), QString());

    // A file the host has open is refused, and so is one that a running
    // comparison has open.
    const XTProjectId open = mSession->Open(mOther);
    QVERIFY(open != -1);
    picker.Combo(ProjectPicker::RHS)->setEditText(QString());
    picker.Combo(ProjectPicker::RHS)->setEditText(mOther);
    QCOMPARE(picker.Message(), kInUse);
    QVERIFY(!OkButton(picker)->isEnabled());
    QVERIFY(mSession->Host().closeProject(open));

    // (A comparison's files stay in its list until its run ends, so this one
    // uses files of its own.)
    const QString busyLeft = CopyFile(mProject, mFolder.filePath(QStringLiteral("busy-left.xprj")));
    const QString busyRight = CopyFile(mProject, mFolder.filePath(QStringLiteral("busy-right.xprj")));
    picker.SetInUse(&CorvaneExplorerInvoker::IsInvoked);
    {
        CorvaneExplorerInvoker running(busyLeft, busyRight);
        QVERIFY(CorvaneExplorerInvoker::IsInvoked(busyRight));
        // Only the comparison's list holds them now, not the host.
        mSession->Host().closeProject(running.LHSProject());
        mSession->Host().closeProject(running.RHSProject());
        picker.Combo(ProjectPicker::RHS)->setEditText(busyRight);
        QCOMPARE(picker.Message(), kInUse);
        QVERIFY(!OkButton(picker)->isEnabled());
        // The check is case-sensitive.
        QVERIFY(!CorvaneExplorerInvoker::IsInvoked(busyRight.toUpper()));
    }
    // The comparison's end takes its files off the list.
    QVERIFY(!CorvaneExplorerInvoker::IsInvoked(busyRight));
}

void tst_Picker::typingCharacterByCharacter()
{
    ProjectPicker picker;
    picker.show();
    QLineEdit* edit = picker.Combo(ProjectPicker::LHS)->lineEdit();
    QSignalSpy changes(picker.Combo(ProjectPicker::LHS), &QComboBox::editTextChanged);
    // Every prefix is a folder, a missing file or (in a shared temporary
    // folder) someone's other file; only the whole path is a project.
    const QString path = mProject;
    for (int i = 0; i < path.size(); ++i)
    {
        QTest::keyClick(edit, path.at(i).toLatin1());
        QCOMPARE(edit->text(), path.left(i + 1));
        QCOMPARE(picker.IsValid(ProjectPicker::LHS), i == path.size() - 1);
        if (i < path.size() - 1)
            QVERIFY2(picker.Message() == kMissing || picker.Message() == kNotProject,
                     qPrintable(edit->text() + QStringLiteral(": ") + picker.Message()));
    }
    QCOMPARE(changes.count(), path.size());
    // The other side has not been chosen: the message stays until both are
    // valid, and OK stays off.
    QVERIFY(!picker.Message().isEmpty());
    QVERIFY(!OkButton(picker)->isEnabled());
}

void tst_Picker::history()
{
    {
        QSettings store = Store();
        store.setValue(QStringLiteral("LHSFilePaths/count"), 2);
        store.setValue(QStringLiteral("LHSFilePaths/0"), mProject);
        store.setValue(QStringLiteral("LHSFilePaths/1"), mTemplate);
        store.setValue(QStringLiteral("RHSFilePaths/count"), 1);
        store.setValue(QStringLiteral("RHSFilePaths/0"), mOther);
    }
    {
        ProjectPicker picker;
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        QCOMPARE(picker.Combo(ProjectPicker::LHS)->count(), 2);
        QCOMPARE(picker.Combo(ProjectPicker::LHS)->itemText(1), mTemplate);
        // Nothing is chosen at first.
        QCOMPARE(picker.GetProjectPath(ProjectPicker::LHS), QString());
        QCOMPARE(picker.GetProjectPath(ProjectPicker::RHS), QString());
        QVERIFY(!OkButton(picker)->isEnabled());

        // Dropping a remembered file chooses it without a second entry; a new
        // one goes first.
        Drop(picker.Combo(ProjectPicker::LHS), {QUrl::fromLocalFile(mTemplate)});
        QCOMPARE(picker.Combo(ProjectPicker::LHS)->count(), 2);
        QCOMPARE(picker.GetProjectPath(ProjectPicker::LHS), mTemplate);
        Drop(picker.Combo(ProjectPicker::RHS), {QUrl::fromLocalFile(mProject)});
        QCOMPARE(picker.Combo(ProjectPicker::RHS)->count(), 2);
        QCOMPARE(picker.Combo(ProjectPicker::RHS)->itemText(0), mProject);
        QVERIFY(OkButton(picker)->isEnabled());
    }
    QSettings store = Store();
    QCOMPARE(store.value(QStringLiteral("RHSFilePaths/count")).toInt(), 2);
    QCOMPARE(store.value(QStringLiteral("RHSFilePaths/0")).toString(), mProject);
    QCOMPARE(store.value(QStringLiteral("RHSFilePaths/1")).toString(), mOther);
    QCOMPARE(store.value(QStringLiteral("LHSFilePaths/count")).toInt(), 2);

    // A prepared run names the files to start with: they are in the fields,
    // checked, and OK is on.
    store.setValue(QStringLiteral("LHSFilePaths/picked"), mTemplate);
    store.setValue(QStringLiteral("RHSFilePaths/picked"), mOther);
    store.sync();
    ProjectPicker prepared;
    QCOMPARE(prepared.GetProjectPath(ProjectPicker::LHS), mTemplate);
    QCOMPARE(prepared.GetProjectPath(ProjectPicker::RHS), mOther);
    QVERIFY(OkButton(prepared)->isEnabled());
    QCOMPARE(prepared.Combo(ProjectPicker::LHS)->count(), 2);
}

void tst_Picker::historyUnchangedIsNotWritten()
{
    Store().setValue(QStringLiteral("LHSFilePaths/count"), 1);
    Store().setValue(QStringLiteral("LHSFilePaths/0"), mProject);
    {
        ProjectPicker picker;
        Drop(picker.Combo(ProjectPicker::LHS), {QUrl::fromLocalFile(mProject)});
        QCOMPARE(picker.GetProjectPath(ProjectPicker::LHS), mProject);
        // Written behind the picker's back: a picker that writes its lists
        // would overwrite it.
        Store().setValue(QStringLiteral("LHSFilePaths/0"), QStringLiteral("marker"));
    }
    QCOMPARE(Store().value(QStringLiteral("LHSFilePaths/0")).toString(), QStringLiteral("marker"));
}

void tst_Picker::dragAndDrop()
{
    ProjectPicker picker;
    picker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picker));

    // One file is taken only over a combo box.
    QMimeData one;
    one.setUrls({QUrl::fromLocalFile(mProject)});
    QDragEnterEvent outside(QPoint(1, picker.height() - 2), Qt::CopyAction, &one, Qt::LeftButton,
                            Qt::NoModifier);
    QApplication::sendEvent(&picker, &outside);
    QVERIFY(!outside.isAccepted());
    bool entered = false;
    Drop(picker.Combo(ProjectPicker::RHS), {QUrl::fromLocalFile(mProject)}, &entered);
    QVERIFY(entered);
    QCOMPARE(picker.GetProjectPath(ProjectPicker::RHS), mProject);
    QCOMPARE(picker.GetProjectPath(ProjectPicker::LHS), QString());

    // Two files fill both sides at once, wherever they land; more are
    // ignored. The paths are the files' own (spaces and all).
    Drop(picker.Combo(ProjectPicker::RHS),
         {QUrl::fromLocalFile(mOther), QUrl::fromLocalFile(mTemplate), QUrl::fromLocalFile(mText)}, &entered);
    QVERIFY(entered);
    QCOMPARE(picker.GetProjectPath(ProjectPicker::LHS), mOther);
    QCOMPARE(picker.GetProjectPath(ProjectPicker::RHS), mTemplate);
    QVERIFY(OkButton(picker)->isEnabled());
}

void tst_Picker::sameFileOnBothSidesIsRefused_data()
{
    QTest::addColumn<int>("second");
    QTest::addColumn<QString>("message");
    QTest::newRow("RHS chosen second") << int(ProjectPicker::RHS)
                                       << "The RHS project is the same file as the LHS project: pick another "
                                          "file for the RHS.";
    QTest::newRow("LHS chosen second") << int(ProjectPicker::LHS)
                                       << "The LHS project is the same file as the RHS project: pick another "
                                          "file for the LHS.";
}

// The side chosen second is refused, naming itself; changing the other side
// makes it good again.
void tst_Picker::sameFileOnBothSidesIsRefused()
{
    QFETCH(int, second);
    QFETCH(QString, message);
    const auto later = ProjectPicker::ComboID(second);
    const auto first = later == ProjectPicker::LHS ? ProjectPicker::RHS : ProjectPicker::LHS;
    ProjectPicker picker;
    picker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picker));
    Drop(picker.Combo(first), {QUrl::fromLocalFile(mProject)});
    Drop(picker.Combo(later), {QUrl::fromLocalFile(mProject)});
    QVERIFY(picker.IsValid(first));
    QVERIFY(!picker.IsValid(later));
    QCOMPARE(picker.Message(), message);
    QVERIFY(!OkButton(picker)->isEnabled());
    QVERIFY(picker.isVisible());

    Drop(picker.Combo(first), {QUrl::fromLocalFile(mOther)});
    QVERIFY(picker.IsValid(first) && picker.IsValid(later));
    QVERIFY(OkButton(picker)->isEnabled());
    QCOMPARE(picker.Message(), QString());
}

void tst_Picker::refusedFileDoesNotStayFirst()
{
    Store().setValue(QStringLiteral("LHSFilePaths/count"), 1);
    Store().setValue(QStringLiteral("LHSFilePaths/0"), mProject);
    {
        ProjectPicker picker;
        Drop(picker.Combo(ProjectPicker::LHS), {QUrl::fromLocalFile(mText)});
        QCOMPARE(picker.Message(), kNotProject);
        QCOMPARE(picker.Combo(ProjectPicker::LHS)->itemText(0), mText);
    }
    QCOMPARE(Store().value(QStringLiteral("LHSFilePaths/0")).toString(), mProject);
}

void tst_Picker::browseOffersProjectsFirst()
{
    ProjectPicker picker;
    picker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picker));
    QStringList filters;
    auto* timer = new QTimer(&picker);
    timer->setInterval(10);
    connect(timer, &QTimer::timeout, timer,
            [&filters, timer]()
            {
                if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
                {
                    timer->stop();
                    filters = dialog->nameFilters();
                    dialog->reject();
                }
            });
    timer->start();
    auto* browse = picker.findChild<QToolButton*>(QStringLiteral("mLHSBrowseButton"));
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(filters,
             (QStringList{QStringLiteral("Projects (*.xprj *.xprt)"), QStringLiteral("All files (*)")}));
    QCOMPARE(picker.GetProjectPath(ProjectPicker::LHS), QString());
}

QTEST_MAIN(tst_Picker)
#include "tst_picker.moc"
