#pragma once

// What every benchmark reports with: the peak resident memory of the running
// process (each case runs in a child process of its own, so the figure is the
// case's), and the median and list of repeated timings.

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <QElapsedTimer>

#include <algorithm>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Bench
{

// VmHWM of this process in kB, or -1 when the kernel does not say.
inline long PeakKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// "0.101, 0.099, ..." for a report line.
inline QString List(const std::vector<double>& values, int precision)
{
    QStringList parts;
    for (double v : values)
        parts << QString::number(v, 'f', precision);
    return parts.join(QStringLiteral(", "));
}

// Runs this benchmark again as a child with `arguments` and reads the peak
// memory, in MB, that the child prints as its last line (PeakKilobytes());
// -1 when the child fails.
inline double PeakOfChild(const QStringList& arguments, int timeoutMs = 300000)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(timeoutMs) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0)
        return -1.0;
    return child.readAllStandardOutput().trimmed().split('\n').last().toDouble() / 1024.0;
}

struct Measured
{
    double ms = 0;
    long peakKb = -1;
    // User plus system time of the child.
    double cpuMs = 0;
    int exitCode = -1;
};

// VmHWM of a process in kB, or -1.
inline long PeakKilobytesOf(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Runs a program with its output into a file and measures its wall time, its CPU time and its own peak
// memory. The rusage of a child counts the pages it shared with this process when it was forked, which
// for a benchmark that holds large inputs is more than the program's own; so the child runs traced, and
// its VmHWM is read when it stops at its exit, before its memory is gone. Where tracing is not allowed,
// the rusage figure is taken.
inline Measured RunMeasured(const QStringList& command, const QString& outputPath)
{
    Measured result;
    std::vector<QByteArray> storage;
    for (const QString& part : command)
    {
        storage.push_back(part.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& part : storage)
    {
        argv.push_back(part.data());
    }
    argv.push_back(nullptr);
    const QByteArray output = outputPath.toLocal8Bit();
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0)
    {
        const int fd = open(output.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || dup2(fd, 1) < 0)
        {
            _exit(127);
        }
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) == 0)
        {
            raise(SIGSTOP);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0)
    {
        return result;
    }
    long tracedPeak = -1;
    int status = 0;
    struct rusage usage = {};
    bool options = false;
    while (true)
    {
        if (wait4(pid, &status, 0, &usage) != pid)
        {
            return result;
        }
        if (WIFEXITED(status) || WIFSIGNALED(status))
        {
            break;
        }
        if (!WIFSTOPPED(status))
        {
            continue;
        }
        int signal = WSTOPSIG(status);
        const int event = status >> 16;
        if (!options)
        {
            // The child's own stop before exec.
            options = true;
            ptrace(
                PTRACE_SETOPTIONS, pid, nullptr,
                reinterpret_cast<void*>(long(PTRACE_O_TRACEEXIT | PTRACE_O_TRACEEXEC | PTRACE_O_EXITKILL)));
            signal = 0;
        }
        else if (event == PTRACE_EVENT_EXIT)
        {
            tracedPeak = PeakKilobytesOf(pid);
            signal = 0;
        }
        else if (event != 0 || signal == SIGTRAP)
        {
            signal = 0;
        }
        ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(long(signal)));
    }
    result.ms = double(timer.nsecsElapsed()) / 1e6;
    result.peakKb = tracedPeak >= 0 ? tracedPeak : usage.ru_maxrss;
    result.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                   (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The medians of a program's runs: wall time, CPU time and peak memory.
struct Series
{
    std::vector<double> mSeconds, mCpu, mPeakMb;

    void add(const Measured& measured)
    {
        mSeconds.push_back(measured.ms / 1000);
        mCpu.push_back(measured.cpuMs / 1000);
        mPeakMb.push_back(measured.peakKb / 1024.0);
    }
    double seconds() const { return Median(mSeconds); }
    double cpu() const { return Median(mCpu); }
    double peakMb() const { return Median(mPeakMb); }
};

// The last line a program wrote into a file: its summary.
inline QByteArray LastLine(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    return lines.isEmpty() ? QByteArray() : lines.last();
}

} // namespace Bench
