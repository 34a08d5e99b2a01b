#include "Box.h"

#include "Placement.h"
#include "PluginString.h"
#include "XTCalls.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <iterator>

namespace
{

using Kind = Box::Kind;
using Source = Box::Source;
using Row = Box::Row;

// Rows 5 to 10 of every box.
const Row kCommonRows[] = {
    {51, Source::BoxProperty, 51, Kind::Measure, XT::kFormatDegrees},
    {52, Source::BoxProperty, 52, Kind::Measure, XT::kFormatDegrees},
    {53, Source::BoxProperty, 53, Kind::Measure, XT::kFormatVertical},
    {54, Source::BoxProperty, 54, Kind::Short, 0},
    {55, Source::BoxProperty, 55, Kind::Measure, XT::kFormatPercent},
    {56, Source::BoxProperty, 56, Kind::Measure, XT::kFormatPercent},
};

// Rows 11 to 21 of a text box.
const Row kTextRows[] = {
    {57, Source::BoxProperty, 57, Kind::Measure, XT::kFormatDegrees},
    {58, Source::BoxProperty, 58, Kind::Measure, XT::kFormatDegrees},
    {59, Source::BoxProperty, 59, Kind::Long, 0},
    {60, Source::BoxProperty, 60, Kind::Measure, XT::kFormatVertical},
    {61, Source::Inset, 0, Kind::Measure, XT::kFormatInset},
    {62, Source::Inset, 1, Kind::Measure, XT::kFormatInset},
    {63, Source::Inset, 2, Kind::Measure, XT::kFormatInset},
    {64, Source::Inset, 3, Kind::Measure, XT::kFormatInset},
    {65, Source::BoxProperty, 65, Kind::Measure, XT::kFormatHorizontal},
    {66, Source::BoxProperty, 66, Kind::Alignment, 0},
    {67, Source::BoxProperty, 67, Kind::Boolean, 0},
};

// Rows 11 to 22 of a picture box.
const Row kPictureRows[] = {
    {68, Source::PictureProperty, 68, Kind::Measure, XT::kFormatVertical},
    {69, Source::PictureProperty, 69, Kind::Measure, XT::kFormatHorizontal},
    {70, Source::PictureProperty, 70, Kind::Measure, XT::kFormatPercent},
    // The down scale is a property of its own: reading the across scale here
    // would hide every difference in it.
    {71, Source::PictureProperty, 71, Kind::Measure, XT::kFormatPercent},
    {72, Source::PictureProperty, 72, Kind::Measure, XT::kFormatDegrees},
    {73, Source::PictureProperty, 73, Kind::Measure, XT::kFormatDegrees},
    {74, Source::PictureProperty, 74, Kind::Short, 0},
    {75, Source::PictureProperty, 75, Kind::Measure, XT::kFormatPercent},
    {76, Source::PictureProperty, 76, Kind::Measure, XT::kFormatPercent},
    {77, Source::PictureProperty, 77, Kind::Short, 0},
    {78, Source::PictureProperty, 78, Kind::Measure, XT::kFormatPercent},
    {79, Source::PictureProperty, 79, Kind::Measure, XT::kFormatPercent},
};

// The last two rows of every box.
const Row kFlagRows[] = {
    {80, Source::BoxProperty, 80, Kind::Boolean, 0},
    {81, Source::BoxProperty, 81, Kind::Boolean, 0},
};

constexpr int kFirstKindRow = 1 + 4 + int(std::size(kCommonRows)); // 11
// The rows of a picture box, the most a box has: its colour, spread and
// stacking, then the picture's file and its content.
constexpr int kMissingRows = kFirstKindRow + int(std::size(kPictureRows)) + int(std::size(kFlagRows)) + 5;

// Vertical alignment codes and their labels.
int AlignmentLabel(int32_t code)
{
    switch (code)
    {
    case 1:
        return 86;
    case 2:
        return 87;
    case 3:
        return 88;
    default:
        return 85;
    }
}

QString KindWord(int16_t content)
{
    switch (content)
    {
    case XT::kContentNone:
        return QStringLiteral("None");
    case XT::kContentSpread:
        return QStringLiteral("Spread");
    case XT::kContentGroup:
        return QStringLiteral("Group");
    case XT::kContentText:
        return QStringLiteral("Text");
    case XT::kContentPicture:
        return QStringLiteral("Picture");
    case XT::kContentUser:
        return QStringLiteral("User");
    default:
        return QString();
    }
}

// What a picture file holds, in short: a changed image behind the same
// name shows as a different digest. Files are read once per size and time.
QString PictureDigest(const QString& path)
{
    struct Known
    {
        qint64 mSize;
        QDateTime mModified;
        QString mDigest;
    };
    static QHash<QString, Known> sKnown;
    const QFileInfo info(path);
    if (!info.isFile())
        return PluginLabel(113);
    auto known = sKnown.find(path);
    if (known != sKnown.end() && known->mSize == info.size() && known->mModified == info.lastModified())
        return known->mDigest;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return PluginLabel(113);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    const QString digest = QStringLiteral("sha256 ") + QString::fromLatin1(hash.result().toHex().left(16));
    sKnown.insert(path, {info.size(), info.lastModified(), digest});
    return digest;
}

} // namespace

