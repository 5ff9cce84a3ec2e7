#include "support/cc_unzipper.h"

#include "support/cc_unzipper_names.h"
#include "support/helpers.h"
#include "support/log.h"

#include <QBuffer>
#include <QFile>

#include <zlib.h>

#include <algorithm>
#include <array>

namespace {

constexpr uint32_t kEndRecordSignature = 0x06054B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kZip64EndRecordSignature = 0x06064B50;
constexpr uint32_t kDirectoryRecordSignature = 0x02014B50;
constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint16_t kArchiveMagic = 0x4B50; // "PK"
constexpr uint16_t kZip64ExtraId = 1;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;

constexpr uint64_t kDirectoryRecordLength = 46;
constexpr uint64_t kLocalHeaderLength = 30;
constexpr uint64_t kZip64EndRecordLength = 56;
constexpr uint64_t kZip64LocatorLength = 20;
// The end record sits at most a 65535-byte comment plus its own 22 bytes and some slack
// from the end of the file.
constexpr uint64_t kFirstEndRecordDistance = 20;
constexpr uint64_t kLastEndRecordDistance = 65999;
constexpr uint32_t kEscape32 = 0xFFFFFFFF;
constexpr uint16_t kEscape16 = 0xFFFF;
// Entry data is read and inflated in pieces of this size, so the compressed bytes of a
// large entry are never held whole.
constexpr qint64 kDataChunk = 64 * 1024;

uint16_t littleShort(const uchar *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t littleWord(const uchar *p)
{
    return static_cast<uint32_t>(littleShort(p)) | (static_cast<uint32_t>(littleShort(p + 2)) << 16);
}

uint64_t littleLongWord(const uchar *p)
{
    return static_cast<uint64_t>(littleWord(p)) | (static_cast<uint64_t>(littleWord(p + 4)) << 32);
}

// True when [offset, offset + length) lies inside a file of the given length.
bool fitsIn(uint64_t offset, uint64_t length, uint64_t fileLength)
{
    return offset <= fileLength && length <= fileLength - offset;
}

class InflateStream
{
public:
    InflateStream() { m_ready = inflateInit2(&m_stream, -MAX_WBITS) == Z_OK; }
    ~InflateStream()
    {
        if (m_ready)
            inflateEnd(&m_stream);
    }
    InflateStream(const InflateStream &) = delete;
    InflateStream &operator=(const InflateStream &) = delete;

    bool ready() const { return m_ready; }
    z_stream &stream() { return m_stream; }

private:
    z_stream m_stream{};
    bool m_ready = false;
};

}

CCUnzipper::CCUnzipper(std::unique_ptr<QIODevice> device)
    : m_fileHandle(std::move(device))
{
}

CCUnzipper::~CCUnzipper() = default;

std::unique_ptr<CCUnzipper> CCUnzipper::initWithFile(const QString &path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return nullptr;
    return initWithDevice(std::move(file));
}

std::unique_ptr<CCUnzipper> CCUnzipper::initWithData(const QByteArray &data)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(data);
    if (!buffer->open(QIODevice::ReadOnly))
        return nullptr;
    return initWithDevice(std::move(buffer));
}

std::unique_ptr<CCUnzipper> CCUnzipper::initWithDevice(std::unique_ptr<QIODevice> device)
{
    // Pipes and devices have no length to search back from.
    if (device->isSequential())
        return nullptr;
    const qint64 length = device->size();
    if (length <= 0) {
        if (length < 0)
            LogString(QStringLiteral("File seek failed"));
        return nullptr;
    }
    std::unique_ptr<CCUnzipper> reader(new CCUnzipper(std::move(device)));
    reader->m_fileLength = static_cast<uint64_t>(length);
    if (!reader->locateDirectory())
        return nullptr;
    return reader;
}

