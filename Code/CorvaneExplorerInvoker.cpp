#include "CorvaneExplorerInvoker.h"

#include "CorvaneExplorer.h"
#include "ProjectPicker.h"
#include "ProjectTree.h"
#include "ProjectTreeProxy.h"
#include "XTCalls.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include <memory>
#include <tuple>

QStringList CorvaneExplorerInvoker::sOpenedProjects;

namespace
{

constexpr int32_t kOpenFlags = 31;
constexpr int32_t kSaveFlags = 0;
constexpr int32_t kSaveOptions = 71;
constexpr int32_t kCloseWithoutSaving = 1;

// The host's reason for the last refused open, when it gives one.
QString OpenError()
{
    if (XT::gProject->GetOpenError)
        return XT::ToQString(XT::gProject->GetOpenError());
    return QString();
}

} // namespace

XTProjectId OpenProject(QString& path)
{
    if (path.isEmpty())
        return XT::kNoProject;
    XTFileSpec file = nullptr;
    {
        XT::HostStringHolder hostPath(path);
        file = XT::gFiles->FileFromPath(hostPath.Get());
    }
    if (!file)
        return XT::kNoProject;
    const XTProjectId project = XT::gProject->OpenProjectFile(file, kOpenFlags);
    XT::gFiles->DisposeFile(file);
    return project;
}

CorvaneExplorerInvoker::CorvaneExplorerInvoker(const QString& lhsPath, const QString& rhsPath)
    : mLHSPath(lhsPath), mRHSPath(rhsPath), mLHSProject(XT::kNoProject), mRHSProject(XT::kNoProject)
{
    // The host's reason for a refused open is read right after that open:
    // the next open replaces it.
    mLHSProject = OpenProject(mLHSPath);
    if (mLHSProject == XT::kNoProject)
        mOpenError = OpenError();
    mRHSProject = OpenProject(mRHSPath);
    if (mRHSProject == XT::kNoProject && mOpenError.isEmpty())
        mOpenError = OpenError();
    sOpenedProjects.append(mLHSPath);
    sOpenedProjects.append(mRHSPath);
}

CorvaneExplorerInvoker::~CorvaneExplorerInvoker() = default;

bool CorvaneExplorerInvoker::IsInvoked(const QString& path)
{
    return sOpenedProjects.contains(path, Qt::CaseSensitive);
}

void CorvaneExplorerInvoker::Invoke()
{
    auto picker = std::make_unique<ProjectPicker>(nullptr);
    std::unique_ptr<QProgressBar> progress;
    std::unique_ptr<CorvaneExplorerInvoker> invoker;
    QString lhsPath;
    QString rhsPath;
    // A project the host cannot open would show as an empty side, as if all
    // its content were gone: say why instead, and let the user pick again.
    for (;;)
    {
        if (picker->exec() != QDialog::Accepted)
            return;

        progress = std::make_unique<QProgressBar>();
        progress->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        progress->setRange(0, 4);
        progress->show();

        lhsPath = picker->GetProjectPath(ProjectPicker::LHS);
        progress->setValue(1);
        rhsPath = picker->GetProjectPath(ProjectPicker::RHS);
        progress->setValue(2);

        invoker = std::make_unique<CorvaneExplorerInvoker>(lhsPath, rhsPath);
        if (invoker->mLHSProject != XT::kNoProject && invoker->mRHSProject != XT::kNoProject)
            break;

        progress->hide();
        const bool lhsFailed = invoker->mLHSProject == XT::kNoProject;
        const QString reason = invoker->mOpenError;
        const QString message =
            QStringLiteral("The project %1 could not be opened.").arg(lhsFailed ? lhsPath : rhsPath);
        QMessageBox::warning(nullptr, QStringLiteral("CorvaneXT"),
                             message + (reason.isEmpty() ? QString() : QStringLiteral("\n\n") + reason));
        if (invoker->mLHSProject != XT::kNoProject)
            XT::gProject->CloseProject(invoker->mLHSProject, kCloseWithoutSaving);
        if (invoker->mRHSProject != XT::kNoProject)
            XT::gProject->CloseProject(invoker->mRHSProject, kCloseWithoutSaving);
        sOpenedProjects.removeOne(lhsPath);
        sOpenedProjects.removeOne(rhsPath);
        invoker.reset();
        picker->Refuse(lhsFailed ? ProjectPicker::LHS : ProjectPicker::RHS, message);
    }

    auto tree = std::make_unique<ProjectTree>(invoker->mLHSProject, invoker->mRHSProject);
    auto proxy = std::make_unique<ProjectTreeProxy>(nullptr);
    proxy->setSourceModel(tree.get());
    progress->setValue(3);

    auto explorer = std::make_unique<CorvaneExplorer>(*proxy, nullptr);
    progress->setValue(4);
    progress->hide();

    connect(explorer.get(), &CorvaneExplorer::saveInvoked, invoker.get(), &CorvaneExplorerInvoker::Save);
    connect(explorer.get(), &CorvaneExplorer::openInvoked, invoker.get(), &CorvaneExplorerInvoker::Open);
    connect(explorer.get(), qOverload<QCloseEvent*>(&CorvaneExplorer::closeInvoked), invoker.get(),
            &CorvaneExplorerInvoker::Close);
    connect(explorer.get(), &CorvaneExplorer::sidesSwapped, invoker.get(),
            &CorvaneExplorerInvoker::SwapSides);

    // Save ends the window with result 1. When the host refuses to save, the
    // user has been told; the window comes back so the changes are not lost.
    while (explorer->exec() == 1)
    {
        invoker->mSaved = true;
        explorer->save();
        if (invoker->mSaved)
            break;
    }
    explorer->ClearPreviewCache();

    invoker->CheckSaved();
    XT::gProject->CloseProject(invoker->mLHSProject, kCloseWithoutSaving);
    XT::gProject->CloseProject(invoker->mRHSProject, kCloseWithoutSaving);
    sOpenedProjects.removeOne(lhsPath);
    sOpenedProjects.removeOne(rhsPath);

    explorer.reset();
    proxy.reset();
    tree.reset();
    invoker.reset();
    progress.reset();
    picker.reset();
}

