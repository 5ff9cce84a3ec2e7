#include "imaging/cc_pixmap.h"

#include "imaging_fixtures.h"

#include <QPainterPath>

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

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

struct Placed
{
    QPainterPath path;
    int x0, y0;
};

Placed knobPiece(QPointF origin, double side)
{
    QPainterPath path = tj::test::pieceOutline(origin, side, {Side::Knob, Side::Hole, Side::Knob, Side::Knob});
    const QRectF bounds = path.boundingRect();
    return {path, int(std::nearbyint(float(bounds.x()))), int(std::nearbyint(float(bounds.y())))};
}

bool transparentAt(const CCPixmap &pixmap, int x, int y)
{
    return PixelAlpha(pixmap.getPixelColor(x, y).value_or(0)) == 0;
}

bool touchesOutside(const CCPixmap &pixmap, int x, int y)
{
    return transparentAt(pixmap, x - 1, y) || transparentAt(pixmap, x + 1, y) || transparentAt(pixmap, x, y - 1)
           || transparentAt(pixmap, x, y + 1);
}

}

TEST(CutOut, CopiesThePicturePixelsInsideTheOutline)
{
    auto source = picture();
    for (QPointF origin : {QPointF(60, 50), QPointF(60.4, 49.7), QPointF(71.5, 52.5)}) {
        const Placed piece = knobPiece(origin, 110.3);
        QPointF firstCopied;
        auto cut = source->createPixmapForBezier(piece.path, &firstCopied);
        ASSERT_NE(cut, nullptr);
        const QRectF bounds = piece.path.boundingRect();
        EXPECT_EQ(cut->width(), int(std::nearbyint(float(bounds.right()))) - piece.x0);
        EXPECT_EQ(cut->height(), int(std::nearbyint(float(bounds.bottom()))) - piece.y0);
        const auto outline = tj::test::fineOutline(piece.path);
        int minX = INT_MAX, minY = INT_MAX;
        for (int y = 0; y < cut->height(); ++y) {
            for (int x = 0; x < cut->width(); ++x) {
                const QPointF at(x + piece.x0, y + piece.y0);
                const Pixel pixel = cut->getPixelColor(x, y).value();
                if (pixel != 0) {
                    minX = std::min(minX, x + piece.x0);
                    minY = std::min(minY, y + piece.y0);
                    ASSERT_EQ(Hex{pixel}, Hex{source->getPixelColor(int(at.x()), int(at.y())).value()});
                }
                if ((pixel != 0) != piece.path.contains(at)) {
                    ASSERT_LT(tj::test::distanceToOutline(at, outline), 0.01) << x << ", " << y;
                }
            }
        }
        EXPECT_EQ(firstCopied, QPointF(minX, minY));
        EXPECT_TRUE(cut->hasAlpha());
    }
}

