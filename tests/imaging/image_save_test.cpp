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
#include <future>
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

QImage decode(const QByteArray &bytes)
{
    QImage image;
    image.loadFromData(bytes);
    return image;
}

// The value of a short or long tag in a TIFF's first directory; -1 when absent.
long tiffTag(const QByteArray &tiff, uint16_t wanted)
{
    if (tiff.size() < 8)
        return -1;
    const bool little = tiff.startsWith("II");
    const auto *b = reinterpret_cast<const uint8_t *>(tiff.constData());
    const auto u16 = [&](qsizetype at) { return little ? b[at] | b[at + 1] << 8 : b[at] << 8 | b[at + 1]; };
    const auto u32 = [&](qsizetype at) {
        return little ? uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16 : uint32_t(u16(at)) << 16 | uint32_t(u16(at + 2));
    };
    const qsizetype directory = u32(4);
    if (directory + 2 > tiff.size())
        return -1;
    const int count = u16(directory);
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = directory + 2 + i * 12;
        if (entry + 12 > tiff.size())
            return -1;
        if (u16(entry) == wanted)
            return u16(entry + 2) == 3 ? u16(entry + 8) : long(u32(entry + 8));
    }
    return -1;
}

TEST(SaveImage, EveryTypeWritesItsFormatUnderItsExtension)
{
    const QString folder = freshFolder();
    const auto image = piecePicture();
    struct Case
    {
        uint32_t type;
        const char *name, *written, *format;
    };
    for (const Case &c : {Case{ImageFileTypeJPEG, "image.png", "image.jpg", "jpeg"},
                          Case{ImageFileTypeJPEG, "Photo.JPG", "Photo.JPG", "jpeg"},
                          Case{ImageFileTypePNG, "picture.dat", "picture.png", "png"},
                          Case{ImageFileTypeTIFF, "sheet", "sheet.tiff", "tiff"},
                          Case{17, "other.tif", "other.tiff", "tiff"}}) {
        SCOPED_TRACE(c.name);
        ImageFileRecord record;
        record.path = folder + QLatin1Char('/') + QLatin1String(c.name);
        record.type = c.type;
        ASSERT_TRUE(SaveImageCore(image.get(), record));
        EXPECT_EQ(record.path, folder + QLatin1Char('/') + QLatin1String(c.written));
        EXPECT_EQ(record.extension, QFileInfo(c.written).suffix().toLower());
        EXPECT_EQ(formatOf(readFile(record.path)), c.format);
        EXPECT_EQ(QImage(record.path).size(), QSize(100, 100));
        EXPECT_FALSE(record.writeFailed);
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 5);
}

TEST(SaveImage, PngAndTiffKeepEveryPixel)
{
    const auto image = piecePicture();
    for (uint32_t type : {uint32_t(ImageFileTypePNG), uint32_t(ImageFileTypeTIFF)}) {
        for (double quality : {1.0, 0.5}) {
            ImageFileRecord record;
            record.type = type;
            record.quality = quality;
            ASSERT_TRUE(SaveImageCore(image.get(), record));
            EXPECT_EQ(decode(record.data).convertToFormat(QImage::Format_ARGB32_Premultiplied), image->qimage())
                << type << " " << quality;
        }
    }
    const QByteArray tiff = TiffFromImage(image.get());
    EXPECT_EQ(formatOf(tiff), "tiff");
    EXPECT_EQ(decode(tiff).convertToFormat(QImage::Format_ARGB32_Premultiplied), image->qimage());
    EXPECT_TRUE(TiffFromImage(nullptr).isEmpty());
}

TEST(SaveImage, AutomaticChoiceFollowsExtensionAndAlpha)
{
    const QString folder = freshFolder();
    const auto opaque = opaquePicture();
    const auto transparent = piecePicture();
    struct Case
    {
        const char *name; // empty: into memory
        bool alpha;
        uint32_t type;
        const char *written;
    };
    const Case cases[] = {
        {"", true, ImageFileTypePNG, ""},         {"", false, ImageFileTypeJPEG, ""},
        {"a.png", false, ImageFileTypePNG, "a.png"}, {"b.PNG", true, ImageFileTypePNG, "b.PNG"},
        {"c.tif", false, ImageFileTypeJPEG, "c.jpg"}, {"d.jpg", true, ImageFileTypeJPEG, "d.jpg"},
        {"e.gif", true, ImageFileTypeTIFF, "e.tiff"}, {"f", true, ImageFileTypePNG, "f.png"},
        {"g", false, ImageFileTypeJPEG, "g.jpg"},
    };
    for (const Case &c : cases) {
        ImageFileRecord record;
        if (*c.name)
            record.path = folder + QLatin1Char('/') + QLatin1String(c.name);
        ASSERT_TRUE(SaveImageCore(c.alpha ? transparent.get() : opaque.get(), record)) << c.name;
        EXPECT_EQ(record.type, c.type) << c.name;
        if (*c.name) {
            EXPECT_EQ(QFileInfo(record.path).fileName(), QLatin1String(c.written));
            EXPECT_TRUE(record.data.isEmpty());
        } else {
            EXPECT_FALSE(record.data.isEmpty());
        }
    }
}

