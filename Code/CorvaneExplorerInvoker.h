#pragma once

#include "XTTypes.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class ComparisonSession;
class QCloseEvent;

// One comparison run from the project picker to the closing of both
// projects: it owns the comparison session, runs the explorer over it, saves
// when the window asks and asks about unsaved changes when it closes.
class CorvaneExplorerInvoker : public QObject
{
    Q_OBJECT

public:
    // Opens both projects; Session().IsOpen() tells whether they opened.
    CorvaneExplorerInvoker(const QString& lhsPath, const QString& rhsPath);
    ~CorvaneExplorerInvoker() override;

    // Runs one comparison from the project picker to the closing of both
    // projects.
    static void Invoke();
    // The two files the next Invoke compares, without the picker (xthost
    // --compare, as git difftool runs it). /dev/null or an empty file is a
    // project with nothing in it.
    static void SetNextPair(const QString& lhsPath, const QString& rhsPath);

    // Whether a running comparison has this project open.
    static bool IsInvoked(const QString& path);

    ComparisonSession& Session() const { return *mSession; }
    XTProjectId LHSProject() const;
    XTProjectId RHSProject() const;

public slots:
    void Open();
    // Saves each project that holds changes; tells the user of a refusal
    // and answers false then.
    bool Save();
    void Close(QCloseEvent* eventP);

private:
    // The picker until the user picks two projects that open, or cancels
    // (null).
    static std::unique_ptr<CorvaneExplorerInvoker> Pick();
    // The explorer over the open comparison, until it closes.
    void Run();
    bool SaveSide(int side);
    // Once the window is done: opens what was saved again, compares it, and
    // tells the user of each item that does not read as the merge left it.
    void CheckSaved();

    std::unique_ptr<ComparisonSession> mSession;
    // The paths this comparison holds in the list of running ones.
    QStringList mListed;
    // Whether a save asked of this comparison was refused.
    bool mRefused = false;
    // Whether a Save went through, so that what it wrote is checked at the
    // end, also when it changed no document.
    bool mChecked = false;

    static QStringList sOpenedProjects;
    static QStringList sNextPair;
};
