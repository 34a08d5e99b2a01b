#include "Page.h"

#include "Placement.h"
#include "PluginString.h"
#include "XTCalls.h"

Page::Page(DocRef doc, long number, XTBoxRef spreadBox, int16_t position, XTProjectId project)
    : NameValueDict<QString>(13), mDoc(doc), mNumber(number), mSpreadBox(spreadBox), mPosition(position),
      mProject(project)
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
    return IsValid() && mSpreadBox != XT::kNoBox;
}

bool Page::CanTakeWhole() const
{
    return mPosition > 0 && (mSpreadBox != XT::kNoBox || mProject != XT::kNoProject);
}

// Pages only one side has are always the last of their spread (pages pair by
// place), so a copy or removal whose place has moved with an earlier one of
// the same spread takes the nearest place that still exists: whatever the
// order, copying or removing all of them gives the other side's pages.
RefusedRows Page::ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches)
{
    auto* source = dynamic_cast<Page*>(&other);
    if (!source || (!IsValid() && !source->IsValid()))
        return RefuseAll(patches, QStringLiteral("neither side has the page"));
    if (mSpreadBox == XT::kNoBox)
    {
        // This side had no spread for the page: it is here once the spread
        // was copied with its pages, before its pages' turn came.
        const int32_t layoutNumber = XT::gProject->GetLayoutIndex(source->mDoc);
        const DocRef layout = Placement::LayoutNumbered(mProject, layoutNumber);
        const int16_t spread = int16_t(XT::gSpread->GetSpreadNumber(source->mSpreadBox) -
                                       XT::gSpread->GetMasterSpreadCount(source->mDoc));
        if (layout != XT::kNoDoc && spread >= 1 && spread <= XT::gSpread->GetSpreadCount(layout, 0))
        {
            const QVector<int16_t> pages = Placement::PagesOf(layout, spread);
            const int16_t masters = XT::gSpread->GetMasterPageCount(layout);
            if (mPosition <= pages.size() &&
                XT::ToQString(XT::gSpread->GetPageLabel(layout, int16_t(masters + pages[mPosition - 1]))) ==
                    source->Value(0))
                return RefusedRows();
        }
        return RefuseAll(patches,
                         QStringLiteral("this side has no spread %1 in layout %2: copy the spread first")
                             .arg(spread)
                             .arg(layoutNumber));
    }
    // Gone already, with its spread.
    if (XT::gBox->GetBoxDocument(mSpreadBox) == XT::kNoDoc)
        return RefusedRows();
    const DocRef layout = XT::gBox->GetBoxDocument(mSpreadBox);
    const int16_t spread =
        int16_t(XT::gSpread->GetSpreadNumber(mSpreadBox) - XT::gSpread->GetMasterSpreadCount(layout));
    const int16_t count = int16_t(Placement::PagesOf(layout, spread).size());
    XTError error = XT::kNoErr;
    const QString label = source->IsValid() ? source->Value(0) : QString();
    XT::HostStringHolder holder(label);
    if (!IsValid())
        error =
            XT::gSpread->InsertPage(mSpreadBox, qMin<int16_t>(mPosition, int16_t(count + 1)), holder.Get());
    else if (!source->IsValid())
        error = XT::gSpread->DeletePage(mSpreadBox, qMin<int16_t>(mPosition, count));
    else
        error = XT::gSpread->SetPageLabel(mSpreadBox, mPosition, holder.Get());
    if (!IsValid() || !source->IsValid())
        Placement::LayoutsChanged();
    if (error != 0)
        return RefuseAll(patches, XT::ErrorText(error));
    if (IsValid() && source->IsValid())
        Update(0, label);
    return RefusedRows();
}

QJsonObject Page::Identity() const
{
    if (!IsValid())
        return QJsonObject();
    return QJsonObject{{QStringLiteral("kind"), QStringLiteral("page")},
                       {QStringLiteral("layout"), int(XT::gProject->GetLayoutIndex(mDoc))},
                       {QStringLiteral("page"), int(mNumber)}};
}

QByteArray Page::IdentityKey() const
{
    if (!IsValid())
        return QByteArray();
    return IdentityKeyWriter()
        .Text(QStringLiteral("kind"), QStringLiteral("page"))
        .Number(QStringLiteral("layout"), XT::gProject->GetLayoutIndex(mDoc))
        .Number(QStringLiteral("page"), int(mNumber))
        .Key();
}
