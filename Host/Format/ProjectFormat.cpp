#include "ProjectFormat.h"

#include "JsonProjectFormat.h"
#include "Model/Project.h"
#include "ScribusProjectFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace XTHost
{

bool ProjectFormat::load(const QString& path, Project& project, QString* error) const
{
    QFileInfo info(path);
    if (!info.exists() || info.isDir())
    {
        *error = QStringLiteral("%1: no such file").arg(path);
        return false;
    }
    if (info.size() > sMaxFileSize)
    {
        *error = QStringLiteral("%1: the file is %2 bytes, more than the %3 bytes a project may have")
                     .arg(path)
                     .arg(info.size())
                     .arg(sMaxFileSize);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
    {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    // Read one byte past the limit: the file may have grown since it was
    // measured.
    const QByteArray data = file.read(sMaxFileSize + 1);
    if (data.size() > sMaxFileSize)
    {
        *error = QStringLiteral("%1: the file is larger than the %2 bytes a project may have")
                     .arg(path)
                     .arg(sMaxFileSize);
        return false;
    }
    Project loaded;
    if (!parse(data, path, loaded, error))
        return false;
    project = std::move(loaded);
    return true;
}

bool ProjectFormat::save(const Project& project, const QString& path, QString* error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
    {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray data = serialize(project);
    if (file.write(data) != data.size() || !file.commit())
    {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

const ProjectFormat& ProjectFormat::forHead(const QByteArray& head)
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

XTFourCC ProjectFormat::fileTypeOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(sHeadSize);
    XTFourCC type = 0;
    if (!forHead(head).recognise(head, &type))
        return 0;
    return type;
}

} // namespace XTHost
