// One comparison run from the picker to the closing of both projects: a
// further comparison opened from a running one, and the question about
// unsaved changes with each of its answers, checked on the files.

#include "ComparisonDriver.h"
#include "PluginSession.h"
#include "Script.h"

#include "CorvaneExplorerInvoker.h"
#include "ProjectPicker.h"
#include "Model/Project.h"
#include "XTCalls.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace
{

QByteArray Contents(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

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

QAbstractButton* Button(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* button : box->buttons())
        if (button->text() == text)
            return button;
    return nullptr;
}

} // namespace

class tst_Invoker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void furtherComparisonRefusesFilesInUse();
    void unsavedChanges_data();
    void unsavedChanges();
    void refusedSaveKeepsTheChanges();
    void refusedSaveThenMoreCopies_data();
    void refusedSaveThenMoreCopies();
    void refusedCopyIsReported();
    void projectThatDoesNotOpenIsReported();
    void cancelledPickerLeavesHostAlone();

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

void tst_Invoker::furtherComparisonRefusesFilesInUse()
{
    const QString lhs =
        Copy(QStringLiteral("harbour-gazette-v1.xprj"), mFolder.filePath(QStringLiteral("n1.xprj")));
    const QString rhs =
        Copy(QStringLiteral("harbour-gazette-v2.xprj"), mFolder.filePath(QStringLiteral("n2.xprj")));
    const QString other =
        Copy(QStringLiteral("harbour-gazette-v2.xprj"), mFolder.filePath(QStringLiteral("n3.xprj")));
    const XTProjectId openInHost = mSession->Open(other);
    QVERIFY(openInHost != -1);

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
            right->setEditText(other);
            messages << line->text();
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
    QCOMPARE(messages, QStringList({inUse, inUse}));
    QVERIFY(!okWhileInUse);
    // Both projects of the comparison are closed, and free again.
    QVERIFY(!CorvaneExplorerInvoker::IsInvoked(lhs));
    QVERIFY(!CorvaneExplorerInvoker::IsInvoked(rhs));
    QCOMPARE(XT::gProject->GetOpenProjectCount(), 1);
    QVERIFY(mSession->Host().closeProject(openInHost));
}

void tst_Invoker::unsavedChanges_data()
{
    QTest::addColumn<bool>("copyLeft");
    QTest::addColumn<bool>("copyRight");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("saveLeftEnabled");
    QTest::addColumn<bool>("saveRightEnabled");
    QTest::addColumn<bool>("leftSaved");
    QTest::addColumn<bool>("rightSaved");

    QTest::newRow("no changes: nothing asked")
        << false << false << "" << false << false << false << false << false;
    QTest::newRow("save all") << true << true << "Save All" << true << true << true << true << true;
    QTest::newRow("save LHS") << true << true << "Save LHS" << true << true << true << true << false;
    QTest::newRow("save RHS") << true << true << "Save RHS" << true << true << true << false << true;
    QTest::newRow("discard") << true << true << "Discard" << true << true << true << false << false;
    QTest::newRow("right only: Save LHS off")
        << false << true << "Save All" << true << false << true << false << true;
    QTest::newRow("cancel, then discard")
        << true << false << "Cancel" << true << true << false << false << false;
}

