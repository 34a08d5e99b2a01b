#pragma once

#include "Corvable.h"
#include "HiddenTextHelper.h"
#include "XTTypes.h"

// A text story, compared as its plain text with hidden runs masked, so that
// every offset of the compared text is the host's offset. Applying a row
// replaces a range of this story with the other story's range.
class Story : public Corvable
{
public:
    explicit Story(char** text);
    // The empty side of a pair: the story is missing from this project.
    explicit Story(long project);
    Story(const Story& other) = default;

    QString ToString() const override;
    XT::FormatRuns Formatting() const override;
    QString EncodedFormatting() const override;
    // The formatting of [start, end), offsets from start.
    XT::FormatRuns FormattingOf(long start, long end) const;
    // The story's text with its hidden runs as they are, not masked.
    QString UnmaskedText() const;
    // Start of each hidden run -> its extent (the marker unit and the run).
    std::map<long, long> HiddenRuns() const;
    QString Name() const override;
    bool IsValid() const override;
    QJsonObject Identity() const override;
    QByteArray IdentityKey() const override;
    bool CanApply(int row) const override;
    RefusedRows ApplyPatches(Corvable& other, std::map<int, TextDiff::UnitPatch*>& rows) override;

    // The document number of the first box the story runs through (-1 when
    // it is in no box), and that box.
    XTDocNumber GetUsage(long* box) const;

    // Copies [start, start + length) of this story into `dest` at
    // destOffset: through the host's copy and paste when both stories are in
    // boxes, else directly.
    [[nodiscard]] XTError CopyText(long start, long length, Story& dest, long destOffset);

    [[nodiscard]] static XTError XECopyText(short srcDoc, long srcBox, long srcStart, long srcEnd,
                                            short dstDoc, long dstBox, long dstOffset);

    XTTextRef Text() const { return mText; }
    XTProjectId ProjectId() const { return mProject; }

private:
    bool CreateFrom(Story& other, QString* reason);
    // Gives [destinationStart, + length) of this story the formatting of
    // the source's range of that length.
    XTError CopyFormatting(const Story& source, long sourceStart, long length, long destinationStart);

    XTTextRef mText;
    XTProjectId mProject;
    mutable HiddenTextHelper mHidden;
};
