#include "services/website_publisher.h"

#include "services/website_catalogue.h"
#include "services/zip_writer.h"
#include "support/helpers.h"
#include "support/property_list.h"
#include "support/puzzle_keys.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

#include <set>

namespace {

// The game scales pictures to this anyway when it makes a puzzle; more is wasted download.
constexpr int kMaxPictureSide = 2000;
constexpr int kThumbnailSide = 200;
constexpr int kPictureQuality = 90;
constexpr int kThumbnailQuality = 85;
// The new-puzzle dialog offers a picture only when it holds this many squares of 64 pixels.
constexpr int kSquareSide = 64;
constexpr int kMinimumSquares = 50;
constexpr qint64 kMaxDescriptionBytes = 4096;

const QStringList kPictureExtensions = {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png")};

const char kDownloadsPage[] = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Downloads</title></head>\n"
                              "<body><p>No downloads yet.</p></body></html>\n";
const char kNewsPage[] = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Wrenmoor news</title></head>\n"
                         "<body><p>No news yet.</p></body></html>\n";

// Opaque, so transparent parts of a PNG come out white rather than black in the JPEG.
QImage flattened(const QImage &image)
{
    QImage result(image.size(), QImage::Format_RGB32);
    result.fill(Qt::white);
    QPainter painter(&result);
    painter.drawImage(0, 0, image);
    return result;
}

QImage fitted(const QImage &image, int side)
{
    if (image.width() <= side && image.height() <= side)
        return image;
    return image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

std::optional<QByteArray> jpegData(const QImage &image, int quality)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(image))
        return std::nullopt;
    return data;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

// A file name the game accepts as a catalogue "file": no separators, no leading dot.
QString plainFileBase(QString base)
{
    for (QChar &c : base) {
        if (c == QLatin1Char('\\') || c == QLatin1Char(':') || c == QLatin1Char('/') || c.unicode() < 0x20)
            c = QLatin1Char('-');
    }
    while (base.startsWith(QLatin1Char('.')))
        base.remove(0, 1);
    return base.isEmpty() ? QStringLiteral("picture") : base;
}

QString descriptionFor(const QString &textPath)
{
    QFile file(textPath);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.read(kMaxDescriptionBytes)).simplified();
}

struct Published
{
    QVariantMap entry;
    QByteArray thumbnail;
};

std::optional<Published> publishPicture(const QString &sourcePath, const QString &category, const QString &fileBase,
                                        const QString &serverCategoryFolder, QStringList &warnings)
{
    QImageReader reader(sourcePath);
    reader.setAutoTransform(true);
    const QImage source = reader.read();
    if (source.isNull()) {
        warnings << QStringLiteral("%1: can't be read (%2)").arg(sourcePath, reader.errorString());
        return std::nullopt;
    }
    const QImage picture = flattened(fitted(source, kMaxPictureSide));
    if ((picture.width() / kSquareSide) * (picture.height() / kSquareSide) < kMinimumSquares) {
        warnings << QStringLiteral("%1: too small for a puzzle").arg(sourcePath);
        return std::nullopt;
    }
    const std::optional<QByteArray> pictureData = jpegData(picture, kPictureQuality);
    const std::optional<QByteArray> thumbnail = jpegData(fitted(picture, kThumbnailSide), kThumbnailQuality);
    const QString target = QDir(serverCategoryFolder).filePath(fileBase + QStringLiteral(".jpg"));
    if (!pictureData || !thumbnail || !writeFile(target, *pictureData)) {
        warnings << QStringLiteral("%1: can't write \"%2\"").arg(sourcePath, target);
        return std::nullopt;
    }
    const QFileInfo info(sourcePath);
    Published published;
    published.entry = {
        {kFileKey, fileBase},
        {kNameKey, PrettyPictureName(info.completeBaseName())},
        {kDescKey, descriptionFor(info.dir().filePath(info.completeBaseName() + QStringLiteral(".txt")))},
        {kCatKey, category},
        {kSizeKey, QStringLiteral("{%1, %2}").arg(picture.width()).arg(picture.height())},
    };
    published.thumbnail = *thumbnail;
    return published;
}

void removeFiles(const QDir &folder, const QString &extension)
{
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (pathExtension(name) == extension)
            QFile::remove(folder.filePath(name));
    }
}

bool writePlaceholder(const QString &folder, const char *page)
{
    const QString path = QDir(folder).filePath(QStringLiteral("index.html"));
    return QFileInfo::exists(path) || writeFile(path, QByteArray(page));
}

}

