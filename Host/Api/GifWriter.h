#pragma once

#include <QImage>
#include <QString>

namespace XTHost
{

// Writes an image as a GIF file (256 colours at most). False with the reason
// in *error when the file cannot be written.
bool WriteGif(const QImage& image, const QString& path, QString* error);

} // namespace XTHost
