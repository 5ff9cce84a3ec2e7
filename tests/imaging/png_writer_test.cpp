#include "imaging/png_writer.h"
#include "support/paths.h"

#include "imaging_fixtures.h"
#include "test_support.h"

#include <QFile>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace tj::test;

// The ARGB32 premultiplied picture as our pixel buffer keeps it: alpha, blue, green, red.
std::vector<uint8_t> abgrBytes(const QImage &image, qsizetype bytesPerRow)
{
    std::vector<uint8_t> bytes(size_t(bytesPerRow) * image.height(), 0xEE);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb rgb = image.pixel(x, y);
            const uint8_t pixel[] = {uint8_t(qAlpha(rgb)), uint8_t(qBlue(rgb)), uint8_t(qGreen(rgb)),
                                     uint8_t(qRed(rgb))};
            std::copy_n(pixel, 4, bytes.data() + y * bytesPerRow + x * 4);
        }
    return bytes;
}

std::vector<QImage> samplePictures()
{
    const QImage photo = photoLike(400, 300);
    std::vector<QImage> pictures;
    pictures.push_back(pieceLike(photo, 178));
    pictures.push_back(randomPremultiplied(61, 43));
    pictures.push_back(photo.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    QImage texture(ResourcePath(QStringLiteral("textures/Red.jpg")));
    if (!texture.isNull())
        pictures.push_back(pieceLike(texture, 150));
    return pictures;
}

TEST(PngWriter, UnpremultiplyInvertsPremultiplicationExactly)
{
    for (int alpha = 1; alpha < 256; ++alpha)
        for (int value = 0; value <= alpha; ++value) {
            const uint8_t straight = Unpremultiply(uint8_t(value), uint8_t(alpha));
            ASSERT_EQ(Premultiply(straight, uint8_t(alpha)), value) << "alpha " << alpha;
            ASSERT_EQ(qBlue(qPremultiply(qRgba(0, 0, straight, alpha))), value) << "alpha " << alpha;
        }
    for (int value = 0; value < 256; ++value)
        EXPECT_EQ(Unpremultiply(uint8_t(value), 255), value);
    // Not valid premultiplied input; must still stay within a byte.
    EXPECT_EQ(Unpremultiply(200, 100), 255);
}

TEST(PngWriter, QtReadsBackTheSamePixelsInEveryFormat)
{
    std::vector<QImage> pictures = samplePictures();
    const QImage photo = photoLike(50, 40);
    pictures.push_back(photo);
    pictures.push_back(photo.convertToFormat(QImage::Format_Grayscale8));
    pictures.push_back(randomPremultiplied(50, 40).convertToFormat(QImage::Format_ARGB32));
    for (const QImage &picture : pictures) {
        const QByteArray png = EncodePng(picture);
        ASSERT_FALSE(png.isEmpty());
        const QImage decoded = QImage::fromData(png, "png").convertToFormat(picture.format());
        ASSERT_EQ(decoded.size(), picture.size());
        const int rowBytes = picture.width() * picture.depth() / 8;
        for (int y = 0; y < picture.height(); ++y)
            ASSERT_EQ(0, memcmp(decoded.constScanLine(y), picture.constScanLine(y), rowBytes))
                << "format " << picture.format() << " row " << y;
    }
}

TEST(PngWriter, RefusesBadInput)
{
    const uint8_t pixels[16] = {};
    EXPECT_TRUE(EncodePng(QImage()).isEmpty());
    EXPECT_TRUE(EncodePng(nullptr, 2, 2, 8).isEmpty());
    // The last is too large for one file.
    for (const auto &[width, height, bytesPerRow] :
         {std::tuple{0, 2, 8}, {2, 0, 8}, {2, 2, 7}, {-2, 2, 8}, {100000, 100000, 400000}})
        EXPECT_TRUE(EncodePng(pixels, width, height, bytesPerRow).isEmpty()) << width << " x " << height;
    EXPECT_FALSE(EncodePng(pixels, 2, 2, 8).isEmpty());
}

TEST(PngWriter, FailedWritesLeaveNoFileAndPaddedPixelRowsWriteThePicture)
{
    const QString folder = freshFolder();
    const QString regularFile = folder + QStringLiteral("/plain");
    writeFile(regularFile, QByteArray());
    const QImage picture = samplePictures().front();
    const std::vector<uint8_t> pixels = abgrBytes(picture, picture.width() * 4);
    const QStringList unwritable = {regularFile + QStringLiteral("/piece.png"),
                                    folder + QStringLiteral("/none/piece.png")};
    for (const QString &path : unwritable) {
        EXPECT_FALSE(WritePngAtomically(path, picture));
        EXPECT_FALSE(WritePngFromPixels(path, pixels.data(), picture.width(), picture.height(), picture.width() * 4));
        EXPECT_FALSE(QFile::exists(path));
    }
    const QString good = folder + QStringLiteral("/Stück 1.png");
    const qsizetype padded = picture.width() * 4 + 60;
    ASSERT_TRUE(WritePngFromPixels(good, abgrBytes(picture, padded).data(), picture.width(), picture.height(), padded));
    EXPECT_EQ(QImage(good).convertToFormat(QImage::Format_ARGB32_Premultiplied), picture);
}

}