Box::Box(long box, XTProjectId project) : NameValueDict<QString>(13), mBox(XTBoxRef(box)), mProject(project)
{
    if (mBox == XT::kNoBox)
        return;
    const bool text = XT::gBox->IsTextBox(mBox);
    const bool picture = !text && XT::gBox->IsPictureBox(mBox);
    mDict.reserve(size_t(kFirstKindRow) + (text ? std::size(kTextRows) : 0) +
                  (picture ? std::size(kPictureRows) + 2 : 0) + std::size(kFlagRows) + 3);
    mTrue = PluginLabel(82);
    mFalse = PluginLabel(83);

    XTBoxGeometry geometry{};
    XT::XTGetBoxGeometry(mBox, &geometry);
    mOriginV = geometry.origin.v;
    mOriginH = geometry.origin.h;
    mHeight = geometry.bounds.bottom - geometry.bounds.top;
    mWidth = geometry.bounds.right - geometry.bounds.left;

    // Row 0 is the box's own name: a renamed box differs, and the name is
    // copied like any other property.
    Add(PluginLabel(89), XT::ToQString(XT::gBox->GetBoxName(mBox)));
    Add(PluginLabel(47), XT::FixedToQString(mOriginV, XT::kFormatVertical));
    Add(PluginLabel(48), XT::FixedToQString(mOriginH, XT::kFormatHorizontal));
    Add(PluginLabel(49), XT::FixedToQString(mHeight, XT::kFormatVertical));
    Add(PluginLabel(50), XT::FixedToQString(mWidth, XT::kFormatHorizontal));
    AddRows(kCommonRows, std::size(kCommonRows));

    if (XT::gBox->IsTextBox(mBox))
    {
        mInsets = std::make_shared<std::array<Fixed, 4>>();
        mInsets->fill(0);
        XT::gBoxFields->GetTextInsets(mBox, mInsets->data());
        AddRows(kTextRows, std::size(kTextRows));
    }
    else if (XT::gBox->IsPictureBox(mBox))
    {
        AddRows(kPictureRows, std::size(kPictureRows));
    }
    AddRows(kFlagRows, std::size(kFlagRows));
    Add(PluginLabel(108), XT::ToQString(XT::gBoxFields->GetBoxColor(mBox)));
    // Filled in once the comparison has paired both sides' boxes.
    Add(PluginLabel(114), QString());
    Add(PluginLabel(110), QString());

    // Last, after the rows every box shares: the picture's file as the
    // document refers to it (copied like any row), and a digest of the file
    // it finds there, which tells a changed image behind the same name and
    // is shown and compared, never copied.
    if (XT::gBox->IsPictureBox(mBox))
    {
        const XTPicture picture = XT::gPicture->GetBoxPicture(mBox);
        Add(PluginLabel(105), XT::ToQString(XT::gPicture->GetPictureReference(picture)));
        QString path;
        if (XTFileSpec file = XT::gPicture->GetPictureFile(picture))
        {
            path = XT::ToQString(XT::gFiles->GetFilePath(file));
            XT::gFiles->DisposeFile(file);
        }
        Add(PluginLabel(109), path.isEmpty() ? QString() : PictureDigest(path));
    }
}

