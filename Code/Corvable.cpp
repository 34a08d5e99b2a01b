#include "Corvable.h"

bool Corvable::CanApply(int) const
{
    return true;
}

RefusedRows Corvable::RefuseAll(const std::map<int, TextDiff::UnitPatch*>& patches, const QString& reason)
{
    RefusedRows refused;
    for (const auto& entry : patches)
        refused[entry.first] = reason;
    return refused;
}

QJsonObject Corvable::Identity() const
{
    return QJsonObject();
}
