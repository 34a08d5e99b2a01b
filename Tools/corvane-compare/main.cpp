// corvane-compare: the comparison of two projects as a report, for people and
// for scripts and CI. The same plug-in code as the explorer, activated in a
// stand-in host of its own: the comparison tree with every pair's status, and
// on request the patch table rows of every edited pair, written as text, JSON
// or HTML.

#include "ComparisonReport.h"
#include "UserSettings.h"
#include "HtmlReport.h"
#include "JsonReport.h"
#include "TextConv.h"
#include "TextReport.h"

#include "EmptyProject.h"
#include "Merge.h"
#include "PhaseTimes.h"

#include "HostSession.h"
#include "Main.h"
#include "MainXT.h"
#include "PluginHost.h"
#include "ProjectTree.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

const char kUsage[] = "usage: corvane-compare [OPTION]... LEFT RIGHT\n"
                      "       corvane-compare --textconv FILE\n"
                      "\n"
                      "Compares two project files and prints the comparison tree: the two files,\n"
                      "then one line per item with its status (= identical, ~ edited, < only\n"
                      "left, > only right), and the number of items that differ. An item that\n"
                      "holds differing items ends with their counts in brackets: [~2 <1 >3] is\n"
                      "2 edited, 1 only left and 3 only right below it.\n"
                      "\n"
                      "  --format=FORMAT  text (the default), json or html\n"
                      "  --rows           also print the patch table rows of every edited item\n"
                      "  --all            also list identical items and empty folders\n"
                      "  --ignore-formatting  compare story text only, not its formatting\n"
                      "  --quiet, -q      no legend at the top of a text report\n"
                      "  --color[=WHEN]   mark changes in rows with colour: auto (on a terminal,\n"
                      "                   the default), always (--color alone) or never\n"
                      "  --output=FILE    write the report to FILE instead of the standard output\n"
                      "  --textconv FILE  print one project as text, a line per item and property\n"
                      "                   and a story's text a paragraph per line (for git's\n"
                      "                   diff.<driver>.textconv)\n"
                      "  --help           print this help\n"
                      "\n"
                      "The JSON report follows report.schema.json (\"schema\": 2). When LEFT and\n"
                      "RIGHT name the same file, the file is compared with itself: identical.\n"
                      "/dev/null or an empty file is a project with nothing in it, as version\n"
                      "control tools name a side that does not exist.\n"
                      "\n"
                      "Exit status: 0 when the projects are identical, 1 when they differ, 2 on\n"
                      "trouble: a wrong command line, a file that is missing, a folder or not a\n"
                      "project, an output that cannot be written.\n";

enum class Format
{
    Text,
    Json,
    Html
};

struct Options
{
    Format mFormat = Format::Text;
    bool mRows = false;
    bool mIgnoreFormatting = false;
    bool mAll = false;
    bool mQuiet = false;
    QString mColor = QStringLiteral("auto");
    QString mOutput;
    QStringList mFiles;
    QString mTextConv;
    bool mHelp = false;
};

// Prints a refusal and gives the status that goes with it.
int Refuse(const QString& message, bool withUsageHint = false)
{
    std::fprintf(stderr, "corvane-compare: %s\n", qPrintable(message));
    if (withUsageHint)
        std::fputs("Try 'corvane-compare --help'.\n", stderr);
    return 2;
}

