// One comparison run from the picker to the closing of both projects: a
// further comparison opened from a running one, a project that does not
// open. The question about unsaved changes with each of its answers and the
// saves the host refuses are driven by tst_mergesession's random sessions,
// checked on the files; a copy the host refuses is reported as tst_explorer
// shows (copyAllOfAContainerIsOneStep); a cancelled picker is tst_command's.

#include "ComparisonDriver.h"
#include "PluginSession.h"
#include "Script.h"
#include "TestFiles.h"

#include "CorvaneExplorerInvoker.h"
#include "ProjectPicker.h"
#include "XTCalls.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace
{

QString Copy(const QString& sample, const QString& to)
{
    QFile::remove(to);
    QFile::copy(SourcePath(QStringLiteral("Samples/") + sample), to);
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
    return to;
}

QMessageBox* Question()
{
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

} // namespace

class tst_Invoker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void furtherComparisonRefusesFilesInUse();
    void projectThatDoesNotOpenIsReported();
    void namedPairOpensWithoutPicker_data();
    void namedPairOpensWithoutPicker();

private:
    std::unique_ptr<PluginSession> mSession;
    QTemporaryDir mFolder;
};

void tst_Invoker::initTestCase()
{
    mSession = std::make_unique<PluginSession>();
    QVERIFY(mSession->IsActive());
}

void tst_Invoker::cleanupTestCase()
{
    mSession.reset();
}

// A further comparison opened from a running one refuses that one's files;
// once both end, their projects are closed. (A file the host itself has
// open is refused too: tst_picker's okNeedsBothSides.)
void tst_Invoker::furtherComparisonRefusesFilesInUse()
{
    const QString lhs =
        Copy(QStringLiteral("harbour-gazette-v1.xprj"), mFolder.filePath(QStringLiteral("n1.xprj")));
    const QString rhs =
        Copy(QStringLiteral("harbour-gazette-v2.xprj"), mFolder.filePath(QStringLiteral("n2.xprj")));

    QStringList messages;
    bool okWhileInUse = true;
    Script script;
    Driver::Pick(script, lhs, rhs);
    script.ThenPost(
        QStringLiteral("open a further comparison"), [] { return Driver::Explorer() != nullptr; },
        [] { Driver::Explorer()->findChild<QAction*>(QStringLiteral("actionOpen"))->trigger(); });
    script.Then(
        QStringLiteral("see the second picker"),
        [] { return Script::Modal("ProjectPickerClass") != nullptr; },
        [&]
        {
            QWidget* picker = Script::Modal("ProjectPickerClass");
            auto* left = picker->findChild<QComboBox*>(QStringLiteral("mLHSFileComboEdit"));
            auto* right = picker->findChild<QComboBox*>(QStringLiteral("mRHSFileComboEdit"));
            auto* line = picker->findChild<QLabel*>(QStringLiteral("mLabel"));
            QPushButton* ok = picker->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
                                  ->button(QDialogButtonBox::Ok);
            right->setEditText(lhs);
            left->setEditText(rhs);
            messages << line->text();
            okWhileInUse = ok->isEnabled();
            picker->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
                ->button(QDialogButtonBox::Cancel)
                ->click();
        });
    script.Then(
        QStringLiteral("be back in the first comparison"), [] { return Driver::Explorer() != nullptr; },
        [] { Driver::Press(Driver::Explorer(), Qt::Key_Escape); });
    script.Start();
    CorvaneExplorerInvoker::Invoke();
    QVERIFY2(script.Finished() && script.Failure().isEmpty(), qPrintable(script.Failure()));

    const QString inUse = QStringLiteral("The selected file is already being compared or is open.");
    QCOMPARE(messages, QStringList({inUse}));
    QVERIFY(!okWhileInUse);
    // Both projects of the comparison are closed, and free again.
    QVERIFY(!CorvaneExplorerInvoker::IsInvoked(lhs));
    QVERIFY(!CorvaneExplorerInvoker::IsInvoked(rhs));
    QCOMPARE(XT::gProject->GetOpenProjectCount(), 0);
}