bool CCUnzipper::locateDirectory()
{
    if (shortWordFromFile(0) != kArchiveMagic)
        return false;

    // One read of the whole search window instead of one per candidate position.
    const uint64_t windowStart = m_fileLength > kLastEndRecordDistance ? m_fileLength - kLastEndRecordDistance : 0;
    QByteArray window(static_cast<qsizetype>(m_fileLength - windowStart), Qt::Uninitialized);
    if (!readUncached(windowStart, window.size(), window.data()))
        return false;
    const auto *bytes = reinterpret_cast<const uchar *>(window.constData());

    uint64_t endRecord = 0;
    bool found = false;
    for (uint64_t k = kFirstEndRecordDistance; k < m_fileLength && k <= kLastEndRecordDistance; ++k) {
        if (littleWord(bytes + (m_fileLength - k - windowStart)) == kEndRecordSignature) {
            endRecord = m_fileLength - k;
            found = true;
            break;
        }
    }
    if (!found)
        return false;

    uint64_t entryCount = shortWordFromFile(endRecord + 10);
    uint64_t directoryStart = wordFromFile(endRecord + 16);
    if (entryCount == kEscape16 || directoryStart == kEscape32) {
        if (endRecord < kZip64LocatorLength || wordFromFile(endRecord - kZip64LocatorLength) != kZip64LocatorSignature)
            return false;
        const uint64_t zip64End = longWordFromFile(endRecord - 12);
        if (!fitsIn(zip64End, kZip64EndRecordLength, m_fileLength)
            || (longWordFromFile(zip64End) & 0xFFFFFFFFu) != kZip64EndRecordSignature)
            return false;
        if (entryCount == kEscape16)
            entryCount = longWordFromFile(zip64End + 32);
        if (directoryStart == kEscape32)
            directoryStart = longWordFromFile(zip64End + 48);
        endRecord = zip64End;
    }
    if (entryCount == 0 || endRecord == 0 || directoryStart == 0 || directoryStart >= m_fileLength)
        return false;

    m_directoryStart = directoryStart;
    // Every record takes at least its fixed part, so the file itself bounds the count.
    m_entryCount = std::min(entryCount, (m_fileLength - directoryStart) / kDirectoryRecordLength);
    m_fileBlocks.clear();
    return m_entryCount > 0;
}

uint16_t CCUnzipper::shortWordFromFile(uint64_t offset)
{
    std::array<uchar, 2> bytes{};
    if (!readDataFromFile(offset, bytes.size(), reinterpret_cast<char *>(bytes.data())))
        return 0;
    return littleShort(bytes.data());
}

uint32_t CCUnzipper::wordFromFile(uint64_t offset)
{
    std::array<uchar, 4> bytes{};
    if (!readDataFromFile(offset, bytes.size(), reinterpret_cast<char *>(bytes.data())))
        return 0;
    return littleWord(bytes.data());
}

uint64_t CCUnzipper::longWordFromFile(uint64_t offset)
{
    std::array<uchar, 8> bytes{};
    if (!readDataFromFile(offset, bytes.size(), reinterpret_cast<char *>(bytes.data())))
        return 0;
    return littleLongWord(bytes.data());
}

std::optional<QByteArray> CCUnzipper::copyDataFromFile(uint64_t offset, uint64_t length)
{
    if (!fitsIn(offset, length, m_fileLength))
        return std::nullopt;
    QByteArray data(static_cast<qsizetype>(length), Qt::Uninitialized);
    if (!readDataFromFile(offset, length, data.data()))
        return std::nullopt;
    return data;
}

bool CCUnzipper::readDataFromFile(uint64_t offset, uint64_t length, char *buffer)
{
    if (!fitsIn(offset, length, m_fileLength))
        return false;
    while (length > 0) {
        const uint64_t blockStart = offset - offset % kBlockSize;
        const QByteArray *block = readFileBlock(blockStart);
        if (!block)
            return false;
        const uint64_t inBlock = offset - blockStart;
        if (inBlock >= static_cast<uint64_t>(block->size()))
            return false;
        const uint64_t count = std::min<uint64_t>(length, block->size() - inBlock);
        std::copy_n(block->constData() + inBlock, count, buffer);
        buffer += count;
        offset += count;
        length -= count;
    }
    return true;
}

const QByteArray *CCUnzipper::readFileBlock(uint64_t blockStart)
{
    const auto cached = m_fileBlocks.find(blockStart);
    if (cached != m_fileBlocks.end())
        return &cached->second;
    if (blockStart >= m_fileLength)
        return nullptr;
    const qint64 length = static_cast<qint64>(std::min<uint64_t>(kBlockSize, m_fileLength - blockStart));
    QByteArray block(length, Qt::Uninitialized);
    if (!readUncached(blockStart, length, block.data()))
        return nullptr;
    // Starting over keeps a long walk through a huge directory from holding it all.
    if (m_fileBlocks.size() >= kMaximumCachedBlocks)
        m_fileBlocks.clear();
    return &m_fileBlocks.emplace(blockStart, std::move(block)).first->second;
}

