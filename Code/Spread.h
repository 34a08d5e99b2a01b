#pragma once

#include "Corvable.h"
#include "NameValueDict.h"
#include "XTTypes.h"

// A spread: its bounds, columns and gutter. Rows 0 to 5 can be merged.
class Spread : public Corvable, public NameValueDict<QString>
{
public:
    Spread(long spreadBox, long index);
    Spread(const Spread& other) = default;

    QString ToString() const override;
    QString Name() const override;
    bool IsValid() const override;
    QJsonObject Identity() const override;
    bool CanApply(int row) const override;
    RefusedRows ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches) override;

    using NameValueDict<QString>::Name;
    XTBoxRef SpreadBox() const { return mSpreadBox; }
    long Index() const { return mIndex; }

private:
    XTBoxRef mSpreadBox;
    DocRef mDoc;
    long mIndex;
    Fixed mBounds[4];
};
