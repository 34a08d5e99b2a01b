#include "Story.h"

#include "Box.h"

#include "PluginString.h"
#include "PreserveOffset.h"
#include "Placement.h"
#include "XTCalls.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{

typedef std::map<long, long> RunCatalog;

// The hidden run that x lies strictly inside (past its marker), as [start,
// end); {x, x} when there is none.
std::pair<long, long> RunAround(const RunCatalog& runs, long x)
{
    auto it = runs.upper_bound(x);
    if (it == runs.begin())
        return {x, x};
    --it;
    if (it->first < x && x < it->first + it->second)
        return {it->first, it->first + it->second};
    return {x, x};
}

RunCatalog RunsOf(XTTextRef text)
{
    HiddenTextHelper helper(text);
    helper.InitCatalog(0, XT::gText->CountTextChars(text, 0, 0));
    return helper.Catalog();
}

// The compared texts show every unit of a hidden run alike, so a row can
// align part of one run with part of another and end (or start) inside a
// run. Deleting or copying part of a run turns the rest of its content into
// visible text. Widens both ranges by the same amount over the equal text
// around them until neither cuts a run: the widened parts are equal on both
// sides, so the row still means the same change.
void WidenToWholeRuns(const RunCatalog& destRuns, long destLength, long& dest, long& destCount,
                      const RunCatalog& sourceRuns, long sourceLength, long& source, long& sourceCount)
{
    for (bool widened = true; widened;)
    {
        widened = false;
        long before =
            std::max(dest - RunAround(destRuns, dest).first, source - RunAround(sourceRuns, source).first);
        before = std::min({before, dest, source});
        if (before > 0)
        {
            dest -= before;
            source -= before;
            destCount += before;
            sourceCount += before;
            widened = true;
        }
        const long destEnd = dest + destCount;
        const long sourceEnd = source + sourceCount;
        long after = std::max(RunAround(destRuns, destEnd).second - destEnd,
                              RunAround(sourceRuns, sourceEnd).second - sourceEnd);
        after = std::min({after, destLength - destEnd, sourceLength - sourceEnd});
        if (after > 0)
        {
            destCount += after;
            sourceCount += after;
            widened = true;
        }
    }
}

// Whether every change of a row is of formatting alone.
bool IsRestyleOnly(const TextDiff::UnitPatch& row)
{
    bool restyled = false;
    for (const TextDiff::Patch& patch : row.patches)
        for (const TextDiff::Diff& diff : patch.diffs)
        {
            if (diff.operation == TextDiff::EQUAL)
                continue;
            if (!diff.isFormat)
                return false;
            restyled = true;
        }
    return restyled;
}

} // namespace

XTError Story::CopyFormatting(const Story& source, long sourceStart, long length, long destinationStart)
{
    const XT::FormatRuns runs = source.FormattingOf(sourceStart, sourceStart + length);
    const XT::FormatRuns own = FormattingOf(destinationStart, destinationStart + length);
    if (runs == own)
        return 0;
    XT::HostStringHolder encoded(XT::EncodeFormatRuns(runs));
    return XT::gText->SetTextFormatting(mText, int32_t(destinationStart), int32_t(destinationStart + length),
                                        encoded.Get());
}

Story::Story(char** text) : mText(text), mProject(XT::kNoProject), mHidden(text)
{
}

Story::Story(long project) : mText(nullptr), mProject(XTProjectId(project)), mHidden(nullptr)
{
}

QString Story::UnmaskedText() const
{
    if (!mText)
        return QString();
    const int32_t count = XT::gText->CountTextChars(mText, 0, 0);
    if (count <= 0)
        return QString();
    std::vector<uint16_t> buffer(size_t(count), 0);
    const int32_t read = XT::gText->GetTextChars(mText, 0, count, buffer.data());
    QString text(count, QChar(0xFFFD));
    for (int32_t i = 0; i < read && i < count; ++i)
        if (buffer[size_t(i)] != 0)
            text[i] = QChar(buffer[size_t(i)]);
    return text;
}

std::map<long, long> Story::HiddenRuns() const
{
    return mText ? RunsOf(mText) : std::map<long, long>();
}

QString Story::ToString() const
{
    QString text = UnmaskedText();
    if (text.isEmpty())
        return text;
    mHidden.InitCatalog(0, text.size());
    mHidden.GetFilteredString(text, 0, text.size());
    return text;
}

XT::FormatRuns Story::Formatting() const
{
    return mText ? FormattingOf(0, XT::gText->CountTextChars(mText, 0, 0)) : XT::FormatRuns();
}

QString Story::EncodedFormatting() const
{
    HostString encoded = nullptr;
    if (!mText || XT::gText->GetTextFormatting(mText, 0, XT::gText->CountTextChars(mText, 0, 0), &encoded) != 0)
        return QString();
    return XT::ToQString(encoded);
}

XT::FormatRuns Story::FormattingOf(long start, long end) const
{
    XT::FormatRuns runs;
    HostString encoded = nullptr;
    if (!mText || XT::gText->GetTextFormatting(mText, int32_t(start), int32_t(end), &encoded) != 0)
        return runs;
    if (!XT::DecodeFormatRuns(XT::ToQString(encoded), runs))
        runs.clear();
    return runs;
}