bool CCUnzipper::readUncached(uint64_t offset, qint64 length, char *buffer)
{
    if (length < 0 || !fitsIn(offset, static_cast<uint64_t>(length), m_fileLength))
        return false;
    if (!m_fileHandle->seek(static_cast<qint64>(offset)) || m_fileHandle->read(buffer, length) != length) {
        LogString(QStringLiteral("File seek/read failed"));
        return false;
    }
    return true;
}

size_t CCUnzipper::cachedBytes() const
{
    size_t total = 0;
    for (const auto &[start, block] : m_fileBlocks)
        total += static_cast<size_t>(block.size());
    return total;
}

std::optional<CCUnzipper::DirectoryRecord> CCUnzipper::copyDirectoryEntry(uint64_t offset)
{
    if (offset < m_directoryStart || offset >= m_fileLength || kDirectoryRecordLength >= m_fileLength - offset)
        return std::nullopt;
    std::array<uchar, kDirectoryRecordLength> fixed{};
    if (!readDataFromFile(offset, fixed.size(), reinterpret_cast<char *>(fixed.data()))
        || littleWord(fixed.data()) != kDirectoryRecordSignature)
        return std::nullopt;

    Entry entry;
    entry.type = littleShort(&fixed[10]);
    entry.crc = littleWord(&fixed[16]);
    entry.size = littleWord(&fixed[20]);
    entry.orig = littleWord(&fixed[24]);
    const uint64_t nameLength = littleShort(&fixed[28]);
    const uint64_t extraLength = littleShort(&fixed[30]);
    const uint64_t commentLength = littleShort(&fixed[32]);
    entry.header = littleWord(&fixed[42]);

    const uint64_t nameStart = offset + kDirectoryRecordLength;
    if (nameLength >= m_fileLength - nameStart)
        return std::nullopt;

    if (entry.header == kEscape32 || entry.size == kEscape32 || entry.orig == kEscape32) {
        const uint64_t extraStart = nameStart + nameLength;
        const uint64_t extraEnd = extraStart + extraLength;
        if (extraEnd > m_fileLength)
            return std::nullopt;
        uint64_t block = extraStart;
        while (true) {
            if (extraEnd - block < 4)
                return std::nullopt;
            const uint16_t id = shortWordFromFile(block);
            const uint64_t blockSize = shortWordFromFile(block + 2);
            if (id == kZip64ExtraId)
                break;
            if (blockSize > extraEnd - block - 4)
                return std::nullopt;
            block += 4 + blockSize;
        }
        // Only the fields escaped in the record are present, each within the block.
        const uint64_t blockEnd = std::min(extraEnd, block + 4 + shortWordFromFile(block + 2));
        uint64_t field = block + 4;
        for (uint64_t *value : {&entry.orig, &entry.size, &entry.header}) {
            if (*value != kEscape32)
                continue;
            if (blockEnd < field + 8)
                return std::nullopt;
            *value = longWordFromFile(field);
            field += 8;
        }
    }
    if (entry.header >= m_directoryStart)
        return std::nullopt;

    const auto name = copyDataFromFile(nameStart, nameLength);
    if (!name)
        return std::nullopt;
    entry.path = DecodeZipName(*name);
    return DirectoryRecord{entry, nameStart + nameLength + extraLength + commentLength};
}

void CCUnzipper::ensureDirectoryExists()
{
    if (m_directoryBuilt)
        return;
    m_directoryBuilt = true;
    uint64_t offset = m_directoryStart;
    for (uint64_t i = 0; i < m_entryCount; ++i) {
        auto record = copyDirectoryEntry(offset);
        if (!record)
            break;
        m_directory.push_back(std::move(record->entry));
        offset = record->nextOffset;
    }
    m_entryCount = m_directory.size();
}

uint64_t CCUnzipper::numberOfFiles()
{
    ensureDirectoryExists();
    return m_entryCount;
}

std::optional<CCUnzipper::Entry> CCUnzipper::entryAtIndex(uint64_t index)
{
    ensureDirectoryExists();
    if (index >= m_directory.size())
        return std::nullopt;
    return m_directory[index];
}

