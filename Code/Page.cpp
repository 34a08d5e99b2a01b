#include "Page.h"

#include "PluginString.h"
#include "XTCalls.h"

Page::Page(DocRef doc, long number) : NameValueDict<QString>(13), mDoc(doc), mNumber(number)
{
    if (!IsValid())
        return;
    const int16_t masters = XT::gSpread->GetMasterPageCount(mDoc);
    Add(PluginLabel(95), XT::ToQString(XT::gSpread->GetPageLabel(mDoc, int16_t(masters + mNumber))));
}

QString Page::ToString() const
{
    if (!IsValid())
        return QString(QChar(Separator()));
    return Values();
}

QString Page::Name() const
{
    if (!IsValid())
        return PluginString(100);
    return PluginString(24) + QLatin1Char(' ') + QString::number(mNumber);
}

bool Page::IsValid() const
{
    return mDoc != XT::kNoDoc && mNumber != -1;
}

bool Page::CanApply(int) const
{
    return false;
}

RefusedRows Page::ApplyPatches(Corvable&, std::map<int, TextDiff::UnitPatch*>& patches)
{
    return RefuseAll(patches, QStringLiteral("this kind of item cannot be copied"));
}

QJsonObject Page::Identity() const
{
    if (!IsValid())
        return QJsonObject();
    return QJsonObject{{QStringLiteral("kind"), QStringLiteral("page")},
                       {QStringLiteral("layout"), int(XT::gProject->GetLayoutIndex(mDoc))},
                       {QStringLiteral("page"), int(mNumber)}};
}
