#include "Story.h"

#include "PluginString.h"
#include "PreserveOffset.h"
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

} // namespace

Story::Story(char** text) : mText(text), mProject(XT::kNoProject), mHidden(text)
{
}

Story::Story(long project) : mText(nullptr), mProject(XTProjectId(project)), mHidden(nullptr)
{
}

QString Story::ToString() const
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
    mHidden.InitCatalog(0, count);
    mHidden.GetFilteredString(text, 0, count);
    return text;
}

QString Story::Name() const
{
    if (!IsValid())
        return PluginString(104);
    return PluginString(19) + QLatin1Char(' ') + QString::number(XT::gText->GetStoryNumber(mText));
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

void Story::CopyText(long start, long length, Story& dest, long destOffset)
{
    long sourceBox = XT::kNoBox;
    long destBox = XT::kNoBox;
    const XTDocNumber source = GetUsage(&sourceBox);
    const XTDocNumber destination = source != XT::kNoDocNumber ? dest.GetUsage(&destBox) : XT::kNoDocNumber;
    if (source != XT::kNoDocNumber && destination != XT::kNoDocNumber && sourceBox != XT::kNoBox &&
        destBox != XT::kNoBox)
        XECopyText(source, sourceBox, start, start + length, destination, destBox, destOffset);
    else
        XT::gText->CopyTextRange(mText, int32_t(start), int32_t(start + length), dest.mText,
                                 int32_t(destOffset));
}

void Story::XECopyText(short, long srcBox, long srcStart, long srcEnd, short, long dstBox, long dstOffset)
{
    const XTBoxRef saved = XT::gBox->GetCurrentBox();

    XT::gBox->SetCurrentBox(XTBoxRef(srcBox));
    int32_t a = 0;
    int32_t b = 0;
    XTTextRef source = XT::gText->GetTextSelection(XTBoxRef(srcBox), &a, &b);
    XT::gText->SetTextSelection(source, int32_t(srcStart), int32_t(srcEnd), 0);
    XT::xecopy(2, 0, 1, 0);
    XT::gText->SetTextSelection(source, a, b, 0);

    XT::gBox->SetCurrentBox(XTBoxRef(dstBox));
    XTTextRef destination = XT::gText->GetTextSelection(XTBoxRef(dstBox), &a, &b);
    XT::gText->SetTextSelection(destination, int32_t(dstOffset), int32_t(dstOffset), 0);
    XT::XEPaste(XTBoxRef(dstBox), 2, 0, 0);
    XT::gText->SetTextSelection(destination, a, b, 0);

    XT::gBox->SetCurrentBox(saved);
}

void Story::ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& rows)
{
    auto* source = dynamic_cast<Story*>(&other);
    if (!source)
        return;
    if (!mText)
    {
        CreateFrom(*source);
        return;
    }

    OffsetParams offsets;
    for (auto& entry : rows)
        for (TextDiff::Patch& patch : entry.second->patches)
            offsets.Add(entry.second->appliedRight ? &patch.start2 : &patch.start1);
    PreserveOffset preserve(mText, offsets);
    const RunCatalog sourceRuns = source->mText ? RunsOf(source->mText) : RunCatalog();
    const long sourceTextLength = source->mText ? XT::gText->CountTextChars(source->mText, 0, 0) : 0;

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
        int32_t destination = int32_t(start);

        XT::gText->DeleteTextRange(mText, destination, int32_t(destination + destinationLength), 0, 1);
        XT::gText->AdjustOffsetForHidden(mText, &destination, 0);
        source->CopyText(sourceStart, sourceLength, *this, destination);
    }
}

// Makes the missing story by copying the other story's first box onto the
// first spread of this project's first layout.
void Story::CreateFrom(Story& other)
{
    long sourceBox = XT::kNoBox;
    const XTDocNumber number = other.GetUsage(&sourceBox);
    const DocRef sourceDoc = XT::gDoc->DocumentRefFromNumber(number);
    DocRef layout = XT::kNoDoc;
    if (mProject != XT::kNoProject)
        layout = XT::gProject->GetLayout(mProject, 0);
    if (sourceDoc == XT::kNoDoc || sourceBox == XT::kNoBox || layout == XT::kNoDoc)
        return;
    const XTBoxRef spread = XT::gSpread->GetSpreadBox(layout, 1);
    const XTBoxRef box = XT::gSpread->CopyBoxToSpread(sourceDoc, XTBoxRef(sourceBox), layout, spread);
    if (box == XT::kNoBox)
        return;
    int32_t a = 0;
    int32_t b = 0;
    mText = XT::gText->GetTextSelection(box, &a, &b);
    mHidden = HiddenTextHelper(mText);
}
