// Times what the patch table runs for one pair of story texts compared by characters, the steps of
// rows_make: rows_diff (diff_main(left, right, false)), rows_cleanup (diff_cleanupEfficiency) and
// patch_make, on generated pairs. Every run is a fresh child process, so that its peak memory is its own;
// GNU diff --minimal on the same texts, one UTF-16 unit per line, gives the minimal number of edited units,
// a time and a peak memory to compare with. The runs of the engine and of GNU diff alternate, so that both
// see the same load on the machine.
//
//   bench_diffengine                     all cases
//   bench_diffengine a c                 some of them
//   bench_diffengine --runs N ...        N runs of each side per case (default: per case)
//   bench_diffengine --no-time-limit ... the engine with Diff_Timeout 0 instead of the patch table's 1 s
//   bench_diffengine --case c [R [T]]    one case, R runs, time limit T seconds, in this process (what the
//                                        children run)

#include "DiffEngine.h"
#include "StoryGenerator.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace TextDiff;

namespace
{

struct Case
{
    QString name;
    QString title;
    int repetitions;
};

const Case sCases[] = {
    {"a", "10 KB, 10 word edits", 9},      {"b", "100 KB, 100 word edits", 7},
    {"c", "1 MB, 1,000 word edits", 5},    {"d", "two unrelated 10 KB texts", 7},
    {"e", "200 KB, 50 KB block moved", 5}, {"f", "two unrelated 50 KB texts", 5},
    {"g", "1 MB, 2,000 word edits", 5},    {"h", "1 MB, 10,000 word edits", 3},
    {"i", "10 MB, 10,000 word edits", 3},
};

void makePair(const QString& name, QString& left, QString& right)
{
    struct Edited
    {
        const char* name;
        int size;
        int edits;
        quint32 seed;
    };
    static const Edited edited[] = {
        {"a", 10000, 10, 101},     {"b", 100000, 100, 102},    {"c", 1000000, 1000, 103},
        {"g", 1000000, 2000, 107}, {"h", 1000000, 10000, 108}, {"i", 10000000, 10000, 109},
    };
    for (const Edited& e : edited)
    {
        if (name == QLatin1String(e.name))
        {
            StoryGenerator generator(e.seed);
            left = generator.story(e.size);
            right = generator.editWords(left, e.edits);
            return;
        }
    }
    if (name == "d" || name == "f")
    {
        const int size = name == "d" ? 10000 : 50000;
        left = StoryGenerator(name == "d" ? 104 : 110).story(size);
        right = StoryGenerator(name == "d" ? 105 : 111).story(size);
    }
    else
    {
        StoryGenerator generator(106);
        left = generator.story(200000);
        right = generator.moveParagraphs(left, 50000);
    }
}

int editedUnits(const QList<Diff>& diffs)
{
    int units = 0;
    for (const Diff& diff : diffs)
    {
        units += diff.operation == EQUAL ? 0 : diff.text.length();
    }
    return units;
}

// diff_main's own steps, through the engine's public members, counting path searches that gave up.
QList<Diff> probeMain(DiffEngine& engine, const QString& text1, const QString& text2, int& fallbacks);

QList<Diff> probeCompute(DiffEngine& engine, const QString& text1, const QString& text2, int& fallbacks)
{
    QList<Diff> diffs;
    if (text1.isEmpty() || text2.isEmpty())
    {
        return engine.diff_compute(text1, text2, false);
    }
    const QString& longtext = text1.length() > text2.length() ? text1 : text2;
    const QString& shorttext = text1.length() > text2.length() ? text2 : text1;
    if (longtext.indexOf(shorttext) != -1)
    {
        return engine.diff_compute(text1, text2, false);
    }
    const QStringList hm = engine.diff_halfMatch(text1, text2);
    if (!hm.isEmpty())
    {
        diffs = probeMain(engine, hm[0], hm[2], fallbacks);
        diffs.append(Diff(EQUAL, hm[4], false));
        diffs += probeMain(engine, hm[1], hm[3], fallbacks);
        return diffs;
    }
    diffs = engine.diff_map(text1, text2);
    if (diffs.isEmpty())
    {
        ++fallbacks;
        diffs << Diff(DELETE, text1, false) << Diff(INSERT, text2, false);
    }
    return diffs;
}

QList<Diff> probeMain(DiffEngine& engine, const QString& text1, const QString& text2, int& fallbacks)
{
    if (text1 == text2)
    {
        return engine.diff_main(text1, text2, false);
    }
    const int prefix = engine.diff_commonPrefix(text1, text2);
    const QString rest1 = text1.mid(prefix);
    const QString rest2 = text2.mid(prefix);
    const int suffix = engine.diff_commonSuffix(rest1, rest2);
    QList<Diff> diffs = probeCompute(engine, rest1.left(rest1.length() - suffix),
                                     rest2.left(rest2.length() - suffix), fallbacks);
    if (prefix > 0)
    {
        diffs.prepend(Diff(EQUAL, text1.left(prefix), false));
    }
    if (suffix > 0)
    {
        diffs.append(Diff(EQUAL, rest1.right(suffix), false));
    }
    engine.diff_cleanupMerge(diffs);
    return diffs;
}

double cpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Runs one case and prints one line of key=value fields for the parent.
int runCase(const QString& name, int repetitions, float timeLimit)
{
    QString left;
    QString right;
    makePair(name, left, right);

    std::vector<double> times;
    std::vector<double> cpuTimes;
    QList<Diff> raw;
    QList<Diff> cleaned;
    QList<UnitPatch> rows;
    for (int r = 0; r < repetitions; ++r)
    {
        DiffEngine engine;
        engine.Diff_Timeout = timeLimit;
        QElapsedTimer timer;
        const double cpuStart = cpuMilliseconds();
        timer.start();
        QList<Diff> diffs = engine.rows_diff(left, right, Granularity::Characters, false);
        const qint64 afterMain = timer.nsecsElapsed();
        const double cpuAfterMain = cpuMilliseconds();
        QList<Diff> rawCopy = diffs;
        const qint64 copyStart = timer.nsecsElapsed();
        const double cpuCopyStart = cpuMilliseconds();
        engine.rows_cleanup(diffs, Granularity::Characters, false);
        rows = engine.patch_make(left, diffs, false);
        const qint64 end = timer.nsecsElapsed();
        // The copy kept for counting is not part of the measured work.
        times.push_back(double(afterMain + (end - copyStart)) / 1e6);
        cpuTimes.push_back(cpuAfterMain - cpuStart + cpuMilliseconds() - cpuCopyStart);
        raw = rawCopy;
        cleaned = diffs;
    }

    // The peak of the measured work; the probe below runs the search once more beside the results kept.
    const long peakKb = Bench::PeakKilobytes();
    DiffEngine probeEngine;
    probeEngine.Diff_Timeout = timeLimit;
    int fallbacks = 0;
    const QList<Diff> probed = probeMain(probeEngine, left, right, fallbacks);

    int changeRows = 0;
    for (const UnitPatch& row : rows)
    {
        changeRows += row.isChange ? 1 : 0;
    }
    printf("left=%d right=%d ms=%.2f cpums=%.2f peakkb=%ld raw=%d cleaned=%d rows=%d changerows=%d "
           "fallbacks=%d probe=%s\n",
           int(left.length()), int(right.length()), Bench::Median(times), Bench::Median(cpuTimes), peakKb,
           editedUnits(raw), editedUnits(cleaned), int(rows.size()), changeRows, fallbacks,
           probed == raw ? "same" : "differs");
    return 0;
}

bool writeUnitsPerLine(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
    {
        return false;
    }
    QByteArray bytes;
    bytes.reserve(text.length() * 5);
    static const char hex[] = "0123456789abcdef";
    for (const QChar c : text)
    {
        const ushort u = c.unicode();
        bytes.append(hex[u >> 12]).append(hex[(u >> 8) & 15]).append(hex[(u >> 4) & 15]).append(hex[u & 15]);
        bytes.append('\n');
    }
    return file.write(bytes) == bytes.size();
}

// GNU diff --minimal on the two texts, one unit per line, in a folder of its own.
class GnuDiff
{
public:
    QString prepare(const QString& name)
    {
        mDiff = QStandardPaths::findExecutable(QStringLiteral("diff"));
        if (mDiff.isEmpty())
        {
            return QStringLiteral("diff not found (package diffutils)");
        }
        QString left;
        QString right;
        makePair(name, left, right);
        if (!mDir.isValid() || !writeUnitsPerLine(mDir.filePath(QStringLiteral("left.txt")), left) ||
            !writeUnitsPerLine(mDir.filePath(QStringLiteral("right.txt")), right))
        {
            return QStringLiteral("cannot write temporary files");
        }
        return QString();
    }