QStringList WebsiteCategoryNames()
{
    return {QStringLiteral("Animals"),   QStringLiteral("Flowers"), QStringLiteral("Manmade"),
            QStringLiteral("Mountains"), QStringLiteral("Nature"),  QStringLiteral("Pets"),
            QStringLiteral("Tropical")};
}

QString PrettyPictureName(const QString &fileBase)
{
    QString text = fileBase;
    text.replace(QLatin1Char('_'), QLatin1Char(' ')).replace(QLatin1Char('-'), QLatin1Char(' '));
    QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString &word : words)
        word[0] = word[0].toUpper();
    return words.join(QLatin1Char(' '));
}

WebsitePublishResult PublishWebsite(const QString &sourceFolder, const QString &serverFolder,
                                    const QString &archiveName)
{
    WebsitePublishResult result;
    if (!archiveName.isEmpty()
        && (plainFileBase(archiveName) != archiveName || archiveName.endsWith(QLatin1String(".zip")))) {
        result.error = QStringLiteral("The archive name \"%1\" must be a plain name without \".zip\"").arg(archiveName);
        return result;
    }
    if (!QFileInfo(sourceFolder).isDir()) {
        result.error = QStringLiteral("\"%1\" is not a folder").arg(sourceFolder);
        return result;
    }
    const QDir server(serverFolder);
    const QString puzzles = server.filePath(QStringLiteral("puzzles"));
    if (!QDir().mkpath(puzzles) || !QDir().mkpath(server.filePath(QStringLiteral("downloads")))
        || !QDir().mkpath(server.filePath(QStringLiteral("news")))) {
        result.error = QStringLiteral("Can't create the folders in \"%1\"").arg(serverFolder);
        return result;
    }

    QVariantList catalogue;
    QList<std::pair<QString, QByteArray>> thumbnails;
    std::set<QString> usedBases; // thumbnails share one folder, so file names must differ
    QCryptographicHash digest(QCryptographicHash::Sha1);
    for (const QString &category : WebsiteCategoryNames()) {
        const QDir source(QDir(sourceFolder).filePath(category));
        if (!source.exists())
            continue;
        const QString target = QDir(puzzles).filePath(category);
        if (!QDir().mkpath(target)) {
            result.warnings << QStringLiteral("Can't create \"%1\"").arg(target);
            continue;
        }
        removeFiles(QDir(target), QStringLiteral("jpg"));
        for (const QFileInfo &file : source.entryInfoList(QDir::Files, QDir::Name)) {
            if (!kPictureExtensions.contains(file.suffix().toLower()))
                continue;
            QString base = plainFileBase(file.completeBaseName());
            for (int n = 2; usedBases.count(base.toLower()); ++n)
                base = plainFileBase(file.completeBaseName()) + QStringLiteral("-%1").arg(n);
            std::optional<Published> published =
                publishPicture(file.filePath(), category, base, target, result.warnings);
            if (!published)
                continue;
            usedBases.insert(base.toLower());
            const QString entryName = WebsiteThumbnailName(base);
            digest.addData(entryName.toUtf8());
            digest.addData(published->thumbnail);
            thumbnails.append({entryName, published->thumbnail});
            catalogue.append(published->entry);
        }
    }
    if (catalogue.isEmpty()) {
        result.error = QStringLiteral("No usable pictures in the category folders of \"%1\"").arg(sourceFolder);
        return result;
    }

    result.archiveName = archiveName.isEmpty()
        ? QStringLiteral("thumbnails-") + QString::fromLatin1(digest.result().toHex().left(8))
        : archiveName;
    const std::optional<QByteArray> archive = MakeZipArchive(thumbnails);
    removeFiles(QDir(puzzles), QStringLiteral("zip"));
    const QString archivePath = QDir(puzzles).filePath(result.archiveName + QStringLiteral(".zip"));
    if (!archive || !writeFile(archivePath, *archive)) {
        result.error = QStringLiteral("Can't write \"%1\"").arg(archivePath);
        return result;
    }
    catalogue.append(result.archiveName);
    const QString cataloguePath = QDir(puzzles).filePath(QStringLiteral("website.plist"));
    if (!WritePropertyList(cataloguePath, catalogue)) {
        result.error = QStringLiteral("Can't write \"%1\"").arg(cataloguePath);
        return result;
    }
    if (!writePlaceholder(server.filePath(QStringLiteral("downloads")), kDownloadsPage)
        || !writePlaceholder(server.filePath(QStringLiteral("news")), kNewsPage)) {
        result.error = QStringLiteral("Can't write the placeholder pages in \"%1\"").arg(serverFolder);
        return result;
    }
    result.pictures = int(catalogue.size() - 1);
    result.ok = true;
    return result;
}