void tst_Invoker::unsavedChanges()
{
    QFETCH(bool, copyLeft);
    QFETCH(bool, copyRight);
    QFETCH(QString, answer);
    QFETCH(bool, asked);
    QFETCH(bool, saveLeftEnabled);
    QFETCH(bool, saveRightEnabled);
    QFETCH(bool, leftSaved);
    QFETCH(bool, rightSaved);

    const QString lhs =
        Copy(QStringLiteral("harbour-gazette-v1.xprj"), mFolder.filePath(QStringLiteral("u1.xprj")));
    const QString rhs =
        Copy(QStringLiteral("harbour-gazette-v2.xprj"), mFolder.filePath(QStringLiteral("u2.xprj")));
    const QByteArray leftBefore = Contents(lhs);
    const QByteArray rightBefore = Contents(rhs);

    bool questionShown = false;
    bool leftEnabled = false;
    bool rightEnabled = false;
    QString details;
    int historyAfterCancel = -1;
    Script script;
    Driver::Pick(script, lhs, rhs);
    script.Then(
        QStringLiteral("copy rows"), [] { return Driver::Explorer() != nullptr; },
        [&]
        {
            QWidget* explorer = Driver::Explorer();
            if (!Driver::SelectPair(explorer, QStringLiteral("Story 3 | Story 3")))
                return script.Fail(QStringLiteral("no story pair to select"));
            const QString left = copyLeft ? Driver::CopyRow(explorer, 0, true) : QString();
            if (!left.isEmpty())
                return script.Fail(QStringLiteral("copy left: ") + left);
            const QString right = copyRight ? Driver::CopyRow(explorer, 0, false) : QString();
            if (!right.isEmpty())
                return script.Fail(QStringLiteral("copy right: ") + right);
        });
    script.ThenPost(
        QStringLiteral("close the window"), [] { return true; },
        [] { Driver::Press(Driver::Explorer(), Qt::Key_Escape); });
    if (asked)
    {
        script.Then(
            QStringLiteral("see the question"), [] { return Question() != nullptr; },
            [&]
            {
                QMessageBox* box = Question();
                questionShown = true;
                // Both paths, each after its label and a colon.
                details = box->detailedText();
                leftEnabled = Button(box, QStringLiteral("Save LHS"))->isEnabled();
                rightEnabled = Button(box, QStringLiteral("Save RHS"))->isEnabled();
                QAbstractButton* button =
                    answer == QLatin1String("Save All")  ? box->button(QMessageBox::SaveAll)
                    : answer == QLatin1String("Discard") ? box->button(QMessageBox::Discard)
                    : answer == QLatin1String("Cancel")  ? box->button(QMessageBox::Cancel)
                                                         : Button(box, answer);
                button->click();
            });
        if (answer == QLatin1String("Cancel"))
        {
            // The window stays, with its undo history; then it is closed for
            // good without saving.
            script.ThenPost(
                QStringLiteral("be back in the window"), [] { return Driver::Explorer() != nullptr; },
                [&]
                {
                    QAction* undo = nullptr;
                    for (QAction* action : Driver::Explorer()->findChildren<QAction*>())
                        if (action->shortcut() == QKeySequence::Undo)
                            undo = action;
                    historyAfterCancel = undo && undo->isEnabled() ? 1 : 0;
                    Driver::Press(Driver::Explorer(), Qt::Key_Escape);
                });
            script.Then(
                QStringLiteral("see the question again"), [] { return Question() != nullptr; },
                [] { Question()->button(QMessageBox::Discard)->click(); });
        }
    }
    script.Start();
    CorvaneExplorerInvoker::Invoke();
    QVERIFY2(script.Finished() && script.Failure().isEmpty(), qPrintable(script.Failure()));

    QCOMPARE(questionShown, asked);
    if (asked)
    {
        QCOMPARE(leftEnabled, saveLeftEnabled);
        QCOMPARE(rightEnabled, saveRightEnabled);
        QCOMPARE(details, QStringLiteral("LHS Project: %1.\nRHS Project: %2.").arg(lhs, rhs));
    }
    if (answer == QLatin1String("Cancel"))
        QCOMPARE(historyAfterCancel, 1);
    QCOMPARE(Contents(lhs) != leftBefore, leftSaved);
    QCOMPARE(Contents(rhs) != rightBefore, rightSaved);
    QCOMPARE(XT::gProject->GetOpenProjectCount(), 0);
}

