// corvane-compare: the comparison of two projects as a report, for scripts
// and CI. The same plug-in code as the explorer, activated in a stand-in host
// of its own: the comparison tree with every pair's status, and on request
// the patch table rows of every edited pair.

#include "DiffModel.h"
#include "HostSession.h"
#include "Main.h"
#include "MainXT.h"
#include "NodeDifferVisitor.h"
#include "PluginHost.h"
#include "ProjectTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace
{

const char kUsage[] = "usage: corvane-compare [--rows] [--all] LEFT RIGHT\n"
                      "\n"
                      "Compares two project files and prints the comparison tree: the two files,\n"
                      "then one line per item with its status (= identical, ~ edited, < only\n"
                      "left, > only right), and the number of items that differ. An item that\n"
                      "holds differing items ends with their counts in brackets: [~2 <1 >3] is\n"
                      "2 edited, 1 only left and 3 only right below it.\n"
                      "\n"
                      "  --rows   also print the patch table rows of every edited item\n"
                      "  --all    also list identical items and empty folders\n"
                      "\n"
                      "Exit status: 0 when the projects are identical, 1 when they differ, 2 when\n"
                      "a project cannot be opened or the command line is wrong.\n";

QString Mark(int type)
{
    switch (type)
    {
    case OnlyInLeft:
        return QStringLiteral("<");
    case OnlyInRight:
        return QStringLiteral(">");
    case Identical:
        return QStringLiteral("=");
    case HasEdits:
        return QStringLiteral("~");
    default:
        return QStringLiteral(" ");
    }
}

// A row's text on one line: paragraph ends shown as a pilcrow. Hidden text
// comes written out and marked, never as invisible units.
QString OneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QChar(0xB6));
    text.replace(QLatin1Char('\n'), QChar(0xB6));
    return text;
}

struct Report
{
    QTextStream& out;
    const ProjectTree& tree;
    bool rows;
    bool all;
    int differences = 0;

    // Whether anything below (or at) this node is worth a line.
    bool Shows(ProjectTreeNodeBase& node) const
    {
        if (all)
            return true;
        if (node.NodeType() != Identical && node.NodeType() != Folder)
            return true;
        for (int i = 0; i < node.ChildCount(); ++i)
            if (Shows(*node.Child(i)))
                return true;
        return false;
    }

    // The project pair's own text holds the two paths, which always differ:
    // what counts is what lies below it.
    void Print(ProjectTreeNodeBase& node, int depth)
    {
        if (depth > 0 && !Shows(node))
            return;
        const int type = node.NodeType();
        if (depth > 0 && (type == OnlyInLeft || type == OnlyInRight || type == HasEdits))
            ++differences;
        // The project pair's counts are the last line's.
        const QString rollup = depth > 0 ? ProjectTree::RollupText(tree.RollupOf(&node)) : QString();
        const QString counts = rollup.isEmpty() ? QString() : QStringLiteral("  [%1]").arg(rollup);
        if (depth == 0)
            out << node.Data(0).toString() << '\n';
        else
            out << QString(depth * 2, QLatin1Char(' ')) << Mark(type) << ' ' << node.Data(0).toString()
                << counts << '\n';
        if (rows && depth > 0 && type == HasEdits)
            PrintRows(node, depth + 1);
        for (int i = 0; i < node.ChildCount(); ++i)
            Print(*node.Child(i), depth + 1);
    }

    void PrintRows(ProjectTreeNodeBase& node, int depth)
    {
        std::unique_ptr<DiffModel> model(NodeDifferVisitor(Complete).Diff(node));
        if (!model)
            return;
        const QString indent(depth * 2 + 2, QLatin1Char(' '));
        for (int row = 0; row < model->rowCount(); ++row)
        {
            if (model->IsEquality(model->index(row, 0)))
                continue;
            const QString name = model->HasVerticalHeader()
                                     ? model->headerData(row, Qt::Vertical).toString() + QStringLiteral(": ")
                                     : QString();
            out << indent << "row " << row << ' ' << name << '\n'
                << indent << "  - " << OneLine(model->RevealedText(row, 0)) << '\n'
                << indent << "  + " << OneLine(model->RevealedText(row, 1)) << '\n';
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    if (arguments.contains(QStringLiteral("--help")))
    {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const bool rows = arguments.removeAll(QStringLiteral("--rows")) > 0;
    const bool all = arguments.removeAll(QStringLiteral("--all")) > 0;
    if (arguments.size() != 2 || arguments.first().startsWith(QLatin1Char('-')))
    {
        std::fputs(kUsage, stderr);
        return 2;
    }

    XTHost::HostSession host;
    XTHost::PluginHost plugin(host);
    if (qEnvironmentVariableIsEmpty("XTHOST_RESOURCES"))
        plugin.setResourceFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/Resources"));
    const XTStatus setup = plugin.activate(&XTActivateCallback);
    if (setup != 0)
    {
        std::fprintf(stderr, "corvane-compare: the plug-in's setup failed: %s\n",
                     qPrintable(host.lastError()));
        return 2;
    }

    XTProjectId projects[2];
    for (int side = 0; side < 2; ++side)
    {
        QString error;
        projects[side] = host.openProject(arguments.at(side), &error);
        if (projects[side] == -1)
        {
            std::fprintf(stderr, "corvane-compare: %s\n", qPrintable(error));
            MainXT::GetInstance()->Reset();
            return 2;
        }
    }

    int differences = 0;
    {
        ProjectTree tree(projects[0], projects[1]);
        QTextStream out(stdout);
        out.setCodec("UTF-8");
        Report report{out, tree, rows, all};
        report.Print(*tree.Root()->Child(0), 0);
        differences = report.differences;
        out << (differences ? QStringLiteral("%1 differences\n").arg(differences)
                            : QStringLiteral("identical\n"));
    }
    plugin.deactivate();
    MainXT::GetInstance()->Reset();
    return differences ? 1 : 0;
}
