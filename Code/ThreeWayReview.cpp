#include "ThreeWayReview.h"

#include "ComparisonSession.h"
#include "DiffModel.h"
#include "Merge.h"

#include <algorithm>

namespace
{

QString Quoted(const QString& text)
{
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QChar(0xB6));
    shown.replace(QLatin1Char('\n'), QChar(0xB6));
    return shown.isEmpty() ? QStringLiteral("(nothing)") : shown;
}

// A decided row's tooltip: why it is shown as it is, with the base's version.
QString Note(const ThreeWay::Item& item, const ThreeWay::Row& row)
{
    const QString versions =
        QStringLiteral("\nBase: %1\nLOCAL: %2\nREMOTE: %3")
            .arg(Quoted(row.mBase), Quoted(item.mWhy.isEmpty() ? row.mLeft : item.mLeftText),
                 Quoted(item.mWhy.isEmpty() ? row.mRight : item.mRightText));
    const QString why = item.mWhy.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(item.mWhy);
    switch (row.mVerdict)
    {
    case ThreeWay::Verdict::Conflict:
        return QStringLiteral(
                   "Conflict%1: both sides changed this. Copy Left takes REMOTE's version; Save keeps "
                   "the LHS's once you confirm it.")
                   .arg(why) +
               versions;
    case ThreeWay::Verdict::Take:
        return QStringLiteral("Merged%1: only REMOTE changed this, so its version is copied (Undo keeps "
                              "LOCAL's).")
                   .arg(why) +
               versions;
    case ThreeWay::Verdict::Both:
        // Written before the window opened, unless the host refused.
        return QStringLiteral(
                   "Both sides edited this in different places; REMOTE's edits could not be written "
                   "into it.") +
               versions;
    default:
        return QStringLiteral("Merged%1: only LOCAL changed this, so its version stands.").arg(why) +
               versions;
    }
}

bool IsCopied(const DiffModel& model, int row)
{
    return row < model.Patches().size() && model.Patches().at(row).appliedLeft;
}

} // namespace

ThreeWayReview::ThreeWayReview(ComparisonSession& session, const QString& basePath)
    : mSession(session), mBasePath(basePath)
{
}

bool ThreeWayReview::Start(QStringList* refused)
{
    {
        ThreeWay::Merger merger(mSession, mBasePath);
        if (!merger.IsOpen())
        {
            mError = merger.OpenError();
            return false;
        }
        // The rows taken whole stay out: they become pending copies below.
        ThreeWay::Plan hunks = merger.Classify();
        for (ThreeWay::Item& item : hunks.mItems)
        {
            for (const ThreeWay::Row& row : item.mRows)
                if (row.mVerdict == ThreeWay::Verdict::Take || row.mVerdict == ThreeWay::Verdict::Both)
                    mMergedPaths << item.mPath;
            item.mRows.erase(std::remove_if(item.mRows.begin(), item.mRows.end(),
                                            [](const ThreeWay::Row& row)
                                            { return row.mVerdict == ThreeWay::Verdict::Take; }),
                             item.mRows.end());
        }
        int written = 0;
        *refused = ThreeWay::Merger::WriteHunks(hunks, false, &written);
        if (written > 0)
            mSession.Rebuild();
    }
    Refresh();
    if (!mError.isEmpty())
        return false;
    if (const int uncopyable = ThreeWay::Merger::Mark(mPlan, false))
        *refused << QStringLiteral("%1 %2 only REMOTE changed cannot be copied; LOCAL's version stands")
                        .arg(uncopyable)
                        .arg(uncopyable == 1 ? QStringLiteral("row") : QStringLiteral("rows"));
    return true;
}

void ThreeWayReview::Refresh()
{
    mItems.clear();
    mCounted = false;
    // A base that no longer opens leaves nothing decided: no conflict counts
    // as resolved until the user says so.
    ThreeWay::Merger merger(mSession, mBasePath);
    mPlan = merger.IsOpen() ? merger.Classify() : ThreeWay::Plan();
    if (!merger.IsOpen())
        mError = merger.OpenError();
    for (const ThreeWay::Item& item : qAsConst(mPlan.mItems))
    {
        mItems.insert(item.mNode, &item);
        QHash<int, QString> notes;
        for (const ThreeWay::Row& row : item.mRows)
            notes.insert(row.mRow, Note(item, row));
        item.mModel->SetRowNotes(notes);
    }
}

ThreeWayReview::Mark ThreeWayReview::MarkOf(const ProjectTreeNodeBase& node) const
{
    const ThreeWay::Item* item = mItems.value(&node);
    if (!item)
        return mMergedPaths.contains(Merge::PathOf(node)) ? Merged : None;
    bool conflict = false;
    for (const ThreeWay::Row& row : item->mRows)
        if (row.mVerdict == ThreeWay::Verdict::Conflict)
        {
            if (!IsCopied(*item->mModel, row.mRow))
                return Conflict;
            conflict = true;
        }
    return conflict ? Resolved : Merged;
}

QString ThreeWayReview::MarkText(Mark mark)
{
    switch (mark)
    {
    case Merged:
        return QStringLiteral("merged");
    case Conflict:
        return QStringLiteral("conflict");
    case Resolved:
        return QStringLiteral("resolved");
    default:
        return QString();
    }
}

QList<ThreeWayReview::Place> ThreeWayReview::Conflicts() const
{
    QList<Place> places;
    for (const ThreeWay::Item& item : mPlan.mItems)
        for (const ThreeWay::Row& row : item.mRows)
        {
            if (row.mVerdict != ThreeWay::Verdict::Conflict)
                continue;
            places << Place{item.mNode, item.mModel, row.mRow};
            // An item only one side has is one conflict, whichever row.
            if (!item.mWhy.isEmpty())
                break;
        }
    return places;
}

const ThreeWayReview::Counts& ThreeWayReview::Tally() const
{
    if (mCounted)
        return mCounts;
    mCounts = Counts();
    QSet<QString> merged = mMergedPaths;
    for (const ThreeWay::Item& item : mPlan.mItems)
    {
        if (MarkOf(*item.mNode) == Merged)
        {
            merged << item.mPath;
            continue;
        }
        merged.remove(item.mPath);
        ++mCounts.mConflicts;
    }
    mCounts.mMerged = merged.size();
    for (const Place& place : Conflicts())
        mCounts.mUnresolved += IsCopied(*place.mModel, place.mRow) ? 0 : 1;
    mCounted = true;
    return mCounts;
}