void tst_Invoker::refusedSaveKeepsTheChanges()
{
    // The left project's folder is replaced by a file while the comparison
    // runs, so the host cannot write there (whoever runs the test).
    const QString folder = mFolder.filePath(QStringLiteral("issues"));
    const QString moved = mFolder.filePath(QStringLiteral("issues-moved"));
    QVERIFY(QDir().mkpath(folder));
    const QString lhs = Copy(QStringLiteral("harbour-gazette-v1.xprj"), folder + QStringLiteral("/s1.xprj"));
    const QString rhs =
        Copy(QStringLiteral("harbour-gazette-v2.xprj"), mFolder.filePath(QStringLiteral("s2.xprj")));
    const QByteArray leftBefore = Contents(lhs);
    auto block = [&]
    {
        QDir().rename(folder, moved);
        QFile blocker(folder);
        blocker.open(QIODevice::WriteOnly);
    };
    auto unblock = [&]
    {
        QFile::remove(folder);
        QDir().rename(moved, folder);
    };

    QString warning;
    Script script;
    Driver::Pick(script, lhs, rhs);
    script.ThenPost(
        QStringLiteral("copy a row left and save"), [] { return Driver::Explorer() != nullptr; },
        [&]
        {
            QWidget* explorer = Driver::Explorer();
            if (!Driver::SelectPair(explorer, QStringLiteral("Story 3 | Story 3")))
                return script.Fail(QStringLiteral("no story pair to select"));
            const QString problem = Driver::CopyRow(explorer, 0, true);
            if (!problem.isEmpty())
                return script.Fail(problem);
            block();
            explorer->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
                ->button(QDialogButtonBox::Save)
                ->click();
        });
    script.Then(
        QStringLiteral("be told the save failed"), [] { return Question() != nullptr; },
        [&]
        {
            warning = Question()->text();
            Question()->button(QMessageBox::Ok)->click();
        });
    // The window comes back; the merge is in the document, not yet in the
    // file, so closing asks, and Save All tries again.
    script.ThenPost(
        QStringLiteral("be back in the window and close it"), [] { return Driver::Explorer() != nullptr; },
        [&]
        {
            unblock();
            Driver::Press(Driver::Explorer(), Qt::Key_Escape);
        });
    script.Then(
        QStringLiteral("be asked about the unsaved merge"), [] { return Question() != nullptr; },
        [] { Question()->button(QMessageBox::SaveAll)->click(); });
    script.Start();
    CorvaneExplorerInvoker::Invoke();
    unblock();
    QVERIFY2(script.Finished() && script.Failure().isEmpty(), qPrintable(script.Failure()));
    QVERIFY2(warning.contains(lhs) && warning.contains(QStringLiteral("could not be saved")),
             qPrintable(warning));
    QVERIFY(Contents(lhs) != leftBefore);
    QCOMPARE(XT::gProject->GetOpenProjectCount(), 0);
}

void tst_Invoker::refusedSaveThenMoreCopies_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Save button") << "button";
    QTest::newRow("tool bar, then undo") << "toolbar";
    QTest::newRow("close, Save LHS") << "close";
}

