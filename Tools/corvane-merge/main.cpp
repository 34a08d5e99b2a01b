// corvane-merge: a merge without a window, for scripts and CI. The same
// plug-in code as the explorer, activated in a stand-in host of its own: the
// comparison tree, one patch table per differing pair, every copyable row
// marked one way, written into the documents in tree order as the explorer's
// Save writes them, and the destination saved through the host.

#include "ComparisonSession.h"
#include "DiffModel.h"
#include "HostSession.h"
#include "Main.h"
#include "MainXT.h"
#include "Merge.h"
#include "MergeLog.h"
#include "PluginHost.h"
#include "ProjectTree.h"
#include "ThreeWayMerge.h"
#include "ThreeWayRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace
{

const char kUsage[] =
    "usage: corvane-merge --take left|right [--only KIND|PATH]... [--log FILE] [--dry-run] LEFT RIGHT\n"
    "       corvane-merge --replay LOG [--log FILE] [--dry-run] LEFT RIGHT\n"
    "       corvane-merge --base BASE [--output FILE] [--log FILE] [--prefer left|right]\n"
    "                     [--dry-run] LEFT RIGHT\n"
    "\n"
    "Copies the differences of two project files one way and saves the project\n"
    "that changed, as Copy All and Save in the comparison window do.\n"
    "\n"
    "  --take left    the RHS takes the LHS content: RIGHT is written\n"
    "  --take right   the LHS takes the RHS content: LEFT is written\n"
    "  --only WHAT    only these items: a kind (stories, boxes, layouts, spreads,\n"
    "                 pages, assets, or an asset kind: colours, paragraphStyles...,\n"
    "                 or its folder's name) or an item's path in the tree, the\n"
    "                 labels joined by \"/\" as corvane-compare prints them\n"
    "                 (\"Stories/Story 3\"); an item selects what lies below it.\n"
    "                 Repeat it to select more.\n"
    "  --log FILE     write the merge log (JSON) of every row copied\n"
    "  --replay LOG   apply a merge log to this pair: a decision whose rows still\n"
    "                 read as logged is applied, one whose text changed since is\n"
    "                 a conflict and skipped; a three-way merge's log also repeats\n"
    "                 its merges within rows, where the rows still read as logged\n"
    "  --dry-run      print what would be copied; write nothing\n"
    "\n"
    "With --base, a three-way merge: the changes from BASE to RIGHT merged into\n"
    "LEFT's content, written to LEFT (or --output FILE), as git's merge driver\n"
    "does (\"corvane-merge --base %O %A %B\"). What only one side changed is taken\n"
    "from it, the same change on both sides once; stories merge as text where\n"
    "the two sides' edits do not touch the same stretch of the base. A change\n"
    "both sides made differently is a conflict: LEFT's version stands (RIGHT's\n"
    "with --prefer right) and the conflict is listed with its three versions.\n"
    "/dev/null or an empty file is a project with nothing in it. Exit status\n"
    "0 merged cleanly, 1 conflicts, 2 trouble (nothing written).\n"
    "\n"
    "What was saved is read again and compared: an item the merge was to make\n"
    "equal that still differs is named (\"! still differs\").\n"
    "\n"
    "Exit status: 0 when everything asked was merged (or there was nothing to\n"
    "do), 1 when something could not be copied, was refused or conflicted, or\n"
    "still differs once saved, 2 when\n"
    "the command line is wrong, a file cannot be read or a project cannot be\n"
    "saved; with 2 nothing is written.\n";

// Trouble: the command cannot run as asked. Thrown before anything is
// written; main reports it and exits with 2.
struct Trouble
{
    explicit Trouble(QString message) : mMessage(std::move(message)) {}
    QString mMessage;
};

int Fail(const Trouble& trouble)
{
    std::fprintf(stderr, "corvane-merge: %s\n", qPrintable(trouble.mMessage));
    return 2;
}

QString OneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QChar(0xB6));
    text.replace(QLatin1Char('\n'), QChar(0xB6));
    return text;
}

QString Side(ApplyDirection direction)
{
    return direction == Left ? QStringLiteral("LHS") : QStringLiteral("RHS");
}

struct Options
{
    QString take;
    QStringList only;
    QString log;
    QString replay;
    QString base;
    QString output;
    QString prefer;
    bool dryRun = false;
    QStringList files;
};

