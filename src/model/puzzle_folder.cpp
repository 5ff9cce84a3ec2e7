#include "model/puzzle_folder.h"

#include "imaging/cc_image.h"
#include "imaging/image_decode.h"
#include "imaging/image_save.h"
#include "model/jp_puzzle.h"
#include "support/helpers.h"
#include "support/property_list.h"
#include "support/puzzle_keys.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QStandardPaths>

#include <cmath>

namespace {

QSize fittedSize(QSize size, int maxSide)
{
    const int longer = std::max(size.width(), size.height());
    if (longer <= maxSide)
        return size;
    if (size.width() >= size.height())
        return QSize(maxSide, int(int64_t(size.height()) * maxSide / longer));
    return QSize(int(int64_t(size.width()) * maxSide / longer), maxSide);
}

bool swapsSides(QImageIOHandler::Transformations transformation)
{
    return transformation & QImageIOHandler::TransformationRotate90;
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

const QString kStagingSuffix = QStringLiteral(".making");
// A folder still being made this long after it was started belongs to a process that died.
constexpr qint64 kStaleStagingSeconds = 3600;

void removeStaleStagingFolders(const QString &supportFolder)
{
    const QDir support(supportFolder);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QFileInfoList entries = support.entryInfoList({QLatin1Char('.') + QLatin1Char('*') + kStagingSuffix},
                                                        QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries)
        if (entry.lastModified().toUTC().secsTo(now) > kStaleStagingSeconds)
            QDir(entry.filePath()).removeRecursively();
}

}

QString PuzzleSupportFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return QString();
    const QString folder = QDir(data).filePath(QStringLiteral("Wrenmoor/Jigsaw"));
    if (!QDir().mkpath(folder))
        return QString();
    return folder;
}

int64_t SquaresInPicture(QSize size)
{
    if (size.width() <= 0 || size.height() <= 0)
        return 0;
    return int64_t(size.width() / kSizeRuleSquare) * int64_t(size.height() / kSizeRuleSquare);
}

bool CanCutPicture(QSize size, int64_t count)
{
    const int64_t squares = SquaresInPicture(size);
    if (squares < kMinimumSquares || count > squares)
        return false;
    const QSize stored = fittedSize(size, kMaxPictureSide);
    return JPPuzzle::gridForCount(stored.width(), stored.height(), count).has_value();
}

QSize DeclaredPictureSize(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return QSize();
    if (swapsSides(reader.transformation()))
        size.transpose();
    return size;
}

