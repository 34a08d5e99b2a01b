#include "TextReport.h"

#include "ComparisonReport.h"

#include <QTextStream>

namespace
{

const char kDeletedColor[] = "\x1b[1;31m";
const char kInsertedColor[] = "\x1b[1;32m";
const char kPlain[] = "\x1b[0m";
const char kRestyledColor[] = "\x1b[4;35m";

bool IsBreak(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

} // namespace

void TextReport::Write(const ComparisonReport& report, QTextStream& out) const
{
    if (!mQuiet)
    {
        out << "legend: = identical, ~ edited, < only left, > only right; [~2 <1 >3]: 2 edited, 1 only "
               "left, 3 only right below\n";
        if (mRows)
            out << (mColor ? "rows: - left, + right; changes in red on the left, in green on the right, "
                             "formatting underlined in magenta\n"
                           : "rows: - left, + right; [-text-] changed on the left, {+text+} on the right, "
                             "[*text*] formatted otherwise\n");
    }
    for (const ReportItem& item : report.mItems)
    {
        if (item.mDepth == 0)
        {
            out << item.mName << '\n';
            continue;
        }
        // The project pair's counts are the last line's.
        const QString rollup = ProjectTree::RollupText(item.mRollup);
        out << QString(item.mDepth * 2, QLatin1Char(' ')) << ComparisonReport::Mark(item.mStatus) << ' '
            << item.mName << (rollup.isEmpty() ? QString() : QStringLiteral("  [%1]").arg(rollup)) << '\n';
        const QString indent((item.mDepth + 1) * 2 + 2, QLatin1Char(' '));
        for (const ReportRow& row : item.mRows)
        {
            out << indent << "row " << row.mNumber;
            if (!row.mName.isEmpty())
                out << ' ' << row.mName;
            out << '\n';
            const QString continuation = indent + QStringLiteral("    ");
            out << indent << "  - " << Cell(row.mSides[0], 0, continuation) << '\n';
            out << indent << "  + " << Cell(row.mSides[1], 1, continuation) << '\n';
            for (const QString& line : row.mFormatting)
                out << indent << "  * " << line << '\n';
        }
    }
    out << (report.mDifferences ? QStringLiteral("%1 differences\n").arg(report.mDifferences)
                                : QStringLiteral("identical\n"));
}

// A cell on as many lines as it has: a line break inside it starts a new
// line under the first; the break that ends a paragraph or a property value
// is not shown unless it is itself a change. A paragraph end that is a change
// shows as a pilcrow in the mark.
QString TextReport::Cell(const ReportCell& cell, int side, const QString& continuation) const
{
    const QString& text = cell.mText;
    int length = text.size();
    auto in = [](const QVector<QPair<int, int>>& stretches, int at)
    {
        for (const auto& stretch : stretches)
            if (at >= stretch.first && at < stretch.second)
                return true;
        return false;
    };
    auto isChanged = [&](int at) { return in(cell.mChanges, at); };
    // 0 plain, 1 changed, 2 formatted otherwise.
    auto markOf = [&](int at) { return isChanged(at) ? 1 : in(cell.mRestyled, at) ? 2 : 0; };
    if (length > 0 && IsBreak(text.at(length - 1)) && !isChanged(length - 1))
        --length;

    const QString opens[3] = {QString(),
                              mColor ? QString::fromLatin1(side == 0 ? kDeletedColor : kInsertedColor)
                                     : QString::fromLatin1(side == 0 ? "[-" : "{+"),
                              mColor ? QString::fromLatin1(kRestyledColor) : QStringLiteral("[*")};
    const QString closes[3] = {QString(),
                               mColor ? QString::fromLatin1(kPlain) : QString::fromLatin1(side == 0 ? "-]" : "+}"),
                               mColor ? QString::fromLatin1(kPlain) : QStringLiteral("*]")};
    QString result;
    int mark = 0;
    for (int i = 0; i < length; ++i)
    {
        const int here = markOf(i);
        if (here != mark)
        {
            result += closes[mark] + opens[here];
            mark = here;
        }
        const bool changed = here == 1;
        const bool inChange = mark != 0;
        const QString& open = opens[mark];
        const QString& close = closes[mark];
        const QChar c = text.at(i);
        if (!IsBreak(c))
        {
            result += c;
            continue;
        }
        // A paragraph end that is a change is seen as one; a line feed only
        // breaks a value's line.
        if (changed && c == QLatin1Char('\r'))
            result += QChar(0xB6);
        if (i == length - 1)
            continue;
        // Colour does not run on into the next line's indentation.
        if (inChange && mColor)
            result += close;
        result += QLatin1Char('\n') + continuation;
        if (inChange && mColor)
            result += open;
    }
    result += closes[mark];
    return result;
}
