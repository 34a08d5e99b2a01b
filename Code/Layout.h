#pragma once

#include "Corvable.h"
#include "NameValueDict.h"
#include "XTTypes.h"

// A layout: its name and type. The name can be copied; a layout only one
// side has can be copied whole to the other, or removed.
class Layout : public Corvable, public NameValueDict<QString>
{
public:
    // A layout of `project`, or (kNoDoc) the empty side of a pair there.
    Layout(DocRef doc, XTProjectId project);
    Layout(const Layout& other) = default;

    QString ToString() const override;
    QString Name() const override;
    bool IsValid() const override;
    QJsonObject Identity() const override;
    bool CanApply(int row) const override;
    bool CanTakeWhole() const override;
    RefusedRows ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches) override;

    using NameValueDict<QString>::Name;
    DocRef Doc() const { return mDoc; }
    XTProjectId ProjectId() const { return mProject; }

private:
    // The name row, the one row of a layout both sides have.
    RefusedRows CopyName(const Layout& source, const std::map<int, TextDiff::UnitPatch*>& patches);
    DocRef mDoc;
    XTProjectId mProject;
};
