// Times what the patch table runs for one pair of story texts, diff_main(left, right, false),
// diff_cleanupEfficiency and patch_make, on generated pairs. Each case runs in a fresh child process, so
// that its peak memory is its own; GNU diff --minimal on the same texts, one UTF-16 unit per line, gives
// the minimal number of edited units and a time to compare with.
//
//   bench_diffengine              all cases
//   bench_diffengine a c          some of them
//   bench_diffengine --case c     one case, in this process (what the children run)

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
    {"a", "10 KB, 10 word edits", 15},     {"b", "100 KB, 100 word edits", 9},
    {"c", "1 MB, 1,000 word edits", 5},    {"d", "two unrelated 10 KB texts", 7},
    {"e", "200 KB, 50 KB block moved", 7},
};

void makePair(const QString& name, QString& left, QString& right)
{
    if (name == "a" || name == "b" || name == "c")
    {
        const int size = name == "a" ? 10000 : name == "b" ? 100000 : 1000000;
        StoryGenerator generator(name == "a" ? 101 : name == "b" ? 102 : 103);
        left = generator.story(size);
        right = generator.editWords(left, size / 1000);
    }
    else if (name == "d")
    {
        left = StoryGenerator(104).story(10000);
        right = StoryGenerator(105).story(10000);
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

// Runs one case and prints one line of key=value fields for the parent.
int runCase(const QString& name, int repetitions)
{
    QString left;
    QString right;
    makePair(name, left, right);

    std::vector<double> times;
    QList<Diff> raw;
    QList<Diff> cleaned;
    QList<UnitPatch> rows;
    for (int r = 0; r < repetitions; ++r)
    {
        DiffEngine engine;
        QElapsedTimer timer;
        timer.start();
        QList<Diff> diffs = engine.diff_main(left, right, false);
        const qint64 afterMain = timer.nsecsElapsed();
        QList<Diff> rawCopy = diffs;
        const qint64 copyStart = timer.nsecsElapsed();
        engine.diff_cleanupEfficiency(diffs);
        rows = engine.patch_make(left, diffs, false);
        const qint64 end = timer.nsecsElapsed();
        // The copy kept for counting is not part of the measured work.
        times.push_back(double(afterMain + (end - copyStart)) / 1e6);
        raw = rawCopy;
        cleaned = diffs;
    }

    DiffEngine probeEngine;
    int fallbacks = 0;
    const QList<Diff> probed = probeMain(probeEngine, left, right, fallbacks);

    int changeRows = 0;
    for (const UnitPatch& row : rows)
    {
        changeRows += row.isChange ? 1 : 0;
    }
    printf(
        "left=%d right=%d ms=%.2f peakkb=%ld raw=%d cleaned=%d rows=%d changerows=%d fallbacks=%d probe=%s\n",
        int(left.length()), int(right.length()), Bench::Median(times), Bench::PeakKilobytes(),
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

// GNU diff --minimal on the two texts, one unit per line: edited units and median time, or a note.
QString gnuDiff(const QString& name, int repetitions, int& edits, double& ms)
{
    const QString diff = QStandardPaths::findExecutable(QStringLiteral("diff"));
    if (diff.isEmpty())
    {
        return QStringLiteral("diff not found (package diffutils)");
    }
    QString left;
    QString right;
    makePair(name, left, right);
    QTemporaryDir dir;
    const QString path1 = dir.filePath(QStringLiteral("left.txt"));
    const QString path2 = dir.filePath(QStringLiteral("right.txt"));
    if (!dir.isValid() || !writeUnitsPerLine(path1, left) || !writeUnitsPerLine(path2, right))
    {
        return QStringLiteral("cannot write temporary files");
    }
    std::vector<double> times;
    for (int r = 0; r < repetitions; ++r)
    {
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        process.start(diff, {QStringLiteral("--minimal"), path1, path2});
        if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() > 1)
        {
            return QStringLiteral("diff failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        edits = 0;
        for (const QByteArray& line : process.readAllStandardOutput().split('\n'))
        {
            edits += (line.startsWith("< ") || line.startsWith("> ")) ? 1 : 0;
        }
    }
    ms = Bench::Median(times);
    return QString();
}

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
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() >= 2 && args[0] == QLatin1String("--case"))
    {
        const int repetitions = args.size() >= 3 ? args[2].toInt() : 5;
        return runCase(args[1], std::max(1, repetitions));
    }

    QTextStream out(stdout);
    out.setCodec("UTF-8");
    out << "Per case: median of N runs of diff_main(left, right, false) + diff_cleanupEfficiency + "
           "patch_make,\n"
           "peak resident memory (VmHWM) of a fresh process that generated the pair and ran the case,\n"
           "edited units (deleted + inserted) after diff_main and after the clean-up, and whether any path\n"
           "search fell back to delete-all/insert-all. GNU diff --minimal runs on the same texts, one "
           "UTF-16\n"
           "unit per line (median of 3 runs, process start and file reading included).\n\n";
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10\n")
               .arg("case", -30)
               .arg("units L/R", 17)
               .arg("runs", 4)
               .arg("median ms", 10)
               .arg("peak MB", 8)
               .arg("edits", 7)
               .arg("cleaned", 8)
               .arg("fallback", 8)
               .arg("GNU edits", 9)
               .arg("GNU ms", 8);
    out.flush();
    for (const Case& c : sCases)
    {
        if (!args.isEmpty() && !args.contains(c.name))
        {
            continue;
        }
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--case"), c.name, QString::number(c.repetitions)});
        if (!child.waitForFinished(1800000) || child.exitCode() != 0)
        {
            out << c.name << ": child failed\n";
            continue;
        }
        const QMap<QString, QString> f = fields(child.readAllStandardOutput());
        int gnuEdits = 0;
        double gnuMs = 0;
        const QString note = gnuDiff(c.name, 3, gnuEdits, gnuMs);
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 ")
                   .arg(QStringLiteral("(%1) %2").arg(c.name, c.title), -30)
                   .arg(f.value("left") + "/" + f.value("right"), 17)
                   .arg(c.repetitions, 4)
                   .arg(f.value("ms"), 10)
                   .arg(QString::number(f.value("peakkb").toDouble() / 1024, 'f', 1), 8)
                   .arg(f.value("raw"), 7)
                   .arg(f.value("cleaned"), 8)
                   .arg(f.value("fallbacks") == "0" ? QStringLiteral("no") : QStringLiteral("YES"), 8);
        if (note.isEmpty())
        {
            out << QStringLiteral("%1 %2").arg(gnuEdits, 9).arg(QString::number(gnuMs, 'f', 1), 8);
        }
        else
        {
            out << note;
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