// The options a three-way merge does not take.
void CheckThreeWay(const Options& options)
{
    if (!options.prefer.isEmpty() && options.prefer != QLatin1String("left") && options.prefer != QLatin1String("right"))
        throw Trouble(QStringLiteral("--prefer takes left or right, not \"%1\"").arg(options.prefer));
    if (!options.take.isEmpty() || !options.only.isEmpty() || !options.replay.isEmpty())
        throw Trouble(
            QStringLiteral("--base merges every change of both sides: leave out --take, --only and --replay"));
}

Options Parse(const QStringList& arguments)
{
    Options options;
    for (int i = 0; i < arguments.size(); ++i)
    {
        const QString& argument = arguments.at(i);
        auto value = [&](const QString& name) -> QString
        {
            if (argument.startsWith(name + QLatin1Char('=')))
                return argument.mid(name.size() + 1);
            if (i + 1 >= arguments.size())
                throw Trouble(QStringLiteral("%1 needs a value").arg(name));
            return arguments.at(++i);
        };
        auto is = [&](const char* name) {
            return argument == QLatin1String(name) ||
                   argument.startsWith(QLatin1String(name) + QLatin1Char('='));
        };
        if (is("--take"))
        {
            if (!options.take.isEmpty())
                throw Trouble(QStringLiteral("--take is given twice"));
            options.take = value(QStringLiteral("--take"));
            if (options.take != QLatin1String("left") && options.take != QLatin1String("right"))
                throw Trouble(QStringLiteral("--take takes left or right, not \"%1\"").arg(options.take));
        }
        else if (is("--only"))
            options.only << value(QStringLiteral("--only"));
        else if (is("--log"))
            options.log = value(QStringLiteral("--log"));
        else if (is("--replay"))
            options.replay = value(QStringLiteral("--replay"));
        else if (is("--base"))
            options.base = value(QStringLiteral("--base"));
        else if (is("--output"))
            options.output = value(QStringLiteral("--output"));
        else if (is("--prefer"))
            options.prefer = value(QStringLiteral("--prefer"));
        else if (argument == QLatin1String("--dry-run"))
            options.dryRun = true;
        else if (argument == QLatin1String("--"))
        {
            options.files << arguments.mid(i + 1);
            break;
        }
        else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1)
            throw Trouble(
                QStringLiteral("unknown option %1 (corvane-merge --help lists them)").arg(argument));
        else
            options.files << argument;
    }
    if (options.files.size() != 2)
        throw Trouble(
            QStringLiteral("name two project files, LEFT and RIGHT (%1 given)").arg(options.files.size()));
    if (!options.base.isEmpty())
        CheckThreeWay(options);
    else if (!options.output.isEmpty() || !options.prefer.isEmpty())
        throw Trouble(QStringLiteral("--output and --prefer belong to a three-way merge: name its --base"));
    else if (!options.replay.isEmpty())
    {
        if (!options.take.isEmpty())
            throw Trouble(
                QStringLiteral("--replay takes each decision's direction from the log: leave out --take"));
        if (!options.only.isEmpty())
            throw Trouble(QStringLiteral("--replay applies the whole log: leave out --only"));
    }
    else if (options.take.isEmpty())
        throw Trouble(QStringLiteral("say which side's content to take: --take left or --take right"));

    for (const QString& file : options.files + QStringList{options.base})
    {
        if (file.isEmpty())
            continue;
        const QFileInfo info(file);
        if (!info.exists())
            throw Trouble(QStringLiteral("%1: no such file").arg(file));
        if (info.isDir())
            throw Trouble(QStringLiteral("%1: is a directory, not a project file").arg(file));
    }
    const QString left = QFileInfo(options.files.at(0)).canonicalFilePath();
    const QString right = QFileInfo(options.files.at(1)).canonicalFilePath();
    if (left == right && options.base.isEmpty())
        throw Trouble(
            QStringLiteral("LEFT and RIGHT are the same file (%1): there is nothing to merge").arg(left));
    if (!options.log.isEmpty())
    {
        const QFileInfo info(options.log);
        if (info.isDir())
            throw Trouble(QStringLiteral("--log %1: is a directory").arg(options.log));
        if (!info.absoluteDir().exists())
            throw Trouble(QStringLiteral("--log %1: its folder does not exist").arg(options.log));
        const QString log = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
        if (log == left || log == right || log == QFileInfo(options.base).canonicalFilePath())
            throw Trouble(QStringLiteral("--log %1: is one of the projects").arg(options.log));
    }
    return options;
}