QString Story::Name() const
{
    if (!IsValid())
        return PluginString(104);
    const QString frame = XT::ToQString(XT::gText->GetStoryDefaultName(mText));
    if (frame.isEmpty())
        return PluginString(19) + QLatin1Char(' ') + QString::number(XT::gText->GetStoryNumber(mText));
    // A story its document names after its first frame shows that frame's
    // name and its first words.
    QString words = UnmaskedText().left(80);
    for (QChar& c : words)
        if (c.unicode() < 0x20 || c == QChar(0xFFFC) || c == QChar(0x2028) || c == QChar(0x2029) ||
            c == QLatin1Char('/'))
            c = QLatin1Char(' ');
    words = words.simplified();
    if (words.size() > 32)
    {
        const int space = words.lastIndexOf(QLatin1Char(' '), 32);
        words = words.left(space > 12 ? space : 32) + QChar(0x2026);
    }
    return words.isEmpty() ? frame : frame + QStringLiteral(": ") + words;
}

bool Story::IsValid() const
{
    return mText != nullptr;
}

bool Story::CanApply(int) const
{
    return true;
}

XTDocNumber Story::GetUsage(long* box) const
{
    XTBoxRef first = XT::kNoBox;
    XTDocNumber number = XT::kNoDocNumber;
    if (mText)
    {
        XTHandle boxes = XT::gPlatform->NewHandle(0);
        if (boxes && XT::gText->GetStoryBoxes(mText, 0, boxes) == 0 &&
            XT::gPlatform->GetHandleSize(boxes) >= int64_t(sizeof(XTBoxRef)))
        {
            std::memcpy(&first, *boxes, sizeof first);
            number = XT::gDoc->DocumentNumberFromRef(XT::gBox->GetBoxDocument(first));
        }
        if (boxes)
            XT::gPlatform->DisposeHandle(boxes);
    }
    if (number == XT::kNoDocNumber)
        first = XT::kNoBox;
    if (box)
        *box = first;
    return number;
}

XTError Story::CopyText(long start, long length, Story& dest, long destOffset)
{
    long sourceBox = XT::kNoBox;
    long destBox = XT::kNoBox;
    const XTDocNumber source = GetUsage(&sourceBox);
    const XTDocNumber destination = source != XT::kNoDocNumber ? dest.GetUsage(&destBox) : XT::kNoDocNumber;
    if (source != XT::kNoDocNumber && destination != XT::kNoDocNumber && sourceBox != XT::kNoBox &&
        destBox != XT::kNoBox)
        return XECopyText(source, sourceBox, start, start + length, destination, destBox, destOffset);
    return XT::gText->CopyTextRange(mText, int32_t(start), int32_t(start + length), dest.mText,
                                    int32_t(destOffset));
}

XTError Story::XECopyText(short, long srcBox, long srcStart, long srcEnd, short, long dstBox, long dstOffset)
{
    const XTBoxRef saved = XT::gBox->GetCurrentBox();

    XT::gBox->SetCurrentBox(XTBoxRef(srcBox));
    int32_t a = 0;
    int32_t b = 0;
    XTTextRef source = XT::gText->GetTextSelection(XTBoxRef(srcBox), &a, &b);
    XT::gText->SetTextSelection(source, int32_t(srcStart), int32_t(srcEnd), 0);
    XTError error = XT::xecopy(2, 0, 1, 0);
    XT::gText->SetTextSelection(source, a, b, 0);

    // Nothing is pasted when the copy failed: the clipboard would hold
    // whatever was copied before.
    if (error == 0)
    {
        XT::gBox->SetCurrentBox(XTBoxRef(dstBox));
        XTTextRef destination = XT::gText->GetTextSelection(XTBoxRef(dstBox), &a, &b);
        XT::gText->SetTextSelection(destination, int32_t(dstOffset), int32_t(dstOffset), 0);
        error = XT::XEPaste(XTBoxRef(dstBox), 2, 0, 0);
        XT::gText->SetTextSelection(destination, a, b, 0);
    }

    XT::gBox->SetCurrentBox(saved);
    return error;
}

