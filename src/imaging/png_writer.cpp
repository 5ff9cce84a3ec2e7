#include "imaging/png_writer.h"

#include <QFile>
#include <QSaveFile>

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace {

constexpr int kFastestLevel = 1;
// Keeps the raw and the compressed stream inside one IDAT chunk (length < 2^31).
constexpr uint64_t kMaxRawBytes = 0x7F000000;
constexpr uint8_t kFilterUp = 2;
constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct CompressorDeleter
{
    void operator()(libdeflate_compressor *compressor) const { libdeflate_free_compressor(compressor); }
};

// One compressor per thread: making one costs more than compressing a piece.
libdeflate_compressor *fastCompressor()
{
    thread_local std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kFastestLevel));
    return compressor.get();
}

using Table = std::array<uint8_t, 256 * 256>;

// Qt's raster engine premultiplies with a shift-based approximation that differs from exact
// rounding in 24 of the 65536 cases.
int qtPremultiply(int value, int alpha)
{
    const int product = value * alpha;
    return (product + (product >> 8) + 128) >> 8;
}

// For each alpha and premultiplied value, the straight values that premultiply to it form a
// run; a value in both formulas' runs (one always exists) survives either re-premultiplication.
const Table &unpremultiplyTable()
{
    static const Table table = [] {
        Table result{};
        for (int alpha = 1; alpha < 256; ++alpha) {
            std::array<int, 256> lowest;
            std::array<int, 256> highest;
            std::array<int, 256> qtLowest;
            std::array<int, 256> qtHighest;
            lowest.fill(-1);
            qtLowest.fill(-1);
            for (int value = 0; value < 256; ++value) {
                const int exact = Premultiply(static_cast<uint8_t>(value), static_cast<uint8_t>(alpha));
                if (lowest[exact] < 0)
                    lowest[exact] = value;
                highest[exact] = value;
                const int approximate = qtPremultiply(value, alpha);
                if (qtLowest[approximate] < 0)
                    qtLowest[approximate] = value;
                qtHighest[approximate] = value;
            }
            for (int premultiplied = 0; premultiplied < 256; ++premultiplied) {
                int value;
                const int from = std::max(lowest[premultiplied], qtLowest[premultiplied]);
                const int to = std::min(highest[premultiplied], qtHighest[premultiplied]);
                if (lowest[premultiplied] >= 0 && qtLowest[premultiplied] >= 0 && from <= to)
                    value = (from + to) / 2;
                else if (lowest[premultiplied] >= 0)
                    value = (lowest[premultiplied] + highest[premultiplied]) / 2;
                else // more colour than alpha: not a valid premultiplied pixel, saturate
                    value = std::min(255, (premultiplied * 255 + alpha / 2) / alpha);
                result[alpha * 256 + premultiplied] = static_cast<uint8_t>(value);
            }
        }
        return result;
    }();
    return table;
}

void putBigEndian(uint8_t *out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

// Fills in length and CRC around a chunk whose type and data are already at chunk + 4.
void finishChunk(uint8_t *chunk, uint32_t dataLength)
{
    putBigEndian(chunk, dataLength);
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), chunk + 4, dataLength + 4);
    putBigEndian(chunk + 8 + dataLength, static_cast<uint32_t>(crc));
}

void storeStraight(uint8_t *out, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha, const Table &table)
{
    if (alpha == 255) {
        out[0] = red;
        out[1] = green;
        out[2] = blue;
    } else if (alpha == 0) {
        out[0] = out[1] = out[2] = 0;
    } else {
        const uint8_t *row = table.data() + alpha * 256;
        out[0] = row[red];
        out[1] = row[green];
        out[2] = row[blue];
    }
    out[3] = alpha;
}

// convertRow(y, rgba) writes row y as straight RGBA bytes.
// Signature and IHDR chunk: where ancillary chunks may go before the pixel data.
constexpr qsizetype kSignatureAndHeaderBytes = 8 + 25;

// Text entries as tEXt chunks; entries a tEXt chunk can't carry (keywords outside 1-79
// Latin-1 characters, text outside Latin-1, NUL anywhere) are left out.
QByteArray textChunks(const PngTexts &texts)
{
    QByteArray chunks;
    for (const auto &[key, value] : texts) {
        const QByteArray keyword = key.toLatin1();
        const QByteArray text = value.toLatin1();
        if (keyword.isEmpty() || keyword.size() > 79 || QString::fromLatin1(keyword) != key
            || QString::fromLatin1(text) != value || keyword.contains('\0') || text.contains('\0'))
            continue;
        const QByteArray data = keyword + '\0' + text;
        QByteArray chunk(12 + data.size(), Qt::Uninitialized);
        auto *bytes = reinterpret_cast<uint8_t *>(chunk.data());
        std::memcpy(bytes + 4, "tEXt", 4);
        std::memcpy(bytes + 8, data.constData(), size_t(data.size()));
        finishChunk(bytes, uint32_t(data.size()));
        chunks += chunk;
    }
    return chunks;
}

