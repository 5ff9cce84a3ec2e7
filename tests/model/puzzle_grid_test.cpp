#include "model/jp_puzzle.h"
#include "model/puzzle_folder.h"
#include "model_fixtures.h"

#include <gtest/gtest.h>

#include <numeric>
#include <set>
#include <tuple>

using tj::test::MakePicturePuzzle;

namespace {

struct Metrics
{
    std::unique_ptr<JPPuzzle> puzzle;
    std::vector<GridCoord> cells;
    bool ok = false;
};

Metrics metricsFor(int width, int height, int64_t count)
{
    Metrics m;
    m.puzzle = MakePicturePuzzle(width, height);
    m.ok = m.puzzle->calculateMetrics(count, m.cells);
    return m;
}

}

TEST(PuzzleGrid, HundredPiecesOfALandscapeAndAPortraitPicture)
{
    struct Case
    {
        int width, height;
        GridCoord grid, extent, gapBegin, gapEnd;
    };
    for (const Case &c :
         {Case{1600, 1200, {12, 9}, {18, 10}, {4, 1}, {13, 7}}, Case{1200, 1600, {9, 12}, {18, 10}, {5, 0}, {11, 9}}}) {
        Metrics m = metricsFor(c.width, c.height, 100);
        ASSERT_TRUE(m.ok);
        const JPPuzzle &p = *m.puzzle;
        EXPECT_EQ(p.maxCoord(), c.grid);
        EXPECT_EQ(p.layoutExtent(), c.extent);
        EXPECT_EQ(p.gapBegin(), c.gapBegin);
        EXPECT_EQ(p.gapEnd(), c.gapEnd);
        EXPECT_EQ(p.baseSize(), QSizeF(133, 133));
        EXPECT_EQ(p.protrusion(), 44.0);
    }
    Metrics m = metricsFor(1600, 1200, 100);
    EXPECT_EQ(m.puzzle->minIncLimit(), (GridCoord{2, 1}));
    EXPECT_EQ(m.puzzle->maxIncStart(), (GridCoord{10, 7}));
    EXPECT_EQ(m.cells.size(), 110u);
}

TEST(PuzzleGrid, FreeCellsAreEveryCellOutsideTheGapInReadingOrder)
{
    for (const auto &[w, h, n] : std::vector<std::tuple<int, int, int>>{
             {1600, 1200, 100}, {1200, 1600, 100}, {2000, 1500, 1000}, {2000, 600, 37}, {640, 2000, 500}}) {
        Metrics m = metricsFor(w, h, n);
        ASSERT_TRUE(m.ok);
        const JPPuzzle &p = *m.puzzle;
        std::vector<GridCoord> expected;
        for (int64_t y = 0; y < p.layoutExtent().y; ++y)
            for (int64_t x = 0; x < p.layoutExtent().x; ++x) {
                const bool inGap = y >= p.gapBegin().y && y <= p.gapEnd().y && x >= p.gapBegin().x && x <= p.gapEnd().x;
                if (!inGap || p.gapBegin().x < 0)
                    expected.push_back({x, y});
            }
        EXPECT_EQ(m.cells, expected) << w << "x" << h << " " << n;
        EXPECT_GE(p.pieceCount(), n);
    }
}

TEST(PuzzleGrid, AShortGridGrowsAlongThePicturesLongerSideFirst)
{
    // 4 x 3 = 12 < 16: a landscape picture gains a column, then a row.
    EXPECT_EQ(metricsFor(2000, 1500, 16).puzzle->maxCoord(), (GridCoord{5, 4}));
    // 3 x 4 = 12 < 13: a portrait picture gains a row, which is enough.
    EXPECT_EQ(metricsFor(1500, 2000, 13).puzzle->maxCoord(), (GridCoord{3, 5}));
    // A square picture counts as landscape.
    EXPECT_EQ(metricsFor(1000, 1000, 2).puzzle->maxCoord(), (GridCoord{2, 1}));
    for (int n = 1; n < 600; n += 7)
        for (const auto &[w, h] :
             std::vector<std::pair<int, int>>{{2000, 1500}, {1500, 2000}, {1000, 1000}, {2000, 500}}) {
            Metrics m = metricsFor(w, h, n);
            ASSERT_TRUE(m.ok) << n;
            EXPECT_GE(m.puzzle->pieceCount(), n) << w << "x" << h << " " << n;
        }
}

