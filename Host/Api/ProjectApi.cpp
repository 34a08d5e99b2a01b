#include "ApiTables.h"
#include "DocHit.h"
#include "HostState.h"

#include "Format/ProjectFormats.h"

#include <QFileInfo>

namespace XTHost
{
namespace Api
{

namespace
{

HostString GetProjectPath(XTProjectId id)
{
    HostState* state = HostState::current();
    OpenProject* project = state ? state->project(id) : nullptr;
    return project ? state->newString(project->mPath) : nullptr;
}

int32_t GetLayoutCount(XTProjectId id)
{
    HostState* state = HostState::current();
    OpenProject* project = state ? state->project(id) : nullptr;
    return project ? int32_t(project->mModel.mLayouts.size()) : 0;
}

DocRef GetLayout(XTProjectId id, int32_t index)
{
    HostState* state = HostState::current();
    OpenProject* project = state ? state->project(id) : nullptr;
    if (!project || index < 0 || index >= int32_t(project->mLayoutRefs.size()))
        return XT::kNoDoc;
    return project->mLayoutRefs[index].mDoc;
}

const Layout* layoutOf(DocRef doc)
{
    HostState* state = HostState::current();
    OpenProject* project = nullptr;
    int layout = 0;
    if (!state || !state->findDoc(doc, &project, &layout))
        return nullptr;
    return &project->mModel.mLayouts[layout];
}

HostString GetLayoutName(DocRef doc)
{
    const Layout* layout = layoutOf(doc);
    return layout ? hostString(layout->mName) : nullptr;
}

XTFourCC GetLayoutType(DocRef doc)
{
    const Layout* layout = layoutOf(doc);
    return layout ? layout->mType : 0;
}

int32_t GetLayoutIndex(DocRef doc)
{
    const Layout* layout = layoutOf(doc);
    return layout ? layout->mNumber : -1;
}

XTProjectId OpenProjectFile(XTFileSpec file, int32_t flags)
{
    HostState* state = HostState::current();
    if (!state)
        return XT::kNoProject;
    const FileSpecData* spec = state->mFiles.find(file);
    if (!spec || spec->mPath.isEmpty())
    {
        state->mLastError = state->mLastOpenError = QStringLiteral("no file given");
        return XT::kNoProject;
    }
    QString error;
    const XTProjectId id = state->openProject(spec->mPath, &error);
    state->mLastError = state->mLastOpenError = error;
    return id;
}

bool IsProjectModified(XTProjectId id)
{
    HostState* state = HostState::current();
    OpenProject* project = state ? state->project(id) : nullptr;
    return project && project->mModified;
}

XTError SaveProject(XTProjectId id, int32_t flags, int32_t options)
{
    HostState* state = HostState::current();
    OpenProject* project = state ? state->project(id) : nullptr;
    if (!project)
        return XT::kErrNotFound;
    QString error;
    // A project is written back in the format it was read in.
    const ProjectFormat& format = project->mFormat ? *project->mFormat : ProjectFormats::forHead(QByteArray());
    if (!format.save(project->mModel, project->mPath, &error))
    {
        state->mLastError = error;
        return XT::kErrRefused;
    }
    project->mModified = false;
    state->mLastError.clear();
    return XT::kNoErr;
}

XTError CloseProject(XTProjectId id, int32_t flags)
{
    HostState* state = HostState::current();
    if (!state || !state->project(id))
        return XT::kErrNotFound;
    state->closeProject(id);
    return XT::kNoErr;
}

int32_t GetOpenProjectCount()
{
    HostState* state = HostState::current();
    return state ? int32_t(state->openOrder().size()) : 0;
}

XTProjectId GetOpenProject(int32_t index)
{
    HostState* state = HostState::current();
    if (!state || index < 0 || index >= int32_t(state->openOrder().size()))
        return XT::kNoProject;
    return state->openOrder()[index];
}

XTError GetProjectFiles(XTProjectId id, XTFileSpec first, XTFileSpec second, bool* useSecond)
{
    HostState* state = HostState::current();
    OpenProject* project = state ? state->project(id) : nullptr;
    if (!project)
        return XT::kErrNotFound;
    FileSpecData* spec = state->mFiles.find(first);
    if (!spec)
        return XT::kErrParam;
    spec->mPath = project->mPath;
    if (FileSpecData* backing = state->mFiles.find(second))
        backing->mPath = project->mPath;
    if (useSecond)
        *useSecond = false;
    return XT::kNoErr;
}

HostString GetOpenError()
{
    HostState* state = HostState::current();
    if (!state || state->mLastOpenError.isEmpty())
        return nullptr;
    return state->newString(state->mLastOpenError);
}

HostString GetRefusalReason()
{
    HostState* state = HostState::current();
    if (!state || state->mRefusal.isEmpty())
        return nullptr;
    return state->newString(state->mRefusal);
}

DocRef CopyLayout(DocRef source, XTProjectId destination)
{
    if (HostState::refuses("CopyLayout"))
        return XT::kNoDoc;
    const DocHit from = findDoc(source);
    OpenProject* to = from ? from.mState->project(destination) : nullptr;
    if (!to || to == from.mProject)
        return XT::kNoDoc;
    return from.mState->copyLayout(*from.mProject, from.mLayout, *to);
}

XTError DeleteLayout(DocRef doc)
{
    if (HostState::refuses("DeleteLayout"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    return state && state->removeLayout(doc) ? XT::kNoErr : XT::kErrParam;
}

XTError SetLayoutName(DocRef doc, HostString name)
{
    if (HostState::refuses("SetLayoutName"))
        return XT::kErrRefused;
    const DocHit hit = findDoc(doc);
    if (!hit)
        return XT::kErrParam;
    const QString text = stringOf(name);
    if (hit.layout().mName != text)
    {
        hit.layout().mName = text;
        hit.mProject->mModified = true;
    }
    return XT::kNoErr;
}

const XTProjectTable sTable = {
    GetProjectPath,  GetLayoutCount,    GetLayout,   GetLayoutName, GetLayoutType,       GetLayoutIndex,
    OpenProjectFile, IsProjectModified, SaveProject, CloseProject,  GetOpenProjectCount, GetOpenProject,
    GetProjectFiles, GetOpenError,      CopyLayout,  DeleteLayout,  SetLayoutName, GetRefusalReason};

} // namespace

const XTProjectTable& projectTable()
{
    return sTable;
}

} // namespace Api
} // namespace XTHost
