#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QIODevice;

// Reads a zip archive one entry at a time, without unpacking it as a whole. Understands
// ZIP64 end records and extra fields, stored and deflated entries, and names in UTF-8 or
// one of the legacy 8-bit encodings. Never writes files. Not thread-safe: use one reader
// per thread.
//
// Whatever an archive claims, memory stays bounded by what has been checked against the
// real file: the header cache has a fixed ceiling, the directory only holds records that
// were actually read, and an entry's output buffer is allocated only after its declared
// size has passed the size limits.
class CCUnzipper
{
public:
    struct Entry
    {
        QString path;
        uint64_t header = 0; // offset of the local header
        uint64_t size = 0; // compressed size
        uint64_t orig = 0; // uncompressed size
        uint16_t type = 0; // compression method: 0 stored, 8 deflated
        uint32_t crc = 0;
    };

    // No entry is ever inflated past this, whatever limit a caller asks for.
    static constexpr uint64_t kHardEntryLimit = 256ull * 1024 * 1024;
    // A deflated entry may grow to less than this many times its compressed size.
    static constexpr uint64_t kMaximumInflateRatio = 64;
    // Header reads go through a cache of blocks of this size...
    static constexpr qint64 kBlockSize = 512;
    // ...which is emptied when it would hold more than this many blocks.
    static constexpr size_t kMaximumCachedBlocks = 2048;

    ~CCUnzipper();
    CCUnzipper(const CCUnzipper &) = delete;
    CCUnzipper &operator=(const CCUnzipper &) = delete;

    // Null when the file can't be opened or isn't a usable archive.
    static std::unique_ptr<CCUnzipper> initWithFile(const QString &path);
    // Reads an archive held in memory; the reader keeps its own copy of the bytes.
    static std::unique_ptr<CCUnzipper> initWithData(const QByteArray &data);

    // Builds the directory on first use; afterwards the number of records actually read.
    uint64_t numberOfFiles();
    // The entry's name as stored (decoded, not sanitised), or none when out of range.
    std::optional<QString> filePathAtIndex(uint64_t index);
    std::optional<Entry> entryAtIndex(uint64_t index);
    // The entry's uncompressed bytes after every check, or none. Empty entries and folders
    // yield none. Entries declaring more than maximumSize bytes (capped at kHardEntryLimit)
    // are refused before anything is allocated for them.
    std::optional<QByteArray> copyDataOfFileAtIndex(uint64_t index, uint64_t maximumSize = kHardEntryLimit);
    // The name of the first entry, in directory order, whose extension is exactly the given one.
    std::optional<QString> findFileOfType(const QString &extension);

    uint64_t fileLength() const { return m_fileLength; }
    // Bytes currently held by the header cache.
    size_t cachedBytes() const;

private:
    struct DirectoryRecord
    {
        Entry entry;
        uint64_t nextOffset = 0;
    };

    explicit CCUnzipper(std::unique_ptr<QIODevice> device);
    static std::unique_ptr<CCUnzipper> initWithDevice(std::unique_ptr<QIODevice> device);
    bool locateDirectory();

    uint16_t shortWordFromFile(uint64_t offset);
    uint32_t wordFromFile(uint64_t offset);
    uint64_t longWordFromFile(uint64_t offset);
    std::optional<QByteArray> copyDataFromFile(uint64_t offset, uint64_t length);
    bool readDataFromFile(uint64_t offset, uint64_t length, char *buffer);
    const QByteArray *readFileBlock(uint64_t blockStart);
    // Reads straight from the file, bypassing the cache; for entry data.
    bool readUncached(uint64_t offset, qint64 length, char *buffer);
    std::optional<DirectoryRecord> copyDirectoryEntry(uint64_t offset);
    void ensureDirectoryExists();
    std::optional<QByteArray> inflateEntry(const Entry &entry, uint64_t dataStart);

    std::unique_ptr<QIODevice> m_fileHandle;
    std::unordered_map<uint64_t, QByteArray> m_fileBlocks;
    std::vector<Entry> m_directory;
    bool m_directoryBuilt = false;
    uint64_t m_fileLength = 0;
    uint64_t m_directoryStart = 0;
    uint64_t m_entryCount = 0;
};

// The last component of an entry name, safe to use as a file name inside a folder the
// caller chose: both slash kinds and drive colons separate components, and ".", ".."
// and names with control characters give the empty text. "../x.jpg" -> "x.jpg".
QString SafeLastPathComponent(const QString &name);
