#include "ApiTables.h"
#include "HostState.h"

#include "Model/BoxProperties.h"

#include <QDir>
#include <QFileInfo>

namespace XTHost
{
namespace Api
{

namespace
{

Box* pictureBox(XTPicture picture, OpenProject** project = nullptr)
{
    HostState* state = HostState::current();
    if (!state)
        return nullptr;
    const BoxLocation* location = state->findBox(state->boxOfPicture(picture));
    if (!location || location->isSpreadBox() || !location->box()->isPicture())
        return nullptr;
    if (project)
        *project = location->mProject;
    return location->box();
}

XTPicture GetBoxPicture(XTBoxRef box)
{
    HostState* state = HostState::current();
    const BoxLocation* location = state ? state->findBox(box) : nullptr;
    if (!location || location->isSpreadBox() || !location->box()->isPicture())
        return nullptr;
    return state->pictureOf(box);
}

int32_t GetPictureProperty(XTPicture picture, int32_t property)
{
    const Box* box = pictureBox(picture);
    const PropertyInfo* info = findPictureProperty(property);
    if (!box || !info)
        return 0;
    auto it = box->mPictureProperties.find(property);
    return it == box->mPictureProperties.end() ? info->mDefault : it->second;
}

XTError SetPictureProperty(XTPicture picture, int32_t property, int32_t value)
{
    OpenProject* project = nullptr;
    Box* box = pictureBox(picture, &project);
    const PropertyInfo* info = findPictureProperty(property);
    if (!box || !info || !info->accepts(value))
        return XT::kErrParam;
    int32_t& stored = box->mPictureProperties[property];
    if (stored != value)
    {
        stored = value;
        project->mModified = true;
    }
    return XT::kNoErr;
}

XTFileSpec GetPictureFile(XTPicture picture)
{
    OpenProject* project = nullptr;
    const Box* box = pictureBox(picture, &project);
    if (!box || box->mPicturePath.isEmpty())
        return nullptr;
    // A relative path is relative to the project file's folder.
    const QString path =
        QFileInfo(box->mPicturePath).isAbsolute()
            ? box->mPicturePath
            : QDir::cleanPath(QFileInfo(project->mPath).absolutePath() + '/' + box->mPicturePath);
    return HostState::current()->mFiles.add({path});
}

HostString GetPictureReference(XTPicture picture)
{
    const Box* box = pictureBox(picture);
    return box ? hostString(box->mPicturePath) : nullptr;
}

XTError SetPictureReference(XTPicture picture, HostString reference)
{
    if (HostState::refuses("SetPictureReference"))
        return XT::kErrRefused;
    OpenProject* project = nullptr;
    Box* box = pictureBox(picture, &project);
    if (!box)
        return XT::kErrParam;
    const QString path = stringOf(reference);
    // A path holds no control character: no file could keep it.
    for (QChar c : path)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F))
            return XT::kErrParam;
    if (box->mPicturePath != path)
    {
        box->mPicturePath = path;
        project->mModified = true;
    }
    return XT::kNoErr;
}

const XTPictureTable sTable = {GetBoxPicture,  GetPictureProperty,  SetPictureProperty,
                               GetPictureFile, GetPictureReference, SetPictureReference};

} // namespace

const XTPictureTable& pictureTable()
{
    return sTable;
}

} // namespace Api
} // namespace XTHost
