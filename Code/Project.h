#pragma once

#include "Corvable.h"
#include "NameValueDict.h"
#include "XTTypes.h"

// A whole project: its layout count, under the name of its file. Never
// merged.
class Project : public Corvable, public NameValueDict<QString>
{
public:
    explicit Project(long project);
    Project(const Project& other) = default;

    QString ToString() const override;
    QString Name() const override;
    bool IsValid() const override;
    QJsonObject Identity() const override;
    bool CanApply(int row) const override;
    RefusedRows ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& patches) override;

    using NameValueDict<QString>::Name;
    XTProjectId Id() const { return mProject; }
    // The project's file as the host names it.
    QString Path() const { return mPath; }

private:
    XTProjectId mProject;
    QString mPath;
};
