#pragma once

#include <QString>

struct ComparisonReport;
class QTextStream;

// The report for a program: JSON after report.schema.json, whose version is
// kSchema. A change that a reader of the previous version would misread
// raises it.
struct JsonReport
{
    static constexpr int kSchema = 2;

    bool mRows = false;

    void Write(const ComparisonReport& report, QTextStream& out) const;
    // A JSON string literal: the text in quotes, escaped.
    static QString Quote(const QString& text);
};
