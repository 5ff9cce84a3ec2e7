#include "imaging/cc_pixmap.h"

#include "imaging/cc_image.h"
#include "imaging_fixtures.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using tj::test::Hex;

namespace {

std::unique_ptr<CCPixmap> pixmapOfSize(int width, int height)
{
    auto pixmap = CCPixmap::initWithSize(QSizeF(width, height));
    EXPECT_NE(pixmap, nullptr);
    return pixmap;
}

void fill(CCPixmap &pixmap, Kolor kolor)
{
    for (int y = 0; y < pixmap.height(); ++y)
        for (int x = 0; x < pixmap.width(); ++x)
            pixmap.setColor(kolor, QPointF(x, y));
}

}

TEST(CCPixmapMemory, RowsAreSixteenByteAlignedAndCleared)
{
    for (int width = 1; width <= 70; ++width) {
        auto pixmap = pixmapOfSize(width, 1 + width % 7);
        const qsizetype bytesPerRow = pixmap->bytesPerRow();
        ASSERT_TRUE(bytesPerRow % 16 == 0 && bytesPerRow >= width * 4 && bytesPerRow < width * 4 + 16) << bytesPerRow;
        ASSERT_EQ(reinterpret_cast<uintptr_t>(pixmap->bytes()) % 16, 0u);
        const uint8_t *bytes = pixmap->bytes();
        const qsizetype count = pixmap->bytesPerRow() * pixmap->height();
        ASSERT_EQ(std::count(bytes, bytes + count, 0), count);
    }
}

TEST(CCPixmapMemory, PixelBytesAreAlphaBlueGreenRedTopDown)
{
    auto pixmap = pixmapOfSize(5, 4);
    pixmap->setColor(0x64030201, QPointF(1, 2));
    const auto *pixel = reinterpret_cast<const char *>(pixmap->bytes() + 2 * pixmap->bytesPerRow() + 1 * 4);
    EXPECT_EQ(QByteArray(pixel, 4).toHex(), "ff030201");
    EXPECT_EQ(Hex{pixmap->getPixelColor(1, 2).value()}, Hex{0x010203FF});
    EXPECT_EQ(Hex{pixmap->kolorAtPoint(QPointF(1.9, 2.7))}, Hex{0x64030201});
}

TEST(CCPixmapMemory, SizesThatCannotBeMade)
{
    for (QSizeF size : {QSizeF(0, 10), QSizeF(10, 0), QSizeF(0.5, 10), QSizeF(-3, 10), QSizeF(std::nan(""), 10),
                        QSizeF(std::numeric_limits<double>::infinity(), 10), QSizeF(20001, 20001), QSizeF(1e12, 1)})
        EXPECT_EQ(CCPixmap::initWithSize(size), nullptr) << size.width() << " x " << size.height();
    EXPECT_FALSE(CreateQuartzBitmap(1, kMaxBitmapPixels + 1));
    EXPECT_FALSE(CreateQuartzBitmap(std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::max()));
    EXPECT_FALSE(CreateQuartzBitmap(-1, 5));
    auto truncated = CCPixmap::initWithSize(QSizeF(2.9, 3.7));
    ASSERT_NE(truncated, nullptr);
    EXPECT_EQ(truncated->size(), QSizeF(2, 3));
}

TEST(CCPixmapAccess, ReadsAndWritesOutsideAreIgnored)
{
    auto pixmap = pixmapOfSize(4, 3);
    fill(*pixmap, 0x64102030);
    const QByteArray before(reinterpret_cast<const char *>(pixmap->bytes()), pixmap->bytesPerRow() * 3);
    for (QPointF outside : {QPointF(4, 0), QPointF(0, 3), QPointF(-1, 1), QPointF(1, -1.5), QPointF(1e300, 0),
                            QPointF(std::nan(""), 1)}) {
        pixmap->setColor(0x64FFFFFF, outside);
        EXPECT_EQ(Hex{pixmap->kolorAtPoint(outside)}, Hex{kNoKolor});
    }
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(pixmap->bytes()), pixmap->bytesPerRow() * 3), before);
    for (QPoint outside : {QPoint(-1, 0), QPoint(4, 0), QPoint(0, 3)})
        EXPECT_FALSE(pixmap->getPixelColor(outside.x(), outside.y()));
    // Truncation toward zero keeps -0.5 in column 0.
    EXPECT_EQ(Hex{pixmap->kolorAtPoint(QPointF(-0.5, 0))}, Hex{0x64102030});
}

