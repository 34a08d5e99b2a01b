#pragma once

#include "XmlIndex.h"

#include "Model/Story.h"

#include <QByteArray>
#include <QChar>
#include <QString>

#include <vector>

namespace XTHost
{

// A story's text as Scribus holds it, one unit a character: the characters
// of ITEXT runs (the run carries their formatting), elements that stand for
// one character (para, tab, breakline...), and elements the model keeps as
// hidden text (page numbers, marks, column and frame breaks).
struct TextUnit
{
    enum Kind : int8_t
    {
        InRun,       // a character of an ITEXT run's CH
        HiddenInRun, // a control character of a run's CH (a page number in the older formats)
        Element,     // an element of its own (para, tab...)
        Opaque       // an element without a character: kept as it is
    };
    QChar mChar;
    Kind mKind = InRun;
    // The run (InRun, HiddenInRun) or the element itself; for a unit an
    // edit added, the element whose formatting it takes.
    uint32_t mSource = XmlIndex::sNone;
    // The element name of a unit an edit added as an element of its own.
    const char* mMade = nullptr;
    // The model's formatting of the unit, where the unit is written from
    // the model (rebuild): character attributes, or a paragraph end's
    // paragraph attributes.
    XT::TextAttributes mFormat;
    bool mFormatted = false;

    bool isHidden() const { return mKind == HiddenInRun || mKind == Opaque; }
};

namespace StoryText
{

// The element that holds a frame's text: its StoryText from 1.5 on, the
// frame itself before.
uint32_t container(const XmlIndex& xml, uint32_t frame);
bool isTextElement(const XmlIndex& xml, uint32_t element);

// Appends the units of one frame's text.
void read(const XmlIndex& xml, uint32_t frame, std::vector<TextUnit>& units);
// The story text of units: hidden units become hidden runs of no content;
// with the formatting of the units and of the last paragraph (`trail`, or
// sNone).
void toStory(const XmlIndex& xml, const std::vector<TextUnit>& units, uint32_t trail, Story& story);

// What a story's text was written with.
struct Style
{
    // Whether paragraph ends and tabs are elements (1.3.5 on) rather than
    // characters of runs (0x05 ends a paragraph before).
    bool mParaElements = true;
    uint32_t mFallbackRun = XmlIndex::sNone; // the run new text takes where nothing is near
    uint32_t mTrail = XmlIndex::sNone;       // the last paragraph's style
};
Style styleOf(const XmlIndex& xml, const std::vector<uint32_t>& frames, const std::vector<TextUnit>& units);

// The units of a story's new text: units kept where the text is kept (a
// character-level match of old and new), new ones formatted as their
// neighbours where it is new. A hidden run the model added has no element
// to write and is dropped.
std::vector<TextUnit> rebuild(const XmlIndex& xml, const std::vector<TextUnit>& before, const Story& story,
                              const Style& style);
// The units as XML elements, in order, each run of equally formatted
// characters one ITEXT; one string per element.
std::vector<QByteArray> toXml(const XmlIndex& xml, const std::vector<TextUnit>& units);
// A trail element (the last paragraph's style) that reads as `paragraph`:
// `trail` of `xml` with its attributes edited, or one written anew.
QByteArray trailXml(const XmlIndex* xml, uint32_t trail, const XT::TextAttributes& paragraph);

} // namespace StoryText

} // namespace XTHost
