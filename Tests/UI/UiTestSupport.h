#pragma once

#include <QSettings>
#include <QStandardPaths>

// The settings store of the tests. Under CTest every test executable has a
// private XDG_CONFIG_HOME; run by hand without one, Qt's test mode keeps the
// tests away from the user's own settings.
inline QSettings TestSettings()
{
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"))
        QStandardPaths::setTestModeEnabled(true);
    return QSettings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
}