TEST(CCPixmapImages, PicturesOfEveryFormatArrivePremultipliedAndUpright)
{
    // The formats pictures arrive in: straight alpha (PNG), opaque (JPEG), premultiplied, grey.
    QImage png = tj::test::MakeTestPicture(203, 151).convertToFormat(QImage::Format_ARGB32);
    png.setPixel(5, 25, qRgba(90, 60, 30, 100));
    png.setPixel(5, 65, 0);
    for (const QImage &picture :
         {png, png.convertToFormat(QImage::Format_RGB32), png.convertToFormat(QImage::Format_ARGB32_Premultiplied),
          png.convertToFormat(QImage::Format_Grayscale8)}) {
        auto pixmap = CCPixmap::initWithQuartzImage(picture);
        ASSERT_NE(pixmap, nullptr);
        const QImage snapshot = pixmap->createCGImage();
        EXPECT_EQ(snapshot.format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_TRUE(snapshot == picture.convertToFormat(QImage::Format_ARGB32_Premultiplied)) << picture.format();
    }
    // Straight alpha in the file arrives premultiplied.
    const QRgb premultiplied = qPremultiply(png.pixel(5, 25));
    EXPECT_EQ(Hex{CCPixmap::initWithQuartzImage(png)->getPixelColor(5, 25).value()},
              Hex{MakePixel(qRed(premultiplied), qGreen(premultiplied), qBlue(premultiplied), 100)});
    EXPECT_NE(qRed(premultiplied), 90);
}

TEST(CCPixmapImages, ImageIsDrawnAtTheImageObjectsSizeAndComesBackAsAnImage)
{
    const QImage picture = tj::test::FourQuadrants(40, 20);
    const auto doubled = CCPixmap::initWithImage(*CCImage::initWithCGImage(picture, QSizeF(80, 40)))->createImage();
    ASSERT_NE(doubled, nullptr);
    EXPECT_EQ(doubled->size(), QSizeF(80, 40));
    EXPECT_EQ(Hex{doubled->qimage().pixel(10, 5)}, Hex{picture.pixel(5, 2)});
    EXPECT_EQ(Hex{doubled->qimage().pixel(70, 35)}, Hex{picture.pixel(35, 17)});
    const auto same = CCPixmap::initWithImage(*CCImage::initWithCGImage(picture))->createImage();
    ASSERT_NE(same, nullptr);
    EXPECT_TRUE(same->qimage() == picture.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    EXPECT_EQ(CCPixmap::initWithQuartzImage(QImage()), nullptr);
}

TEST(CCPixmapAlpha, AnswerIsComputedOnceAndClearedByCopyingAlike)
{
    auto pixmap = pixmapOfSize(7, 5);
    fill(*pixmap, 0x64336699);
    EXPECT_FALSE(pixmap->hasAlpha());
    // Pixel setters leave the cached answer alone.
    pixmap->setColor(0x32336699, QPointF(3, 3));
    EXPECT_FALSE(pixmap->hasAlpha());
    auto copy = pixmap->copy();
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->hasAlpha());
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(copy->bytes()), copy->bytesPerRow() * 5),
              QByteArray(reinterpret_cast<const char *>(pixmap->bytes()), pixmap->bytesPerRow() * 5));
    pixmap->copyPixelsFromBitmap(copy->bitmap());
    EXPECT_TRUE(pixmap->hasAlpha());
    pixmap->setAlpha(false);
    EXPECT_FALSE(pixmap->hasAlpha());
    EXPECT_TRUE(pixmapOfSize(3, 3)->hasAlpha());

    // Copying between buffers of different shapes does nothing.
    auto target = pixmapOfSize(4, 4);
    fill(*target, 0x64000000);
    EXPECT_FALSE(target->hasAlpha());
    for (QSize size : {QSize(5, 4), QSize(4, 5), QSize(3, 4)}) {
        target->copyPixelsFromBitmap(pixmapOfSize(size.width(), size.height())->bitmap());
        EXPECT_EQ(Hex{target->getPixelColor(0, 0).value()}, Hex{0x000000FF});
        EXPECT_FALSE(target->hasAlpha());
    }
}

TEST(CCPixmapAlpha, PixelCountAndCenterOfMass)
{
    auto pixmap = pixmapOfSize(10, 10);
    EXPECT_EQ(pixmap->pixelCount(), 0);
    EXPECT_EQ(pixmap->centerOfMass(), QPoint(0, 0));
    // A 3 x 2 block: the centre's row rounds down.
    for (QPoint at : {QPoint(2, 6), QPoint(3, 6), QPoint(4, 6), QPoint(2, 7), QPoint(3, 7), QPoint(4, 7)})
        pixmap->setColor(0x64FFFFFF, at);
    EXPECT_EQ(pixmap->pixelCount(), 6);
    EXPECT_EQ(pixmap->centerOfMass(), QPoint(3, 6));
    auto opaque = pixmapOfSize(10, 7);
    fill(*opaque, 0x64123456);
    EXPECT_EQ(opaque->pixelCount(), 70);
    EXPECT_EQ(opaque->centerOfMass(), QPoint(5, 3));
    // A known "opaque" answer is trusted as it stands.
    opaque->setColor(0, QPointF(0, 0));
    opaque->setAlpha(false);
    EXPECT_EQ(opaque->pixelCount(), 70);
}
