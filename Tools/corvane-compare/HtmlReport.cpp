#include "HtmlReport.h"

#include "ComparisonReport.h"

#include <QFileInfo>
#include <QTextStream>

namespace
{

// The explorer's default colours: a change row on light grey, its changed
// text dark red and its unchanged text dark green, hidden text on pale
// yellow.
const char kStyle[] = R"(
body { font-family: sans-serif; margin: 1.5em; color: #202020; }
h1 { font-size: 1.3em; }
table { border-collapse: collapse; }
.summary td, .summary th { border: 1px solid #b0b0b0; padding: 0.2em 0.8em; text-align: left; }
details { margin-left: 1.4em; }
summary, .leaf { margin: 0.1em 0; }
.leaf { margin-left: 2.6em; }
.mark { display: inline-block; width: 1.2em; font-family: monospace; font-weight: bold; text-align: center; }
.edited .mark { color: #a06000; }
.onlyLeft .mark { color: #1050b0; }
.onlyRight .mark { color: #108030; }
.counts { color: #606060; font-size: 0.9em; margin-left: 0.6em; }
.rows { margin: 0.3em 0 0.6em 2.6em; width: calc(100% - 3em); table-layout: fixed; }
.rows th { text-align: left; font-weight: normal; color: #606060; padding: 0.2em 0.4em; }
.rows th.n { width: 11em; }
.rows td { border: 1px solid #ffffff; padding: 0.2em 0.4em; vertical-align: top; white-space: pre-wrap;
  font-family: monospace; }
.rows tr.change td.l, .rows tr.change td.r { background: #c0c0c0; color: #000000; }
.rows td.n { color: #404040; font-family: sans-serif; }
.change .x { color: #8b0000; font-weight: bold; }
.change .f { color: #8b0000; text-decoration: underline wavy; }
.formatting td { color: #555; font-size: small; }
.hidden { background: #ffe8a8; }
.legend { color: #606060; font-size: 0.9em; }
)";

bool IsBreak(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

bool In(const QVector<QPair<int, int>>& stretches, int at)
{
    for (const auto& stretch : stretches)
        if (at >= stretch.first && at < stretch.second)
            return true;
    return false;
}

QString StatusClass(int status)
{
    return ComparisonReport::StatusName(status);
}

} // namespace

QString HtmlReport::Escape(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text)
    {
        switch (c.unicode())
        {
        case '&':
            escaped += QLatin1String("&amp;");
            break;
        case '<':
            escaped += QLatin1String("&lt;");
            break;
        case '>':
            escaped += QLatin1String("&gt;");
            break;
        case '"':
            escaped += QLatin1String("&quot;");
            break;
        default:
            // XML allows no other control characters, even as references.
            if (c.unicode() < 0x20 && c != QLatin1Char('\t'))
                escaped += QChar(0xFFFD);
            else
                escaped += c;
        }
    }
    return escaped;
}

// A cell's text with its changes and hidden text in spans; line breaks as
// <br/>, except the one that ends the cell, which shows only when it is a
// change. A paragraph end that is a change shows as a pilcrow.
QString HtmlReport::Cell(const ReportCell& cell)
{
    const QString& text = cell.mText;
    int length = text.size();
    if (length > 0 && IsBreak(text.at(length - 1)) && !In(cell.mChanges, length - 1))
        --length;
    QString html;
    int i = 0;
    while (i < length)
    {
        const bool changed = In(cell.mChanges, i);
        const bool hidden = In(cell.mHidden, i);
        const bool restyled = In(cell.mRestyled, i);
        int j = i;
        while (j < length && In(cell.mChanges, j) == changed && In(cell.mHidden, j) == hidden &&
               In(cell.mRestyled, j) == restyled)
            ++j;
        QStringList classes;
        if (changed)
            classes << QStringLiteral("x");
        if (restyled)
            classes << QStringLiteral("f");
        if (hidden)
            classes << QStringLiteral("hidden");
        if (!classes.isEmpty())
            html += QStringLiteral("<span class=\"%1\">").arg(classes.join(QLatin1Char(' ')));
        for (int k = i; k < j; ++k)
        {
            const QChar c = text.at(k);
            if (!IsBreak(c))
                html += Escape(QString(c));
            else if (k == length - 1)
                html += c == QLatin1Char('\r') ? QString(QChar(0xB6)) : QString();
            else
                html += changed && c == QLatin1Char('\r') ? QStringLiteral("\u00B6<br/>")
                                                          : QStringLiteral("<br/>");
        }
        if (!classes.isEmpty())
            html += QLatin1String("</span>");
        i = j;
    }
    return html;
}

void HtmlReport::Write(const ComparisonReport& report, QTextStream& out) const
{
    const QString left = QFileInfo(report.mFiles[0]).fileName();
    const QString right = QFileInfo(report.mFiles[1]).fileName();
    out << "<!DOCTYPE html>\n"
        << "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\" xml:lang=\"en\">\n<head>\n"
        << "<meta charset=\"UTF-8\"/>\n<title>" << Escape(left) << " | " << Escape(right) << "</title>\n"
        << "<style>" << kStyle << "</style>\n</head>\n<body>\n"
        << "<h1>" << Escape(left) << " | " << Escape(right) << "</h1>\n"
        << "<p>LHS: <code>" << Escape(report.mFiles[0]) << "</code><br/>RHS: <code>"
        << Escape(report.mFiles[1]) << "</code></p>\n"
        << "<table class=\"summary\">\n<tr><th>result</th><th>differing items</th><th>edited</th>"
        << "<th>only left</th><th>only right</th></tr>\n<tr><td>"
        << (report.mDifferences ? "different" : "identical") << "</td><td>" << report.mDifferences
        << "</td><td>" << report.mTotal.mEdited << "</td><td>" << report.mTotal.mLeftOnly << "</td><td>"
        << report.mTotal.mRightOnly << "</td></tr>\n</table>\n"
        << "<p class=\"legend\">= identical, ~ edited, &lt; only left, &gt; only right; [~2 &lt;1 &gt;3]: "
        << "2 edited, 1 only left, 3 only right below. Changed text is dark red on grey rows.</p>\n";

    // Items come in tree order with their depth: an item opens a <details>
    // when it has something to fold (items below it or rows), which closes
    // before the next item at its depth or above.
    const QVector<ReportItem>& items = report.mItems;
    QVector<int> open;
    for (int index = 0; index < items.size(); ++index)
    {
        const ReportItem& item = items.at(index);
        while (!open.isEmpty() && open.last() >= item.mDepth)
        {
            out << "</details>\n";
            open.removeLast();
        }
        const bool hasChildren = index + 1 < items.size() && items.at(index + 1).mDepth > item.mDepth;
        const bool hasRows = mRows && !item.mRows.isEmpty();
        const QString rollup = ProjectTree::RollupText(item.mRollup);
        QString line =
            QStringLiteral("<span class=\"mark\">%1</span>%2")
                .arg(item.mDepth > 0 ? Escape(ComparisonReport::Mark(item.mStatus)).trimmed() : QString(),
                     Escape(item.mName));
        if (!rollup.isEmpty())
            line += QStringLiteral("<span class=\"counts\">[%1]</span>").arg(Escape(rollup));
        const QString classes =
            QStringLiteral("%1 %2").arg(item.mKind, item.mDepth > 0 ? StatusClass(item.mStatus) : QString());
        if (!hasChildren && !hasRows)
        {
            out << "<div class=\"leaf " << classes.trimmed() << "\">" << line << "</div>\n";
            continue;
        }
        out << "<details open=\"open\" class=\"" << classes.trimmed() << "\"><summary>" << line
            << "</summary>\n";
        open.append(item.mDepth);
        if (!hasRows)
            continue;
        const QStringList names = item.mName.split(QStringLiteral(" | "));
        out << "<table class=\"rows\">\n<tr><th class=\"n\">row</th><th>LHS: " << Escape(names.value(0))
            << "</th><th>RHS: " << Escape(names.value(1)) << "</th></tr>\n";
        for (const ReportRow& row : item.mRows)
        {
            out << "<tr class=\"change\"><td class=\"n\">" << row.mNumber;
            if (!row.mName.isEmpty())
                out << ' ' << Escape(row.mName);
            out << "</td><td class=\"l\">" << Cell(row.mSides[0]) << "</td><td class=\"r\">"
                << Cell(row.mSides[1]) << "</td></tr>\n";
            if (!row.mFormatting.isEmpty())
                out << "<tr class=\"formatting\"><td class=\"n\"></td><td colspan=\"2\">Formatting: "
                    << Escape(row.mFormatting.join(QStringLiteral("; "))) << "</td></tr>\n";
        }
        out << "</table>\n";
    }
    while (!open.isEmpty())
    {
        out << "</details>\n";
        open.removeLast();
    }
    out << "<p>"
        << (report.mDifferences ? QStringLiteral("%1 differences").arg(report.mDifferences)
                                : QStringLiteral("identical"))
        << "</p>\n</body>\n</html>\n";
}
