#include "model/jp_assembly.h"
#include "play/jp_board_renderer.h"
#include "play/jp_overview_view.h"
#include "play/jp_pref_controller.h"
#include "play_fixtures.h"
#include "support/cc_notifier.h"

#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QWheelEvent>

#include <cmath>

using namespace tj::test;

namespace {

constexpr QPointF kMiddle(800, 500);

using PuzzleView = On<ViewedBoard>;
using ZoomedBoard = On<ViewedBoard>;

// Board points the pointer can reach exactly at zooms 1, 2 and 4: whole units.
QPointF whole(QPointF point)
{
    return QPointF(std::round(point.x()), std::round(point.y()));
}

// A built puzzle saved in a folder, so each run can open an identical copy.
struct SavedPuzzle
{
    QString folder;
    explicit SavedPuzzle(int64_t count = 96)
    {
        JPPuzzle::creationOptions() = CreationOptions{};
        EXPECT_TRUE(BuildTestPuzzle(QStringLiteral("Zoom"), 600, 400, count, &folder));
    }
    std::unique_ptr<JPPuzzle> open() const
    {
        QString reason;
        auto puzzle = JPPuzzle::openExisting(folder, &reason);
        EXPECT_TRUE(puzzle) << reason.toStdString();
        return puzzle;
    }
};

TEST_F(PuzzleView, DrawsWhatTheHeadlessRenderDrawsAtEveryZoom)
{
    JPPuzzleView &view = f.z.view;
    view.setShowOverview(false);
    const QPointF centre(420, 380);
    for (double zoom : {1.0, 2.5}) {
        view.setZoom(zoom, QPointF(0, 0));
        view.centerOn(centre);
        const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage rendered =
            RenderBoard(f.puzzle.get(), kBoardView.toSize(), JPBoardLook::fromPreferences(), zoom, centre);
        EXPECT_TRUE(shown == rendered.convertToFormat(QImage::Format_RGB32)) << zoom;
    }
}

// A switch of puzzles ends the drag in progress without the join it offered; without a puzzle
// the view draws its background and the mouse moves nothing.
TEST_F(PuzzleView, ASwitchEndsTheDragInProgressWithoutJoining)
{
    ZoomedView &z = f.z;
    const JPBoardController &board = z.view.board();
    JPPiece *moving = f.puzzle->pieceWithIndex(0);
    JPPiece *neighbour = moving->connectionAtIndex(2).piece;
    const QPointF at = z.at(BoardFixture::grabPoint(moving));
    const QPointF to = z.at(BoardFixture::pointerFor(moving, BoardFixture::locationBeside(moving, moving, neighbour)));
    z.mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    z.mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    ASSERT_EQ(board.linkingPiece(), neighbour);
    CCNotifier::sharedInstance()->post(QStringLiteral("wmjigsaw.switch"));
    drainEvents();
    EXPECT_EQ(board.dragType(), JPBoardController::DragTypeNone);
    EXPECT_EQ(board.draggingPiece(), nullptr);
    EXPECT_EQ(board.linkingPiece(), nullptr);
    const QPointF before = moving->boardLocation();
    z.mouse(QEvent::MouseMove, to + QPointF(40, 40), Qt::NoButton, Qt::LeftButton);
    z.mouse(QEvent::MouseButtonRelease, to + QPointF(40, 40), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(moving->boardLocation(), before);
    EXPECT_EQ(moving->assembly(), nullptr);

    z.view.setPuzzle(nullptr);
    z.leftDrag(to, at);
    EXPECT_EQ(moving->boardLocation(), before);
    EXPECT_FALSE(z.view.grab().isNull());
}

// Clicks, a drag, a Ctrl-click, a rectangle and a join near the middle of the board, all
// through Qt events at view points over whole board units.
QString playScenario(JPPuzzle &puzzle, double zoom)
{
    ZoomedView z(&puzzle);
    int changes = 0;
    QObject::connect(&z.view, &JPPuzzleView::boardChanged, [&changes] { ++changes; });
    JPPiece *moving = puzzle.pieceWithIndex(13);
    JPPiece *neighbour = moving->connectionAtIndex(2).piece;
    JPPiece *a = puzzle.pieceWithIndex(40);
    JPPiece *b = puzzle.pieceWithIndex(41);
    JPPiece *c = puzzle.pieceWithIndex(42);
    const QPointF target = whole(BoardFixture::locationBeside(moving, moving, neighbour));
    moving->setDraggedLocation(target + QPointF(-10, -70));
    a->setDraggedLocation(kMiddle + QPointF(120, 80));
    b->setDraggedLocation(kMiddle + QPointF(-130, 80));
    c->setDraggedLocation(kMiddle + QPointF(-60, 90));
    z.view.setZoom(zoom, QPointF(0, 0));
    z.view.centerOn(kMiddle);
    EXPECT_EQ(z.view.viewTransform().zoom(), zoom);

    const QPointF grabA = BoardFixture::grabPoint(a);
    z.leftDrag(z.at(grabA), z.at(grabA));
    z.leftDrag(z.at(grabA), z.at(grabA + QPointF(30, -20)));
    const QPointF grabB = BoardFixture::grabPoint(b);
    z.leftDrag(z.at(grabB), z.at(grabB), Qt::ControlModifier);
    const QPointF corner = kMiddle + QPointF(-175, 40);
    EXPECT_EQ(z.view.board().pieceAtPoint(corner), nullptr);
    z.leftDrag(z.at(corner), z.at(kMiddle + QPointF(-20, 120)));
    const QString selection = BoardText(puzzle);

    // A locked drag of the selection: a click picks it up, the pointer carries it, a click drops it.
    z.view.setLockedDrag(true);
    const QPointF grabC = BoardFixture::grabPoint(c);
    z.click(z.at(grabC));
    z.mouse(QEvent::MouseMove, z.at(grabC + QPointF(12, -7)), Qt::NoButton, Qt::NoButton);
    z.click(z.at(grabC + QPointF(12, -7)));
    z.view.setLockedDrag(false);

    const QPointF grab = BoardFixture::grabPoint(moving);
    const QPointF to = whole(grab + (target - moving->boardLocation()));
    z.mouse(QEvent::MouseButtonPress, z.at(grab), Qt::LeftButton, Qt::LeftButton);
    z.mouse(QEvent::MouseMove, z.at(to), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(z.view.board().linkingPiece(), neighbour) << zoom;
    z.mouse(QEvent::MouseButtonRelease, z.at(to), Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(moving->assembly() && moving->assembly() == neighbour->assembly()) << zoom;
    EXPECT_TRUE(Near(c->boardLocation(), kMiddle + QPointF(-48, 83))) << zoom;
    EXPECT_GT(changes, 0) << zoom;
    return selection + QStringLiteral("\n--\n") + BoardText(puzzle);
}

TEST(ZoomedInput, InputGivesTheSameResultsAtEveryZoom)
{
    // The join clicks: with no sound device the click fails quietly.
    JPPrefController::sharedInstance()->setPlayClick(true);
    SavedPuzzle saved;
    auto first = saved.open();
    ASSERT_TRUE(first);
    const QString atOne = playScenario(*first, 1.0);
    EXPECT_TRUE(atOne.contains(QStringLiteral("selected: 42 41"))) << atOne.toStdString();
    for (double zoom : {2.0, 4.0}) {
        auto copy = saved.open();
        ASSERT_TRUE(copy);
        EXPECT_EQ(playScenario(*copy, zoom), atOne) << zoom;
    }
}

void wheel(JPPuzzleView &view, QPointF at, QPoint angle, Qt::KeyboardModifiers modifiers = {})
{
    QWheelEvent event(at, view.mapToGlobal(at), QPoint(), angle, Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &event);
}

TEST_F(ZoomedBoard, TheWheelZoomsWithCtrlPansWhenZoomedAndStillTurnsPieces)
{
    f.puzzle->setRotate(true);
    ZoomedView &z = f.z;

    // Ctrl+wheel zooms about the pointer: the board point under it stays there.
    const QPointF anywhere(700, 450);
    wheel(z.view, anywhere, QPoint(0, 240), Qt::ControlModifier);
    EXPECT_NEAR(z.view.viewTransform().zoom(), std::sqrt(2.0), 1e-9);
    EXPECT_TRUE(Near(z.view.viewTransform().toBoard(anywhere), anywhere, 1e-6));

    JPPiece *piece = f.puzzle->pieceWithIndex(9);
    piece->setDraggedLocation(kMiddle);
    z.view.centerOn(kMiddle);
    const QPointF pointer = z.at(BoardFixture::grabPoint(piece));
    const uint64_t turned = piece->rotation();

    // Over a piece with rotation on, the wheel turns it and leaves the view alone.
    const JPViewTransform before = z.view.viewTransform();
    wheel(z.view, pointer, QPoint(0, -120));
    EXPECT_EQ(piece->rotation(), (turned + 1) % 4);
    EXPECT_EQ(z.view.viewTransform(), before);

    // Elsewhere it pans: down and, with Shift, sideways.
    f.puzzle->setRotate(false);
    wheel(z.view, pointer, QPoint(0, -120));
    EXPECT_GT(z.view.viewTransform().origin().y(), before.origin().y());
    EXPECT_EQ(z.view.viewTransform().origin().x(), before.origin().x());
    const double x = z.view.viewTransform().origin().x();
    wheel(z.view, pointer, QPoint(0, -120), Qt::ShiftModifier);
    EXPECT_GT(z.view.viewTransform().origin().x(), x);
    EXPECT_EQ(piece->rotation(), (turned + 1) % 4);

    // A pinch zooms too; at zoom 1 the plain wheel does nothing but turn, as always.
    QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2, pointer, pointer,
                              z.view.mapToGlobal(pointer), 1.0, QPointF());
    QCoreApplication::sendEvent(&z.view, &pinch);
    EXPECT_NEAR(z.view.viewTransform().zoom(), 2 * std::sqrt(2.0), 1e-9);
    z.view.showWholeBoard();
    const QString still = BoardText(*f.puzzle);
    wheel(z.view, pointer, QPoint(0, -120));
    EXPECT_TRUE(z.view.viewTransform().showsWholeBoard());
    EXPECT_EQ(BoardText(*f.puzzle), still);
}

TEST_F(ZoomedBoard, MiddleDragAndSpaceDragPanWithoutTouchingThePieces)
{
    ZoomedView &z = f.z;
    JPPiece *piece = f.puzzle->pieceWithIndex(5);
    const QPointF onPiece = z.at(BoardFixture::grabPoint(piece));

    // At zoom 1 Space+click is an ordinary click.
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QCoreApplication::sendEvent(&z.view, &space);
    z.leftDrag(onPiece, onPiece);
    EXPECT_EQ(f.puzzle->selection(), std::vector<JPPiece *>{piece});
    f.puzzle->selection().clear();

    z.view.setZoom(2, onPiece);
    z.view.centerOn(kMiddle);
    const QString before = BoardText(*f.puzzle);
    const QPointF origin = z.view.viewTransform().origin();
    z.leftDrag(onPiece, onPiece + QPointF(-100, -60));
    EXPECT_TRUE(Near(z.view.viewTransform().origin(), origin + QPointF(50, 30)));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
    QCoreApplication::sendEvent(&z.view, &release);
    z.mouse(QEvent::MouseButtonPress, onPiece, Qt::MiddleButton, Qt::MiddleButton);
    z.mouse(QEvent::MouseMove, onPiece + QPointF(100, 60), Qt::NoButton, Qt::MiddleButton);
    z.mouse(QEvent::MouseButtonRelease, onPiece + QPointF(100, 60), Qt::MiddleButton, Qt::NoButton);
    EXPECT_TRUE(Near(z.view.viewTransform().origin(), origin));
    EXPECT_EQ(BoardText(*f.puzzle), before);
}

TEST_F(ZoomedBoard, DraggingAgainstTheEdgeScrollsAndCarriesThePiece)
{
    ZoomedView &z = f.z;
    JPPiece *piece = f.puzzle->pieceWithIndex(5);
    piece->setDraggedLocation(QPointF(300, 300));
    z.view.setZoom(2, QPointF(0, 0));
    z.view.centerOn(QPointF(400, 300));
    const QPointF grab = z.at(BoardFixture::grabPoint(piece));
    const QPointF edge(kBoardView.width() - 2, grab.y());
    z.mouse(QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    z.mouse(QEvent::MouseMove, edge, Qt::NoButton, Qt::LeftButton);
    const auto originX = [&z] { return z.view.viewTransform().origin().x(); };
    const double startX = originX();
    const QPointF offset = piece->boardLocation() - z.view.viewTransform().toBoard(edge);
    EXPECT_TRUE(waitFor([&] { return originX() - startX > 50; }));
    // The piece went along, still under the pointer, and stays inside the board.
    EXPECT_TRUE(Near(piece->boardLocation() - z.view.viewTransform().toBoard(edge), offset, 1.0));
    z.mouse(QEvent::MouseButtonRelease, edge, Qt::LeftButton, Qt::NoButton);
    const double stopped = originX();
    EXPECT_FALSE(waitFor([&] { return originX() != stopped; }, 100)) << "the release stops the scrolling";
    EXPECT_LE(piece->boardLocation().x(), kBoardView.width());
}

TEST(SavedView, TheViewComesBackAfterReopeningAndThePuzzleFileIsUntouched)
{
    SavedPuzzle saved(24);
    auto puzzle = saved.open();
    ASSERT_TRUE(puzzle);
    QPointF centre;
    {
        ZoomedView z(puzzle.get());
        z.view.setZoom(3, QPointF(0, 0));
        z.view.centerOn(QPointF(1000, 420));
        centre = z.view.viewTransform().center();
    }
    puzzle->setDirty(true);
    ASSERT_TRUE(puzzle->save());
    EXPECT_FALSE(readFile(QDir(saved.folder).filePath(QStringLiteral("puzzle.xml"))).contains("view"));

    auto reopened = saved.open();
    ASSERT_TRUE(reopened);
    ZoomedView z(reopened.get());
    EXPECT_EQ(z.view.viewTransform().zoom(), 3.0);
    EXPECT_TRUE(Near(z.view.viewTransform().center(), centre, 1e-6));
}

TEST_F(ZoomedBoard, TheOverviewShowsThePartInViewAndMovesIt)
{
    ZoomedView &z = f.z;
    z.view.setShowOverview(true);
    EXPECT_FALSE(z.view.overview()->isVisibleTo(&z.view));
    z.view.setZoom(2.5, QPointF(100, 100));
    JPOverviewView *overview = z.view.overview();
    ASSERT_TRUE(overview->isVisibleTo(&z.view));
    EXPECT_EQ(overview->visibleRect(), z.view.viewTransform().visibleRect());
    EXPECT_LE(overview->width(), JPOverviewView::kLargest.width());

    const QPointF middle(overview->width() / 2.0, overview->height() / 2.0);
    SendMouse(overview, QEvent::MouseButtonPress, middle, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(Near(z.view.viewTransform().center(), kMiddle, 1e-6));
    EXPECT_EQ(overview->visibleRect(), z.view.viewTransform().visibleRect());

    z.view.setShowOverview(false);
    EXPECT_FALSE(overview->isVisibleTo(&z.view));
    z.view.setShowOverview(true);
    z.view.showWholeBoard();
    EXPECT_FALSE(overview->isVisibleTo(&z.view));
}

}
