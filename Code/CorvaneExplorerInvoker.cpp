#include "CorvaneExplorerInvoker.h"

#include "ComparisonSession.h"
#include "CorvaneExplorer.h"
#include "EmptyProject.h"
#include "ProjectPicker.h"
#include "ProjectTree.h"
#include "ProjectTreeProxy.h"
#include "ThreeWayReview.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QSaveFile>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

QStringList CorvaneExplorerInvoker::sOpenedProjects;
QStringList CorvaneExplorerInvoker::sNextPair;
QStringList CorvaneExplorerInvoker::sNextMerge;
int* CorvaneExplorerInvoker::sMergeStatus = nullptr;

CorvaneExplorerInvoker::CorvaneExplorerInvoker(const QString& lhsPath, const QString& rhsPath)
    : mSession(std::make_unique<ComparisonSession>(lhsPath, rhsPath))
{
    if (mSession->IsOpen())
        mListed = QStringList{lhsPath, rhsPath};
    sOpenedProjects << mListed;
}

CorvaneExplorerInvoker::~CorvaneExplorerInvoker()
{
    for (const QString& path : qAsConst(mListed))
        sOpenedProjects.removeOne(path);
}

bool CorvaneExplorerInvoker::IsInvoked(const QString& path)
{
    return sOpenedProjects.contains(path, Qt::CaseSensitive);
}

XTProjectId CorvaneExplorerInvoker::LHSProject() const
{
    return mSession->Project(ComparisonSession::LHS);
}

XTProjectId CorvaneExplorerInvoker::RHSProject() const
{
    return mSession->Project(ComparisonSession::RHS);
}

void CorvaneExplorerInvoker::SetNextPair(const QString& lhsPath, const QString& rhsPath)
{
    sNextPair = QStringList{lhsPath, rhsPath};
}

void CorvaneExplorerInvoker::SetNextMerge(const QStringList& baseLocalRemoteMerged, int* status)
{
    sNextMerge = baseLocalRemoteMerged;
    sMergeStatus = status;
}

int CorvaneExplorerInvoker::RunMerge(const QStringList& files)
{
    auto fail = [](const QString& message)
    {
        std::fprintf(stderr, "CorvaneXT: %s\n", qPrintable(message));
        return 1;
    };
    const QString merged = QFileInfo(files.at(3)).absoluteFilePath();
    if (EmptyProject::IsEmptySide(files.at(1)))
        return fail(QStringLiteral("%1 (LOCAL) holds no project to merge into").arg(files.at(1)));
    // The merge result is a copy of LOCAL named as MERGED, beside it, so that
    // the window names it so and MERGED changes only when the user saves.
    QTemporaryDir work(QFileInfo(merged).absolutePath() + QStringLiteral("/.corvane-merge-XXXXXX"));
    const QString result = work.filePath(QFileInfo(merged).fileName());
    if (!work.isValid() || !QFile::copy(files.at(1), result))
        return fail(QStringLiteral("cannot make the merge result beside %1").arg(merged));
    QStringList sides{files.at(0), files.at(2)};
    for (int side = 0; side < 2; ++side)
        if (EmptyProject::IsEmptySide(sides.at(side)))
            sides[side] =
                EmptyProject::Write(work, side == 0 ? QStringLiteral("base") : QStringLiteral("remote"));
    CorvaneExplorerInvoker invoker(result, sides.at(1));
    if (!invoker.Session().IsOpen())
        return fail(
            QStringLiteral("%1 cannot be opened: %2")
                .arg(invoker.Session().FailedSide() == ComparisonSession::LHS ? files.at(1) : files.at(2),
                     invoker.Session().OpenError()));
    ThreeWayReview review(invoker.Session(), sides.at(0));
    QStringList refused;
    if (!review.Start(&refused))
        return fail(QStringLiteral("the base %1 cannot be opened: %2").arg(files.at(0), review.Error()));
    for (const QString& line : qAsConst(refused))
        fail(QStringLiteral("not merged: %1").arg(line));
    invoker.mReview = &review;
    invoker.mMergedPath = merged;
    invoker.Run();
    return invoker.mMergeSettled ? 0 : 1;
}

