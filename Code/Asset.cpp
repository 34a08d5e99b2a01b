#include "Asset.h"

#include "PluginString.h"
#include "XTCalls.h"

#include <iterator>

namespace
{

constexpr int32_t kCopyMode = 4;

// The description as compared: one property line, whatever the host's text
// holds. A carriage return would end the line (and split the row), so the
// host's line breaks become line feeds: kept for the reader, inside the row.
QString Description(AssetSpaceRef space, long kind, AssetUID uid)
{
    QString description = XT::ToQString(XT::gAssets->GetAssetDescription(space, int32_t(kind), uid, 0));
    description.replace(QChar(13), QChar(10));
    return description;
}

} // namespace

Asset::Asset(AssetSpaceRef space, long kind, AssetUID uid)
    : NameValueDict<QString>(13), mSpace(space), mKind(kind), mUid(uid)
{
    if (!IsValid())
        return;
    mName = XT::ToQString(XT::gAssets->GetAssetName(mSpace, int32_t(mKind), mUid));
    Add(PluginLabel(45), Description(mSpace, mKind, mUid));
}

QString Asset::ToString() const
{
    if (!IsValid())
        return QString();
    return Values();
}

QString Asset::Name() const
{
    if (!IsValid())
        return PluginString(46);
    return mName;
}

bool Asset::IsValid() const
{
    return mSpace != nullptr && mUid != XT::kNoAsset;
}

RefusedRows Asset::ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches)
{
    auto* source = dynamic_cast<Asset*>(&other);
    auto remove = [&]
    {
        // The other side lacks it: it goes from this one.
        const XTError error = XT::gAssets->DeleteAsset(mSpace, int32_t(mKind), mUid);
        if (error == XT::kErrRefused && mKind == XT::kColorAssetKind)
            return RefuseAll(patches, QStringLiteral("a box of this project still has the colour"));
        return AllOrNone(error, patches);
    };
    // A new asset and a changed one are both the source's copy.
    auto copy = [&] { return AllOrNone(CopyFrom(*source), patches); };
    return TakeWholeOr(source, patches, QStringLiteral("asset"), copy, remove, copy);
}

XTError Asset::CopyFrom(const Asset& source)
{
    XTAssetCopyContext context = nullptr;
    XTError error = XT::gAssets->BeginAssetCopy(source.mSpace, mSpace, kCopyMode, &context);
    AssetUID uid = mUid;
    if (error == 0)
        error = XT::gAssets->CopyAsset(source.mSpace, mSpace, int32_t(mKind), source.mUid, &uid, context);
    if (error != 0)
        return error;
    mUid = uid;
    // Show the description the asset now has, so that a new comparison of
    // the pair sees the merge.
    if (IsValid())
    {
        mName = XT::ToQString(XT::gAssets->GetAssetName(mSpace, int32_t(mKind), mUid));
        const QString description = Description(mSpace, mKind, mUid);
        if (Count() == 0)
            Add(PluginLabel(45), description);
        else
            Update(0, description);
    }
    return 0;
}

bool Asset::operator<(const Asset& other) const
{
    if (IsValid() && other.IsValid())
        return mName.compare(other.mName) < 0;
    return Name().compare(other.Name()) < 0;
}

bool Asset::operator<=(const Asset& other) const
{
    if (IsValid() && other.IsValid())
        return mName.compare(other.mName) <= 0;
    return Name().compare(other.Name()) <= 0;
}

QString Asset::KindName(long kind)
{
    // The keys of the project file's asset lists.
    static const char* const kNames[] = {
        "paragraphStyles", "characterStyles", "colours",     "hyphenations", "lists",
        "dashesStripes",   "bulletStyles",    "numberings",  "tableStyles",  "gridStyles",
        "calloutStyles",   "footnoteStyles",  "conditions",  "printStyles",  "outputStyles",
        "trapPresets",     "layers",          "scriptStyles"};
    if (kind < 1 || kind > long(std::size(kNames)))
        return QString::number(kind);
    return QLatin1String(kNames[kind - 1]);
}

QJsonObject Asset::Identity() const
{
    if (!IsValid())
        return QJsonObject();
    return QJsonObject{{QStringLiteral("kind"), QStringLiteral("asset")},
                       {QStringLiteral("asset"), KindName(mKind)},
                       {QStringLiteral("name"), mName}};
}