RefusedRows Story::ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& rows)
{
    auto* source = dynamic_cast<Story*>(&other);
    if (!source || (!mText && !source->mText))
        return RefuseAll(rows, QStringLiteral("the other side has none to copy"));
    if (!mText)
    {
        QString reason;
        return CreateFrom(*source, &reason) ? RefusedRows() : RefuseAll(rows, reason);
    }
    // Gone with the last box it ran through, removed before this story's
    // turn came: nothing is left to empty.
    if (!source->mText && XT::gText->GetStoryNumber(mText) < 0)
        return RefusedRows();

    OffsetParams offsets;
    for (auto& entry : rows)
        for (TextDiff::Patch& patch : entry.second->patches)
            offsets.Add(entry.second->appliedRight ? &patch.start2 : &patch.start1);
    PreserveOffset preserve(mText, offsets);
    // A story missing on the other side has no text: its rows empty this one.
    const RunCatalog sourceRuns = source->mText ? RunsOf(source->mText) : RunCatalog();
    const long sourceTextLength = source->mText ? XT::gText->CountTextChars(source->mText, 0, 0) : 0;

    RefusedRows refused;
    for (auto& entry : rows)
    {
        TextDiff::UnitPatch& row = *entry.second;
        if (row.patches.isEmpty())
            continue;
        const TextDiff::Patch& first = row.patches.constFirst();
        const bool toRight = row.appliedRight;
        long sourceStart = toRight ? first.start1 : first.start2;
        long sourceLength = toRight ? row.length1 : row.length2;
        long start = toRight ? first.start2 : first.start1;
        long destinationLength = toRight ? row.length2 : row.length1;
        WidenToWholeRuns(RunsOf(mText), XT::gText->CountTextChars(mText, 0, 0), start, destinationLength,
                         sourceRuns, sourceTextLength, sourceStart, sourceLength);
        // A row of text formatted otherwise keeps its text and takes the
        // other side's formatting.
        if (IsRestyleOnly(row) && source->mText && sourceLength == destinationLength)
        {
            if (const XTError error = CopyFormatting(*source, sourceStart, sourceLength, start))
                refused[entry.first] = XT::ErrorText(error);
            continue;
        }
        // The new text goes in after the old before the old goes: a copy
        // the host refuses then loses nothing. Both ends lie outside hidden
        // runs (widened above).
        const int32_t before = XT::gText->CountTextChars(mText, 0, 0);
        XTError error = 0;
        if (source->mText && sourceLength > 0)
            error = source->CopyText(sourceStart, sourceLength, *this, start + destinationLength);
        if (error == 0)
        {
            const int32_t inserted = XT::gText->CountTextChars(mText, 0, 0) - before;
            error =
                XT::gText->DeleteTextRange(mText, int32_t(start), int32_t(start + destinationLength), 0, 1);
            if (error != 0 && inserted > 0)
                XT::gText->DeleteTextRange(mText, int32_t(start + destinationLength),
                                           int32_t(start + destinationLength + inserted), 0, 1);
        }
        // Pasted text keeps its characters' formatting; its paragraphs'
        // settings come with it here.
        if (error == 0 && source->mText && sourceLength > 0)
            error = CopyFormatting(*source, sourceStart, sourceLength, start);
        if (error != 0)
            refused[entry.first] = XT::ErrorText(error);
    }
    // A story the other side lacks, emptied, goes: its boxes stay, empty.
    if (!source->mText && refused.empty() && XT::gText->CountTextChars(mText, 0, 0) == 0)
    {
        if (const XTError error = XT::gText->DeleteStory(mText))
            for (const auto& entry : rows)
                refused[entry.first] = XT::ErrorText(error);
    }
    return refused;
}

// Makes the missing story. Where this project already has it (it came with
// a box, spread or layout copied before it), that story is this side's now.
// Else the story is copied into the boxes of its chain that this project
// has; where it has none of them, the story's first box is copied where it
// stands in its own project: the layout of the same number and the spread
// of the same index (the first of each where this project lacks them), so
// that the new box pairs with its original.
bool Story::CreateFrom(Story& other, QString* reason)
{
    *reason = QStringLiteral("the story's box could not be copied");
    if (mProject == XT::kNoProject || !other.mText)
        return false;
    const int32_t number = XT::gText->GetStoryNumber(other.mText);
    XTTextRef text = Placement::StoryNumbered(mProject, number);
    if (!text)
        text = XT::gText->CopyStory(other.mText, mProject);
    if (!text)
    {
        // The story comes with its first box, which goes where a copy of
        // that box goes: under its layout number and on its spread, keeping
        // its number. Put elsewhere, it would pair with nothing and leave
        // its counterpart unpaired.
        long sourceBox = XT::kNoBox;
        other.GetUsage(&sourceBox);
        if (sourceBox == XT::kNoBox)
            return false;
        const ::Box source(sourceBox, other.ProjectId());
        ::Box made(XT::kNoBox, mProject);
        if (!made.CreateFrom(source, reason))
            return false;
        int32_t a = 0;
        int32_t b = 0;
        text = XT::gText->GetTextSelection(made.BoxRef(), &a, &b);
    }
    mText = text;
    mHidden = HiddenTextHelper(mText);
    return mText != nullptr;
}

QJsonObject Story::Identity() const
{
    if (!IsValid())
        return QJsonObject();
    return QJsonObject{{QStringLiteral("kind"), QStringLiteral("story")},
                       {QStringLiteral("story"), int(XT::gText->GetStoryNumber(mText))}};
}

QByteArray Story::IdentityKey() const
{
    if (!IsValid())
        return QByteArray();
    return IdentityKeyWriter()
        .Text(QStringLiteral("kind"), QStringLiteral("story"))
        .Number(QStringLiteral("story"), XT::gText->GetStoryNumber(mText))
        .Key();
}
