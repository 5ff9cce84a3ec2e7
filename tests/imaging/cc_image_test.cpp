#include "imaging/cc_image.h"
#include "imaging/image_decode.h"

#include "imaging_fixtures.h"
#include "test_support.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <gtest/gtest.h>
#include <zlib.h>

#include <sys/resource.h>

namespace {

using namespace tj::test;

QByteArray encode(const QImage &image, const char *format, int quality = -1, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(image));
    return bytes;
}

// The bytes as a file of that name in a fresh folder; its path.
QString saved(const QString &name, const QByteArray &bytes)
{
    const QString path = freshFolder() + QLatin1Char('/') + name;
    writeFile(path, bytes);
    return path;
}

QByteArray bigEndian(uint32_t value)
{
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

// A valid PNG of width x height fully transparent pixels in a few kilobytes per 100 MB of
// pixels: one block of zero rows is deflated once, flushed so that it stands alone, and
// repeated.
QByteArray zeroPng(uint32_t width, uint32_t height)
{
    constexpr uint32_t kRowsPerBlock = 100;
    const uint64_t rowBytes = 1 + uint64_t(width) * 4;
    EXPECT_EQ(height % kRowsPerBlock, 0u);
    const QByteArray zeros(qsizetype(rowBytes * kRowsPerBlock), 0);
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray block(qsizetype(deflateBound(&stream, uLong(zeros.size())) + 64), 0);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zeros.constData()));
    stream.avail_in = uInt(zeros.size());
    stream.next_out = reinterpret_cast<Bytef *>(block.data());
    stream.avail_out = uInt(block.size());
    EXPECT_EQ(deflate(&stream, Z_FULL_FLUSH), Z_OK);
    block.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);

    QByteArray idat = QByteArray::fromHex("7801");
    for (uint32_t i = 0; i < height / kRowsPerBlock; ++i)
        idat.append(block);
    idat.append(QByteArray::fromHex("0300")); // final empty block
    idat.append(bigEndian(uint32_t(((rowBytes * height) % 65521) << 16 | 1))); // Adler-32 of zeros
    const auto chunk = [](const char *type, const QByteArray &data) -> QByteArray {
        const QByteArray body = QByteArray(type) + data;
        const auto crc = uint32_t(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size())));
        return bigEndian(uint32_t(data.size())) + body + bigEndian(crc);
    };
    const QByteArray header = bigEndian(width) + bigEndian(height) + QByteArray::fromHex("0806000000"); // RGBA
    return QByteArray::fromHex("89504e470d0a1a0a") + chunk("IHDR", header) + chunk("IDAT", idat)
        + chunk("IEND", QByteArray());
}

long maxResidentKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

const QColor kRed(220, 30, 30), kYellow(230, 220, 40);

TEST(CCImageFiles, LoadsPngAndJpegFilesWithTheirPixelSize)
{
    const QImage picture = photoLike(120, 80);
    const QImage piece = pieceLike(picture, 90);
    const auto png = CCImage::initWithContentsOfFile(saved(QStringLiteral("Blüte.png"), encode(piece, "png")));
    ASSERT_TRUE(png);
    EXPECT_EQ(png->size(), QSizeF(90, 90));
    EXPECT_TRUE(png->hasAlpha());
    EXPECT_EQ(png->qimage().convertToFormat(QImage::Format_ARGB32_Premultiplied), piece);

    const auto jpeg = CCImage::initWithContentsOfFile(saved(QStringLiteral("p.jpg"), encode(picture, "jpeg", 95)));
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->size(), QSizeF(120, 80));
    EXPECT_FALSE(jpeg->hasAlpha());

    // "ai" files are decoded from their bytes like any other; a requested size rescales.
    const auto ai =
        CCImage::initWithContentsOfFile(saved(QStringLiteral("drawing.AI"), encode(piece, "png")), {30, 45});
    ASSERT_TRUE(ai);
    EXPECT_EQ(ai->size(), QSizeF(30, 45));
    EXPECT_EQ(ai->qimage().size(), QSize(30, 45));

    const QStringList extensions = CCImage::fileExtensions();
    for (const char *expected : {"png", "jpg", "jpeg", "gif", "tiff"})
        EXPECT_TRUE(extensions.contains(QLatin1String(expected))) << expected;
    EXPECT_EQ(extensions.join(QLatin1Char(' ')), extensions.join(QLatin1Char(' ')).toLower());
}

TEST(CCImageFiles, RefusesDamagedAndForeignFiles)
{
    const QImage picture = photoLike(200, 150);
    for (bool progressive : {false, true}) {
        const QByteArray jpeg = encode(picture, "jpeg", 90, progressive);
        ASSERT_TRUE(IsCompleteJpeg(jpeg));
        ASSERT_TRUE(CCImage::initWithData(jpeg));
        EXPECT_TRUE(IsCompleteJpeg(jpeg + QByteArray("trailing bytes after the end marker")));
        for (qsizetype cut = 2; cut < jpeg.size(); cut += 13)
            ASSERT_FALSE(IsCompleteJpeg(jpeg.left(cut))) << "cut at " << cut;
        EXPECT_FALSE(IsCompleteJpeg(jpeg.left(jpeg.size() - 1)));
        EXPECT_FALSE(CCImage::initWithData(jpeg.left(jpeg.size() * 2 / 3)));
    }
    // Cut-off and foreign files on the way to a puzzle are the model's hostile-picture tests.
    const QByteArray png = encode(picture, "png");
    EXPECT_FALSE(CCImage::initWithData(png.left(png.size() / 2)));
    EXPECT_FALSE(CCImage::initWithContentsOfFile(QStringLiteral("/nonexistent/picture.png")));
    EXPECT_FALSE(CCImage::initWithContentsOfFile(freshFolder()));
}

