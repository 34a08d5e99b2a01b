#pragma once

#include <QByteArray>
#include <QString>

// The fuzz targets: each takes one input and returns an empty string, or
// what went wrong when an oracle fails. libFuzzer drives them (FuzzMain.cpp,
// built with clang); tst_fuzzcorpus runs them over the corpora in the normal
// suite, so that every input that ever failed stays a regression test.
namespace Fuzz
{

// Parses a project file; an accepted file saves, reloads as the same model
// and saves again as the same bytes, and holds only boxes whose size is a
// measure; a refusal names the file and prints whole.
QString projectLoader(const QByteArray& data);

// First byte: flags (1 line mode, 2 rows per line, 4 UTF-16 input); then two
// texts split at the first NUL. The diffs rebuild both texts before and after
// clean-up; the rows, applied either way, give the other text; the rows'
// patches applied with patch_apply give the second text.
QString engineRoundTrip(const QByteArray& data);

// Reads patch text; what it accepts writes and reads back as the same
// patches and can be applied; refusals print whole.
QString patchText(const QByteArray& data);

// A source text and a delta, split at the first NUL. An accepted delta
// rebuilds the source text, and its diffs write and read back unchanged.
QString deltaReader(const QByteArray& data);

// Reads JSON with the host's fast reader; a text it takes must read the same
// with QJsonDocument (same types, keys in the same order, the same strings,
// numbers equal bit for bit), and so must the tree built from that document.
QString jsonTree(const QByteArray& data);

// Reads a Scribus document; an accepted one saves unedited as the same bytes
// (the same XML, for a compressed one), reloads as the same model, and with
// its title and first box edited writes a document that reads back with the
// title; a refusal names the file and prints whole.
QString scribusLoader(const QByteArray& data);

} // namespace Fuzz
