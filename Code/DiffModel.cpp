#include "DiffModel.h"

#include "ApplyCommand.h"
#include "Corvable.h"
#include "NameValueDict.h"
#include "PreserveOffset.h"
#include "Story.h"

#include <QBrush>
#include <QColor>
#include <QSettings>
#include <QTextCharFormat>
#include <QUndoStack>

#include <memory>

namespace
{

QColor SettingsColor(const char* key, Qt::GlobalColor fallback)
{
    QSettings settings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
    const QVariant value = settings.value(QLatin1String(key), QColor(fallback));
    const QColor color = value.value<QColor>();
    return color.isValid() ? color : QColor(fallback);
}

typedef NameValueDict<QString> Dictionary;

} // namespace

DiffModel::DiffModel(Corvable& left, Corvable& right)
    : mLeft(&left), mRight(&right), mLeftText(left.ToString()), mRightText(right.ToString()),
      mHasVerticalHeader(dynamic_cast<Dictionary*>(&left) != nullptr), mUndoStack(new QUndoStack(this))
{
}

DiffModel::~DiffModel()
{
    if (mUndoStack)
    {
        mUndoStack->blockSignals(true);
        mUndoStack->clear();
        delete mUndoStack;
    }
}

int DiffModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

int DiffModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : mPatches.size();
}

TreeNodeType DiffModel::FastCheck() const
{
    if (!mLeft->IsValid())
        return OnlyInRight;
    if (!mRight->IsValid())
        return OnlyInLeft;
    if (mLeftText.size() != mRightText.size())
        return HasEdits;
    if (mLeftText == mRightText)
        return Identical;
    return HasEdits;
}

TreeNodeType DiffModel::FastStatus(const Corvable& left, const Corvable& right)
{
    if (!left.IsValid())
        return OnlyInRight;
    if (!right.IsValid())
        return OnlyInLeft;
    const auto* leftRows = dynamic_cast<const Dictionary*>(&left);
    const auto* rightRows = dynamic_cast<const Dictionary*>(&right);
    if (leftRows && rightRows && leftRows->Count() == rightRows->Count())
    {
        size_t row = 0;
        while (row < leftRows->Count() && leftRows->Value(row) == rightRows->Value(row))
            ++row;
        if (row == leftRows->Count())
            return Identical;
    }
    // Rows that differ may still join to the same text when a value holds
    // the separator; the texts decide.
    const QString leftText = left.ToString();
    const QString rightText = right.ToString();
    return leftText == rightText ? Identical : HasEdits;
}

void DiffModel::Diff()
{
    TextDiff::DiffEngine engine;
    QList<TextDiff::Diff> diffs = engine.diff_main(mLeftText, mRightText, false);
    if (mHasVerticalHeader)
        engine.diff_cleanupSplit(diffs);
    else
        engine.diff_cleanupEfficiency(diffs);
    mPatches = engine.patch_make(mLeftText, diffs, mHasVerticalHeader);
}

// Views attached to the model must re-read every row: the rows are replaced
// whole.
void DiffModel::CompleteDiff()
{
    beginResetModel();
    Diff();
    endResetModel();
}

void DiffModel::Reset()
{
    beginResetModel();
    mPatches.clear();
    mLeftText = QString(mLeft->ToString().constData());
    mRightText = QString(mRight->ToString().constData());
    mUndoStack->clear();
    Diff();
    endResetModel();
}

bool DiffModel::IsEqualityRow(int row) const
{
    const TextDiff::UnitPatch& patch = mPatches.at(row);
    return !patch.isChange || patch.appliedRight || patch.appliedLeft;
}

bool DiffModel::IsEquality(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= mPatches.size())
        return true;
    return IsEqualityRow(index.row());
}

bool DiffModel::CanApply(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0 || index.model() != this ||
        index.row() >= mPatches.size())
        return false;
    return mLeft->CanApply(index.row()) && mRight->CanApply(index.row());
}

void DiffModel::ApplyLeft(const QModelIndex& index, bool applied)
{
    if (!index.isValid() || index.row() >= mPatches.size())
        return;
    mPatches[index.row()].appliedLeft = applied;
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), 1));
}

void DiffModel::ApplyRight(const QModelIndex& index, bool applied)
{
    if (!index.isValid() || index.row() >= mPatches.size())
        return;
    mPatches[index.row()].appliedRight = applied;
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), 1));
}

bool DiffModel::IsDirty() const
{
    return !mUndoStack->isClean();
}

bool DiffModel::HasDirection(ApplyDirection direction) const
{
    if (mUndoStack->isClean())
        return false;
    for (int i = 0; i < mUndoStack->count(); ++i)
    {
        auto* command = dynamic_cast<const ApplyCommand*>(mUndoStack->command(i));
        if (command && command->Direction() == direction)
            return true;
    }
    return false;
}

bool DiffModel::IsLeftDirty() const
{
    return HasDirection(Left);
}

