#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// Property lists (info.plist, Cache.plist, website.plist, the built-in catalogue) as QVariant
// trees: QString, qlonglong, double, bool, QDateTime (UTC), QByteArray, QVariantList and
// QVariantMap. Both the XML and the binary form are read; XML is written. Dates keep whole
// seconds in XML. Damaged, oversized (above 64 MB) or too deeply nested input reads as none.

std::optional<QVariant> PropertyListFromData(const QByteArray &data);
std::optional<QVariantMap> PropertyListDictionaryFromData(const QByteArray &data);
std::optional<QVariant> ReadPropertyList(const QString &path);
// None as well when the root is not a dictionary.
std::optional<QVariantMap> ReadPropertyListDictionary(const QString &path);
// None as well when the root is not an array.
std::optional<QVariantList> PropertyListArrayFromData(const QByteArray &data);
std::optional<QVariantList> ReadPropertyListArray(const QString &path);

// The XML form; none when the tree holds a value a property list can't carry (null, another
// type, an integer above 2^63 - 1, a date more than 2^31 seconds from 2001 (before December
// 1932 or after January 2069), text XML forbids) or nests deeper than the read limit.
std::optional<QByteArray> PropertyListToXml(const QVariant &root);
// Writes the XML form atomically: the old file stays intact unless the new one is complete.
bool WritePropertyList(const QString &path, const QVariant &root);
