#pragma once

// The stand-in host with the plug-in activated through its real entry point,
// as the host does it: XTActivateCallback, then the setup callback it
// registered, then the menu items. What every plug-in test starts from.

#include "HostSession.h"
#include "PluginHost.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

class PluginSession
{
public:
    // Activates the plug-in unless told not to (a test that injects a
    // failure first activates by hand through Plugin()).
    explicit PluginSession(bool activate = true);
    ~PluginSession();
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    XTHost::HostSession& Host() { return *mHost; }
    XTHost::PluginHost& Plugin() { return *mPlugin; }
    XTStatus SetupStatus() const { return mStatus; }
    bool IsActive() const { return mStatus == 0; }

    // Activates now; the setup status.
    XTStatus Activate();

    // A private folder for the test's files, gone with the session.
    QString TempPath(const QString& name) const;

    // Opens a project file; fails the calling test's QVERIFY when it cannot.
    XTProjectId Open(const QString& path);

private:
    std::unique_ptr<XTHost::HostSession> mHost;
    std::unique_ptr<XTHost::PluginHost> mPlugin;
    QTemporaryDir mFolder;
    XTStatus mStatus = -1;
};

// A file of the repository, e.g. SourcePath("Samples/harbour-gazette-v1.xprj").
QString SourcePath(const QString& relative);