// The names --only knows as kinds, lower case.
bool IsKindName(const QString& value, const QSet<QString>& folders)
{
    static const QSet<QString> kinds{QStringLiteral("stories"), QStringLiteral("boxes"),
                                     QStringLiteral("layouts"), QStringLiteral("spreads"),
                                     QStringLiteral("pages"),   QStringLiteral("assets"),
                                     QStringLiteral("colors")};
    const QString lower = value.toLower();
    if (kinds.contains(lower) || folders.contains(lower))
        return true;
    for (long kind = 1; kind <= 18; ++kind)
        if (::Asset::KindName(kind).toLower() == lower)
            return true;
    return false;
}

// The label of the folder an asset pair lies in ("Colors"), lower case.
QString AssetFolder(ProjectTreeNodeBase& node)
{
    auto* folder = dynamic_cast<ProjectTreeNodeBase*>(node.mParent);
    return folder && dynamic_cast<PlaceholderNode*>(folder) ? folder->Data(0).toString().toLower()
                                                            : QString();
}

bool KindMatches(ProjectTreeNodeBase& node, const QString& value)
{
    const QString kind = Merge::KindOf(node).toLower();
    const QString wanted = value.toLower();
    const bool asset = dynamic_cast<ProjectTreeNode<::Asset>*>(&node) != nullptr;
    if (wanted == kind || (wanted == QLatin1String("colors") && kind == QLatin1String("colours")))
        return true;
    return asset && (wanted == QLatin1String("assets") || wanted == AssetFolder(node));
}

struct Report
{
    QTextStream& out;
    ProjectTreeNodeBase* lastItem = nullptr;

    void Item(ProjectTreeNodeBase& node, const QString& note)
    {
        if (lastItem == &node)
            return;
        lastItem = &node;
        QString mark = QStringLiteral("~");
        if (node.NodeType() == OnlyInLeft)
            mark = QStringLiteral("<");
        else if (node.NodeType() == OnlyInRight)
            mark = QStringLiteral(">");
        out << mark << ' ' << Merge::PathOf(node) << note << '\n';
    }

    void Row(const Merge::Decision& decision)
    {
        const QString label = decision.mLabel.isEmpty() ? QString() : QStringLiteral(" ") + decision.mLabel;
        out << "    row " << decision.mRow << label << " to the " << Side(decision.mDirection) << '\n'
            << "      - " << OneLine(decision.mBefore) << '\n'
            << "      + " << OneLine(decision.mAfter) << '\n';
    }
};

// Marks every copyable row of the pairs --only selects (all without it) one
// way, as Copy All in the window does; the number of differences no copy
// reaches.
int MarkCopyAll(ComparisonSession& session, const Options& options, QTextStream& out)
{
    const std::vector<ProjectTreeNodeBase*> pairs = Merge::PairsInTreeOrder(session.ProjectPair());
    // What --only names: kinds, or items by path, each of which must name
    // something.
    QSet<QString> folders;
    for (ProjectTreeNodeBase* node : pairs)
        if (dynamic_cast<ProjectTreeNode<::Asset>*>(node))
            folders << AssetFolder(*node);
    for (const QString& value : options.only)
    {
        if (IsKindName(value, folders))
            continue;
        bool found = false;
        for (ProjectTreeNodeBase* node : pairs)
            found = found || Merge::PathMatches(*node, value);
        if (!found)
            throw Trouble(QStringLiteral("--only %1: no kind and no item of the comparison has that name "
                                         "(corvane-compare --all lists the items)")
                              .arg(value));
    }
    auto selected = [&](ProjectTreeNodeBase& node)
    {
        bool chosen = options.only.isEmpty();
        for (const QString& value : options.only)
            chosen = chosen || (IsKindName(value, folders) ? KindMatches(node, value)
                                                           : Merge::PathMatches(node, value));
        return chosen;
    };
    const ApplyDirection direction = options.take == QLatin1String("left") ? Right : Left;
    int problems = 0;
    for (const Merge::Copy& copy : session.PlanCopyAll(session.ProjectPair(), selected).mCopies)
    {
        const int changes = copy.mModel->OpenChangeCount();
        // A difference no row copy reaches stays as it is.
        if (copy.mUncopyable > 0)
        {
            ++problems;
            out << "! cannot copy: " << Merge::PathOf(*copy.mNode) << " (" << copy.mUncopyable << " of "
                << changes << " differences)\n";
        }
        Merge::MarkRows(*copy.mModel, copy.mRows, direction,
                        direction == Left ? QStringLiteral("Copy All Left") : QStringLiteral("Copy All Right"));
    }
    return problems;
}

