#include "board_fixtures.h"

#include "imaging/area_scale.h"
#include "imaging/cc_image.h"
#include "model/jp_linking.h"
#include "play/jp_board_renderer.h"
#include "play/scaled_composite.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace tj::test;

namespace {

QImage frameOf(JPBoardRenderer &renderer, JPBoardController &board)
{
    QImage frame(kBoardView.toSize(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&frame);
    renderer.draw(painter, QRectF(QPointF(0, 0), kBoardView), board, JPBoardLook{true, 0, Qt::darkGray});
    return frame;
}

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

}

TEST(BoardRenderer, AnAssemblysBoardPictureIsScaledAgainOnlyWhereMembersJoined)
{
    BoardFixture f;
    ASSERT_TRUE(f.puzzle);
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
    const QRect newcomer = GridCellsFor(puzzle.pieceWithIndex(uint64_t(2 * puzzle.maxCoord().x + 3))->imageRect().toRect(), puzzle.scale());
    const QPoint marked = GridCellsFor(puzzle.pieceWithIndex(uint64_t(puzzle.maxCoord().x + 1))->imageRect().toRect(), puzzle.scale()).center();
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
