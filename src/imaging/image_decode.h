#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <vector>

// Guarded decoding of untrusted picture data through Qt's image readers. Safe to call from
// several threads at once.

// Pictures that declare more pixels than this are refused before any pixel memory is taken.
constexpr qint64 kMaxImagePixels = 400'000'000;
// Files larger than this are not read at all (a 400-megapixel bitmap stored raw, with room).
constexpr qint64 kMaxImageFileBytes = 1800LL * 1024 * 1024;
// Icon files and multi-page TIFFs carry several sizes; more than this are ignored.
constexpr int kMaxRepresentations = 16;

// Every representation (size or page) of the picture in data, first one first, upright
// according to its orientation tag. Empty when the data isn't a complete picture the decoders
// read, or when the first picture declares more than kMaxImagePixels.
std::vector<QImage> DecodeImageRepresentations(const QByteArray &data);

// Reads a whole file for decoding; empty when it can't be read or exceeds kMaxImageFileBytes.
QByteArray ReadImageFileBytes(const QString &path);

// Whether JPEG data runs from its start marker through its entropy-coded segments to an
// end-of-image marker. The JPEG decoder pads a cut-off file with grey without failing.
bool IsCompleteJpeg(const QByteArray &data);
