#include "ThreeWayMerge.h"

#include "ComparisonSession.h"
#include "DiffModel.h"
#include "Merge.h"
#include "NodeCreationVisitor.h"
#include "ProjectTree.h"
#include "ProjectTreeNode.h"
#include "Story.h"
#include "XTCalls.h"

#include <QJsonArray>
#include <QHash>
#include <QJsonDocument>
#include <QSet>

#include <algorithm>
#include <vector>

namespace ThreeWay
{

namespace
{

constexpr int32_t kCloseWithoutSaving = 1;

// A row's stretch of each side's compared text, [start, end).
struct Span
{
    int mStart[2] = {0, 0};
    int mEnd[2] = {0, 0};
    bool mChange = false;
};

// The spans of every row of a model, read before any row is marked (a
// marked row shows the other side's text).
std::vector<Span> SpansOf(const DiffModel& model)
{
    std::vector<Span> spans;
    int at[2] = {0, 0};
    for (int row = 0; row < model.rowCount(); ++row)
    {
        Span span;
        for (int side : {0, 1})
        {
            span.mStart[side] = at[side];
            at[side] += model.data(model.index(row, side)).toString().size();
            span.mEnd[side] = at[side];
        }
        span.mChange = !model.IsEquality(model.index(row, 0));
        spans.push_back(span);
    }
    return spans;
}

// The hunks of a story's change row: each run of the engine's edits, with
// its stretch of both texts. Empty for a property list, whose rows change
// whole, or where the row's edits do not read as the texts do.
std::vector<Span> HunksOf(const DiffModel& model, int row)
{
    std::vector<Span> hunks;
    if (model.HasVerticalHeader())
        return hunks;
    const QString* texts[2] = {&model.LeftText(), &model.RightText()};
    for (const TextDiff::Patch& patch : model.Patches().at(row).patches)
    {
        int at[2] = {patch.start1, patch.start2};
        bool open = false;
        for (const TextDiff::Diff& diff : patch.diffs)
        {
            const int side = diff.operation == TextDiff::INSERT ? 1 : 0;
            if (diff.operation != TextDiff::EQUAL && texts[side]->midRef(at[side], diff.text.size()) != diff.text)
                return {};
            if (diff.operation == TextDiff::EQUAL)
            {
                at[0] += diff.text.size();
                at[1] += diff.text.size();
                open = false;
                continue;
            }
            if (!open)
            {
                Span hunk;
                hunk.mStart[0] = hunk.mEnd[0] = at[0];
                hunk.mStart[1] = hunk.mEnd[1] = at[1];
                hunk.mChange = true;
                hunks.push_back(hunk);
                open = true;
            }
            at[side] += diff.text.size();
            hunks.back().mEnd[side] = at[side];
        }
    }
    return hunks;
}

// The stretches where a model's two texts differ: a story's hunks, a
// property list's changed rows.
std::vector<Span> ChangesOf(const DiffModel& model)
{
    std::vector<Span> changes;
    const std::vector<Span> rows = SpansOf(model);
    for (int row = 0; row < int(rows.size()); ++row)
    {
        if (!rows[size_t(row)].mChange)
            continue;
        std::vector<Span> hunks = HunksOf(model, row);
        if (hunks.empty())
            hunks.push_back(rows[size_t(row)]);
        changes.insert(changes.end(), hunks.begin(), hunks.end());
    }
    return changes;
}

// Whether two stretches touch: overlap, or an empty one (an insertion point)
// lies within or at an end of the other.
bool Touch(int start1, int end1, int start2, int end2)
{
    if (start1 < end1 && start2 < end2)
        return start1 < end2 && start2 < end1;
    return start1 <= end2 && start2 <= end1;
}

// What one side did to an item since the base, read from the comparison of
// the base (its LHS) with that side (its RHS).
struct Change
{
    enum Kind
    {
        Absent,    // neither the base nor the side has it
        Added,     // the side has it, the base does not
        Deleted,   // the base has it, the side does not
        Unchanged, // the same on both, with everything below it
        Edited     // both have it; its own rows, or something below, differ
    } mKind = Absent;
    std::vector<Span> mChanges; // Edited: where base and side differ, in order, once read
    ProjectTreeNodeBase* mNode = nullptr; // the pair of base and side, where there is one
    QString mBaseText;       // the base's compared text of the item
    QString mSideText;       // the side's