bool DiffModel::IsRightDirty() const
{
    return HasDirection(Right);
}

void DiffModel::CollectDirtyPatches(std::map<int, TextDiff::UnitPatch*>& patches, bool right)
{
    for (int row = 0; row < mPatches.size(); ++row)
    {
        TextDiff::UnitPatch& patch = mPatches[row];
        if (right ? patch.appliedRight : patch.appliedLeft)
            patches[row] = &patch;
    }
}

void DiffModel::Save()
{
    if (mUndoStack->isClean())
        return;

    std::map<int, TextDiff::UnitPatch*> toRight;
    std::map<int, TextDiff::UnitPatch*> toLeft;
    CollectDirtyPatches(toRight, true);
    CollectDirtyPatches(toLeft, false);

    if (!toRight.empty())
    {
        // Rows copied to the left read their source in the right story, which
        // the rows copied to the right are about to change: keep those source
        // offsets where the right story's edits move them.
        std::unique_ptr<PreserveOffset> sources;
        auto* rightStory = dynamic_cast<Story*>(mRight);
        if (rightStory && rightStory->IsValid() && !toLeft.empty())
        {
            OffsetParams offsets;
            for (auto& entry : toLeft)
                for (TextDiff::Patch& patch : entry.second->patches)
                    offsets.Add(&patch.start2);
            sources = std::make_unique<PreserveOffset>(rightStory->Text(), offsets);
        }
        mRight->ApplyPatches(*mLeft, toRight);
    }
    if (!toLeft.empty())
        mLeft->ApplyPatches(*mRight, toLeft);
    mUndoStack->setClean();
}

int DiffModel::SpanEnd(int row, int column) const
{
    const TextDiff::UnitPatch& patch = mPatches.at(row);
    if (patch.patches.isEmpty())
        return row > 0 ? SpanEnd(row - 1, column) : 0;
    const TextDiff::Patch& first = patch.patches.constFirst();
    return column == 0 ? first.start1 + patch.length1 : first.start2 + patch.length2;
}

QString DiffModel::CellText(int row, int column) const
{
    const QString& text = column == 0 ? mLeftText : mRightText;
    const int start = row > 0 ? SpanEnd(row - 1, column) : 0;
    const int end = SpanEnd(row, column);
    return text.mid(start, qMax(0, end - start));
}

QVariant DiffModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= mPatches.size() || index.column() > 1)
        return QVariant();
    const TextDiff::UnitPatch& patch = mPatches.at(index.row());
    switch (role)
    {
    case Qt::DisplayRole:
        if (index.column() == 0)
            return CellText(index.row(), patch.appliedLeft ? 1 : 0);
        return CellText(index.row(), patch.appliedRight ? 0 : 1);
    case Qt::BackgroundRole:
        if (IsEqualityRow(index.row()))
            return QVariant();
        return SettingsColor("prefs/Colors/diffBG", Qt::lightGray);
    default:
        return QVariant();
    }
}

QVariant DiffModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
    {
        const auto* left = dynamic_cast<const Dictionary*>(mLeft);
        const auto* right = dynamic_cast<const Dictionary*>(mRight);
        const Dictionary* names = (left && (!right || left->Count() > right->Count())) ? left : right;
        if (!names || section < 0 || size_t(section) >= names->Count())
            return QVariant();
        return names->Name(size_t(section));
    }
    if (section == 0)
        return mLeft->Name();
    if (section == 1)
        return mRight->Name();
    return QVariant();
}

void DiffModel::StyleText(const QModelIndex& index, QVector<QTextLayout::FormatRange>& ranges) const
{
    if (!index.isValid() || index.row() >= mPatches.size() || IsEqualityRow(index.row()))
        return;
    const int row = index.row();
    const int column = index.column();
    const TextDiff::UnitPatch& patch = mPatches.at(row);
    if (patch.patches.isEmpty())
        return;

    QTextCharFormat change;
    change.setForeground(QBrush(SettingsColor("prefs/Colors/diffFG", Qt::darkRed), Qt::SolidPattern));
    QTextCharFormat equality;
    equality.setForeground(QBrush(SettingsColor("prefs/Colors/equalityFG", Qt::darkGreen), Qt::SolidPattern));

    const TextDiff::Patch& first = patch.patches.constFirst();
    int position = column == 0 ? first.start1 : first.start2;
    if (row > 0)
        position -= SpanEnd(row - 1, column);
    if (position > 0)
        ranges.append({0, position, equality});

    for (const TextDiff::Patch& hunk : patch.patches)
    {
        for (const TextDiff::Diff& diff : hunk.diffs)
        {
            if (diff.isContext)
                continue;
            const int length = diff.text.size();
            if (diff.operation == TextDiff::EQUAL)
            {
                ranges.append({position, length, equality});
                position += length;
            }
            else if ((diff.operation == TextDiff::DELETE) == (column == 0))
            {
                ranges.append({position, length, change});
                position += length;
            }
        }
    }
}
