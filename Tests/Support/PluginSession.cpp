#include "PluginSession.h"

#include "Main.h"
#include "MainXT.h"

#include <QDir>

PluginSession::PluginSession(bool activate)
    : mHost(std::make_unique<XTHost::HostSession>()), mPlugin(std::make_unique<XTHost::PluginHost>(*mHost))
{
    mPlugin->setResourceFolder(SourcePath(QStringLiteral("Resources")));
    mPlugin->setPreferencesFolder(mFolder.filePath(QStringLiteral("Preferences")));
    if (activate)
        Activate();
}

PluginSession::~PluginSession()
{
    mPlugin->deactivate();
    // The plug-in lets go of the host before the host goes.
    MainXT::GetInstance()->Reset();
}

XTStatus PluginSession::Activate()
{
    mStatus = mPlugin->activate(&XTActivateCallback);
    if (mStatus == 0)
        mPlugin->addMenuItems();
    return mStatus;
}

QString PluginSession::TempPath(const QString& name) const
{
    return mFolder.filePath(name);
}

XTProjectId PluginSession::Open(const QString& path)
{
    QString error;
    const XTProjectId project = mHost->openProject(path, &error);
    if (project == -1)
        qWarning("cannot open %s: %s", qPrintable(path), qPrintable(error));
    return project;
}

QString SourcePath(const QString& relative)
{
    return QDir(qEnvironmentVariable("CORVANE_SOURCE_DIR")).filePath(relative);
}