// Reads the command line; an empty result is success, otherwise the message
// of what is wrong, naming the option.
QString Parse(const QStringList& arguments, Options& options)
{
    bool filesOnly = false;
    for (int i = 0; i < arguments.size(); ++i)
    {
        const QString& argument = arguments.at(i);
        if (filesOnly || argument == QLatin1String("-") || !argument.startsWith(QLatin1Char('-')))
        {
            options.mFiles << argument;
            continue;
        }
        if (argument == QLatin1String("--"))
        {
            filesOnly = true;
            continue;
        }
        const int equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals > 0 ? argument.left(equals) : argument;
        const bool hasValue = equals > 0;
        const QString inlineValue = hasValue ? argument.mid(equals + 1) : QString();
        auto value = [&](QString& into) -> bool
        {
            if (hasValue)
            {
                into = inlineValue;
                return true;
            }
            if (i + 1 >= arguments.size())
                return false;
            into = arguments.at(++i);
            return true;
        };
        auto flag = [&](bool& into) -> QString
        {
            if (hasValue)
                return QStringLiteral("option '%1' takes no value").arg(name);
            into = true;
            return QString();
        };

        if (name == QLatin1String("--help") || name == QLatin1String("-h"))
        {
            const QString error = flag(options.mHelp);
            if (!error.isEmpty())
                return error;
        }
        else if (name == QLatin1String("--rows") || name == QLatin1String("--all") ||
                 name == QLatin1String("--quiet") || name == QLatin1String("-q") ||
                 name == QLatin1String("--ignore-formatting"))
        {
            bool& into = name == QLatin1String("--rows")                ? options.mRows
                         : name == QLatin1String("--all")               ? options.mAll
                         : name == QLatin1String("--ignore-formatting") ? options.mIgnoreFormatting
                                                                        : options.mQuiet;
            const QString error = flag(into);
            if (!error.isEmpty())
                return error;
        }
        else if (name == QLatin1String("--format"))
        {
            QString format;
            if (!value(format))
                return QStringLiteral("option '--format' needs a value: text, json or html");
            if (format == QLatin1String("text"))
                options.mFormat = Format::Text;
            else if (format == QLatin1String("json"))
                options.mFormat = Format::Json;
            else if (format == QLatin1String("html"))
                options.mFormat = Format::Html;
            else
                return QStringLiteral("option '--format': '%1' is not text, json or html").arg(format);
        }
        else if (name == QLatin1String("--color") || name == QLatin1String("--colour"))
        {
            // Alone it means always, as for diff and ls; the next argument is
            // a file, not its value.
            options.mColor = hasValue ? inlineValue : QStringLiteral("always");
            if (options.mColor != QLatin1String("auto") && options.mColor != QLatin1String("always") &&
                options.mColor != QLatin1String("never"))
                return QStringLiteral("option '%1': '%2' is not auto, always or never")
                    .arg(name, options.mColor);
        }
        else if (name == QLatin1String("--textconv"))
        {
            if (!value(options.mTextConv) || options.mTextConv.isEmpty())
                return QStringLiteral("option '--textconv' needs a project file");
        }
        else if (name == QLatin1String("--output") || name == QLatin1String("-o"))
        {
            if (!value(options.mOutput) || options.mOutput.isEmpty())
                return QStringLiteral("option '%1' needs a file name").arg(name);
        }
        else
        {
            return QStringLiteral("unknown option '%1'").arg(name);
        }
    }
    return QString();
}

