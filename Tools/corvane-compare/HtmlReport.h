#pragma once

#include <QString>

struct ComparisonReport;
struct ReportCell;
class QTextStream;

// The report for a browser: one self-contained XHTML file with its style
// inline and no scripts: the summary counts, the tree as nested <details>
// (collapsible without a script), and the change rows of every edited item
// side by side, coloured as the explorer's patch table colours them.
struct HtmlReport
{
    bool mRows = false;

    void Write(const ComparisonReport& report, QTextStream& out) const;
    // The text with &, <, > and " escaped.
    static QString Escape(const QString& text);

private:
    static QString Cell(const ReportCell& cell);
};
