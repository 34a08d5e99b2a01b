#pragma once

#include "Corvable.h"
#include "NameValueDict.h"
#include "XTTypes.h"

// A project asset of one of the eighteen kinds (kind 3: colours): its
// description. Merging copies the whole asset.
class Asset : public Corvable, public NameValueDict<QString>
{
public:
    Asset(AssetSpaceRef space, long kind, AssetUID uid);
    Asset(const Asset& other) = default;

    QString ToString() const override;
    QString Name() const override;
    bool IsValid() const override;
    QJsonObject Identity() const override;
    // The name of an asset kind (1 to 18) as the project file's lists have it:
    // "colours", "paragraphStyles"...
    static QString KindName(long kind);
    // Made from the other side's where this side lacks it, removed where
    // the other side lacks it.
    bool CanTakeWhole() const override { return mSpace != nullptr; }
    RefusedRows ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches) override;

    // Assets pair up by name.
    bool operator<(const Asset& other) const;
    bool operator<=(const Asset& other) const;

    using NameValueDict<QString>::Name;
    AssetSpaceRef Space() const { return mSpace; }
    long Kind() const { return mKind; }
    AssetUID Uid() const { return mUid; }

private:
    // Takes the source's asset into this side's project: the host's error.
    XTError CopyFrom(const Asset& source);
    AssetSpaceRef mSpace;
    long mKind;
    AssetUID mUid;
    // Asked of the host once: assets are ordered and paired by it, and a name
    // changes only through a merge into this asset.
    QString mName;
};
