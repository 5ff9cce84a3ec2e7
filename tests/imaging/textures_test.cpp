#include "imaging/textures.h"

#include "support/paths.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

struct Mean
{
    double red = 0, green = 0, blue = 0;
    double brightness() const { return (red + green + blue) / 3; }
};

Mean meanColour(const QImage &image)
{
    Mean mean;
    const double count = double(image.width()) * image.height();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            mean.red += qRed(p) / count;
            mean.green += qGreen(p) / count;
            mean.blue += qBlue(p) / count;
        }
    }
    return mean;
}

double pixelDifference(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

// Mean difference between columns (or rows) a and b.
double lineDifference(const QImage &image, int a, int b, bool columns)
{
    const int length = columns ? image.height() : image.width();
    double total = 0;
    for (int i = 0; i < length; ++i)
        total += columns ? pixelDifference(image.pixel(a, i), image.pixel(b, i))
                         : pixelDifference(image.pixel(i, a), image.pixel(i, b));
    return total / length;
}

// The difference across the wrap (last line to first) over the mean difference between
// neighbouring interior lines. Neighbours are taken across JPEG's 8-pixel block edges, as
// the wrap is one; about 1 for a seamless tile.
double seamRatio(const QImage &image, bool columns)
{
    const int last = (columns ? image.width() : image.height()) - 1;
    double interior = 0;
    int pairs = 0;
    for (int i = 7; i < last; i += 8, ++pairs)
        interior += lineDifference(image, i, i + 1, columns);
    return lineDifference(image, last, 0, columns) / (interior / pairs);
}

constexpr double kMaxSeamRatio = 1.2;

TEST(Textures, EveryEntryLoadsAsASquareTile)
{
    for (int index = 0; index < kTextureCount; ++index) {
        const QString name = TextureName(index);
        const QString path = ResourcePath(QStringLiteral("textures/") + name + QStringLiteral(".jpg"));
        ASSERT_FALSE(path.isEmpty()) << name.toStdString();
        EXPECT_LT(QFileInfo(path).size(), 160 * 1024) << name.toStdString();
        const QImage image = TextureImage(index);
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        EXPECT_EQ(image.width(), image.height());
        EXPECT_GE(image.width(), 256);
        EXPECT_LE(image.width(), 512);
        EXPECT_EQ(TextureImage(index).cacheKey(), image.cacheKey()) << "loaded once";
    }
}

TEST(Textures, TilesWrapWithoutASeam)
{
    for (int index = 0; index < kTextureCount; ++index) {
        const QImage image = TextureImage(index);
        ASSERT_FALSE(image.isNull());
        for (bool columns : {true, false})
            EXPECT_LT(seamRatio(image, columns), kMaxSeamRatio) << TextureName(index).toStdString() << columns;
        // A piece cut out of the same felt does show a seam.
        const QImage cut = image.copy(0, 0, 400, 400);
        EXPECT_GT(seamRatio(cut, true) + seamRatio(cut, false), 2 * kMaxSeamRatio) << TextureName(index).toStdString();
    }
}

TEST(Textures, ColoursMatchTheirNames)
{
    const std::function<bool(const Mean &)> looks[kTextureCount] = {
        [](const Mean &m) { return m.red > m.green && m.green > m.blue && m.red > 70; }, // Brown
        [](const Mean &m) { return m.blue > m.red + 40 && m.blue > m.green; },            // Blue0
        [](const Mean &m) { return m.red > m.green + 50 && m.red > m.blue + 50; },        // Red
        [](const Mean &m) { return std::abs(m.red - m.blue) < 8 && m.brightness() < 70; }, // Black1
        [](const Mean &m) { return std::abs(m.red - m.blue) < 8 && m.brightness() > 80; }, // Gray
        [](const Mean &m) { return m.blue > m.red + 40 && m.green > m.red; },              // Blue1
        [](const Mean &m) { return m.blue > m.green + 30 && m.red > m.green + 15; },       // Purple
        [](const Mean &m) { return std::abs(m.red - m.blue) < 8 && m.brightness() < 40; }, // Black0
    };
    for (int index = 0; index < kTextureCount; ++index) {
        const Mean mean = meanColour(TextureImage(index));
        EXPECT_TRUE(looks[index](mean)) << TextureName(index).toStdString() << ": " << mean.red << ", "
                                        << mean.green << ", " << mean.blue;
    }
    EXPECT_LT(meanColour(TextureImage(7)).brightness(), meanColour(TextureImage(3)).brightness());
}

TEST(Textures, IndexesOutsideTheTableMeanTheFirstEntry)
{
    for (int index : {-1, kTextureCount, 1000, INT32_MIN}) {
        EXPECT_EQ(TextureName(index), TextureName(0));
        EXPECT_EQ(TextureOutlineKolor(index), TextureOutlineKolor(0));
        EXPECT_EQ(TextureImage(index).cacheKey(), TextureImage(0).cacheKey());
    }
    // Every outline is drawn at the same 100 % opacity.
    for (int index = 0; index < kTextureCount; ++index)
        EXPECT_EQ(TextureOutlineKolor(index) >> 24, 0x64u);
}

}
