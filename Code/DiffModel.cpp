#include "DiffModel.h"

#include "Corvable.h"
#include "FormatChanges.h"
#include "NameValueDict.h"
#include "PatchTextStyle.h"
#include "PreserveOffset.h"
#include "Story.h"

#include <QColor>

#include "UserSettings.h"
#include <QApplication>
#include <QIcon>
#include <QStyle>

#include <algorithm>
#include <QUndoStack>

#include <memory>

namespace
{

// The colours the patch table draws changed and unchanged text in.
PatchTextStyle::Colours StyleColours()
{
    return {UserSettings::Get().DifferenceForeground(), UserSettings::Get().EqualityForeground()};
}

typedef NameValueDict<QString> Dictionary;

} // namespace

DiffModel::DiffModel(Corvable& left, Corvable& right)
    : mLeft(&left), mRight(&right), mHasVerticalHeader(dynamic_cast<Dictionary*>(&left) != nullptr),
      mUndoStack(new QUndoStack(this))
{
    ReadTexts();
}

void DiffModel::ReadTexts()
{
    mLeftText = mLeft->ToString();
    mRightText = mRight->ToString();
    for (Side* side : {&mLeftSide, &mRightSide})
    {
        Corvable* entity = side == &mLeftSide ? mLeft : mRight;
        side->mText = side == &mLeftSide ? mLeftText : mRightText;
        side->mRuns.clear();
        side->mUnmasked.clear();
        side->mFormats.clear();
        if (UserSettings::Get().CompareFormatting())
            side->mFormats = entity->Formatting();
        if (const auto* story = dynamic_cast<const Story*>(entity))
        {
            side->mRuns = story->HiddenRuns();
            if (!side->mRuns.empty())
                side->mUnmasked = story->UnmaskedText();
        }
    }
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
    if (mLeftText == mRightText && mLeftSide.mFormats == mRightSide.mFormats)
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
    if (leftText != rightText)
        return HasEdits;
    if (UserSettings::Get().CompareFormatting() && left.EncodedFormatting() != right.EncodedFormatting())
        return HasEdits;
    return Identical;
}

DiffModel::Granularity DiffModel::StoryGranularity()
{
    return UserSettings::Get().CompareWords() ? Words : Characters;
}

void DiffModel::Diff()
{
    TextDiff::DiffEngine engine;
    // A property list is compared unit by unit, a row per property, whatever
    // the setting for story text.
    const Granularity granularity = mHasVerticalHeader ? Characters : StoryGranularity();
    TextDiff::DiffEngine::Restyled restyled;
    if (!mHasVerticalHeader && (!mLeftSide.mFormats.empty() || !mRightSide.mFormats.empty()))
        restyled = [this](int start1, int start2, int length)
        { return XT::DifferingStretches(mLeftSide.mFormats, start1, mRightSide.mFormats, start2, length); };
    mPatches = engine.rows_make(mLeftText, mRightText, granularity, mHasVerticalHeader, restyled);
    AddTailRows();
    // An item only one side has differs even where it has no text (an
    // empty story): one row stands for it, and copying it takes it whole.
    if (mLeft->IsValid() != mRight->IsValid() &&
        std::none_of(mPatches.begin(), mPatches.end(), [](const TextDiff::UnitPatch& p) { return p.isChange; }))
    {
        TextDiff::UnitPatch row(true);
        row.patches << TextDiff::Patch();
        mPatches.prepend(row);
    }
}

// The rows end where the last change's row ends; the text after it is the
// same on both sides and follows as unchanged rows (one per line of a
// property list, whose rows are its properties), so that the table shows the
// whole text.
void DiffModel::AddTailRows()
{
    const int end1 = mPatches.isEmpty() ? 0 : SpanEnd(mPatches.size() - 1, 0);
    const int end2 = mPatches.isEmpty() ? 0 : SpanEnd(mPatches.size() - 1, 1);
    const QString tail = mLeftText.mid(end1);
    if (tail.isEmpty() || tail != mRightText.mid(end2))
        return;
    const auto* names = dynamic_cast<const Dictionary*>(mLeft);
    const QChar separator = names ? QChar(names->Separator()) : QChar();
    int at = 0;
    while (at < tail.size())
    {
        int end = tail.size();
        if (names)
        {
            const int next = tail.indexOf(separator, at);
            if (next >= 0)
                end = next + 1;
        }
        const QString piece = tail.mid(at, end - at);
        TextDiff::Patch patch;
        patch.start1 = end1 + at;
        patch.start2 = end2 + at;
        patch.length1 = patch.length2 = piece.size();
        patch.diffs << TextDiff::Diff(TextDiff::EQUAL, piece, false);
        TextDiff::UnitPatch row(false);
        row.patches << patch;
        row.length1 = row.length2 = piece.size();
        mPatches << row;
        at = end;
    }
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
    mRowNotes.clear();
    ReadTexts();
    mUndoStack->clear();
    Diff();
    endResetModel();
}

