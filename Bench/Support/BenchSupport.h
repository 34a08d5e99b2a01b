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

#include <algorithm>
#include <vector>

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

} // namespace Bench
