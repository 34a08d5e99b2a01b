#include "OpenProject.h"

#include <algorithm>

namespace XTHost
{

int OpenProject::assetIndex(int32_t kind, AssetUID uid) const
{
    if (kind < XT::kFirstAssetKind || kind > XT::kLastAssetKind)
        return -1;
    const std::vector<AssetUID>& uids = mAssetUids[kind - 1];
    auto it = std::lower_bound(uids.begin(), uids.end(), uid);
    return it != uids.end() && *it == uid ? int(it - uids.begin()) : -1;
}

} // namespace XTHost
