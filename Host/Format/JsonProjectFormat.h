#pragma once

#include "ProjectFormat.h"

namespace XTHost
{

// The project file: UTF-8 JSON that starts with its format marker, version
// and file type, then the layouts, stories and assets in a fixed key order
// (README.md, "Project file format").
class JsonProjectFormat : public ProjectFormat
{
public:
    static constexpr int sVersion = 1;

    bool recognise(const QByteArray& head, XTFourCC* fileType) const override;
    [[nodiscard]] bool parse(const QByteArray& data, const QString& place, Project& project,
                             QString* error) const override;
    // Releases the bytes once they are parsed, before the project is built
    // from them: of a large file they are a good part of the memory.
    [[nodiscard]] bool parseOwned(QByteArray&& data, const QString& place, Project& project,
                                  QString* error) const override;
    QByteArray serialize(const Project& project, qsizetype expectedSize = 0) const override;
    QString cannotHold(const Asset& asset) const override;
    QString cannotHold(const Box& box) const override;
};

} // namespace XTHost
