#pragma once

#include "Corvable.h"
#include "NameValueDict.h"
#include "XTTypes.h"

// A layout: its name and type. Never merged.
class Layout : public Corvable, public NameValueDict<QString>
{
public:
    explicit Layout(DocRef doc);
    Layout(const Layout& other) = default;

    QString ToString() const override;
    QString Name() const override;
    bool IsValid() const override;
    QJsonObject Identity() const override;
    bool CanApply(int row) const override;
    RefusedRows ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches) override;

    using NameValueDict<QString>::Name;
    DocRef Doc() const { return mDoc; }

private:
    DocRef mDoc;
};
