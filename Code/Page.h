#pragma once

#include "Corvable.h"
#include "NameValueDict.h"
#include "XTTypes.h"

// A page: its label. Pages pair by their place on their spreads; a page only
// one side has can be copied to the other (onto the spread of the same
// index, which that side must have) or removed.
class Page : public Corvable, public NameValueDict<QString>
{
public:
    // Page `number` of a layout, at `position` (from 1) on the spread whose
    // box is `spreadBox`; kNoDoc for the empty side of a pair, where the
    // spread box (if that side has the spread) is where a copy goes.
    Page(DocRef doc, long number, XTBoxRef spreadBox = XT::kNoBox, int16_t position = 0,
         XTProjectId project = XT::kNoProject);
    Page(const Page& other) = default;

    QString ToString() const override;
    QString Name() const override;
    bool IsValid() const override;
    QJsonObject Identity() const override;
    QByteArray IdentityKey() const override;
    bool CanApply(int row) const override;
    bool CanTakeWhole() const override;
    RefusedRows ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches) override;

    using NameValueDict<QString>::Name;
    DocRef Doc() const { return mDoc; }
    long Number() const { return mNumber; }

private:
    DocRef mDoc;
    long mNumber;
    XTBoxRef mSpreadBox;
    int16_t mPosition;
    XTProjectId mProject;
};