void Box::SetPlace(int16_t spread, const QString& stacking, XTBoxRef ownBelow, XTBoxRef otherBelow)
{
    if (!IsValid())
        return;
    Update(size_t(StackingRow() - 1), spread > 0 ? QString::number(spread) : QString());
    Update(size_t(StackingRow()), stacking);
    mSpread = spread;
    mOwnBelow = ownBelow;
    mOtherBelow = otherBelow;
}

int Box::StackingRow() const
{
    return int(Count()) - (XT::gBox->IsPictureBox(mBox) ? 3 : 1);
}

void Box::AddRows(const Row* rows, size_t count)
{
    XTPicture picture = nullptr;
    for (size_t i = 0; i < count; ++i)
    {
        const Row& row = rows[i];
        int32_t value = 0;
        switch (row.source)
        {
        case Source::BoxProperty:
            value = XT::gBoxFields->GetBoxProperty(mBox, row.property);
            break;
        case Source::PictureProperty:
            if (!picture)
                picture = XT::gPicture->GetBoxPicture(mBox);
            value = XT::gPicture->GetPictureProperty(picture, row.property);
            break;
        case Source::Inset:
            value = (*mInsets)[size_t(row.property)];
            break;
        }
        QString text;
        switch (row.kind)
        {
        case Kind::Measure:
            text = XT::FixedToQString(value, row.format);
            break;
        case Kind::Short:
            text = QString::number(int16_t(value));
            break;
        case Kind::Long:
            text = QString::number(value);
            break;
        case Kind::Alignment:
            text = PluginLabel(AlignmentLabel(uint8_t(value)));
            break;
        case Kind::Boolean:
            text = value ? mTrue : mFalse;
            break;
        }
        Add(PluginLabel(row.label), text);
    }
}

QString Box::ToString() const
{
    if (!IsValid())
        return QString(kMissingRows, QChar(Separator()));
    return Values();
}

QString Box::Name() const
{
    if (!IsValid())
        return PluginString(84);
    QString name = XT::ToQString(XT::gBox->GetBoxName(mBox));
    if (name.isEmpty())
        name = XT::ToQString(XT::gBox->GetBoxDefaultName(mBox));
    if (name.isEmpty())
    {
        name = PluginString(23);
        const int32_t number = XT::gBox->GetBoxNumber(mBox, 0);
        if (number != 0)
            name += QLatin1Char(' ') + QString::number(number);
    }
    return name + QLatin1Char('(') + KindWord(XT::gBox->GetBoxContentType(mBox)) + QLatin1Char(')');
}

bool Box::IsValid() const
{
    return mBox != XT::kNoBox;
}

bool Box::CanApply(int row) const
{
    if (mBox == XT::kNoBox || row < 0)
        return false;
    return row < int(Count());
}

bool Box::CanTakeWhole() const
{
    return IsValid() || mProject != XT::kNoProject;
}

RefusedRows Box::ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches)
{
    auto* source = dynamic_cast<Box*>(&other);
    return TakeWholeOr(
        source, patches, QStringLiteral("box"),
        [&]
        {
            QString reason;
            return CreateFrom(*source, &reason) ? RefusedRows() : RefuseAll(patches, reason);
        },
        [&] { return AllOrNone(Remove(), patches); }, [&] { return CopyRows(*source, patches); });
}

RefusedRows Box::CopyRows(Box& source, const std::map<int, TextDiff::UnitPatch*>& patches)
{
    RefusedRows refused;
    for (const auto& entry : patches)
    {
        const int key = entry.first;
        if (!CanApply(key) || size_t(key) >= source.Count())
        {
            refused[key] = QStringLiteral("this row cannot be copied");
            continue;
        }
        const QString value = source.Value(size_t(key));
        const XTError error = CopyRow(key, source, value);
        if (error == 0)
            Update(size_t(key), value);
        else
            refused[key] = XT::ErrorText(error);
    }
    return refused;
}