    // Whether the side changed anything in [start, end) of its text.
    bool Touches(int start, int end) const
    {
        if (mKind != Edited)
            return mKind != Unchanged;
        for (const Span& change : mChanges)
            if (Touch(change.mStart[1], change.mEnd[1], start, end))
                return true;
        return false;
    }

    // The base's offset for an offset of the side's text: a change's start
    // (or end) for an offset within it, else shifted by the changes before.
    int ToBase(int at, bool end) const
    {
        int shift = 0;
        for (const Span& change : mChanges)
        {
            if (end ? at <= change.mStart[1] : at < change.mStart[1])
                break;
            if (end ? at <= change.mEnd[1] : at < change.mEnd[1])
                return end ? change.mEnd[0] : change.mStart[0];
            shift = change.mEnd[0] - change.mEnd[1];
        }
        return at + shift;
    }

    // The base's text under [start, end) of the side's text.
    QString BaseUnder(int start, int end) const
    {
        if (mKind == Unchanged)
            return mSideText.mid(start, end - start);
        if (mKind != Edited)
            return mBaseText;
        const int from = ToBase(start, false);
        return mBaseText.mid(from, qMax(0, ToBase(end, true) - from));
    }
};

// One side's comparison with the base: its pairs, made as the comparison
// tree makes them, each judged only when the merge asks about it. Most items
// are never asked about: LEFT and RIGHT have them alike.
struct SideTree
{
    SideTree(XTProjectId base, XTProjectId side, const BoxMemo* memo)
        : mPairs(MakePairs(base, side, memo)), mModels(std::make_unique<Merge::Models>(*mPairs))
    {
    }

    // A pair's status, as the comparison tree's fast pass finds it.
    TreeNodeType StatusOf(const ProjectTreeNodeBase& node)
    {
        const auto known = mStatuses.constFind(&node);
        if (known != mStatuses.constEnd())
            return *known;
        const Corvable* base = nullptr;
        const Corvable* side = nullptr;
        const TreeNodeType status = Merge::SidesOf(node, &base, &side) ? DiffModel::FastStatus(*base, *side) : Folder;
        mStatuses.insert(&node, status);
        return status;
    }

    // Whether any pair below a node differs.
    bool ChangedBelow(ProjectTreeNodeBase& node)
    {
        const auto known = mChangedBelow.constFind(&node);
        if (known != mChangedBelow.constEnd())
            return *known;
        bool changed = false;
        for (int i = 0; i < node.ChildCount() && !changed; ++i)
        {
            const TreeNodeType status = StatusOf(*node.Child(i));
            changed = (status != Identical && status != Folder) || ChangedBelow(*node.Child(i));
        }
        mChangedBelow.insert(&node, changed);
        return changed;
    }

    Change ChangeOf(const QJsonObject& identity)
    {
        Change change;
        ProjectTreeNodeBase* node = mModels->Find(identity);
        if (!node)
            return change;
        change.mNode = node;
        const Corvable* base = nullptr;
        const Corvable* side = nullptr;
        Merge::SidesOf(*node, &base, &side);
        change.mBaseText = base->IsValid() ? base->ToString() : QString();
        change.mSideText = side->IsValid() ? side->ToString() : QString();
        switch (StatusOf(*node))
        {
        case OnlyInRight:
            change.mKind = Change::Added;
            break;
        case OnlyInLeft:
            change.mKind = Change::Deleted;
            break;
        case Identical:
            change.mKind = ChangedBelow(*node) ? Change::Edited : Change::Unchanged;
            break;
        default:
            change.mKind = Change::Edited;
        }
        return change;
    }

