#pragma once

#include <QSettings>
#include <QSize>
#include <QString>
#include <QVariantMap>

#include <cstdint>

// year * 10000 + month * 100 + day of the current local date.
int32_t DayIndexForToday();

// A new UUID as 32 upper-case hexadecimal digits in groups 8-4-4-4-12.
QString guidString();

// path + "/" + file, then "." + extension unless the extension is empty.
QString stringByAppendingFile(const QString &path, const QString &file, const QString &extension);
// path without its extension, then "." + extension unless the extension is empty.
QString stringByReplacingExtension(const QString &path, const QString &extension);
// The last path component without its extension.
QString fileNameMinusExtension(const QString &path);
// The path's extension without the dot; empty when there is none.
QString pathExtension(const QString &path);
// Removes the last path component's extension.
QString stringByDeletingPathExtension(const QString &path);

bool isFuzzyEqualToString(const QString &a, const QString *b);
bool isFuzzyEqualToString(const QString &a, const QString &b);
bool hasFuzzyPrefix(const QString &text, const QString &prefix);

QString numberString(int value);
QString longNumberString(long long value);

// Lenient dictionary readers: an absent or unreadable value reads as false, 0 or 0.0.
bool boolForKey(const QVariantMap &dict, const QString &key);
long long integerForKey(const QVariantMap &dict, const QString &key);
double floatForKey(const QVariantMap &dict, const QString &key);
QString stringForKey(const QVariantMap &dict, const QString &key);
// As boolForKey, but an absent key reads as true.
bool defaultYesBoolForKey(const QVariantMap &dict, const QString &key);
bool defaultYesBoolForKey(const QSettings &settings, const QString &key);

// Removes a file or a whole folder, ignoring errors.
void removeItemAtPath(const QString &path);

// A pixel size as stored in catalogues and info.plist: "{W, H}".
QString StringFromSize(QSize size);
// The size in such a text; an empty size when the text holds no two sane numbers.
QSize SizeFromString(const QString &text);
