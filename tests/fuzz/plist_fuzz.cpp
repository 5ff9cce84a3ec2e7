// Feeds arbitrary bytes to the property-list reader. Whatever reads must also write, and the
// written XML must read back to the same tree (dates to the second, which is all XML keeps).
#include "support/property_list.h"

#include <QDateTime>

#include <cmath>
#include <cstdint>
#include <cstdlib>
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
        if (left.keys() != right.keys())
            return false;
        for (auto it = left.cbegin(); it != left.cend(); ++it) {
            if (!sameTree(it.value(), right.value(it.key())))
                return false;
        }
        return true;
    }
    case QMetaType::QVariantList: {
        const QVariantList left = a.toList();
        const QVariantList right = b.toList();
        if (left.size() != right.size())
            return false;
        for (qsizetype i = 0; i < left.size(); ++i) {
            if (!sameTree(left[i], right[i]))
                return false;
        }
        return true;
    }
    case QMetaType::Double: {
        const double left = a.toDouble();
        const double right = b.toDouble();
        return left == right || (std::isnan(left) && std::isnan(right));
    }
    case QMetaType::QDateTime: {
        const qint64 left = a.toDateTime().toMSecsSinceEpoch();
        const qint64 right = b.toDateTime().toMSecsSinceEpoch();
        return std::llabs(left - right) < 1000;
    }
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
        if (m_mapping == MAP_FAILED)
            std::abort();
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
    if (!again || !sameTree(*read, *again))
        std::abort();
    return 0;
}