XTError Box::CopyRow(int key, Box& source, const QString& value)
{
    const bool isText = XT::gBox->IsTextBox(mBox);
    const bool isPicture = !isText && XT::gBox->IsPictureBox(mBox);
    const Row* kindRows = isText ? kTextRows : isPicture ? kPictureRows : nullptr;
    const int kindCount = isText ? int(std::size(kTextRows)) : isPicture ? int(std::size(kPictureRows)) : 0;
    const int flagRow = kFirstKindRow + kindCount;
    XTError error = XT::kErrParam;
    if (key == 0)
    {
        XT::HostStringHolder name(value);
        error = XT::gBox->SetBoxName(mBox, name.Get());
    }
    else if (key == 1 || key == 2)
    {
        const Fixed dv = key == 1 ? source.mOriginV - mOriginV : 0;
        const Fixed dh = key == 2 ? source.mOriginH - mOriginH : 0;
        error = XT::gBox->MoveBox(mBox, dv, dh, 1);
        if (error == 0)
            (key == 1 ? mOriginV : mOriginH) = key == 1 ? source.mOriginV : source.mOriginH;
    }
    else if (key == 3 || key == 4)
    {
        if (XTBoxRecord* record = XT::gBox->GetBoxRecord(0, mBox, 0))
        {
            if (key == 3)
                record->height += source.mHeight - mHeight;
            else
                record->width += source.mWidth - mWidth;
            error = XT::gBox->SetBoxRecord(record, mBox, 0, 0);
            XT::gBox->DisposeBoxRecord(record, 1);
            if (error == 0)
                (key == 3 ? mHeight : mWidth) = key == 3 ? source.mHeight : source.mWidth;
        }
    }
    else if (key < kFirstKindRow)
    {
        error = ApplyRow(kCommonRows[key - 5], source, value);
    }
    else if (key < flagRow)
    {
        error = ApplyRow(kindRows[key - kFirstKindRow], source, value);
    }
    else if (key < flagRow + int(std::size(kFlagRows)))
    {
        error = ApplyRow(kFlagRows[key - flagRow], source, value);
    }
    else if (key == flagRow + int(std::size(kFlagRows)))
    {
        error = ApplyColor(source, value);
    }
    else if (key == StackingRow() - 1)
    {
        // Onto the spread of the same place in the layout: the rows of
        // its position count from that spread's corner.
        const DocRef layout = XT::gBox->GetBoxDocument(mBox);
        const XTBoxRef spreadBox = source.mSpread > 0 ? XT::gSpread->GetSpreadBox(layout, source.mSpread)
                                                       : XT::kNoBox;
        error = spreadBox == XT::kNoBox ? XT::kErrNotFound : XT::gBox->MoveBoxToSpread(mBox, spreadBox);
        Placement::BoxMoved(mBox);
        if (error == 0)
            mSpread = source.mSpread;
    }
    else if (key == StackingRow())
    {
        error = XT::gBox->SetBoxStackedAbove(mBox, source.mOtherBelow);
    }
    else if (isPicture && (key == StackingRow() + 1 || key == StackingRow() + 2))
    {
        // The content follows the file the box refers to: taking the
        // other side's content is taking its reference (where the two
        // name the same file, nothing changes, and the content still
        // differs after).
        const int row = StackingRow() + 1;
        XT::HostStringHolder reference(source.Value(size_t(row)));
        error = XT::gPicture->SetPictureReference(XT::gPicture->GetBoxPicture(mBox), reference.Get());
        if (error == 0)
        {
            Update(size_t(row), source.Value(size_t(row)));
            Update(size_t(row + 1), source.Value(size_t(row + 1)));
        }
    }
    return error;
}

// A colour this box's project lacks comes from the source's project first,
// as the host brings a box's colour along when it copies the box.
XTError Box::ApplyColor(const Box& source, const QString& name)
{
    XT::HostStringHolder holder(name);
    XTError error = XT::gBoxFields->SetBoxColor(mBox, holder.Get());
    if (error != XT::kErrNotFound)
        return error;
    const AssetSpaceRef from =
        XT::gAssets->GetAssetSpace(Placement::ProjectOf(XT::gBox->GetBoxDocument(source.mBox)));
    const AssetSpaceRef to = XT::gAssets->GetAssetSpace(Placement::ProjectOf(XT::gBox->GetBoxDocument(mBox)));
    AssetIteratorRef iterator = nullptr;
    AssetUID uid = XT::kNoAsset;
    if (XT::gAssets->NewAssetIterator(from, XT::kColorAssetKind, &iterator) == 0)
    {
        for (AssetUID candidate = XT::gAssets->GetIteratorAsset(iterator); candidate != XT::kNoAsset;
             candidate = XT::gAssets->NextAsset(iterator) == 0 ? XT::gAssets->GetIteratorAsset(iterator)
                                                               : XT::kNoAsset)
            if (XT::ToQString(XT::gAssets->GetAssetName(from, XT::kColorAssetKind, candidate)) == name)
            {
                uid = candidate;
                break;
            }
        XT::gAssets->DisposeAssetIterator(iterator);
    }
    if (uid == XT::kNoAsset)
        return error;
    XTAssetCopyContext context = nullptr;
    AssetUID copied = XT::kNoAsset;
    error = XT::gAssets->BeginAssetCopy(from, to, 4, &context);
    if (error == 0)
        error = XT::gAssets->CopyAsset(from, to, XT::kColorAssetKind, uid, &copied, context);
    return error != 0 ? error : XT::gBoxFields->SetBoxColor(mBox, holder.Get());
}

