#pragma once

#include <QByteArray>
#include <QString>

namespace XTHost
{

// gzip as Scribus writes .sla.gz: one member holding the whole document.
namespace Gzip
{

bool isGzip(const QByteArray& data);

// Inflates a whole file. Refuses, with a reason naming the byte, a stream
// that is damaged or ends early, one that inflates to more than `limit`
// bytes (it stops there, so a small file cannot fill the memory), and bytes
// after the stream's end (a second member, or anything else).
bool inflate(const QByteArray& data, qint64 limit, QByteArray* out, QString* error);
// The first bytes of a file's content, at most `limit`: for recognising a
// file by its head, which a short read may cut.
QByteArray inflateHead(const QByteArray& data, int limit);

// Compresses with zlib's level, from 1 (fastest) to 9 (smallest).
QByteArray deflate(const QByteArray& data, int level = 6);

} // namespace Gzip

} // namespace XTHost