TEST(CutOut, RimIsOnePixelWideFourConnectedAndInsideAndTheMaskFollowsIt)
{
    auto source = picture();
    const Placed piece = knobPiece({40.3, 30.6}, 150);
    auto cut = source->createPixmapForBezier(piece.path);
    ASSERT_NE(cut, nullptr);
    auto traced = cut->copy();
    traced->colorEdgesWith(kRimGray, kRimGray);
    int rim = 0, interior = 0;
    for (int y = 0; y < cut->height(); ++y) {
        for (int x = 0; x < cut->width(); ++x) {
            const Pixel before = cut->getPixelColor(x, y).value(), after = traced->getPixelColor(x, y).value();
            if (before == 0) {
                ASSERT_EQ(after, 0u);
            } else if (touchesOutside(*cut, x, y)) {
                ASSERT_EQ(Hex{after}, Hex{kRimGray}) << x << ", " << y;
                ASSERT_TRUE(piece.path.contains(QPointF(x + piece.x0, y + piece.y0)));
                ++rim;
            } else {
                ASSERT_EQ(Hex{after}, Hex{before}) << x << ", " << y;
                ++interior;
            }
        }
    }
    EXPECT_GT(rim, 4 * 150);
    EXPECT_GT(interior, 150 * 140);

    // With distinct values every interior pixel takes the interior value: the mask is a black
    // rim, white inside and clear outside, made on a copy.
    const auto bytesOf = [](const CCPixmap &pixmap) {
        return QByteArray(reinterpret_cast<const char *>(pixmap.bytes()), pixmap.bitmap().byteCount());
    };
    const QByteArray original = bytesOf(*cut);
    auto mask = cut->createMaskPixmap();
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(bytesOf(*cut), original);
    for (int y = 0; y < cut->height(); ++y) {
        for (int x = 0; x < cut->width(); ++x) {
            const Pixel rimOrNot = traced->getPixelColor(x, y).value();
            const Pixel expected = rimOrNot == 0 ? 0u : rimOrNot == kRimGray ? 0x000000FFu : 0xFFFFFFFFu;
            ASSERT_EQ(Hex{mask->getPixelColor(x, y).value()}, Hex{expected}) << x << ", " << y;
        }
    }
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
    EXPECT_EQ(Hex{pixmap->getPixelColor(3, 3).value()}, Hex{diagonal});
    for (QPoint rim : {QPoint(1, 2), QPoint(3, 2), QPoint(2, 1), QPoint(2, 3), QPoint(0, 4), QPoint(5, 3)})
        EXPECT_EQ(Hex{pixmap->getPixelColor(rim.x(), rim.y()).value()}, Hex{kRimGray});

    // Tiny cut-outs are all rim.
    auto source = picture();
    for (QRectF rect : {QRectF(50, 60, 1, 1), QRectF(50, 60, 2, 2), QRectF(49.6, 59.6, 2.1, 2.3)}) {
        auto cut = source->createPixmapForBezier(rectangle(rect));
        ASSERT_NE(cut, nullptr);
        cut->colorEdgesWith(kRimGray, 0xFFFFFFFF);
        for (int y = 0; y < cut->height(); ++y)
            for (int x = 0; x < cut->width(); ++x)
                EXPECT_EQ(Hex{cut->getPixelColor(x, y).value()}, Hex{kRimGray});
    }

    // Left and upper neighbours are seen after they were rewritten, so transparent values
    // spread across the pass.
    auto spread = picture(5, 5);
    spread->colorEdgesWith(kRimGray, 0);
    const char *expected[] = {"EEEEE", "E0E0E", "EE0EE", "E0E0E", "EEEEE"};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(Hex{spread->getPixelColor(x, y).value()}, Hex{expected[y][x] == 'E' ? kRimGray : 0u})
                << x << ", " << y;
    auto eroded = picture(6, 5);
    eroded->colorEdgesWith(0, 0x123456FF);
    EXPECT_EQ(eroded->pixelCount(), 0);
}

TEST(CutOut, AlphaFlagFollowsWhatWasScanned)
{
    auto source = picture();
    auto whole = source->createPixmapForBezier(rectangle(QRectF(10, 10, 20, 15)));
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->size(), QSizeF(20, 15));
    EXPECT_FALSE(whole->hasAlpha());

    source->setColor(0x32FFFFFF, QPointF(15, 12));
    auto translucent = source->createPixmapForBezier(rectangle(QRectF(10, 10, 20, 15)));
    EXPECT_TRUE(translucent->hasAlpha());
    source->setColor(kNoKolor, QPointF(15, 12));
    auto holed = source->createPixmapForBezier(rectangle(QRectF(10, 10, 20, 15)));
    EXPECT_TRUE(holed->hasAlpha());
    EXPECT_EQ(holed->pixelCount(), 20 * 15 - 1);

    // Over the picture's edge the unscanned part is transparent, and says so.
    auto overEdge = source->createPixmapForBezier(rectangle(QRectF(-5, 100, 20, 10)));
    ASSERT_NE(overEdge, nullptr);
    EXPECT_TRUE(overEdge->hasAlpha());
    EXPECT_EQ(overEdge->pixelCount(), 15 * 10);
    EXPECT_EQ(Hex{overEdge->getPixelColor(4, 0).value()}, Hex{0});
    EXPECT_EQ(Hex{overEdge->getPixelColor(5, 0).value()}, Hex{source->getPixelColor(0, 100).value()});
}