XTError Box::ApplyRow(const Row& row, const Box& source, const QString& value)
{
    if (row.source == Source::Inset)
    {
        if (!mInsets || !source.mInsets)
            return XT::kErrParam;
        XT::gBoxFields->SetInsetSetting(mBox, XT::gBoxFields->GetInsetSetting(source.mBox));
        std::array<Fixed, 4> insets = *mInsets;
        insets[size_t(row.property)] = (*source.mInsets)[size_t(row.property)];
        if (const XTError error = XT::gBoxFields->SetTextInsets(mBox, insets.data()))
            return error;
        *mInsets = insets;
        return XT::kNoErr;
    }

    int32_t number = 0;
    bool ok = true;
    switch (row.kind)
    {
    case Kind::Measure:
        number = XT::QStringToFixed(value, row.format, &ok);
        break;
    case Kind::Short:
        number = value.toShort(&ok);
        break;
    case Kind::Long:
    {
        // The host takes the column count as a byte; a count that does not
        // fit would arrive as another number, so it is not applied at all.
        const ushort wide = value.toUShort(&ok);
        ok = ok && wide <= 0xFF;
        number = wide & 0xFF;
        break;
    }
    case Kind::Alignment:
        number = value == PluginString(86)   ? 1
                 : value == PluginString(87) ? 2
                 : value == PluginString(88) ? 3
                                             : 0;
        break;
    case Kind::Boolean:
        number = value == mTrue ? 1 : 0;
        break;
    }
    if (!ok)
        return XT::kErrParam;
    if (row.source == Source::PictureProperty)
        return XT::gPicture->SetPictureProperty(XT::gPicture->GetBoxPicture(mBox), row.property, number);
    return XT::gBoxFields->SetBoxProperty(mBox, row.property, number);
}

// The box goes onto the layout of the source's layout number, onto the spread
// of the source's spread index, and keeps its number (the host keeps it where
// it is free), so that it pairs with its original. A box of that number may
// be here already: brought by its spread, layout or story copied before it
// (then it is this side's box now), or a box of another kind, which the copy
// replaces.
bool Box::CreateFrom(const Box& source, QString* reason)
{
    const DocRef sourceLayout = XT::gBox->GetBoxDocument(source.mBox);
    const int32_t layoutNumber = XT::gProject->GetLayoutIndex(sourceLayout);
    const DocRef layout = Placement::LayoutNumbered(mProject, layoutNumber);
    if (layout == XT::kNoDoc)
    {
        *reason = QStringLiteral("this side has no layout %1: copy the layout first").arg(layoutNumber);
        return false;
    }
    const int32_t number = XT::gBox->GetBoxNumber(source.mBox, 0);
    // A number its file does not keep names no box here: the copy is new.
    const bool kept = XT::ToQString(XT::gBox->GetBoxDefaultName(source.mBox)).isEmpty();
    if (const XTBoxRef present = kept ? Placement::BoxNumbered(layout, number) : XT::kNoBox)
    {
        if (XT::gBox->GetBoxContentType(present) == XT::gBox->GetBoxContentType(source.mBox))
        {
            *this = Box(long(present), mProject);
            return true;
        }
        Placement::BoxRemoving(present);
        if (const XTError error = XT::gBox->DeleteBox(present))
        {
            Placement::LayoutsChanged();
            *reason = XT::ErrorText(error);
            return false;
        }
    }
    const int16_t spread = Placement::SpreadHolding(sourceLayout, source.mBox);
    if (spread < 1 || spread > XT::gSpread->GetSpreadCount(layout, 0))
    {
        *reason = QStringLiteral("this side's layout has no spread %1: copy the spread first").arg(spread);
        return false;
    }
    const XTBoxRef box = XT::gSpread->CopyBoxToSpread(sourceLayout, source.mBox, layout,
                                                      XT::gSpread->GetSpreadBox(layout, spread));
    Placement::BoxAdded(layout, box, spread);
    if (box == XT::kNoBox)
    {
        *reason = (XT::RefusalReason().isEmpty() ? QStringLiteral("the host refused to copy the box") : QStringLiteral("the host refused to copy the box: ") + XT::RefusalReason());
        return false;
    }
    TakeStackingPlace(box, source, sourceLayout, layout);
    *this = Box(long(box), mProject);
    SetPlace(spread, source.Value(size_t(source.StackingRow())), XT::kNoBox, XT::kNoBox);
    return true;
}

