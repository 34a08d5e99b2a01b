#pragma once

#include <QString>

struct ComparisonReport;
struct ReportCell;
class QTextStream;

// The report for a person at a terminal: one line per item, indented as the
// tree, with its mark and the counts of what differs below it, and the
// change rows of edited items with their changes marked.
struct TextReport
{
    bool mRows = false;
    // No legend.
    bool mQuiet = false;
    // Changes in colour (ANSI escapes) instead of [-...-] and {+...+}.
    bool mColor = false;

    void Write(const ComparisonReport& report, QTextStream& out) const;

private:
    QString Cell(const ReportCell& cell, int side, const QString& continuation) const;
};
