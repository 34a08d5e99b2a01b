#include "DiffModel.h"

#include "ApplyCommand.h"
#include "Corvable.h"
#include "NameValueDict.h"
#include "PreserveOffset.h"
#include "Story.h"

#include <QBrush>
#include <QColor>
#include <QSettings>

#include <algorithm>
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

DiffModel::Granularity DiffModel::StoryGranularity()
{
    QSettings settings(QStringLiteral("Orvandel"), QStringLiteral("CorvaneXT"));
    return settings.value(QLatin1String(kGranularityKey)).toString() == QLatin1String("characters")
               ? Characters
               : Words;
}

void DiffModel::Diff()
{
    TextDiff::DiffEngine engine;
    // A property list is compared unit by unit, a row per property, whatever
    // the setting for story text.
    const Granularity granularity = mHasVerticalHeader ? Characters : StoryGranularity();
    mPatches = engine.rows_make(mLeftText, mRightText, granularity, mHasVerticalHeader);
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
            auto* command = dynamic_cast<const ApplyCommand*>(j < 0 ? step : step->child(j));
            if (command && command->Direction() == direction)
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

std::vector<std::pair<long, long>> DiffModel::RunsIn(int column, long start, long end) const
{
    std::vector<std::pair<long, long>> runs;
    for (const auto& run : SideOf(column).mRuns)
    {
        const long from = qMax(run.first, start);
        const long to = qMin(run.first + run.second, end);
        if (from < to)
            runs.emplace_back(from, to);
    }
    return runs;
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
        return SettingsColor("prefs/Colors/diffBG", Qt::lightGray);
    case Qt::ToolTipRole:
    {
        // Hidden text shows as markers in the cells: the tip says what it is
        // on both sides, so a copy never replaces hidden text unseen.
        const QStringList left = HiddenTexts(index.row(), 0);
        const QStringList right = HiddenTexts(index.row(), 1);
        if (left.isEmpty() && right.isEmpty())
            return QVariant();
        auto quoted = [](const QStringList& runs)
        {
            if (runs.isEmpty())
                return QStringLiteral("none");
            QStringList parts;
            for (const QString& run : runs)
                parts << QStringLiteral("\u00AB%1\u00BB").arg(run);
            return parts.join(QStringLiteral(", "));
        };
        return QStringLiteral("Hidden text in this row\nLHS: %1\nRHS: %2").arg(quoted(left), quoted(right));
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
    const TextDiff::UnitPatch& patch = mPatches.at(row);
    // An applied row shows the other side's text, which the styles of this
    // side do not describe.
    if (patch.appliedLeft || patch.appliedRight)
        return;
    if (!patch.isChange || patch.patches.isEmpty())
    {
        StyleHidden(row, column, ranges);
        return;
    }

    QTextCharFormat change;
    change.setForeground(QBrush(SettingsColor("prefs/Colors/diffFG", Qt::darkRed), Qt::SolidPattern));
    change.setProperty(kChangeProperty, true);
    QTextCharFormat equality;
    equality.setForeground(QBrush(SettingsColor("prefs/Colors/equalityFG", Qt::darkGreen), Qt::SolidPattern));

    // A property's value is one token: 388 pt against 428 pt is a changed
    // value, not "38" and "42" before an unchanged "8 pt".
    if (mHasVerticalHeader)
    {
        const QString cell = CellText(row, column);
        const auto* names = dynamic_cast<const Dictionary*>(mLeft);
        const int length = cell.size() - (names && cell.endsWith(QChar(names->Separator())) ? 1 : 0);
        if (length > 0)
            ranges.append({0, length, change});
        StyleHidden(row, column, ranges);
        return;
    }

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
    StyleHidden(row, column, ranges);
}

// Masked units are the same on both sides however their hidden text differs:
// where aligned masked units hold other text, the unit is a change too. Every
// hidden unit is marked, changed or not, so the delegate can draw it.
void DiffModel::StyleHidden(int row, int column, QVector<QTextLayout::FormatRange>& ranges) const
{
    const long start = SpanStart(row, column);
    const long end = SpanEnd(row, column);
    const std::vector<std::pair<long, long>> runs = RunsIn(column, start, end);
    if (runs.empty() && RunsIn(1 - column, SpanStart(row, 1 - column), SpanEnd(row, 1 - column)).empty())
        return;
    const int length = int(end - start);
    if (length <= 0)
        return;

    // Per unit of the cell: 0 unstyled, 1 equality, 2 change; and hidden.
    std::vector<int> kind(size_t(length), 0);
    std::vector<bool> hidden(size_t(length), false);
    for (const QTextLayout::FormatRange& range : qAsConst(ranges))
    {
        const int k =
            range.format.foreground().color() == SettingsColor("prefs/Colors/diffFG", Qt::darkRed) ? 2 : 1;
        for (int i = qMax(0, range.start); i < qMin(length, range.start + range.length); ++i)
            kind[size_t(i)] = k;
    }
    for (const auto& run : runs)
        for (long i = run.first; i < run.second; ++i)
            hidden[size_t(i - start)] = true;

    // Equal stretches of the row, aligned on both sides.
    const Side& mine = SideOf(column);
    const Side& theirs = SideOf(1 - column);
    const TextDiff::UnitPatch& patch = mPatches.at(row);
    if (patch.isChange && !mine.mUnmasked.isEmpty() && !theirs.mUnmasked.isEmpty() &&
        !patch.patches.isEmpty())
    {
        const TextDiff::Patch& first = patch.patches.constFirst();
        long here = column == 0 ? first.start1 : first.start2;
        long there = column == 0 ? first.start2 : first.start1;
        auto compare = [&](long a, long b, long count)
        {
            for (long i = 0; i < count; ++i)
            {
                const long unit = a + i - start;
                if (unit >= 0 && unit < length && hidden[size_t(unit)] && b + i < theirs.mUnmasked.size() &&
                    mine.mUnmasked.at(int(a + i)) != theirs.mUnmasked.at(int(b + i)))
                    kind[size_t(unit)] = 2;
            }
        };
        const long lead = here - start;
        if (lead > 0 && there - lead >= 0)
            compare(start, there - lead, lead);
        for (const TextDiff::Patch& hunk : patch.patches)
            for (const TextDiff::Diff& diff : hunk.diffs)
            {
                if (diff.isContext)
                    continue;
                const long count = diff.text.size();
                if (diff.operation == TextDiff::EQUAL)
                {
                    compare(here, there, count);
                    here += count;
                    there += count;
                }
                else if ((diff.operation == TextDiff::DELETE) == (column == 0))
                {
                    here += count;
                }
                else
                {
                    there += count;
                }
            }
    }

    QTextCharFormat formats[3][2];
    formats[1][0].setForeground(SettingsColor("prefs/Colors/equalityFG", Qt::darkGreen));
    formats[2][0].setForeground(SettingsColor("prefs/Colors/diffFG", Qt::darkRed));
    formats[2][0].setProperty(kChangeProperty, true);
    for (int k = 0; k < 3; ++k)
    {
        formats[k][1] = formats[k][0];
        formats[k][1].setBackground(QColor(0xFF, 0xE8, 0xA8));
        formats[k][1].setProperty(kHiddenProperty, true);
        if (k == 0)
            formats[k][1].setForeground(QColor(Qt::darkGray));
    }
    ranges.clear();
    for (int i = 0; i < length;)
    {
        int j = i;
        while (j < length && kind[size_t(j)] == kind[size_t(i)] && hidden[size_t(j)] == hidden[size_t(i)])
            ++j;
        if (kind[size_t(i)] != 0 || hidden[size_t(i)])
            ranges.append({i, j - i, formats[kind[size_t(i)]][hidden[size_t(i)] ? 1 : 0]});
        i = j;
    }
}
