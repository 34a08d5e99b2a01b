#pragma once

#include "DiffEngine.h"
#include "ProjectTreeNode.h"

#include <QAbstractTableModel>
#include <QTextLayout>
#include <QVector>

#include <map>

class Corvable;
class QUndoStack;

enum ApplyDirection
{
    Left = 0, // the row's left side takes the right side's text
    Right = 1 // the row's right side takes the left side's text
};

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

    bool HasVerticalHeader() const { return mHasVerticalHeader; }
    TreeNodeType FastCheck() const;
    // The status FastCheck gives a model of the pair, without making one: two
    // property lists whose values are equal row by row have equal texts, so
    // only pairs that differ in a row, and stories, build both texts.
    static TreeNodeType FastStatus(const Corvable& left, const Corvable& right);
    void CompleteDiff();
    void Reset();

    bool IsEquality(const QModelIndex& index) const;
    bool CanApply(const QModelIndex& index) const;
    void ApplyLeft(const QModelIndex& index, bool applied);
    void ApplyRight(const QModelIndex& index, bool applied);

    bool IsDirty() const;
    bool IsLeftDirty() const;
    bool IsRightDirty() const;

    void CollectDirtyPatches(std::map<int, TextDiff::UnitPatch*>& patches, bool right);
    void Save();

    void StyleText(const QModelIndex& index, QVector<QTextLayout::FormatRange>& ranges) const;

    QUndoStack* UndoStack() const { return mUndoStack; }
    const QList<TextDiff::UnitPatch>& Patches() const { return mPatches; }
    const QString& LeftText() const { return mLeftText; }
    const QString& RightText() const { return mRightText; }

private:
    void Diff();
    bool IsEqualityRow(int row) const;
    int SpanEnd(int row, int column) const;
    QString CellText(int row, int column) const;
    bool HasDirection(ApplyDirection direction) const;

    QList<TextDiff::UnitPatch> mPatches;
    Corvable* mLeft;
    Corvable* mRight;
    QString mLeftText;
    QString mRightText;
    bool mHasVerticalHeader;
    QUndoStack* mUndoStack;
};