// Given one row of a story copied left and a save that the host refuses,
// when the rest of the story's rows are copied left and saved, then the left
// story is exactly the right one: no row was written twice, none was lost.
void tst_Invoker::refusedSaveThenMoreCopies()
{
    QFETCH(QString, how);
    const QString folder = mFolder.filePath(QStringLiteral("again-") + how);
    const QString moved = folder + QStringLiteral("-moved");
    QVERIFY(QDir().mkpath(folder));
    const QString lhs = Copy(QStringLiteral("harbour-gazette-v1.xprj"), folder + QStringLiteral("/a1.xprj"));
    const QString rhs = Copy(QStringLiteral("harbour-gazette-v2.xprj"),
                             mFolder.filePath(QStringLiteral("a2-") + how + ".xprj"));
    auto block = [&]
    {
        QDir().rename(folder, moved);
        QFile blocker(folder);
        blocker.open(QIODevice::WriteOnly);
    };
    auto unblock = [&]
    {
        if (QFileInfo(folder).isFile())
        {
            QFile::remove(folder);
            QDir().rename(moved, folder);
        }
    };
    const QString pair = QStringLiteral("Story 3 | Story 3");

    bool saveOnAfterRefusal = false;
    bool undoOnAfterRefusal = true;
    QString problem;
    Script script;
    Driver::Pick(script, lhs, rhs);
    script.ThenPost(
        QStringLiteral("copy one row left and save"), [] { return Driver::Explorer() != nullptr; },
        [&]
        {
            QWidget* explorer = Driver::Explorer();
            if (!Driver::SelectPair(explorer, pair))
                return script.Fail(QStringLiteral("no story pair to select"));
            problem = Driver::CopyRow(explorer, 0, true);
            if (!problem.isEmpty())
                return script.Fail(problem);
            block();
            if (how == QLatin1String("button"))
                explorer->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
                    ->button(QDialogButtonBox::Save)
                    ->click();
            else if (how == QLatin1String("toolbar"))
                explorer->findChild<QAction*>(QStringLiteral("actionSave"))->trigger();
            else
                Driver::Press(explorer, Qt::Key_Escape);
        });
    if (how == QLatin1String("close"))
        script.Then(
            QStringLiteral("save only the LHS"), [] { return Question() != nullptr; },
            [&] { Button(Question(), QStringLiteral("Save LHS"))->click(); });
    script.Then(
        QStringLiteral("be told the save failed"),
        [] {
            return Question() != nullptr && Question()->text().contains(QStringLiteral("could not be saved"));
        },
        [&] { Question()->button(QMessageBox::Ok)->click(); });
    script.ThenPost(
        QStringLiteral("copy the remaining rows and save again"),
        [] { return Driver::Explorer() != nullptr; },
        [&]
        {
            unblock();
            QWidget* explorer = Driver::Explorer();
            saveOnAfterRefusal = explorer->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
                                     ->button(QDialogButtonBox::Save)
                                     ->isEnabled();
            QAction* undo = explorer->findChild<QAction*>(QStringLiteral("actionUndo"));
            undoOnAfterRefusal = undo->isEnabled();
            // What is written is not undone in the window any more.
            undo->trigger();
            if (!Driver::SelectPair(explorer, pair))
                return script.Fail(QStringLiteral("the story pair is gone"));
            while (Driver::CopyRow(explorer, 0, true).isEmpty())
                ;
            explorer->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
                ->button(QDialogButtonBox::Save)
                ->click();
        });
    script.Start();
    CorvaneExplorerInvoker::Invoke();
    unblock();
    QVERIFY2(script.Finished() && script.Failure().isEmpty(), qPrintable(script.Failure()));
    QVERIFY(saveOnAfterRefusal);
    QVERIFY(!undoOnAfterRefusal);
    QCOMPARE(XT::gProject->GetOpenProjectCount(), 0);

    const XTProjectId left = mSession->Open(lhs);
    const XTProjectId right = mSession->Open(rhs);
    const XTHost::Story* merged = nullptr;
    for (const XTHost::Story& story : mSession->Host().project(left)->mStories)
        if (story.mNumber == 3)
            merged = &story;
    const XTHost::Story* wanted = nullptr;
    for (const XTHost::Story& story : mSession->Host().project(right)->mStories)
        if (story.mNumber == 3)
            wanted = &story;
    QVERIFY(merged && wanted);
    QCOMPARE(merged->mText, wanted->mText);
    QVERIFY(merged->mRuns == wanted->mRuns);
    QVERIFY(mSession->Host().closeProject(left));
    QVERIFY(mSession->Host().closeProject(right));
}

