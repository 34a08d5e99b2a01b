#include "ProjectFormats.h"

#include "JsonProjectFormat.h"
#include "ScribusProjectFormat.h"

#include <QFile>

namespace XTHost::ProjectFormats
{

const ProjectFormat& forHead(const QByteArray& head)
{
    static const JsonProjectFormat sJson;
    static const ScribusProjectFormat sScribus;
    static const ProjectFormat* const sFormats[] = {&sJson, &sScribus};
    XTFourCC type = 0;
    for (const ProjectFormat* format : sFormats)
        if (format->recognise(head, &type))
            return *format;
    return sJson;
}

XTFourCC fileTypeOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(ProjectFormat::sHeadSize);
    XTFourCC type = 0;
    if (!forHead(head).recognise(head, &type))
        return 0;
    return type;
}

} // namespace XTHost::ProjectFormats