    // One run; the edited units are counted from its output.
    bool run(Bench::Measured& measured, int& edits)
    {
        const QString out = mDir.filePath(QStringLiteral("out.txt"));
        measured =
            Bench::RunMeasured({mDiff, QStringLiteral("--minimal"), mDir.filePath(QStringLiteral("left.txt")),
                                mDir.filePath(QStringLiteral("right.txt"))},
                               out);
        if (measured.exitCode != 0 && measured.exitCode != 1)
        {
            return false;
        }
        QFile file(out);
        if (!file.open(QIODevice::ReadOnly))
        {
            return false;
        }
        edits = 0;
        while (!file.atEnd())
        {
            const QByteArray line = file.readLine();
            edits += (line.startsWith("< ") || line.startsWith("> ")) ? 1 : 0;
        }
        return true;
    }

private:
    QString mDiff;
    QTemporaryDir mDir;
};

QMap<QString, QString> fields(const QByteArray& line)
{
    QMap<QString, QString> result;
    for (const QByteArray& field : line.trimmed().split(' '))
    {
        const int eq = field.indexOf('=');
        if (eq > 0)
        {
            result.insert(QString::fromLatin1(field.left(eq)), QString::fromLatin1(field.mid(eq + 1)));
        }
    }
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() >= 2 && args[0] == QLatin1String("--case"))
    {
        const int repetitions = args.size() >= 3 ? args[2].toInt() : 5;
        const float timeLimit = args.size() >= 4 ? args[3].toFloat() : DiffEngine().Diff_Timeout;
        return runCase(args[1], std::max(1, repetitions), timeLimit);
    }
    int runs = 0;
    const int runsAt = int(args.indexOf(QStringLiteral("--runs")));
    if (runsAt >= 0 && runsAt + 1 < args.size())
    {
        runs = args[runsAt + 1].toInt();
        args.removeAt(runsAt + 1);
        args.removeAt(runsAt);
    }
    const bool noTimeLimit = args.removeAll(QStringLiteral("--no-time-limit")) > 0;
    const float timeLimit = noTimeLimit ? 0.0f : DiffEngine().Diff_Timeout;

