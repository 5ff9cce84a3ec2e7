#include "imaging/cc_pixmap.h"

#include "imaging_fixtures.h"

#include <QPainterPath>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <string>

using tj::test::Hex;
using tj::test::Side;

namespace {

constexpr Pixel kRimGray = 0x808080FF;

// An opaque picture in which neighbouring pixels differ, so a shifted copy shows.
std::unique_ptr<CCPixmap> picture(int width = 300, int height = 240)
{
    auto pixmap = CCPixmap::initWithSize(QSizeF(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixmap->bitmap().row(y)[x] = MakePixel(x * 5 + y, y * 3 + x, x ^ y, 255);
    return pixmap;
}

QPainterPath rectangle(QRectF rect)
{
    QPainterPath path;
    path.addRect(rect);
    return path;
}

QPainterPath knobPiece(QPointF origin, double side)
{
    return tj::test::pieceOutline(origin, side, {Side::Knob, Side::Hole, Side::Knob, Side::Knob});
}

// The picture pixels a cut-out covers: its outline's bounds rounded in single precision.
QRect cutArea(const QPainterPath &path)
{
    const QRectF bounds = path.boundingRect();
    const auto round = [](double value) { return int(std::nearbyint(float(value))); };
    return QRect(QPoint(round(bounds.left()), round(bounds.top())),
                 QPoint(round(bounds.right()) - 1, round(bounds.bottom()) - 1));
}

bool touchesOutside(const CCPixmap &pixmap, int x, int y)
{
    for (QPoint next : {QPoint(x - 1, y), QPoint(x + 1, y), QPoint(x, y - 1), QPoint(x, y + 1)})
        if (PixelAlpha(pixmap.getPixelColor(next.x(), next.y()).value_or(0)) == 0)
            return true;
    return false;
}

// The buffer as rows of text: 'R' where it holds the rim grey, '0' where it is clear, '.' elsewhere.
std::vector<std::string> rimMap(const CCPixmap &pixmap)
{
    std::vector<std::string> rows(size_t(pixmap.height()), std::string(size_t(pixmap.width()), '.'));
    for (int y = 0; y < pixmap.height(); ++y)
        for (int x = 0; x < pixmap.width(); ++x) {
            const Pixel pixel = pixmap.getPixelColor(x, y).value();
            rows[size_t(y)][size_t(x)] = pixel == kRimGray ? 'R' : pixel == 0 ? '0' : '.';
        }
    return rows;
}

}

TEST(CutOut, CopiesThePicturePixelsInsideTheOutlineAndReportsTheFirstCopied)
{
    // Clear columns on the left, so the first copied column need not be the outline's; the
    // last pieces hang over the picture's edges.
    auto source = picture();
    for (int y = 0; y < source->height(); ++y)
        std::fill_n(source->bitmap().row(y), 80, 0);
    for (QPointF origin : {QPointF(60, 50), QPointF(60.4, 49.7), QPointF(171.5, -22.5), QPointF(230.4, 170.6)}) {
        const QPainterPath piece = knobPiece(origin, 110.3);
        const QRect area = cutArea(piece);
        QPointF firstCopied;
        auto cut = source->createPixmapForBezier(piece, &firstCopied);
        ASSERT_NE(cut, nullptr);
        EXPECT_EQ(cut->size(), QSizeF(area.size()));
        int minX = INT_MAX, minY = INT_MAX;
        for (int y = 0; y < cut->height(); ++y)
            for (int x = 0; x < cut->width(); ++x) {
                const QPoint at = area.topLeft() + QPoint(x, y);
                const Pixel pixel = cut->getPixelColor(x, y).value();
                const Pixel under = source->getPixelColor(at.x(), at.y()).value_or(0);
                if (pixel != 0) {
                    minX = std::min(minX, at.x());
                    minY = std::min(minY, at.y());
                    ASSERT_EQ(Hex{pixel}, Hex{under});
                }
                const bool inside = under != 0 && piece.contains(QPointF(at));
                ASSERT_TRUE((pixel != 0) == inside || tj::test::onOutline(piece, at)) << x << ", " << y;
            }
        EXPECT_EQ(firstCopied, QPointF(minX, minY));
        EXPECT_TRUE(cut->hasAlpha());
    }
}

TEST(CutOut, RimIsOnePixelWideFourConnectedAndInsideAndTheMaskFollowsIt)
{
    auto source = picture();
    const QPainterPath piece = knobPiece({40.3, 30.6}, 150);
    auto cut = source->createPixmapForBezier(piece);
    ASSERT_NE(cut, nullptr);
    const auto bytesOf = [](const CCPixmap &pixmap) {
        return QByteArray(reinterpret_cast<const char *>(pixmap.bytes()), pixmap.bitmap().byteCount());
    };
    const QByteArray original = bytesOf(*cut);
    auto traced = cut->copy();
    traced->colorEdgesWith(kRimGray, kRimGray);
    // With distinct values every interior pixel takes the interior value: the mask is a black
    // rim, white inside and clear outside, made on a copy.
    auto mask = cut->createMaskPixmap();
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(bytesOf(*cut), original);
    int rim = 0, interior = 0;
    for (int y = 0; y < cut->height(); ++y)
        for (int x = 0; x < cut->width(); ++x) {
            const Pixel before = cut->getPixelColor(x, y).value(), after = traced->getPixelColor(x, y).value();
            const Pixel masked = mask->getPixelColor(x, y).value();
            if (before == 0) {
                ASSERT_EQ(after | masked, 0u);
            } else if (touchesOutside(*cut, x, y)) {
                ASSERT_EQ(Hex{after}, Hex{kRimGray}) << x << ", " << y;
                ASSERT_EQ(Hex{masked}, Hex{0x000000FF}) << x << ", " << y;
                ASSERT_TRUE(piece.contains(QPointF(cutArea(piece).topLeft() + QPoint(x, y))));
                ++rim;
            } else {
                ASSERT_EQ(Hex{after}, Hex{before}) << x << ", " << y;
                ASSERT_EQ(Hex{masked}, Hex{0xFFFFFFFF}) << x << ", " << y;
                ++interior;
            }
        }
    EXPECT_GT(rim, 4 * 150);
    EXPECT_GT(interior, 150 * 140);
    cut->convertToMask();
    EXPECT_EQ(bytesOf(*cut), bytesOf(*mask));
}

TEST(CutOut, RimRulesOnSmallBuffers)
{
    // A pixel whose only transparent neighbour is diagonal is interior.
    auto pixmap = picture(6, 6);
    pixmap->bitmap().row(2)[2] = 0;
    const Pixel diagonal = pixmap->getPixelColor(3, 3).value();
    pixmap->colorEdgesWith(kRimGray, kRimGray);
    EXPECT_EQ(rimMap(*pixmap), (std::vector<std::string>{"RRRRRR", "R.R..R", "RR0R.R", "R.R..R", "R....R", "RRRRRR"}));
    EXPECT_EQ(Hex{pixmap->getPixelColor(3, 3).value()}, Hex{diagonal});

    // Tiny cut-outs are all rim.
    auto source = picture();
    for (QRectF rect : {QRectF(50, 60, 1, 1), QRectF(50, 60, 2, 2), QRectF(49.6, 59.6, 2.1, 2.3)}) {
        auto cut = source->createPixmapForBezier(rectangle(rect));
        ASSERT_NE(cut, nullptr);
        cut->colorEdgesWith(kRimGray, 0xFFFFFFFF);
        EXPECT_EQ(rimMap(*cut), std::vector(size_t(cut->height()), std::string(size_t(cut->width()), 'R')));
    }

    // Left and upper neighbours are seen after they were rewritten, so transparent values
    // spread across the pass.
    auto spread = picture(5, 5);
    spread->colorEdgesWith(kRimGray, 0);
    EXPECT_EQ(rimMap(*spread), (std::vector<std::string>{"RRRRR", "R0R0R", "RR0RR", "R0R0R", "RRRRR"}));
    auto eroded = picture(6, 5);
    eroded->colorEdgesWith(0, 0x123456FF);
    EXPECT_EQ(eroded->pixelCount(), 0);
}

TEST(CutOut, AlphaFlagFollowsWhatWasScanned)
{
    auto source = picture();
    const QPainterPath area = rectangle(QRectF(10, 10, 20, 15));
    auto whole = source->createPixmapForBezier(area);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->size(), QSizeF(20, 15));
    EXPECT_FALSE(whole->hasAlpha());
    source->setColor(0x32FFFFFF, QPointF(15, 12));
    EXPECT_TRUE(source->createPixmapForBezier(area)->hasAlpha());
    source->setColor(kNoKolor, QPointF(15, 12));
    auto holed = source->createPixmapForBezier(area);
    EXPECT_TRUE(holed->hasAlpha());
    EXPECT_EQ(holed->pixelCount(), 20 * 15 - 1);
    // Over the picture's edge the unscanned part is transparent, and says so.
    EXPECT_TRUE(source->createPixmapForBezier(rectangle(QRectF(-5, 100, 20, 10)))->hasAlpha());
}

TEST(CutOut, NothingToCutGivesNoBuffer)
{
    auto source = picture();
    EXPECT_EQ(source->createPixmapForBezier(QPainterPath()), nullptr);
    // The last is a rectangle that starts past a whole pixel and so misses that pixel.
    for (QRectF rect :
         {QRectF(10.2, 10, 0.2, 5), QRectF(10, 10.4, 5, 0.1), QRectF(300, 10, 20, 20), QRectF(-40, -40, 30, 30),
          QRectF(-1e12, 0, 2e12, 10), QRectF(0, 0, 30000, 30000), QRectF(50.2, 60.1, 0.9, 0.9)})
        EXPECT_EQ(source->createPixmapForBezier(rectangle(rect)), nullptr) << rect.x() << ", " << rect.y();
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            source->bitmap().row(y)[x] = 0;
    EXPECT_EQ(source->createPixmapForBezier(knobPiece({20, 20}, 50)), nullptr);
}

TEST(CutOut, ParallelCutsFromOneSourceMatchSerialOnes)
{
    auto source = picture(400, 300);
    std::vector<QPainterPath> pieces;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            pieces.push_back(knobPiece({column * 95.0 + 12.3, row * 90.0 + 11.1}, 70));
    const auto bytesOf = [&](const QPainterPath &path) {
        auto cut = source->createPixmapForBezier(path);
        cut->colorEdgesWith(kRimGray, kRimGray);
        return QByteArray(reinterpret_cast<const char *>(cut->bytes()), cut->bitmap().byteCount());
    };
    std::vector<std::future<QByteArray>> parallel;
    for (const QPainterPath &path : pieces)
        parallel.push_back(std::async(std::launch::async, bytesOf, path));
    for (size_t i = 0; i < pieces.size(); ++i)
        EXPECT_EQ(parallel[i].get(), bytesOf(pieces[i])) << i;
}