void CorvaneExplorerInvoker::Invoke()
{
    if (!sNextMerge.isEmpty())
    {
        const int status = RunMerge(std::exchange(sNextMerge, {}));
        if (int* to = std::exchange(sMergeStatus, nullptr))
            *to = status;
        return;
    }
    if (!sNextPair.isEmpty())
    {
        QStringList paths = std::exchange(sNextPair, {});
        QTemporaryDir empty;
        for (int side = 0; side < paths.size(); ++side)
            if (EmptyProject::IsEmptySide(paths.at(side)))
                paths[side] = EmptyProject::Write(empty, QStringLiteral("empty-%1").arg(side));
        CorvaneExplorerInvoker invoker(paths.at(0), paths.at(1));
        if (invoker.Session().IsOpen())
            invoker.Run();
        else
            std::fprintf(stderr, "CorvaneXT: %s cannot be opened: %s\n",
                         qPrintable(paths.at(invoker.Session().FailedSide())),
                         qPrintable(invoker.Session().OpenError()));
        return;
    }
    if (std::unique_ptr<CorvaneExplorerInvoker> invoker = Pick())
        invoker->Run();
}

std::unique_ptr<CorvaneExplorerInvoker> CorvaneExplorerInvoker::Pick()
{
    ProjectPicker picker(nullptr);
    picker.SetInUse(&CorvaneExplorerInvoker::IsInvoked);
    // A project the host cannot open would show as an empty side, as if all
    // its content were gone: say why instead, and let the user pick again.
    for (;;)
    {
        if (picker.exec() != QDialog::Accepted)
            return nullptr;
        const QString lhsPath = picker.GetProjectPath(ProjectPicker::LHS);
        const QString rhsPath = picker.GetProjectPath(ProjectPicker::RHS);
        auto invoker = std::make_unique<CorvaneExplorerInvoker>(lhsPath, rhsPath);
        const ComparisonSession& session = invoker->Session();
        if (session.IsOpen())
            return invoker;
        const bool lhsFailed = session.FailedSide() == ComparisonSession::LHS;
        const QString message =
            QStringLiteral("The project %1 could not be opened.").arg(lhsFailed ? lhsPath : rhsPath);
        const QString reason = session.OpenError();
        QMessageBox::warning(nullptr, QStringLiteral("CorvaneXT"),
                             message + (reason.isEmpty() ? QString() : QStringLiteral("\n\n") + reason));
        picker.Refuse(lhsFailed ? ProjectPicker::LHS : ProjectPicker::RHS, message);
    }
}

void CorvaneExplorerInvoker::Run()
{
    {
        QProgressBar progress;
        progress.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        progress.setRange(0, 2);
        progress.show();
        ProjectTreeProxy proxy(nullptr);
        proxy.setSourceModel(&mSession->Tree());
        progress.setValue(1);
        CorvaneExplorer explorer(*mSession, proxy, nullptr);
        if (mReview)
            explorer.SetThreeWay(mReview);
        progress.setValue(2);
        progress.hide();

        connect(&explorer, &CorvaneExplorer::saveInvoked, this, &CorvaneExplorerInvoker::Save);
        connect(&explorer, &CorvaneExplorer::openInvoked, this, &CorvaneExplorerInvoker::Open);
        connect(&explorer, qOverload<QCloseEvent*>(&CorvaneExplorer::closeInvoked), this,
                &CorvaneExplorerInvoker::Close);

        // Save ends the window with result 1. When the host refuses to save,
        // the user has been told; the window comes back so the changes are
        // not lost.
        while (explorer.exec() == 1)
        {
            explorer.ApplyModels();
            if (Save())
                break;
        }
        explorer.ClearPreviewCache();
    }
    CheckSaved();
}

void CorvaneExplorerInvoker::Open()
{
    Invoke();
}

bool CorvaneExplorerInvoker::SaveSide(int side)
{
    if (mSession->Save(side))
        return true;
    mRefused = true;
    QMessageBox::warning(nullptr, QStringLiteral("CorvaneXT"),
                         QStringLiteral("The project %1 could not be saved. Its changes are still open in "
                                        "the comparison.")
                             .arg(mSession->Path(side)));
    return false;
}

