#pragma once

// The website catalogue ("website.plist"): a property-list array of one dictionary per
// picture plus one text, the base name of the current thumbnail archive. Kept to inline
// functions over the support library so the fuzz target needs nothing else.

#include "support/paths.h"
#include "support/property_list.h"
#include "support/puzzle_keys.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>

struct WebsiteCatalogue
{
    QList<QVariantMap> pictures; // in catalogue order
    QString archiveName; // empty when the catalogue names none
};

// A picture entry is usable when "file" is a plain file name and "cat" (when present and not
// empty) a plain folder name, so neither can reach outside the folders they are joined to, and
// the label and size keys that are present are texts.
inline bool IsUsableWebsitePicture(const QVariantMap &entry)
{
    const auto isText = [&entry](const QString &key) { return entry.value(key).typeId() == QMetaType::QString; };
    if (!isText(kFileKey) || !IsPlainFileName(entry.value(kFileKey).toString()))
        return false;
    if (entry.contains(kCatKey)) {
        const QString cat = entry.value(kCatKey).toString();
        if (!isText(kCatKey) || (!cat.isEmpty() && !IsPlainFileName(cat)))
            return false;
    }
    for (const QString &key : {kNameKey, kDescKey, kSizeKey}) {
        if (entry.contains(key) && !isText(key))
            return false;
    }
    return true;
}

// The catalogue in the elements: dictionaries that aren't usable pictures and elements of any
// other type are dropped; with several texts the first one names the archive.
inline WebsiteCatalogue WebsiteCatalogueFromList(const QVariantList &elements)
{
    WebsiteCatalogue catalogue;
    for (qsizetype i = elements.size() - 1; i >= 0; --i) {
        const QVariant &element = elements[i];
        if (element.typeId() == QMetaType::QString) {
            if (!element.toString().isEmpty())
                catalogue.archiveName = element.toString();
        } else if (element.typeId() == QMetaType::QVariantMap) {
            const QVariantMap entry = element.toMap();
            if (IsUsableWebsitePicture(entry))
                catalogue.pictures.prepend(entry);
        }
    }
    return catalogue;
}

// None when the data isn't a property-list array.
inline std::optional<WebsiteCatalogue> WebsiteCatalogueFromData(const QByteArray &data)
{
    const std::optional<QVariantList> elements = PropertyListArrayFromData(data);
    if (!elements)
        return std::nullopt;
    return WebsiteCatalogueFromList(*elements);
}

inline std::optional<WebsiteCatalogue> ReadWebsiteCatalogue(const QString &path)
{
    const std::optional<QVariantList> elements = ReadPropertyListArray(path);
    if (!elements)
        return std::nullopt;
    return WebsiteCatalogueFromList(*elements);
}

// The name of a picture's thumbnail in the archive and in the thumbnail folder.
inline QString WebsiteThumbnailName(const QString &file)
{
    return file + QStringLiteral("_thumb.jpg");
}
