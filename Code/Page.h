#pragma once

#include "Corvable.h"
#include "NameValueDict.h"
#include "XTTypes.h"

// A page: its label. Never merged.
class Page : public Corvable, public NameValueDict<QString>
{
public:
    Page(DocRef doc, long number);
    Page(const Page& other) = default;

    QString ToString() const override;
    QString Name() const override;
    bool IsValid() const override;
    QJsonObject Identity() const override;
    bool CanApply(int row) const override;
    RefusedRows ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches) override;

    using NameValueDict<QString>::Name;
    DocRef Doc() const { return mDoc; }
    long Number() const { return mNumber; }

private:
    DocRef mDoc;
    long mNumber;
};