// Whether two paths name one file (the same path, a link, another spelling).
bool SameFile(const QString& a, const QString& b)
{
    struct stat first = {};
    struct stat second = {};
    if (stat(QFile::encodeName(a).constData(), &first) != 0 ||
        stat(QFile::encodeName(b).constData(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// What is wrong with a project argument before the host reads it; empty when
// nothing is.
QString CheckInput(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1: no such file").arg(path);
    if (info.isDir())
        return QStringLiteral("%1: is a folder, not a project file").arg(path);
    return QString();
}

void Write(const Options& options, const ComparisonReport& report, QTextStream& out, bool color)
{
    switch (options.mFormat)
    {
    case Format::Text:
        TextReport{options.mRows, options.mQuiet, color}.Write(report, out);
        break;
    case Format::Json:
        JsonReport{options.mRows}.Write(report, out);
        break;
    case Format::Html:
        HtmlReport{options.mRows}.Write(report, out);
        break;
    }
}

// Refuses a command line whose files will not do (not two, one missing or a
// folder, an output over an input); 0 when they will.
int CheckFiles(const Options& options)
{
    if (!options.mTextConv.isEmpty())
    {
        if (!options.mFiles.isEmpty())
            return Refuse(QStringLiteral("--textconv prints one project: name no other file"), true);
        const QString problem = CheckInput(options.mTextConv);
        return problem.isEmpty() ? 0 : Refuse(problem);
    }
    if (options.mFiles.size() != 2)
        return Refuse(
            QStringLiteral("expected two project files, LEFT and RIGHT, got %1").arg(options.mFiles.size()),
            true);
    for (const QString& file : qAsConst(options.mFiles))
    {
        const QString problem = CheckInput(file);
        if (!problem.isEmpty())
            return Refuse(problem);
    }
    if (!options.mOutput.isEmpty())
    {
        if (QFileInfo(options.mOutput).isDir())
            return Refuse(QStringLiteral("%1: the output is a folder").arg(options.mOutput));
        for (const QString& file : qAsConst(options.mFiles))
            if (SameFile(options.mOutput, file))
                return Refuse(QStringLiteral("%1: the output is also an input, which it would overwrite")
                                  .arg(options.mOutput));
    }
    return 0;
}

// Opens LEFT and RIGHT in the host; 0 when both opened, otherwise the refusal.
int OpenProjects(XTHost::HostSession& host, QStringList files, XTProjectId projects[2],
                 const QTemporaryDir& emptyFolder)
{
    // A side that does not exist (git names /dev/null for it) is a project
    // with nothing in it.
    for (int side = 0; side < 2; ++side)
        if (EmptyProject::IsEmptySide(files.at(side)))
        {
            const QString empty =
                EmptyProject::Write(emptyFolder, side == 0 ? QStringLiteral("left") : QStringLiteral("right"));
            if (empty.isEmpty())
                return Refuse(QStringLiteral("cannot write an empty project in place of %1").arg(files.at(side)));
            files[side] = empty;
        }
    // A file compared with itself is identical, like "diff a a": the host
    // opens it once and the tree pairs it with itself.
    const bool itself = SameFile(files[0], files[1]);
    // RIGHT is read on a thread of its own while LEFT is read.
    if (!itself)
        host.readAhead(files[1]);
    for (int side = 0; side < 2; ++side)
    {
        if (side == 1 && itself)
        {
            projects[1] = projects[0];
            break;
        }
        QString openError;
        projects[side] = host.openProject(files.at(side), &openError);
        if (projects[side] == -1)
        {
            MainXT::GetInstance()->Reset();
            return Refuse(openError);
        }
    }
    return 0;
}

// Whether a report marks changes in colour rather than with brackets.
bool UseColor(const Options& options)
{
    const bool toTerminal = options.mOutput.isEmpty() && isatty(STDOUT_FILENO);
    return options.mFormat == Format::Text && options.mRows &&
           (options.mColor == QLatin1String("always") ||
            (options.mColor == QLatin1String("auto") && toTerminal));
}

// Writes the report to the standard output or the output file; 0, or the
// refusal when the file could not be written.
int Output(const Options& options, const ComparisonReport& report, bool color)
{
    if (options.mOutput.isEmpty())
    {
        QTextStream out(stdout);
        out.setCodec("UTF-8");
        Write(options, report, out, color);
        return 0;
    }
    // Written whole or not at all: a failed run leaves no half report.
    QSaveFile file(options.mOutput);
    if (file.open(QIODevice::WriteOnly))
    {
        QTextStream out(&file);
        out.setCodec("UTF-8");
        Write(options, report, out, color);
        out.flush();
    }
    if (!file.commit())
        return Refuse(QStringLiteral("%1: %2").arg(options.mOutput, file.errorString()));
    return 0;
}

// Ends the run with its status. Only a build that checks for leaks frees the
// comparison first.
int Finish(int code, std::unique_ptr<ProjectTree> tree)
{
    XTHost::EndWithoutUnwinding(code);
    tree.reset();
    MainXT::GetInstance()->Reset();
    return code;
}

// Prints one project as text (--textconv); the exit status. `tree` keeps
// the comparison until the run ends.
int PrintAsText(XTHost::HostSession& host, const QString& file, std::unique_ptr<ProjectTree>& tree)
{
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    // An empty file is a project with nothing in it: nothing to print.
    if (EmptyProject::IsEmptySide(file))
        return 0;
    QString openError;
    const XTProjectId project = host.openProject(file, &openError);
    if (project == -1)
        return Refuse(openError);
    // The project compared with itself: every item is a pair of one item.
    tree = std::make_unique<ProjectTree>(project, project);
    TextConv::Write(*tree->Root()->Child(0), out);
    out.flush();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    Options options;
    const QString error = Parse(application.arguments().mid(1), options);
    if (!error.isEmpty())
        return Refuse(error, true);
    if (options.mHelp)
    {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (const int refused = CheckFiles(options))
        return refused;

    XTHost::HostSession host;
    XTHost::PluginHost plugin(host);
    if (qEnvironmentVariableIsEmpty("XTHOST_RESOURCES"))
        plugin.setResourceFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/Resources"));
    if (plugin.activate(&XTActivateCallback) != 0)
        return Refuse(QStringLiteral("the plug-in's setup failed: %1").arg(host.lastError()));
    if (!options.mTextConv.isEmpty())
    {
        std::unique_ptr<ProjectTree> tree;
        const int status = PrintAsText(host, options.mTextConv, tree);
        plugin.deactivate();
        return Finish(status, std::move(tree));
    }
    XTProjectId projects[2];
    QTemporaryDir emptyFolder;
    PhaseTimes::Start();
    if (const int refused = OpenProjects(host, options.mFiles, projects, emptyFolder))
        return refused;
    PhaseTimes::Mark("open");
    // What it held is read: the run exits without unwinding.
    emptyFolder.remove();

    if (options.mIgnoreFormatting)
        UserSettings::Get().SetCompareFormatting(false, false);
    const bool color = UseColor(options);
    int differences = 0;
    int status = 0;
    auto tree = std::make_unique<ProjectTree>(projects[0], projects[1]);
    PhaseTimes::Mark("pair");
    {
        const ComparisonReport report =
            ComparisonReport::Make(options.mFiles[0], options.mFiles[1], *tree, options.mRows, options.mAll);
        differences = report.mDifferences;
        status = Output(options, report, color);
    }
    PhaseTimes::Mark("report");
    plugin.deactivate();
    return Finish(status ? status : (differences ? 1 : 0), std::move(tree));
}
