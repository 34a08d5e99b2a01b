#include "Merge.h"

#include "ApplyCommand.h"
#include "NodeDifferVisitor.h"
#include "Placement.h"
#include "ProjectTreeNode.h"

#include <QJsonDocument>
#include <QUndoStack>

#include <algorithm>

namespace Merge
{

namespace
{

template <typename T>
bool SidesAs(const ProjectTreeNodeBase& node, const Corvable** left, const Corvable** right)
{
    auto* pair = dynamic_cast<const ProjectTreeNode<T>*>(&node);
    if (!pair)
        return false;
    *left = &pair->mLeft;
    *right = &pair->mRight;
    return true;
}


bool IsProjectPair(const TreeNode* node)
{
    return dynamic_cast<const ProjectTreeNode<::Project>*>(node) != nullptr;
}

// The nodes from below the project pair down to the node.
std::vector<const ProjectTreeNodeBase*> Lineage(const ProjectTreeNodeBase& node)
{
    std::vector<const ProjectTreeNodeBase*> lineage;
    for (const TreeNode* at = &node; at && !IsProjectPair(at); at = at->mParent)
        if (auto* base = dynamic_cast<const ProjectTreeNodeBase*>(at); base && at->mParent)
            lineage.insert(lineage.begin(), base);
    return lineage;
}

const QString kBetween = QStringLiteral(" | ");

void CollectPairs(ProjectTreeNodeBase& node, std::vector<ProjectTreeNodeBase*>& pairs)
{
    const Corvable* left = nullptr;
    const Corvable* right = nullptr;
    if (SidesOf(node, &left, &right))
        pairs.push_back(&node);
    for (int i = 0; i < node.ChildCount(); ++i)
        CollectPairs(*node.Child(i), pairs);
}

} // namespace

QString RowLabel(const DiffModel& model, int row)
{
    return model.HasVerticalHeader() ? model.headerData(row, Qt::Vertical).toString() : QString();
}

bool SidesOf(const ProjectTreeNodeBase& node, const Corvable** left, const Corvable** right)
{
    return SidesAs<::Project>(node, left, right) || SidesAs<::Layout>(node, left, right) ||
           SidesAs<::Spread>(node, left, right) || SidesAs<::Page>(node, left, right) ||
           SidesAs<::Box>(node, left, right) || SidesAs<::Story>(node, left, right) ||
           SidesAs<::Asset>(node, left, right);
}

QList<int> CopyableRows(const DiffModel& model)
{
    QList<int> rows;
    for (int row = 0; row < model.rowCount(); ++row)
    {
        const QModelIndex index = model.index(row, 0);
        if (!model.IsEquality(index) && model.CanApply(index))
            rows << row;
    }
    return rows;
}

bool IsOneSided(const DiffModel& model)
{
    return !model.LeftEntity().IsValid() || !model.RightEntity().IsValid();
}

int OpenDifferences(const DiffModel& model)
{
    const int open = model.OpenChangeCount();
    return IsOneSided(model) ? qMin(open, 1) : open;
}

bool IsDifferenceRow(const DiffModel& model, int row)
{
    if (model.IsEquality(model.index(row, 0)))
        return false;
    if (!IsOneSided(model))
        return true;
    for (int before = 0; before < row; ++before)
        if (!model.IsEquality(model.index(before, 0)))
            return false;
    return true;
}

bool TakenWhole(const ProjectTreeNodeBase& node, const DiffModel& model)
{
    const int type = node.NodeType();
    // Whether its rows can be copied at all, marked already or not.
    return (type == OnlyInLeft || type == OnlyInRight) &&
           const_cast<ProjectTreeNodeBase&>(node).HasChildren() && model.rowCount() > 0 &&
           model.CanApply(model.index(0, 0));
}

bool Below(const ProjectTreeNodeBase& node, const QSet<const ProjectTreeNodeBase*>& whole)
{
    for (const ProjectTreeNodeBase* parent = node.Parent(); parent; parent = parent->Parent())
        if (whole.contains(parent))
            return true;
    return false;
}

void MarkRows(DiffModel& model, const QList<int>& rows, ApplyDirection direction, const QString& stepText)
{
    if (rows.isEmpty())
        return;
    QUndoStack* stack = model.UndoStack();
    stack->beginMacro(stepText);
    for (int row : rows)
        stack->push(new ApplyCommand(&model, model.index(row, 0), direction, nullptr));
    stack->endMacro();
}

std::vector<ProjectTreeNodeBase*> PairsInTreeOrder(ProjectTreeNodeBase& node)
{
    std::vector<ProjectTreeNodeBase*> pairs;
    CollectPairs(node, pairs);
    return pairs;
}

QString PathOf(const ProjectTreeNodeBase& node)
{
    QStringList labels;
    for (const ProjectTreeNodeBase* at : Lineage(node))
        labels << at->Data(0).toString();
    return labels.join(QLatin1Char('/'));
}

bool PathMatches(const ProjectTreeNodeBase& node, const QString& path)
{
    const std::vector<const ProjectTreeNodeBase*> lineage = Lineage(node);
    const QStringList wanted = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (wanted.isEmpty() || size_t(wanted.size()) > lineage.size())
        return false;
    for (int i = 0; i < wanted.size(); ++i)
    {
        const QString label = lineage[size_t(i)]->Data(0).toString();
        if (label == wanted.at(i))
            continue;
        // A pair is also named once when both sides have the same name.
        const QStringList halves = label.split(kBetween);
        if (halves.size() == 2 && halves.at(0) == halves.at(1) && halves.at(0) == wanted.at(i))
            continue;
        return false;
    }
    return true;
}

namespace
{

// The side whose item names the pair: the left where it has one; null for a
// folder.
const Corvable* NamingSide(const ProjectTreeNodeBase& node)
{
    const Corvable* left = nullptr;
    const Corvable* right = nullptr;
    if (!SidesOf(node, &left, &right))
        return nullptr;
    return left->IsValid() ? left : right;
}

} // namespace

QJsonObject IdentityOf(const ProjectTreeNodeBase& node)
{
    const Corvable* side = NamingSide(node);
    return side ? side->Identity() : QJsonObject();
}

QByteArray IdentityKeyOf(const ProjectTreeNodeBase& node)
{
    const Corvable* side = NamingSide(node);
    return side ? side->IdentityKey() : QByteArray();
}

QString KindOf(const ProjectTreeNodeBase& node)
{
    const Corvable* left = nullptr;
    const Corvable* right = nullptr;
    if (!SidesOf(node, &left, &right))
        return QString();
    if (dynamic_cast<const ::Project*>(left))
        return QStringLiteral("project");
    if (dynamic_cast<const ::Layout*>(left))
        return QStringLiteral("layouts");
    if (dynamic_cast<const ::Spread*>(left))
        return QStringLiteral("spreads");
    if (dynamic_cast<const ::Page*>(left))
        return QStringLiteral("pages");
    if (dynamic_cast<const ::Box*>(left))
        return QStringLiteral("boxes");
    if (dynamic_cast<const ::Story*>(left))
        return QStringLiteral("stories");
    if (auto* asset = dynamic_cast<const ::Asset*>(left))
        return ::Asset::KindName(asset->Kind());
    return QString();
}

QList<Decision> MarkedDecisions(const DiffModel& model, const ProjectTreeNodeBase& node)
{
    QList<Decision> decisions;
    const QJsonObject item = IdentityOf(node);
    const QString path = PathOf(node);
    for (int row = 0; row < model.rowCount(); ++row)
    {
        const TextDiff::UnitPatch& patch = model.Patches().at(row);
        for (ApplyDirection direction : {Right, Left})
        {
            if (!(direction == Right ? patch.appliedRight : patch.appliedLeft))
                continue;
            const int source = direction == Right ? 0 : 1;
            Decision decision;
            decision.mItem = item;
            decision.mPath = path;
            decision.mRow = row + 1;
            decision.mLabel = RowLabel(model, row);
            decision.mDirection = direction;
            decision.mBefore = model.RevealedText(row, 1 - source);
            decision.mAfter = model.RevealedText(row, source);
            decision.mFormatting = model.FormatChanges(row);
            decisions << decision;
        }
    }
    return decisions;
}

Written Write(const std::vector<std::pair<ProjectTreeNodeBase*, DiffModel*>>& models)
{
    Written written;
    const Placement::BoxIndex boxes;
    // Every decision is read before anything is written: a write may remove
    // or make items that later pairs name (a spread with its boxes), and a
    // decision records the item as the comparison showed it.
    std::vector<QList<Decision>> marked;
    for (const auto& entry : models)
        marked.push_back(entry.second->IsDirty() ? MarkedDecisions(*entry.second, *entry.first)
                                                 : QList<Decision>());
    for (size_t i = 0; i < models.size(); ++i)
    {
        DiffModel* model = models[i].second;
        // A model whose history is clean has nothing to write (Save skips it).
        if (!model->IsDirty())
            continue;
        const QList<Decision>& decisions = marked[i];
        written.mLeft = written.mLeft || model->HasAppliedRows(Left);
        written.mRight = written.mRight || model->HasAppliedRows(Right);
        std::vector<std::pair<int, ApplyDirection>> refused;
        written.mRefused << model->Save(&refused);
        // A row the host refused changed nothing: it is no decision to log.
        for (const Decision& decision : decisions)
            if (std::find(refused.begin(), refused.end(),
                          std::make_pair(decision.mRow - 1, decision.mDirection)) == refused.end())
                written.mDecisions << decision;
    }
    return written;
}

Models::Models(ProjectTreeNodeBase& root) : mPairs(PairsInTreeOrder(root))
{
}

Models::~Models() = default;

DiffModel* Models::Of(ProjectTreeNodeBase& node, bool* made)
{
    std::unique_ptr<DiffModel>& model = mModels[&node];
    const bool make = !model;
    if (make)
    {
        model.reset(NodeDifferVisitor(Complete).Diff(node));
        if (model)
            mNodes[model.get()] = &node;
    }
    if (made)
        *made = make && model;
    return model.get();
}

DiffModel* Models::Existing(const ProjectTreeNodeBase& node) const
{
    const auto found = mModels.find(const_cast<ProjectTreeNodeBase*>(&node));
    return found == mModels.end() ? nullptr : found->second.get();
}

ProjectTreeNodeBase* Models::NodeOf(const DiffModel* model) const
{
    const auto found = mNodes.find(model);
    return found == mNodes.end() ? nullptr : found->second;
}

ProjectTreeNodeBase* Models::Find(const QJsonObject& identity)
{
    if (!mIndexed)
    {
        for (ProjectTreeNodeBase* node : mPairs)
        {
            const QByteArray key = IdentityKeyOf(*node);
            if (!key.isEmpty())
                mByIdentity.emplace(key, node);
        }
        mIndexed = true;
    }
    const auto found = mByIdentity.find(IdentityKeyWriter::Of(identity));
    return found == mByIdentity.end() ? nullptr : found->second;
}

std::vector<std::pair<ProjectTreeNodeBase*, DiffModel*>> Models::Made() const
{
    std::vector<std::pair<ProjectTreeNodeBase*, DiffModel*>> models;
    for (ProjectTreeNodeBase* node : mPairs)
    {
        const auto found = mModels.find(node);
        if (found != mModels.end() && found->second)
            models.emplace_back(node, found->second.get());
    }
    return models;
}

Written Models::Write()
{
    return Merge::Write(Made());
}

} // namespace Merge
