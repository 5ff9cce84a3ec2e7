#include "imaging/image_decode.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <mutex>
#include <optional>
#include <set>

namespace {

// Bytes a decoder may need per pixel: 16-bit-per-channel pictures decode to 64-bit pixels.
constexpr qint64 kBytesPerPixelBudget = 8;

// Qt's allocation limit is one process-wide number. Each decode that needs more holds a lease
// for its need; the limit is the largest need among the decodes in progress, or Qt's default.
class AllocationLease
{
public:
    explicit AllocationLease(QSize declared)
    {
        const qint64 bytes = qint64(declared.width()) * declared.height() * kBytesPerPixelBudget;
        m_megabytes = int(bytes / (1024 * 1024)) + 1;
        std::lock_guard lock(mutex());
        if (leases().empty())
            defaultLimit() = QImageReader::allocationLimit();
        m_entry = leases().insert(m_megabytes);
        apply();
    }
    ~AllocationLease()
    {
        std::lock_guard lock(mutex());
        leases().erase(m_entry);
        apply();
    }
    AllocationLease(const AllocationLease &) = delete;
    AllocationLease &operator=(const AllocationLease &) = delete;

private:
    static std::mutex &mutex()
    {
        static std::mutex instance;
        return instance;
    }
    static std::multiset<int> &leases()
    {
        static std::multiset<int> instance;
        return instance;
    }
    static int &defaultLimit()
    {
        static int instance = 0;
        return instance;
    }
    static void apply()
    {
        const int base = defaultLimit();
        const int needed = leases().empty() ? base : std::max(base, *leases().rbegin());
        QImageReader::setAllocationLimit(needed);
    }

    int m_megabytes = 0;
    std::multiset<int>::iterator m_entry;
};

bool isStandaloneMarker(uint8_t marker)
{
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

}

bool IsCompleteJpeg(const QByteArray &data)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(data.constData());
    const qsizetype size = data.size();
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return false;
    qsizetype i = 2;
    for (;;) {
        // Stray bytes between segments are skipped, as the decoder does.
        while (i < size && bytes[i] != 0xFF)
            ++i;
        while (i < size && bytes[i] == 0xFF)
            ++i;
        if (i >= size)
            return false;
        const uint8_t marker = bytes[i++];
        if (marker == 0xD9)
            return true;
        if (marker == 0x00 || isStandaloneMarker(marker))
            continue;
        if (i + 2 > size)
            return false;
        const int length = (bytes[i] << 8) | bytes[i + 1];
        if (length < 2 || i + length > size)
            return false;
        i += length;
        if (marker != 0xDA)
            continue;
        // Entropy-coded data: 0xFF is followed by a stuffed zero or a restart marker until the
        // next real marker.
        for (;;) {
            while (i < size && bytes[i] != 0xFF)
                ++i;
            qsizetype j = i;
            while (j < size && bytes[j] == 0xFF)
                ++j;
            if (j >= size)
                return false;
            const uint8_t next = bytes[j];
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
                i = j + 1;
                continue;
            }
            i = j - 1;
            break;
        }
    }
}

QByteArray ReadImageFileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const qint64 size = file.size();
    if (size <= 0 || size > kMaxImageFileBytes)
        return QByteArray();
    QByteArray bytes = file.read(size);
    return bytes.size() == size ? bytes : QByteArray();
}

std::vector<QImage> DecodeImageRepresentations(const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    if (format.isEmpty())
        return {};
    if (format == "jpeg" && !IsCompleteJpeg(data))
        return {};

    // An animation's frames are one picture over time, not sizes of it.
    const int count = reader.supportsAnimation() ? 1 : std::clamp(reader.imageCount(), 1, kMaxRepresentations);
    std::vector<QImage> representations;
    for (int index = 0; index < count; ++index) {
        if (index > 0 && !reader.jumpToImage(index) && !reader.jumpToNextImage())
            break;
        const QSize declared = reader.size();
        const bool known = declared.isValid() && !declared.isEmpty();
        if (known && qint64(declared.width()) * declared.height() > kMaxImagePixels)
            break;
        std::optional<AllocationLease> lease;
        if (known)
            lease.emplace(declared);
        QImage image = reader.read();
        if (image.isNull() || qint64(image.width()) * image.height() > kMaxImagePixels)
            break;
        representations.push_back(std::move(image));
    }
    return representations;
}
