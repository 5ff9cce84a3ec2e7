#include "model/jp_assembly.h"
#include "model/jp_linking.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "play/cc_popover_base_vc.h"
#include "play/jp_pref_controller.h"
#include "play/jp_puzzle_view.h"
#include "play/jp_toolbar_view.h"
#include "play/jp_window_controller.h"
#include "play_fixtures.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QSet>
#include <QSettings>
#include <QStatusBar>

// Qt's own key-event path for shortcuts, exported by QtGui (the same one its test library uses).
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject *o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString &text = QString(), bool autorep = false,
                                               ushort count = 1);

namespace {

using tj::test::BuildTestPuzzle;
using Command = JPWindowController::Command;

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<JPWindowController>();
        window->resize(1000, 700);
        window->show();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        CCPopoverBaseVC::closePopovers();
        window->setCurrentPuzzle(nullptr);
    }
    void open(int width = 640, int height = 480)
    {
        puzzle = BuildTestPuzzle(QStringLiteral("Window"), width, height, 12);
        ASSERT_TRUE(puzzle);
        window->setCurrentPuzzle(puzzle.get());
    }
    QAction *item(Command command) const { return window->action(command); }

    std::unique_ptr<JPWindowController> window;
    std::unique_ptr<JPPuzzle> puzzle;
};

TEST_F(WindowTest, WithoutAPuzzleOnlyTheWindowSettingsAreEnabled)
{
    for (Command command : {Command::ShowPicture, Command::PinPuzzle, Command::EdgesOnly, Command::ShowRotation,
                            Command::RotateClockwise, Command::RotateCounterClockwise, Command::ShiftLeft,
                            Command::ShiftRight, Command::ZoomIn, Command::ZoomOut, Command::WholeBoard})
        EXPECT_FALSE(item(command)->isEnabled()) << command;
    for (Command command : {Command::ToggleLockDrag, Command::ToggleToolbar, Command::HideApplication,
                            Command::ShowOverview, Command::FullScreen})
        EXPECT_TRUE(item(command)->isEnabled()) << command;
    EXPECT_TRUE(item(Command::ToggleToolbar)->isChecked());
    EXPECT_FALSE(item(Command::ToggleLockDrag)->isChecked());
}

