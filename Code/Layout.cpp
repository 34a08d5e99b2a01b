#include "Layout.h"

#include "PluginString.h"
#include "XTCalls.h"

namespace
{

int TypeLabel(XTFourCC type)
{
    switch (type)
    {
    case XT::kLayoutPrint:
        return 91;
    case XT::kLayoutWeb:
        return 92;
    case XT::kLayoutEps:
        return 106;
    case XT::kLayoutApp:
        return 107;
    default:
        return 93;
    }
}

} // namespace

Layout::Layout(DocRef doc) : NameValueDict<QString>(13), mDoc(doc)
{
    if (mDoc == XT::kNoDoc)
        return;
    Add(PluginString(89), XT::ToQString(XT::gProject->GetLayoutName(mDoc)));
    const XTFourCC type = XT::gProject->GetLayoutType(mDoc);
    if (type != 0)
        Add(PluginString(90), PluginString(TypeLabel(type)));
}

QString Layout::ToString() const
{
    if (!IsValid())
        return QString();
    return Values();
}

QString Layout::Name() const
{
    if (!IsValid())
        return PluginString(94);
    return PluginString(22) + QLatin1Char(' ') + QString::number(XT::gProject->GetLayoutIndex(mDoc));
}

bool Layout::IsValid() const
{
    return mDoc != XT::kNoDoc;
}

bool Layout::CanApply(int) const
{
    return false;
}

RefusedRows Layout::ApplyPatches(Corvable&, std::map<int, TextDiff::UnitPatch*>& patches)
{
    return RefuseAll(patches, QStringLiteral("this kind of item cannot be copied"));
}

QJsonObject Layout::Identity() const
{
    if (!IsValid())
        return QJsonObject();
    return QJsonObject{{QStringLiteral("kind"), QStringLiteral("layout")},
                       {QStringLiteral("layout"), int(XT::gProject->GetLayoutIndex(mDoc))}};
}
