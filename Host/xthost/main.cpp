// xthost: the stand-in host as a program. Loads a plug-in module, activates
// and sets it up, lists the menu items it adds and runs one of its commands,
// then deactivates and unloads it.
//
// It makes no Qt application object of its own: a plug-in makes one for each
// command it runs.

#include "HostSession.h"
#include "PluginHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <iostream>
#include <string>
#include <unistd.h>

namespace
{

const char kUsage[] = "usage: xthost [options]\n"
                      "\n"
                      "Loads a plug-in module, activates it, lists the menu items it adds and runs\n"
                      "one of its commands.\n"
                      "\n"
                      "  --module PATH       the plug-in module (default: CorvaneXT.so beside xthost)\n"
                      "  --resources DIR     the plug-in's resource folder (default: Resources beside\n"
                      "                      the module)\n"
                      "  --preferences DIR   the host's preferences folder (default: a per-user folder\n"
                      "                      under the XDG configuration folder)\n"
                      "  --open FILE         open a project before the command (repeatable)\n"
                      "  --list              list the plug-in's menu items and exit\n"
                      "  --run TEXT          run the menu item with this text (its own text, or its\n"
                      "                      whole path as --list shows it)\n"
                      "  --help              show this text\n"
                      "\n"
                      "Without --run or --list, xthost lists the menu items and asks which one to\n"
                      "run. Exit status: 0 when the command ran, 1 when the module, a project or the\n"
                      "plug-in's setup failed, 2 for a wrong command line or an unknown command.\n";

int Fail(int status, const QString& message)
{
    std::fprintf(stderr, "xthost: %s\n", qPrintable(message));
    return status;
}

// Whether Qt can open windows here: without one the plug-in's first window
// aborts the process.
bool HasDisplay()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QString ExecutableFolder()
{
    char path[4096] = {0};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return QDir::currentPath();
    return QFileInfo(QString::fromLocal8Bit(path, int(length))).absolutePath();
}

// The loaded module; unloading runs the plug-in's own destructors, so it must
// happen while the host still exists.
class Module
{
public:
    ~Module()
    {
        if (mHandle)
            dlclose(mHandle);
    }

    bool Load(const QString& path, QString* error)
    {
        mHandle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!mHandle)
        {
            *error =
                QStringLiteral("cannot load the module %1: %2").arg(path, QString::fromLocal8Bit(dlerror()));
            return false;
        }
        mEntry = reinterpret_cast<XTHost::XTActivateProc>(dlsym(mHandle, "XTActivateCallback"));
        if (!mEntry)
        {
            *error = QStringLiteral("%1 is not a plug-in module: it exports no XTActivateCallback").arg(path);
            return false;
        }
        return true;
    }

    XTHost::XTActivateProc Entry() const { return mEntry; }

private:
    void* mHandle = nullptr;
    XTHost::XTActivateProc mEntry = nullptr;
};

void ListMenu(const QList<XTHost::PluginHost::MenuEntry>& entries)
{
    for (int i = 0; i < entries.size(); ++i)
        std::printf("%d. %s\n", i + 1, qPrintable(entries.at(i).mPath));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QString modulePath = ExecutableFolder() + QStringLiteral("/CorvaneXT.so");
    QString resources;
    QString preferences;
    QStringList projects;
    QString command;
    bool list = false;

    for (int i = 1; i < argc; ++i)
    {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        auto value = [&](QString* target)
        {
            if (i + 1 >= argc)
                return false;
            *target = QString::fromLocal8Bit(argv[++i]);
            return true;
        };
        QString project;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
        {
            std::fputs(kUsage, stdout);
            return 0;
        }
        else if (argument == QLatin1String("--list"))
            list = true;
        else if (argument == QLatin1String("--module") && value(&modulePath))
            continue;
        else if (argument == QLatin1String("--resources") && value(&resources))
            continue;
        else if (argument == QLatin1String("--preferences") && value(&preferences))
            continue;
        else if (argument == QLatin1String("--run") && value(&command))
            continue;
        else if (argument == QLatin1String("--open") && value(&project))
            projects << project;
        else
        {
            return Fail(
                2, QStringLiteral("unexpected argument %1 (xthost --help tells the options)").arg(argument));
        }
    }

    XTHost::HostSession session;
    XTHost::PluginHost plugin(session);
    plugin.setResourceFolder(resources.isEmpty()
                                 ? QFileInfo(modulePath).absolutePath() + QStringLiteral("/Resources")
                                 : resources);
    if (!preferences.isEmpty())
        plugin.setPreferencesFolder(preferences);

    for (const QString& path : projects)
    {
        QString error;
        if (session.openProject(path, &error) == -1)
            return Fail(1, error);
    }

    int status = 0;
    {
        Module module;
        QString error;
        if (!module.Load(modulePath, &error))
            return Fail(1, error);

        const XTStatus setup = plugin.activate(module.Entry());
        if (setup != 0)
        {
            const QString reason = session.lastError();
            return Fail(1, QStringLiteral("the plug-in's activation or setup failed (status 0x%1)%2")
                               .arg(quint32(setup), 8, 16, QLatin1Char('0'))
                               .arg(reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
        }
        plugin.addMenuItems();
        const QList<XTHost::PluginHost::MenuEntry> entries = plugin.menuEntries();

        if (list)
        {
            ListMenu(entries);
        }
        else if (!command.isEmpty() && !HasDisplay())
        {
            status =
                Fail(1, QStringLiteral("no display for the plug-in's windows (DISPLAY and WAYLAND_DISPLAY "
                                       "are unset); --list works without one, and QT_QPA_PLATFORM="
                                       "offscreen runs the windows unseen"));
        }
        else if (!command.isEmpty())
        {
            XTStatus result = 0;
            if (!plugin.runCommand(command, &result))
            {
                ListMenu(entries);
                status = Fail(2, QStringLiteral("no menu item \"%1\"").arg(command));
            }
            else if (result != 0)
            {
                status = Fail(1, QStringLiteral("the command failed (status 0x%1)")
                                     .arg(quint32(result), 8, 16, QLatin1Char('0')));
            }
        }
        else
        {
            ListMenu(entries);
            std::printf("Run which item (number, or q to quit)? ");
            std::fflush(stdout);
            std::string line;
            if (std::getline(std::cin, line) && line != "q" && !line.empty())
            {
                bool ok = false;
                const int choice = QString::fromStdString(line).trimmed().toInt(&ok);
                if (!ok || choice < 1 || choice > entries.size())
                    status = Fail(2, QStringLiteral("no item %1").arg(QString::fromStdString(line)));
                else
                    plugin.runCommand(entries.at(choice - 1).mId);
            }
        }
        plugin.deactivate();
    }
    return status;
}
