#pragma once

#include "XTTypes.h"

#include <QByteArray>
#include <QString>

namespace XTHost
{

struct Project;

// Reads and writes one kind of project file. The document store knows formats
// only through this interface; it picks one by the first bytes of a file.
class ProjectFormat
{
public:
    // Files larger than this are refused before they are read.
    static constexpr qint64 sMaxFileSize = qint64(1) << 30;
    // How many leading bytes recognise() and fileTypeOf() look at.
    static constexpr int sHeadSize = 512;

    virtual ~ProjectFormat() = default;

    // Whether `head` (the first bytes of a file) is of this format; sets
    // *fileType (XPRJ or XPRT) when it is.
    virtual bool recognise(const QByteArray& head, XTFourCC* fileType) const = 0;
    // `place` names the data in messages (usually the file's path).
    [[nodiscard]] virtual bool parse(const QByteArray& data, const QString& place, Project& project,
                                     QString* error) const = 0;
    virtual QByteArray serialize(const Project& project) const = 0;

    // Loads a file: size limit, reading, parsing. On failure `project` is left
    // as it was and *error names the file and the place.
    [[nodiscard]] bool load(const QString& path, Project& project, QString* error) const;
    // Writes atomically: on failure the old file is left intact.
    [[nodiscard]] bool save(const Project& project, const QString& path, QString* error) const;

    // The format of a file judging by its first bytes; the JSON format when
    // none recognises them, so that its parser explains what is wrong.
    static const ProjectFormat& forHead(const QByteArray& head);
    // XPRJ or XPRT from the first bytes of a file, without loading it; 0 when
    // it is no project file or cannot be read.
    static XTFourCC fileTypeOf(const QString& path);
};

} // namespace XTHost
