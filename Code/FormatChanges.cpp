#include "FormatChanges.h"

QString AttributeText(const QString& name, const QString& value)
{
    const XT::AttributeInfo* info = XT::FindAttribute(name);
    if (info && info->mKind == XT::AttributeKind::Flag)
        return value.isEmpty() ? QStringLiteral("off") : QStringLiteral("on");
    if (value.isEmpty())
        return QStringLiteral("none");
    return info ? value + QLatin1String(info->mUnit) : value;
}

QStringList DescribeFormatChanges(const XT::FormatRuns& left, int start1, const XT::FormatRuns& right, int start2,
                                  int length)
{
    QStringList lines;
    for (const QPair<int, int>& stretch : XT::DifferingStretches(left, start1, right, start2, length))
    {
        // Within a differing stretch the runs of either side may still
        // change: each piece is read on its own.
        for (int at = stretch.first; at < stretch.second;)
        {
            const XT::TextAttributes& a = XT::AttributesAt(left, start1 + at);
            const XT::TextAttributes& b = XT::AttributesAt(right, start2 + at);
            QStringList names;
            for (const auto& entry : a)
                names << entry.first;
            for (const auto& entry : b)
                if (!names.contains(entry.first))
                    names << entry.first;
            for (const QString& name : names)
            {
                const QString before = XT::AttributeValue(a, name);
                const QString after = XT::AttributeValue(b, name);
                if (before == after)
                    continue;
                const XT::AttributeInfo* info = XT::FindAttribute(name);
                const QString line = QStringLiteral("%1 %2 \u2192 %3")
                                         .arg(info ? QLatin1String(info->mLabel) : name,
                                              AttributeText(name, before), AttributeText(name, after));
                if (!lines.contains(line))
                    lines << line;
            }
            // The next place where either side's runs change.
            int next = stretch.second;
            for (const XT::FormatRun& run : left)
                if (run.mOffset > start1 + at)
                {
                    next = std::min(next, int(run.mOffset) - start1);
                    break;
                }
            for (const XT::FormatRun& run : right)
                if (run.mOffset > start2 + at)
                {
                    next = std::min(next, int(run.mOffset) - start2);
                    break;
                }
            at = next;
        }
    }
    return lines;
}
