#include "Corvable.h"

#include "XTCalls.h"

#include <QJsonDocument>

#include <cmath>

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

QByteArray Corvable::IdentityKey() const
{
    return IdentityKeyWriter::Of(Identity());
}

QByteArray IdentityKeyWriter::Of(const QJsonObject& identity)
{
    // Identities are flat: names, words and numbers; anything else is
    // written as JSON.
    IdentityKeyWriter key;
    for (auto member = identity.constBegin(); member != identity.constEnd(); ++member)
    {
        const QJsonValue value = member.value();
        if (value.isString())
            key.Text(member.key(), value.toString());
        else if (value.isDouble())
            key.Number(member.key(), value.toDouble());
        else
            key.Json(member.key(), QJsonDocument(QJsonObject{{QStringLiteral("v"), value}}).toJson(QJsonDocument::Compact));
    }
    return key.Key();
}

IdentityKeyWriter& IdentityKeyWriter::Text(const QString& name, const QString& value)
{
    Member(name, 's', value.toUtf8());
    return *this;
}

IdentityKeyWriter& IdentityKeyWriter::Number(const QString& name, double value)
{
    // A whole number, the usual one, reads as 'g' with 17 digits writes it,
    // only sooner.
    const bool whole = std::abs(value) < 1e15 && value == double(qint64(value));
    Member(name, 'n', whole ? QByteArray::number(qint64(value)) : QByteArray::number(value, 'g', 17));
    return *this;
}

IdentityKeyWriter& IdentityKeyWriter::Json(const QString& name, const QByteArray& json)
{
    Member(name, 'j', json);
    return *this;
}

void IdentityKeyWriter::Member(const QString& name, char type, const QByteArray& text)
{
    mKey += name.toUtf8();
    mKey += ' ';
    mKey += type;
    mKey += QByteArray::number(text.size());
    mKey += ' ';
    mKey += text;
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