// A new box takes the source's place in the stacking order: just above the
// nearest box below the source that this side has by now (boxes made by
// one copy after another find each other), else at the bottom.
void Box::TakeStackingPlace(XTBoxRef box, const Box& source, DocRef sourceLayout, DocRef layout)
{
    std::vector<XTBoxRef> below;
    const XTBoxRef spreadBox = XT::gSpread->GetSpreadBox(sourceLayout, Placement::SpreadHolding(sourceLayout, source.mBox));
    for (XTBoxRef b = XT::gBox->GetFirstBox(spreadBox, 0); b != XT::kNoBox && b != source.mBox;
         b = XT::gBox->GetNextBox(b, 0))
        below.push_back(b);
    for (auto b = below.rbegin(); b != below.rend(); ++b)
    {
        // The source's steady neighbour has its counterpart from the
        // comparison; another box by its number, where its file keeps it.
        XTBoxRef counterpart = XT::kNoBox;
        if (*b == source.mOwnBelow)
            counterpart = source.mOtherBelow;
        else if (XT::ToQString(XT::gBox->GetBoxDefaultName(*b)).isEmpty())
            counterpart = Placement::BoxNumbered(layout, XT::gBox->GetBoxNumber(*b, 0));
        if (counterpart == XT::kNoBox || counterpart == box ||
            XT::gBox->GetBoxContentType(counterpart) != XT::gBox->GetBoxContentType(*b))
            continue;
        if (XT::gBox->SetBoxStackedAbove(box, counterpart) == XT::kNoErr)
            return;
    }
    XT::gBox->SetBoxStackedAbove(box, XT::kNoBox);
}

// A box already removed with its spread or layout is gone as asked.
XTError Box::Remove()
{
    if (XT::gBox->GetBoxDocument(mBox) == XT::kNoDoc)
        return XT::kNoErr;
    Placement::BoxRemoving(mBox);
    const XTError error = XT::gBox->DeleteBox(mBox);
    // Refused, the box is still there.
    if (error != XT::kNoErr)
        Placement::LayoutsChanged();
    return error;
}

QJsonObject Box::Identity() const
{
    if (!IsValid())
        return QJsonObject();
    return QJsonObject{
        {QStringLiteral("kind"), QStringLiteral("box")},
        {QStringLiteral("layout"), int(XT::gProject->GetLayoutIndex(XT::gBox->GetBoxDocument(mBox)))},
        {QStringLiteral("box"), int(XT::gBox->GetBoxNumber(mBox, 0))},
        // A number whose box changed kind names two items, one per side.
        {QStringLiteral("content"), KindWord(XT::gBox->GetBoxContentType(mBox)).toLower()}};
}

QByteArray Box::IdentityKey() const
{
    if (!IsValid())
        return QByteArray();
    return IdentityKeyWriter()
        .Number(QStringLiteral("box"), XT::gBox->GetBoxNumber(mBox, 0))
        .Text(QStringLiteral("content"), KindWord(XT::gBox->GetBoxContentType(mBox)).toLower())
        .Text(QStringLiteral("kind"), QStringLiteral("box"))
        .Number(QStringLiteral("layout"), XT::gProject->GetLayoutIndex(XT::gBox->GetBoxDocument(mBox)))
        .Key();
}
