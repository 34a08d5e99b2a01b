#include "ApiTables.h"
#include "HostState.h"

#include "Format/ProjectFormats.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace XTHost
{
namespace Api
{

namespace
{

FileSpecData* specOf(XTFileSpec file)
{
    HostState* state = HostState::current();
    return state ? state->mFiles.find(file) : nullptr;
}

XTFileSpec FileFromPath(HostString path)
{
    HostState* state = HostState::current();
    const QString* text = state ? state->string(path) : nullptr;
    if (!text || text->isEmpty())
        return nullptr;
    return state->mFiles.add({*text});
}

XTFileSpec NewFileSpec()
{
    HostState* state = HostState::current();
    return state ? state->mFiles.add({QString()}) : nullptr;
}

void DisposeFile(XTFileSpec file)
{
    if (HostState* state = HostState::current())
        state->mFiles.remove(file);
}

HostString GetFilePath(XTFileSpec file)
{
    const FileSpecData* spec = specOf(file);
    return spec ? hostString(spec->mPath) : nullptr;
}

XTError SetFileName(XTFileSpec file, HostString name)
{
    FileSpecData* spec = specOf(file);
    const QString fileName = stringOf(name);
    // Only a plain name: a file handle never leaves its folder this way.
    if (!spec || fileName.isEmpty() || fileName.contains('/') || fileName == QLatin1String(".") ||
        fileName == QLatin1String(".."))
        return XT::kErrParam;
    const QFileInfo info(spec->mPath);
    const QString folder = spec->mPath.isEmpty() ? QDir::currentPath()
                           : info.isDir()        ? spec->mPath
                                                 : info.path();
    spec->mPath = QDir(folder).filePath(fileName);
    return XT::kNoErr;
}

XTError GetTempFolder(XTFileSpec file)
{
    HostState* state = HostState::current();
    FileSpecData* spec = specOf(file);
    if (!spec)
        return XT::kErrParam;
    const QString folder = state->temporaryFolder();
    if (folder.isEmpty())
        return XT::kErrRefused;
    spec->mPath = folder;
    return XT::kNoErr;
}

XTError DeleteFile(XTFileSpec file)
{
    const FileSpecData* spec = specOf(file);
    if (!spec)
        return XT::kErrParam;
    const QFileInfo info(spec->mPath);
    if (!info.exists() && !info.isSymLink())
        return XT::kErrNotFound;
    if (info.isDir())
        return XT::kErrParam;
    return QFile::remove(spec->mPath) ? XT::kNoErr : XT::kErrRefused;
}

XTError GetFileInfo(XTFileSpec file, XTFileInfo* info)
{
    const FileSpecData* spec = specOf(file);
    if (!spec || !info)
        return XT::kErrParam;
    const QFileInfo fileInfo(spec->mPath);
    if (spec->mPath.isEmpty() || !fileInfo.exists())
        return XT::kErrNotFound;
    info->isDirectory = fileInfo.isDir();
    info->size = info->isDirectory ? 0 : fileInfo.size();
    info->fileType = info->isDirectory ? 0 : ProjectFormats::fileTypeOf(spec->mPath);
    return XT::kNoErr;
}

XTError IsFileOfType(const XTFileInfo* info, const XTFourCC* types, int32_t count, bool* result)
{
    if (!info || !result || count < 0 || (count > 0 && !types))
        return XT::kErrParam;
    *result = false;
    for (int32_t i = 0; i < count; ++i)
        *result = *result || (info->fileType != 0 && info->fileType == types[i]);
    return XT::kNoErr;
}

bool SameFile(XTFileSpec first, XTFileSpec second)
{
    const FileSpecData* a = specOf(first);
    const FileSpecData* b = specOf(second);
    if (!a || !b || a->mPath.isEmpty() || b->mPath.isEmpty())
        return false;
    const QString canonicalA = QFileInfo(a->mPath).canonicalFilePath();
    const QString canonicalB = QFileInfo(b->mPath).canonicalFilePath();
    if (!canonicalA.isEmpty() || !canonicalB.isEmpty())
        return canonicalA == canonicalB;
    return QDir::cleanPath(QFileInfo(a->mPath).absoluteFilePath()) ==
           QDir::cleanPath(QFileInfo(b->mPath).absoluteFilePath());
}

const XTFilesTable sTable = {FileFromPath,  NewFileSpec, DisposeFile, GetFilePath,  SetFileName,
                             GetTempFolder, DeleteFile,  GetFileInfo, IsFileOfType, SameFile};

} // namespace

const XTFilesTable& filesTable()
{
    return sTable;
}

} // namespace Api
} // namespace XTHost
