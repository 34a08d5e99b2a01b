#pragma once

#include "ProjectFormat.h"

namespace XTHost
{

// Documents of the Scribus page-layout program (.sla, XML; .sla.gz, gzip
// compressed), from the 1.2 format up to 1.5. A document is a project with
// one layout; its pages, page objects, linked text frames, colours, styles
// and layers map to the host's model (README.md, "Scribus documents").
//
// The model describes only part of a document. Everything else (unknown
// elements and attributes in their order, the character formatting of text
// runs, master items...) is kept from the parse beside the model and written
// back with it: saving an unedited document writes the same XML content, and
// an edit changes only the elements and attributes it touches. The kept
// document travels with the layout's name string, which copies and moves of
// the model share; a model that no parse made is written as a new document.
class ScribusProjectFormat : public ProjectFormat
{
public:
    // The newest format version this host reads, as major * 100 + minor.
    static constexpr int sNewestVersion = 105;

    bool recognise(const QByteArray& head, XTFourCC* fileType) const override;
    [[nodiscard]] bool parse(const QByteArray& data, const QString& place, Project& project,
                             QString* error) const override;
    QByteArray serialize(const Project& project) const override;
    // A document read from a file holds one layout, the pages it was read
    // with and its master pages; a group is written only with its members.
    QString unwritable(const Project& project) const override;

    // The box number an object of that name gets: the same name gives the
    // same number in every document (collisions within one document move to
    // the next free number in document order).
    static int32_t numberForName(const QString& name);
};

} // namespace XTHost
