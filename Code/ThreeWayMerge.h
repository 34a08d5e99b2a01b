#pragma once

// A three-way merge: the changes from BASE to RIGHT merged into LEFT. It adds
// no second way of copying; it decides which rows of the ordinary comparison
// of LEFT and RIGHT the LHS takes, and the comparison's own machinery writes
// them. The data flow:
//
//   ComparisonSession(LEFT, RIGHT)      the merge itself: its change rows are
//                                       the only things ever copied
//   ProjectTree(BASE, LEFT)             what LEFT changed, as change rows
//   ProjectTree(BASE, RIGHT)            what RIGHT changed
//        |
//   Classify()   each change row of LEFT↔RIGHT, mapped onto the two base
//                comparisons (by the item's identity, and within an item by
//                the row's span of each side's text): changed by RIGHT only
//                -> Take, by LEFT only -> Keep, by both -> Conflict
//        |
//   Mark()       the Take rows (and with RIGHT preferred, the Conflict rows)
//                marked to be copied to the LHS, as a Copy All marks them
//        |
//   ComparisonSession::WriteMarked()
//   WriteHunks() a story row both sides edited in different places: RIGHT's
//                hunks copied into it through the story's own row copy
//   ComparisonSession::Save(LHS), CheckSaved()
//
// A story's row is a paragraph of the text engine's comparison; within it
// each hunk (a run of the engine's edits) is mapped onto the base, so edits
// of one paragraph by both sides merge where they do not touch the same
// stretch of the base, and only the stretch they both touch conflicts. A
// property list has a row per property, so a box moved on one side and
// recoloured on the other takes both. An item only one side
// has is added or removed whole, as its rows copy it.

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <memory>

class ComparisonSession;
class DiffModel;
class ProjectTreeNodeBase;

namespace ThreeWay
{

enum class Verdict
{
    Keep,    // LEFT's version stands: only LEFT changed it
    Take,    // RIGHT's version is taken: only RIGHT changed it
    Conflict, // both changed it, differently
    Both      // a story's row in which both changed the text, in different
              // places: merged hunk by hunk
};

// A stretch of a row where the two texts differ: one edit, or two that meet.
struct Hunk
{
    int mStart[2] = {0, 0}; // in LEFT's and RIGHT's compared texts
    int mEnd[2] = {0, 0};
    Verdict mVerdict = Verdict::Keep;
};

// One change row of the LEFT↔RIGHT comparison, decided.
struct Row
{
    int mRow = 0; // the patch table row, from 0
    Verdict mVerdict = Verdict::Keep;
    QString mLabel; // the property; empty for a story's rows
    QString mBase;  // the three versions of the row's text
    QString mLeft;
    QString mRight;
    // A story's row: its hunks, each decided; a row whose hunks were not all
    // decided alike is written hunk by hunk.
    QList<Hunk> mHunks;
    int mLength[2] = {0, 0}; // the row's length in LEFT's and RIGHT's texts
    int mStart[2] = {0, 0};  // where it starts in them
};

// The change rows of one differing pair of LEFT↔RIGHT.
struct Item
{
    ProjectTreeNodeBase* mNode = nullptr;
    DiffModel* mModel = nullptr;
    QJsonObject mIdentity;
    QString mPath;
    QString mWhy; // for an item decided whole: what each side did
    QList<Row> mRows;
    QString mLeftText; // an item decided whole: its text on each side
    QString mRightText;
};

struct Plan
{
    QList<Item> mItems;
    // The rows of a verdict; an item only one side has counts once.
    int Count(Verdict verdict) const;
};

class Merger
{
public:
    // `session` compares LEFT (its LHS, which takes the merge) with RIGHT;
    // the base is opened beside them. IsOpen() is false when it cannot be.
    Merger(ComparisonSession& session, const QString& basePath);
    ~Merger();
    Merger(const Merger&) = delete;
    Merger& operator=(const Merger&) = delete;

    bool IsOpen() const;
    QString OpenError() const { return mOpenError; }

    // Decides every change row of the session's comparison; marks nothing.
    // Without `withKept`, an item both sides have that only LEFT changed is
    // left out: all of it stays as it is, and it costs no patch table.
    Plan Classify(bool withKept = true);
    // Marks the rows the LHS takes: Take rows, and Conflict rows too when
    // RIGHT is preferred. The number of rows that cannot be copied.
    static int Mark(const Plan& plan, bool preferRight);
    // After the marked rows are written: RIGHT's hunks of the rows decided
    // hunk by hunk (Both, and Conflict ones where RIGHT's hunks that do not
    // collide are taken), copied into LEFT's story. What the host refused,
    // one line per row; `written` counts the rows that changed.
    static QStringList WriteHunks(const Plan& plan, bool preferRight, int* written);

private:
    struct Base;
    ComparisonSession& mSession;
    std::unique_ptr<Base> mBase;
    QString mOpenError;
};

// The merge log of a three-way merge: the decisions written, each with the
// base's text of its row, the base's path, every conflict with its three
// versions and the side that stands, and the rows written hunk by hunk
// ("merged"), each with RIGHT's hunks that were taken. A replay reads its
// decisions as any merge log's, and its merged rows with ReplayMerged.
QByteArray LogJson(const QByteArray& twoWayLog, const QString& basePath, const Plan& plan, bool preferRight);

// The rows a three-way merge log wrote hunk by hunk (its "merged"), written
// again into the LHS of the session's comparison as it is now: each row
// found by its two texts, RIGHT's logged hunks copied into LEFT's story as
// WriteHunks copies them. What could not be, one line per row; `written`
// counts the rows written.
QStringList ReplayMerged(ComparisonSession& session, const QJsonArray& merged, int* written);

} // namespace ThreeWay
