#include "Gzip.h"

#include <zlib.h>

namespace XTHost
{

namespace Gzip
{

bool isGzip(const QByteArray& data)
{
    return data.size() >= 2 && uchar(data[0]) == 0x1f && uchar(data[1]) == 0x8b;
}

namespace
{

// Inflates until the stream ends, `limit` bytes are out, or the input is
// used up; returns zlib's last result.
int run(z_stream& stream, qint64 limit, QByteArray* out)
{
    char buffer[65536];
    int result = Z_OK;
    while (result == Z_OK)
    {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        result = ::inflate(&stream, Z_NO_FLUSH);
        const qint64 produced = qint64(sizeof buffer - stream.avail_out);
        if (out->size() + produced > limit)
        {
            out->append(buffer, int(limit - out->size()));
            return Z_MEM_ERROR;
        }
        out->append(buffer, int(produced));
        if (result == Z_BUF_ERROR && stream.avail_in == 0)
            break;
    }
    return result;
}

} // namespace

bool inflate(const QByteArray& data, qint64 limit, QByteArray* out, QString* error)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
    {
        *error = QStringLiteral("cannot start decompressing");
        return false;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    out->clear();
    const int result = run(stream, limit, out);
    const qint64 consumed = qint64(stream.total_in);
    inflateEnd(&stream);
    if (result == Z_MEM_ERROR)
    {
        *error = QStringLiteral("the document is larger than %1 MiB uncompressed, the most a document may have")
                     .arg(limit >> 20);
        out->clear();
        return false;
    }
    if (result != Z_STREAM_END)
    {
        *error = result == Z_BUF_ERROR || result == Z_OK
                     ? QStringLiteral("the compressed data ends early (byte %1)").arg(data.size())
                     : QStringLiteral("the compressed data is damaged near byte %1").arg(consumed);
        out->clear();
        return false;
    }
    if (consumed < data.size())
    {
        *error = isGzip(data.mid(int(consumed), 2))
                     ? QStringLiteral("a second compressed document follows the first at byte %1").arg(consumed)
                     : QStringLiteral("%1 bytes follow the compressed document at byte %2")
                           .arg(data.size() - consumed)
                           .arg(consumed);
        out->clear();
        return false;
    }
    return true;
}

QByteArray inflateHead(const QByteArray& data, int limit)
{
    z_stream stream{};
    QByteArray out;
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return out;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    run(stream, limit, &out);
    inflateEnd(&stream);
    return out;
}

QByteArray deflate(const QByteArray& data, int level)
{
    z_stream stream{};
    deflateInit2(&stream, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out;
    out.resize(int(deflateBound(&stream, uLong(data.size()))));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    ::deflate(&stream, Z_FINISH);
    out.resize(int(stream.total_out));
    deflateEnd(&stream);
    return out;
}

} // namespace Gzip

} // namespace XTHost
