// The comparison window on large projects, through the loaded module as a
// user drives it, beside the command-line tools on the same files in the same
// run. For each generated pair (500, 2,000 and 5,000 pages by default), run
// after run, alternating:
// - corvane-compare LEFT RIGHT, a fresh process (wall time, its own peak
//   memory);
// - corvane-merge --take left LEFT RIGHT on a fresh copy of RIGHT, likewise;
// - the window, in a fresh process of this program (offscreen): the module
//   loaded and its "Compare Projects..." command run, the two files picked,
//   then timed: the window ready (from OK in the picker to the tree shown),
//   selecting and scrolling (clicks on the project pair and on tree rows,
//   Next Difference, Page Down in the tree; each event with a repaint of the
//   window, the longest reported), Copy All Right on the project pair (the
//   time its question is up left out), Save from the tool bar, and closing
//   (which reads the saved projects back). The RHS the window saved must
//   equal the one corvane-merge wrote, byte for byte.
// Prints medians, and the ratios the window is held to.
//
//   bench_window [--runs N] [PAGES...]

#include "ComparisonDriver.h"
#include "PluginSession.h"
#include "ProjectGenerator.h"
#include "Script.h"

#include "BenchProjects.h"
#include "BenchSupport.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace
{

double Since(const QElapsedTimer& clock, qint64 startNs)
{
    return double(clock.nsecsElapsed() - startNs) / 1e6;
}

// What the window run measures, in ms.
struct WindowTimes
{
    double mReady = -1;
    double mCopyAll = -1;
    double mSave = -1;
    std::vector<double> mEvents;
};

// One user event and the repaint of the window it leads to.
template <typename Act> void TimeEvent(QWidget* explorer, WindowTimes& times, Act act)
{
    QElapsedTimer clock;
    clock.start();
    act();
    explorer->repaint();
    times.mEvents.push_back(double(clock.nsecsElapsed()) / 1e6);
}

void ClickRow(QTreeView* tree, const QModelIndex& index)
{
    tree->scrollTo(index);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, tree->visualRect(index).center());
}

// Clicks, Next Difference and Page Down, as a user reads the comparison.
void SelectAndScroll(QWidget* explorer, WindowTimes& times)
{
    auto* tree = explorer->findChild<QTreeView*>(QStringLiteral("mExplorer"));
    QApplication::setActiveWindow(explorer);
    QAbstractItemModel* model = tree->model();
    const QModelIndex project = model->index(0, 0);
    TimeEvent(explorer, times, [&] { ClickRow(tree, project); });
    for (int i = 0; i < 30; ++i)
        TimeEvent(explorer, times, [&] { QTest::keyClick(tree, Qt::Key_Down, Qt::AltModifier); });
    tree->setFocus();
    for (int i = 0; i < 20; ++i)
        TimeEvent(explorer, times, [&] { QTest::keyClick(tree, Qt::Key_PageDown); });
    for (int i = 0; i < 20; ++i)
    {
        const QModelIndex row = tree->indexAt(QPoint(10, 10 + i * 13));
        if (row.isValid())
            TimeEvent(explorer, times, [&] { ClickRow(tree, row); });
    }
    TimeEvent(explorer, times, [&] { ClickRow(tree, project); });
}

// The steps of the window run; `times` is filled as they go.
void WindowSteps(Script& script, const QString& left, const QString& right, WindowTimes& times)
{
    static QElapsedTimer sClock;
    sClock.start();
    static qint64 sStart = 0;
    static qint64 sQuestion = 0;
    static qint64 sYes = 0;
    script.Then(
        QStringLiteral("pick the files"), [] { return Script::Modal("ProjectPickerClass") != nullptr; },
        [&script, left, right]
        {
            QWidget* picker = Script::Modal("ProjectPickerClass");
            picker->findChild<QComboBox*>(QStringLiteral("mLHSFileComboEdit"))->setEditText(left);
            picker->findChild<QComboBox*>(QStringLiteral("mRHSFileComboEdit"))->setEditText(right);
            QPushButton* ok = picker->findChild<QDialogButtonBox*>(QStringLiteral("mButtonBox"))
                                  ->button(QDialogButtonBox::Ok);
            if (!ok->isEnabled())
                return script.Fail(QStringLiteral("the picker refused the files"));
            sStart = sClock.nsecsElapsed();
            ok->click();
        });
    script.Then(
        QStringLiteral("see the window"),
        []
        {
            QWidget* explorer = Driver::Explorer();
            return explorer && explorer->findChild<QTreeView*>(QStringLiteral("mExplorer"))->model()->rowCount() > 0;
        },
        [&times] { times.mReady = Since(sClock, sStart); });
    script.Then(
        QStringLiteral("select and scroll"), [] { return Driver::Explorer() != nullptr; },
        [&times] { SelectAndScroll(Driver::Explorer(), times); });
    script.ThenPost(
        QStringLiteral("copy all of the project"), [] { return Driver::Explorer() != nullptr; },
        []
        {
            sStart = sClock.nsecsElapsed();
            Driver::Explorer()->findChild<QAction*>(QStringLiteral("actionCopyAllRight"))->trigger();
        });
    script.Then(
        QStringLiteral("say yes"), [] { return Script::Modal("mCopyAllQuestion") != nullptr; },
        []
        {
            sQuestion = sClock.nsecsElapsed();
            sYes = sQuestion;
            qobject_cast<QMessageBox*>(Script::Modal("mCopyAllQuestion"))->button(QMessageBox::Yes)->click();
            sYes = sClock.nsecsElapsed();
        });
    script.Then(
        QStringLiteral("see the copies"), [] { return Driver::Explorer() != nullptr; },
        [&times] { times.mCopyAll = Since(sClock, sStart) - double(sYes - sQuestion) / 1e6; });
    script.ThenPost(
        QStringLiteral("save"), [] { return Driver::Explorer() != nullptr; },
        [&times]
        {
            const qint64 start = sClock.nsecsElapsed();
            Driver::Explorer()->findChild<QAction*>(QStringLiteral("actionSave"))->trigger();
            times.mSave = Since(sClock, start);
        });
    script.ThenPost(
        QStringLiteral("close"), [] { return Driver::Explorer() != nullptr; },
        [] { Driver::Explorer()->close(); });
}