    // Where an edited item differs from the base: its comparison's changes,
    // which take the text engine to find.
    void ReadChanges(Change& change)
    {
        if (change.mKind == Change::Edited && change.mNode && StatusOf(*change.mNode) != Identical)
            if (DiffModel* model = mModels->Of(*change.mNode))
                change.mChanges = ChangesOf(*model);
    }

    // The models refer to the pairs: they go first.
    std::unique_ptr<ProjectTreeNodeBase> mPairs;
    std::unique_ptr<Merge::Models> mModels;
    QHash<const ProjectTreeNodeBase*, TreeNodeType> mStatuses;
    QHash<const ProjectTreeNodeBase*, bool> mChangedBelow;
};

// An item only one side of LEFT↔RIGHT has: added by that side, or removed
// by the other, which must not have changed it meanwhile.
Verdict StructureVerdict(TreeNodeType type, const Change& left, const Change& right, QString* why)
{
    if (type == OnlyInLeft)
    {
        if (left.mKind == Change::Added)
            return *why = QStringLiteral("added on the left"), Verdict::Keep;
        if (left.mKind == Change::Unchanged)
            return *why = QStringLiteral("removed on the right"), Verdict::Take;
        return *why = QStringLiteral("removed on the right, changed on the left"), Verdict::Conflict;
    }
    if (right.mKind == Change::Added)
        return *why = QStringLiteral("added on the right"), Verdict::Take;
    if (right.mKind == Change::Unchanged)
        return *why = QStringLiteral("removed on the left"), Verdict::Keep;
    return *why = QStringLiteral("removed on the left, changed on the right"), Verdict::Conflict;
}

// A change row of an item both sides have: taken from the side that changed
// its stretch of text.
Verdict RowVerdict(const Span& span, const Change& left, const Change& right)
{
    // Made on both sides with the same identity and different content.
    if (left.mKind == Change::Added || right.mKind == Change::Added)
        return Verdict::Conflict;
    // One side as the base had it: the difference is the other side's.
    if ((left.mKind == Change::Unchanged) != (right.mKind == Change::Unchanged))
        return left.mKind == Change::Unchanged ? Verdict::Take : Verdict::Keep;
    const bool byLeft = left.Touches(span.mStart[0], span.mEnd[0]);
    const bool byRight = right.Touches(span.mStart[1], span.mEnd[1]);
    if (byLeft != byRight)
        return byLeft ? Verdict::Keep : Verdict::Take;
    // Both, or neither where the two comparisons align the texts
    // differently: nothing tells which side is right.
    return Verdict::Conflict;
}

Verdict Combined(const QList<Hunk>& hunks);

// The edits of a story both sides have, merged as text: the changes of
// each side against the base, in base offsets, gathered into clusters of
// changes that overlap or meet. A cluster of one side's changes is that
// side's; a cluster with changes of both is a conflict unless both made it
// read the same. Each cluster carries its stretch of LEFT's and RIGHT's text.
QList<Hunk> Clusters(const Change& left, const Change& right)
{
    struct Tagged
    {
        const Span* mChange;
        int mSide;
    };
    std::vector<Tagged> changes;
    for (const Span& change : left.mChanges)
        changes.push_back({&change, 0});
    for (const Span& change : right.mChanges)
        changes.push_back({&change, 1});
    std::stable_sort(changes.begin(), changes.end(), [](const Tagged& a, const Tagged& b)
                     { return a.mChange->mStart[0] < b.mChange->mStart[0]; });
    const QString* texts[2] = {&left.mSideText, &right.mSideText};
    QList<Hunk> clusters;
    int shift[2] = {0, 0}; // each side's growth before the cluster
    for (size_t i = 0; i < changes.size();)
    {
        const int start = changes[i].mChange->mStart[0];
        int end = changes[i].mChange->mEnd[0];
        int growth[2] = {0, 0};
        bool sides[2] = {false, false};
        for (; i < changes.size() && changes[i].mChange->mStart[0] <= end; ++i)
        {
            const Span& change = *changes[i].mChange;
            end = qMax(end, change.mEnd[0]);
            sides[changes[i].mSide] = true;
            growth[changes[i].mSide] += (change.mEnd[1] - change.mStart[1]) - (change.mEnd[0] - change.mStart[0]);
        }
        Hunk cluster;
        for (int side : {0, 1})
        {
            cluster.mStart[side] = start + shift[side];
            cluster.mEnd[side] = end + shift[side] + growth[side];
            shift[side] += growth[side];
        }
        const bool same = texts[0]->midRef(cluster.mStart[0], cluster.mEnd[0] - cluster.mStart[0]) ==
                          texts[1]->midRef(cluster.mStart[1], cluster.mEnd[1] - cluster.mStart[1]);
        cluster.mVerdict = !sides[1] || same ? Verdict::Keep : !sides[0] ? Verdict::Take : Verdict::Conflict;
        clusters << cluster;
    }
    return clusters;
}

// A story row's clusters: those within its stretch of both texts. A row
// none explains, or with a cluster reaching into another row, conflicts.
QList<Hunk> ClustersOf(const Span& row, const QList<Hunk>& clusters, Verdict* verdict)
{
    QList<Hunk> mine;
    bool spills = false;
    for (const Hunk& cluster : clusters)
    {
        const bool touchesLeft = Touch(cluster.mStart[0], cluster.mEnd[0], row.mStart[0], row.mEnd[0]);
        const bool touchesRight = Touch(cluster.mStart[1], cluster.mEnd[1], row.mStart[1], row.mEnd[1]);
        if (!touchesLeft || !touchesRight)
            continue;
        mine << cluster;
        spills = spills || cluster.mStart[0] < row.mStart[0] || cluster.mEnd[0] > row.mEnd[0] ||
                 cluster.mStart[1] < row.mStart[1] || cluster.mEnd[1] > row.mEnd[1];
    }
    *verdict = mine.isEmpty() || spills ? Verdict::Conflict : Combined(mine);
    return spills ? QList<Hunk>() : mine;
}

// A row's verdict from its hunks'.
Verdict Combined(const QList<Hunk>& hunks)
{
    bool keep = false;
    bool take = false;
    for (const Hunk& hunk : hunks)
    {
        if (hunk.mVerdict == Verdict::Conflict)
            return Verdict::Conflict;
        keep = keep || hunk.mVerdict == Verdict::Keep;
        take = take || hunk.mVerdict == Verdict::Take;
    }
    return keep && take ? Verdict::Both : take ? Verdict::Take : Verdict::Keep;
}

// The hunks of a row the LHS takes: the ones RIGHT alone changed, and with
// RIGHT preferred the conflicting ones too.
bool Taken(const Hunk& hunk, bool preferRight)
{
    return hunk.mVerdict == Verdict::Take || (preferRight && hunk.mVerdict == Verdict::Conflict);
}

// Whether a row is copied whole: every hunk of it is taken.
bool TakenWhole(const Row& row, bool preferRight)
{
    if (row.mVerdict == Verdict::Take)
        return true;
    if (row.mVerdict == Verdict::Keep || row.mHunks.isEmpty())
        return row.mVerdict == Verdict::Conflict && preferRight;
    for (const Hunk& hunk : row.mHunks)
        if (!Taken(hunk, preferRight))
            return false;
    return true;
}

} // namespace

struct Merger::Base
{
    XTProjectId mProject = XT::kNoProject;
    std::unique_ptr<SideTree> mLeft;
    std::unique_ptr<SideTree> mRight;

