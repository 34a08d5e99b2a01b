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

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <iostream>
#include <optional>
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
                      "  --compare LEFT RIGHT  open the comparison window on two project files,\n"
                      "                      without the project picker (for git difftool)\n"
                      "  --merge BASE LOCAL REMOTE MERGED  open the window on a three-way merge of\n"
                      "                      REMOTE's changes since BASE into LOCAL (for git\n"
                      "                      mergetool); Save writes MERGED. Exit 0 when it was\n"
                      "                      saved with no conflict left unresolved, otherwise 1\n"
                      "  --help              show this text\n"
                      "\n"
                      "Without --run or --list, xthost lists the menu items and asks which one to\n"
                      "run. Exit status: 0 when the command ran, 1 when the module, a project or the\n"
                      "plug-in's setup failed, 2 for a wrong command line or an unknown command.\n"
                      "\n"
                      "The window runs the commands CORVANE_EXPLORER_ACTIONS names, one after the\n"
                      "other as each becomes available, separated by ';': a menu or toolbar\n"
                      "command's text (\"Next Conflict\", \"Copy Left\", \"Save\") or a button of\n"
                      "the window or of the question it shows (\"Save As Shown\", \"Cancel\").\n";

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
    void* Symbol(const char* name) const { return mHandle ? dlsym(mHandle, name) : nullptr; }

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

struct Options
{
    QString mModulePath = ExecutableFolder() + QStringLiteral("/CorvaneXT.so");
    QString mResources;
    QString mPreferences;
    QStringList mProjects;
    QString mCommand;
    QStringList mCompare;
    QStringList mMerge; // BASE LOCAL REMOTE MERGED
    bool mList = false;
};

// Reads the command line into options; a value is the status to exit with at
// once (after --help, or a wrong argument).
std::optional<int> ParseArguments(int argc, char** argv, Options& options)
{
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
            options.mList = true;
        else if (argument == QLatin1String("--module") && value(&options.mModulePath))
            continue;
        else if (argument == QLatin1String("--resources") && value(&options.mResources))
            continue;
        else if (argument == QLatin1String("--preferences") && value(&options.mPreferences))
            continue;
        else if (argument == QLatin1String("--run") && value(&options.mCommand))
            continue;
        else if (argument == QLatin1String("--open") && value(&project))
            options.mProjects << project;
        else if (argument == QLatin1String("--compare") && i + 2 < argc && argv[i + 1][0] != '-' &&
                 argv[i + 2][0] != '-')
        {
            options.mCompare = QStringList{QString::fromLocal8Bit(argv[i + 1]), QString::fromLocal8Bit(argv[i + 2])};
            options.mCommand = QStringLiteral("Compare Projects...");
            i += 2;
        }
        else if (argument == QLatin1String("--merge") && i + 4 < argc &&
                 std::none_of(argv + i + 1, argv + i + 5, [](const char* file) { return file[0] == '-'; }))
        {
            for (int file = 1; file <= 4; ++file)
                options.mMerge << QString::fromLocal8Bit(argv[i + file]);
            options.mCommand = QStringLiteral("Compare Projects...");
            i += 4;
        }
        else
        {
            return Fail(
                2, QStringLiteral("unexpected argument %1 (xthost --help tells the options)").arg(argument));
        }
    }
    return std::nullopt;
}

// The plug-in's resources (beside the module unless given) and the host's
// preferences folder (a per-user one unless given).
void SetUpFolders(XTHost::PluginHost& plugin, const Options& options)
{
    const QString besideModule = QFileInfo(options.mModulePath).absolutePath() + QStringLiteral("/Resources");
    plugin.setResourceFolder(options.mResources.isEmpty() ? besideModule : options.mResources);
    if (!options.mPreferences.isEmpty())
        plugin.setPreferencesFolder(options.mPreferences);
}

// 0 when every project opened, otherwise the status to exit with.
int OpenProjects(XTHost::HostSession& session, const QStringList& projects)
{
    for (const QString& path : projects)
    {
        QString error;
        if (session.openProject(path, &error) == -1)
            return Fail(1, error);
    }
    return 0;
}

// Loads the module and activates and sets up the plug-in from it; 0 when that
// went well, otherwise the status to exit with.
int LoadPlugin(Module& module, const QString& modulePath, XTHost::PluginHost& plugin,
               const XTHost::HostSession& session)
{
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
    return 0;
}

