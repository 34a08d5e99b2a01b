#include "ScribusProjectFormat.h"

#include "Scribus/Gzip.h"
#include "Scribus/ScribusDocument.h"
#include "Scribus/ScribusWriter.h"

#include "Model/Project.h"

namespace XTHost
{

namespace
{

const ScribusDocument* sourceOf(const Project& project)
{
    return dynamic_cast<const ScribusDocument*>(project.mSource.get());
}

// Past a byte order mark and white space, the first character of a file:
// '<' begins XML, in UTF-8 or (which the reader refuses with its reason)
// UTF-16.
bool startsLikeXml(const QByteArray& text)
{
    if (text.startsWith(QByteArray("\xFF\xFE<\0", 4)) || text.startsWith(QByteArray("\xFE\xFF\0<", 4)) ||
        text.startsWith(QByteArray("<\0", 2)) || text.startsWith(QByteArray("\0<", 2)))
        return true;
    int at = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r'))
        ++at;
    return at < text.size() && text[at] == '<';
}

} // namespace

int32_t ScribusProjectFormat::numberForName(const QString& name)
{
    uint32_t hash = 2166136261u;
    for (QChar c : name)
    {
        hash ^= c.unicode() & 0xff;
        hash *= 16777619u;
        hash ^= c.unicode() >> 8;
        hash *= 16777619u;
    }
    const int32_t number = int32_t(hash & 0x7fffffff);
    return number == 0 ? 1 : number;
}

bool ScribusProjectFormat::recognise(const QByteArray& head, XTFourCC* fileType) const
{
    // XML and gzip are this format's to read (the host's own format is
    // JSON), so that a damaged or foreign XML file is refused by the reader
    // that can say why. It is a project only when its root element says so.
    const bool compressed = Gzip::isGzip(head);
    const QByteArray text = compressed ? Gzip::inflateHead(head, sHeadSize) : head;
    if (!compressed && !startsLikeXml(text))
        return false;
    *fileType = text.contains("<SCRIBUSUTF8") ? XTFourCC(XT::kFileProject) : XTFourCC(0);
    return true;
}

bool ScribusProjectFormat::parse(const QByteArray& data, const QString& place, Project& project,
                                 QString* error) const
{
    return parseOwned(QByteArray(data), place, project, error);
}

bool ScribusProjectFormat::parseOwned(QByteArray&& data, const QString& place, Project& project,
                                      QString* error) const
{
    const bool compressed = Gzip::isGzip(data);
    QByteArray xml;
    QString message;
    if (compressed)
    {
        if (!Gzip::inflate(data, ScribusDocument::sMaxSize, &xml, &message))
        {
            *error = QStringLiteral("%1: %2").arg(place, message);
            return false;
        }
    }
    else if (data.size() > ScribusDocument::sMaxSize)
    {
        *error = QStringLiteral("%1: the document is larger than %2 MiB, the most a document may have")
                     .arg(place)
                     .arg(ScribusDocument::sMaxSize >> 20);
        return false;
    }
    else
        xml = std::move(data);
    if (!ScribusDocument::read(std::move(xml), compressed ? std::move(data) : QByteArray(), project, &message))
    {
        *error = QStringLiteral("%1: %2").arg(place, message);
        return false;
    }
    return true;
}

QString ScribusProjectFormat::unwritable(const Project& project) const
{
    const ScribusDocument* document = sourceOf(project);
    return document ? ScribusWriter::unwritable(*document, project) : QString();
}

QByteArray ScribusProjectFormat::serialize(const Project& project, qsizetype) const
{
    const ScribusDocument* document = sourceOf(project);
    if (!document)
        return ScribusWriter::blankDocument(project);
    const QByteArray xml = ScribusWriter::write(*document, project);
    return document->isCompressed() ? Gzip::deflate(xml) : xml;
}

} // namespace XTHost
