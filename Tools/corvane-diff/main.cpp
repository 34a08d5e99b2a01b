#include "DiffEngine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

using TextDiff::Diff;
using TextDiff::DiffEngine;
using TextDiff::UnitPatch;

namespace
{

const QChar sParagraphEnd(13);

// The offset of the first byte that is not part of well-formed UTF-8 (no
// overlong forms, no surrogates, nothing past U+10FFFF), or -1.
qsizetype invalidUtf8At(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;)
    {
        const unsigned char lead = data[i];
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80)
            length = 1;
        else if (lead >= 0xC2 && lead <= 0xDF)
            length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF)
        {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        }
        else if (lead >= 0xF0 && lead <= 0xF4)
        {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        else
            return i;
        for (int k = 1; k < length; ++k)
        {
            if (i + k >= size)
                return i;
            const unsigned char next = data[i + k];
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
                return i;
        }
        i += length;
    }
    return -1;
}

// Reads a UTF-8 text file; a folder, a file that holds a NUL byte (binary)
// or one that is not UTF-8 is refused with the reason.
bool readText(const QString& path, QString& text, QString& error, bool& unreadable)
{
    QFile file(path);
    unreadable = true;
    if (!file.exists())
    {
        error = QStringLiteral("no such file");
        return false;
    }
    if (QFileInfo(path).isDir())
    {
        error = QStringLiteral("is a folder");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly))
    {
        error = file.errorString();
        return false;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
    {
        error = file.errorString();
        return false;
    }
    unreadable = false;
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
    {
        error = QStringLiteral("is binary (a NUL byte at offset %1), not text").arg(nul);
        return false;
    }
    const qsizetype invalid = invalidUtf8At(bytes);
    if (invalid >= 0)
    {
        error = QStringLiteral("is not UTF-8 text (an invalid byte at offset %1)").arg(invalid);
        return false;
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
    {
        bytes.remove(0, 3);
    }
    text = QString::fromUtf8(bytes);
    return true;
}

// Story text ends its paragraphs with a carriage return; a text file ends its
// lines with a line feed.
QString toParagraphs(QString text)
{
    text.replace(QLatin1String("\r\n"), QString(sParagraphEnd));
    text.replace(QChar(10), sParagraphEnd);
    return text;
}

// Carriage returns become line breaks, indented under the row header.
QString shown(const QString& text)
{
    QString result = text;
    result.replace(sParagraphEnd, QLatin1String("\n    "));
    return result;
}

QString markedText(const Diff& diff)
{
    switch (diff.operation)
    {
    case TextDiff::DELETE:
        return QLatin1String("[-") + shown(diff.text) + QLatin1String("-]");
    case TextDiff::INSERT:
        return QLatin1String("{+") + shown(diff.text) + QLatin1String("+}");
    case TextDiff::EQUAL:
        break;
    }
    return shown(diff.text);
}

QString span(int start, int length)
{
    return QStringLiteral("%1..%2").arg(start).arg(start + length);
}

struct Options
{
    bool perLine = false;
    bool words = false;
    bool keepLineFeeds = false;
    QStringList paths;
};

// Reads the command line into options; -1 when the comparison is to run, otherwise the exit status (help
// printed, or a wrong command line reported).
int parseCommandLine(Options& options, QTextStream& out, QTextStream& err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Compares two UTF-8 text files and prints the rows of the "
                       "patch table, computed as the "
                       "explorer computes them for a story: each line of the "
                       "files is a paragraph, and each "
                       "row ends at a paragraph end. Deleted text is shown as "
                       "[-text-], inserted text as "
                       "{+text+}; spans are in UTF-16 units, end excluded. Exit "
                       "status: 0 when the texts are the "
                       "same, 1 when they differ, 2 on trouble (a file that "
                       "cannot be read or is not UTF-8 text, "
                       "a wrong command line)."));
    parser.addPositionalArgument(QStringLiteral("LEFT"), QStringLiteral("The left (old) text file."));
    parser.addPositionalArgument(QStringLiteral("RIGHT"), QStringLiteral("The right (new) text file."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption linesOption(
        QStringLiteral("lines"), QStringLiteral("Compare as a property list, one row per line, as the "
                                                "explorer does for every item "
                                                "that is not a story."));
    const QCommandLineOption wordsOption(
        QStringLiteral("words"), QStringLiteral("Compare whole words instead of single characters, as the "
                                                "explorer does for a story when its setting says words (a "
                                                "word is a run of letters and digits; any other character "
                                                "is a word of its own). Not with --lines."));
    const QCommandLineOption keepOption(
        QStringLiteral("keep-line-feeds"),
        QStringLiteral("Leave line feeds as they are instead of reading them as "
                       "paragraph ends; only carriage "
                       "returns then end paragraphs."));
    parser.addOption(linesOption);
    parser.addOption(wordsOption);
    parser.addOption(keepOption);

    if (!parser.parse(QCoreApplication::arguments()))
    {
        err << "corvane-diff: " << parser.errorText() << "\n\n" << parser.helpText();
        return 2;
    }
    if (parser.isSet(helpOption))
    {
        out << parser.helpText();
        return 0;
    }
    options.paths = parser.positionalArguments();
    if (options.paths.size() != 2)
    {
        err << "corvane-diff: expected two files, LEFT and RIGHT, got " << options.paths.size() << "\n\n"
            << parser.helpText();
        return 2;
    }
    options.perLine = parser.isSet(linesOption);
    options.words = parser.isSet(wordsOption);
    options.keepLineFeeds = parser.isSet(keepOption);
    if (options.perLine && options.words)
    {
        err << "corvane-diff: --words and --lines do not go together: a property list is compared character "
               "by character\n\n"
            << parser.helpText();
        return 2;
    }
    return -1;
}

// Reads both files; false, with the reason written to err, when one cannot be read as text.
bool readTexts(const QStringList& paths, QString (&texts)[2], QTextStream& err)
{
    for (int side = 0; side < 2; ++side)
    {
        QString error;
        bool unreadable = false;
        if (!readText(paths[side], texts[side], error, unreadable))
        {
            if (unreadable)
                err << "corvane-diff: cannot read " << paths[side] << ": " << error << "\n";
            else
                err << "corvane-diff: " << paths[side] << ' ' << error << "\n";
            return false;
        }
    }
    return true;
}

// Prints the rows and the summary line; returns the number of change rows.
int printRows(QTextStream& out, const QString& left, const QString& right, const QList<UnitPatch>& rows)
{
    // A row shows the text from the end of the previous row to the end of its own
    // span, as the table does.
    int end1 = 0;
    int changed = 0;
    for (int r = 0; r < rows.size(); ++r)
    {
        const UnitPatch& row = rows[r];
        const int start1 = row.patches.first().start1;
        const int start2 = row.patches.first().start2;
        changed += row.isChange ? 1 : 0;
        out << QStringLiteral("#%1 %2 left %3 right %4\n")
                   .arg(r + 1, 3)
                   .arg(row.isChange ? QStringLiteral("change") : QStringLiteral("same  "))
                   .arg(span(start1, row.length1), -13)
                   .arg(span(start2, row.length2));
        QString text = shown(left.mid(end1, start1 - end1));
        for (const TextDiff::Patch& patch : row.patches)
        {
            for (const Diff& diff : patch.diffs)
            {
                text += markedText(diff);
            }
        }
        if (text.endsWith(QLatin1String("\n    ")))
        {
            text.chop(5);
        }
        out << "    " << text << "\n";
        end1 = start1 + row.length1;
    }
    if (end1 < left.length())
    {
        out << "    (unchanged end in no row) " << shown(left.mid(end1)) << "\n";
    }
    out << (rows.size() == 1 ? QStringLiteral("%1 row, %2 with changes; left %3 units, right %4 units\n")
                             : QStringLiteral("%1 rows, %2 with changes; left %3 units, right "
                                              "%4 units\n"))
               .arg(rows.size())
               .arg(changed)
               .arg(left.length())
               .arg(right.length());
    return changed;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-diff"));

    QTextStream out(stdout);
    out.setCodec("UTF-8");
    QTextStream err(stderr);
    err.setCodec("UTF-8");

    Options options;
    const int status = parseCommandLine(options, out, err);
    if (status >= 0)
    {
        return status;
    }
    QString texts[2];
    if (!readTexts(options.paths, texts, err))
    {
        return 2;
    }
    QString left = texts[0];
    QString right = texts[1];
    if (!options.keepLineFeeds)
    {
        left = toParagraphs(left);
        right = toParagraphs(right);
    }

    DiffEngine engine;
    const QList<UnitPatch> rows = engine.rows_make(
        left, right, options.words ? TextDiff::Granularity::Words : TextDiff::Granularity::Characters,
        options.perLine);
    return printRows(out, left, right, rows) > 0 ? 1 : 0;
}