TEST(CCImageFiles, RefusesDecompressionBombsWithoutAllocating)
{
    // The same construction within the limit is a picture Qt decodes.
    const auto small = CCImage::initWithData(zeroPng(300, 200));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size(), QSizeF(300, 200));
    EXPECT_EQ(qAlpha(small->qimage().pixel(150, 100)), 0);

    const QByteArray bomb = zeroPng(20480, 20000); // 410 megapixels, 1.6 GB decoded
    EXPECT_LT(bomb.size(), 4 * 1024 * 1024);
    // Headers claiming more pixels than their data holds are the model's hostile-picture tests.
    const long before = maxResidentKilobytes();
    EXPECT_FALSE(CCImage::initWithData(bomb));
    EXPECT_FALSE(CCImage::initWithContentsOfFile(saved(QStringLiteral("bomb.png"), bomb)));
    EXPECT_LT(maxResidentKilobytes() - before, 64 * 1024);
}

TEST(CCImageFiles, LargePhotographWithinTheLimitLoads)
{
    const int defaultLimit = QImageReader::allocationLimit();
    QImage photo(8000, 6000, QImage::Format_RGB32);
    photo.fill(QColor(90, 120, 60));
    QPainter(&photo).fillRect(7000, 5000, 1000, 1000, Qt::white);
    const QByteArray jpeg = encode(photo, "jpeg", 80);
    photo = QImage();
    ASSERT_GT(qint64(8000) * 6000 * 4, qint64(defaultLimit) * 1024 * 1024) << "Qt alone would refuse it";
    const auto image = CCImage::initWithData(jpeg);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSizeF(8000, 6000));
    EXPECT_TRUE(NearColor(image->qimage().pixel(7500, 5500), Qt::white));
    EXPECT_EQ(QImageReader::allocationLimit(), defaultLimit);
}

TEST(CCImageSize, SmallestRepresentationDefinesTheSize)
{
    const auto image = CCImage::initWithRepresentations({photoLike(512, 512), QImage(), photoLike(256, 256)});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->representations().size(), 2u);
    EXPECT_EQ(image->size(), QSizeF(256, 256));
    EXPECT_EQ(image->sizeFromReps(), QSizeF(256, 256));
    EXPECT_EQ(image->qimage().size(), QSize(256, 256));
    // Drawing large picks the large bitmap, drawing small the small one.
    for (const auto &[width, picked] : {std::pair{400, 512}, {256, 256}, {1000, 512}})
        EXPECT_EQ(image->representationForWidth(width).width(), picked) << width;
    // Narrower wins, not smaller in area; the first of equal widths stays.
    const auto odd = CCImage::initWithRepresentations({photoLike(300, 10), photoLike(200, 900), photoLike(200, 5)});
    EXPECT_EQ(odd->size(), QSizeF(200, 900));
    EXPECT_FALSE(CCImage::initWithRepresentations({}));
    EXPECT_FALSE(CCImage::initWithRepresentations({QImage()}));
}

TEST(CCImageSize, RequestedSizeRerendersOnlyWhenItDiffersAndEmptyImagesHaveOnlyASize)
{
    const auto image = CCImage::initWithCGImage(FourQuadrants(100, 80));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->newImageWithRequestedSize({100, 80})->qimage().cacheKey(), image->qimage().cacheKey());
    EXPECT_EQ(image->newImageWithRequestedSize({0, 40})->size(), QSizeF(100, 80));
    const auto half = image->newImageWithRequestedSize({50, 40});
    ASSERT_TRUE(half);
    EXPECT_EQ(half->size(), QSizeF(50, 40));
    EXPECT_EQ(half->qimage().size(), QSize(50, 40));
    EXPECT_TRUE(NearColor(half->qimage().pixel(5, 5), kRed, 2));
    EXPECT_TRUE(NearColor(half->qimage().pixel(45, 35), kYellow, 2));
    EXPECT_FALSE(image->newImageWithRequestedSize({0.5, 40}));
    EXPECT_FALSE(image->newImageWithRequestedSize({1e9, 1e9}));

    // A zero part of the requested size keeps the bitmap's own.
    const auto wrapped = CCImage::initWithCGImage(FourQuadrants(100, 80), {0, 40});
    EXPECT_EQ(wrapped->size(), QSizeF(100, 40));
    EXPECT_EQ(wrapped->qimage().size(), QSize(100, 40));
    EXPECT_FALSE(CCImage::initWithCGImage(QImage()));

    const auto empty = CCImage::initWithSize({64.5, 32});
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->size(), QSizeF(64.5, 32));
    EXPECT_TRUE(empty->qimage().isNull());
    EXPECT_FALSE(CCImage::initWithSize({0, 10}));
    EXPECT_FALSE(CCImage::initWithSize({-3, 10}));
}

TEST(CCImageCopies, ReencodingKeepsThePicture)
{
    const QImage piece = pieceLike(photoLike(200, 200), 120);
    const auto copy = CCImage::initWithImage(*CCImage::initWithCGImage(piece));
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->qimage().convertToFormat(QImage::Format_ARGB32_Premultiplied), piece); // PNG: lossless

    const auto smaller = CCImage::initWithImage(*CCImage::initWithCGImage(FourQuadrants(60, 40)), {30, 20});
    ASSERT_TRUE(smaller);
    EXPECT_FALSE(smaller->hasAlpha()); // went through JPEG
    EXPECT_EQ(smaller->size(), QSizeF(30, 20));
    EXPECT_TRUE(NearColor(smaller->qimage().pixel(25, 15), kYellow, 12));
    EXPECT_FALSE(CCImage::initWithImage(*CCImage::initWithSize({10, 10})));
}

}