void CorvaneExplorerInvoker::SwapSides()
{
    std::swap(mLHSProject, mRHSProject);
    std::swap(mLHSPath, mRHSPath);
}

void CorvaneExplorerInvoker::Open()
{
    Invoke();
}

bool CorvaneExplorerInvoker::SaveProject(XTProjectId project, const QString& path)
{
    if (XT::gProject->SaveProject(project, kSaveFlags, kSaveOptions) == 0)
        return true;
    mSaved = false;
    QMessageBox::warning(nullptr, QStringLiteral("CorvaneXT"),
                         QStringLiteral("The project %1 could not be saved. Its changes are still open in "
                                        "the comparison.")
                             .arg(path));
    return false;
}

void CorvaneExplorerInvoker::Save()
{
    bool saved = true;
    if (XT::gProject->IsProjectModified(mLHSProject))
    {
        const bool left = SaveProject(mLHSProject, mLHSPath);
        mSavedLeft = mSavedLeft || left;
        saved = saved && left;
    }
    if (XT::gProject->IsProjectModified(mRHSProject))
    {
        const bool right = SaveProject(mRHSProject, mRHSPath);
        mSavedRight = mSavedRight || right;
        saved = saved && right;
    }
    if (auto* explorer = qobject_cast<CorvaneExplorer*>(sender()))
    {
        TellUnsaved(*explorer);
        if (saved)
            mSavedAsked << explorer->TakeAsked();
    }
}

void CorvaneExplorerInvoker::CheckSaved()
{
    if (mSavedAsked.isEmpty())
        return;
    // A saved side is read again; the other is compared as it is open, as
    // the merge compared it.
    QStringList differing;
    for (auto [project, path, saved] : {std::make_tuple(&mLHSProject, mLHSPath, mSavedLeft),
                                        std::make_tuple(&mRHSProject, mRHSPath, mSavedRight)})
    {
        if (!saved || !differing.isEmpty())
            continue;
        XT::gProject->CloseProject(*project, kCloseWithoutSaving);
        *project = OpenProject(path);
        if (*project == XT::kNoProject)
            differing << QStringLiteral("%1 cannot be read again: %2")
                             .arg(path, XT::ToQString(XT::gProject->GetOpenError()));
    }
    if (differing.isEmpty())
    {
        ProjectTree tree(mLHSProject, mRHSProject);
        differing = Merge::StillDiffering(*tree.Root()->Child(0), mSavedAsked);
    }
    mSavedAsked.clear();
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

void CorvaneExplorerInvoker::TellUnsaved(CorvaneExplorer& explorer) const
{
    explorer.SetUnsavedInHost(mLHSProject != XT::kNoProject && XT::gProject->IsProjectModified(mLHSProject),
                              mRHSProject != XT::kNoProject && XT::gProject->IsProjectModified(mRHSProject));
}

void CorvaneExplorerInvoker::Close(QCloseEvent* eventP)
{
    auto* explorer = qobject_cast<CorvaneExplorer*>(sender());
    if (!explorer)
        return;
    // Changes already written into a document whose save the host refused
    // count as unsaved changes too.
    TellUnsaved(*explorer);
    if (!explorer->IsDirty())
        return;

    QMessageBox box;
    box.setText(QStringLiteral("The projects have been modified."));
    box.setInformativeText(QStringLiteral("Do you want to save your changes?"));
    box.setDetailedText(QStringLiteral("LHS Project: %1.\nRHS Project: %2.").arg(mLHSPath, mRHSPath));
    box.setStandardButtons(QMessageBox::SaveAll | QMessageBox::Discard | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::SaveAll);
    QPushButton* saveLeft = box.addButton(QStringLiteral("Save LHS"), QMessageBox::AcceptRole);
    QPushButton* saveRight = box.addButton(QStringLiteral("Save RHS"), QMessageBox::AcceptRole);
    saveLeft->setEnabled(explorer->IsLeftDirty());
    saveRight->setEnabled(explorer->IsRightDirty());
    box.exec();

    mSaved = true;
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == saveLeft || clicked == saveRight)
    {
        explorer->ApplyModels();
        if (clicked == saveLeft)
            SaveProject(mLHSProject, mLHSPath);
        else
            SaveProject(mRHSProject, mRHSPath);
    }
    else if (box.standardButton(clicked) == QMessageBox::SaveAll)
    {
        explorer->save();
    }
    else if (box.standardButton(clicked) == QMessageBox::Discard)
    {
        return;
    }
    else
    {
        eventP->ignore();
        return;
    }
    // A refused save keeps the window, and with it the changes, open.
    if (!mSaved)
    {
        TellUnsaved(*explorer);
        eventP->ignore();
    }
}
