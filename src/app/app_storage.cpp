#include "app/app_storage.h"

#include "imaging/cc_image.h"
#include "imaging/image_save.h"
#include "model/puzzle_folder.h"
#include "support/helpers.h"
#include "support/log.h"
#include "support/paths.h"
#include "support/property_list.h"
#include "support/puzzle_keys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cerrno>

QString g_puzzlePath;
QString g_websiteFolderPath;
QString g_thumbnailCache;
QStringList g_imageFilePaths;
QVariantMap g_cacheMap;

namespace {

const QString kCacheFile = QStringLiteral("Cache.plist");

// A stored "guid" names a file in the cache folder and nothing else; the game only ever makes
// them of letters, digits, '-' and '_'.
bool isCacheGuid(const QString &guid)
{
    if (!IsPlainFileName(guid) || guid.size() > 200)
        return false;
    return std::all_of(guid.cbegin(), guid.cend(), [](QChar c) {
        return c.unicode() < 128 && (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_'));
    });
}

QString cachedFilePath(const QString &guid)
{
    return QDir(g_thumbnailCache).filePath(guid + QStringLiteral(".jpg"));
}

QString entryGuid(const QString &path)
{
    const QVariant entry = g_cacheMap.value(path);
    if (entry.typeId() != QMetaType::QVariantMap)
        return QString();
    const QString guid = stringForKey(entry.toMap(), kGuidKey);
    return isCacheGuid(guid) ? guid : QString();
}

// An error text fit for a log line: typographic quotes made straight.
QString Reason(QString text)
{
    text.replace(QChar(0x2019), QLatin1Char('\'')).replace(QChar(0x2018), QLatin1Char('\''));
    text.replace(QChar(0x201C), QLatin1Char('"')).replace(QChar(0x201D), QLatin1Char('"'));
    return text;
}

QString makeFolder(const QString &root, const QString &missingMessage)
{
    if (root.isEmpty()) {
        LogString(missingMessage);
        return QString();
    }
    return QDir(root).filePath(QStringLiteral("Wrenmoor/Jigsaw"));
}

}

bool SetUpStorageFolders()
{
    g_puzzlePath = makeFolder(PathForUserFolder(ApplicationSupportFolder),
                              QStringLiteral("Can't locate Application Support folder"));
    if (g_puzzlePath.isEmpty())
        return false;
    g_websiteFolderPath = QDir(g_puzzlePath).filePath(QStringLiteral("!Website Thumbnails"));
    if (!QFileInfo(g_websiteFolderPath).isDir() && !QDir().mkpath(g_websiteFolderPath)) {
        LogString(
            QStringLiteral("Can't create support folder %1: %2").arg(g_puzzlePath, Reason(qt_error_string(errno))));
        return false;
    }
    g_thumbnailCache = makeFolder(PathForUserFolder(CachesFolder), QStringLiteral("Can't locate cache folder"));
    if (g_thumbnailCache.isEmpty())
        return false;
    return QFileInfo(g_thumbnailCache).isDir() || QDir().mkpath(g_thumbnailCache);
}

void LoadCacheMap()
{
    g_cacheMap.clear();
    const QString path = QDir(g_puzzlePath).filePath(kCacheFile);
    if (!QFileInfo::exists(path))
        return;
    if (std::optional<QVariantMap> map = ReadPropertyListDictionary(path))
        g_cacheMap = *map;
}

void SaveCacheMap()
{
    const QString path = QDir(g_puzzlePath).filePath(kCacheFile);
    if (g_cacheMap.isEmpty()) {
        QFile::remove(path);
        return;
    }
    if (!WritePropertyList(path, g_cacheMap))
        LogString(QStringLiteral("Can't write %1").arg(path));
}

QImage CachedImageForFile(const QString &path, QSize *size)
{
    const QString guid = entryGuid(path);
    if (guid.isEmpty())
        return QImage();
    QImageReader reader(cachedFilePath(guid));
    reader.setAllocationLimit(16);
    QImage thumb = reader.read();
    if (thumb.isNull())
        return QImage();
    if (size)
        *size = SizeFromString(stringForKey(g_cacheMap.value(path).toMap(), kSizeKey));
    return thumb;
}

QImage CacheThumbnailForFile(const QString &path, QSize *size, QString *error)
{
    const QString unreadable = QStringLiteral("I couldn't load an image from \"%1\".").arg(QFileInfo(path).fileName());
    const QSize declared = DeclaredPictureSize(path);
    // The thumbnail only needs a small decode; the size rule uses the declared size.
    const QImage picture = declared.isEmpty() ? QImage() : LoadPictureFitting(path, 400);
    if (picture.isNull()) {
        if (error)
            *error = unreadable;
        return QImage();
    }
    std::unique_ptr<CCImage> image = CCImage::initWithCGImage(picture);
    const QString temporary = image ? ResizeImageAndSaveToJPEG(image.get()) : QString();
    QString cached;
    if (temporary.isEmpty()) {
        LogString(QStringLiteral("Can't create thumbnail"));
    } else {
        cached = cachedFilePath(QFileInfo(temporary).completeBaseName());
        QFile moving(temporary);
        if (!moving.rename(cached)) {
            LogString(QStringLiteral("Can't move thumbnail from %1 to %2; %3")
                          .arg(temporary, cached, Reason(moving.errorString())));
            QFile::remove(temporary);
            cached.clear();
        }
    }
    const QImage thumb = cached.isEmpty() ? QImage() : QImage(cached);
    if (thumb.isNull()) {
        if (error)
            *error = unreadable;
        return QImage();
    }
    g_cacheMap.insert(
        path, QVariantMap{{kGuidKey, QFileInfo(cached).completeBaseName()}, {kSizeKey, StringFromSize(declared)}});
    if (size)
        *size = declared;
    return thumb;
}

void ClearCachedThumbnails(const QStringList &paths)
{
    for (const QString &path : paths) {
        const QString guid = entryGuid(path);
        if (!guid.isEmpty())
            QFile::remove(cachedFilePath(guid));
        g_cacheMap.remove(path);
    }
}

// Only a puzzle folder of the game's own is ever removed, never whatever a damaged path names.
bool DeletePuzzleFolder(const QString &path)
{
    const QFileInfo info(path);
    const bool inLibrary =
        g_puzzlePath.isEmpty() || info.absoluteDir().canonicalPath() == QFileInfo(g_puzzlePath).canonicalFilePath();
    if (info.suffix().compare(QLatin1String("WMjigsaw"), Qt::CaseInsensitive) != 0 || !info.isDir() || info.isSymLink()
        || !inLibrary) {
        LogString(QStringLiteral("Not deleting %1: not a puzzle folder").arg(path));
        return false;
    }
    return QDir(path).removeRecursively();
}
