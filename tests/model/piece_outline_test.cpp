#include "model/shape_defs.h"
#include "model_fixtures.h"

using namespace tj::test;

namespace {

// A grid of pieces with joints but no images: what creation builds before cutting.
std::unique_ptr<JPPuzzle> gridPuzzle(int width, int height, int64_t count, bool simpleEdges = false)
{
    JPPuzzle::creationOptions() = CreationOptions{false, false, simpleEdges};
    auto puzzle = MakePicturePuzzle(width, height);
    puzzle->buildPiecesForTesting(count);
    return puzzle;
}

}

TEST(PieceOutline, NeighboursShareOneCurveAcrossAWholePuzzleOfEitherShapes)
{
    for (const bool simple : {false, true}) {
        auto puzzle = gridPuzzle(1200, 900, 48, simple);
        const GridCoord grid = puzzle->maxCoord();
        int joints = 0;
        for (JPPiece *piece : puzzle->pieces()) {
            const GridCoord at = piece->coord();
            EXPECT_EQ(piece->isEdge(), at.x == 0 || at.y == 0 || at.x == grid.x - 1 || at.y == grid.y - 1);
            for (int side = 0; side < 4 && simple; ++side)
                EXPECT_LT(piece->connectionAtIndex(side).shapeIndex, uint64_t(kSimpleShapeCount));
            for (const int side : {2, 3}) {
                const Connection &c = piece->connectionAtIndex(side);
                if (!c.piece)
                    continue;
                const int facing = side == 2 ? 0 : 1;
                const Connection &back = c.piece->connectionAtIndex(facing);
                ASSERT_EQ(back.piece, piece);
                ASSERT_EQ(back.shapeIndex, c.shapeIndex);
                ASSERT_NE(back.protrudes, c.protrudes);
                // The sides are traced in opposite directions: the same end points, swapped,
                // and every point of one curve lies on the other.
                const QPainterPath mine = piece->pictureSide(side);
                const QPainterPath theirs = c.piece->pictureSide(facing);
                ASSERT_GT(mine.elementCount(), 6);
                ASSERT_EQ(mine.elementCount(), theirs.elementCount());
                const int n = mine.elementCount();
                for (int i = 1; i < n; ++i) {
                    // Element i of one matches element n - i of the other (the move-to leads both).
                    ASSERT_TRUE(Near(mine.elementAt(i), theirs.elementAt(n - i), 1e-9))
                        << "joint of piece " << piece->pieceIndex() << " side " << side << " element " << i;
                }
                ++joints;
            }
        }
        EXPECT_EQ(joints, int((grid.x - 1) * grid.y + grid.x * (grid.y - 1)));
    }
}

TEST(PieceOutline, OriginFollowsTheKnobsOnTheLeftAndTop)
{
    auto puzzle = gridPuzzle(1600, 1200, 100);
    for (JPPiece *piece : puzzle->pieces()) {
        piece->setScaleForBezier(1.0);
        piece->createOutline();
        const auto knob = [&](int side) {
            return piece->connectionAtIndex(side).piece && piece->connectionAtIndex(side).protrudes;
        };
        EXPECT_EQ(piece->bezierOrigin(),
                  QPointF(knob(0) ? puzzle->protrusion() : 0, knob(1) ? puzzle->protrusion() : 0));
        // The outline's box is the base rectangle plus a knob's depth on every knobbed side.
        const QRectF box = piece->bezier().boundingRect();
        const double expectedWidth = piece->rect().width() + (knob(0) + knob(2)) * puzzle->protrusion();
        // Profiles reach a little past full depth and past the straight line.
        EXPECT_NEAR(box.width(), expectedWidth, 0.15 * puzzle->protrusion());
    }
}

TEST(PieceOutline, EnclosingRectTurnsKnobExtentsWithThePiece)
{
    auto puzzle = gridPuzzle(1600, 1200, 100);
    puzzle->setRotate(true);
    puzzle->setScale(1.0);
    JPPiece piece(puzzle.get());
    JPPiece neighbour(puzzle.get());
    piece.setRect(QRectF(0, 0, 100, 60));
    piece.setConnection({&neighbour, 0, 1}, 3);
    // The knob below reaches the puzzle's protrusion (44 here) past the base rectangle.
    const double p = puzzle->protrusion();
    piece.setRotation(1);
    EXPECT_EQ(piece.enclosingRect(QPointF(0, 0), true, 1.0), QRectF(-30 - p, -50, 60 + p, 100));
    piece.setRotation(2);
    EXPECT_EQ(piece.enclosingRect(QPointF(0, 0), true, 1.0), QRectF(-50, -30 - p, 100, 60 + p));
    puzzle->setRotate(false);
    EXPECT_EQ(piece.enclosingRect(QPointF(0, 0), true, 1.0), QRectF(-50, -30, 100, 60 + p));
}

TEST(PieceOutline, HitTestFollowsTheDrawnRotation)
{
    auto puzzle = gridPuzzle(1600, 1200, 100);
    puzzle->setScale(1.0);
    const auto knob = [](const JPPiece *p, int side) {
        return p->connectionAtIndex(side).piece && p->connectionAtIndex(side).protrudes;
    };
    int tested = 0;
    for (JPPiece *piece : puzzle->pieces()) {
        // A knob on the right, none below, and nothing that turns into the right side.
        if (!knob(piece, 2) || knob(piece, 1) || knob(piece, 3))
            continue;
        const QPointF centre(500, 500);
        piece->setBoardLocation(centre);
        piece->setRotation(1);
        puzzle->setRotate(false);
        const double right = centre.x() + piece->rect().width() / 2;
        // The middle of the knob's cross-section half a knob's depth out: well inside it.
        std::vector<double> hits;
        for (double y = centre.y() - piece->rect().height() / 2; y < centre.y() + piece->rect().height() / 2; y += 0.5)
            if (piece->hitTest(QPointF(right + puzzle->protrusion() / 2, y + 0.25)))
                hits.push_back(y + 0.25);
        ASSERT_FALSE(hits.empty()) << piece->pieceIndex();
        const QPointF inKnob(right + puzzle->protrusion() / 2, hits[hits.size() / 2]);
        // A quarter turn carries the right side to the bottom, turning about the centre.
        const QPointF offset = inKnob - centre;
        const QPointF turned = centre + QPointF(-offset.y(), offset.x());
        EXPECT_FALSE(piece->hitTest(turned));
        puzzle->setRotate(true);
        EXPECT_TRUE(piece->hitTest(turned)) << piece->pieceIndex();
        EXPECT_FALSE(piece->hitTest(inKnob));
        EXPECT_TRUE(piece->hitTest(centre));
        ++tested;
    }
    EXPECT_GT(tested, 5);
}

TEST(PieceOutline, ShapeNumbersFromADamagedFileDrawStraight)
{
    auto puzzle = gridPuzzle(1600, 1200, 100);
    JPPiece *piece = puzzle->pieces()[size_t(puzzle->maxCoord().x + 1)];
    Connection c = piece->connectionAtIndex(2);
    c.shapeIndex = 58;
    piece->setConnection(c, 2);
    c.shapeIndex = uint64_t(-1);
    piece->setConnection(c, 3);
    piece->setScaleForBezier(1.0);
    piece->createOutline();
    const QRectF box = piece->bezier().boundingRect();
    EXPECT_NEAR(box.right(), piece->bezierOrigin().x() + piece->rect().width(), 1e-9);
    EXPECT_NEAR(box.bottom(), piece->bezierOrigin().y() + piece->rect().height(), 1e-9);
}
