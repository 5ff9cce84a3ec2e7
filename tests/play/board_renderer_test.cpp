#include "imaging/area_scale.h"
#include "imaging/cc_image.h"
#include "model/jp_linking.h"
#include "play/jp_board_renderer.h"
#include "play/scaled_composite.h"
#include "play_fixtures.h"

#include <QPainter>

#include <cmath>

using namespace tj::test;

namespace {

using BoardRenderer = On<BoardFixture>;

// Drops the item holding the piece at `at` beside the piece at `beside` and links them.
JPAssembly *join(JPPuzzle &puzzle, GridCoord at, GridCoord beside)
{
    const auto pieceAt = [&](GridCoord c) { return puzzle.pieceWithIndex(uint64_t(c.y * puzzle.maxCoord().x + c.x)); };
    JPPiece *piece = pieceAt(at);
    JPPiece *item = piece->assembly() ? piece->assembly() : piece;
    PlaceBeside(item, piece, pieceAt(beside));
    QPointF point;
    JPPiece *target = PieceToLinkWith(item, point);
    return target ? LinkPieces(item, target) : nullptr;
}

TEST_F(BoardRenderer, PicturesFarFromViewAreDroppedOnceTheCacheIsFull)
{
    JPBoardRenderer renderer;
    constexpr qsizetype kBudget = 1 << 20;
    renderer.setZoomBudget(kBudget);
    QImage frame(kBoardView.toSize(), QImage::Format_ARGB32_Premultiplied);
    JPViewTransform view(kBoardView);
    qsizetype most = 0;
    // Across the whole board, row by row, at three zooms.
    for (double zoom : {4.0, 3.0, 2.0}) {
        view.setZoom(zoom, QPointF(0, 0));
        for (double y = 0; y <= kBoardView.height(); y += 100)
            for (double x = 0; x <= kBoardView.width(); x += 100) {
                view.centerOn(QPointF(x, y));
                QPainter painter(&frame);
                renderer.draw(painter, QRectF(frame.rect()), f.board, JPBoardLook{true, 0, Qt::black}, view);
                most = std::max(most, renderer.zoomedBytes());
            }
    }
    // What is in view (up to a quarter of the board) stays, at two zooms; kept without
    // dropping, the pictures would grow to about 30 budgets.
    EXPECT_GT(most, kBudget / 2);
    EXPECT_LT(most, 8 * kBudget);
}

// The standard deviation of the grey levels in a square around a point.
double contrastAround(const QImage &image, QPoint centre, int radius)
{
    double sum = 0, squares = 0;
    int n = 0;
    for (int y = centre.y() - radius; y < centre.y() + radius; ++y)
        for (int x = centre.x() - radius; x < centre.x() + radius; ++x) {
            const double grey = qGray(image.pixel(x, y));
            sum += grey;
            squares += grey * grey;
            ++n;
        }
    const double mean = sum / n;
    return std::sqrt(std::max(0.0, squares / n - mean * mean));
}

TEST(ZoomedRender, ZoomedPiecesAreDrawnFromTheirFullResolutionPictures)
{
    // Fine stripes two pixels wide blur to grey when a piece is drawn smaller than its
    // picture, and come back only if the zoomed drawing starts from the picture itself.
    QImage stripes(1200, 800, QImage::Format_RGB32);
    for (int x = 0; x < stripes.width(); ++x)
        for (int y = 0; y < stripes.height(); ++y)
            stripes.setPixel(x, y, (x / 2) % 2 ? qRgb(250, 250, 250) : qRgb(10, 10, 10));
    const QString picture = freshFolder() + QStringLiteral("/stripes.png");
    ASSERT_TRUE(stripes.save(picture));
    JPPuzzle::creationOptions() = CreationOptions{};
    auto puzzle = BuildPuzzleFolder(picture, QStringLiteral("Stripes"), 24);
    ASSERT_TRUE(puzzle);
    const QSize size(800, 500);
    puzzle->layoutPuzzle(QSizeF(size));
    ASSERT_LT(puzzle->scale(), 0.5);
    JPPiece *piece = puzzle->pieceWithIndex(8);
    const double largest = JPViewTransform::maxZoomForScale(puzzle->scale());
    JPViewTransform view(QSizeF(size), largest);
    view.setZoom(largest, QPointF(0, 0));
    view.centerOn(piece->boardLocation());
    const QPoint onPiece = view.toView(piece->boardLocation()).toPoint();

    const JPBoardLook look{true, 0, Qt::white};
    const QImage fitted = RenderBoard(puzzle.get(), size, look);
    const QImage zoomed = RenderBoard(puzzle.get(), size, look, largest, piece->boardLocation());
    const double sharp = contrastAround(zoomed, onPiece, 12);
    EXPECT_GT(sharp, 90.0);
    EXPECT_LT(contrastAround(fitted, piece->boardLocation().toPoint(), 3), sharp / 2);
}

}

