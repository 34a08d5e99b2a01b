// The three-way merge against the two-way comparison it is built on: a
// generated base project and two versions of it edited apart (xtgen
// --three-way), 5,000 pages by default, merged by a fresh corvane-merge
// --base process on a fresh copy of LEFT, compared LEFT against RIGHT by a
// fresh corvane-compare process, merged two ways by a fresh corvane-merge
// --take right process on a fresh copy of LEFT (for scale: the two-way merge
// of the same pair), and merged as text by git merge-file on the same three
// files, in turn, run after run.
//
// Prints the files' sizes; the medians of wall time, CPU time (user +
// system) and peak memory (the process's own VmHWM as it exits) of each
// program; the merge's time over the comparison's (target: at most 2x); and
// what the merge and git merge-file reported (conflicts); and the medians of
// the merge's phases as it times them itself (CORVANE_PHASE_TIMES).
//
//   bench_threeway [--runs N] [--seed S] [PAGES...]

#include "ProjectGenerator.h"

#include "BenchProjects.h"
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace
{

constexpr double sTimeTarget = 2.0;

bool ReadArguments(const QStringList& args, int* runs, int* seed, std::vector<int>* sizes)
{
    for (int i = 0; i < args.size(); ++i)
    {
        bool ok = false;
        if ((args[i] == QLatin1String("--runs") || args[i] == QLatin1String("--seed")) && i + 1 < args.size())
        {
            const int value = args[i + 1].toInt(&ok);
            if (!ok || value < (args[i] == QLatin1String("--runs") ? 1 : 0))
                return false;
            *(args[i] == QLatin1String("--runs") ? runs : seed) = value;
            ++i;
            continue;
        }
        const int pages = args[i].toInt(&ok);
        if (!ok || pages < 4 || pages > 100000)
            return false;
        sizes->push_back(pages);
    }
    if (sizes->empty())
        sizes->push_back(5000);
    return true;
}

void PrintRow(int pages, double megabytes, const Bench::Series& merged, const Bench::Series& compared,
              const Bench::Series& twoWay, const Bench::Series& text)
{
    const double ratio = compared.seconds() > 0 ? merged.seconds() / compared.seconds() : 0;
    std::printf("%6d %9.1f | %8.2f %7.2f %8.0f | %9.2f %7.2f %8.0f | %9.2f %7.2f %8.0f | %9.2f %7.2f %8.0f | %5.2f "
                "(%s)\n",
                pages, megabytes, merged.seconds(), merged.cpu(), merged.peakMb(), compared.seconds(),
                compared.cpu(), compared.peakMb(), twoWay.seconds(), twoWay.cpu(), twoWay.peakMb(), text.seconds(),
                text.cpu(), text.peakMb(), ratio, ratio <= sTimeTarget ? "met" : "not met");
    std::fflush(stdout);
}

// The merge's phases, in the order it went through them, with each run's
// time: read from the file its marks went to.
struct Phases
{
    QStringList mOrder;
    QHash<QString, std::vector<double>> mSeconds;

    void read(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        while (!file.atEnd())
        {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            const int space = line.lastIndexOf(QLatin1Char(' '));
            bool ok = false;
            const double ms = line.mid(space + 1).toDouble(&ok);
            if (space <= 0 || !ok)
                continue;
            const QString phase = line.left(space);
            if (!mOrder.contains(phase))
                mOrder << phase;
            mSeconds[phase].push_back(ms / 1000);
        }
    }

    QString medians() const
    {
        QStringList parts;
        for (const QString& phase : mOrder)
            parts << QStringLiteral("%1 %2").arg(phase).arg(Bench::Median(mSeconds.value(phase)), 0, 'f', 2);
        return parts.join(QStringLiteral(", "));
    }
};

// Runs a program with its phases timed into a file of the run's folder.
Bench::Measured Timed(Phases& phases, const QTemporaryDir& dir, const QStringList& command, const QString& output)
{
    const QString file = dir.filePath(QStringLiteral("phases.txt"));
    QFile::remove(file);
    qputenv("CORVANE_PHASE_TIMES", QFile::encodeName(file));
    const Bench::Measured measured = Bench::RunMeasured(command, output);
    qunsetenv("CORVANE_PHASE_TIMES");
    phases.read(file);
    return measured;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int runs = 5;
    int seed = 1;
    std::vector<int> sizes;
    if (!ReadArguments(app.arguments().mid(1), &runs, &seed, &sizes))
    {
        std::fprintf(stderr, "usage: bench_threeway [--runs N] [--seed S] [PAGES...] (PAGES from 4 to 100000)\n");
        return 2;
    }
    const QString merge = QStringLiteral(CORVANE_MERGE);
    const QString compare = QStringLiteral(CORVANE_COMPARE);
    const QString git = QStandardPaths::findExecutable(QStringLiteral("git"));
    if (git.isEmpty())
    {
        std::fprintf(stderr, "bench_threeway: no git (scripts/setup installs it)\n");
        return 1;
    }
    qputenv("XTHOST_RESOURCES", CORVANE_RESOURCES);
    std::printf("Three-way merge against the two-way comparison, on generated triples:\n"
                "  xtgen --three-way --layouts 2 --spreads PAGES/4 --pages 2 --boxes 20 --stories 2*PAGES\n"
                "        --story-length 2000 --assets 111 --seed %d BASE LEFT RIGHT\n"
                "(LEFT and RIGHT: the base edited apart, with edits drawn from two seeds).\n"
                "Runs: %d; in each, in turn, each program a fresh process:\n"
                "  merge:   %s --base BASE COPY RIGHT   (COPY a fresh copy of LEFT)\n"
                "  compare: %s LEFT RIGHT\n"
                "  2-way:   %s --take right COPY RIGHT\n"
                "  text:    %s merge-file -p COPY BASE RIGHT\n"
                "Medians of wall time (s), CPU time (user + system, s) and peak memory (own VmHWM, MB);\n"
                "ratio: the merge's wall time over the comparison's (target <= %.0fx).\n\n",
                seed, runs, qPrintable(merge), qPrintable(compare), qPrintable(merge), qPrintable(git), sTimeTarget);
    std::printf("%6s %9s | %8s %7s %8s | %9s %7s %8s | %9s %7s %8s | %9s %7s %8s | %s\n", "pages", "files MB",
                "merge s", "cpu s", "peak MB", "compare s", "cpu s", "peak MB", "2-way s", "cpu s", "peak MB",
                "git mf s", "cpu s", "peak MB", "ratio");
    QStringList notes;
    for (int pages : sizes)
    {
        QTemporaryDir dir;
        const QString base = dir.filePath(QStringLiteral("base.xprj"));
        const QString left = dir.filePath(QStringLiteral("left.xprj"));
        const QString right = dir.filePath(QStringLiteral("right.xprj"));
        const QString copy = dir.filePath(QStringLiteral("merged.xprj"));
        QString error;
        if (!dir.isValid() || !XTHost::ProjectGenerator::writeTriple(Bench::ScaleOptions(pages, uint32_t(seed)), base, left, right, &error))
        {
            std::fprintf(stderr, "bench_threeway: %s\n", qPrintable(error.isEmpty() ? dir.errorString() : error));
            return 1;
        }
        const double megabytes =
            double(QFileInfo(base).size() + QFileInfo(left).size() + QFileInfo(right).size()) / 1048576.0;
        const QString mergeOut = dir.filePath(QStringLiteral("merge.txt"));
        const QString textOut = dir.filePath(QStringLiteral("merge-file.txt"));
        Bench::Series merged, compared, twoWay, text;
        Phases phases, comparePhases;
        int mergeStatus = -1;
        int textConflicts = -1;
        for (int run = 0; run < runs; ++run)
        {
            QFile::remove(copy);
            QFile::copy(left, copy);
            const Bench::Measured m =
                Timed(phases, dir, {merge, QStringLiteral("--base"), base, copy, right}, mergeOut);
            const Bench::Measured c = Timed(comparePhases, dir, {compare, left, right}, dir.filePath(QStringLiteral("c.txt")));
            QFile::remove(copy);
            QFile::copy(left, copy);
            const Bench::Measured w = Bench::RunMeasured(
                {merge, QStringLiteral("--take"), QStringLiteral("right"), copy, right}, dir.filePath(QStringLiteral("w.txt")));
            QFile::remove(copy);
            QFile::copy(left, copy);
            const Bench::Measured t = Bench::RunMeasured({git, QStringLiteral("merge-file"), QStringLiteral("-p"), copy, base, right}, textOut);
            if ((m.exitCode != 0 && m.exitCode != 1) || c.exitCode != 1 || (w.exitCode != 0 && w.exitCode != 1) ||
                t.exitCode < 0 || t.exitCode > 127)
            {
                std::fprintf(stderr, "bench_threeway: on %d pages: merge exited %d, compare %d, merge-file %d\n",
                             pages, m.exitCode, c.exitCode, t.exitCode);
                return 1;
            }
            mergeStatus = m.exitCode;
            textConflicts = t.exitCode;
            merged.add(m);
            compared.add(c);
            twoWay.add(w);
            text.add(t);
        }
        PrintRow(pages, megabytes, merged, compared, twoWay, text);
        notes << QStringLiteral("%1 pages: corvane-merge exit %2, \"%3\"; git merge-file: %4 conflicts")
                     .arg(pages)
                     .arg(mergeStatus)
                     .arg(QString::fromUtf8(Bench::LastLine(mergeOut)))
                     .arg(textConflicts)
              << QStringLiteral("%1 pages: the merge's phases (medians, s): %2").arg(pages).arg(phases.medians())
              << QStringLiteral("%1 pages: the comparison's phases (medians, s): %2")
                     .arg(pages)
                     .arg(comparePhases.medians());
    }
    std::printf("\n%s\n", qPrintable(notes.join(QLatin1Char('\n'))));
    return 0;
}
