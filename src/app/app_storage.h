#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// Where the game keeps its files; set once at start-up by the application controller.
extern QString g_puzzlePath; // one folder per puzzle, "Cache.plist", "website.plist"
extern QString g_websiteFolderPath; // "!Website Thumbnails" in g_puzzlePath
extern QString g_thumbnailCache; // thumbnails of the player's own pictures
// The player's own picture files offered by the new-puzzle dialog.
extern QStringList g_imageFilePaths;
// Picture path -> {"guid": thumbnail file name in g_thumbnailCache without ".jpg", "size": "{W, H}"}.
extern QVariantMap g_cacheMap;

// Finds or makes the storage folders and sets the paths above; false (after logging why) when
// the game can't run without them.
bool SetUpStorageFolders();

// Reads "Cache.plist" of g_puzzlePath into g_cacheMap; a missing or damaged file gives an
// empty map.
void LoadCacheMap();
// Writes g_cacheMap to "Cache.plist" when it has entries, otherwise removes the file.
void SaveCacheMap();

// The cached thumbnail of a picture file and the picture's size, or a null image on a miss.
// An entry whose "guid" isn't a plain file name is a miss.
QImage CachedImageForFile(const QString &path, QSize *size);

// Makes the thumbnail of a picture file in the cache and records it. A null image and an
// error (the dialog's message) when the picture can't be read.
QImage CacheThumbnailForFile(const QString &path, QSize *size, QString *error);

// Deletes the cached thumbnails of the given pictures and their entries. Only plain file names
// inside g_thumbnailCache are ever deleted.
void ClearCachedThumbnails(const QStringList &paths);

// Deletes a puzzle folder of the library. Anything else a damaged path might name (a folder
// outside g_puzzlePath, a link, a folder without the "WMjigsaw" extension) is left alone.
bool DeletePuzzleFolder(const QString &path);
