#include "Project.h"

#include "PluginString.h"
#include "XTCalls.h"

// The file's path names the project but is no property of it: two projects
// always lie in two files, so it is not compared.
Project::Project(long project)
    : NameValueDict<QString>(13), mProject(XTProjectId(project)),
      mPath(XT::ToQString(XT::gProject->GetProjectPath(mProject)))
{
    Add(PluginString(102), QString::number(XT::gProject->GetLayoutCount(mProject)));
}

QString Project::ToString() const
{
    return Values();
}

QString Project::Name() const
{
    return mPath.mid(mPath.lastIndexOf(QLatin1Char('/')) + 1);
}

bool Project::IsValid() const
{
    return mProject != XT::kNoProject;
}

bool Project::CanApply(int) const
{
    return false;
}

RefusedRows Project::ApplyPatches(Corvable&, std::map<int, TextDiff::UnitPatch*>& patches)
{
    return RefuseAll(patches, QStringLiteral("this kind of item cannot be copied"));
}

QJsonObject Project::Identity() const
{
    if (!IsValid())
        return QJsonObject();
    return QJsonObject{{QStringLiteral("kind"), QStringLiteral("project")}};
}
