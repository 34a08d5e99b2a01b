#pragma once

#include "DiffEngine.h"
#include "PatchTextStyle.h"
#include "ProjectTreeNode.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QTextLayout>
#include <QVector>

#include <map>
#include <vector>

class Corvable;
class QUndoStack;

enum ApplyDirection
{
    Left = 0, // the row's left side takes the right side's text
    Right = 1 // the row's right side takes the left side's text
};

// The id (QUndoCommand::id) of a command that copies one row one way, by
// which a model tells its copies on its undo stack.
constexpr int CopyCommandId(ApplyDirection direction)
{
    return 0x43500 + int(direction);
}

// The patch table of one pair: the rows of the diff of the two entities'
// texts, left text in column 0 and right text in column 1, with the rows the
// user applied in either direction. Save writes the applied rows into the
// documents.
class DiffModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    DiffModel(Corvable& left, Corvable& right);
    ~DiffModel() override;

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // How story text is compared: whole words (the default) or single
    // characters. Property lists always compare whole lines.
    using Granularity = TextDiff::Granularity;
    static constexpr Granularity Words = Granularity::Words;
    static constexpr Granularity Characters = Granularity::Characters;
    static constexpr const char* kGranularityKey = "prefs/StoryGranularity";
    static Granularity StoryGranularity();

    bool HasVerticalHeader() const { return mHasVerticalHeader; }
    // What the column headers say, in place of the two items' names (the
    // window names each side's project there too).
    void SetColumnTitles(const QString& left, const QString& right);
    TreeNodeType FastCheck() const;
    // The status FastCheck gives a model of the pair, without making one: two
    // property lists whose values are equal row by row have equal texts, so
    // only pairs that differ in a row, and stories, build both texts.
    static TreeNodeType FastStatus(const Corvable& left, const Corvable& right);
    void CompleteDiff();
    void Reset();

    bool IsEquality(const QModelIndex& index) const;
    // The change rows not copied either way yet.
    int OpenChangeCount() const;
    bool CanApply(const QModelIndex& index) const;
    void ApplyLeft(const QModelIndex& index, bool applied);
    void ApplyRight(const QModelIndex& index, bool applied);

    bool IsDirty() const;
    bool IsLeftDirty() const;
    bool IsRightDirty() const;

    // Whether rows are marked to be copied that way (the undo stack may
    // also hold undone ones).
    bool HasAppliedRows(ApplyDirection direction) const;

    void CollectDirtyPatches(std::map<int, TextDiff::UnitPatch*>& patches, bool right);
    // Writes the rows copied in either direction into the documents. What
    // the host refused, one line per row: the item, the row, the side it was
    // copied to and the host's reason. `refused`, when given, receives those
    // rows by number and the way they were copied.
    [[nodiscard]] QStringList Save(std::vector<std::pair<int, ApplyDirection>>* refused = nullptr);

    // The format ranges of a cell's text (see PatchTextStyle).
    void StyleText(const QModelIndex& index, QVector<QTextLayout::FormatRange>& ranges) const;

    // The character format property that marks a unit of hidden text.
    static constexpr int kHiddenProperty = PatchTextStyle::kHiddenProperty;
    // The character format property that marks changed text.
    static constexpr int kChangeProperty = PatchTextStyle::kChangeProperty;

    // How the row's text is formatted differently on the two sides, one
    // line per difference ("size 30 pt → 36 pt"); empty for a row whose
    // formatting is the same.
    QStringList FormatChanges(int row) const;

    // A cell's text with every hidden run in it written out in full, marked
    // as ⟦hidden: ...⟧, instead of as masked units.
    QString RevealedText(int row, int column) const;
    // The hidden text that a row holds on one side, run by run.
    QStringList HiddenTexts(int row, int column) const;

    // Words about rows that head their tooltips (a three-way merge: why a
    // row is shown as it is, with the base's version), by row; until the
    // rows change.
    void SetRowNotes(const QHash<int, QString>& notes) { mRowNotes = notes; }

    QUndoStack* UndoStack() const { return mUndoStack; }
    // The two items compared.
    const Corvable& LeftEntity() const { return *mLeft; }
    const Corvable& RightEntity() const { return *mRight; }
    const QList<TextDiff::UnitPatch>& Patches() const { return mPatches; }
    const QString& LeftText() const { return mLeftText; }
    const QString& RightText() const { return mRightText; }

private:
    // A side's compared text, and for a story its text with hidden runs
    // unmasked and where those runs are.
    struct Side
    {
        QString mText;
        QString mUnmasked;
        std::map<long, long> mRuns;
        XT::FormatRuns mFormats; // none when formatting is not compared
    };

    void ReadTexts();
    void Diff();
    void AddTailRows();
    bool IsEqualityRow(int row) const;
    int SpanEnd(int row, int column) const;
    int SpanStart(int row, int column) const { return row > 0 ? SpanEnd(row - 1, column) : 0; }
    const Side& SideOf(int column) const { return column == 0 ? mLeftSide : mRightSide; }
    QString CellText(int row, int column) const;
    bool HasDirection(ApplyDirection direction) const;

    QList<TextDiff::UnitPatch> mPatches;
    Corvable* mLeft;
    Corvable* mRight;
    QString mLeftText;
    QString mRightText;
    Side mLeftSide;
    Side mRightSide;
    bool mHasVerticalHeader;
    QUndoStack* mUndoStack;
    QString mColumnTitles[2];
    QHash<int, QString> mRowNotes;
};
