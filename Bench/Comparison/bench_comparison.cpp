// The comparison's two costs on large inputs, with the plug-in activated in
// an in-process host as the host does it:
// - tree: ProjectTree construction (the tree of both projects and the Fast
//   pass) on the generated pair of 500-page projects that bench_host opens;
// - diff: DiffModel::CompleteDiff of one story pair of 200,000 UTF-16 units
//   that differ by 200 edits.
// Prints the median time over several runs, and the peak memory (VmHWM) of a
// fresh child process that does the case once, beside one that only starts.
//
// With --scale, the whole-project scale curve instead: generated pairs of 50,
// 500, 2,000 and 5,000 pages (--scale-all adds 10,000), each compared by a
// fresh corvane-compare process (wall time and its own peak memory) in turn
// with diff -u of the same two files.
//
// With --merge, a whole merge instead: corvane-merge --take left on the
// 500-page pair (a fresh copy of the right file each run), in turn with
// diff -u of the same two files.
//
// With --report, the machine-readable report on the 500-page pair: a fresh
// corvane-compare --format json --rows process (wall time, its own peak
// memory, the report's size) in turn with diff -u of the same two files.
//
//   bench_comparison [--runs N]
//   bench_comparison --scale [--scale-all] [--runs N] [PAGES...]
//   bench_comparison --report [--runs N]
//   bench_comparison --merge [--runs N]

#include "DiffModel.h"
#include "HostSession.h"
#include "Main.h"
#include "MainXT.h"
#include "PluginHost.h"
#include "ProjectGenerator.h"
#include "ProjectTree.h"
#include "Story.h"
#include "XTCalls.h"

#include "Format/JsonProjectFormat.h"

