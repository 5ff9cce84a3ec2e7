#include "imaging/image_save.h"

#include "imaging/cc_image.h"

#include "imaging_fixtures.h"
#include "test_support.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using namespace tj::test;

std::unique_ptr<CCImage> opaquePicture(int width = 120, int height = 90)
{
    return CCImage::initWithCGImage(photoLike(width, height));
}

std::unique_ptr<CCImage> piecePicture(int side = 100)
{
    return CCImage::initWithCGImage(pieceLike(photoLike(200, 200), side));
}

QByteArray formatOf(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).format();
}

ImageFileRecord recordFor(const QString &path, uint32_t type = ImageFileTypeAutomatic, double quality = 1.0)
{
    ImageFileRecord record;
    record.path = path;
    record.type = type;
    record.quality = quality;
    return record;
}

QImage decoded(const QByteArray &bytes)
{
    return QImage::fromData(bytes).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

TEST(SaveImage, TypeFollowsTheRequestOrTheExtensionAndAlphaAndFixesTheExtension)
{
    const QString folder = freshFolder();
    const auto opaque = opaquePicture();
    const auto transparent = piecePicture();
    struct Case
    {
        const char *name; // empty: into memory
        bool alpha;
        uint32_t requested, type;
        const char *written, *format;
    };
    const uint32_t automatic = ImageFileTypeAutomatic;
    const Case cases[] = {
        {"image.png", true, ImageFileTypeJPEG, ImageFileTypeJPEG, "image.jpg", "jpeg"},
        {"Photo.JPG", true, ImageFileTypeJPEG, ImageFileTypeJPEG, "Photo.JPG", "jpeg"},
        {"picture.dat", true, ImageFileTypePNG, ImageFileTypePNG, "picture.png", "png"},
        {"sheet", true, ImageFileTypeTIFF, ImageFileTypeTIFF, "sheet.tiff", "tiff"},
        {"other.tif", true, 17, 17, "other.tiff", "tiff"},
        {"", true, automatic, ImageFileTypePNG, "", "png"},
        {"", false, automatic, ImageFileTypeJPEG, "", "jpeg"},
        {"a.png", false, automatic, ImageFileTypePNG, "a.png", "png"},
        {"b.PNG", true, automatic, ImageFileTypePNG, "b.PNG", "png"},
        {"c.tif", false, automatic, ImageFileTypeJPEG, "c.jpg", "jpeg"},
        {"d.jpg", true, automatic, ImageFileTypeJPEG, "d.jpg", "jpeg"},
        {"e.gif", true, automatic, ImageFileTypeTIFF, "e.tiff", "tiff"},
        {"f", true, automatic, ImageFileTypePNG, "f.png", "png"},
        {"g", false, automatic, ImageFileTypeJPEG, "g.jpg", "jpeg"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const bool inMemory = *c.name == 0;
        auto record = recordFor(inMemory ? QString() : folder + QLatin1Char('/') + QLatin1String(c.name), c.requested);
        const auto &image = c.alpha ? transparent : opaque;
        ASSERT_TRUE(SaveImageCore(image.get(), record));
        EXPECT_EQ(record.type, c.type);
        EXPECT_EQ(QFileInfo(record.path).fileName(), QLatin1String(c.written));
        EXPECT_EQ(record.data.isEmpty(), !inMemory);
        const QByteArray bytes = inMemory ? record.data : readFile(record.path);
        EXPECT_EQ(formatOf(bytes), c.format);
        EXPECT_EQ(QImage::fromData(bytes).size(), image->qimage().size());
        if (!inMemory) {
            EXPECT_EQ(record.extension, QFileInfo(c.written).suffix().toLower());
        }
        EXPECT_FALSE(record.writeFailed);
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 12);
}

TEST(SaveImage, PngAndTiffKeepEveryPixel)
{
    const auto image = piecePicture();
    for (uint32_t type : {uint32_t(ImageFileTypePNG), uint32_t(ImageFileTypeTIFF)})
        for (double quality : {1.0, 0.5}) {
            auto record = recordFor(QString(), type, quality);
            ASSERT_TRUE(SaveImageCore(image.get(), record));
            EXPECT_EQ(decoded(record.data), image->qimage()) << type << " " << quality;
        }
    const QByteArray tiff = TiffFromImage(image.get());
    EXPECT_EQ(formatOf(tiff), "tiff");
    EXPECT_EQ(decoded(tiff), image->qimage());
    EXPECT_TRUE(TiffFromImage(nullptr).isEmpty());
}

TEST(SaveImage, QualityIsClampedAndTakesEffect)
{
    const auto image = opaquePicture(300, 200);
    std::vector<qsizetype> sizes;
    for (double quality : {-0.5, 0.0, 0.3, 0.7, 1.0, 1.8}) {
        auto record = recordFor(QString(), ImageFileTypeJPEG, quality);
        ASSERT_TRUE(SaveImageCore(image.get(), record));
        sizes.push_back(record.data.size());
    }
    // Qualities outside 0-1 write as their nearest end.
    EXPECT_TRUE(std::is_sorted(sizes.begin(), sizes.end()));
    EXPECT_EQ(sizes[0], sizes[1]);
    EXPECT_EQ(sizes[4], sizes[5]);
    EXPECT_LT(sizes[2] * 2, sizes[4]);

    // TIFF at full quality asks for LZW compression, which a plain picture shrinks under.
    QImage plain(120, 90, QImage::Format_RGB32);
    plain.fill(QColor(40, 80, 120));
    const auto flat = CCImage::initWithCGImage(plain);
    auto full = recordFor(QString(), ImageFileTypeTIFF, 1.0);
    auto almost = recordFor(QString(), ImageFileTypeTIFF, 0.99);
    ASSERT_TRUE(SaveImageCore(flat.get(), full) && SaveImageCore(flat.get(), almost));
    EXPECT_EQ(full.properties.value(QStringLiteral("compression")).toInt(), 1);
    EXPECT_FALSE(almost.properties.contains(QStringLiteral("compression")));
    EXPECT_LT(full.data.size() * 4, almost.data.size());
    EXPECT_EQ(decoded(full.data), decoded(almost.data));
}

TEST(SaveImage, PdfIsOnePageTheSizeOfTheRectangle)
{
    const QString folder = freshFolder();
    auto record = recordFor(folder + QStringLiteral("/sheet"), ImageFileTypePDF);
    ASSERT_TRUE(SaveImageCore(opaquePicture(300, 200).get(), record, 150, 100));
    EXPECT_EQ(record.path, folder + QStringLiteral("/sheet.pdf"));
    EXPECT_EQ(record.rectangle, QRectF(0, 0, 150, 100));
    const QString pdf = QString::fromLatin1(readFile(record.path));
    EXPECT_TRUE(pdf.startsWith(QStringLiteral("%PDF-")));
    const QRegularExpression mediaBox(QStringLiteral(R"(/MediaBox\s*\[\s*0\s+0\s+150(\.0*)?\s+100(\.0*)?\s*\])"));
    EXPECT_EQ(pdf.count(mediaBox), 1);
    EXPECT_EQ(pdf.count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))), 1);
}