// Given the host refusing to copy an asset, when a colour row and a story
// row are copied right and saved, then the user is told which item, which
// side and why; the story row is written and saved all the same, and the
// colour stays marked as different.
void tst_Invoker::refusedCopyIsReported()
{
    const QString lhs =
        Copy(QStringLiteral("harbour-gazette-v1.xprj"), mFolder.filePath(QStringLiteral("c1.xprj")));
    const QString rhs =
        Copy(QStringLiteral("harbour-gazette-v2.xprj"), mFolder.filePath(QStringLiteral("c2.xprj")));
    const QByteArray rightBefore = Contents(rhs);
    mSession->Host().refuseEdit(QStringLiteral("CopyAsset"));

    QString colour;
    QString report;
    QString details;
    bool stillDifferent = false;
    Script script;
    Driver::Pick(script, lhs, rhs);
    script.ThenPost(
        QStringLiteral("copy a colour and a story row right, save"),
        [] { return Driver::Explorer() != nullptr; },
        [&]
        {
            QWidget* explorer = Driver::Explorer();
            colour = Driver::FirstDifferentItem(explorer, QStringLiteral("Colors"));
            if (colour.isEmpty())
                return script.Fail(QStringLiteral("no colour differs"));
            Driver::SelectPair(explorer, colour);
            QString problem = Driver::CopyRow(explorer, 0, false);
            if (problem.isEmpty() && Driver::SelectPair(explorer, QStringLiteral("Story 3 | Story 3")))
                problem = Driver::CopyRow(explorer, 0, false);
            if (!problem.isEmpty())
                return script.Fail(problem);
            explorer->findChild<QAction*>(QStringLiteral("actionSave"))->trigger();
        });
    script.Then(
        QStringLiteral("be told what was refused"), [] { return Question() != nullptr; },
        [&]
        {
            report = Question()->text() + QLatin1Char('\n') + Question()->informativeText();
            details = Question()->detailedText();
            Question()->button(QMessageBox::Ok)->click();
        });
    script.ThenPost(
        QStringLiteral("see the colour still different, then close"),
        [] { return Driver::Explorer() != nullptr; },
        [&]
        {
            stillDifferent =
                Driver::FirstDifferentItem(Driver::Explorer(), QStringLiteral("Colors")) == colour;
            Driver::Press(Driver::Explorer(), Qt::Key_Escape);
        });
    script.Then(
        QStringLiteral("nothing is left unsaved"), [] { return true; },
        [&]
        {
            if (Question())
                Question()->button(QMessageBox::Discard)->click();
        });
    script.Start();
    CorvaneExplorerInvoker::Invoke();
    mSession->Host().refuseEdit(QStringLiteral("CopyAsset"), false);
    // With nothing left unsaved the window closes at once, and the command
    // may return before the script's last step (which has nothing to
    // answer then) has had its turn.
    QTRY_VERIFY(script.Finished());
    QVERIFY2(script.Finished() && script.Failure().isEmpty(), qPrintable(script.Failure()));

    QVERIFY2(report.contains(QStringLiteral("1 change could not be written")), qPrintable(report));
    const QString name = colour.section(QStringLiteral(" | "), 0, 0);
    QVERIFY2(details.contains(name) && details.contains(QStringLiteral("to the RHS")) &&
                 details.contains(QStringLiteral("refused")),
             qPrintable(details));
    QVERIFY(stillDifferent);
    // The story row went in and was saved; the colour did not change.
    QVERIFY(Contents(rhs) != rightBefore);
    const XTProjectId right = mSession->Open(rhs);
    const XTProjectId original = mSession->Open(
        Copy(QStringLiteral("harbour-gazette-v2.xprj"), mFolder.filePath(QStringLiteral("c3.xprj"))));
    QVERIFY(mSession->Host().project(right)->mAssets == mSession->Host().project(original)->mAssets);
    QVERIFY(mSession->Host().closeProject(right));
    QVERIFY(mSession->Host().closeProject(original));
}

void tst_Invoker::projectThatDoesNotOpenIsReported()
{
    // The first bytes say project, so the picker takes it; the rest is cut.
    const QString broken = mFolder.filePath(QStringLiteral("broken.xprj"));
    {
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Contents(SourcePath(QStringLiteral("Samples/harbour-gazette-v1.xprj"))).left(400));
    }
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

void tst_Invoker::cancelledPickerLeavesHostAlone()
{
    Script script;
    script.Then(
        QStringLiteral("see the picker"), [] { return Script::Modal("ProjectPickerClass") != nullptr; },
        []
        {
            Script::Modal("ProjectPickerClass")
                ->findChild<QDialogButtonBox*>()
                ->button(QDialogButtonBox::Cancel)
                ->click();
        });
    script.Start();
    CorvaneExplorerInvoker::Invoke();
    QVERIFY2(script.Finished() && script.Failure().isEmpty(), qPrintable(script.Failure()));
    QCOMPARE(XT::gProject->GetOpenProjectCount(), 0);
}

QTEST_MAIN(tst_Invoker)
#include "tst_invoker.moc"
