#include "Spread.h"

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

Spread::Spread(long spreadBox, long index)
    : NameValueDict<QString>(13), mSpreadBox(XTBoxRef(spreadBox)), mDoc(XT::kNoDoc),
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

bool Spread::CanApply(int) const
{
    return false;
}

RefusedRows Spread::ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches)
{
    auto* source = dynamic_cast<Spread*>(&other);
    if (!source || !IsValid() || !source->IsValid())
        return RefuseAll(patches, QStringLiteral("a spread missing on one side cannot be copied"));
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
}

QJsonObject Spread::Identity() const
{
    if (!IsValid())
        return QJsonObject();
    return QJsonObject{{QStringLiteral("kind"), QStringLiteral("spread")},
                       {QStringLiteral("layout"), int(XT::gProject->GetLayoutIndex(mDoc))},
                       {QStringLiteral("spread"), int(mIndex)}};
}
