#pragma once

// What the Scribus document tests share: the templates Debian ships, the XML
// content of a document read independently of the host's own reader, and
// Scribus itself run headless with a Python script, as the judge of what the
// host wrote.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>
#include <QXmlStreamReader>

#include <zlib.h>

namespace ScribusTest
{

inline QString scribusProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("scribus"));
}

// Every template document of the scribus-template and scribus-data packages.
inline QStringList templates()
{
    QStringList paths;
    QDirIterator it(QStringLiteral("/usr/share/scribus/templates"),
                    {QStringLiteral("*.sla"), QStringLiteral("*.sla.gz")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    return paths;
}

// A template's name for test rows: its folder and file.
inline QString rowName(const QString& path)
{
    const QFileInfo info(path);
    return info.dir().dirName() + QLatin1Char('/') + info.fileName();
}

inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray data = file.readAll();
    if (data.size() < 2 || uchar(data[0]) != 0x1f || uchar(data[1]) != 0x8b)
        return data;
    z_stream stream{};
    inflateInit2(&stream, 16 + MAX_WBITS);
    stream.next_in = reinterpret_cast<Bytef*>(data.data());
    stream.avail_in = uInt(data.size());
    QByteArray out;
    char buffer[65536];
    int result = Z_OK;
    while (result == Z_OK)
    {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, int(sizeof buffer - stream.avail_out));
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END ? out : QByteArray();
}

inline QByteArray gzipBytes(const QByteArray& data)
{
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(int(stream.total_out));
    deflateEnd(&stream);
    return out;
}

inline bool isGzipFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(2);
    return head.size() == 2 && uchar(head[0]) == 0x1f && uchar(head[1]) == 0x8b;
}

// The XML content of a document as a list of lines: elements with their
// attributes in order, non-blank text, comments. Scribus writes control
// characters XML does not allow; they read here as [U+xx] so that both
// spellings (raw or a character reference) compare equal.
inline QStringList xmlContent(const QString& path, QString* error = nullptr)
{
    QByteArray data = readBytes(path);
    QByteArray clean;
    for (int i = 0; i < data.size(); ++i)
    {
        const uchar c = uchar(data[i]);
        if (c < 0x20 && c != 9 && c != 10 && c != 13)
        {
            clean += "[U+" + QByteArray::number(c, 16) + "]";
            continue;
        }
        if (c == '&' && data.mid(i, 2) == "&#")
        {
            const int end = data.indexOf(';', i);
            const bool hex = data[i + 2] == 'x';
            bool ok = false;
            const uint value =
                data.mid(i + (hex ? 3 : 2), end - i - (hex ? 3 : 2)).toUInt(&ok, hex ? 16 : 10);
            if (ok && value < 0x20 && value != 9 && value != 10 && value != 13)
            {
                clean += "[U+" + QByteArray::number(value, 16) + "]";
                i = end;
                continue;
            }
        }
        clean += char(c);
    }
    QXmlStreamReader reader(clean);
    reader.setNamespaceProcessing(false);
    QStringList lines;
    while (!reader.atEnd())
    {
        switch (reader.readNext())
        {
        case QXmlStreamReader::StartElement:
        {
            QString line = QLatin1Char('<') + reader.qualifiedName().toString();
            for (const QXmlStreamAttribute& attribute : reader.attributes())
                line += QLatin1Char(' ') + attribute.qualifiedName().toString() + QLatin1String("=\"") +
                        attribute.value().toString() + QLatin1Char('"');
            lines << line;
            break;
        }
        case QXmlStreamReader::EndElement:
            lines << QLatin1String("</") + reader.qualifiedName().toString();
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isWhitespace())
                lines << QLatin1String("text ") + reader.text().toString();
            break;
        case QXmlStreamReader::Comment:
            lines << QLatin1String("comment ") + reader.text().toString();
            break;
        default:
            break;
        }
    }
    if (reader.hasError() && error)
        *error = QStringLiteral("line %1: %2").arg(reader.lineNumber()).arg(reader.errorString());
    return lines;
}

// The first line where two contents differ, for failure messages.
inline QString firstDifference(const QStringList& left, const QStringList& right)
{
    for (int i = 0; i < std::max(left.size(), right.size()); ++i)
        if (left.value(i) != right.value(i))
            return QStringLiteral("line %1:\n  %2\n  %3")
                .arg(i)
                .arg(left.value(i).left(400), right.value(i).left(400));
    return QString();
}

inline QString scriptPath(const QString& name)
{
    return QString::fromLocal8Bit(qgetenv("CORVANE_SOURCE_DIR")) + QStringLiteral("/Tests/Scribus/scripts/") +
           name;
}

// Runs a Python script in Scribus headless, with the environment given;
// returns Scribus's exit code, or -1 when it did not finish in time.
inline int runScribus(const QString& script, const QProcessEnvironment& extra, QString* log,
                      int timeoutMs = 600000)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const QString& key : extra.keys())
        environment.insert(key, extra.value(key));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(scribusProgram(),
                  {QStringLiteral("-g"), QStringLiteral("-ns"), QStringLiteral("-py"), script});
    if (!process.waitForFinished(timeoutMs))
    {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (log)
        *log = QString::fromLocal8Bit(process.readAll()).right(2000);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// What Scribus prints of each document (print-documents.py), one block of
// lines per document, keyed by the document's file name.
inline QMap<QString, QStringList> printDocuments(const QStringList& paths, const QString& output,
                                                 QString* log)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("SCRIBUS_INPUTS"), paths.join(QLatin1Char(':')));
    environment.insert(QStringLiteral("SCRIBUS_OUTPUT"), output);
    QFile::remove(output);
    QMap<QString, QStringList> blocks;
    if (runScribus(scriptPath(QStringLiteral("print-documents.py")), environment, log) != 0)
        return blocks;
    QFile file(output);
    if (!file.open(QIODevice::ReadOnly))
        return blocks;
    QString current;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    {
        if (line.startsWith(QLatin1String("document ")))
        {
            current = line.mid(9).section(QLatin1Char(' '), 0, 0);
            const QString rest = line.mid(9).section(QLatin1Char(' '), 1);
            if (!rest.isEmpty())
                blocks[current] << rest;
            continue;
        }
        blocks[current] << line;
    }
    return blocks;
}

} // namespace ScribusTest