TEST(CutOut, OriginIsTheFirstCopiedColumnAndRow)
{
    auto source = picture();
    for (int y = 0; y < source->height(); ++y)
        for (int x = 0; x < 100; ++x)
            source->bitmap().row(y)[x] = 0;
    QPointF origin;
    auto cut = source->createPixmapForBezier(rectangle(QRectF(90, 50, 20, 20)), &origin);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(origin, QPointF(100, 50));
    EXPECT_EQ(Hex{cut->getPixelColor(9, 0).value()}, Hex{0});
    EXPECT_EQ(Hex{cut->getPixelColor(10, 0).value()}, Hex{source->getPixelColor(100, 50).value()});

    QPainterPath triangle(QPointF(130, 10));
    triangle.lineTo(130, 30);
    triangle.lineTo(110, 30);
    triangle.closeSubpath();
    cut = source->createPixmapForBezier(triangle, &origin);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(origin, QPointF(111, 11));
    EXPECT_EQ(Hex{cut->getPixelColor(19, 1).value()}, Hex{source->getPixelColor(129, 11).value()});
}

TEST(CutOut, NothingToCutGivesNoBuffer)
{
    auto source = picture();
    EXPECT_EQ(source->createPixmapForBezier(QPainterPath()), nullptr);
    EXPECT_EQ(source->createPixmapForBezier(rectangle(QRectF(10.2, 10, 0.2, 5))), nullptr);
    EXPECT_EQ(source->createPixmapForBezier(rectangle(QRectF(10, 10.4, 5, 0.1))), nullptr);
    EXPECT_EQ(source->createPixmapForBezier(rectangle(QRectF(300, 10, 20, 20))), nullptr);
    EXPECT_EQ(source->createPixmapForBezier(rectangle(QRectF(-40, -40, 30, 30))), nullptr);
    EXPECT_EQ(source->createPixmapForBezier(rectangle(QRectF(-1e12, 0, 2e12, 10))), nullptr);
    EXPECT_EQ(source->createPixmapForBezier(rectangle(QRectF(0, 0, 30000, 30000))), nullptr);
    // A point of a rectangle that starts past a whole pixel misses that pixel.
    EXPECT_EQ(source->createPixmapForBezier(rectangle(QRectF(50.2, 60.1, 0.9, 0.9))), nullptr);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            source->bitmap().row(y)[x] = 0;
    EXPECT_EQ(source->createPixmapForBezier(knobPiece({20, 20}, 50).path), nullptr);
}

TEST(CutOut, ParallelCutsFromOneSourceMatchSerialOnes)
{
    auto source = picture(400, 300);
    std::vector<QPainterPath> pieces;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            pieces.push_back(knobPiece({column * 95.0 + 12.3, row * 90.0 + 11.1}, 70).path);
    const auto bytesOf = [&](const QPainterPath &path) {
        auto cut = source->createPixmapForBezier(path);
        cut->colorEdgesWith(kRimGray, kRimGray);
        return QByteArray(reinterpret_cast<const char *>(cut->bytes()), cut->bitmap().byteCount());
    };
    std::vector<QByteArray> serial, parallel(pieces.size());
    for (const QPainterPath &path : pieces)
        serial.push_back(bytesOf(path));
    std::vector<std::thread> workers;
    for (size_t first = 0; first < 4; ++first)
        workers.emplace_back([&, first] {
            for (size_t i = first; i < pieces.size(); i += 4)
                parallel[i] = bytesOf(pieces[i]);
        });
    for (std::thread &worker : workers)
        worker.join();
    EXPECT_EQ(parallel, serial);
}