TEST(PuzzleGrid, PiecesTakeDistinctFreeCellsAndThoseBeyondShareTheFirst)
{
    auto puzzle = MakePicturePuzzle(2000, 1500);
    ASSERT_TRUE(puzzle->buildPiecesForTesting(16));
    ASSERT_EQ(puzzle->pieceCount(), 20);
    const GridCoord low = puzzle->gapBegin(), high = puzzle->gapEnd();
    std::set<std::pair<int64_t, int64_t>> cells;
    for (uint64_t i = 0; i < 16; ++i) {
        const GridCoord c = puzzle->pieceWithIndex(i)->looseCoord();
        EXPECT_TRUE(cells.insert({c.x, c.y}).second);
        EXPECT_FALSE(c.x >= low.x && c.x <= high.x && c.y >= low.y && c.y <= high.y) << "in the gap";
    }
    for (uint64_t i = 16; i < 20; ++i)
        EXPECT_EQ(puzzle->pieceWithIndex(i)->looseCoord(), (GridCoord{0, 0}));
}

TEST(PuzzleGrid, ColumnsAndRowsSpanThePictureExactly)
{
    for (const auto &[w, h, n] :
         std::vector<std::tuple<int, int, int>>{{1600, 1200, 100}, {1999, 1333, 700}, {977, 1601, 333}}) {
        auto puzzle = MakePicturePuzzle(w, h);
        ASSERT_TRUE(puzzle->buildPiecesForTesting(n));
        const GridCoord g = puzzle->maxCoord();
        ASSERT_EQ(puzzle->colPositions().size(), size_t(g.x));
        ASSERT_EQ(puzzle->rowPositions().size(), size_t(g.y));
        EXPECT_EQ(puzzle->colPosition(0), 0.0);
        EXPECT_EQ(puzzle->colPosition(g.x), double(w));
        EXPECT_EQ(puzzle->rowPosition(g.y), double(h));
        for (const auto &piece : puzzle->allPieces()) {
            const GridCoord c = piece->coord();
            EXPECT_EQ(piece->rect(),
                      QRectF(QPointF(puzzle->colPosition(c.x), puzzle->rowPosition(c.y)),
                             QPointF(puzzle->colPosition(c.x + 1), puzzle->rowPosition(c.y + 1))));
            EXPECT_EQ(piece->pieceIndex(), uint64_t(c.y * g.x + c.x));
        }
    }
}

TEST(PuzzleGrid, RefusesCountsThePictureCannotCarry)
{
    for (const auto &[w, h, n] : std::vector<std::tuple<double, double, int64_t>>{
             {1600, 1200, 0},
             {1600, 1200, -5},
             {4000, 3000, 5001},
             // More columns than pixels would give pieces no width.
             {20, 10, 1000},
             // Pieces of 2 pixels would have no knob, and the puzzle could never be read back.
             {100, 100, 1500},
             {2, 200, 50},
             {2000, 2, 50}})
        EXPECT_FALSE(JPPuzzle::gridForCount(w, h, n)) << w << "x" << h << " " << n;
    EXPECT_FALSE(metricsFor(100, 100, 1500).ok);
    EXPECT_TRUE(metricsFor(100, 100, 1000).ok);
}

TEST(PuzzleGrid, AGridPastTheLastPieceIndexGivesUpColumnsOrRowsAlongItsLongerSide)
{
    // 5000 pieces of photographs of the usual shapes, as stored (at most 2000 pixels).
    const std::vector<std::tuple<QSize, GridCoord>> cases = {
        {QSize(6000, 4500), {81, 61}}, // 82 x 61 = 5002
        {QSize(6000, 4000), {86, 58}}, // 87 x 58 = 5046
        {QSize(4500, 6000), {62, 80}}, // 62 x 82 = 5084
        {QSize(4800, 4800), {70, 71}}, // 71 x 71 = 5041
    };
    for (const auto &[photo, grid] : cases) {
        EXPECT_TRUE(CanCutPicture(photo, 5000)) << photo.width() << "x" << photo.height();
        const QSize stored = photo.scaled(2000, 2000, Qt::KeepAspectRatio);
        EXPECT_EQ(JPPuzzle::gridForCount(stored.width(), stored.height(), 5000), grid)
            << photo.width() << "x" << photo.height();
    }
}

TEST(PuzzleGrid, EveryCountTheSizeRuleAllowsCanBeCutFromOrdinaryShapes)
{
    // Up to four times as long as high either way: whatever the size rule offers is made.
    for (const QSize photo : {QSize(640, 512), QSize(900, 593), QSize(3200, 800), QSize(800, 3200), QSize(2100, 2000),
                              QSize(6000, 4500), QSize(4500, 6000), QSize(12000, 3000), QSize(20000, 15000)}) {
        const int64_t most = std::min<int64_t>(SquaresInPicture(photo), kMaxPieceCount);
        for (int64_t n = kMinimumSquares; n <= most; ++n) {
            ASSERT_TRUE(CanCutPicture(photo, n)) << photo.width() << "x" << photo.height() << " " << n;
        }
        EXPECT_FALSE(CanCutPicture(photo, most + 1)) << photo.width() << "x" << photo.height();
    }
}
