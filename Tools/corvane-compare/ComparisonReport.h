#pragma once

#include "ProjectTree.h"

#include <QString>
#include <QStringList>
#include <QVector>

class DiffModel;

// What every report says, gathered in one walk of the comparison tree: the
// report writers only lay it out. Offsets are in UTF-16 units, like every
// offset of the compared texts.
struct ReportCell
{
    // The row's span of the side's compared text, end excluded.
    int mStart = 0;
    int mEnd = 0;
    // The span as the explorer shows it, with hidden text written out as
    // ⟦hidden: ...⟧.
    QString mText;
    // The changed stretches of mText, as [start, end) pairs: the units the
    // explorer colours as changes.
    QVector<QPair<int, int>> mChanges;
    // The stretches of mText kept on both sides but formatted differently.
    QVector<QPair<int, int>> mRestyled;
    // The stretches of mText that are hidden text, written out.
    QVector<QPair<int, int>> mHidden;
};

struct ReportRow
{
    // One-based, as the explorer counts rows.
    int mNumber = 0;
    // The property a row of a property list holds; empty for story text.
    QString mName;
    ReportCell mSides[2];
    // How the row's formatting differs, LHS -> RHS, one line per difference.
    QStringList mFormatting;
};

struct ReportItem
{
    int mDepth = 0;
    // The item's name in the tree ("Layout 1 | Layout 1"), and the names of
    // the items above it, from the top down, ending with its own.
    QString mName;
    QStringList mPath;
    // "project", "folder", "layout", "spread", "page", "box", "story" or
    // "asset".
    QString mKind;
    int mStatus = Identical;
    ProjectTree::Rollup mRollup;
    bool mHasRows = false;
    QVector<ReportRow> mRows;
};

struct ComparisonReport
{
    QString mFiles[2];
    // The project pair, first in mItems, is not counted among them.
    QVector<ReportItem> mItems;
    int mDifferences = 0;
    ProjectTree::Rollup mTotal;

    // Walks the tree: with `all` every item, otherwise the items that
    // differ and the folders and containers that lead to them; with `rows`
    // the change rows of every edited item.
    static ComparisonReport Make(const QString& left, const QString& right, const ProjectTree& tree,
                                 bool rows, bool all);

    // "identical", "edited", "onlyLeft", "onlyRight" or "none" (a folder).
    static QString StatusName(int status);
    static QString Mark(int status);
    static ReportCell CellOf(const DiffModel& model, int row, int column, int start);
};