bool CorvaneExplorerInvoker::SaveMerge()
{
    if (mSession->IsModified(ComparisonSession::LHS) && !SaveSide(ComparisonSession::LHS))
        return false;
    QFile result(mSession->Path(ComparisonSession::LHS));
    QSaveFile merged(mMergedPath);
    if (!result.open(QIODevice::ReadOnly) || !merged.open(QIODevice::WriteOnly) ||
        merged.write(result.readAll()) < 0 || !merged.commit())
    {
        mRefused = true;
        QMessageBox::warning(
            nullptr, QStringLiteral("CorvaneXT"),
            QStringLiteral("The merge could not be written to %1: %2. It is still open in the "
                           "comparison.")
                .arg(mMergedPath, merged.errorString()));
        return false;
    }
    mChecked = true;
    mMergeSettled = mReview->Settled();
    return true;
}

bool CorvaneExplorerInvoker::Save()
{
    if (mReview)
        return SaveMerge();
    bool saved = true;
    for (int side : {ComparisonSession::LHS, ComparisonSession::RHS})
        if (mSession->IsModified(side))
            saved = SaveSide(side) && saved;
    mChecked = mChecked || saved;
    return saved;
}

void CorvaneExplorerInvoker::CheckSaved()
{
    if (!mChecked)
        return;
    const QStringList differing = mSession->CheckSaved();
    if (differing.isEmpty())
        return;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("CorvaneXT"),
                    differing.size() == 1
                        ? QStringLiteral("1 item does not read back as it was copied.")
                        : QStringLiteral("%1 items do not read back as they were copied.").arg(differing.size()),
                    QMessageBox::Ok);
    box.setInformativeText(QStringLiteral("The saved projects were read again and compared:\n") +
                           QStringList(differing.mid(0, 12)).join(QLatin1Char('\n')) +
                           (differing.size() > 12 ? QStringLiteral("\n(%1 more)").arg(differing.size() - 12) : QString()));
    box.setDetailedText(differing.join(QLatin1Char('\n')));
    box.exec();
}

void CorvaneExplorerInvoker::Close(QCloseEvent* eventP)
{
    auto* explorer = qobject_cast<CorvaneExplorer*>(sender());
    // Changes already written into a document whose save the host refused
    // count as unsaved changes too.
    if (!explorer || !explorer->IsDirty())
        return;

    QMessageBox box;
    box.setText(QStringLiteral("The projects have been modified."));
    box.setInformativeText(QStringLiteral("Do you want to save your changes?"));
    box.setDetailedText(QStringLiteral("LHS Project: %1.\nRHS Project: %2.")
                            .arg(mSession->Path(ComparisonSession::LHS), mSession->Path(ComparisonSession::RHS)));
    box.setStandardButtons(QMessageBox::SaveAll | QMessageBox::Discard | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::SaveAll);
    QPushButton* saveLeft = box.addButton(QStringLiteral("Save LHS"), QMessageBox::AcceptRole);
    QPushButton* saveRight = box.addButton(QStringLiteral("Save RHS"), QMessageBox::AcceptRole);
    saveLeft->setEnabled(explorer->IsLeftDirty());
    saveRight->setEnabled(explorer->IsRightDirty());
    // A merge saves its result to MERGED, through Save only.
    saveLeft->setVisible(!mReview);
    saveRight->setVisible(!mReview);
    box.exec();

    mRefused = false;
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == saveLeft || clicked == saveRight)
    {
        explorer->ApplyModels();
        SaveSide(clicked == saveLeft ? ComparisonSession::LHS : ComparisonSession::RHS);
    }
    else if (box.standardButton(clicked) == QMessageBox::SaveAll)
        explorer->save();
    else if (box.standardButton(clicked) != QMessageBox::Discard)
        eventP->ignore();
    // A refused save keeps the window, and with it the changes, open.
    if (mRefused)
        eventP->ignore();
}