    QTextStream out(stdout);
    out.setCodec("UTF-8");
    out << "Per case, N runs of each side, alternating: the engine runs diff_main(left, right, false) +\n"
           "diff_cleanupEfficiency + patch_make once in a fresh process (time limit "
        << (noTimeLimit ? QStringLiteral("none") : QStringLiteral("%1 s").arg(double(timeLimit)))
        << "; the time excludes\n"
           "making the texts); GNU diff --minimal runs on the same texts, one UTF-16 unit per line "
           "(process start and\n"
           "file reading included). Medians of the wall and CPU (user + system) times and of the peak "
           "resident memory of each process; "
           "edits are\n"
           "deleted + inserted units after diff_main and after the clean-up; fallback says whether a path "
           "search gave\n"
           "up (time limit) and replaced a whole part.\n\n";
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13 %14 %15 %16\n")
               .arg("case", -30)
               .arg("units L/R", 17)
               .arg("runs", 4)
               .arg("ms", 8)
               .arg("cpu ms", 8)
               .arg("peak MB", 8)
               .arg("edits", 7)
               .arg("cleaned", 8)
               .arg("fallback", 8)
               .arg("GNU edits", 9)
               .arg("GNU ms", 8)
               .arg("GNU cpu", 8)
               .arg("GNU MB", 7)
               .arg("time ×", 7)
               .arg("cpu ×", 6)
               .arg("mem ×", 6);
    out.flush();
    for (const Case& c : sCases)
    {
        if (!args.isEmpty() && !args.contains(c.name))
        {
            continue;
        }
        const int n = runs > 0 ? runs : c.repetitions;
        GnuDiff gnu;
        const QString note = gnu.prepare(c.name);
        std::vector<double> times;
        std::vector<double> cpuTimes;
        std::vector<double> gnuCpuTimes;
        std::vector<double> peaks;
        std::vector<double> gnuTimes;
        std::vector<double> gnuPeaks;
        QMap<QString, QString> f;
        int gnuEdits = 0;
        bool failed = false;
        for (int r = 0; r < n && !failed; ++r)
        {
            QProcess child;
            child.start(
                QCoreApplication::applicationFilePath(),
                {QStringLiteral("--case"), c.name, QStringLiteral("1"), QString::number(double(timeLimit))});
            if (!child.waitForFinished(3600000) || child.exitCode() != 0)
            {
                out << c.name << ": child failed\n";
                failed = true;
                break;
            }
            f = fields(child.readAllStandardOutput());
            times.push_back(f.value("ms").toDouble());
            cpuTimes.push_back(f.value("cpums").toDouble());
            peaks.push_back(f.value("peakkb").toDouble() / 1024);
            Bench::Measured measured;
            if (note.isEmpty() && gnu.run(measured, gnuEdits))
            {
                gnuTimes.push_back(measured.ms);
                gnuCpuTimes.push_back(measured.cpuMs);
                gnuPeaks.push_back(double(measured.peakKb) / 1024);
            }
        }
        if (failed)
        {
            continue;
        }
        const double ms = Bench::Median(times);
        const double peak = Bench::Median(peaks);
        const double cpu = Bench::Median(cpuTimes);
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 ")
                   .arg(QStringLiteral("(%1) %2").arg(c.name, c.title), -30)
                   .arg(f.value("left") + "/" + f.value("right"), 17)
                   .arg(n, 4)
                   .arg(QString::number(ms, 'f', 1), 8)
                   .arg(QString::number(cpu, 'f', 1), 8)
                   .arg(QString::number(peak, 'f', 1), 8)
                   .arg(f.value("raw"), 7)
                   .arg(f.value("cleaned"), 8)
                   .arg(f.value("fallbacks") == "0" ? QStringLiteral("no") : QStringLiteral("YES"), 8);
        if (!gnuTimes.empty())
        {
            const double gnuMs = Bench::Median(gnuTimes);
            const double gnuPeak = Bench::Median(gnuPeaks);
            const double gnuCpu = Bench::Median(gnuCpuTimes);
            out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                       .arg(gnuEdits, 9)
                       .arg(QString::number(gnuMs, 'f', 1), 8)
                       .arg(QString::number(gnuCpu, 'f', 1), 8)
                       .arg(QString::number(gnuPeak, 'f', 1), 7)
                       .arg(QString::number(ms / gnuMs, 'f', 2), 7)
                       .arg(QString::number(gnuCpu > 0 ? cpu / gnuCpu : 0.0, 'f', 2), 6)
                       .arg(QString::number(peak / gnuPeak, 'f', 2), 6);
        }
        else
        {
            out << (note.isEmpty() ? QStringLiteral("diff failed") : note);
        }
        if (f.value("probe") != "same")
        {
            out << "  (fall-back probe gave another result)";
        }
        out << "\n";
        out.flush();
    }
    return 0;
}
