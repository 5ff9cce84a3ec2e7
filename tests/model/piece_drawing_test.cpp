#include "model_fixtures.h"

#include <QPainter>

using namespace tj::test;

namespace {

constexpr QRgb kBoard = 0xFF204020;

QImage drawn(JPPiece *piece, bool selected, bool dimmed)
{
    QImage canvas(400, 400, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(kBoard);
    QPainter painter(&canvas);
    piece->drawSelected(painter, selected, dimmed);
    return canvas;
}

int distance(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

int countWhere(const QImage &image, const std::function<bool(QRgb)> &test)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += test(image.pixel(x, y));
    return count;
}

class PieceDrawingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        puzzle = BuildPuzzle(PhotoPath(), 20);
        ASSERT_TRUE(puzzle);
        puzzle->setScale(1.0);
        piece = puzzle->pieceWithIndex(uint64_t(puzzle->maxCoord().x + 1));
        piece->setBoardLocation(QPointF(200, 200));
    }
    std::unique_ptr<JPPuzzle> puzzle;
    JPPiece *piece = nullptr;
};

}

TEST_F(PieceDrawingTest, ShowsItsPictureAtItsPlaceOnlyTheOutlineDimmedAndAHighlightSelected)
{
    const QImage dimmed = drawn(piece, false, true);
    EXPECT_EQ(dimmed.pixel(200, 200), kBoard);
    const int outline = countWhere(dimmed, [](QRgb p) { return p != kBoard; });
    EXPECT_GT(outline, 200);
    EXPECT_LT(outline, 3000);

    const auto yellow = [](QRgb p) { return qRed(p) > 230 && qGreen(p) > 230 && qBlue(p) < 40; };
    const QImage plain = drawn(piece, false, false);
    const QColor expected = puzzle->image()->qimage().pixelColor(piece->rect().center().toPoint());
    EXPECT_LT(distance(plain.pixelColor(200, 200), expected), 30);
    const QImage selected = drawn(piece, true, false);
    EXPECT_NE(selected.pixel(200, 200), kBoard);
    EXPECT_GT(countWhere(selected, yellow), countWhere(plain, yellow) + 200);
}

TEST_F(PieceDrawingTest, ATurnedPieceIsDrawnTurnedOnlyWhenTurningIsOn)
{
    piece->setRotation(2);
    puzzle->setRotate(false);
    const QImage upright = drawn(piece, false, false);
    puzzle->setRotate(true);
    const QImage turned = drawn(piece, false, false);
    // Over the middle of the piece, the turned drawing is the upright one turned half round
    // its centre, and clearly not the upright one itself.
    const int r = int(std::min(piece->rect().width(), piece->rect().height()) / 3);
    int64_t turnedAway = 0, unturned = 0;
    for (int y = 200 - r; y <= 200 + r; ++y)
        for (int x = 200 - r; x <= 200 + r; ++x) {
            turnedAway += distance(QColor(turned.pixel(x, y)), QColor(upright.pixel(399 - x, 399 - y)));
            unturned += distance(QColor(turned.pixel(x, y)), QColor(upright.pixel(x, y)));
        }
    const int64_t pixels = int64_t(2 * r + 1) * (2 * r + 1);
    EXPECT_LT(turnedAway / pixels, 12);
    EXPECT_LT(turnedAway * 2, unturned);
}
