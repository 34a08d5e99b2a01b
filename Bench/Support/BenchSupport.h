#pragma once

// What every benchmark reports with: the peak resident memory of the running
// process (each case runs in a child process of its own, so the figure is the
// case's), and the median and list of repeated timings.

#include <QByteArray>
#include <QFile>
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

} // namespace Bench