// Marks the rows a merge log names; the decisions that conflict.
int MarkLogged(ComparisonSession& session, const QList<Merge::Decision>& logged, QTextStream& out)
{
    int problems = 0;
    for (const Merge::Replayed& replayed : Merge::Replay(session.Made(), logged))
    {
        const Merge::Decision& decision = replayed.mDecision;
        const QString label = decision.mLabel.isEmpty() ? QString() : QStringLiteral(" ") + decision.mLabel;
        if (replayed.mOutcome == Merge::Outcome::Conflict)
        {
            ++problems;
            out << "! conflict: " << decision.mPath << ", row " << decision.mRow << label << " to the "
                << Side(decision.mDirection) << ": " << replayed.mWhy << '\n';
        }
        else if (replayed.mOutcome == Merge::Outcome::Already)
            out << "= already: " << decision.mPath << ", row " << decision.mRow << label << '\n';
    }
    return problems;
}

// "28 items, 130 rows": an item copied whole is many rows.
QString ItemsAndRows(const QList<Merge::Decision>& decisions)
{
    QSet<QString> items;
    for (const Merge::Decision& decision : decisions)
        items << decision.mPath;
    return QStringLiteral("%1 %2, %3 %4")
        .arg(items.size())
        .arg(items.size() == 1 ? QStringLiteral("item") : QStringLiteral("items"))
        .arg(decisions.size())
        .arg(decisions.size() == 1 ? QStringLiteral("row") : QStringLiteral("rows"));
}

// Lists what is marked, as the log will hold it.
QList<Merge::Decision> ListMarked(ComparisonSession& session, QTextStream& out)
{
    Report report{out};
    QList<Merge::Decision> marked;
    for (const auto& made : session.Models())
        if (made.second->IsDirty())
            for (const Merge::Decision& decision : Merge::MarkedDecisions(*made.second, *made.first))
            {
                report.Item(*made.first, QString());
                report.Row(decision);
                marked << decision;
            }
    return marked;
}

// Writes what is marked, saves the projects that changed and the log, and
// checks what was saved. The problems found; `status` becomes 2 when a
// project or the log cannot be saved.
int WriteAndSave(ComparisonSession& session, XTHost::HostSession& host, const Options& options,
                 const QJsonArray& merged, QTextStream& out, int& status)
{
    const Merge::Written written = session.WriteMarked();
    for (const QString& refusal : written.mRefused)
        out << "! refused: " << refusal << '\n';
    int problems = written.mRefused.size();
    // A three-way log's rows merged hunk by hunk, once its rows are written:
    // found in the comparison built anew from the documents.
    if (!merged.isEmpty())
    {
        session.Rebuild();
        int hunks = 0;
        for (const QString& refusal : ThreeWay::ReplayMerged(session, merged, &hunks))
        {
            out << "! not merged: " << refusal << '\n';
            ++problems;
        }
        out << hunks << (hunks == 1 ? " hunk" : " hunks") << " merged within rows\n";
    }
    // Saved as the comparison window's run saves: only a project that
    // changed, written to a new file renamed over the old one.
    QStringList saved;
    for (int side : {ComparisonSession::LHS, ComparisonSession::RHS})
    {
        if (!session.IsModified(side))
            continue;
        if (session.Save(side))
        {
            // The check reads it back: on a thread, while the merge's
            // tables are let go.
            host.readAhead(session.Path(side));
            saved << (side == 0 ? QStringLiteral("LEFT") : QStringLiteral("RIGHT"));
            continue;
        }
        out.flush();
        std::fprintf(stderr, "corvane-merge: %s could not be saved: %s\n", qPrintable(options.files.at(side)),
                     qPrintable(host.lastError()));
        status = 2;
    }
    if (status == 0 && !options.log.isEmpty())
    {
        QString error;
        if (!Merge::SaveLog(options.log, session.LogJson(), &error))
        {
            out.flush();
            std::fprintf(stderr, "corvane-merge: the log could not be written: %s\n", qPrintable(error));
            status = 2;
        }
    }
    out << ItemsAndRows(written.mDecisions) << " copied";
    out << (saved.isEmpty() ? QStringLiteral("; nothing written")
                            : QStringLiteral("; %1 written").arg(saved.join(QStringLiteral(" and "))));
    out << '\n';
    // What was written is read back and compared again (what changed
    // nothing is compared as it is): a merge that did not take is a
    // problem, whatever the writes reported.
    if (status == 0)
        for (const QString& line : session.CheckSaved(false))
        {
            out << "! still differs: " << line << '\n';
            ++problems;
        }
    return problems;
}

