// Reading Scribus documents, judged against xmllint: a generated book
// (xtgen --scribus-book: facing pages, five objects a page, two of them text
// frames of six paragraphs) and its second version, 1,000 pages by default,
// compared by a fresh corvane-compare process, merged by a fresh
// corvane-merge --take right process on a fresh copy of the left file, and
// parsed by xmllint --noout of both files, in turn, run after run. xmllint
// reads the same bytes with a C parser and builds nothing the comparison
// needs, so it is the floor that the host's reader is measured against.
//
// Prints, per page count: the two files' sizes; the medians of wall time, CPU
// time (user + system) and peak memory (the process's own VmHWM as it exits)
// of each program; corvane-compare's time over xmllint's and its peak memory
// over the two files' size, beside the targets (at most 2x and 4x).
//
//   bench_scribus [--runs N] [--seed S] [PAGES...]

#include "ScribusBookGenerator.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace
{

// The targets of the reader, in the same run: a comparison of the two files
// in at most this many times xmllint's time, in at most this many times the
// two files' size of memory.
constexpr double sTimeTarget = 2.0;
constexpr double sMemoryTarget = 4.0;

constexpr double sMiB = 1048576.0;

const char* verdict(double value, double target)
{
    return value <= target ? "met" : "not met";
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int runs = 5;
    int seed = 1;
    std::vector<int> sizes;
    for (int i = 0; i < args.size(); ++i)
    {
        bool ok = false;
        if ((args[i] == QLatin1String("--runs") || args[i] == QLatin1String("--seed")) && i + 1 < args.size())
        {
            const int value = args[i + 1].toInt(&ok);
            if (!ok || value < (args[i] == QLatin1String("--runs") ? 1 : 0))
            {
                std::fprintf(stderr, "bench_scribus: %s wants a whole number\n", qPrintable(args[i]));
                return 2;
            }
            (args[i] == QLatin1String("--runs") ? runs : seed) = value;
            ++i;
            continue;
        }
        const int pages = args[i].toInt(&ok);
        if (!ok || pages < 1 || pages > 100000)
        {
            std::fprintf(stderr,
                         "usage: bench_scribus [--runs N] [--seed S] [PAGES...] (PAGES from 1 to 100000)\n");
            return 2;
        }
        sizes.push_back(pages);
    }
    if (sizes.empty())
        sizes.push_back(1000);

    const QString compare = QStringLiteral(CORVANE_COMPARE);
    const QString merge = QStringLiteral(CORVANE_MERGE);
    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    if (xmllint.isEmpty())
    {
        std::fprintf(stderr,
                     "bench_scribus: no xmllint (Debian's libxml2-utils; scripts/setup installs it)\n");
        return 1;
    }

    std::printf("Scribus documents against xmllint, on generated book pairs:\n"
                "  xtgen --scribus-book PAGES --seed %d LEFT.sla RIGHT.sla\n"
                "(a Scribus 1.5 book; RIGHT its second version, whose changes are listed below the table).\n"
                "Runs: %d; in each, in turn, each program a fresh process:\n"
                "  compare: %s LEFT RIGHT\n"
                "  xmllint: %s --noout LEFT RIGHT\n"
                "  merge:   %s --take right COPY RIGHT\n"
                "           (COPY a fresh copy of LEFT, which the merge rewrites)\n"
                "Medians of wall time (s), CPU time (user + system, s) and peak memory (the process's own\n"
                "VmHWM at its exit; MB = 2^20 bytes). time x: compare's wall time over xmllint's (target\n"
                "<= %.0fx); mem x: compare's peak memory over the two files' size (target <= %.0fx).\n\n",
                seed, runs, qPrintable(compare), qPrintable(xmllint), qPrintable(merge), sTimeTarget,
                sMemoryTarget);
    char timeHeader[32], memoryHeader[32];
    std::snprintf(timeHeader, sizeof timeHeader, "time x (<=%.0f)", sTimeTarget);
    std::snprintf(memoryHeader, sizeof memoryHeader, "mem x (<=%.0f)", sMemoryTarget);
    std::printf("%6s %11s | %9s %7s %8s | %9s %7s %8s | %9s %7s %8s | %14s %14s\n", "pages", "files MB",
                "compare s", "cpu s", "peak MB", "xmllint s", "cpu s", "peak MB", "merge s", "cpu s",
                "peak MB", timeHeader, memoryHeader);
    std::fflush(stdout);

    QStringList notes;
    for (int pages : sizes)
    {
        QTemporaryDir dir;
        const QString left = dir.filePath(QStringLiteral("left.sla"));
        const QString right = dir.filePath(QStringLiteral("right.sla"));
        const QString copy = dir.filePath(QStringLiteral("merged.sla"));
        QString error;
        QStringList edits;
        if (!dir.isValid() ||
            !XTHost::ScribusBookGenerator::writePair({pages, uint32_t(seed)}, left, right, &edits, &error))
        {
            std::fprintf(stderr, "bench_scribus: %s\n",
                         qPrintable(error.isEmpty() ? dir.errorString() : error));
            return 1;
        }
        const qint64 leftBytes = QFileInfo(left).size();
        const qint64 rightBytes = QFileInfo(right).size();
        const QString report = dir.filePath(QStringLiteral("compare.txt"));
        const QString mergeReport = dir.filePath(QStringLiteral("merge.txt"));
        const QString lint = dir.filePath(QStringLiteral("xmllint.txt"));

        Bench::Series compared, merged, linted;
        for (int run = 0; run < runs; ++run)
        {
            const Bench::Measured c = Bench::RunMeasured({compare, left, right}, report);
            if (c.exitCode != 1)
            {
                std::fprintf(stderr,
                             "bench_scribus: corvane-compare exited %d on %d pages, not 1 (different)\n",
                             c.exitCode, pages);
                return 1;
            }
            compared.add(c);

            const Bench::Measured x =
                Bench::RunMeasured({xmllint, QStringLiteral("--noout"), left, right}, lint);
            if (x.exitCode != 0)
            {
                std::fprintf(stderr, "bench_scribus: xmllint exited %d on %d pages\n", x.exitCode, pages);
                return 1;
            }
            linted.add(x);

            QFile::remove(copy);
            if (!QFile::copy(left, copy))
            {
                std::fprintf(stderr, "bench_scribus: cannot copy %s\n", qPrintable(left));
                return 1;
            }
            const Bench::Measured m = Bench::RunMeasured(
                {merge, QStringLiteral("--take"), QStringLiteral("right"), copy, right}, mergeReport);
            if (m.exitCode != 0 && m.exitCode != 1)
            {
                std::fprintf(stderr, "bench_scribus: corvane-merge exited %d on %d pages\n", m.exitCode,
                             pages);
                return 1;
            }
            merged.add(m);
        }

        const double timeRatio = linted.seconds() > 0 ? compared.seconds() / linted.seconds() : 0;
        const double memoryRatio = compared.peakMb() * sMiB / double(leftBytes + rightBytes);
        char time[32], memory[32];
        std::snprintf(time, sizeof time, "%.2f %s", timeRatio, verdict(timeRatio, sTimeTarget));
        std::snprintf(memory, sizeof memory, "%.2f %s", memoryRatio, verdict(memoryRatio, sMemoryTarget));
        std::printf(
            "%6d %5.2f+%5.2f | %9.3f %7.3f %8.1f | %9.3f %7.3f %8.1f | %9.3f %7.3f %8.1f | %14s %14s\n",
            pages, leftBytes / sMiB, rightBytes / sMiB, compared.seconds(), compared.cpu(), compared.peakMb(),
            linted.seconds(), linted.cpu(), linted.peakMb(), merged.seconds(), merged.cpu(), merged.peakMb(),
            time, memory);
        std::fflush(stdout);
        notes << QStringLiteral("%1 pages: LEFT %2 bytes, RIGHT %3 bytes")
                     .arg(pages)
                     .arg(leftBytes)
                     .arg(rightBytes)
              << QStringLiteral("  compare: \"%1\"; wall s %2; cpu x (its CPU time over xmllint's) %3")
                     .arg(QString::fromUtf8(Bench::LastLine(report)), Bench::List(compared.mSeconds, 3))
                     .arg(linted.cpu() > 0 ? compared.cpu() / linted.cpu() : 0, 0, 'f', 2)
              << QStringLiteral("  merge:   \"%1\"; wall s %2")
                     .arg(QString::fromUtf8(Bench::LastLine(mergeReport)), Bench::List(merged.mSeconds, 3))
              << QStringLiteral("  xmllint: wall s %1").arg(Bench::List(linted.mSeconds, 3))
              << QStringLiteral("  RIGHT's changes:");
        for (const QString& edit : edits)
            notes << QStringLiteral("    ") + edit;
    }
    std::printf("\n");
    for (const QString& note : notes)
        std::printf("%s\n", qPrintable(note));
    return 0;
}
