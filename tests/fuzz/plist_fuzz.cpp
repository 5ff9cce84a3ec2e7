// Feeds arbitrary bytes to the property-list reader. Whatever reads must also write, and the
// written XML must read back to the same tree (dates to the second, which is all XML keeps).
#include "support/property_list.h"

#include "fuzz_support.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

bool sameTree(const QVariant &a, const QVariant &b)
{
    if (a.typeId() != b.typeId())
        return false;
    switch (a.typeId()) {
    case QMetaType::QVariantMap: {
        const QVariantMap left = a.toMap();
        const QVariantMap right = b.toMap();
        return left.keys() == right.keys() && std::equal(left.cbegin(), left.cend(), right.cbegin(), sameTree);
    }
    case QMetaType::QVariantList: {
        const QVariantList left = a.toList();
        const QVariantList right = b.toList();
        return std::equal(left.cbegin(), left.cend(), right.cbegin(), right.cend(), sameTree);
    }
    case QMetaType::Double:
        return a.toDouble() == b.toDouble() || (std::isnan(a.toDouble()) && std::isnan(b.toDouble()));
    case QMetaType::QDateTime:
        return std::llabs(a.toDateTime().toMSecsSinceEpoch() - b.toDateTime().toMSecsSinceEpoch()) < 1000;
    default:
        return a == b;
    }
}

// The input placed flush against an inaccessible page, so a read past its end faults even in
// libplist, which is not built with the sanitizers.
class GuardedCopy
{
public:
    GuardedCopy(const uint8_t *data, size_t size)
    {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        m_length = (size + page - 1) / page * page + page;
        m_mapping =
            static_cast<uint8_t *>(mmap(nullptr, m_length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        FUZZ_CHECK(m_mapping != MAP_FAILED);
        mprotect(m_mapping + m_length - page, page, PROT_NONE);
        m_bytes = m_mapping + m_length - page - size;
        if (size)
            std::memcpy(m_bytes, data, size);
    }
    ~GuardedCopy() { munmap(m_mapping, m_length); }
    GuardedCopy(const GuardedCopy &) = delete;
    GuardedCopy &operator=(const GuardedCopy &) = delete;

    const char *bytes() const { return reinterpret_cast<const char *>(m_bytes); }

private:
    uint8_t *m_mapping = nullptr;
    uint8_t *m_bytes = nullptr;
    size_t m_length = 0;
};

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const GuardedCopy copy(data, size);
    const std::optional<QVariant> read = PropertyListFromData(QByteArray::fromRawData(copy.bytes(), qsizetype(size)));
    if (!read)
        return 0;
    const std::optional<QByteArray> xml = PropertyListToXml(*read);
    if (!xml)
        return 0;
    const std::optional<QVariant> again = PropertyListFromData(*xml);
    FUZZ_CHECK(again && sameTree(*read, *again));
    return 0;
}
