#include "MergeLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace Merge
{

namespace
{

QString DirectionName(ApplyDirection direction)
{
    return direction == Left ? QStringLiteral("left") : QStringLiteral("right");
}

} // namespace

QByteArray LogJson(const QList<Decision>& decisions, const QString& leftPath, const QString& rightPath)
{
    QJsonArray list;
    for (const Decision& decision : decisions)
    {
        QJsonObject entry{{QStringLiteral("item"), decision.mItem},
                          {QStringLiteral("path"), decision.mPath},
                          {QStringLiteral("row"), decision.mRow},
                          {QStringLiteral("label"), decision.mLabel},
                          {QStringLiteral("direction"), DirectionName(decision.mDirection)},
                          {QStringLiteral("before"), decision.mBefore},
                          {QStringLiteral("after"), decision.mAfter}};
        // Only rows whose formatting differs say how.
        if (!decision.mFormatting.isEmpty())
            entry.insert(QStringLiteral("formatting"), QJsonArray::fromStringList(decision.mFormatting));
        list.append(entry);
    }
    const QJsonObject log{{QStringLiteral("schema"), kLogSchema},
                          {QStringLiteral("left"), leftPath},
                          {QStringLiteral("right"), rightPath},
                          {QStringLiteral("decisions"), list}};
    return QJsonDocument(log).toJson(QJsonDocument::Indented);
}

bool ReadLog(const QByteArray& json, QList<Decision>* decisions, QString* error)
{
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError)
    {
        *error = QStringLiteral("not JSON (%1 at byte %2)").arg(parse.errorString()).arg(parse.offset);
        return false;
    }
    const QJsonObject log = document.object();
    if (!document.isObject() || !log.value(QStringLiteral("schema")).isDouble())
    {
        *error = QStringLiteral("no merge log: it has no \"schema\"");
        return false;
    }
    if (log.value(QStringLiteral("schema")).toInt() != kLogSchema)
    {
        *error = QStringLiteral("a merge log of schema %1; this program reads schema %2")
                     .arg(log.value(QStringLiteral("schema")).toDouble())
                     .arg(kLogSchema);
        return false;
    }
    if (!log.value(QStringLiteral("decisions")).isArray())
    {
        *error = QStringLiteral("\"decisions\" is missing or no array");
        return false;
    }
    const QJsonArray list = log.value(QStringLiteral("decisions")).toArray();
    decisions->clear();
    for (int i = 0; i < list.size(); ++i)
    {
        const QJsonObject entry = list.at(i).toObject();
        const QString direction = entry.value(QStringLiteral("direction")).toString();
        const QJsonObject item = entry.value(QStringLiteral("item")).toObject();
        const int row = entry.value(QStringLiteral("row")).toInt(0);
        if (!list.at(i).isObject() || item.value(QStringLiteral("kind")).toString().isEmpty() || row < 1 ||
            (direction != QLatin1String("left") && direction != QLatin1String("right")) ||
            !entry.value(QStringLiteral("before")).isString() ||
            !entry.value(QStringLiteral("after")).isString())
        {
            *error = QStringLiteral("decisions[%1] lacks an item with a kind, a row from 1, a direction "
                                    "(\"left\" or \"right\") or the texts before and after")
                         .arg(i);
            return false;
        }
        Decision decision;
        decision.mItem = item;
        decision.mPath = entry.value(QStringLiteral("path")).toString();
        decision.mRow = row;
        decision.mLabel = entry.value(QStringLiteral("label")).toString();
        decision.mDirection = direction == QLatin1String("left") ? Left : Right;
        decision.mBefore = entry.value(QStringLiteral("before")).toString();
        decision.mAfter = entry.value(QStringLiteral("after")).toString();
        for (const QJsonValue& line : entry.value(QStringLiteral("formatting")).toArray())
            decision.mFormatting << line.toString();
        *decisions << decision;
    }
    return true;
}

bool SaveLog(const QString& path, const QByteArray& json, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit())
    {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QList<Replayed> Replay(Models& models, const QList<Decision>& decisions)
{
    QList<Replayed> outcomes;
    for (const Decision& decision : decisions)
    {
        ProjectTreeNodeBase* node = models.Find(decision.mItem);
        DiffModel* model = node ? models.Of(*node) : nullptr;
        if (!model)
        {
            // A decision that removed the item is done when neither project
            // has it any more: its destination reads as the decision left it.
            QString after = decision.mAfter;
            after.remove(QChar(13));
            outcomes << (after.trimmed().isEmpty()
                             ? Replayed{decision, Outcome::Already, QString()}
                             : Replayed{decision, Outcome::Conflict,
                                        QStringLiteral("the item is in neither project")});
            continue;
        }
        const int source = decision.mDirection == Right ? 0 : 1;
        const int destination = 1 - source;
        // The row that still reads as it did; the same row number first, as
        // the rows of an unchanged pair come in the same order.
        int found = -1;
        for (int pass = 0; pass < 2 && found < 0; ++pass)
            for (int row = pass == 0 ? decision.mRow - 1 : 0; row < model->rowCount(); ++row)
            {
                const QModelIndex index = model->index(row, 0);
                if (!model->IsEquality(index) && model->CanApply(index) &&
                    RowLabel(*model, row) == decision.mLabel &&
                    model->RevealedText(row, destination) == decision.mBefore &&
                    model->RevealedText(row, source) == decision.mAfter &&
                    model->FormatChanges(row) == decision.mFormatting)
                {
                    found = row;
                    break;
                }
                if (pass == 0)
                    break;
            }
        if (found >= 0)
        {
            MarkRows(*model, {found}, decision.mDirection, QStringLiteral("Replay"));
            outcomes << Replayed{decision, Outcome::Applied, QString()};
            continue;
        }
        // Done already: the item's two sides agree, or the property's row
        // reads the decision's text on both sides.
        bool already = model->FastCheck() == Identical;
        for (int row = 0; !already && !decision.mLabel.isEmpty() && row < model->rowCount(); ++row)
            already = RowLabel(*model, row) == decision.mLabel &&
                      model->RevealedText(row, 0) == decision.mAfter &&
                      model->RevealedText(row, 1) == decision.mAfter;
        if (already)
            outcomes << Replayed{decision, Outcome::Already, QString()};
        else
            outcomes << Replayed{
                decision, Outcome::Conflict,
                QStringLiteral("the row no longer reads as it did when the decision was made")};
    }
    return outcomes;
}

} // namespace Merge