TEST(SaveImage, HeicOnlyWhereAnEncoderExists)
{
    const QString path = freshFolder() + QStringLiteral("/photo.heic");
    writeFile(path, "old");
    auto record = recordFor(path, ImageFileTypeHEIC, 0);
    const QList<QByteArray> formats = QImageWriter::supportedImageFormats();
    const bool encoder = formats.contains("heic") || formats.contains("heif");
    EXPECT_EQ(SaveImageCore(opaquePicture().get(), record), encoder);
    EXPECT_EQ(record.extension, QStringLiteral("heic"));
    EXPECT_FALSE(record.writeFailed);
    EXPECT_EQ(readFile(path) == "old", !encoder) << "a missing encoder costs no data";
}

TEST(SaveImage, UniqueKeepsTheOldFileAndReplacingOverwritesIt)
{
    const QString folder = freshFolder();
    const QString path = folder + QStringLiteral("/piece.png");
    for (int side : {40, 60}) {
        auto replace = recordFor(path, ImageFileTypePNG);
        ASSERT_TRUE(SaveImageCore(piecePicture(side).get(), replace));
        EXPECT_EQ(replace.path, path);
    }
    auto unique = recordFor(path, ImageFileTypePNG);
    unique.unique = true;
    ASSERT_TRUE(SaveImageCore(piecePicture(80).get(), unique));
    EXPECT_EQ(unique.path, folder + QStringLiteral("/piece-1.png"));
    EXPECT_EQ(QImage(path).size(), QSize(60, 60));
    EXPECT_EQ(QImage(unique.path).size(), QSize(80, 80));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
}

