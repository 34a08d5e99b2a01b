#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace XTHost
{

struct ScribusBookOptions
{
    int mPages = 1000;
    uint32_t mSeed = 1;
};

// A book as Scribus 1.5.8 saves one, and its second version.
struct ScribusBook
{
    QByteArray mLeft;
    QByteArray mRight;
    // What the second version changed, one line each, in the order made.
    QStringList mEdits;
};

// Writes a Scribus 1.5 book as XML text of its own, without the host's
// Scribus writer, so that a benchmark or test of the host's reader does not
// read what the code under test wrote.
//
// The book: facing pages (the first a right page), three master pages with
// running heads and page numbers, RGB, CMYK and spot colours, character and
// paragraph styles, two layers; on every page a body text frame (chapters run
// through linked chains of them, their text in the chain's first frame), a
// standalone note frame, a line, an image frame with a picture path and a
// rectangle or polygon; six paragraphs of text in every text frame, with
// italic, bold and coloured runs. Element and attribute sets, their order and
// the number formats are those Scribus 1.5.8 writes.
//
// The second version is the book after a few edits (edits() lists them): text
// changed in five stories and a note, a picture frame deleted, a shape moved
// and resized, a colour redefined and a text frame added. Like Scribus on
// every save, it numbers its items (ItemID) anew.
//
// The same options always give the same bytes.
class ScribusBookGenerator
{
public:
    static ScribusBook generate(const ScribusBookOptions& options);

    // Writes both documents; false with *error when one cannot be written.
    static bool writePair(const ScribusBookOptions& options, const QString& leftPath,
                          const QString& rightPath, QStringList* edits, QString* error);
};

} // namespace XTHost
