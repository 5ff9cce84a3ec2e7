#include "board_fixtures.h"

#include "play/jp_board_renderer.h"
#include "play/jp_pref_controller.h"
#include "play/jp_puzzle_view.h"
#include "support/cc_notifier.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

using namespace tj::test;

namespace {

struct ViewFixture : BoardFixture
{
    JPPuzzleView view;
    int boardChanges = 0;

    explicit ViewFixture(bool rotate = false)
        : BoardFixture(24, rotate)
    {
        view.resize(kBoardView.toSize());
        view.setPuzzle(puzzle.get());
        QObject::connect(&view, &JPPuzzleView::boardChanged, [this] { ++boardChanges; });
        view.grab();
    }

    void mouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = {})
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, view.mapToGlobal(at), button, buttons, modifiers);
        QCoreApplication::sendEvent(&view, &event);
    }
};

TEST(PuzzleView, DrawsExactlyWhatTheHeadlessRenderDraws)
{
    ViewFixture f;
    ASSERT_TRUE(f.puzzle);
    const QImage rendered = RenderBoard(f.puzzle.get(), kBoardView.toSize(), JPBoardLook::fromPreferences());
    const QImage shown = f.view.grab().toImage();
    ASSERT_EQ(shown.size(), rendered.size());
    EXPECT_TRUE(shown.convertToFormat(QImage::Format_RGB32) == rendered.convertToFormat(QImage::Format_RGB32));
}

TEST(PuzzleView, QtMouseEventsDragAPieceAndAnnounceTheChange)
{
    ViewFixture f;
    ASSERT_TRUE(f.puzzle);
    JPPiece *piece = f.puzzle->pieceWithIndex(6);
    const QPointF at = BoardFixture::grabPoint(piece) + QPointF(0.4, 0.7);
    const QPointF start = piece->boardLocation();
    f.mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    f.mouse(QEvent::MouseMove, at + QPointF(25, -15), Qt::LeftButton);
    f.mouse(QEvent::MouseButtonRelease, at + QPointF(25, -15), Qt::NoButton);
    EXPECT_NEAR(piece->boardLocation().x(), start.x() + 25, 1e-3);
    EXPECT_NEAR(piece->boardLocation().y(), start.y() - 15, 1e-3);
    EXPECT_GT(f.boardChanges, 0);
    EXPECT_EQ(f.view.board().dragType(), JPBoardController::DragTypeNone);

    // Escape changes nothing.
    const std::vector<JPPiece *> selection = f.puzzle->selection();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&f.view, &escape);
    EXPECT_TRUE(escape.isAccepted());
    EXPECT_EQ(f.puzzle->selection(), selection);
}

TEST(PuzzleView, AJoinWithTheClickOnButNoSoundDeviceStillJoins)
{
    ViewFixture f;
    ASSERT_TRUE(f.puzzle);
    JPPrefController::sharedInstance()->setPlayClick(true);
    JPPiece *moving = f.puzzle->pieceWithIndex(0);
    JPPiece *neighbour = moving->connectionAtIndex(3).piece;
    const QPointF target = BoardFixture::locationBeside(moving, moving, neighbour);
    const QPointF at = BoardFixture::grabPoint(moving);
    const QPointF to = at + (target - moving->boardLocation());
    f.mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    f.mouse(QEvent::MouseMove, to, Qt::LeftButton);
    EXPECT_EQ(f.view.board().linkingPiece(), neighbour);
    f.mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
    ASSERT_TRUE(moving->assembly());
    EXPECT_EQ(moving->assembly(), neighbour->assembly());
    EXPECT_EQ(f.view.board().linkingPiece(), nullptr);
    QCoreApplication::processEvents();
}

TEST(PuzzleView, ASwitchOrANewPuzzleEndsTheDragInProgress)
{
    ViewFixture f;
    ASSERT_TRUE(f.puzzle);
    JPPiece *piece = f.puzzle->pieceWithIndex(1);
    const QPointF at = BoardFixture::grabPoint(piece);
    f.mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    ASSERT_EQ(f.view.board().dragType(), JPBoardController::DragTypePieces);
    CCNotifier::sharedInstance()->post(QStringLiteral("wmjigsaw.switch"));
    QCoreApplication::processEvents();
    EXPECT_EQ(f.view.board().dragType(), JPBoardController::DragTypeNone);
    const QPointF before = piece->boardLocation();
    f.mouse(QEvent::MouseMove, at + QPointF(40, 40), Qt::LeftButton);
    EXPECT_EQ(piece->boardLocation(), before);

    f.view.setLockedDrag(true);
    f.mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
    f.mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
    ASSERT_EQ(f.view.board().dragType(), JPBoardController::DragTypeLocked);
    f.view.setPuzzle(nullptr);
    EXPECT_EQ(f.view.puzzle(), nullptr);
    EXPECT_EQ(f.view.board().dragType(), JPBoardController::DragTypeNone);
    EXPECT_EQ(f.view.board().draggingPiece(), nullptr);
    f.mouse(QEvent::MouseMove, at + QPointF(40, 40), Qt::NoButton);
    EXPECT_EQ(piece->boardLocation(), before);
    EXPECT_FALSE(f.view.grab().isNull());
}

TEST(PuzzleView, OneWheelNotchIsAQuarterTurn)
{
    ViewFixture f(true);
    ASSERT_TRUE(f.puzzle);
    JPPiece *piece = f.puzzle->pieceWithIndex(9);
    const QPointF at = BoardFixture::grabPoint(piece);
    f.puzzle->setDirty(false);
    const uint64_t before = piece->rotation();
    QWheelEvent wheel(at, f.view.mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&f.view, &wheel);
    EXPECT_EQ(piece->rotation(), (before + 1) % 4);
    EXPECT_TRUE(f.puzzle->isDirty());
}

}
