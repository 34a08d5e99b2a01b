#include "ProjectFormat.h"

#include "Model/Project.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

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
    // Room for the size measured, read in pieces: the file may have grown
    // since, and must not pass the limit then either.
    QByteArray data;
    data.reserve(int(info.size()));
    char piece[64 * 1024];
    for (;;)
    {
        const qint64 count = file.read(piece, qint64(sizeof piece));
        if (count < 0)
        {
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
            return false;
        }
        if (count == 0)
            break;
        if (data.size() + count > sMaxFileSize)
        {
            *error = QStringLiteral("%1: the file is larger than the %2 bytes a project may have")
                         .arg(path)
                         .arg(sMaxFileSize);
            return false;
        }
        data.append(piece, int(count));
    }
    Project loaded;
    if (!parseOwned(std::move(data), path, loaded, error))
        return false;
    project = std::move(loaded);
    return true;
}

namespace
{

ProjectFormat::SaveFaultHook& FaultHook()
{
    static ProjectFormat::SaveFaultHook sHook;
    return sHook;
}

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A device's reason for its last failure; Qt says "Unknown error" when it has
// none, which tells the user nothing.
QString ReasonOf(const QFileDevice& file, const QString& otherwise)
{
    if (file.error() == QFileDevice::NoError || file.errorString().isEmpty() ||
        file.errorString() == QLatin1String("Unknown error"))
        return otherwise;
    return file.errorString();
}

} // namespace

void ProjectFormat::setSaveFaultHook(SaveFaultHook hook)
{
    FaultHook() = std::move(hook);
}

QString ProjectFormat::unwritable(const Project&) const
{
    return QString();
}

QString ProjectFormat::cannotHold(const Asset&) const
{
    return QString();
}

QString ProjectFormat::cannotHold(const Box&) const
{
    return QString();
}

bool ProjectFormat::save(const Project& project, const QString& path, QString* error) const
{
    auto fail = [&](const QString& reason)
    {
        *error = QStringLiteral("%1: cannot save the project: %2").arg(path, reason);
        return false;
    };
    const QString refusal = unwritable(project);
    if (!refusal.isEmpty())
        return fail(refusal);
    // A project is saved over the file it came from, most often, and comes
    // out about as long.
    const QFileInfo previous(path);
    const QByteArray data = serialize(project, previous.isFile() ? previous.size() + previous.size() / 8 : 0);
    int stepNumber = 0;
    auto injected = [&stepNumber](SaveStep step)
    {
        ++stepNumber;
        return FaultHook() ? FaultHook()(step, stepNumber) : 0;
    };

    QSaveFile file(path);
    if (const int fault = injected(SaveStep::Open))
        return fail(ErrnoText(fault));
    // Unbuffered, so that every write reaches the system at once and a full
    // disk shows at the write that meets it. Buffered, the last 16 KiB would
    // only be written inside commit(), and Qt 5.15 renames the short file over
    // the old one even when that write fails.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    {
        // Of a file it may not replace Qt says only that it is not writable;
        // the system says why (a read-only disk, a permission).
        if (QFileInfo(path).isFile() && ::access(QFile::encodeName(path).constData(), W_OK) != 0)
            return fail(ErrnoText(errno));
        return fail(ReasonOf(file, QStringLiteral("the new file cannot be created")));
    }

    // From here a failure drops the new file and keeps the old one. The
    // reason is taken before cancelWriting(), which replaces it.
    auto cancel = [&](const QString& reason)
    {
        file.cancelWriting();
        return fail(reason);
    };
    for (qint64 offset = 0; offset < data.size();)
    {
        const qint64 length = qMin(sWriteChunk, data.size() - offset);
        if (const int fault = injected(SaveStep::Write))
        {
            file.write(data.constData() + offset, length / 2);
            return cancel(ErrnoText(fault));
        }
        const qint64 written = file.write(data.constData() + offset, length);
        if (written <= 0)
            return cancel(ReasonOf(file, QStringLiteral("the file could not be written")));
        offset += written;
    }

    // A file system may report a lack of space only when the data reaches
    // the disk; commit() syncs too, but does not say when that fails.
    if (const int fault = injected(SaveStep::Flush))
        return cancel(ErrnoText(fault));
    if (!file.flush())
        return cancel(ReasonOf(file, QStringLiteral("the file could not be written")));
    if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != ENOTSUP)
        return cancel(ErrnoText(errno));

    if (const int fault = injected(SaveStep::Commit))
        return cancel(ErrnoText(fault));
    if (!file.commit())
        return fail(ReasonOf(file, QStringLiteral("the new file could not replace the old one")));
    return true;
}

} // namespace XTHost