template <typename ConvertRow> QByteArray encode(int width, int height, ConvertRow &&convertRow)
{
    if (width <= 0 || height <= 0)
        return QByteArray();
    const uint64_t rowBytes = uint64_t(width) * 4;
    const uint64_t rawBytes = (rowBytes + 1) * uint64_t(height);
    if (rawBytes > kMaxRawBytes)
        return QByteArray();

    std::unique_ptr<uint8_t[]> raw(new (std::nothrow) uint8_t[rawBytes]);
    std::unique_ptr<uint8_t[]> rows(new (std::nothrow) uint8_t[rowBytes * 2]);
    if (!raw || !rows)
        return QByteArray();
    uint8_t *previous = rows.get();
    uint8_t *current = rows.get() + rowBytes;
    std::memset(previous, 0, rowBytes);
    for (int y = 0; y < height; ++y) {
        convertRow(y, current);
        uint8_t *out = raw.get() + uint64_t(y) * (rowBytes + 1);
        *out++ = kFilterUp;
        for (uint64_t i = 0; i < rowBytes; ++i)
            out[i] = static_cast<uint8_t>(current[i] - previous[i]);
        std::swap(previous, current);
    }

    libdeflate_compressor *compressor = fastCompressor();
    if (!compressor)
        return QByteArray();
    const size_t bound = libdeflate_zlib_compress_bound(compressor, rawBytes);
    if (bound > 0x7FFFFFFF - 64)
        return QByteArray();

    constexpr qsizetype kHeaderBytes = kSignatureAndHeaderBytes;
    QByteArray png(kHeaderBytes + 12 + qsizetype(bound) + 12, Qt::Uninitialized);
    auto *base = reinterpret_cast<uint8_t *>(png.data());
    std::memcpy(base, kSignature.data(), kSignature.size());

    uint8_t *header = base + 8;
    std::memcpy(header + 4, "IHDR", 4);
    putBigEndian(header + 8, static_cast<uint32_t>(width));
    putBigEndian(header + 12, static_cast<uint32_t>(height));
    header[16] = 8; // bits per channel
    header[17] = 6; // RGBA
    header[18] = 0; // deflate
    header[19] = 0; // adaptive filtering
    header[20] = 0; // not interlaced
    finishChunk(header, 13);

    uint8_t *data = base + kHeaderBytes;
    std::memcpy(data + 4, "IDAT", 4);
    const size_t compressed = libdeflate_zlib_compress(compressor, raw.get(), rawBytes, data + 8, bound);
    if (compressed == 0)
        return QByteArray();
    finishChunk(data, static_cast<uint32_t>(compressed));

    uint8_t *end = data + 12 + compressed;
    std::memcpy(end + 4, "IEND", 4);
    finishChunk(end, 0);
    png.truncate(kHeaderBytes + 12 + qsizetype(compressed) + 12);
    return png;
}

}

uint8_t Unpremultiply(uint8_t premultiplied, uint8_t alpha)
{
    return unpremultiplyTable()[alpha * 256 + premultiplied];
}

QByteArray EncodePng(const uint8_t *abgrBytes, int width, int height, qsizetype bytesPerRow)
{
    if (!abgrBytes || width <= 0 || bytesPerRow < qsizetype(width) * 4)
        return QByteArray();
    const Table &table = unpremultiplyTable();
    return encode(width, height, [&](int y, uint8_t *rgba) {
        const uint8_t *in = abgrBytes + qsizetype(y) * bytesPerRow;
        for (int x = 0; x < width; ++x, in += 4, rgba += 4)
            storeStraight(rgba, in[3], in[2], in[1], in[0], table);
    });
}

QByteArray EncodePng(const QImage &image, const PngTexts &extraTexts)
{
    if (image.isNull())
        return QByteArray();
    QImage source;
    bool premultiplied = false;
    switch (image.format()) {
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        source = image;
        premultiplied = image.format() == QImage::Format_ARGB32_Premultiplied;
        break;
    default:
        // Premultiplied formats reorder without loss into ours; the rest keep straight alpha.
        premultiplied = image.pixelFormat().premultiplied() == QPixelFormat::Premultiplied;
        source = image.convertToFormat(premultiplied ? QImage::Format_ARGB32_Premultiplied : QImage::Format_ARGB32);
        break;
    }
    if (source.isNull())
        return QByteArray();
    const bool opaque = source.format() == QImage::Format_RGB32;
    const Table &table = unpremultiplyTable();
    const int width = source.width();
    QByteArray png = encode(width, source.height(), [&](int y, uint8_t *rgba) {
        const auto *in = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        for (int x = 0; x < width; ++x, rgba += 4) {
            const QRgb pixel = in[x];
            if (opaque) {
                storeStraight(rgba, qRed(pixel), qGreen(pixel), qBlue(pixel), 255, table);
            } else if (premultiplied) {
                storeStraight(rgba, qRed(pixel), qGreen(pixel), qBlue(pixel), qAlpha(pixel), table);
            } else {
                rgba[0] = qRed(pixel);
                rgba[1] = qGreen(pixel);
                rgba[2] = qBlue(pixel);
                rgba[3] = qAlpha(pixel);
            }
        }
    });
    if (png.isEmpty())
        return png;
    PngTexts texts;
    for (const QString &key : image.textKeys())
        texts.emplace_back(key, image.text(key));
    texts.insert(texts.end(), extraTexts.begin(), extraTexts.end());
    png.insert(kSignatureAndHeaderBytes, textChunks(texts));
    return png;
}

bool WriteBytesToFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    bool ok = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    ok = ok && file.error() == QFileDevice::NoError;
    if (!ok)
        file.remove();
    return ok;
}

bool WritePngFromPixels(const QString &path, const uint8_t *abgrBytes, int width, int height, qsizetype bytesPerRow)
{
    const QByteArray png = EncodePng(abgrBytes, width, height, bytesPerRow);
    return !png.isEmpty() && WriteBytesToFile(path, png);
}

bool WritePngAtomically(const QString &path, const QImage &image, const PngTexts &extraTexts)
{
    const QByteArray png = EncodePng(image, extraTexts);
    if (png.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(png) != png.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