std::optional<QString> CCUnzipper::filePathAtIndex(uint64_t index)
{
    const auto entry = entryAtIndex(index);
    if (!entry)
        return std::nullopt;
    return entry->path;
}

std::optional<QString> CCUnzipper::findFileOfType(const QString &extension)
{
    uint64_t offset = m_directoryStart;
    for (uint64_t i = 0; i < m_entryCount; ++i) {
        const auto record = copyDirectoryEntry(offset);
        if (!record)
            break;
        if (pathExtension(record->entry.path) == extension)
            return record->entry.path;
        offset = record->nextOffset;
    }
    return std::nullopt;
}

std::optional<QByteArray> CCUnzipper::copyDataOfFileAtIndex(uint64_t index, uint64_t maximumSize)
{
    const auto found = entryAtIndex(index);
    if (!found)
        return std::nullopt;
    const Entry &entry = *found;
    if (entry.size == 0 || entry.orig == 0 || entry.orig > std::min(maximumSize, kHardEntryLimit))
        return std::nullopt;
    if (entry.header >= m_fileLength || kLocalHeaderLength >= m_fileLength - entry.header)
        return std::nullopt;

    std::array<uchar, kLocalHeaderLength> local{};
    if (!readDataFromFile(entry.header, local.size(), reinterpret_cast<char *>(local.data()))
        || littleWord(local.data()) != kLocalHeaderSignature || littleShort(&local[8]) != entry.type)
        return std::nullopt;
    const uint64_t dataStart = entry.header + kLocalHeaderLength + littleShort(&local[26]) + littleShort(&local[28]);
    if (dataStart >= m_fileLength || entry.size >= m_fileLength - dataStart)
        return std::nullopt;

    std::optional<QByteArray> data;
    if (entry.type == kDeflated) {
        if (entry.orig / kMaximumInflateRatio >= entry.size)
            return std::nullopt;
        data = inflateEntry(entry, dataStart);
    } else if (entry.type == kStored) {
        if (entry.size != entry.orig)
            return std::nullopt;
        data = QByteArray(static_cast<qsizetype>(entry.orig), Qt::Uninitialized);
        if (!readUncached(dataStart, data->size(), data->data()))
            return std::nullopt;
    }
    if (!data)
        return std::nullopt;
    const uLong crc = crc32_z(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(data->constData()),
                              static_cast<z_size_t>(data->size()));
    if (crc != entry.crc)
        return std::nullopt;
    return data;
}

std::optional<QByteArray> CCUnzipper::inflateEntry(const Entry &entry, uint64_t dataStart)
{
    InflateStream inflater;
    if (!inflater.ready())
        return std::nullopt;
    z_stream &stream = inflater.stream();
    // Sizes were checked against kHardEntryLimit, so they fit zlib's 32-bit counters.
    QByteArray output(static_cast<qsizetype>(entry.orig), Qt::Uninitialized);
    stream.next_out = reinterpret_cast<Bytef *>(output.data());
    stream.avail_out = static_cast<uInt>(entry.orig);

    QByteArray chunk(static_cast<qsizetype>(std::min<uint64_t>(kDataChunk, entry.size)), Qt::Uninitialized);
    uint64_t position = dataStart;
    uint64_t remaining = entry.size;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0) {
            if (remaining == 0)
                return std::nullopt;
            const qint64 count = static_cast<qint64>(std::min<uint64_t>(remaining, chunk.size()));
            if (!readUncached(position, count, chunk.data()))
                return std::nullopt;
            position += count;
            remaining -= count;
            stream.next_in = reinterpret_cast<Bytef *>(chunk.data());
            stream.avail_in = static_cast<uInt>(count);
        }
        // A full output buffer with data still to come ends in Z_BUF_ERROR: too much data.
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            return std::nullopt;
    }
    if (stream.total_out != entry.orig)
        return std::nullopt;
    return output;
}

QString SafeLastPathComponent(const QString &name)
{
    qsizetype cut = -1;
    for (const QChar separator : {QLatin1Char('/'), QLatin1Char('\\'), QLatin1Char(':')})
        cut = std::max(cut, name.lastIndexOf(separator));
    const QString last = name.mid(cut + 1);
    if (last.isEmpty() || last == QLatin1String(".") || last == QLatin1String(".."))
        return QString();
    for (const QChar c : last) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QString();
    }
    return last;
}
