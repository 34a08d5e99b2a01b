#pragma once

#include "ProjectFormat.h"

namespace XTHost
{

// Documents of the Scribus page-layout program (.sla, XML; .sla.gz, gzip
// compressed), from the 1.2 format up to 1.5. A document is a project with
// one layout; its pages, page objects, linked text frames, colours, styles
// and layers map to the host's model (README.md, "Scribus documents").
//
// The model describes only part of a document. The document as read is the
// project's source (Project::mSource, a Scribus/ScribusDocument), and the
// origin of every box, story and asset read from it: saving writes the
// document back with only what the model changed edited in it (an unedited
// document is written byte for byte), and a part copied from another
// Scribus document is written from its element there. A model that no
// document was read for is written as a new document.
class ScribusProjectFormat : public ProjectFormat
{
public:
    bool recognise(const QByteArray& head, XTFourCC* fileType) const override;
    [[nodiscard]] bool parse(const QByteArray& data, const QString& place, Project& project,
                             QString* error) const override;
    [[nodiscard]] bool parseOwned(QByteArray&& data, const QString& place, Project& project,
                                  QString* error) const override;
    QByteArray serialize(const Project& project, qsizetype expectedSize = 0) const override;
    // A document read from a file holds one layout, the pages it was read
    // with and its master pages; a group is written only with its members.
    QString unwritable(const Project& project) const override;

    // The box number an object of that name gets: the same name gives the
    // same number in every document (collisions within one document move to
    // the next free number in document order).
    static int32_t numberForName(const QString& name);
};

} // namespace XTHost