int RunCommand(XTHost::PluginHost& plugin, const QList<XTHost::PluginHost::MenuEntry>& entries,
               const QString& command)
{
    if (!HasDisplay())
    {
        return Fail(1, QStringLiteral("no display for the plug-in's windows (DISPLAY and WAYLAND_DISPLAY "
                                      "are unset); --list works without one, and QT_QPA_PLATFORM="
                                      "offscreen runs the windows unseen"));
    }
    XTStatus result = 0;
    if (!plugin.runCommand(command, &result))
    {
        ListMenu(entries);
        return Fail(2, QStringLiteral("no menu item \"%1\"").arg(command));
    }
    if (result != 0)
    {
        return Fail(
            1,
            QStringLiteral("the command failed (status 0x%1)").arg(quint32(result), 8, 16, QLatin1Char('0')));
    }
    return 0;
}

// Lists the menu items and runs the one the user picks, if any.
int AskAndRun(XTHost::PluginHost& plugin, const QList<XTHost::PluginHost::MenuEntry>& entries)
{
    ListMenu(entries);
    std::printf("Run which item (number, or q to quit)? ");
    std::fflush(stdout);
    std::string line;
    if (!std::getline(std::cin, line) || line == "q" || line.empty())
        return 0;
    bool ok = false;
    const int choice = QString::fromStdString(line).trimmed().toInt(&ok);
    if (!ok || choice < 1 || choice > entries.size())
        return Fail(2, QStringLiteral("no item %1").arg(QString::fromStdString(line)));
    plugin.runCommand(entries.at(choice - 1).mId);
    return 0;
}

// Adds the plug-in's menu items and does what the command line asks with
// them: list them, run one, or ask which to run.
int UseMenu(XTHost::PluginHost& plugin, const Options& options)
{
    plugin.addMenuItems();
    const QList<XTHost::PluginHost::MenuEntry> entries = plugin.menuEntries();
    if (options.mList)
    {
        ListMenu(entries);
        return 0;
    }
    if (!options.mCommand.isEmpty())
        return RunCommand(plugin, entries, options.mCommand);
    return AskAndRun(plugin, entries);
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const std::optional<int> exitStatus = ParseArguments(argc, argv, options))
        return *exitStatus;

    // MERGED need not exist yet; the other files must.
    for (const QString& file : options.mCompare + options.mMerge.mid(0, 3))
        if (!QFileInfo(file).isFile() && file != QLatin1String("/dev/null"))
            return Fail(1, QStringLiteral("%1: no such project file").arg(file));
    if (!options.mMerge.isEmpty() && !QFileInfo(QFileInfo(options.mMerge.at(3)).absolutePath()).isDir())
        return Fail(1,
                    QStringLiteral("%1: no such folder").arg(QFileInfo(options.mMerge.at(3)).absolutePath()));
    XTHost::HostSession session;
    XTHost::PluginHost plugin(session);
    SetUpFolders(plugin, options);
    if (const int status = OpenProjects(session, options.mProjects))
        return status;

    // Declared after the host: the module is unloaded while the host exists.
    Module module;
    if (const int status = LoadPlugin(module, options.mModulePath, plugin, session))
        return status;
    // The files --compare names go to the module before its command runs.
    using SetNextPair = void (*)(const char*, const char*);
    auto setNextPair = reinterpret_cast<SetNextPair>(module.Symbol("CorvaneSetNextPair"));
    if (!options.mCompare.isEmpty() && setNextPair)
        setNextPair(QFile::encodeName(options.mCompare.at(0)).constData(),
                    QFile::encodeName(options.mCompare.at(1)).constData());
    // The files --merge names, and where the module tells how the merge ended.
    using SetNextMerge = void (*)(const char*, const char*, const char*, const char*, int*);
    auto setNextMerge = reinterpret_cast<SetNextMerge>(module.Symbol("CorvaneSetNextMerge"));
    int mergeStatus = 1;
    if (!options.mMerge.isEmpty() && setNextMerge)
    {
        QList<QByteArray> files;
        for (const QString& file : qAsConst(options.mMerge))
            files << QFile::encodeName(file);
        setNextMerge(files.at(0).constData(), files.at(1).constData(), files.at(2).constData(),
                     files.at(3).constData(), &mergeStatus);
    }
    // The window opens LEFT (a copy of LOCAL) first: RIGHT, and a merge's
    // base after it, are read on a thread meanwhile.
    for (const QString& file : options.mCompare.mid(1) + options.mMerge.mid(2, 1) + options.mMerge.mid(0, 1))
        if (QFileInfo(file).isFile() && QFileInfo(file).size() > 0)
            session.readAhead(file);
    int status = 0;
    if (!options.mCompare.isEmpty() && !setNextPair)
        status = Fail(1, QStringLiteral("the module %1 cannot compare given files").arg(options.mModulePath));
    else if (!options.mMerge.isEmpty() && !setNextMerge)
        status = Fail(1, QStringLiteral("the module %1 cannot merge given files").arg(options.mModulePath));
    else
        status = UseMenu(plugin, options);
    plugin.deactivate();
    return status == 0 && !options.mMerge.isEmpty() ? mergeStatus : status;
}
