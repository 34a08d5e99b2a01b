// Checking a merge by what was saved: the items it was asked to make equal,
// compared again once the written projects are read back.

#include "Merge.h"

#include "DiffModel.h"
#include "NodeDifferVisitor.h"
#include "ProjectTreeNode.h"

#include <QHash>
#include <QJsonDocument>

#include <map>
#include <memory>

namespace Merge
{

namespace
{

QString LabelOf(const DiffModel& model, int row)
{
    return model.HasVerticalHeader() ? model.headerData(row, Qt::Vertical).toString() : QString();
}

} // namespace

QList<Asked> AskedOf(const std::vector<std::pair<ProjectTreeNodeBase*, DiffModel*>>& models)
{
    QList<Asked> asked;
    for (const auto& entry : models)
    {
        const DiffModel& model = *entry.second;
        if (!model.IsDirty())
            continue;
        Asked item;
        const Corvable* left = nullptr;
        const Corvable* right = nullptr;
        if (!SidesOf(*entry.first, &left, &right))
            continue;
        item.mLeft = left->Identity();
        item.mRight = right->Identity();
        item.mPath = PathOf(*entry.first);
        bool any = false;
        item.mWhole = true;
        for (int row = 0; row < model.rowCount(); ++row)
        {
            const TextDiff::UnitPatch& patch = model.Patches().at(row);
            if (!patch.isChange)
                continue;
            const bool copied = patch.appliedLeft || patch.appliedRight;
            any = any || copied;
            item.mWhole = item.mWhole && copied;
            item.mRows += copied ? 1 : 0;
            const QString label = LabelOf(model, row);
            if (copied && !label.isEmpty())
                item.mLabels << label;
        }
        if (any)
            asked << item;
    }
    return asked;
}

QList<Asked> WrittenOf(const QList<Asked>& asked, const QList<Decision>& written)
{
    // The rows written, by item: a merge of a large project writes a
    // hundred thousand rows in tens of thousands of items.
    QHash<QString, QStringList> labels;
    for (const Decision& decision : written)
        labels[decision.mPath] << decision.mLabel;
    QList<Asked> kept;
    for (Asked item : asked)
    {
        const auto found = labels.constFind(item.mPath);
        if (found == labels.constEnd())
            continue;
        item.mWhole = item.mWhole && found->size() == item.mRows;
        QStringList labelsWritten;
        for (const QString& label : item.mLabels)
            if (found->contains(label))
                labelsWritten << label;
        item.mLabels = labelsWritten;
        kept << item;
    }
    return kept;
}

QStringList StillDiffering(ProjectTreeNodeBase& root, const QList<Asked>& asked)
{
    // Each pair of the new comparison by either side's identity: a side the
    // merge did not write keeps its numbers, so an item is found by it even
    // where the other side's numbers follow places that the merge changed.
    std::map<QByteArray, ProjectTreeNodeBase*> byLeft, byRight;
    for (ProjectTreeNodeBase* node : PairsInTreeOrder(root))
    {
        const Corvable* left = nullptr;
        const Corvable* right = nullptr;
        if (!SidesOf(*node, &left, &right))
            continue;
        if (left->IsValid())
            byLeft.emplace(left->IdentityKey(), node);
        if (right->IsValid())
            byRight.emplace(right->IdentityKey(), node);
    }
    QStringList differing;
    for (const Asked& item : asked)
    {
        ProjectTreeNodeBase* node = nullptr;
        for (const auto& [map, identity] : {std::make_pair(&byRight, &item.mRight), std::make_pair(&byLeft, &item.mLeft)})
        {
            if (node || identity->isEmpty())
                continue;
            auto found = map->find(IdentityKeyWriter::Of(*identity));
            if (found != map->end())
                node = found->second;
        }
        // On neither side now: what the merge removed is gone from both. The
        // status is found here, as the tree's fast pass finds it: a tree
        // built only for the check has not judged its pairs.
        const Corvable* left = nullptr;
        const Corvable* right = nullptr;
        if (!node || !SidesOf(*node, &left, &right) || DiffModel::FastStatus(*left, *right) == Identical)
            continue;
        if (item.mWhole)
        {
            differing << item.mPath;
            continue;
        }
        const std::unique_ptr<DiffModel> model(NodeDifferVisitor(Complete).Diff(*node));
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row)
            if (!model->IsEquality(model->index(row, 0)) && item.mLabels.contains(LabelOf(*model, row)))
                rows << LabelOf(*model, row);
        if (!rows.isEmpty())
            differing << QStringLiteral("%1 (rows %2)").arg(item.mPath, rows.join(QStringLiteral(", ")));
    }
    return differing;
}

} // namespace Merge
