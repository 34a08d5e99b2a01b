#pragma once

#include "Origin.h"
#include "TextFormat.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace XTHost
{

// A run of hidden text. It occupies mLength + 1 units of the story: the marker
// unit at mOffset, then mLength units of hidden content.
struct HiddenRun
{
    int mOffset = 0;
    int mLength = 0;

    int end() const { return mOffset + mLength + 1; }
    bool operator==(const HiddenRun& other) const
    {
        return mOffset == other.mOffset && mLength == other.mLength;
    }
    bool operator!=(const HiddenRun& other) const { return !(*this == other); }
};

// A piece of story text with its hidden runs (offsets relative to the piece):
// what the clipboard holds and what a range copy carries.
struct TextFragment
{
    QString mText;
    std::vector<HiddenRun> mRuns;
    XT::FormatRuns mFormats;

    bool operator==(const TextFragment& other) const
    {
        return mText == other.mText && mRuns == other.mRuns && mFormats == other.mFormats;
    }
};

// A text box a story runs through, named by its persistent numbers.
struct BoxLink
{
    int32_t mLayout = 0;
    int32_t mBox = 0;

    bool operator==(const BoxLink& other) const { return mLayout == other.mLayout && mBox == other.mBox; }
    bool operator!=(const BoxLink& other) const { return !(*this == other); }
};

class Story
{
public:
    // The unit every hidden run starts with.
    static constexpr char16_t sMarker = 0xFFFC;

    int32_t mNumber = 0;
    QString mText;
    std::vector<HiddenRun> mRuns; // ascending, never overlapping
    // The formatting: each character's attributes, and on each paragraph
    // end its paragraph's too (TextFormat.h).
    XT::FormatRuns mFormats;
    // The last paragraph's attributes: it has no paragraph end to hold them.
    XT::TextAttributes mTrail;
    std::vector<BoxLink> mBoxes;  // first box first
    Origin mOrigin;               // the first frame it was read from
    // Numbered after its first frame, as a Scribus document's stories are,
    // and shown by that frame's name.
    bool mNamedByFrame = false;

    int length() const { return mText.size(); }

    // Builds a story text from visible pieces and hidden contents; the marker
    // units are added here.
    void appendVisible(const QString& text);
    void appendHidden(const QString& content);

    // The index of the run that [offset] lies in, or -1.
    int runAt(int offset) const;
    // An offset strictly inside a run moves to the run's end.
    int adjustOffset(int offset) const;
    // The first run that ends after `from` and starts before `end`, or -1.
    int findRun(int from, int end) const;

    TextFragment extract(int start, int end) const;
    // Inserts at `position` (moved out of a run first, see adjustOffset) and
    // returns where the fragment went. A fragment without formatting takes
    // the character formatting of the text before it.
    int insert(int position, const TextFragment& fragment);
    // Removes [start, end). A run that loses units shrinks; a run that loses
    // its marker ends there, and what is left of its content becomes ordinary
    // text.
    void remove(int start, int end);

    bool isConsistent() const;

    // The formatting of [start, end) as the host hands it over: each
    // character with its paragraph's attributes (offsets from start).
    XT::FormatRuns formatting(int start, int end) const;
    // Formats [start, end) by `runs` (offsets from start): each character
    // takes its character attributes, and each paragraph with a character
    // in the range the paragraph attributes of its last one there.
    void setFormatting(int start, int end, const XT::FormatRuns& runs);
    // The paragraph attributes of the paragraph that `offset` lies in.
    XT::TextAttributes paragraphAt(int offset) const;

    bool operator==(const Story& other) const
    {
        return mNumber == other.mNumber && mText == other.mText && mRuns == other.mRuns &&
               mBoxes == other.mBoxes && mFormats == other.mFormats && mTrail == other.mTrail;
    }
    bool operator!=(const Story& other) const { return !(*this == other); }
};

} // namespace XTHost