TEST_F(BoardRenderer, AnAssemblysBoardPictureIsScaledAgainOnlyWhereMembersJoined)
{
    JPPuzzle &puzzle = *f.puzzle;
    ASSERT_GE(puzzle.maxCoord().x, 4);
    ASSERT_GE(puzzle.maxCoord().y, 4);
    JPBoardRenderer kept;
    const auto joinAndDraw = [&](GridCoord at, GridCoord beside) {
        JPAssembly *survivor = join(puzzle, at, beside);
        EXPECT_TRUE(survivor);
        // A board kept across the joins draws what a new one does.
        EXPECT_TRUE(frameOf(kept, f.board) == frameOf(*std::make_unique<JPBoardRenderer>(), f.board));
        return survivor;
    };
    joinAndDraw({2, 1}, {1, 1});
    joinAndDraw({3, 1}, {2, 1});
    JPAssembly *group = joinAndDraw({1, 2}, {1, 1});
    ASSERT_TRUE(group);
    ScaledComposite copy;
    ASSERT_TRUE(UpdateScaledComposite(copy, *group, puzzle.scale()));

    // A mark on a cell far from the next newcomer survives its join: that cell isn't scaled again.
    const QRect newcomer = GridCellsFor(
        puzzle.pieceWithIndex(uint64_t(2 * puzzle.maxCoord().x + 3))->imageRect().toRect(), puzzle.scale());
    const QPoint marked =
        GridCellsFor(puzzle.pieceWithIndex(uint64_t(puzzle.maxCoord().x + 1))->imageRect().toRect(), puzzle.scale())
            .center();
    ASSERT_FALSE(newcomer.contains(marked));
    copy.scaled.setPixel(marked - copy.cells.topLeft(), qRgb(255, 0, 255));
    ASSERT_EQ(joinAndDraw({3, 2}, {3, 1}), group);
    ASSERT_TRUE(UpdateScaledComposite(copy, *group, puzzle.scale()));
    EXPECT_EQ(copy.scaled.pixel(marked - copy.cells.topLeft()), qRgb(255, 0, 255));

    // Otherwise it is what scaling the whole picture gives, and it lies in the same place.
    ScaledComposite fresh;
    ASSERT_TRUE(UpdateScaledComposite(fresh, *group, puzzle.scale()));
    copy.scaled.setPixel(marked - copy.cells.topLeft(), fresh.scaled.pixel(marked - fresh.cells.topLeft()));
    EXPECT_EQ(copy.cells, fresh.cells);
    EXPECT_TRUE(copy.scaled == fresh.scaled);
    EXPECT_EQ(copy.topLeft(group->boardLocation()), fresh.topLeft(group->boardLocation()));

    // Growing to the left and upward, and taking in another assembly.
    joinAndDraw({0, 1}, {1, 1});
    joinAndDraw({1, 0}, {1, 1});
    joinAndDraw({1, 3}, {0, 3});
    joinAndDraw({1, 3}, {1, 2});
}