#include "BenchProjects.h"
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace
{

// A host with the plug-in activated through its entry point.
class Session
{
public:
    explicit Session(const QString& folder) : mPlugin(mHost)
    {
        mPlugin.setResourceFolder(QStringLiteral(CORVANE_RESOURCES));
        mPlugin.setPreferencesFolder(folder);
        mActive = mPlugin.activate(&XTActivateCallback) == XT::kNoErr;
    }
    ~Session()
    {
        mPlugin.deactivate();
        MainXT::GetInstance()->Reset();
    }
    bool IsActive() const { return mActive; }
    XTProjectId Open(const QString& path)
    {
        QString error;
        const XTProjectId project = mHost.openProject(path, &error);
        if (project == XT::kNoProject)
            std::fprintf(stderr, "bench_comparison: %s\n", qPrintable(error));
        return project;
    }

private:
    XTHost::HostSession mHost;
    XTHost::PluginHost mPlugin;
    bool mActive = false;
};

// A story text of `length` units in paragraphs of words, and a copy with
// `edits` words inserted, deleted or replaced at random places.
std::pair<QString, QString> StoryPair(int length, int edits, uint32_t seed)
{
    static const char* sWords[] = {"harbour", "tide", "quay",  "the",  "a",     "of",    "boat", "gazette",
                                   "and",     "fish", "crane", "wind", "north", "light", "rope", "deck"};
    std::mt19937 random(seed);
    QStringList words;
    int size = 0;
    while (size < length)
    {
        QString word = QString::fromLatin1(sWords[random() % 16]);
        word += random() % 40 == 0 ? QChar(13) : QChar(' ');
        size += word.size();
        words << word;
    }
    QStringList edited = words;
    for (int e = 0; e < edits; ++e)
    {
        const int at = int(random() % uint32_t(edited.size()));
        switch (random() % 3)
        {
        case 0:
            edited.insert(at, QStringLiteral("inserted "));
            break;
        case 1:
            edited.removeAt(at);
            break;
        default:
            edited[at] = QStringLiteral("changed ");
        }
    }
    return {words.join(QString()).left(length), edited.join(QString())};
}

XTHost::Project StoryProject(const QString& text)
{
    XTHost::Project project;
    XTHost::Story story;
    story.mNumber = 1;
    story.appendVisible(text);
    project.mStories.push_back(story);
    return project;
}

struct Inputs
{
    QString mTreeLeft, mTreeRight, mStoryLeft, mStoryRight;
};

// One run of a case; the time of the measured part in seconds, or -1.
double RunTree(const Inputs& in, const QString& folder, long* nodes)
{
    Session session(folder);
    const XTProjectId lhs = session.Open(in.mTreeLeft);
    const XTProjectId rhs = session.Open(in.mTreeRight);
    if (!session.IsActive() || lhs == XT::kNoProject || rhs == XT::kNoProject)
        return -1;
    QElapsedTimer timer;
    timer.start();
    ProjectTree tree(lhs, rhs);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (nodes)
    {
        std::function<long(const QModelIndex&)> count = [&](const QModelIndex& parent)
        {
            long n = 0;
            for (int row = 0; row < tree.rowCount(parent); ++row)
                n += 1 + count(tree.index(row, 0, parent));
            return n;
        };
        *nodes = count(QModelIndex());
    }
    return seconds;
}

double RunDiff(const Inputs& in, const QString& folder, int* rows)
{
    Session session(folder);
    const XTProjectId lhs = session.Open(in.mStoryLeft);
    const XTProjectId rhs = session.Open(in.mStoryRight);
    if (!session.IsActive() || lhs == XT::kNoProject || rhs == XT::kNoProject)
        return -1;
    Story left(XT::gText->GetStoryText(XT::gText->GetFirstStoryEntry(lhs)));
    Story right(XT::gText->GetStoryText(XT::gText->GetFirstStoryEntry(rhs)));
    DiffModel model(left, right);
    QElapsedTimer timer;
    timer.start();
    model.CompleteDiff();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (rows)
        *rows = model.rowCount();
    return seconds;
}

int Scale(const QStringList& args, int runs)
{
    std::vector<int> sizes;
    for (const QString& arg : args)
    {
        bool ok = false;
        const int pages = arg.toInt(&ok);
        if (ok && pages > 0)
            sizes.push_back(pages);
    }
    if (sizes.empty())
    {
        sizes = {50, 500, 2000, 5000};
        if (args.contains(QStringLiteral("--scale-all")))
            sizes.push_back(10000);
    }
    const QString compare = QStringLiteral(CORVANE_COMPARE);
    const QString diff = QStandardPaths::findExecutable(QStringLiteral("diff"));
    std::printf(
        "Scale curve: pairs from the project generator (xtgen --layouts 2 --spreads PAGES/4 --pages 2 "
        "--boxes 20\n--stories 2*PAGES --story-length 2000 --assets 111 --edit-rate 0.1 --seed 1), "
        "%d runs of each\nside, alternating: %s LEFT RIGHT (open both, tree, Fast pass, report, "
        "tear-down) and diff -u\nLEFT RIGHT, each a fresh process; medians of wall time and of "
        "its own peak memory (VmHWM at its exit); cpu: user + system time of the process.\n\n",
        runs, qPrintable(QFileInfo(compare).fileName()));
    std::printf("%7s %9s %10s %8s %9s %10s %8s %9s %8s %7s %8s %8s\n", "pages", "file MB", "compare s",
                "cpu s", "peak MB", "diff -u s", "cpu s", "diff MB", "time x", "cpu x", "mem/file", "growth");
    double previous = 0;
    int previousPages = 0;
    for (int pages : sizes)
    {
        QTemporaryDir dir;
        const QString left = dir.filePath(QStringLiteral("left.xprj"));
        const QString right = dir.filePath(QStringLiteral("right.xprj"));
        QString error;
        if (!XTHost::ProjectGenerator::writePair(Bench::ScaleOptions(pages), left, right, &error))
        {
            std::fprintf(stderr, "bench_comparison: %s\n", qPrintable(error));
            return 1;
        }
        const double leftMb = QFileInfo(left).size() / 1048576.0;
        const double rightMb = QFileInfo(right).size() / 1048576.0;
        std::vector<double> times, peaks, diffTimes, diffPeaks, cpus, diffCpus;
        for (int run = 0; run < runs; ++run)
        {
            const Bench::Measured measured =
                Bench::RunMeasured({compare, left, right}, dir.filePath(QStringLiteral("compare.txt")));
            if (measured.exitCode != 0 && measured.exitCode != 1)
            {
                std::fprintf(stderr, "bench_comparison: %s failed on %d pages (exit %d)\n",
                             qPrintable(compare), pages, measured.exitCode);
                return 1;
            }
            times.push_back(measured.ms / 1000);
            cpus.push_back(measured.cpuMs / 1000);
            peaks.push_back(measured.peakKb / 1024.0);
            if (!diff.isEmpty())
            {
                const Bench::Measured plain = Bench::RunMeasured({diff, QStringLiteral("-u"), left, right},
                                                                 dir.filePath(QStringLiteral("diff.txt")));
                diffTimes.push_back(plain.ms / 1000);
                diffCpus.push_back(plain.cpuMs / 1000);
                diffPeaks.push_back(plain.peakKb / 1024.0);
            }
        }
        const double time = Bench::Median(times);
        const double diffTime = Bench::Median(diffTimes);
        char growth[32] = "";
        if (previous > 0)
            std::snprintf(growth, sizeof growth, "%.2f/%.1f", time / previous, double(pages) / previousPages);
        const double cpu = Bench::Median(cpus);
        const double diffCpu = Bench::Median(diffCpus);
        std::printf("%7d %4.1f+%4.1f %10.3f %8.3f %9.1f %10.3f %8.3f %9.1f %8.2f %7.2f %8.2f %8s\n", pages,
                    leftMb, rightMb, time, cpu, Bench::Median(peaks), diffTime, diffCpu,
                    Bench::Median(diffPeaks), diffTime > 0 ? time / diffTime : 0.0,
                    diffCpu > 0 ? cpu / diffCpu : 0.0, Bench::Median(peaks) / (leftMb + rightMb), growth);
        std::fflush(stdout);
        previous = time;
        previousPages = pages;
    }
    std::printf(
        "\ntime x: corvane-compare's time over diff -u's; mem/file: its peak memory over the two "
        "files' size;\ngrowth: time over the previous size's, beside the ratio of the page counts.\n");
    return 0;
}

// corvane-compare --format json --rows beside diff -u, on the pair that the
// tree case compares.
int Report(int runs)
{
    QTemporaryDir dir;
    const QString left = dir.filePath(QStringLiteral("left.xprj"));
    const QString right = dir.filePath(QStringLiteral("right.xprj"));
    QString error;
    const XTHost::GeneratorOptions options = Bench::ProjectOptions();
    if (!XTHost::ProjectGenerator::writePair(options, left, right, &error))
    {
        std::fprintf(stderr, "bench_comparison: %s\n", qPrintable(error));
        return 1;
    }
    const QString compare = QStringLiteral(CORVANE_COMPARE);
    const QString diff = QStandardPaths::findExecutable(QStringLiteral("diff"));
    const QString report = dir.filePath(QStringLiteral("report.json"));
    const QString patch = dir.filePath(QStringLiteral("diff.txt"));
    std::vector<double> times, cpus, peaks, diffTimes, diffCpus, diffPeaks;
    for (int run = 0; run < runs; ++run)
    {
        const Bench::Measured measured =
            Bench::RunMeasured({compare, QStringLiteral("--format"), QStringLiteral("json"),
                                QStringLiteral("--rows"), left, right},
                               report);
        if (measured.exitCode != 1)
        {
            std::fprintf(stderr, "bench_comparison: %s failed (exit %d)\n", qPrintable(compare),
                         measured.exitCode);
            return 1;
        }
        times.push_back(measured.ms / 1000);
        cpus.push_back(measured.cpuMs / 1000);
        peaks.push_back(measured.peakKb / 1024.0);
        if (diff.isEmpty())
            continue;
        const Bench::Measured plain = Bench::RunMeasured({diff, QStringLiteral("-u"), left, right}, patch);
        diffTimes.push_back(plain.ms / 1000);
        diffCpus.push_back(plain.cpuMs / 1000);
        diffPeaks.push_back(plain.peakKb / 1024.0);
    }
    const double time = Bench::Median(times);
    const double diffTime = Bench::Median(diffTimes);
    std::printf("report input: generated pair (seed %u, xtgen --layouts 2 --spreads 125 --pages 2 --boxes 20 "
                "--stories 1000 --story-length 2000 --assets 111 --edit-rate 0.1), %.1f + %.1f MB\n",
                options.mSeed, QFileInfo(left).size() / 1048576.0, QFileInfo(right).size() / 1048576.0);
    std::printf("%d runs of each, alternating, each a fresh process; medians of wall time, cpu (user + "
                "system) and its own peak memory (wait4)\n",
                runs);
    std::printf(
        "corvane-compare --format json --rows: %.3f s (%s), cpu %.3f s, peak %.1f MB, report %.1f MB\n", time,
        qPrintable(Bench::List(times, 3)), Bench::Median(cpus), Bench::Median(peaks),
        QFileInfo(report).size() / 1048576.0);
    if (diff.isEmpty())
        return 0;
    std::printf(
        "diff -u:                              %.3f s (%s), cpu %.3f s, peak %.1f MB, output %.1f MB\n",
        diffTime, qPrintable(Bench::List(diffTimes, 3)), Bench::Median(diffCpus), Bench::Median(diffPeaks),
        QFileInfo(patch).size() / 1048576.0);
    std::printf("ratios (corvane-compare over diff -u): time %.2f, cpu %.2f, peak memory %.2f\n",
                diffTime > 0 ? time / diffTime : 0.0,
                Bench::Median(diffCpus) > 0 ? Bench::Median(cpus) / Bench::Median(diffCpus) : 0.0,
                Bench::Median(diffPeaks) > 0 ? Bench::Median(peaks) / Bench::Median(diffPeaks) : 0.0);
    return 0;
}

int MergeBench(int runs)
{
    const QString merge = QStringLiteral(CORVANE_MERGE);
    const QString diff = QStandardPaths::findExecutable(QStringLiteral("diff"));
    QTemporaryDir dir;
    const QString left = dir.filePath(QStringLiteral("left.xprj"));
    const QString right = dir.filePath(QStringLiteral("right.xprj"));
    const QString merged = dir.filePath(QStringLiteral("merged.xprj"));
    QString error;
    if (!XTHost::ProjectGenerator::writePair(Bench::ProjectOptions(), left, right, &error))
    {
        std::fprintf(stderr, "bench_comparison: %s\n", qPrintable(error));
        return 1;
    }
    std::printf(
        "Merge: the 500-page pair (bench_host's project and its twin, edit rate 0.1), %d runs of each\n"
        "side, alternating: %s --take left LEFT RIGHT (open both, tree, every copyable\n"
        "row of every differing pair, write, save RIGHT) on a fresh copy of RIGHT, and diff -u LEFT "
        "RIGHT;\neach a fresh process; medians of wall time, cpu (user + system) and peak memory "
        "(wait4).\n\n",
        runs, qPrintable(QFileInfo(merge).fileName()));
    std::vector<double> times, cpus, peaks, diffTimes, diffCpus, diffPeaks;
    int rows = -1;
    for (int run = 0; run < runs; ++run)
    {
        QFile::remove(merged);
        if (!QFile::copy(right, merged))
        {
            std::fprintf(stderr, "bench_comparison: cannot copy %s\n", qPrintable(right));
            return 1;
        }
        const QString report = dir.filePath(QStringLiteral("merge.txt"));
        const Bench::Measured measured = Bench::RunMeasured(
            {merge, QStringLiteral("--take"), QStringLiteral("left"), left, merged}, report);
        if (measured.exitCode != 0 && measured.exitCode != 1)
        {
            std::fprintf(stderr, "bench_comparison: %s failed (exit %d)\n", qPrintable(merge),
                         measured.exitCode);
            return 1;
        }
        QFile output(report);
        if (output.open(QIODevice::ReadOnly))
        {
            const QList<QByteArray> lines = output.readAll().split('\n');
            for (const QByteArray& line : lines)
                if (line.contains(" copied"))
                    rows = line.left(line.indexOf(' ')).toInt();
        }
        times.push_back(measured.ms / 1000);
        cpus.push_back(measured.cpuMs / 1000);
        peaks.push_back(measured.peakKb / 1024.0);
        if (!diff.isEmpty())
        {
            const Bench::Measured plain = Bench::RunMeasured({diff, QStringLiteral("-u"), left, right},
                                                             dir.filePath(QStringLiteral("diff.txt")));
            diffTimes.push_back(plain.ms / 1000);
            diffCpus.push_back(plain.cpuMs / 1000);
            diffPeaks.push_back(plain.peakKb / 1024.0);
        }
    }
    std::printf("files: %.1f MB + %.1f MB; rows copied: %d\n\n", QFileInfo(left).size() / 1048576.0,
                QFileInfo(right).size() / 1048576.0, rows);
    std::printf("%-22s %10s %10s %10s   %s\n", "", "median s", "cpu s", "peak MB", "wall times s");
    std::printf("%-22s %10.3f %10.3f %10.1f   %s\n", "corvane-merge", Bench::Median(times),
                Bench::Median(cpus), Bench::Median(peaks), qPrintable(Bench::List(times, 3)));
    if (!diff.isEmpty())
        std::printf("%-22s %10.3f %10.3f %10.1f   %s\n", "diff -u", Bench::Median(diffTimes),
                    Bench::Median(diffCpus), Bench::Median(diffPeaks), qPrintable(Bench::List(diffTimes, 3)));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();

    // A child runs one case once (or, with "idle", only starts a host with
    // the plug-in) and prints its peak resident memory in kB.
    if (args.size() >= 7 && args[1] == QLatin1String("--child"))
    {
        const Inputs in{args[3], args[4], args[5], args[6]};
        QTemporaryDir folder;
        double seconds = 0;
        if (args[2] == QLatin1String("tree"))
            seconds = RunTree(in, folder.path(), nullptr);
        else if (args[2] == QLatin1String("diff"))
            seconds = RunDiff(in, folder.path(), nullptr);
        else
            Session session(folder.path());
        if (seconds < 0)
            return 1;
        std::printf("%ld\n", Bench::PeakKilobytes());
        return 0;
    }

    int runs = 5;
    QStringList rest = args.mid(1);
    const int runsAt = rest.indexOf(QStringLiteral("--runs"));
    if (runsAt >= 0 && runsAt + 1 < rest.size())
    {
        runs = std::max(1, rest[runsAt + 1].toInt());
        rest.erase(rest.begin() + runsAt, rest.begin() + runsAt + 2);
    }
    if (rest.contains(QStringLiteral("--scale")))
        return Scale(rest, runsAt >= 0 ? runs : 3);
    if (rest.contains(QStringLiteral("--report")))
        return Report(runsAt >= 0 ? runs : 5);
    if (rest.contains(QStringLiteral("--merge")))
        return MergeBench(runs);

    QTemporaryDir dir;
    Inputs in{dir.filePath("left.xprj"), dir.filePath("right.xprj"), dir.filePath("story-left.xprj"),
              dir.filePath("story-right.xprj")};
    QString error;
    const XTHost::GeneratorOptions options = Bench::ProjectOptions();
    if (!XTHost::ProjectGenerator::writePair(options, in.mTreeLeft, in.mTreeRight, &error))
    {
        std::fprintf(stderr, "bench_comparison: %s\n", qPrintable(error));
        return 1;
    }
    const int storyLength = 200000, storyEdits = 200;
    const auto [storyLeft, storyRight] = StoryPair(storyLength, storyEdits, 1);
    if (!XTHost::JsonProjectFormat().save(StoryProject(storyLeft), in.mStoryLeft, &error) ||
        !XTHost::JsonProjectFormat().save(StoryProject(storyRight), in.mStoryRight, &error))
    {
        std::fprintf(stderr, "bench_comparison: %s\n", qPrintable(error));
        return 1;
    }

    std::vector<double> treeTimes, diffTimes;
    long nodes = 0;
    int rows = 0;
    for (int run = 0; run < runs; ++run)
    {
        treeTimes.push_back(RunTree(in, dir.path(), &nodes));
        diffTimes.push_back(RunDiff(in, dir.path(), &rows));
        if (treeTimes.back() < 0 || diffTimes.back() < 0)
            return 1;
    }

    auto childPeak = [&](const QString& what)
    {
        return Bench::PeakOfChild(
            {QStringLiteral("--child"), what, in.mTreeLeft, in.mTreeRight, in.mStoryLeft, in.mStoryRight});
    };
    std::vector<double> treePeaks, diffPeaks, idlePeaks;
    for (int run = 0; run < std::min(runs, 3); ++run)
    {
        treePeaks.push_back(childPeak(QStringLiteral("tree")));
        diffPeaks.push_back(childPeak(QStringLiteral("diff")));
        idlePeaks.push_back(childPeak(QStringLiteral("idle")));
    }

    std::printf("tree input: generated pair (seed %u, xtgen --layouts 2 --spreads 125 --pages 2 --boxes 20 "
                "--stories 1000 --story-length 2000 --assets 111 --edit-rate 0.1), %ld tree nodes\n",
                options.mSeed, nodes);
    std::printf("tree (ProjectTree construction with the Fast pass): median %.3f s over %d runs (%s); "
                "target 1 s\n",
                Bench::Median(treeTimes), runs, qPrintable(Bench::List(treeTimes, 3)));
    std::printf("diff input: story pair of %d and %d UTF-16 units, %d edits, %d rows\n",
                int(storyLeft.size()), int(storyRight.size()), storyEdits, rows);
    std::printf("diff (DiffModel::CompleteDiff): median %.4f s over %d runs (%s); target 0.1 s\n",
                Bench::Median(diffTimes), runs, qPrintable(Bench::List(diffTimes, 4)));
    std::printf("peak memory of a fresh process (VmHWM): tree %.1f MB (%s), diff %.1f MB (%s), "
                "host and plug-in only %.1f MB\n",
                Bench::Median(treePeaks), qPrintable(Bench::List(treePeaks, 1)), Bench::Median(diffPeaks),
                qPrintable(Bench::List(diffPeaks, 1)), Bench::Median(idlePeaks));
    return 0;
}
