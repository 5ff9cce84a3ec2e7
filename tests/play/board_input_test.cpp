#include "model/jp_linking.h"
#include "play_fixtures.h"

#include <algorithm>
#include <map>
#include <set>

using namespace tj::test;

namespace {

using Board = JPBoardController;
using BoardInput = On<BoardFixture>;

// A spot on the board that no item covers.
QPointF emptyPoint(const Board &board)
{
    for (double y = 1; y < kBoardView.height(); y += 7)
        for (double x = 1; x < kBoardView.width(); x += 7)
            if (!board.pieceAtPoint({x, y}))
                return {x, y};
    return {-1, -1};
}

bool topOfListIs(JPPuzzle &puzzle, const std::vector<JPPiece *> &items)
{
    const auto &list = puzzle.pieces();
    return list.size() >= items.size() && std::equal(items.begin(), items.end(), list.end() - qsizetype(items.size()));
}

TEST_F(BoardInput, DraggingOntoANeighbourShowsTheBadgeAndDroppingJoinsThem)
{
    JPPuzzle &puzzle = *f.puzzle;
    JPPiece *moving = puzzle.pieceWithIndex(0);
    JPPiece *neighbour = moving->connectionAtIndex(2).piece;
    ASSERT_TRUE(neighbour);
    const size_t itemsBefore = puzzle.pieces().size();
    const QPointF target = BoardFixture::locationBeside(moving, moving, neighbour);

    f.board.mouseDown({BoardFixture::grabPoint(moving), {}});
    ASSERT_EQ(f.board.dragType(), Board::DragTypePieces);
    f.board.mouseDragged({BoardFixture::pointerFor(moving, target), {}});
    EXPECT_EQ(f.board.linkingPiece(), neighbour);
    EXPECT_NE(f.board.linkPoint(), QPointF(-1, -1));
    EXPECT_EQ(f.board.linkRect().center(), f.board.linkPoint());

    // The badge is drawn above everything while the join is offered.
    JPBoardRenderer renderer;
    QImage badge(16, 16, QImage::Format_ARGB32_Premultiplied);
    badge.fill(QColor(255, 0, 255));
    renderer.setLinkImage(badge);
    const auto badgeShown = [&] {
        return frameOf(renderer, f.board).pixelColor(f.board.linkRect().center().toPoint()) == QColor(255, 0, 255);
    };
    EXPECT_TRUE(badgeShown());

    // Moving away withdraws the offer; coming back renews it.
    const QPointF away = BoardFixture::pointerFor(moving, target) + QPointF(0, 60);
    f.board.mouseDragged({away, {}});
    EXPECT_EQ(f.board.linkingPiece(), nullptr);
    EXPECT_EQ(f.board.linkPoint(), QPointF(-1, -1));
    EXPECT_FALSE(badgeShown());
    f.board.mouseDragged({BoardFixture::pointerFor(moving, target), {}});
    ASSERT_EQ(f.board.linkingPiece(), neighbour);

    f.board.mouseUp({BoardFixture::pointerFor(moving, target), {}});
    EXPECT_EQ(f.links, 1);
    EXPECT_EQ(f.board.dragType(), Board::DragTypeNone);
    EXPECT_EQ(f.board.draggingPiece(), nullptr);
    EXPECT_EQ(f.board.linkingPiece(), nullptr);
    EXPECT_TRUE(puzzle.selection().empty());
    EXPECT_TRUE(puzzle.isDirty());
    ASSERT_EQ(puzzle.pieces().size(), itemsBefore - 1);
    ASSERT_TRUE(moving->assembly());
    EXPECT_EQ(moving->assembly(), neighbour->assembly());
}

TEST_F(BoardInput, TheRectangleSelectsByCentresAndCommandTogglesAgainstTheSelection)
{
    JPPuzzle &puzzle = *f.puzzle;
    const QPointF start = emptyPoint(f.board);
    ASSERT_GE(start.x(), 0);
    // A rectangle from an empty spot to the centre of a piece, plus one unit, covers that
    // centre but not the whole piece.
    JPPiece *corner = f.board.pieceAtPoint(BoardFixture::grabPoint(puzzle.pieces().front()));
    const QPointF end = corner->centerPoint()
        + QPointF(start.x() < corner->centerPoint().x() ? 1 : -1, start.y() < corner->centerPoint().y() ? 1 : -1);
    f.board.mouseDown({start, {}});
    EXPECT_EQ(f.board.dragType(), Board::DragTypeRect);
    f.board.mouseDragged({end, {}});
    EXPECT_EQ(f.board.dragRect(), QRectF(start, end).normalized());
    std::set<JPPiece *> first;
    for (JPPiece *item : puzzle.pieces())
        if (f.board.dragRect().contains(item->centerPoint()))
            first.insert(item);
    EXPECT_TRUE(first.count(corner));
    EXPECT_EQ(std::set<JPPiece *>(puzzle.selection().begin(), puzzle.selection().end()), first);
    EXPECT_TRUE(topOfListIs(puzzle, puzzle.selection()));
    f.board.mouseUp({end, {}});
    EXPECT_EQ(f.board.dragType(), Board::DragTypeNone);

    // A plain click on the empty board empties the selection.
    f.board.mouseDown({start, {}});
    EXPECT_TRUE(puzzle.selection().empty());
    f.board.mouseUp({start, {}});

    // Select a piece, then a Command rectangle over the same area toggles: the earlier
    // selection flips wherever the rectangle covers it.
    JPPiece *keep = puzzle.pieceWithIndex(puzzle.pieceCount() - 1);
    f.board.mouseDown({BoardFixture::grabPoint(keep), {}});
    f.board.mouseUp({BoardFixture::grabPoint(keep), {}});
    f.board.mouseDown({BoardFixture::grabPoint(corner), Qt::ControlModifier});
    ASSERT_EQ(puzzle.selection().size(), 2u);
    f.board.mouseDown({start, Qt::ControlModifier});
    EXPECT_EQ(puzzle.selection().size(), 2u) << "Command keeps the selection";
    f.board.mouseDragged({end, Qt::ControlModifier});
    std::set<JPPiece *> expected = first;
    for (JPPiece *was : {keep, corner})
        if (!expected.erase(was))
            expected.insert(was);
    EXPECT_EQ(std::set<JPPiece *>(puzzle.selection().begin(), puzzle.selection().end()), expected);
}

TEST_F(BoardInput, CommandClickTogglesWithoutDraggingUnlessNothingIsSelected)
{
    JPPuzzle &puzzle = *f.puzzle;
    JPPiece *a = puzzle.pieceWithIndex(3);
    JPPiece *b = puzzle.pieceWithIndex(7);

    f.board.mouseDown({BoardFixture::grabPoint(a), Qt::ControlModifier});
    EXPECT_EQ(f.board.dragType(), Board::DragTypePieces) << "with nothing selected it is a plain click";
    EXPECT_EQ(puzzle.selection(), std::vector<JPPiece *>{a});
    f.board.mouseUp({BoardFixture::grabPoint(a), Qt::ControlModifier});

    f.board.mouseDown({BoardFixture::grabPoint(b), Qt::ControlModifier});
    EXPECT_EQ(f.board.dragType(), Board::DragTypeNone);
    EXPECT_EQ(puzzle.selection(), (std::vector<JPPiece *>{a, b}));
    EXPECT_EQ(puzzle.pieces().back(), b);
    const QPointF bAt = b->boardLocation();
    f.board.mouseDragged({BoardFixture::grabPoint(b) + QPointF(40, 40), Qt::ControlModifier});
    EXPECT_EQ(b->boardLocation(), bAt) << "a toggle starts no drag";
    f.board.mouseUp({});

    f.board.mouseDown({BoardFixture::grabPoint(a), Qt::ControlModifier});
    EXPECT_EQ(puzzle.selection(), std::vector<JPPiece *>{b});
    f.board.mouseUp({});

    // A plain click on a selected item drags the whole selection; a drag of several items never
    // offers a join, even where the item grabbed, first in the selection, would join alone.
    f.board.mouseDown({BoardFixture::grabPoint(a), Qt::ControlModifier});
    const QPointF aAt = a->boardLocation();
    f.board.mouseDown({BoardFixture::grabPoint(b), {}});
    f.board.mouseDragged({BoardFixture::grabPoint(b) + QPointF(5, 9), {}});
    EXPECT_TRUE(Near(a->boardLocation(), aAt + QPointF(5, 9), 1e-3));
    EXPECT_TRUE(Near(b->boardLocation(), bAt + QPointF(5, 9), 1e-3));
    const QPointF to = BoardFixture::pointerFor(b, BoardFixture::locationBeside(b, b, b->connectionAtIndex(2).piece));
    f.board.mouseDragged({to, {}});
    QPointF badge;
    ASSERT_TRUE(PieceToLinkWith(b, badge));
    EXPECT_EQ(f.board.linkingPiece(), nullptr);
    f.board.mouseUp({to, {}});
    EXPECT_EQ(f.links, 0);
}

TEST_F(BoardInput, TheWheelTurnsByTheDigitsOfItsDeltaAndMarksThePuzzleDirty)
{
    for (const auto &[delta, turns] :
         std::map<double, int>{{0, 0}, {0.5, 1}, {9, 1}, {9.01, 2}, {-50, 2}, {100, 3}, {5000, 3}, {1e300, 3}})
        EXPECT_EQ(Board::quarterTurnsForDelta(delta), turns) << delta;

    f.puzzle->setRotate(true);
    JPPiece *piece = f.puzzle->pieceWithIndex(5);
    const QPointF at = BoardFixture::grabPoint(piece);
    const auto turnsFor = [&](double dx, double dy) {
        f.puzzle->setDirty(false);
        const uint64_t before = piece->rotation();
        f.board.scrollWheel({at, dx, dy});
        return int((piece->rotation() + 4 - before) % 4);
    };
    EXPECT_EQ(turnsFor(0, 0.5), 1);
    EXPECT_TRUE(f.puzzle->isDirty());
    EXPECT_EQ(turnsFor(0, -50), 2);
    EXPECT_EQ(turnsFor(5000, 3), 3);
    EXPECT_EQ(turnsFor(0, 0), 0);
    EXPECT_FALSE(f.puzzle->isDirty());

    // Option-click sets the turned selection upright before the drag, and saves that.
    piece->setRotation(3);
    f.puzzle->setDirty(false);
    f.board.mouseDown({at, Qt::AltModifier});
    EXPECT_EQ(piece->rotation(), 0u);
    EXPECT_TRUE(f.puzzle->isDirty());
    f.board.mouseUp({at, {}});

    f.puzzle->setRotate(false);
    EXPECT_EQ(turnsFor(0, 1), 0);
    piece->setRotation(2);
    f.board.mouseDown({at, Qt::AltModifier});
    EXPECT_EQ(piece->rotation(), 2u) << "with rotation off nothing is set upright";
}

TEST_F(BoardInput, TheLockedDragFollowsThePointerWithoutAButtonUntilTheNextClick)
{
    f.board.setLockedDrag(true);
    JPPiece *piece = f.puzzle->pieceWithIndex(2);
    const QPointF at = BoardFixture::grabPoint(piece);
    const QPointF start = piece->boardLocation();

    f.board.mouseDown({at, {}});
    EXPECT_EQ(f.board.dragType(), Board::DragTypeLocked);
    f.board.mouseUp({at, {}});
    EXPECT_EQ(f.board.dragType(), Board::DragTypeLocked);
    f.board.mouseMoved({at + QPointF(30, 12), {}});
    EXPECT_TRUE(Near(piece->boardLocation(), start + QPointF(30, 12), 1e-3));
    f.board.mouseDown({at + QPointF(30, 12), {}});
    EXPECT_EQ(f.board.dragType(), Board::DragTypeNone);
    EXPECT_EQ(f.board.draggingPiece(), nullptr);
    f.board.mouseUp({at + QPointF(30, 12), {}});
    f.board.mouseMoved({at + QPointF(90, 90), {}});
    EXPECT_TRUE(Near(piece->boardLocation(), start + QPointF(30, 12), 1e-3)) << "the drop ended the drag";

    // Pressing and dragging instead is a normal drag that ends at mouse-up.
    const QPointF again = BoardFixture::grabPoint(piece);
    f.board.mouseDown({again, {}});
    f.board.mouseDragged({again + QPointF(-10, 0), {}});
    EXPECT_EQ(f.board.dragType(), Board::DragTypePieces);
    f.board.mouseUp({again + QPointF(-10, 0), {}});
    EXPECT_EQ(f.board.dragType(), Board::DragTypeNone);
}

TEST_F(BoardInput, DragsKeepAGrabbablePartOfEveryItemInsideTheView)
{
    JPPiece *piece = f.puzzle->pieceWithIndex(4);
    f.drag(piece, BoardFixture::grabPoint(piece) + QPointF(5000, 0));
    EXPECT_EQ(piece->boardLocation().x(), kBoardView.width()) << "a piece's centre stops on the edge";
    f.drag(piece, BoardFixture::grabPoint(piece) - QPointF(9000, 9000));
    EXPECT_EQ(piece->boardLocation(), QPointF(0, 0));

    // Join two pieces and throw the assembly out on every side.
    JPPiece *neighbour = piece->connectionAtIndex(2).piece;
    PlaceBeside(piece, piece, neighbour);
    QPointF badge;
    ASSERT_TRUE(LinkPieces(piece, PieceToLinkWith(piece, badge)));
    JPPiece *group = piece->assembly();
    for (const QPointF throwTo : {QPointF(-9000, 0), QPointF(9000, 0), QPointF(0, -9000), QPointF(0, 9000)}) {
        f.drag(group, BoardFixture::grabPoint(group) + throwTo);
        EXPECT_TRUE(Grabbable(group, kBoardView));
    }

    // Items lying outside a smaller view come back into it.
    piece = f.puzzle->pieceWithIndex(20);
    piece->setDraggedLocation(QPointF(1550, 950));
    f.board.setViewSize(QSizeF(800, 500));
    ASSERT_TRUE(f.board.ensureLayout());
    for (JPPiece *item : f.puzzle->pieces())
        EXPECT_TRUE(Grabbable(item, QSizeF(800, 500)));
}

TEST_F(BoardInput, InEdgesOnlyModeClicksFallThroughInnerPieces)
{
    JPPiece *edge = f.puzzle->pieceWithIndex(0);
    const auto &all = f.puzzle->allPieces();
    JPPiece *inner = std::find_if(all.begin(), all.end(), [](const auto &piece) { return !piece->isEdge(); })->get();
    inner->setDraggedLocation(edge->boardLocation());
    auto &list = f.puzzle->pieces();
    std::erase(list, inner);
    list.push_back(inner);
    const QPointF at = BoardFixture::grabPoint(edge);
    EXPECT_EQ(f.board.pieceAtPoint(at), inner);
    f.puzzle->setEdgesOnly(true);
    EXPECT_EQ(f.board.pieceAtPoint(at), edge);
    f.board.mouseDown({at, {}});
    EXPECT_EQ(f.puzzle->selection(), std::vector<JPPiece *>{edge});
}

TEST_F(BoardInput, TheAdvancedGestureSelectsTheLooseNeighboursOfTheMemberUnderThePointer)
{
    const Qt::KeyboardModifiers gesture = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    JPPiece *piece = f.puzzle->pieceWithIndex(8);
    f.board.mouseDown({BoardFixture::grabPoint(piece), gesture});
    EXPECT_EQ(f.puzzle->selection(), std::vector<JPPiece *>{piece}) << "only for advanced users";
    f.board.mouseUp({});

    f.board.setAdvancedUser(true);
    std::set<JPPiece *> expected;
    for (int side = 0; side < 4; ++side)
        if (JPPiece *n = piece->connectionAtIndex(side).piece)
            expected.insert(n);
    f.board.mouseDown({BoardFixture::grabPoint(piece), gesture});
    EXPECT_EQ(f.board.dragType(), Board::DragTypeNone);
    EXPECT_EQ(std::set<JPPiece *>(f.puzzle->selection().begin(), f.puzzle->selection().end()), expected);
    EXPECT_TRUE(topOfListIs(*f.puzzle, f.puzzle->selection()));
}

// Clicks, drops, rectangles and the advanced gesture pass over the pinned frame: it stays
// unselected, in place and at the bottom of the pile, and a piece dropped on it stays above it.
TEST_F(BoardInput, ThePinnedFrameCannotBePickedUp)
{
    JPPuzzle &puzzle = *f.puzzle;
    JPPiece *origin = puzzle.pieceWithIndex(0);
    JPPiece *right = origin->connectionAtIndex(2).piece;
    PlaceBeside(right, right, origin);
    JPAssembly *frame = LinkPieces(right, origin);
    ASSERT_TRUE(frame);
    ASSERT_EQ(puzzle.pinnedAssembly(), frame);
    puzzle.setPinned(true);
    const QPointF at = BoardFixture::grabPoint(frame);
    const QPointF place = frame->boardLocation();
    JPPiece *loose = puzzle.pieceWithIndex(8);
    const auto frameUntouched = [&](const char *how) {
        EXPECT_EQ(std::count(puzzle.selection().begin(), puzzle.selection().end(), frame), 0) << how;
        EXPECT_EQ(puzzle.pieces().front(), frame) << how;
        EXPECT_EQ(frame->boardLocation(), place) << how;
    };

    f.board.mouseDown({at, {}});
    f.board.mouseDragged({at + QPointF(40, 30), {}});
    f.board.mouseUp({at + QPointF(40, 30), {}});
    frameUntouched("a click and drag");

    f.drag(loose, at);
    EXPECT_EQ(f.board.pieceAtPoint(at), loose) << "a piece dropped on the frame stays above it";
    frameUntouched("a drop onto it");
    loose->setDraggedLocation(QPointF(20, 20));

    f.board.mouseDown({QPointF(0, 0), {}});
    f.board.mouseDragged({QPointF(kBoardView.width() - 1, kBoardView.height() - 1), {}});
    f.board.mouseUp({});
    frameUntouched("a rectangle over the whole board");
    EXPECT_FALSE(puzzle.selection().empty());

    f.board.setAdvancedUser(true);
    const Qt::KeyboardModifiers gesture = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    f.board.mouseDown({at, gesture});
    frameUntouched("the advanced gesture");

    puzzle.setPinned(false);
    EXPECT_TRUE(frame->canSelect()) << "unpinned, the frame moves like any assembly";
}

// The board is fitted again only for a new size: switching back to a puzzle or reopening it
// at the size it was saved at moves nothing and leaves nothing to save, and a real resize
// carries every placed item along, an assembly hanging over the edge too.
TEST_F(BoardInput, OnlyANewViewSizeRefitsTheBoard)
{
    JPPuzzle &puzzle = *f.puzzle;
    JPPiece *origin = puzzle.pieceWithIndex(0);
    JPPiece *below = origin->connectionAtIndex(3).piece;
    PlaceBeside(below, below, origin);
    JPAssembly *hanging = LinkPieces(below, origin);
    ASSERT_TRUE(hanging);
    hanging->setDraggedLocation(QPointF(-20.5, -15.25));
    f.board.keepItemsInView();
    ASSERT_EQ(hanging->boardLocation(), QPointF(-20.5, -15.25)) << "enough of it is left to grab";
    puzzle.pieceWithIndex(8)->setDraggedLocation(QPointF(300.25, 200.5));
    ASSERT_TRUE(puzzle.save());
    const QString saved = BoardText(puzzle);

    f.board.setPuzzle(nullptr);
    f.board.setPuzzle(&puzzle);
    EXPECT_FALSE(f.board.ensureLayout()) << "switching back";

    auto reopened = JPPuzzle::initWithPath(puzzle.filePath());
    ASSERT_TRUE(reopened);
    JPBoardController board;
    board.setPuzzle(reopened.get());
    board.setViewSize(kBoardView);
    board.ensureLayout();
    EXPECT_FALSE(reopened->isDirty());
    EXPECT_EQ(BoardText(*reopened), saved) << "reopening moves nothing";

    const double before = reopened->scale();
    board.setViewSize(kBoardView * 0.8);
    ASSERT_TRUE(board.ensureLayout());
    EXPECT_TRUE(reopened->isDirty());
    const double ratio = reopened->scale() / before;
    ASSERT_LT(ratio, 0.9);
    for (const JPPiece *item : reopened->pieces()) {
        const uint64_t index = item->pieceIndex();
        const JPPiece *was = index < kFirstAssemblyId ? puzzle.pieceWithIndex(index) : puzzle.assemblyWithId(index);
        if (was->draggedLocation().x() < 0 && !item->isAssembly())
            EXPECT_LT(item->draggedLocation().x(), 0) << "piece " << index << " was never placed";
        else
            EXPECT_TRUE(Near(item->boardLocation(), was->draggedLocation() * ratio, 1e-3)) << index;
    }
}

}
