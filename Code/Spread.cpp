#include "Spread.h"

#include "Placement.h"
#include "PluginString.h"
#include "XTCalls.h"

#include <QTextStream>

namespace
{

constexpr int kPropertyCount = 6;

// The measure formats of the four bounds: two horizontal, two vertical.
constexpr int32_t kBoundFormats[4] = {XT::kFormatHorizontal, XT::kFormatHorizontal, XT::kFormatVertical,
                                      XT::kFormatVertical};

} // namespace

Spread::Spread(long spreadBox, long index, XTProjectId project)
    : NameValueDict<QString>(13), mSpreadBox(XTBoxRef(spreadBox)), mProject(project), mDoc(XT::kNoDoc),
      mIndex(index), mBounds{0, 0, 0, 0}
{
    mDoc = XT::gBox->GetBoxDocument(mSpreadBox);
    const int16_t spread = int16_t(mIndex);
    XT::gDoc->GetSpreadBounds(mDoc, spread, mBounds);
    for (int i = 0; i < 4; ++i)
        Add(PluginLabel(96 + i), XT::FixedToQString(mBounds[i], kBoundFormats[i]));
    Add(PluginLabel(59), QString::number(XT::gDoc->GetSpreadShortValue(mDoc, spread)));
    Add(PluginLabel(60),
        XT::FixedToQString(XT::gDoc->GetSpreadFixedValue(mDoc, spread), XT::kFormatVertical));
}

QString Spread::ToString() const
{
    if (!IsValid())
        return QString(kPropertyCount, QChar(Separator()));
    return Values();
}

QString Spread::Name() const
{
    if (!IsValid())
        return PluginString(103);
    QString name = XT::ToQString(XT::gBox->GetBoxName(mSpreadBox));
    if (name.isEmpty())
        name = PluginString(25);
    return name + QLatin1Char(' ') + QString::number(mIndex);
}

bool Spread::IsValid() const
{
    return mSpreadBox != XT::kNoBox;
}

bool Spread::CanApply(int row) const
{
    return IsValid() && row >= 0 && row < kPropertyCount;
}

bool Spread::CanTakeWhole() const
{
    return IsValid() || mProject != XT::kNoProject;
}

RefusedRows Spread::ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches)
{
    auto* source = dynamic_cast<Spread*>(&other);
    return TakeWholeOr(
        source, patches, QStringLiteral("spread"),
        [&]
        {
            QString reason;
            return CreateFrom(*source, &reason) ? RefusedRows() : RefuseAll(patches, reason);
        },
        [&] { return AllOrNone(Remove(), patches); },
        [&]
        {
            const int16_t spread = int16_t(mIndex);
            RefusedRows refused;
            for (const auto& entry : patches)
            {
                const int key = entry.first;
                if (key < 0 || key >= kPropertyCount)
                {
                    refused[key] = QStringLiteral("this row cannot be copied");
                    continue;
                }
                QString value = source->Value(size_t(key));
                XTError error = XT::kErrParam;
                if (key < 4)
                {
                    Fixed bounds[4] = {mBounds[0], mBounds[1], mBounds[2], mBounds[3]};
                    bounds[key] = source->mBounds[key];
                    error = XT::gDoc->SetSpreadBounds(mDoc, spread, bounds[0], bounds[1], bounds[2], bounds[3]);
                    if (error == 0)
                        std::copy(bounds, bounds + 4, mBounds);
                }
                else if (key == 4)
                {
                    bool ok = false;
                    const int16_t number = value.toShort(&ok);
                    if (ok)
                        error = XT::gDoc->SetSpreadShortValue(mDoc, spread, number);
                }
                else
                {
                    bool ok = false;
                    const Fixed fixed = XT::QStringToFixed(value, XT::kFormatVertical, &ok);
                    if (ok)
                        error = XT::gDoc->SetSpreadFixedValue(mDoc, spread, fixed);
                }
                if (error == 0)
                    Update(size_t(key), value);
                else
                    refused[key] = XT::ErrorText(error);
            }
            return refused;
        });
}

QString Spread::Contents() const
{
    QString contents;
    const int16_t masters = XT::gSpread->GetMasterPageCount(mDoc);
    for (int16_t page : Placement::PagesOf(mDoc, int16_t(mIndex)))
        contents +=
            XT::ToQString(XT::gSpread->GetPageLabel(mDoc, int16_t(masters + page))) + QLatin1Char('\n');
    for (XTBoxRef b = XT::gBox->GetFirstBox(mSpreadBox, 0); b != XT::kNoBox; b = XT::gBox->GetNextBox(b, 0))
        contents += QString::number(XT::gBox->GetBoxNumber(b, 0)) + QLatin1Char(' ');
    return contents;
}

// The spread goes into the layout of the source's layout number at the
// source's index (after the last where this layout has fewer), with its pages
// and boxes. The same spread may be here already, brought by its layout
// copied before it: then it is this side's spread now.
bool Spread::CreateFrom(const Spread& source, QString* reason)
{
    const int32_t layoutNumber = XT::gProject->GetLayoutIndex(source.mDoc);
    const DocRef layout = Placement::LayoutNumbered(mProject, layoutNumber);
    if (layout == XT::kNoDoc)
    {
        *reason = QStringLiteral("this side has no layout %1: copy the layout first").arg(layoutNumber);
        return false;
    }
    const int16_t count = XT::gSpread->GetSpreadCount(layout, 0);
    const int16_t index = int16_t(source.mIndex);
    if (index <= count)
    {
        const Spread present(long(XT::gSpread->GetSpreadBox(layout, index)), index, mProject);
        if (present.Contents() == source.Contents() && present.ToString() == source.ToString())
        {
            *this = present;
            return true;
        }
    }
    const XTBoxRef spread =
        XT::gSpread->CopySpread(source.mDoc, index, layout, qMin<int16_t>(index, count + 1));
    Placement::LayoutsChanged();
    if (spread == XT::kNoBox)
    {
        *reason = (XT::RefusalReason().isEmpty() ? QStringLiteral("the host refused to copy the spread") : QStringLiteral("the host refused to copy the spread: ") + XT::RefusalReason());
        return false;
    }
    *this = Spread(long(spread), qMin<int16_t>(index, count + 1), mProject);
    return true;
}

// A spread already removed with its layout is gone as asked.
XTError Spread::Remove()
{
    if (XT::gBox->GetBoxDocument(mSpreadBox) == XT::kNoDoc)
        return XT::kNoErr;
    const XTError error = XT::gSpread->DeleteSpread(mSpreadBox);
    Placement::LayoutsChanged();
    return error;
}

QJsonObject Spread::Identity() const
{
    if (!IsValid())
        return QJsonObject();
    return QJsonObject{{QStringLiteral("kind"), QStringLiteral("spread")},
                       {QStringLiteral("layout"), int(XT::gProject->GetLayoutIndex(mDoc))},
                       {QStringLiteral("spread"), int(mIndex)}};
}

QByteArray Spread::IdentityKey() const
{
    if (!IsValid())
        return QByteArray();
    return IdentityKeyWriter()
        .Text(QStringLiteral("kind"), QStringLiteral("spread"))
        .Number(QStringLiteral("layout"), XT::gProject->GetLayoutIndex(mDoc))
        .Number(QStringLiteral("spread"), int(mIndex))
        .Key();
}
