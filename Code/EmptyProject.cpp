#include "EmptyProject.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace EmptyProject
{

bool IsEmptySide(const QString& path)
{
    const QFileInfo info(path);
    if (info.canonicalFilePath() == QLatin1String("/dev/null"))
        return true;
    return info.isFile() && info.size() == 0;
}

QString Write(const QTemporaryDir& folder, const QString& name)
{
    if (!folder.isValid())
        return QString();
    const QString path = folder.filePath(name + QStringLiteral(".xprj"));
    QFile file(path);
    const QByteArray empty = "{\"format\": \"corvane-project\", \"version\": 1, \"fileType\": \"XPRJ\", "
                             "\"layouts\": []}\n";
    if (!file.open(QIODevice::WriteOnly) || file.write(empty) != empty.size() || !file.flush())
        return QString();
    return path;
}

} // namespace EmptyProject