// The child: one window run, its figures on the standard output.
int WindowRun(const QString& left, const QString& right, const QString& folder)
{
    WindowTimes times;
    QString failure;
    {
        LoadedPlugin plugin(QStringLiteral(CORVANE_MODULE), folder);
        if (!plugin.mActive)
        {
            std::fprintf(stderr, "bench_window: the module is not active\n");
            return 1;
        }
        std::unique_ptr<Script> script;
        gOnApplication = [&]
        {
            script = std::make_unique<Script>(3600000);
            WindowSteps(*script, left, right, times);
            script->Start();
        };
        XTStatus status = -1;
        const bool ran = plugin.mPlugin->runCommand(QStringLiteral("Compare Projects..."), &status);
        gOnApplication = nullptr;
        if (!ran || status != XT::kNoErr || !script)
            failure = QStringLiteral("the command did not run");
        else if (!script->Finished() || !script->Failure().isEmpty())
            failure = script->Failure();
    }
    if (!failure.isEmpty())
    {
        std::fprintf(stderr, "bench_window: %s\n", qPrintable(failure));
        return 1;
    }
    std::printf("ready %.3f\ncopyall %.3f\nsave %.3f\n", times.mReady, times.mCopyAll, times.mSave);
    const auto longest = std::max_element(times.mEvents.begin(), times.mEvents.end());
    std::printf("events %zu\nlongest %.3f\nmedian %.3f\n", times.mEvents.size(),
                longest == times.mEvents.end() ? 0.0 : *longest, Bench::Median(times.mEvents));
    return 0;
}

std::map<QString, double> ReadFigures(const QString& path)
{
    std::map<QString, double> figures;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray& line : file.readAll().split('\n'))
        {
            const QList<QByteArray> parts = line.trimmed().split(' ');
            if (parts.size() == 2)
                figures[QString::fromLatin1(parts[0])] = parts[1].toDouble();
        }
    return figures;
}

bool FreshCopy(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::copy(from, to) && QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
}

struct Row
{
    std::vector<double> compare, compareMb, merge, mergeMb, ready, copyAll, save, whole, windowMb, longest,
        medianEvent;
};

// One run of the three on a pair; false when one of them failed.
bool RunOnce(const QString& dir, const QString& left, const QString& right, Row& row)
{
    auto at = [&](const char* name) { return dir + QLatin1Char('/') + QLatin1String(name); };
    const Bench::Measured compare = Bench::RunMeasured({QStringLiteral(CORVANE_COMPARE), left, right}, at("compare.txt"));
    if (compare.exitCode != 0 && compare.exitCode != 1)
        return false;
    row.compare.push_back(compare.ms / 1000);
    row.compareMb.push_back(compare.peakKb / 1024.0);

    if (!FreshCopy(right, at("merged.xprj")))
        return false;
    const Bench::Measured merge = Bench::RunMeasured(
        {QStringLiteral(CORVANE_MERGE), QStringLiteral("--take"), QStringLiteral("left"), left, at("merged.xprj")},
        at("merge.txt"));
    if (merge.exitCode != 0 && merge.exitCode != 1)
        return false;
    row.merge.push_back(merge.ms / 1000);
    row.mergeMb.push_back(merge.peakKb / 1024.0);

    if (!FreshCopy(left, at("window-left.xprj")) || !FreshCopy(right, at("window-right.xprj")))
        return false;
    const Bench::Measured window =
        Bench::RunMeasured({QCoreApplication::applicationFilePath(), QStringLiteral("--window"),
                            at("window-left.xprj"), at("window-right.xprj"), at("preferences")},
                           at("window.txt"));
    if (window.exitCode != 0)
        return false;
    std::map<QString, double> figures = ReadFigures(at("window.txt"));
    row.ready.push_back(figures[QStringLiteral("ready")] / 1000);
    row.copyAll.push_back(figures[QStringLiteral("copyall")] / 1000);
    row.save.push_back(figures[QStringLiteral("save")] / 1000);
    row.windowMb.push_back(window.peakKb / 1024.0);
    row.longest.push_back(figures[QStringLiteral("longest")]);
    row.medianEvent.push_back(figures[QStringLiteral("median")]);
    // The whole child: starting, the picker, the steps, closing with its
    // read-back, and the module's end.
    row.whole.push_back(window.ms / 1000);

    QFile merged(at("merged.xprj"));
    QFile saved(at("window-right.xprj"));
    if (!merged.open(QIODevice::ReadOnly) || !saved.open(QIODevice::ReadOnly) || merged.readAll() != saved.readAll())
    {
        std::fprintf(stderr, "bench_window: the window saved other bytes than corvane-merge\n");
        return false;
    }
    return true;
}