QImage LoadPictureFitting(const QString &path, int maxSide, QString *error)
{
    const QByteArray file = ReadImageFileBytes(path);
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (file.isEmpty() || !stored.isValid() || stored.isEmpty()) {
        setError(error, QStringLiteral("it is not a picture the game can read"));
        return QImage();
    }
    // The JPEG decoder fills a cut-off file with grey and calls it a success.
    if (reader.format() == "jpeg" && !IsCompleteJpeg(file)) {
        setError(error, QStringLiteral("it is damaged or incomplete"));
        return QImage();
    }
    if (qint64(stored.width()) * stored.height() > kMaxPicturePixels) {
        setError(error, QStringLiteral("it is too large (%1 x %2 pixels)").arg(stored.width()).arg(stored.height()));
        return QImage();
    }
    const bool swap = swapsSides(reader.transformation());
    const QSize upright = swap ? stored.transposed() : stored;
    const QSize target = fittedSize(upright, maxSide);

    // libjpeg decodes at 1/2, 1/4 or 1/8 for the price of the smaller picture; ask for the
    // smallest of those that is still at least the target, then finish with a smooth scale.
    const QSize storedTarget = swap ? target.transposed() : target;
    QSize decodeSize = stored;
    const QByteArray format = reader.format();
    if (format == "jpeg" || format == "jpg") {
        for (int factor = 8; factor >= 2; factor /= 2) {
            const QSize reduced((stored.width() + factor - 1) / factor, (stored.height() + factor - 1) / factor);
            if (reduced.width() >= storedTarget.width() && reduced.height() >= storedTarget.height()) {
                decodeSize = reduced;
                break;
            }
        }
        if (decodeSize != stored)
            reader.setScaledSize(decodeSize);
    }
    // Qt refuses decodes above its default allocation limit; allow what this picture needs.
    const qint64 decodedBytes = qint64(decodeSize.width()) * decodeSize.height() * 4;
    reader.setAllocationLimit(int(std::max<qint64>(256, decodedBytes / (1024 * 1024) + 64)));

    QImage image = reader.read();
    if (image.isNull()) {
        setError(error, QStringLiteral("it can't be decoded (%1)").arg(reader.errorString()));
        return QImage();
    }
    if (image.size() != target)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

std::optional<MadePuzzleFolder> MakePuzzleFolder(const NewPuzzleChoice &choice, const QString &supportFolder,
                                                 QString *error)
{
    QVariantMap dict = choice.dict;
    const QString path = stringForKey(dict, kPathKey);
    dict.remove(kButtonKey);
    dict.remove(kImageKey);
    dict.remove(kThumbKey);
    dict.remove(kDoneKey);
    dict[kCountKey] = qlonglong(choice.count);

    if (!path.isEmpty() && pathExtension(path).compare(QLatin1String("WMjigsaw"), Qt::CaseInsensitive) == 0) {
        // A kept puzzle started again: rebuilt in place at its next opening.
        const QFileInfo kept(path);
        const QFileInfo support(supportFolder);
        if (!kept.isDir() || kept.absoluteDir().canonicalPath() != support.canonicalFilePath()) {
            setError(error, QStringLiteral("\"%1\" is not one of the game's puzzles").arg(path));
            return std::nullopt;
        }
        dict[kResetKey] = true;
        if (!WritePropertyList(QDir(path).filePath(QStringLiteral("info.plist")), dict)) {
            setError(error, QStringLiteral("the puzzle's description can't be written"));
            return std::nullopt;
        }
        return MadePuzzleFolder{path, nullptr, dict};
    }

    // Pieces are cut from the pixels read back from the stored JPEG, except when the picture
    // was a JPEG already or had to be scaled down.
    QImage picture;
    bool reload = true;
    if (!path.isEmpty()) {
        QString reason;
        picture = LoadPictureFitting(path, kMaxPictureSide, &reason);
        if (picture.isNull()) {
            setError(error, QStringLiteral("the picture \"%1\" can't be used: %2").arg(path, reason));
            return std::nullopt;
        }
        const QString extension = pathExtension(path).toLower();
        const bool isJpeg = extension == QLatin1String("jpg") || extension == QLatin1String("jpeg");
        reload = !isJpeg && picture.size() == DeclaredPictureSize(path);
    } else {
        if (choice.image.isNull()) {
            setError(error, QStringLiteral("there is no picture"));
            return std::nullopt;
        }
        picture = choice.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QSize fitted = fittedSize(picture.size(), kMaxPictureSide);
        if (fitted != picture.size()) {
            picture = picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            reload = false;
        }
    }

    // Everything is written under a name the library doesn't list; the folder takes its real
    // name only when complete, so a crash midway never leaves a puzzle that can't be opened.
    removeStaleStagingFolders(supportFolder);
    const QString name = guidString();
    const QString finalFolder = QDir(supportFolder).filePath(name + QStringLiteral(".WMjigsaw"));
    const QString folder = QDir(supportFolder).filePath(QLatin1Char('.') + name + kStagingSuffix);
    if (!QDir().mkpath(folder)) {
        setError(error, QStringLiteral("the folder \"%1\" can't be made").arg(folder));
        return std::nullopt;
    }
    const auto fail = [&](const QString &why) -> std::optional<MadePuzzleFolder> {
        QDir(folder).removeRecursively();
        setError(error, why);
        return std::nullopt;
    };

    std::shared_ptr<CCImage> image = CCImage::initWithCGImage(picture);
    if (!image)
        return fail(QStringLiteral("the picture can't be used"));
    const QString imagePath = QDir(folder).filePath(QStringLiteral("image.jpg"));
    {
        ImageFileRecord record;
        record.path = imagePath;
        record.type = ImageFileTypeJPEG;
        record.quality = 0.7;
        if (!SaveImageCore(image.get(), record, 0, 0) || record.path != imagePath)
            return fail(QStringLiteral("the picture can't be saved in \"%1\"").arg(folder));
    }
    if (reload) {
        // Pieces are cut from the same compressed pixels that are stored.
        image = CCImage::initWithContentsOfFile(imagePath);
        if (!image)
            return fail(QStringLiteral("the saved picture can't be read back"));
    }

    if (!QDir(folder).mkpath(QStringLiteral("Pieces")))
        return fail(QStringLiteral("the folder \"Pieces\" can't be made"));

    const QString thumbnailPath = QDir(folder).filePath(QStringLiteral("thumbnail.jpg"));
    if (!choice.thumb.isNull()) {
        auto thumb = CCImage::initWithCGImage(choice.thumb);
        ImageFileRecord record;
        record.path = thumbnailPath;
        record.type = ImageFileTypeJPEG;
        record.quality = 0.7;
        if (!thumb || !SaveImageCore(thumb.get(), record, 0, 0))
            return fail(QStringLiteral("the thumbnail can't be saved"));
    } else {
        const QString temporary = ResizeImageAndSaveToJPEG(image.get());
        if (temporary.isEmpty() || !QFile::rename(temporary, thumbnailPath)) {
            if (!temporary.isEmpty() && !(QFile::copy(temporary, thumbnailPath) && QFile::remove(temporary)))
                QFile::remove(temporary);
            if (!QFileInfo::exists(thumbnailPath))
                return fail(QStringLiteral("the thumbnail can't be saved"));
        }
    }

    if (!WritePropertyList(QDir(folder).filePath(QStringLiteral("info.plist")), dict))
        return fail(QStringLiteral("the puzzle's description can't be written"));
    if (!QDir().rename(folder, finalFolder))
        return fail(QStringLiteral("the folder \"%1\" can't be made").arg(finalFolder));
    return MadePuzzleFolder{finalFolder, image, dict};
}
