#include "GifWriter.h"

#include <gif_lib.h>

#include <vector>

namespace XTHost
{

bool WriteGif(const QImage& image, const QString& path, QString* error)
{
    if (image.isNull())
    {
        *error = QStringLiteral("%1: no image to write").arg(path);
        return false;
    }
    // Qt picks the palette (and dithers) when it reduces to 8 bits.
    const QImage indexed = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    const QVector<QRgb> table = indexed.colorTable();

    int status = 0;
    GifFileType* gif = EGifOpenFileName(path.toLocal8Bit().constData(), false, &status);
    if (!gif)
    {
        *error = QStringLiteral("%1: %2").arg(path, QString::fromUtf8(GifErrorString(status)));
        return false;
    }

    // A GIF colour map holds a power of two entries.
    int size = 2;
    while (size < table.size())
        size *= 2;
    std::vector<GifColorType> colors(size_t(size), GifColorType{0, 0, 0});
    for (int i = 0; i < table.size(); ++i)
        colors[size_t(i)] = GifColorType{GifByteType(qRed(table[i])), GifByteType(qGreen(table[i])),
                                         GifByteType(qBlue(table[i]))};
    ColorMapObject* map = GifMakeMapObject(size, colors.data());

    bool ok = map && EGifPutScreenDesc(gif, indexed.width(), indexed.height(), 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, indexed.width(), indexed.height(), false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < indexed.height(); ++y)
        ok = EGifPutLine(gif, const_cast<GifByteType*>(indexed.constScanLine(y)), indexed.width()) == GIF_OK;
    if (!ok)
        *error = QStringLiteral("%1: %2").arg(path, QString::fromUtf8(GifErrorString(gif->Error)));
    if (map)
        GifFreeMapObject(map);
    if (EGifCloseFile(gif, &status) != GIF_OK && ok)
    {
        *error = QStringLiteral("%1: %2").arg(path, QString::fromUtf8(GifErrorString(status)));
        ok = false;
    }
    return ok;
}

} // namespace XTHost