TEST(SaveImage, JpegQualityIsClampedAndTakesEffect)
{
    const auto image = opaquePicture(300, 200);
    std::vector<qsizetype> sizes;
    for (double quality : {-0.5, 0.0, 0.3, 0.7, 1.0, 1.8}) {
        ImageFileRecord record;
        record.type = ImageFileTypeJPEG;
        record.quality = quality;
        ASSERT_TRUE(SaveImageCore(image.get(), record));
        EXPECT_EQ(record.properties.value(QStringLiteral("quality")).toInt(),
                  int(std::lround(std::clamp(quality, 0.0, 1.0) * 100)));
        sizes.push_back(record.data.size());
    }
    EXPECT_TRUE(std::is_sorted(sizes.begin(), sizes.end()));
    EXPECT_EQ(sizes[0], sizes[1]);
    EXPECT_LT(sizes[2] * 2, sizes[4]);
}

TEST(SaveImage, TiffAtFullQualityIsLzwCompressed)
{
    const auto image = opaquePicture();
    ImageFileRecord full;
    full.type = ImageFileTypeTIFF;
    full.quality = 1.0;
    ASSERT_TRUE(SaveImageCore(image.get(), full));
    EXPECT_EQ(full.properties.value(QStringLiteral("compression")).toInt(), 1);
    EXPECT_EQ(tiffTag(full.data, 259), 5); // LZW

    ImageFileRecord almost = full;
    almost.quality = 0.99;
    ASSERT_TRUE(SaveImageCore(image.get(), almost));
    EXPECT_FALSE(almost.properties.contains(QStringLiteral("compression")));
    EXPECT_EQ(tiffTag(almost.data, 259), 1); // none
    EXPECT_EQ(tiffTag(almost.data, 256), 120);
}

TEST(SaveImage, PdfIsOnePageTheSizeOfTheRectangle)
{
    const QString folder = freshFolder();
    ImageFileRecord record;
    record.path = folder + QStringLiteral("/sheet");
    record.type = ImageFileTypePDF;
    ASSERT_TRUE(SaveImageCore(opaquePicture(300, 200).get(), record, 150, 100));
    EXPECT_EQ(record.path, folder + QStringLiteral("/sheet.pdf"));
    EXPECT_EQ(record.rectangle, QRectF(0, 0, 150, 100));
    const QByteArray pdf = readFile(record.path);
    EXPECT_TRUE(pdf.startsWith("%PDF-"));
    const QRegularExpression mediaBox(QStringLiteral(R"(/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])"));
    const auto boxes = mediaBox.globalMatch(QString::fromLatin1(pdf));
    int pages = 0;
    for (auto it = boxes; it.hasNext(); ++pages) {
        const auto match = it.next();
        EXPECT_DOUBLE_EQ(match.captured(1).toDouble(), 150);
        EXPECT_DOUBLE_EQ(match.captured(2).toDouble(), 100);
    }
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "), 1);
}

TEST(SaveImage, HeicOnlyWhereAnEncoderExists)
{
    const QString folder = freshFolder();
    const QString path = folder + QStringLiteral("/photo.heic");
    writeFile(path, "old");
    ImageFileRecord record;
    record.path = path;
    record.type = ImageFileTypeHEIC;
    record.quality = 0;
    const bool encoder = QImageWriter::supportedImageFormats().contains("heic")
        || QImageWriter::supportedImageFormats().contains("heif");
    EXPECT_EQ(SaveImageCore(opaquePicture().get(), record), encoder);
    EXPECT_EQ(record.extension, QStringLiteral("heic"));
    EXPECT_EQ(record.typeIdentifier, QStringLiteral("public.heic"));
    EXPECT_FALSE(record.writeFailed);
    if (!encoder) {
        EXPECT_EQ(readFile(path), "old"); // a missing encoder costs no data
    }
}

TEST(SaveImage, UniqueKeepsTheOldFileAndReplacingOverwritesIt)
{
    const QString folder = freshFolder();
    ImageFileRecord first;
    first.path = folder + QStringLiteral("/piece.png");
    first.type = ImageFileTypePNG;
    ASSERT_TRUE(SaveImageCore(piecePicture(40).get(), first));

    ImageFileRecord replace = first;
    replace.path = folder + QStringLiteral("/piece.png");
    ASSERT_TRUE(SaveImageCore(piecePicture(60).get(), replace));
    EXPECT_EQ(replace.path, first.path);
    EXPECT_EQ(QImage(first.path).size(), QSize(60, 60));

    ImageFileRecord unique = first;
    unique.path = folder + QStringLiteral("/piece.png");
    unique.unique = true;
    ASSERT_TRUE(SaveImageCore(piecePicture(80).get(), unique));
    EXPECT_EQ(unique.path, folder + QStringLiteral("/piece-1.png"));
    EXPECT_EQ(QImage(first.path).size(), QSize(60, 60));
    EXPECT_EQ(QImage(unique.path).size(), QSize(80, 80));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
}