TEST_F(WindowTest, EveryCommandHasItsOwnShortcut)
{
    QSet<QString> seen;
    for (int i = 0; i < JPWindowController::CommandCount; ++i) {
        const QKeySequence keys = item(Command(i))->shortcut();
        ASSERT_FALSE(keys.isEmpty()) << i;
        EXPECT_FALSE(seen.contains(keys.toString())) << keys.toString().toStdString();
        seen.insert(keys.toString());
    }
    EXPECT_EQ(item(Command::RotateClockwise)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_EQ(item(Command::RotateCounterClockwise)->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
}

TEST_F(WindowTest, TogglesFlipTheFlagsAndTheirCheckMarks)
{
    open();
    puzzle->setDirty(false);
    puzzle->selection().push_back(puzzle->pieces().front());
    item(Command::EdgesOnly)->trigger();
    EXPECT_TRUE(puzzle->edgesOnly());
    EXPECT_TRUE(item(Command::EdgesOnly)->isChecked());
    EXPECT_TRUE(puzzle->isDirty());
    EXPECT_TRUE(puzzle->selection().empty());
    item(Command::EdgesOnly)->trigger();
    EXPECT_FALSE(puzzle->edgesOnly());
    EXPECT_FALSE(item(Command::EdgesOnly)->isChecked());

    puzzle->setDirty(false);
    puzzle->selection().push_back(puzzle->pieces().front());
    item(Command::PinPuzzle)->trigger();
    EXPECT_TRUE(puzzle->pinned());
    EXPECT_TRUE(item(Command::PinPuzzle)->isChecked());
    EXPECT_TRUE(puzzle->isDirty());
    EXPECT_TRUE(puzzle->selection().empty());

    // Turning is a viewing choice: it doesn't need saving.
    puzzle->setDirty(false);
    item(Command::ShowRotation)->trigger();
    EXPECT_TRUE(puzzle->rotate());
    EXPECT_TRUE(item(Command::ShowRotation)->isChecked());
    EXPECT_FALSE(puzzle->isDirty());

    // The drag setting is saved with the preferences and read back by the next start.
    const QString store = tj::test::freshFolder() + QStringLiteral("/settings.ini");
    const auto savedLockDrag = [&store] {
        {
            QSettings settings(store, QSettings::IniFormat);
            JPPrefController::sharedInstance()->saveTo(settings);
        }
        JPPrefController next;
        next.loadFrom(QSettings(store, QSettings::IniFormat));
        return next.lockedDrag();
    };
    item(Command::ToggleLockDrag)->trigger();
    EXPECT_TRUE(window->puzzleView()->lockedDrag());
    EXPECT_TRUE(item(Command::ToggleLockDrag)->isChecked());
    EXPECT_TRUE(savedLockDrag());
    item(Command::ToggleLockDrag)->trigger();
    EXPECT_FALSE(window->puzzleView()->lockedDrag());
    EXPECT_FALSE(item(Command::ToggleLockDrag)->isChecked());
    EXPECT_FALSE(savedLockDrag());

    // A puzzle switched in shows its own flags.
    auto other = BuildTestPuzzle(QStringLiteral("Other"), 640, 480, 12);
    ASSERT_TRUE(other);
    window->setCurrentPuzzle(other.get());
    EXPECT_FALSE(item(Command::PinPuzzle)->isChecked());
    EXPECT_FALSE(item(Command::ShowRotation)->isChecked());
    window->setCurrentPuzzle(puzzle.get());
    EXPECT_TRUE(item(Command::PinPuzzle)->isChecked());
}

TEST_F(WindowTest, PinningPutsTheFrameAssemblyAtTheBottomOfThePile)
{
    open();
    puzzle->layoutPuzzle(window->puzzleView()->size());
    JPPiece *origin = puzzle->originPiece();
    ASSERT_TRUE(origin);
    JPPiece *neighbour = nullptr;
    for (JPPiece *item : puzzle->pieces()) {
        const GridCoord a = item->coord(), b = origin->coord();
        if (std::abs(a.x - b.x) + std::abs(a.y - b.y) == 1)
            neighbour = item;
    }
    ASSERT_TRUE(neighbour);
    JPAssembly *frame = LinkPieces(neighbour, origin);
    ASSERT_TRUE(frame);
    ASSERT_EQ(puzzle->pinnedAssembly(), frame);

    std::vector<JPPiece *> &items = puzzle->pieces();
    auto at = std::find(items.begin(), items.end(), static_cast<JPPiece *>(frame));
    ASSERT_NE(at, items.end());
    std::rotate(at, at + 1, items.end());
    ASSERT_EQ(items.back(), frame);
    const std::vector<JPPiece *> others(items.begin(), items.end() - 1);

    item(Command::PinPuzzle)->trigger();
    EXPECT_TRUE(puzzle->pinned());
    ASSERT_EQ(items.front(), frame);
    EXPECT_EQ(std::vector<JPPiece *>(items.begin() + 1, items.end()), others) << "the rest keep their order";
    item(Command::PinPuzzle)->trigger();
    EXPECT_FALSE(puzzle->pinned());
    EXPECT_EQ(items.front(), frame);
}

TEST_F(WindowTest, KeyboardShortcutsRunEnabledCommandsOnly)
{
    open();
    QApplication::setActiveWindow(window.get());
    window->puzzleView()->setFocus();
    const auto press = [this](int key, Qt::KeyboardModifiers modifiers) {
        return qt_sendShortcutOverrideEvent(window->puzzleView(), 0, key, modifiers);
    };
    EXPECT_TRUE(press(Qt::Key_E, Qt::ControlModifier));
    EXPECT_TRUE(puzzle->edgesOnly());
    EXPECT_TRUE(press(Qt::Key_E, Qt::ControlModifier));
    EXPECT_FALSE(puzzle->edgesOnly());

    JPPiece *piece = puzzle->pieces().front();
    puzzle->selection().push_back(piece);
    window->validateMenus();
    const uint64_t start = piece->rotation();
    press(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(piece->rotation(), start) << "turning is off";
    EXPECT_TRUE(press(Qt::Key_T, Qt::ControlModifier));
    ASSERT_TRUE(puzzle->rotate());
    EXPECT_TRUE(press(Qt::Key_R, Qt::ControlModifier));
    EXPECT_NE(piece->rotation(), start);
    EXPECT_TRUE(press(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_EQ(piece->rotation(), start);
    // Alt+click is often the window manager's: the menu sets the selection upright too.
    EXPECT_TRUE(press(Qt::Key_R, Qt::ControlModifier));
    EXPECT_TRUE(press(Qt::Key_U, Qt::ControlModifier));
    EXPECT_EQ(piece->rotation(), 0u);

    // Ctrl+Alt+T belongs to the desktop's terminal.
    EXPECT_FALSE(press(Qt::Key_T, Qt::ControlModifier | Qt::AltModifier));
    EXPECT_TRUE(press(Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_FALSE(window->showToolbar());
    EXPECT_TRUE(press(Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_TRUE(window->showToolbar());
}

TEST_F(WindowTest, TurningTheSelectionNeedsRotationAndASelection)
{
    open();
    JPPiece *piece = puzzle->pieces().front();
    EXPECT_FALSE(item(Command::RotateClockwise)->isEnabled());
    puzzle->selection().push_back(piece);
    window->validateMenus();
    EXPECT_FALSE(item(Command::RotateClockwise)->isEnabled());
    item(Command::ShowRotation)->trigger();
    window->validateMenus();
    ASSERT_TRUE(item(Command::RotateClockwise)->isEnabled());
    ASSERT_TRUE(item(Command::RotateCounterClockwise)->isEnabled());

    const uint64_t start = piece->rotation();
    item(Command::RotateClockwise)->trigger();
    EXPECT_NE(piece->rotation(), start);
    item(Command::RotateCounterClockwise)->trigger();
    EXPECT_EQ(piece->rotation(), start);
    for (int i = 0; i < 4; ++i)
        item(Command::RotateClockwise)->trigger();
    EXPECT_EQ(piece->rotation(), start);

    puzzle->selection().clear();
    window->validateMenus();
    EXPECT_FALSE(item(Command::RotateClockwise)->isEnabled());
    item(Command::ShowRotation)->trigger();
    puzzle->selection().push_back(piece);
    window->validateMenus();
    EXPECT_FALSE(item(Command::RotateCounterClockwise)->isEnabled());
    window->rotatePieces(true);
    EXPECT_EQ(piece->rotation(), start);
}

TEST_F(WindowTest, HidingTheStripWidensTheBoardAndShowingItNarrowsItAgain)
{
    open();
    const QRect board = window->puzzleView()->geometry();
    const QRect strip = window->toolbarView()->geometry();
    ASSERT_EQ(board.x(), strip.width());

    item(Command::ToggleToolbar)->trigger();
    EXPECT_FALSE(window->showToolbar());
    EXPECT_FALSE(item(Command::ToggleToolbar)->isChecked());
    EXPECT_EQ(window->toolbarView()->x(), -1000);
    EXPECT_EQ(window->puzzleView()->geometry(), QRect(0, board.y(), board.width() + strip.width(), board.height()));

    // A piece left where the narrower board will not show it comes back into view.
    puzzle->layoutPuzzle(window->puzzleView()->size());
    JPPiece *piece = puzzle->pieces().back();
    const double narrow = board.width();
    const QPointF start(narrow, board.height() / 2.0);
    piece->setDraggedLocation(start);
    const QRectF before = piece->setCurrentRect();
    piece->setDraggedLocation(start + QPointF(narrow + 2 - before.x(), 0));
    ASSERT_GT(piece->setCurrentRect().x(), narrow);
    ASSERT_LT(piece->setCurrentRect().x(), window->puzzleView()->width());

    item(Command::ToggleToolbar)->trigger();
    EXPECT_TRUE(window->showToolbar());
    EXPECT_EQ(window->toolbarView()->geometry(), strip);
    EXPECT_EQ(window->puzzleView()->geometry(), board);
    const QRectF after = piece->setCurrentRect();
    EXPECT_TRUE(after.intersects(QRectF(0, 0, narrow, board.height())))
        << after.x() << "," << after.y() << " " << after.width() << "x" << after.height();
}

// A shift brings a piece in from the side but keeps its height; one that only showed a sliver
// above the top must still be grabbable afterwards, or the next opening moves it.
TEST_F(WindowTest, ShiftingLeavesEveryItemGrabbable)
{
    open();
    JPBoardController &board = window->puzzleView()->board();
    board.setViewSize(window->puzzleView()->size());
    board.ensureLayout();
    const auto positions = [&] {
        QStringList out;
        for (JPPiece *item : puzzle->pieces())
            out << QStringLiteral("%1,%2").arg(item->boardLocation().x()).arg(item->boardLocation().y());
        return out;
    };
    for (Command command : {Command::ShiftRight, Command::ShiftLeft}) {
        JPPiece *piece = puzzle->pieces().front();
        const QRectF rect = JPBoardController::itemRect(piece);
        piece->setDraggedLocation(QPointF(board.viewSize().width() + rect.width(), 6 - rect.height() / 2));
        item(command)->trigger();
        const QStringList shifted = positions();
        board.keepItemsInView();
        EXPECT_EQ(positions(), shifted);
        // Read back from the file, locations come rounded; a piece at the margin stays put.
        for (JPPiece *item : puzzle->pieces())
            item->setDraggedLocation(item->draggedLocation() - QPointF(0, 1e-7));
        puzzle->setDirty(false);
        board.keepItemsInView();
        EXPECT_FALSE(puzzle->isDirty());
    }
}

TEST_F(WindowTest, TheEditMenuUndoesMovesUntilAJoinAndTheStatusBarShowsProgress)
{
    open();
    window->puzzleView()->board().ensureLayout();
    EXPECT_FALSE(item(Command::Undo)->isEnabled());
    EXPECT_EQ(window->progressLabel()->text(), QStringLiteral("0 of %1 pieces joined").arg(puzzle->pieceCount()));
    int touches = 0;
    QObject::connect(window.get(), &JPWindowController::touched, [&touches] { ++touches; });
    std::vector<QPointF> before;
    for (const JPPiece *each : puzzle->pieces())
        before.push_back(each->boardLocation());
    const auto placesAre = [this](const std::vector<QPointF> &places) {
        for (size_t i = 0; i < places.size(); ++i)
            if (puzzle->pieces()[i]->boardLocation() != places[i])
                return false;
        return true;
    };

    item(Command::ShiftRight)->trigger();
    ASSERT_FALSE(placesAre(before));
    ASSERT_TRUE(item(Command::Undo)->isEnabled());
    item(Command::Undo)->trigger();
    EXPECT_TRUE(placesAre(before));
    EXPECT_FALSE(item(Command::Undo)->isEnabled());
    ASSERT_TRUE(item(Command::Redo)->isEnabled());
    item(Command::Redo)->trigger();
    EXPECT_FALSE(placesAre(before));
    EXPECT_TRUE(item(Command::Undo)->isEnabled());
    EXPECT_EQ(touches, 3);

    JPPiece *piece = puzzle->pieceWithIndex(0);
    PlaceBeside(piece, piece, piece->connectionAtIndex(2).piece);
    QPointF badge;
    ASSERT_TRUE(LinkPieces(piece, PieceToLinkWith(piece, badge)));
    window->validateMenus();
    window->updateProgress();
    EXPECT_FALSE(item(Command::Undo)->isEnabled()) << "a join is never undone";
    EXPECT_EQ(window->progressLabel()->text(), QStringLiteral("2 of %1 pieces joined").arg(puzzle->pieceCount()));
    item(Command::EdgesOnly)->trigger();
    EXPECT_TRUE(window->progressLabel()->text().endsWith(QStringLiteral(" edge pieces joined")));

    ASSERT_TRUE(window->statusBar()->isVisible());
    item(Command::ToggleStatusBar)->trigger();
    EXPECT_FALSE(window->statusBar()->isVisible());
    EXPECT_FALSE(item(Command::ToggleStatusBar)->isChecked());
    item(Command::ToggleStatusBar)->trigger();
    EXPECT_TRUE(window->statusBar()->isVisible());
    EXPECT_EQ(touches, 4) << "showing the status bar does not touch the puzzle";
}

TEST_F(WindowTest, TheViewMenuZoomsAndKeepsItsSettings)
{
    open();
    JPPuzzleView *view = window->puzzleView();
    EXPECT_TRUE(item(Command::ZoomIn)->isEnabled());
    EXPECT_FALSE(item(Command::ZoomOut)->isEnabled());
    item(Command::ZoomIn)->trigger();
    item(Command::ZoomIn)->trigger();
    EXPECT_NEAR(view->viewTransform().zoom(), 2.0, 1e-9);
    EXPECT_TRUE(item(Command::ZoomOut)->isEnabled());
    EXPECT_TRUE(item(Command::WholeBoard)->isEnabled());
    while (item(Command::ZoomIn)->isEnabled())
        item(Command::ZoomIn)->trigger();
    EXPECT_EQ(view->viewTransform().zoom(), view->viewTransform().maxZoom());
    item(Command::ZoomOut)->trigger();
    EXPECT_TRUE(item(Command::ZoomIn)->isEnabled());
    item(Command::WholeBoard)->trigger();
    EXPECT_TRUE(view->viewTransform().showsWholeBoard());
    EXPECT_FALSE(item(Command::ZoomOut)->isEnabled());
    EXPECT_FALSE(item(Command::WholeBoard)->isEnabled());

    ASSERT_TRUE(item(Command::ShowOverview)->isChecked());
    item(Command::ShowOverview)->trigger();
    EXPECT_FALSE(item(Command::ShowOverview)->isChecked());
    EXPECT_FALSE(view->showOverview());
    EXPECT_FALSE(JPPrefController::sharedInstance()->showOverview());
    item(Command::ShowOverview)->trigger();
    EXPECT_TRUE(JPPrefController::sharedInstance()->showOverview());

    item(Command::FullScreen)->trigger();
    EXPECT_TRUE(window->isFullScreen());
    EXPECT_TRUE(item(Command::FullScreen)->isChecked());
    item(Command::FullScreen)->trigger();
    EXPECT_FALSE(window->isFullScreen());
    EXPECT_FALSE(item(Command::FullScreen)->isChecked());
}

TEST_F(WindowTest, PicturePopoverFitsTheBoard)
{
    open(640, 480);
    window->showPicture();
    ASSERT_EQ(CCPopoverBaseVC::openPopoverCount(), 1);
    auto popovers = window->findChildren<CCPopoverBaseVC *>();
    ASSERT_EQ(popovers.size(), 1);
    auto *imageView = popovers.front()->findChild<QLabel *>(QStringLiteral("imageView"));
    ASSERT_TRUE(imageView);
    EXPECT_EQ(imageView->size(), QSize(640, 480)) << "a picture that fits is shown at its own size";

    // Menu validation closes it.
    window->fileMenu()->popup(QPoint(0, 0));
    QApplication::processEvents();
    window->fileMenu()->hide();
    EXPECT_EQ(CCPopoverBaseVC::openPopoverCount(), 0);

    window->resize(500, 400);
    QApplication::processEvents();
    window->showPicture();
    popovers = window->findChildren<CCPopoverBaseVC *>();
    ASSERT_FALSE(popovers.empty());
    imageView = popovers.back()->findChild<QLabel *>(QStringLiteral("imageView"));
    ASSERT_TRUE(imageView);
    const QSize board = window->puzzleView()->size();
    EXPECT_LE(popovers.back()->width(), board.width());
    EXPECT_LE(popovers.back()->height(), board.height());
    EXPECT_LT(imageView->width(), 640);
    EXPECT_NEAR(double(imageView->width()) / imageView->height(), 640.0 / 480.0, 0.02);
}

}

namespace {

TEST_F(WindowTest, KeysCloseThePicturePopoverAndStillReachTheMenus)
{
    open();
    QApplication::setActiveWindow(window.get());
    window->puzzleView()->setFocus();
    const auto typeIntoPopover = [this](int key, Qt::KeyboardModifiers modifiers) {
        window->showPicture();
        QApplication::processEvents();
        QWidget *popup = QApplication::activePopupWidget();
        ASSERT_TRUE(popup);
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(popup, &press);
        QApplication::processEvents();
        EXPECT_EQ(CCPopoverBaseVC::openPopoverCount(), 0);
    };
    typeIntoPopover(Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(puzzle->edgesOnly()) << "the shortcut ran";
    typeIntoPopover(Qt::Key_Escape, {});
    EXPECT_TRUE(puzzle->edgesOnly()) << "Escape only closes";
}

}