TEST(SaveImage, UnwritablePathsAndMissingImagesFail)
{
    const QString folder = freshFolder();
    writeFile(folder + QStringLiteral("/plain"), QByteArray());
    // A folder in the way of the file is not deleted to make room.
    for (const char *name : {"blocked.png", "blocked.jpg", "blocked.pdf"})
        ASSERT_TRUE(QDir(folder).mkdir(QLatin1String(name)));
    for (const char *name : {"/plain/image.png", "/missing/image.png", "/blocked.png"})
        for (uint32_t type : {uint32_t(ImageFileTypePNG), uint32_t(ImageFileTypeJPEG), uint32_t(ImageFileTypePDF)}) {
            auto record = recordFor(folder + QLatin1String(name), type);
            EXPECT_FALSE(SaveImageCore(opaquePicture().get(), record)) << name;
            EXPECT_TRUE(record.writeFailed) << name;
            EXPECT_FALSE(QFileInfo(record.path).isFile());
        }

    auto record = recordFor(folder + QStringLiteral("/x.png"));
    EXPECT_FALSE(SaveImageCore(nullptr, record));
    EXPECT_FALSE(SaveImageCore(CCImage::initWithSize({20, 20}).get(), record));
    EXPECT_FALSE(SaveImageCore(opaquePicture().get(), record, 0.4, 0.4));
    EXPECT_FALSE(record.writeFailed);
    EXPECT_FALSE(QFile::exists(record.path));
}

TEST(SaveImage, SizesAndRepresentations)
{
    // Requested sizes scale; a zero part means the image's own size.
    const auto image = opaquePicture(120, 90);
    auto record = recordFor(QString(), ImageFileTypePNG);
    ASSERT_TRUE(SaveImageCore(image.get(), record, 60, 45));
    EXPECT_EQ(decoded(record.data).size(), QSize(60, 45));
    ASSERT_TRUE(SaveImageCore(image.get(), record, 0, 45));
    EXPECT_EQ(decoded(record.data).size(), QSize(120, 90));

    // At the image's own size the matching representation is written as it is; at another
    // size the first representation is scaled.
    const QImage large = pieceLike(photoLike(300, 300), 64);
    const QImage small = pieceLike(photoLike(300, 300), 32);
    const auto sizes = CCImage::initWithRepresentations({large, small});
    ASSERT_TRUE(SaveImageCore(sizes.get(), record));
    EXPECT_EQ(decoded(record.data), small);
    ASSERT_TRUE(SaveImageCore(sizes.get(), record, 64, 64));
    EXPECT_EQ(decoded(record.data), large);
}

TEST(SaveImage, ThumbnailsFitIntoTwoHundredPixelsUnderAFreshName)
{
    const QRegularExpression guidName(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.jpg$"));
    for (const auto &[picture, thumbnail] :
         {std::pair{QSize(4000, 3000), QSize(200, 150)}, std::pair{QSize(150, 100), QSize(150, 100)}}) {
        QImage bitmap(picture, QImage::Format_RGB32);
        bitmap.fill(QColor(40, 80, 120));
        const QString path = ResizeImageAndSaveToJPEG(CCImage::initWithCGImage(bitmap).get());
        const QFileInfo file(path);
        EXPECT_EQ(file.absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
        EXPECT_TRUE(guidName.match(file.fileName()).hasMatch()) << path.toStdString();
        EXPECT_EQ(formatOf(readFile(path)), "jpeg");
        EXPECT_EQ(QImage(path).size(), thumbnail);
        QFile::remove(path);
    }
    EXPECT_TRUE(ResizeImageAndSaveToJPEG(nullptr).isEmpty());
    EXPECT_TRUE(ResizeImageAndSaveToJPEG(CCImage::initWithSize({50, 50}).get()).isEmpty());
}

}
