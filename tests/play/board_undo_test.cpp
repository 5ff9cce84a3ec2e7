#include "play_fixtures.h"

#include <map>

using namespace tj::test;

namespace {

// Where every board item lies and how it is turned, by piece index or assembly id; compared
// exactly, not merely as close as QPointF compares.
using Snapshot = std::map<uint64_t, std::tuple<double, double, uint64_t>>;

Snapshot snapshot(const JPPuzzle &puzzle)
{
    Snapshot shot;
    for (const JPPiece *item : puzzle.pieces())
        shot[item->pieceIndex()] = {item->boardLocation().x(), item->boardLocation().y(), item->rotation()};
    return shot;
}

// A turning board of 24 pieces on which no drag can join anything by chance: loose pieces
// join only when turned the same way and a group only upright pieces, and every piece is
// turned, unlike its neighbours.
struct UndoBoard : BoardFixture
{
    UndoBoard()
    {
        if (!puzzle)
            return;
        puzzle->setRotate(true);
        for (JPPiece *piece : puzzle->pieces())
            piece->setRotation(1 + uint64_t(piece->coord().x + piece->coord().y) % 2);
    }
};
using BoardUndo = On<UndoBoard>;

// A piece that neither is one of the given pieces nor borders one.
JPPiece *pieceAwayFrom(JPPuzzle &puzzle, std::initializer_list<const JPPiece *> pieces)
{
    for (JPPiece *piece : puzzle.pieces()) {
        bool near = std::find(pieces.begin(), pieces.end(), piece) != pieces.end();
        for (int side = 0; side < 4; ++side)
            near =
                near || std::find(pieces.begin(), pieces.end(), piece->connectionAtIndex(side).piece) != pieces.end();
        if (!near)
            return piece;
    }
    return nullptr;
}

// Every kind of move the player can take back, each run by `move`.
void runMoves(BoardFixture &f, std::vector<Snapshot> &before)
{
    JPPuzzle &puzzle = *f.puzzle;
    JPBoardController &board = f.board;
    JPPiece *a = puzzle.pieceWithIndex(3);
    JPPiece *b = puzzle.pieceWithIndex(17);
    const auto move = [&](const std::function<void()> &action) {
        before.push_back(snapshot(puzzle));
        action();
        EXPECT_TRUE(board.canUndo()) << "move " << before.size() - 1;
        EXPECT_FALSE(board.canRedo());
    };
    move([&] { f.drag(a, BoardFixture::grabPoint(a) + QPointF(131, 47)); });
    move([&] {
        board.mouseDown({BoardFixture::grabPoint(b), Qt::ControlModifier});
        ASSERT_EQ(puzzle.selection().size(), 2u);
        f.drag(b, BoardFixture::grabPoint(b) + QPointF(-60, 90));
    });
    move([&] { board.scrollWheel({BoardFixture::grabPoint(a), 0, 3}); });
    move([&] { board.recordMove(puzzle.selection(), [&] { puzzle.rotatePieces(true); }); });
    move([&] {
        // With nothing selected every piece is gathered, so the step always moves something.
        puzzle.selection().clear();
        board.recordMove(puzzle.pieces(), [&] { puzzle.shiftPieces(true, kBoardView, false); });
    });
    move([&] {
        // Alt sets the selection upright as the locked drag picks it up.
        board.setLockedDrag(true);
        const QPointF at = BoardFixture::grabPoint(b);
        board.mouseDown({at, Qt::AltModifier});
        board.mouseUp({at, Qt::AltModifier});
        board.mouseMoved({at + QPointF(25, -40), {}});
        board.mouseDown({at + QPointF(25, -40), {}});
        board.setLockedDrag(false);
    });
}

TEST_F(BoardUndo, EveryKindOfMoveIsUndoneAndRedoneExactly)
{
    JPPuzzle &puzzle = *f.puzzle;
    std::vector<Snapshot> before;
    runMoves(f, before);
    ASSERT_EQ(f.links, 0);
    const Snapshot last = snapshot(puzzle);
    for (size_t i = 1; i < before.size(); ++i)
        ASSERT_NE(before[i], before[i - 1]) << "move " << i - 1 << " changed nothing";

    for (size_t i = before.size(); i-- > 0;) {
        puzzle.setDirty(false);
        ASSERT_TRUE(f.board.undo());
        EXPECT_EQ(snapshot(puzzle), before[i]) << "undoing move " << i;
        EXPECT_TRUE(puzzle.isDirty());
    }
    EXPECT_FALSE(f.board.canUndo());
    EXPECT_FALSE(f.board.undo());
    for (size_t i = 1; i < before.size(); ++i) {
        ASSERT_TRUE(f.board.redo());
        EXPECT_EQ(snapshot(puzzle), before[i]) << "redoing move " << i - 1;
    }
    ASSERT_TRUE(f.board.redo());
    EXPECT_EQ(snapshot(puzzle), last);
    EXPECT_FALSE(f.board.canRedo());

    // A new move after an undo drops what could have been redone; a click moves nothing.
    ASSERT_TRUE(f.board.undo());
    JPPiece *piece = pieceAwayFrom(puzzle, {puzzle.pieceWithIndex(3), puzzle.pieceWithIndex(17)});
    ASSERT_TRUE(piece);
    f.drag(piece, BoardFixture::grabPoint(piece) + QPointF(10, 10));
    EXPECT_FALSE(f.board.canRedo());
    const size_t steps = puzzle.moveHistory().undoCount();
    f.drag(piece, BoardFixture::grabPoint(piece));
    EXPECT_EQ(puzzle.moveHistory().undoCount(), steps);
}

TEST_F(BoardUndo, UndoStopsAtTheLastJoin)
{
    JPPuzzle &puzzle = *f.puzzle;
    JPPiece *moving = puzzle.pieceWithIndex(0);
    JPPiece *neighbour = moving->connectionAtIndex(2).piece;
    JPPiece *other = pieceAwayFrom(puzzle, {moving, neighbour});
    ASSERT_TRUE(other);
    // The piece that joins was moved before; neither move can be undone after the join.
    f.drag(moving, BoardFixture::grabPoint(moving) + QPointF(40, 40));
    f.drag(other, BoardFixture::grabPoint(other) + QPointF(-30, 20));
    ASSERT_EQ(f.links, 0);
    moving->setRotation(0);
    neighbour->setRotation(0);
    const QPointF target = BoardFixture::locationBeside(moving, moving, neighbour);
    f.drag(moving, BoardFixture::grabPoint(moving) + (target - moving->boardLocation()));
    ASSERT_EQ(f.links, 1);
    ASSERT_TRUE(moving->assembly());
    EXPECT_FALSE(f.board.canUndo());
    const Snapshot joined = snapshot(puzzle);
    EXPECT_FALSE(f.board.undo());
    EXPECT_EQ(snapshot(puzzle), joined);

    // Moves after the join are taken back as far as the join, the assembly's too.
    JPPiece *group = moving->assembly();
    f.drag(group, BoardFixture::grabPoint(group) + QPointF(70, -20));
    f.drag(other, BoardFixture::grabPoint(other) + QPointF(15, 15));
    EXPECT_TRUE(f.board.undo());
    EXPECT_TRUE(f.board.undo());
    EXPECT_EQ(snapshot(puzzle), joined);
    EXPECT_FALSE(f.board.undo());
}

TEST_F(BoardUndo, PlacesSurviveARefitAndComeBackInsideTheBoard)
{
    JPPuzzle &puzzle = *f.puzzle;
    JPPiece *piece = puzzle.pieceWithIndex(5);
    const QPointF start = piece->boardLocation();
    f.drag(piece, BoardFixture::grabPoint(piece) + QPointF(200, 100));

    // The window shrinks: everything follows the new scale, and so does the place undone.
    const double oldScale = puzzle.scale();
    const QSizeF smaller(900, 560);
    f.board.setViewSize(smaller);
    ASSERT_TRUE(f.board.ensureLayout());
    ASSERT_LT(puzzle.scale(), oldScale);
    ASSERT_TRUE(f.board.undo());
    EXPECT_TRUE(Near(piece->boardLocation(), start * (puzzle.scale() / oldScale), 1e-9));

    // A place that would now lie outside the board is pulled inside it.
    f.board.setViewSize(kBoardView);
    ASSERT_TRUE(f.board.ensureLayout());
    f.drag(piece, QPointF(kBoardView.width() - 2, kBoardView.height() - 2));
    f.drag(piece, QPointF(100, 100));
    f.board.setViewSize(QSizeF(kBoardView.width() - 300, kBoardView.height() - 200));
    f.board.keepItemsInView();
    ASSERT_TRUE(f.board.undo());
    EXPECT_TRUE(Grabbable(piece, f.board.viewSize()));
}

TEST_F(BoardUndo, EachPuzzleKeepsAtLeastTwoHundredStepsOfItsOwn)
{
    UndoBoard g;
    ASSERT_TRUE(g.puzzle);
    JPPiece *piece = f.puzzle->pieceWithIndex(7);
    std::vector<Snapshot> before;
    for (int i = 0; i < 230; ++i) {
        before.push_back(snapshot(*f.puzzle));
        const QPointF step = i % 2 ? QPointF(3, 1) : QPointF(-1, -2);
        f.drag(piece, BoardFixture::grabPoint(piece) + step);
    }

    // Steps on another puzzle, on the same board, stay with that puzzle.
    f.board.setPuzzle(g.puzzle.get());
    JPPiece *elsewhere = g.puzzle->pieceWithIndex(7);
    const Snapshot otherBefore = snapshot(*g.puzzle);
    f.drag(elsewhere, BoardFixture::grabPoint(elsewhere) + QPointF(50, 0));
    ASSERT_TRUE(f.board.undo());
    EXPECT_EQ(snapshot(*g.puzzle), otherBefore);
    EXPECT_FALSE(f.board.undo());

    f.board.setPuzzle(f.puzzle.get());
    f.board.setViewSize(kBoardView);
    f.board.ensureLayout();
    for (size_t i = before.size(); i-- > 0;) {
        ASSERT_TRUE(f.board.undo()) << "step " << i;
        ASSERT_EQ(snapshot(*f.puzzle), before[i]) << "step " << i;
    }
    EXPECT_FALSE(f.board.canUndo());
    EXPECT_EQ(f.links, 0);
}

}
