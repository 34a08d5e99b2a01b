#include "JsonReport.h"

#include "ComparisonReport.h"

#include <QFileInfo>
#include <QTextStream>

namespace
{

QString Counts(const ProjectTree::Rollup& rollup)
{
    return QStringLiteral("{\"edited\": %1, \"onlyLeft\": %2, \"onlyRight\": %3}")
        .arg(rollup.mEdited)
        .arg(rollup.mLeftOnly)
        .arg(rollup.mRightOnly);
}

QString Stretches(const QVector<QPair<int, int>>& stretches)
{
    QStringList parts;
    for (const auto& stretch : stretches)
        parts << QStringLiteral("[%1, %2]").arg(stretch.first).arg(stretch.second);
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

QString Side(const QString& path)
{
    return QStringLiteral("{\"file\": %1, \"name\": %2}")
        .arg(JsonReport::Quote(path), JsonReport::Quote(QFileInfo(path).fileName()));
}

QString Cell(const ReportCell& cell)
{
    return QStringLiteral("{\"start\": %1, \"end\": %2, \"text\": %3, \"changes\": %4, \"hidden\": %5, "
                          "\"restyled\": %6}")
        .arg(cell.mStart)
        .arg(cell.mEnd)
        .arg(JsonReport::Quote(cell.mText), Stretches(cell.mChanges), Stretches(cell.mHidden),
             Stretches(cell.mRestyled));
}

} // namespace

QString JsonReport::Quote(const QString& text)
{
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += QLatin1Char('"');
    for (const QChar c : text)
    {
        switch (c.unicode())
        {
        case '"':
            quoted += QLatin1String("\\\"");
            break;
        case '\\':
            quoted += QLatin1String("\\\\");
            break;
        case '\n':
            quoted += QLatin1String("\\n");
            break;
        case '\r':
            quoted += QLatin1String("\\r");
            break;
        case '\t':
            quoted += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20 || c.isSurrogate())
                quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                quoted += c;
        }
    }
    quoted += QLatin1Char('"');
    return quoted;
}

void JsonReport::Write(const ComparisonReport& report, QTextStream& out) const
{
    out << "{\n"
        << "  \"schema\": " << kSchema << ",\n"
        << "  \"left\": " << Side(report.mFiles[0]) << ",\n"
        << "  \"right\": " << Side(report.mFiles[1]) << ",\n"
        << "  \"identical\": " << (report.mDifferences ? "false" : "true") << ",\n"
        << "  \"differences\": " << report.mDifferences << ",\n"
        << "  \"counts\": " << Counts(report.mTotal) << ",\n"
        << "  \"withRows\": " << (mRows ? "true" : "false") << ",\n"
        << "  \"items\": [";
    bool firstItem = true;
    for (const ReportItem& item : report.mItems)
    {
        QStringList path;
        for (const QString& name : item.mPath)
            path << Quote(name);
        out << (firstItem ? "\n" : ",\n") << "    {\"name\": " << Quote(item.mName) << ", \"kind\": \""
            << item.mKind << "\", \"status\": \"" << ComparisonReport::StatusName(item.mStatus)
            << "\", \"depth\": " << item.mDepth << ", \"path\": [" << path.join(QStringLiteral(", "))
            << "], \"counts\": " << Counts(item.mRollup);
        firstItem = false;
        if (item.mHasRows)
        {
            out << ", \"rows\": [";
            bool firstRow = true;
            for (const ReportRow& row : item.mRows)
            {
                out << (firstRow ? "\n" : ",\n") << "      {\"row\": " << row.mNumber;
                if (!row.mName.isEmpty())
                    out << ", \"name\": " << Quote(row.mName);
                out << ",\n       \"left\": " << Cell(row.mSides[0])
                    << ",\n       \"right\": " << Cell(row.mSides[1]);
                if (!row.mFormatting.isEmpty())
                {
                    QStringList lines;
                    for (const QString& line : row.mFormatting)
                        lines << Quote(line);
                    out << ",\n       \"formatting\": [" << lines.join(QStringLiteral(", ")) << ']';
                }
                out << '}';
                firstRow = false;
            }
            out << (firstRow ? "]" : "\n    ]");
        }
        out << '}';
    }
    out << "\n  ]\n}\n";
}