void tst_Invoker::projectThatDoesNotOpenIsReported()
{
    // The first bytes say project, so the picker takes it; the rest is cut.
    const QString broken = mFolder.filePath(QStringLiteral("broken.xprj"));
    QVERIFY(
        WriteFile(broken, ReadFile(SourcePath(QStringLiteral("Samples/harbour-gazette-v1.xprj"))).left(400)));
    const QString rhs =
        Copy(QStringLiteral("harbour-gazette-v2.xprj"), mFolder.filePath(QStringLiteral("b2.xprj")));

    QString warning;
    bool explorerShown = false;
    Script script;
    Driver::Pick(script, broken, rhs);
    script.Then(
        QStringLiteral("be told"), [] { return Question() != nullptr || Driver::Explorer() != nullptr; },
        [&]
        {
            explorerShown = Driver::Explorer() != nullptr;
            if (explorerShown)
                return script.Fail(QStringLiteral("the comparison ran on a project that did not open"));
            warning = Question()->text();
            Question()->button(QMessageBox::Ok)->click();
        });
    // The picker comes back, the refused side marked, OK off; the user gives up.
    QString message;
    bool okEnabled = true;
    script.ThenPost(
        QStringLiteral("be back in the picker"),
        [] { return Script::Modal("ProjectPickerClass") != nullptr && Question() == nullptr; },
        [&]
        {
            auto* picker = qobject_cast<ProjectPicker*>(Script::Modal("ProjectPickerClass"));
            if (!picker)
                return script.Fail(QStringLiteral("the picker did not come back"));
            message = picker->Message();
            okEnabled = picker->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled();
            picker->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        });
    script.Start();
    CorvaneExplorerInvoker::Invoke();
    QVERIFY2(script.Finished() && script.Failure().isEmpty(), qPrintable(script.Failure()));
    QVERIFY2(warning.startsWith(QStringLiteral("The project %1 could not be opened.").arg(broken)),
             qPrintable(warning));
    QCOMPARE(message, QStringLiteral("The project %1 could not be opened.").arg(broken));
    QVERIFY(!okEnabled);

    // The host's reason names the file and the place.
    QVERIFY2(warning.count(broken) >= 2, qPrintable(warning));
    QCOMPARE(XT::gProject->GetOpenProjectCount(), 0);
    QVERIFY(!CorvaneExplorerInvoker::IsInvoked(broken));
    QVERIFY(!CorvaneExplorerInvoker::IsInvoked(rhs));
}

void tst_Invoker::namedPairOpensWithoutPicker_data()
{
    QTest::addColumn<QString>("rhsSample");
    QTest::newRow("two files") << QStringLiteral("harbour-gazette-v2.xprj");
    QTest::newRow("a file and /dev/null") << QString();
}

// Two files named ahead (xthost --compare, as git difftool runs it) open the
// explorer on them without the picker, where a copy saves into the file;
// /dev/null there is a project with nothing in it.
void tst_Invoker::namedPairOpensWithoutPicker()
{
    QFETCH(QString, rhsSample);
    const QString lhs =
        Copy(QStringLiteral("harbour-gazette-v1.xprj"), mFolder.filePath(QStringLiteral("d1.xprj")));
    const QString rhs = rhsSample.isEmpty() ? QStringLiteral("/dev/null")
                                            : Copy(rhsSample, mFolder.filePath(QStringLiteral("d2.xprj")));
    const QByteArray before = ReadFile(rhs);
    bool picker = false;
    QString title;
    QString copied;
    Script script;
    script.Then(
        QStringLiteral("see the explorer"),
        [] { return Driver::Explorer() != nullptr || Script::Modal("ProjectPickerClass") != nullptr; },
        [&]
        {
            if ((picker = Script::Modal("ProjectPickerClass") != nullptr))
                return Script::Modal("ProjectPickerClass")->close();
            QWidget* explorer = Driver::Explorer();
            title = explorer->windowTitle();
            if (!rhsSample.isEmpty() && Driver::SelectPair(explorer, QStringLiteral("Story 4 | Story 4")))
            {
                copied = Driver::CopyRow(explorer, 0, false);
                explorer->findChild<QAction*>(QStringLiteral("actionSave"))->trigger();
            }
            Driver::Press(explorer, Qt::Key_Escape);
            return true;
        });
    script.Start();
    CorvaneExplorerInvoker::SetNextPair(lhs, rhs);
    CorvaneExplorerInvoker::Invoke();
    QVERIFY2(script.Finished() && script.Failure().isEmpty(), qPrintable(script.Failure()));
    QVERIFY(!picker);
    QVERIFY2(title.startsWith(QLatin1String("d1.xprj")), qPrintable(title));
    if (!rhsSample.isEmpty())
    {
        QVERIFY2(copied.isEmpty(), qPrintable(copied));
        QVERIFY(ReadFile(rhs) != before);
        QVERIFY(ReadFile(rhs).contains("boat jumble on the north quay, 9 am to noon"));
    }
    QCOMPARE(XT::gProject->GetOpenProjectCount(), 0);
}

QTEST_MAIN(tst_Invoker)
#include "tst_invoker.moc"