TEST(SaveImage, UnwritablePathsReportAWriteFailure)
{
    const QString folder = freshFolder();
    writeFile(folder + QStringLiteral("/plain"), QByteArray());
    // A folder in the way of the file is not deleted to make room.
    for (const char *name : {"blocked.png", "blocked.jpg", "blocked.pdf"})
        ASSERT_TRUE(QDir(folder).mkdir(QLatin1String(name)));
    const QStringList paths = {folder + QStringLiteral("/plain/image.png"), folder + QStringLiteral("/missing/image.png"),
                               folder + QStringLiteral("/blocked.png")};
    for (const QString &path : paths) {
        for (uint32_t type : {uint32_t(ImageFileTypePNG), uint32_t(ImageFileTypeJPEG), uint32_t(ImageFileTypePDF)}) {
            ImageFileRecord record;
            record.path = path;
            record.type = type;
            EXPECT_FALSE(SaveImageCore(opaquePicture().get(), record)) << path.toStdString();
            EXPECT_TRUE(record.writeFailed) << path.toStdString();
            EXPECT_FALSE(QFileInfo(record.path).isFile());
        }
    }
}

TEST(SaveImage, MissingOrEmptyImagesFailWithoutWriting)
{
    ImageFileRecord record;
    record.path = freshFolder() + QStringLiteral("/x.png");
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
    ImageFileRecord record;
    record.type = ImageFileTypePNG;
    ASSERT_TRUE(SaveImageCore(image.get(), record, 60, 45));
    EXPECT_EQ(decode(record.data).size(), QSize(60, 45));
    ASSERT_TRUE(SaveImageCore(image.get(), record, 0, 45));
    EXPECT_EQ(decode(record.data).size(), QSize(120, 90));

    // At the image's own size the matching representation is written as it is; at another
    // size the first representation is scaled.
    const QImage large = pieceLike(photoLike(300, 300), 64);
    const QImage small = pieceLike(photoLike(300, 300), 32);
    const auto sizes = CCImage::initWithRepresentations({large, small});
    ASSERT_TRUE(SaveImageCore(sizes.get(), record));
    EXPECT_EQ(decode(record.data).convertToFormat(QImage::Format_ARGB32_Premultiplied), small);
    ASSERT_TRUE(SaveImageCore(sizes.get(), record, 64, 64));
    EXPECT_EQ(decode(record.data).convertToFormat(QImage::Format_ARGB32_Premultiplied), large);
}

TEST(SaveImage, ThumbnailsFitIntoTwoHundredPixels)
{
    struct Case
    {
        QSize picture;
        QSize thumbnail;
    };
    for (const Case &c : {Case{{4000, 3000}, {200, 150}}, Case{{150, 100}, {150, 100}}, Case{{1000, 4000}, {50, 200}}}) {
        QImage picture(c.picture, QImage::Format_RGB32);
        picture.fill(QColor(40, 80, 120));
        const QString path = ResizeImageAndSaveToJPEG(CCImage::initWithCGImage(picture).get());
        ASSERT_FALSE(path.isEmpty());
        EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
        EXPECT_TRUE(QFileInfo(path).completeBaseName().contains(
            QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))));
        EXPECT_EQ(QFileInfo(path).suffix(), QStringLiteral("jpg"));
        EXPECT_EQ(formatOf(readFile(path)), "jpeg");
        EXPECT_EQ(QImage(path).size(), c.thumbnail);
        QFile::remove(path);
    }
    EXPECT_TRUE(ResizeImageAndSaveToJPEG(nullptr).isEmpty());
    EXPECT_TRUE(ResizeImageAndSaveToJPEG(CCImage::initWithSize({50, 50}).get()).isEmpty());
}

TEST(SaveImage, ThreadsSaveSideBySide)
{
    const QString folder = freshFolder();
    const QImage photo = photoLike(400, 400);
    std::vector<std::future<bool>> jobs;
    for (int queue = 0; queue < 6; ++queue) {
        jobs.push_back(std::async(std::launch::async, [&, queue] {
            bool ok = true;
            for (int piece = 0; piece < 15; ++piece) {
                const QImage picture = pieceLike(photo, 40 + queue + piece);
                const auto image = CCImage::initWithCGImage(picture);
                ImageFileRecord record;
                record.path = folder + QStringLiteral("/%1-%2.png").arg(queue).arg(piece);
                record.type = ImageFileTypePNG;
                ok = ok && SaveImageCore(image.get(), record)
                    && QImage(record.path).convertToFormat(QImage::Format_ARGB32_Premultiplied) == picture;
            }
            return ok;
        }));
    }
    for (auto &job : jobs)
        EXPECT_TRUE(job.get());
}

}
