#include "services/zip_writer.h"

#include "support/cc_unzipper.h"

#include <QtEndian>

#include <array>
#include <limits>

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEndRecordSignature = 0x06054B50;
constexpr uint16_t kVersionNeeded = 20; // 2.0: deflate
constexpr uint16_t kVersionMadeBy = (3 << 8) | 20; // made on Unix
constexpr uint16_t kUtf8NamesFlag = 0x0800;
constexpr uint32_t kRegularFileMode = 0100644u << 16;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;

const std::array<uint32_t, 256> &crcTable()
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> result{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            result[n] = c;
        }
        return result;
    }();
    return table;
}

void put16(QByteArray &out, uint16_t value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray &out, uint32_t value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// Raw deflate data: qCompress gives a 4-byte length, a 2-byte zlib header, the deflate stream
// and a 4-byte Adler-32; zip wants the stream alone.
QByteArray rawDeflate(const QByteArray &data)
{
    const QByteArray wrapped = qCompress(data, 9);
    if (wrapped.size() < 10)
        return QByteArray();
    return wrapped.mid(6, wrapped.size() - 10);
}

struct DosStamp
{
    uint16_t time = 0;
    uint16_t date = 0;
};

DosStamp dosStamp(const QDateTime &when)
{
    const QDate day = when.date();
    const QTime clock = when.time();
    if (!when.isValid() || day.year() < 1980 || day.year() > 2107)
        return {0, uint16_t((0 << 9) | (1 << 5) | 1)};
    return {uint16_t((clock.hour() << 11) | (clock.minute() << 5) | (clock.second() / 2)),
            uint16_t(((day.year() - 1980) << 9) | (day.month() << 5) | day.day())};
}

}

uint32_t ZipCrc32(const QByteArray &data, uint32_t crc)
{
    const std::array<uint32_t, 256> &table = crcTable();
    crc = ~crc;
    for (const char byte : data)
        crc = table[(crc ^ uint8_t(byte)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::optional<QByteArray> MakeZipArchive(const QList<std::pair<QString, QByteArray>> &entries,
                                         const QDateTime &modified)
{
    constexpr qint64 kLimit = std::numeric_limits<uint32_t>::max();
    if (entries.size() > std::numeric_limits<uint16_t>::max())
        return std::nullopt;
    const DosStamp stamp = dosStamp(modified);
    QByteArray archive;
    QByteArray directory;
    for (const auto &[name, data] : entries) {
        const QByteArray encodedName = name.toUtf8();
        if (encodedName.isEmpty() || encodedName.size() > std::numeric_limits<uint16_t>::max() || data.size() >= kLimit)
            return std::nullopt;
        const uint32_t crc = ZipCrc32(data);
        QByteArray packed = rawDeflate(data);
        uint16_t method = kDeflated;
        // The game's reader refuses entries that inflate past its ratio limit; store those.
        const bool tooDense = uint64_t(data.size()) >= CCUnzipper::kMaximumInflateRatio * uint64_t(packed.size());
        if (packed.isEmpty() || packed.size() >= data.size() || tooDense) {
            packed = data;
            method = kStored;
        }
        const qint64 offset = archive.size();
        if (offset + 30 + encodedName.size() + packed.size() >= kLimit)
            return std::nullopt;

        QByteArray header;
        put16(header, method);
        put16(header, stamp.time);
        put16(header, stamp.date);
        put32(header, crc);
        put32(header, uint32_t(packed.size()));
        put32(header, uint32_t(data.size()));
        put16(header, uint16_t(encodedName.size()));
        put16(header, 0); // extra length

        put32(archive, kLocalHeaderSignature);
        put16(archive, kVersionNeeded);
        put16(archive, kUtf8NamesFlag);
        archive += header + encodedName + packed;

        put32(directory, kCentralHeaderSignature);
        put16(directory, kVersionMadeBy);
        put16(directory, kVersionNeeded);
        put16(directory, kUtf8NamesFlag);
        directory += header;
        put16(directory, 0); // comment length
        put16(directory, 0); // disk number
        put16(directory, 0); // internal attributes
        put32(directory, kRegularFileMode);
        put32(directory, uint32_t(offset));
        directory += encodedName;
    }
    if (archive.size() + directory.size() + 22 >= kLimit)
        return std::nullopt;
    const uint32_t directoryOffset = uint32_t(archive.size());
    archive += directory;
    put32(archive, kEndRecordSignature);
    put16(archive, 0);
    put16(archive, 0);
    put16(archive, uint16_t(entries.size()));
    put16(archive, uint16_t(entries.size()));
    put32(archive, uint32_t(directory.size()));
    put32(archive, directoryOffset);
    put16(archive, 0); // comment length
    return archive;
}
