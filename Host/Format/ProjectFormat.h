#pragma once

#include "XTTypes.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace XTHost
{

struct Asset;
struct Box;
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
    // `expectedSize`: about how long the text comes out (the file it
    // replaces, say), set aside at once; 0 where nothing tells.
    virtual QByteArray serialize(const Project& project, qsizetype expectedSize = 0) const = 0;
    // What of `project` this format cannot write, in words, or empty when it
    // can write all of it. save() refuses such a project and leaves the file
    // as it was rather than write it without that part.
    virtual QString unwritable(const Project& project) const;
    // Why a file of this format cannot hold an asset or a box that another
    // format read (a name it refuses), or empty: a copy of it into a project
    // of this format is refused with that reason, before anything is
    // written, rather than saved into a file that would not open again.
    virtual QString cannotHold(const Asset& asset) const;
    virtual QString cannotHold(const Box& box) const;
    // What load() calls with the bytes it read, which the format may release
    // as soon as it no longer needs them; the same as parse() by default.
    [[nodiscard]] virtual bool parseOwned(QByteArray&& data, const QString& place, Project& project,
                                          QString* error) const
    {
        return parse(data, place, project, error);
    }

    // Loads a file: size limit, reading, parsing. On failure `project` is left
    // as it was and *error names the file and the place.
    [[nodiscard]] bool load(const QString& path, Project& project, QString* error) const;
    // Writes atomically: on failure the old file is left intact and *error
    // names the file and the system's reason.
    [[nodiscard]] bool save(const Project& project, const QString& path, QString* error) const;

    // A save writes its data in pieces of this size.
    static constexpr qint64 sWriteChunk = 4096;
    // The I/O steps of a save, in order: creating the new file beside the old
    // one, each write of up to sWriteChunk bytes, flushing it to the disk, and
    // renaming it over the old file.
    enum class SaveStep
    {
        Open,
        Write,
        Flush,
        Commit
    };
    // Test seam: called before every I/O step of every save with the step and
    // its number in that save, from 1. A non-zero errno value makes the step
    // fail as if the system had reported it (a write writes half its piece
    // first, as on a disk that fills up). Null, the default, injects nothing.
    using SaveFaultHook = std::function<int(SaveStep step, int number)>;
    static void setSaveFaultHook(SaveFaultHook hook);
};

} // namespace XTHost