    ~Base()
    {
        // The trees refer to the project: they go first.
        mLeft.reset();
        mRight.reset();
        if (mProject != XT::kNoProject)
            XT::gProject->CloseProject(mProject, kCloseWithoutSaving);
    }
};

int Plan::Count(Verdict verdict) const
{
    // An item only one side has counts once, whatever its rows.
    int count = 0;
    for (const Item& item : mItems)
        for (const Row& row : item.mRows)
        {
            count += row.mVerdict == verdict ? 1 : 0;
            if (!item.mWhy.isEmpty())
                break;
        }
    return count;
}

Merger::Merger(ComparisonSession& session, const QString& basePath)
    : mSession(session), mBase(std::make_unique<Base>())
{
    mBase->mProject = OpenProject(basePath);
    if (mBase->mProject == XT::kNoProject)
    {
        mOpenError = XT::gProject->GetOpenError ? XT::ToQString(XT::gProject->GetOpenError()) : QString();
        return;
    }
    // Each project's boxes are read from the host once: LEFT's and RIGHT's
    // are in the session's tree already, when the documents still hold what
    // it was built from, and the base's go from one side's tree to the other.
    BoxMemo memo;
    if (!session.IsModified(ComparisonSession::LHS) && !session.IsModified(ComparisonSession::RHS))
        MemoBoxes(session.ProjectPair(), memo);
    mBase->mLeft = std::make_unique<SideTree>(mBase->mProject, session.Project(ComparisonSession::LHS), &memo);
    MemoBoxes(*mBase->mLeft->mPairs, memo);
    mBase->mRight = std::make_unique<SideTree>(mBase->mProject, session.Project(ComparisonSession::RHS), &memo);
}

Merger::~Merger() = default;

bool Merger::IsOpen() const
{
    return mBase->mProject != XT::kNoProject;
}

// The text merge reads no formatting: a story row whose formatting differs
// between LEFT and RIGHT goes to the side that changed the row since the
// base, whole, and is a conflict when both changed it. A row only RIGHT
// changed can read as kept in part (a change of formatting alone leaves the
// two texts alike), and merging its text alone would lose RIGHT's
// formatting: it is taken whole.
void DecideFormatting(const DiffModel& model, const Span& span, const Change& left, const Change& right,
                      Row* row)
{
    if (model.FormatChanges(row->mRow).isEmpty())
        return;
    const bool byLeft = left.Touches(span.mStart[0], span.mEnd[0]);
    const bool byRight = right.Touches(span.mStart[1], span.mEnd[1]);
    if (byLeft && byRight)
        row->mVerdict = Verdict::Conflict;
    else if (byRight && (row->mVerdict == Verdict::Keep || row->mVerdict == Verdict::Both))
        row->mVerdict = Verdict::Take;
    else
        return;
    row->mHunks.clear();
}

// One change row of a pair both sides have, or one side only (`oneSide`,
// decided whole as `verdict`).
Row Decide(const DiffModel& model, int row, const Span& span, const Change& left, const Change& right,
           const QList<Hunk>* clusters, const Verdict* whole)
{
    Row decided;
    decided.mRow = row;
    if (whole)
        decided.mVerdict = *whole;
    else if (clusters)
    {
        decided.mHunks = ClustersOf(span, *clusters, &decided.mVerdict);
        DecideFormatting(model, span, left, right, &decided);
    }
    else
        decided.mVerdict = RowVerdict(span, left, right);
    decided.mLabel = ::Merge::RowLabel(model, row);
    decided.mLength[0] = span.mEnd[0] - span.mStart[0];
    decided.mLength[1] = span.mEnd[1] - span.mStart[1];
    decided.mStart[0] = span.mStart[0];
    decided.mStart[1] = span.mStart[1];
    decided.mLeft = model.RevealedText(row, 0);
    decided.mRight = model.RevealedText(row, 1);
    const bool added = left.mKind == Change::Added || right.mKind == Change::Added;
    // The base read through a side as the base had it, else through the
    // left's changes where it edited the item.
    const bool fromLeft = left.mKind == Change::Unchanged ||
                          (left.mKind == Change::Edited && right.mKind != Change::Unchanged);
    if (whole)
        decided.mBase = added ? QString() : left.mBaseText;
    else
        decided.mBase = fromLeft ? left.BaseUnder(span.mStart[0], span.mEnd[0])
                                 : right.BaseUnder(span.mStart[1], span.mEnd[1]);
    return decided;
}

Plan Merger::Classify(bool withKept)
{
    Plan plan;
    // A layout or spread only one side has goes or stays whole, with what is
    // on it: nothing below it is decided again.
    QSet<const ProjectTreeNodeBase*> whole;
    for (ProjectTreeNodeBase* node : ::Merge::PairsInTreeOrder(mSession.ProjectPair()))
    {
        const TreeNodeType type = node->NodeType();
        if (type == Identical || ::Merge::KindOf(*node) == QLatin1String("project") || ::Merge::Below(*node, whole))
            continue;
        const QJsonObject identity = ::Merge::IdentityOf(*node);
        Change left = mBase->mLeft->ChangeOf(identity);
        Change right = mBase->mRight->ChangeOf(identity);
        const bool oneSide = type == OnlyInLeft || type == OnlyInRight;
        // An item both have that only LEFT changed keeps LEFT's version, row
        // for row: without its rows, its patch table is not even made.
        if (!withKept && !oneSide && left.mKind != Change::Unchanged && right.mKind == Change::Unchanged)
            continue;
        DiffModel* model = mSession.ModelOf(*node);
        if (!model)
            continue;
        Item item{node, model, identity, ::Merge::PathOf(*node), QString(), {}, {}, {}};
        // Where one side is as the base had it, every difference is the
        // other side's: only an item both sides changed needs to know where.
        const bool oneChanged = (left.mKind == Change::Unchanged) != (right.mKind == Change::Unchanged);
        if (!oneSide && !oneChanged)
        {
            mBase->mLeft->ReadChanges(left);
            mBase->mRight->ReadChanges(right);
        }
        const Verdict verdict = oneSide ? StructureVerdict(type, left, right, &item.mWhy) : Verdict::Keep;
        if (oneSide && ::Merge::TakenWhole(*node, *model))
            whole << node;
        if (oneSide)
        {
            item.mLeftText = model->LeftText();
            item.mRightText = model->RightText();
        }
        // A story both sides have and the base had merges as text.
        const bool text = !oneSide && !oneChanged && !model->HasVerticalHeader() && left.mKind != Change::Added &&
                          left.mKind != Change::Deleted && right.mKind != Change::Added &&
                          right.mKind != Change::Deleted;
        const QList<Hunk> clusters = text ? Clusters(left, right) : QList<Hunk>();
        const std::vector<Span> spans = SpansOf(*model);
        for (int row = 0; row < int(spans.size()); ++row)
            if (spans[size_t(row)].mChange)
                item.mRows << Decide(*model, row, spans[size_t(row)], left, right, text ? &clusters : nullptr,
                                     oneSide ? &verdict : nullptr);
        if (!item.mRows.isEmpty())
            plan.mItems << item;
    }
    return plan;
}

int Merger::Mark(const Plan& plan, bool preferRight)
{
    int uncopyable = 0;
    for (const Item& item : plan.mItems)
    {
        QList<int> rows;
        for (const Row& row : item.mRows)
        {
            if (!TakenWhole(row, preferRight))
                continue;
            if (item.mModel->CanApply(item.mModel->index(row.mRow, 0)))
                rows << row.mRow;
            else
                ++uncopyable;
        }
        ::Merge::MarkRows(*item.mModel, rows, Left, QStringLiteral("Three-Way Merge"));
    }
    return uncopyable;
}

namespace
{

// A stretch of RIGHT's text to be copied over one of LEFT's, as a row copy.
TextDiff::UnitPatch Piece(int leftStart, int leftEnd, int rightStart, int rightEnd)
{
    TextDiff::UnitPatch piece(true, false, true);
    TextDiff::Patch patch;
    patch.start1 = leftStart;
    patch.start2 = rightStart;
    patch.length1 = piece.length1 = leftEnd - leftStart;
    patch.length2 = piece.length2 = rightEnd - rightStart;
    piece.patches << patch;
    return piece;
}

// Copies the pieces into LEFT's story in one go; the story's copy keeps the
// later ones' offsets right as it goes.
QStringList CopyPieces(ProjectTreeNode<::Story>& pair, const QString& path,
                       std::vector<TextDiff::UnitPatch>& pieces, int* written)
{
    QStringList refused;
    if (pieces.empty())
        return refused;
    std::map<int, TextDiff::UnitPatch*> rows;
    for (size_t i = 0; i < pieces.size(); ++i)
        rows[int(i)] = &pieces[i];
    const RefusedRows refusals = pair.mLeft.ApplyPatches(pair.mRight, rows);
    for (const auto& [piece, reason] : refusals)
        refused << QStringLiteral("%1, hunk %2 to the LHS: %3").arg(path).arg(piece + 1).arg(reason);
    *written += int(pieces.size() - refusals.size());
    return refused;
}

} // namespace

QStringList Merger::WriteHunks(const Plan& plan, bool preferRight, int* written)
{
    QStringList refused;
    for (const Item& item : plan.mItems)
    {
        auto* pair = dynamic_cast<ProjectTreeNode<::Story>*>(item.mNode);
        if (!pair)
            continue;
        // The hunks' offsets in LEFT's text as the rows copied whole left
        // it; the story's copy keeps the later ones right as it goes.
        std::vector<TextDiff::UnitPatch> pieces;
        int shift = 0;
        for (const Row& row : item.mRows)
        {
            if (TakenWhole(row, preferRight))
            {
                shift += row.mLength[1] - row.mLength[0];
                continue;
            }
            for (const Hunk& hunk : row.mHunks)
                if (Taken(hunk, preferRight))
                    pieces.push_back(
                        Piece(hunk.mStart[0] + shift, hunk.mEnd[0] + shift, hunk.mStart[1], hunk.mEnd[1]));
        }
        refused << CopyPieces(*pair, item.mPath, pieces, written);
    }
    return refused;
}

QByteArray LogJson(const QByteArray& twoWayLog, const QString& basePath, const Plan& plan, bool preferRight)
{
    QJsonObject log = QJsonDocument::fromJson(twoWayLog).object();
    QHash<QString, const Row*> rows;
    for (const Item& item : plan.mItems)
        for (const Row& row : item.mRows)
            rows.insert(item.mPath + QLatin1Char('\n') + QString::number(row.mRow + 1), &row);
    QJsonArray decisions;
    for (const QJsonValue& value : log.value(QStringLiteral("decisions")).toArray())
    {
        QJsonObject decision = value.toObject();
        const Row* row = rows.value(decision.value(QStringLiteral("path")).toString() + QLatin1Char('\n') +
                                    QString::number(decision.value(QStringLiteral("row")).toInt()));
        if (row)
        {
            decision.insert(QStringLiteral("base"), row->mBase);
            decision.insert(QStringLiteral("conflict"), row->mVerdict == Verdict::Conflict);
        }
        decisions.append(decision);
    }
    // A conflict per row; an item only one side has is one conflict, with
    // the whole item's texts.
    QJsonArray conflicts;
    for (const Item& item : plan.mItems)
        for (const Row& row : item.mRows)
        {
            const bool whole = !item.mWhy.isEmpty();
            if (row.mVerdict != Verdict::Conflict || (whole && &row != &item.mRows.constFirst()))
                continue;
            conflicts.append(QJsonObject{{QStringLiteral("item"), item.mIdentity},
                                         {QStringLiteral("path"), item.mPath},
                                         {QStringLiteral("row"), whole ? 0 : row.mRow + 1},
                                         {QStringLiteral("label"), row.mLabel},
                                         {QStringLiteral("why"), item.mWhy},
                                         {QStringLiteral("base"), row.mBase},
                                         {QStringLiteral("left"), whole ? item.mLeftText : row.mLeft},
                                         {QStringLiteral("right"), whole ? item.mRightText : row.mRight},
                                         {QStringLiteral("stands"), preferRight ? QStringLiteral("right")
                                                                                : QStringLiteral("left")}});
        }
    // The rows written hunk by hunk, which no row decision records, with
    // RIGHT's hunks taken, within the row: [left start, end, right start,
    // end].
    QJsonArray merged;
    for (const Item& item : plan.mItems)
        for (const Row& row : item.mRows)
        {
            QJsonArray hunks;
            if (!TakenWhole(row, preferRight))
                for (const Hunk& hunk : row.mHunks)
                    if (Taken(hunk, preferRight))
                        hunks.append(QJsonArray{hunk.mStart[0] - row.mStart[0], hunk.mEnd[0] - row.mStart[0],
                                                hunk.mStart[1] - row.mStart[1],
                                                hunk.mEnd[1] - row.mStart[1]});
            if (!hunks.isEmpty())
                merged.append(QJsonObject{{QStringLiteral("item"), item.mIdentity},
                                          {QStringLiteral("path"), item.mPath},
                                          {QStringLiteral("row"), row.mRow + 1},
                                          {QStringLiteral("base"), row.mBase},
                                          {QStringLiteral("left"), row.mLeft},
                                          {QStringLiteral("right"), row.mRight},
                                          {QStringLiteral("hunks"), hunks}});
        }
    log.insert(QStringLiteral("merged"), merged);
    log.insert(QStringLiteral("base"), basePath);
    log.insert(QStringLiteral("decisions"), decisions);
    log.insert(QStringLiteral("conflicts"), conflicts);
    return QJsonDocument(log).toJson(QJsonDocument::Indented);
}

QStringList ReplayMerged(ComparisonSession& session, const QJsonArray& merged, int* written)
{
    // An item's rows are found before any is written: its pieces go in one
    // copy.
    QStringList refused;
    std::map<ProjectTreeNode<::Story>*, std::pair<QString, std::vector<TextDiff::UnitPatch>>> pieces;
    for (const QJsonValue& value : merged)
    {
        const QJsonObject entry = value.toObject();
        const QString where = QStringLiteral("%1, row %2")
                                  .arg(entry.value(QStringLiteral("path")).toString())
                                  .arg(entry.value(QStringLiteral("row")).toInt());
        ProjectTreeNodeBase* node = session.Made().Find(entry.value(QStringLiteral("item")).toObject());
        auto* pair = dynamic_cast<ProjectTreeNode<::Story>*>(node);
        DiffModel* model = pair ? session.ModelOf(*node) : nullptr;
        if (!model)
        {
            refused << where + QStringLiteral(": the story is not in both projects");
            continue;
        }
        const std::vector<Span> spans = SpansOf(*model);
        int found = -1;
        for (int row = 0; row < int(spans.size()) && found < 0; ++row)
            if (spans[size_t(row)].mChange &&
                model->RevealedText(row, 0) == entry.value(QStringLiteral("left")).toString() &&
                model->RevealedText(row, 1) == entry.value(QStringLiteral("right")).toString())
                found = row;
        if (found < 0)
        {
            refused << where + QStringLiteral(": no row reads as it did");
            continue;
        }
        const Span& row = spans[size_t(found)];
        auto& [path, list] = pieces[pair];
        path = entry.value(QStringLiteral("path")).toString();
        for (const QJsonValue& hunk : entry.value(QStringLiteral("hunks")).toArray())
        {
            const QJsonArray at = hunk.toArray();
            list.push_back(Piece(row.mStart[0] + at.at(0).toInt(), row.mStart[0] + at.at(1).toInt(),
                                 row.mStart[1] + at.at(2).toInt(), row.mStart[1] + at.at(3).toInt()));
        }
    }
    for (auto& [pair, item] : pieces)
        refused << CopyPieces(*pair, item.first, item.second, written);
    return refused;
}

} // namespace ThreeWay