bool DiffModel::IsEqualityRow(int row) const
{
    const TextDiff::UnitPatch& patch = mPatches.at(row);
    return !patch.isChange || patch.appliedRight || patch.appliedLeft;
}

int DiffModel::OpenChangeCount() const
{
    int count = 0;
    for (int row = 0; row < mPatches.size(); ++row)
        count += IsEqualityRow(row) ? 0 : 1;
    return count;
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
    if (mLeft->IsValid() != mRight->IsValid() && mLeft->CanTakeWhole() && mRight->CanTakeWhole())
        return true;
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
    // A "copy all" step is a macro: its rows are its children.
    for (int i = 0; i < mUndoStack->count(); ++i)
    {
        const QUndoCommand* step = mUndoStack->command(i);
        for (int j = -1; j < step->childCount(); ++j)
        {
            const QUndoCommand* command = j < 0 ? step : step->child(j);
            if (command->id() == CopyCommandId(direction))
                return true;
        }
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

bool DiffModel::HasAppliedRows(ApplyDirection direction) const
{
    for (const TextDiff::UnitPatch& patch : mPatches)
        if (direction == Right ? patch.appliedRight : patch.appliedLeft)
            return true;
    return false;
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

QStringList DiffModel::Save(std::vector<std::pair<int, ApplyDirection>>* refusedRows)
{
    if (mUndoStack->isClean())
        return QStringList();

    // An item only one side has is made or removed whole: a refusal is one
    // line for the item, not one per row.
    const bool whole =
        mLeft->IsValid() != mRight->IsValid() && mLeft->CanTakeWhole() && mRight->CanTakeWhole();
    const QString item = mLeft->IsValid() ? mLeft->Name() : mRight->Name();
    std::map<int, TextDiff::UnitPatch*> toRight;
    std::map<int, TextDiff::UnitPatch*> toLeft;
    CollectDirtyPatches(toRight, true);
    CollectDirtyPatches(toLeft, false);

    RefusedRows refusedRight;
    RefusedRows refusedLeft;
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
        refusedRight = mRight->ApplyPatches(*mLeft, toRight);
    }
    if (!toLeft.empty())
        refusedLeft = mLeft->ApplyPatches(*mRight, toLeft);
    mUndoStack->setClean();

    QStringList messages;
    for (const auto* refused : {&refusedLeft, &refusedRight})
        for (const auto& entry : *refused)
        {
            if (refusedRows)
                refusedRows->emplace_back(entry.first, refused == &refusedLeft ? Left : Right);
            if (whole)
            {
                const QString line =
                    QStringLiteral("%1 to the %2: %3")
                        .arg(item, refused == &refusedLeft ? QStringLiteral("LHS") : QStringLiteral("RHS"),
                             entry.second);
                if (!messages.contains(line))
                    messages << line;
                continue;
            }
            const QString row = mHasVerticalHeader ? headerData(entry.first, Qt::Vertical).toString()
                                                   : QStringLiteral("row %1").arg(entry.first + 1);
            messages << QStringLiteral("%1, %2 to the %3: %4")
                            .arg(item, row.isEmpty() ? QStringLiteral("row %1").arg(entry.first + 1) : row,
                                 refused == &refusedLeft ? QStringLiteral("LHS") : QStringLiteral("RHS"),
                                 entry.second);
        }
    return messages;
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
    const int start = SpanStart(row, column);
    const int end = SpanEnd(row, column);
    return text.mid(start, qMax(0, end - start));
}

QStringList DiffModel::FormatChanges(int row) const
{
    QStringList lines;
    if (row < 0 || row >= mPatches.size())
        return lines;
    for (const TextDiff::Patch& patch : mPatches.at(row).patches)
    {
        int at1 = patch.start1;
        int at2 = patch.start2;
        for (const TextDiff::Diff& diff : patch.diffs)
        {
            if (diff.isContext)
                continue;
            const int length = diff.text.size();
            if (diff.isFormat && diff.operation == TextDiff::DELETE)
                for (const QString& line :
                     DescribeFormatChanges(mLeftSide.mFormats, at1, mRightSide.mFormats, at2, length))
                    if (!lines.contains(line))
                        lines << line;
            if (diff.operation != TextDiff::INSERT)
                at1 += length;
            if (diff.operation != TextDiff::DELETE)
                at2 += length;
        }
    }
    return lines;
}

// A run's first unit is the host's marker; its text follows.
QStringList DiffModel::HiddenTexts(int row, int column) const
{
    QStringList texts;
    if (row < 0 || row >= mPatches.size())
        return texts;
    const Side& side = SideOf(column);
    const long start = SpanStart(row, column);
    const long end = SpanEnd(row, column);
    for (const auto& run : side.mRuns)
        if (run.first < end && run.first + run.second > start)
            texts << side.mUnmasked.mid(int(run.first + 1), int(run.second - 1));
    return texts;
}

QString DiffModel::RevealedText(int row, int column) const
{
    if (row < 0 || row >= mPatches.size())
        return QString();
    const Side& side = SideOf(column);
    const long start = SpanStart(row, column);
    const long end = SpanEnd(row, column);
    if (side.mRuns.empty())
        return CellText(row, column);
    QString text;
    long at = start;
    for (const auto& run : side.mRuns)
    {
        const long runEnd = run.first + run.second;
        if (runEnd <= start || run.first >= end)
            continue;
        if (run.first > at)
            text += side.mText.mid(int(at), int(run.first - at));
        // The whole run is shown even where the row holds only part of it.
        text += QStringLiteral("\u27E6hidden: %1\u27E7")
                    .arg(side.mUnmasked.mid(int(run.first + 1), int(run.second - 1)));
        at = qMax(at, runEnd);
    }
    if (at < end)
        text += side.mText.mid(int(at), int(end - at));
    return text;
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
        return UserSettings::Get().DifferenceBackground();
    case Qt::DecorationRole:
        // The cell that took a copy points to itself: an arrow towards its
        // side, until the copy is undone.
        if ((index.column() == 0 ? patch.appliedLeft : patch.appliedRight) &&
            qobject_cast<QApplication*>(QCoreApplication::instance()))
            return QApplication::style()->standardIcon(index.column() == 0 ? QStyle::SP_ArrowLeft
                                                                           : QStyle::SP_ArrowRight);
        return QVariant();
    case Qt::ToolTipRole:
    {
        // Hidden text shows as markers in the cells: the tip says what it is
        // on both sides, so a copy never replaces hidden text unseen.
        const QStringList left = HiddenTexts(index.row(), 0);
        const QStringList right = HiddenTexts(index.row(), 1);
        QStringList tip;
        if (mRowNotes.contains(index.row()))
            tip << mRowNotes.value(index.row());
        if (patch.appliedLeft || patch.appliedRight)
            tip << (patch.appliedLeft ? QStringLiteral("Copied from RHS to LHS")
                                      : QStringLiteral("Copied from LHS to RHS")) +
                       QStringLiteral("; Save writes it, Undo takes it back");
        const QStringList formatting = FormatChanges(index.row());
        if (!formatting.isEmpty())
            tip << QStringLiteral("Formatting in this row, LHS \u2192 RHS\n") + formatting.join(QLatin1Char('\n'));
        if (left.isEmpty() && right.isEmpty())
            return tip.isEmpty() ? QVariant() : QVariant(tip.join(QLatin1Char('\n')));
        auto quoted = [](const QStringList& runs)
        {
            if (runs.isEmpty())
                return QStringLiteral("none");
            QStringList parts;
            for (const QString& run : runs)
                parts << QStringLiteral("\u00AB%1\u00BB").arg(run);
            return parts.join(QStringLiteral(", "));
        };
        tip << QStringLiteral("Hidden text in this row\nLHS: %1\nRHS: %2").arg(quoted(left), quoted(right));
        return tip.join(QLatin1Char('\n'));
    }
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
        return mColumnTitles[0].isEmpty() ? mLeft->Name() : mColumnTitles[0];
    if (section == 1)
        return mColumnTitles[1].isEmpty() ? mRight->Name() : mColumnTitles[1];
    return QVariant();
}

void DiffModel::SetColumnTitles(const QString& left, const QString& right)
{
    mColumnTitles[0] = left;
    mColumnTitles[1] = right;
    emit headerDataChanged(Qt::Horizontal, 0, 1);
}

void DiffModel::StyleText(const QModelIndex& index, QVector<QTextLayout::FormatRange>& ranges) const
{
    if (!index.isValid() || index.row() >= mPatches.size() || index.column() > 1)
        return;
    const int row = index.row();
    const int column = index.column();
    auto side = [&](int c)
    {
        const Side& text = SideOf(c);
        return PatchTextStyle::Side{text.mText, text.mUnmasked, text.mRuns, SpanStart(row, c),
                                    SpanEnd(row, c)};
    };
    PatchTextStyle style(StyleColours);
    if (const auto* names = mHasVerticalHeader ? dynamic_cast<const Dictionary*>(mLeft) : nullptr)
        style.SetPropertyRows(QChar(names->Separator()));
    style.Style(mPatches.at(row), column == 0, side(column), side(1 - column), ranges);
}
