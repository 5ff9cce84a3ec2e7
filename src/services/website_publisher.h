#pragma once

#include <QString>
#include <QStringList>

// The maker's side of the website puzzles: turns a folder of pictures sorted into category
// folders into a folder ready to be served as the web server's root:
//   puzzles/website.plist      the catalogue
//   puzzles/NAME.zip           "FILE_thumb.jpg" thumbnails fitting 200 x 200
//   puzzles/CAT/FILE.jpg       the pictures, at most 2000 pixels on the long side
//   downloads/index.html, news/index.html   placeholders, written only when missing

// The category folder names the game knows, in its order.
QStringList WebsiteCategoryNames();

// "red_panda-2" -> "Red Panda 2": separators become blanks, each word starts in capitals.
QString PrettyPictureName(const QString &fileBase);

struct WebsitePublishResult
{
    bool ok = false;
    QString error; // why nothing usable was published
    int pictures = 0;
    QString archiveName; // without ".zip"
    QStringList warnings; // pictures left out, and why
};

// archiveName empty: "thumbnails-" and a digest of the thumbnails, so the game fetches the
// archive again whenever a thumbnail changes. The catalogue is written last, so a client never
// sees one that names files not yet in place.
WebsitePublishResult PublishWebsite(const QString &sourceFolder, const QString &serverFolder,
                                    const QString &archiveName = QString());
