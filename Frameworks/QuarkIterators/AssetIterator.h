#pragma once

#include "IIterator.h"
#include "ReferenceCount.h"
#include "XTCalls.h"

namespace QXPCursor
{

inline void DisposeAssetIter(AssetIteratorRef iterator)
{
    XT::gAssets->DisposeAssetIterator(iterator);
}

typedef ReferenceCounted<AssetIteratorRef, &DisposeAssetIter> SharedAssetIterator;

template <int N> class Asset<Int2Type<N>> : public Leaf
{
public:
    Asset(const SharedAssetIterator& iterator, AssetSpaceRef space, AssetUID uid)
        : mIterator(iterator), mSpace(space), mUid(uid)
    {
    }
    Asset(const Asset& other) : Leaf(), mIterator(other.mIterator), mSpace(other.mSpace), mUid(other.mUid) {}

    bool operator==(const Asset& other) const { return mSpace == other.mSpace && mUid == other.mUid; }

    const SharedAssetIterator& Iterator() const { return mIterator; }
    AssetSpaceRef Space() const { return mSpace; }
    AssetUID Uid() const { return mUid; }

private:
    SharedAssetIterator mIterator;
    AssetSpaceRef mSpace;
    AssetUID mUid;
};

} // namespace QXPCursor
