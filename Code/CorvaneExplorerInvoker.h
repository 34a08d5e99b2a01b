#pragma once

#include "Merge.h"

#include "XTTypes.h"

#include <QObject>
#include <QString>
#include <QStringList>

class CorvaneExplorer;
class QCloseEvent;

// One comparison: opens the two projects in the host, runs the explorer over
// them, saves and asks about unsaved changes when the window asks, and closes
// the projects at the end.
class CorvaneExplorerInvoker : public QObject
{
    Q_OBJECT

public:
    CorvaneExplorerInvoker(const QString& lhsPath, const QString& rhsPath);
    ~CorvaneExplorerInvoker() override;

    // Runs one comparison from the project picker to the closing of both
    // projects.
    static void Invoke();

    // Whether a running comparison has this project open.
    static bool IsInvoked(const QString& path);

    XTProjectId LHSProject() const { return mLHSProject; }
    XTProjectId RHSProject() const { return mRHSProject; }

public slots:
    void Open();
    void Save();
    void Close(QCloseEvent* eventP);
    // The window swapped its sides: LHS and RHS trade projects and paths.
    void SwapSides();

private:
    // Saves one project; tells the user and answers false when the host
    // refuses.
    bool SaveProject(XTProjectId project, const QString& path);
    // Tells the window which project holds written rows that are not saved.
    void TellUnsaved(CorvaneExplorer& explorer) const;
    // Once the window is done: opens what was saved again, compares it,
    // and tells the user of each item that does not read as the merge left
    // it.
    void CheckSaved();

    QString mLHSPath;
    QString mRHSPath;
    XTProjectId mLHSProject;
    XTProjectId mRHSProject;
    // Whether every save asked of this comparison went through.
    bool mSaved = true;
    // Why the host could not open a project, as it said right after the open.
    QString mOpenError;
    // What the saved copies were to make equal, and the sides saved.
    QList<Merge::Asked> mSavedAsked;
    bool mSavedLeft = false;
    bool mSavedRight = false;

    static QStringList sOpenedProjects;
};

// Opens a project file in the host; -1 when the path is empty or the host
// cannot open it.
XTProjectId OpenProject(QString& path);