int Parent(const QStringList& args)
{
    int runs = 3;
    std::vector<int> sizes;
    for (int i = 1; i < args.size(); ++i)
    {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i].toInt() > 0)
            sizes.push_back(args[i].toInt());
    }
    if (sizes.empty())
        sizes = {500, 2000, 5000};
    std::printf(
        "The window on generated pairs (xtgen --layouts 2 --spreads PAGES/4 --pages 2 --boxes 20 --stories "
        "2*PAGES\n--story-length 2000 --assets 111 --edit-rate 0.1 --seed 1), %d runs, each a fresh process: "
        "corvane-compare,\ncorvane-merge --take left, the window (offscreen, through the loaded module: pick, "
        "select and scroll,\nCopy All Right on the project pair, Save, close). Medians; seconds unless "
        "marked.\n\n",
        runs);
    std::printf("%6s %8s %8s %8s | %7s %7s %7s %7s %7s %7s | %6s %6s %6s %6s\n", "pages", "compare", "merge",
                "merge MB", "ready", "copyAll", "save", "c+s", "whole", "MB", "ready/", "c+s/", "MB/", "event");
    std::printf("%6s %8s %8s %8s | %7s %7s %7s %7s %7s %7s | %6s %6s %6s %6s\n", "", "", "", "", "", "", "",
                "", "run", "", "comp.", "merge", "merge", "max ms");
    double previous = 0;
    for (int pages : sizes)
    {
        QTemporaryDir dir;
        const QString left = dir.filePath(QStringLiteral("left.xprj"));
        const QString right = dir.filePath(QStringLiteral("right.xprj"));
        QString error;
        if (!XTHost::ProjectGenerator::writePair(Bench::ScaleOptions(pages), left, right, &error))
        {
            std::fprintf(stderr, "bench_window: %s\n", qPrintable(error));
            return 1;
        }
        Row row;
        for (int run = 0; run < runs; ++run)
            if (!RunOnce(dir.path(), left, right, row))
            {
                std::fprintf(stderr, "bench_window: a run on %d pages failed\n", pages);
                return 1;
            }
        std::vector<double> copyAndSave;
        for (size_t i = 0; i < row.copyAll.size(); ++i)
            copyAndSave.push_back(row.copyAll[i] + row.save[i]);
        const double cs = Bench::Median(copyAndSave);
        std::printf("%6d %8.2f %8.2f %8.0f | %7.2f %7.2f %7.2f %7.2f %7.2f %7.0f | %6.2f %6.2f %6.2f %6.0f\n",
                    pages, Bench::Median(row.compare), Bench::Median(row.merge), Bench::Median(row.mergeMb),
                    Bench::Median(row.ready), Bench::Median(row.copyAll), Bench::Median(row.save), cs,
                    Bench::Median(row.whole), Bench::Median(row.windowMb),
                    Bench::Median(row.ready) / Bench::Median(row.compare), cs / Bench::Median(row.merge),
                    Bench::Median(row.windowMb) / Bench::Median(row.mergeMb),
                    *std::max_element(row.longest.begin(), row.longest.end()));
        if (previous > 0)
            std::printf("%6s copy all + save grew %.2f times from the previous size\n", "", cs / previous);
        std::fflush(stdout);
        previous = cs;
    }
    std::printf("\nready: OK in the picker to the tree shown; copyAll: Copy All Right on the project pair, "
                "without\nthe time its question is up; c+s: copyAll + save; whole run: the window's "
                "process from start to end;\nevent max: the longest single click, key press or Page Down "
                "with the repaint it causes (of all runs).\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 5 && QByteArray(argv[1]) == "--window")
        return WindowRun(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                         QString::fromLocal8Bit(argv[4]));
    QCoreApplication application(argc, argv);
    // The windows' settings, in a folder of this run's own; the module's
    // resources from the source tree.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
    qputenv("CORVANE_SOURCE_DIR", QByteArrayLiteral(CORVANE_SOURCE));
    return Parent(application.arguments());
}
