#include "Layout.h"

#include "Placement.h"
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

Layout::Layout(DocRef doc, XTProjectId project) : NameValueDict<QString>(13), mDoc(doc), mProject(project)
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
    // Its name where it has one ("Print edition", a Scribus document's
    // title); its number is its identity either way.
    const QString name = XT::ToQString(XT::gProject->GetLayoutName(mDoc));
    if (!name.isEmpty())
        return name;
    return PluginString(22) + QLatin1Char(' ') + QString::number(XT::gProject->GetLayoutIndex(mDoc));
}

bool Layout::IsValid() const
{
    return mDoc != XT::kNoDoc;
}

bool Layout::CanApply(int row) const
{
    // The name; the type is the host's to choose.
    return IsValid() && row == 0;
}

bool Layout::CanTakeWhole() const
{
    return IsValid() || mProject != XT::kNoProject;
}

RefusedRows Layout::ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches)
{
    auto* source = dynamic_cast<Layout*>(&other);
    auto create = [&]
    {
        // Already here when an earlier copy brought it.
        const int32_t number = XT::gProject->GetLayoutIndex(source->mDoc);
        DocRef doc = Placement::LayoutNumbered(mProject, number);
        if (doc == XT::kNoDoc)
        {
            doc = XT::gProject->CopyLayout(source->mDoc, mProject);
            Placement::LayoutsChanged();
        }
        if (doc == XT::kNoDoc)
            return RefuseAll(patches, XT::RefusalReason().isEmpty()
                                          ? QStringLiteral("the host refused to copy the layout")
                                          : QStringLiteral("the host refused to copy the layout: ") +
                                                XT::RefusalReason());
        *this = Layout(doc, mProject);
        return RefusedRows();
    };
    auto remove = [&]
    {
        if (Placement::ProjectOf(mDoc) == XT::kNoProject)
            return RefusedRows();
        const XTError error = XT::gProject->DeleteLayout(mDoc);
        Placement::LayoutsChanged();
        return AllOrNone(error, patches);
    };
    return TakeWholeOr(source, patches, QStringLiteral("layout"), create, remove,
                       [&] { return CopyName(*source, patches); });
}

RefusedRows Layout::CopyName(const Layout& source, const std::map<int, TextDiff::UnitPatch*>& patches)
{
    RefusedRows refused;
    for (const auto& entry : patches)
    {
        if (entry.first != 0 || source.Count() == 0)
        {
            refused[entry.first] = QStringLiteral("this row cannot be copied");
            continue;
        }
        const QString name = source.Value(0);
        XT::HostStringHolder holder(name);
        if (const XTError error = XT::gProject->SetLayoutName(mDoc, holder.Get()))
            refused[entry.first] = XT::ErrorText(error);
        else
            Update(0, name);
    }
    return refused;
}

QJsonObject Layout::Identity() const
{
    if (!IsValid())
        return QJsonObject();
    return QJsonObject{{QStringLiteral("kind"), QStringLiteral("layout")},
                       {QStringLiteral("layout"), int(XT::gProject->GetLayoutIndex(mDoc))}};
}
