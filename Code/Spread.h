#pragma once

#include "Corvable.h"
#include "NameValueDict.h"
#include "XTTypes.h"

// A spread: its bounds, columns and gutter. Rows 0 to 5 can be merged.
class Spread : public Corvable, public NameValueDict<QString>
{
public:
    // A spread of a project, or (kNoBox) the empty side of a pair in
    // `project`, where copying the other side's spread creates it.
    Spread(long spreadBox, long index, XTProjectId project = XT::kNoProject);
    Spread(const Spread& other) = default;

    QString ToString() const override;
    QString Name() const override;
    bool IsValid() const override;
    QJsonObject Identity() const override;
    QByteArray IdentityKey() const override;
    bool CanApply(int row) const override;
    bool CanTakeWhole() const override;
    RefusedRows ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches) override;

    using NameValueDict<QString>::Name;
    XTBoxRef SpreadBox() const { return mSpreadBox; }
    long Index() const { return mIndex; }
    XTProjectId ProjectId() const { return mProject; }

private:
    bool CreateFrom(const Spread& source, QString* reason);
    XTError Remove();
    // The page labels and box numbers on the spread: what makes two spreads
    // at one index the same spread.
    QString Contents() const;

    XTBoxRef mSpreadBox;
    XTProjectId mProject;
    DocRef mDoc;
    long mIndex;
    Fixed mBounds[4];
};
