#include "support/helpers.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

int32_t DayIndexForToday()
{
    const QDate today = QDate::currentDate();
    return today.year() * 10000 + today.month() * 100 + today.day();
}

QString guidString()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString stringByAppendingFile(const QString &path, const QString &file, const QString &extension)
{
    QString result = path;
    if (!result.isEmpty() && !result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    result += file;
    if (!extension.isEmpty())
        result += QLatin1Char('.') + extension;
    return result;
}

QString pathExtension(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    // A leading dot names a hidden file, not an extension.
    if (dot <= slash + 1 || dot == path.size() - 1)
        return QString();
    return path.mid(dot + 1);
}

QString stringByDeletingPathExtension(const QString &path)
{
    const QString extension = pathExtension(path);
    return extension.isEmpty() ? path : path.left(path.size() - extension.size() - 1);
}

QString stringByReplacingExtension(const QString &path, const QString &extension)
{
    const QString base = stringByDeletingPathExtension(path);
    return extension.isEmpty() ? base : base + QLatin1Char('.') + extension;
}

QString fileNameMinusExtension(const QString &path)
{
    QString last = path;
    while (last.endsWith(QLatin1Char('/')) && last.size() > 1)
        last.chop(1);
    last = last.mid(last.lastIndexOf(QLatin1Char('/')) + 1);
    return stringByDeletingPathExtension(last);
}

bool isFuzzyEqualToString(const QString &a, const QString *b)
{
    return b && a.compare(*b, Qt::CaseInsensitive) == 0;
}

bool isFuzzyEqualToString(const QString &a, const QString &b)
{
    return isFuzzyEqualToString(a, &b);
}

bool hasFuzzyPrefix(const QString &text, const QString &prefix)
{
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

QString numberString(int value)
{
    return QString::number(value);
}

QString longNumberString(long long value)
{
    return QString::number(value);
}

namespace {

// Reads a value leniently: numbers, booleans and numeric strings all count; anything
// else (lists, dictionaries, garbage) reads as absent.
bool readBool(const QVariant &value, bool fallback)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong() != 0;
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble() != 0.0;
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0
            || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0
            || text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
        bool ok = false;
        const long long number = text.toLongLong(&ok);
        return ok ? number != 0 : fallback;
    }
    default:
        return fallback;
    }
}

}

bool boolForKey(const QVariantMap &dict, const QString &key)
{
    return readBool(dict.value(key), false);
}

bool defaultYesBoolForKey(const QVariantMap &dict, const QString &key)
{
    return readBool(dict.value(key), true);
}

bool defaultYesBoolForKey(const QSettings &settings, const QString &key)
{
    return readBool(settings.value(key), true);
}

long long integerForKey(const QVariantMap &dict, const QString &key)
{
    const QVariant value = dict.value(key);
    bool ok = false;
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
        const double d = value.toDouble();
        if (!(d > -9.2e18 && d < 9.2e18))
            return 0;
        return static_cast<long long>(d);
    }
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    const long long result = value.toLongLong(&ok);
    if (ok)
        return result;
    if (value.typeId() == QMetaType::QString) {
        const double d = value.toString().trimmed().toDouble(&ok);
        if (ok && d > -9.2e18 && d < 9.2e18)
            return static_cast<long long>(d);
    }
    return 0;
}

double floatForKey(const QVariantMap &dict, const QString &key)
{
    const QVariant value = dict.value(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1.0 : 0.0;
    bool ok = false;
    const double result =
        value.typeId() == QMetaType::QString ? value.toString().trimmed().toDouble(&ok) : value.toDouble(&ok);
    return ok ? result : 0.0;
}

QString stringForKey(const QVariantMap &dict, const QString &key)
{
    const QVariant value = dict.value(key);
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return QString();
}

void removeItemAtPath(const QString &path)
{
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

QString StringFromSize(QSize size)
{
    return QStringLiteral("{%1, %2}").arg(size.width()).arg(size.height());
}

QSize SizeFromString(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*\\{\\s*(\\d{1,9})(?:\\.\\d*)?\\s*,\\s*(\\d{1,9})(?:\\.\\d*)?\\s*\\}\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return QSize();
    return QSize(match.captured(1).toInt(), match.captured(2).toInt());
}
