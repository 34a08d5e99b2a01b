#include "Corvable.h"

#include "XTCalls.h"

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

RefusedRows Corvable::AllOrNone(XTError error, const std::map<int, TextDiff::UnitPatch*>& patches)
{
    return error == 0 ? RefusedRows() : RefuseAll(patches, XT::ErrorText(error));
}

RefusedRows Corvable::TakeWholeOr(const Corvable* source, const std::map<int, TextDiff::UnitPatch*>& patches,
                                  const QString& what, const std::function<RefusedRows()>& create,
                                  const std::function<RefusedRows()>& remove,
                                  const std::function<RefusedRows()>& rows) const
{
    if (!source || (!IsValid() && !source->IsValid()))
        return RefuseAll(patches, QStringLiteral("neither side has the %1").arg(what));
    if (!IsValid())
        return create();
    if (!source->IsValid())
        return remove();
    return rows();
}
