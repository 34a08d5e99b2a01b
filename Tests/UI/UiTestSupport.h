#pragma once

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>

#include <functional>

// The settings store of the tests. Under CTest every test executable has a
// private XDG_CONFIG_HOME; run by hand without one, Qt's test mode keeps the
// tests away from the user's own settings.
inline QSettings TestSettings()
{
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"))
        QStandardPaths::setTestModeEnabled(true);
    return QSettings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
}

// Runs `action` on the application's modal dialog of type T as soon as one is
// shown, from inside that dialog's event loop.
template <typename T> void WhenModal(std::function<void(T*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout,
                     [timer, action]()
                     {
                         if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget()))
                         {
                             timer->stop();
                             timer->deleteLater();
                             action(dialog);
                         }
                     });
    timer->start();
}

template <typename T> T* Child(const QWidget& parent, const char* name)
{
    T* child = parent.findChild<T*>(QLatin1String(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}
