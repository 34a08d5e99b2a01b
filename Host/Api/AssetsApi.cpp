#include "ApiTables.h"
#include "HostState.h"

#include "Format/ProjectFormat.h"

#include "Model/BuiltInColors.h"

namespace XTHost
{
namespace Api
{

namespace
{

bool validKind(int32_t kind)
{
    return kind >= XT::kFirstAssetKind && kind <= XT::kLastAssetKind;
}

int builtInIndex(int32_t kind, AssetUID uid)
{
    if (kind != XT::kColorAssetKind || uid < 1 || uid > int(sBuiltInColors.size()))
        return -1;
    return uid - 1;
}

// The uids of a kind in iteration order: the built-in colours first.
int assetCount(const OpenProject& project, int32_t kind)
{
    const int own = int(project.mAssetUids[kind - 1].size());
    return kind == XT::kColorAssetKind ? own + int(sBuiltInColors.size()) : own;
}

AssetUID uidAt(const OpenProject& project, int32_t kind, int index)
{
    if (index < 0 || index >= assetCount(project, kind))
        return XT::kNoAsset;
    if (kind == XT::kColorAssetKind)
    {
        if (index < int(sBuiltInColors.size()))
            return AssetUID(index + 1);
        index -= int(sBuiltInColors.size());
    }
    return project.mAssetUids[kind - 1][index];
}

AssetSpaceRef GetAssetSpace(XTProjectId id)
{
    HostState* state = HostState::current();
    OpenProject* project = state ? state->project(id) : nullptr;
    return project ? project->mSpace : nullptr;
}

XTError NewAssetIterator(AssetSpaceRef space, int32_t kind, AssetIteratorRef* iterator)
{
    HostState* state = HostState::current();
    OpenProject* project = state ? state->projectOfSpace(space) : nullptr;
    if (!project || !validKind(kind) || !iterator)
        return XT::kErrParam;
    *iterator = state->mAssetIterators.add({project->mId, kind, 0});
    return XT::kNoErr;
}

XTError NextAsset(AssetIteratorRef iterator)
{
    HostState* state = HostState::current();
    AssetIteratorData* data = state ? state->mAssetIterators.find(iterator) : nullptr;
    OpenProject* project = data ? state->project(data->mProject) : nullptr;
    if (!project)
        return XT::kErrParam;
    if (data->mIndex < assetCount(*project, data->mKind))
        ++data->mIndex;
    return data->mIndex < assetCount(*project, data->mKind) ? XT::kNoErr : XT::kErrNotFound;
}

AssetUID GetIteratorAsset(AssetIteratorRef iterator)
{
    HostState* state = HostState::current();
    AssetIteratorData* data = state ? state->mAssetIterators.find(iterator) : nullptr;
    OpenProject* project = data ? state->project(data->mProject) : nullptr;
    return project ? uidAt(*project, data->mKind, data->mIndex) : XT::kNoAsset;
}

void DisposeAssetIterator(AssetIteratorRef iterator)
{
    if (HostState* state = HostState::current())
        state->mAssetIterators.remove(iterator);
}

// Name and description of one asset; false when there is none.
bool describe(AssetSpaceRef space, int32_t kind, AssetUID uid, QString* name, QString* description)
{
    HostState* state = HostState::current();
    OpenProject* project = state ? state->projectOfSpace(space) : nullptr;
    if (!project || !validKind(kind))
        return false;
    const int builtIn = builtInIndex(kind, uid);
    if (builtIn >= 0)
    {
        *name = QLatin1String(sBuiltInColors[builtIn].mName);
        *description =
            builtIn == 0 ? QStringLiteral("No colour") : sBuiltInColors[builtIn].mValue.description();
        return true;
    }
    const int index = project->assetIndex(kind, uid);
    if (index < 0)
        return false;
    const Asset& asset = project->mModel.mAssets[kind - 1][index];
    *name = asset.mName;
    *description = asset.description();
    return true;
}

HostString GetAssetName(AssetSpaceRef space, int32_t kind, AssetUID uid)
{
    QString name, description;
    return describe(space, kind, uid, &name, &description) ? hostString(name) : nullptr;
}

HostString GetAssetDescription(AssetSpaceRef space, int32_t kind, AssetUID uid, int32_t flags)
{
    QString name, description;
    return describe(space, kind, uid, &name, &description) ? hostString(description) : nullptr;
}

XTError BeginAssetCopy(AssetSpaceRef source, AssetSpaceRef destination, int32_t mode,
                       XTAssetCopyContext* context)
{
    HostState* state = HostState::current();
    OpenProject* from = state ? state->projectOfSpace(source) : nullptr;
    OpenProject* to = state ? state->projectOfSpace(destination) : nullptr;
    if (!from || !to || !context)
        return XT::kErrParam;
    *context = state->mCopyContexts.add({from->mId, to->mId});
    return XT::kNoErr;
}

XTError CopyAsset(AssetSpaceRef source, AssetSpaceRef destination, int32_t kind, AssetUID sourceUid,
                  AssetUID* uid, XTAssetCopyContext context)
{
    if (HostState::refuses("CopyAsset"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    OpenProject* from = state ? state->projectOfSpace(source) : nullptr;
    OpenProject* to = state ? state->projectOfSpace(destination) : nullptr;
    const AssetCopyData* copy = state ? state->mCopyContexts.find(context) : nullptr;
    if (!from || !to || !copy || !uid || !validKind(kind))
        return XT::kErrParam;
    if (copy->mSource != from->mId || copy->mDestination != to->mId)
        return XT::kErrParam;
    // The built-in colours belong to the host: no copy makes or changes one.
    const int index = from->assetIndex(kind, sourceUid);
    if (index < 0)
        return builtInIndex(kind, sourceUid) >= 0 ? XT::kErrRefused : XT::kErrNotFound;
    const Asset asset = from->mModel.mAssets[kind - 1][index];
    state->mRefusal.clear();
    if (to->mFormat)
    {
        const QString reason = to->mFormat->cannotHold(asset);
        if (!reason.isEmpty())
        {
            state->mRefusal = reason;
            return XT::kErrRefused;
        }
    }

    std::vector<Asset>& assets = to->mModel.mAssets[kind - 1];
    for (size_t i = 0; i < assets.size(); ++i)
    {
        if (assets[i].mName != asset.mName)
            continue;
        if (assets[i] != asset)
        {
            assets[i] = asset;
            to->mModified = true;
        }
        *uid = to->mAssetUids[kind - 1][i];
        return XT::kNoErr;
    }
    AssetUID& next = to->mNextUid[kind - 1];
    if (kind == XT::kColorAssetKind && next > 32767)
        return XT::kErrRefused; // colour ids are 16-bit
    assets.push_back(asset);
    to->mAssetUids[kind - 1].push_back(next);
    *uid = next++;
    to->mModified = true;
    return XT::kNoErr;
}

XTColorList GetColorList(AssetSpaceRef space)
{
    HostState* state = HostState::current();
    OpenProject* project = state ? state->projectOfSpace(space) : nullptr;
    return project ? project->mColorList : nullptr;
}

XTError DeleteAsset(AssetSpaceRef space, int32_t kind, AssetUID uid)
{
    if (HostState::refuses("DeleteAsset"))
        return XT::kErrRefused;
    HostState* state = HostState::current();
    OpenProject* project = state ? state->projectOfSpace(space) : nullptr;
    if (!project || !validKind(kind))
        return XT::kErrParam;
    const int index = project->assetIndex(kind, uid);
    if (index < 0)
        return builtInIndex(kind, uid) >= 0 ? XT::kErrRefused : XT::kErrNotFound;
    std::vector<Asset>& assets = project->mModel.mAssets[size_t(kind - 1)];
    if (kind == XT::kColorAssetKind)
        for (const Layout& layout : project->mModel.mLayouts)
            for (const Spread& spread : layout.mSpreads)
                for (const Box& box : spread.mBoxes)
                    if (box.mColor == assets[size_t(index)].mName)
                        return XT::kErrRefused;
    assets.erase(assets.begin() + index);
    std::vector<AssetUID>& uids = project->mAssetUids[size_t(kind - 1)];
    uids.erase(uids.begin() + index);
    project->mModified = true;
    return XT::kNoErr;
}

const XTAssetsTable sTable = {
    GetAssetSpace,       NewAssetIterator, NextAsset, GetIteratorAsset, DisposeAssetIterator, GetAssetName,
    GetAssetDescription, BeginAssetCopy,   CopyAsset, GetColorList,     DeleteAsset};

} // namespace

const XTAssetsTable& assetsTable()
{
    return sTable;
}

} // namespace Api
} // namespace XTHost
