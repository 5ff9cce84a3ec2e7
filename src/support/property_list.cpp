#include "support/property_list.h"

#include "support/property_list_check.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>

namespace {

// Property-list dates count seconds from 2001-01-01 00:00:00 UTC.
constexpr qint64 kReferenceDateMSecs = 978307200000;

struct PlistDeleter
{
    void operator()(void *node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

std::optional<QVariant> toVariant(plist_t node, int depth);

std::optional<QVariant> arrayToVariant(plist_t node, int depth)
{
    QVariantList list;
    const uint32_t count = plist_array_get_size(node);
    list.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        std::optional<QVariant> item = toVariant(plist_array_get_item(node, i), depth + 1);
        if (!item)
            return std::nullopt;
        list.append(std::move(*item));
    }
    return QVariant(list);
}

std::optional<QVariant> dictToVariant(plist_t node, int depth)
{
    QVariantMap map;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(node, &iterator);
    if (!iterator)
        return std::nullopt;
    bool ok = true;
    for (;;) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iterator, &key, &value);
        if (!value) {
            std::free(key);
            break;
        }
        std::optional<QVariant> item = key ? toVariant(value, depth + 1) : std::nullopt;
        if (item)
            map.insert(QString::fromUtf8(key), std::move(*item));
        std::free(key);
        if (!item) {
            ok = false;
            break;
        }
    }
    std::free(iterator);
    return ok ? std::optional<QVariant>(QVariant(map)) : std::nullopt;
}

std::optional<QVariant> toVariant(plist_t node, int depth)
{
    if (!node || depth > kMaxPropertyListDepth)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return QVariant(value != 0);
    }
    case PLIST_UINT: {
        // libplist keeps signed values in two's complement.
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return QVariant(qlonglong(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return QVariant(value);
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        return QVariant(text ? QString::fromUtf8(text, qsizetype(length)) : QString());
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        const qint64 msecs = qint64(seconds) * 1000 + microseconds / 1000 + kReferenceDateMSecs;
        return QVariant(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC));
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char *bytes = plist_get_data_ptr(node, &length);
        return QVariant(bytes ? QByteArray(bytes, qsizetype(length)) : QByteArray());
    }
    case PLIST_ARRAY:
        return arrayToVariant(node, depth);
    case PLIST_DICT:
        return dictToVariant(node, depth);
    default:
        return std::nullopt;
    }
}

// Characters XML 1.0 can carry; anything else would make a file no reader accepts.
bool isXmlSafe(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
            return false;
        if (c == 0xFFFE || c == 0xFFFF)
            return false;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= text.size() || !QChar::isLowSurrogate(text.at(i + 1).unicode()))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return false;
        }
    }
    return true;
}

plist_t fromVariant(const QVariant &value, int depth);

plist_t fromList(const QVariantList &list, int depth)
{
    PlistPtr array(plist_new_array());
    for (const QVariant &item : list) {
        plist_t child = fromVariant(item, depth + 1);
        if (!child)
            return nullptr;
        plist_array_append_item(array.get(), child);
    }
    return array.release();
}

template <typename Map> plist_t fromMap(const Map &map, int depth)
{
    PlistPtr dict(plist_new_dict());
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (!isXmlSafe(it.key()))
            return nullptr;
        plist_t child = fromVariant(it.value(), depth + 1);
        if (!child)
            return nullptr;
        plist_dict_set_item(dict.get(), it.key().toUtf8().constData(), child);
    }
    return dict.release();
}

plist_t fromString(const QString &text)
{
    return isXmlSafe(text) ? plist_new_string(text.toUtf8().constData()) : nullptr;
}

plist_t fromDate(const QDateTime &date)
{
    if (!date.isValid())
        return nullptr;
    const qint64 msecs = date.toMSecsSinceEpoch() - kReferenceDateMSecs;
    const qint64 seconds = msecs >= 0 ? msecs / 1000 : -((-msecs + 999) / 1000);
    if (seconds < std::numeric_limits<int32_t>::min() || seconds > std::numeric_limits<int32_t>::max())
        return nullptr;
    return plist_new_date(int32_t(seconds), int32_t((msecs - seconds * 1000) * 1000));
}

plist_t fromVariant(const QVariant &value, int depth)
{
    if (depth > kMaxPropertyListDepth)
        return nullptr;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::SChar:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong number = value.toULongLong();
        // libplist would write anything above the signed range as a negative number.
        if (number > qulonglong(std::numeric_limits<qint64>::max()))
            return nullptr;
        return plist_new_uint(number);
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QString:
        return fromString(value.toString());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), uint64_t(bytes.size()));
    }
    case QMetaType::QDateTime:
        return fromDate(value.toDateTime());
    case QMetaType::QStringList:
    case QMetaType::QVariantList:
        return fromList(value.toList(), depth);
    case QMetaType::QVariantMap:
        return fromMap(value.toMap(), depth);
    case QMetaType::QVariantHash:
        return fromMap(value.toHash(), depth);
    default:
        return nullptr;
    }
}

}

std::optional<QVariant> PropertyListFromData(const QByteArray &data)
{
    if (data.size() > kMaxPropertyListSize || data.size() > std::numeric_limits<uint32_t>::max())
        return std::nullopt;
    if (!PropertyListInputIsSafe(data.constData(), size_t(data.size())))
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(data.constData(), uint32_t(data.size()), &root);
    if (!root)
        return std::nullopt;
    const PlistPtr owner(root);
    return toVariant(root, 0);
}

std::optional<QVariantMap> PropertyListDictionaryFromData(const QByteArray &data)
{
    const std::optional<QVariant> root = PropertyListFromData(data);
    if (!root || root->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return root->toMap();
}

std::optional<QVariant> ReadPropertyList(const QString &path)
{
    // Only regular files: a pipe or device would block or never end.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxPropertyListSize)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // read() sets aside as much as it is asked for, so ask for what the file holds.
    const QByteArray data = file.read(std::min<qint64>(file.size(), kMaxPropertyListSize) + 1);
    if (data.size() > kMaxPropertyListSize)
        return std::nullopt;
    return PropertyListFromData(data);
}

std::optional<QVariantMap> ReadPropertyListDictionary(const QString &path)
{
    const std::optional<QVariant> root = ReadPropertyList(path);
    if (!root || root->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return root->toMap();
}

std::optional<QVariantList> PropertyListArrayFromData(const QByteArray &data)
{
    const std::optional<QVariant> root = PropertyListFromData(data);
    if (!root || root->typeId() != QMetaType::QVariantList)
        return std::nullopt;
    return root->toList();
}

std::optional<QVariantList> ReadPropertyListArray(const QString &path)
{
    const std::optional<QVariant> root = ReadPropertyList(path);
    if (!root || root->typeId() != QMetaType::QVariantList)
        return std::nullopt;
    return root->toList();
}

std::optional<QByteArray> PropertyListToXml(const QVariant &root)
{
    const PlistPtr node(fromVariant(root, 0));
    if (!node)
        return std::nullopt;
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node.get(), &xml, &length);
    if (!xml)
        return std::nullopt;
    QByteArray result(xml, qsizetype(length));
    plist_to_xml_free(xml);
    return result;
}

bool WritePropertyList(const QString &path, const QVariant &root)
{
    const std::optional<QByteArray> xml = PropertyListToXml(root);
    if (!xml)
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(*xml) != xml->size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