// The merge itself, once the plug-in is active: its exit status.
int RunMerge(const Options& options, const QList<Merge::Decision>& logged, const QJsonArray& merged,
             XTHost::HostSession& host, MergeHeld& held)
{
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    int status = 0;
    try
    {
        // RIGHT is read on a thread of its own while LEFT is read.
        host.readAhead(options.files.at(1));
        held.mSession = std::make_unique<ComparisonSession>(options.files.at(0), options.files.at(1));
        ComparisonSession& session = *held.mSession;
        if (!session.IsOpen())
            throw Trouble(session.OpenError());
        out << session.ProjectPair().Data(0).toString() << '\n';
        int problems = options.replay.isEmpty() ? MarkCopyAll(session, options, out)
                                                : MarkLogged(session, logged, out);
        const QList<Merge::Decision> marked = ListMarked(session, out);
        if (options.dryRun)
            out << ItemsAndRows(marked) << " would be copied; nothing written\n";
        else
            problems += WriteAndSave(session, host, options, merged, out, status);
        if (problems > 0)
            out << problems << (problems == 1 ? " problem" : " problems") << '\n';
        if (status == 0 && problems > 0)
            status = 1;
    }
    catch (const Trouble& trouble)
    {
        out.flush();
        status = Fail(trouble);
    }
    out.flush();
    return status;
}

// The decisions of the log --replay names, and a three-way log's rows
// merged hunk by hunk.
QList<Merge::Decision> ReadReplayed(const QString& path, QJsonArray* merged)
{
    QList<Merge::Decision> logged;
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        throw Trouble(QStringLiteral("--replay %1: cannot be read (%2)")
                          .arg(path, QFileInfo(path).isDir() ? QStringLiteral("a directory") : file.errorString()));
    QString error;
    const QByteArray json = file.readAll();
    if (!Merge::ReadLog(json, &logged, &error))
        throw Trouble(QStringLiteral("--replay %1: %2").arg(path, error));
    *merged = QJsonDocument::fromJson(json).object().value(QStringLiteral("merged")).toArray();
    return logged;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.contains(QStringLiteral("--help")))
    {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Options options;
    QList<Merge::Decision> logged;
    QJsonArray merged;
    try
    {
        options = Parse(arguments);
        if (!options.replay.isEmpty())
            logged = ReadReplayed(options.replay, &merged);
    }
    catch (const Trouble& trouble)
    {
        return Fail(trouble);
    }

    XTHost::HostSession host;
    XTHost::PluginHost plugin(host);
    if (qEnvironmentVariableIsEmpty("XTHOST_RESOURCES"))
        plugin.setResourceFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/Resources"));
    if (plugin.activate(&XTActivateCallback) != 0)
        return Fail(Trouble(QStringLiteral("the plug-in's setup failed: %1").arg(host.lastError())));
    MergeHeld held;
    const int status =
        options.base.isEmpty()
            ? RunMerge(options, logged, merged, host, held)
            : RunThreeWay({options.base, options.files.at(0), options.files.at(1), options.output,
                           options.log, options.prefer == QLatin1String("right"), options.dryRun},
                          host, held);
    plugin.deactivate();
    XTHost::EndWithoutUnwinding(status);
    held.mMerger.reset();
    held.mSession.reset();
    MainXT::GetInstance()->Reset();
    return status;
}
