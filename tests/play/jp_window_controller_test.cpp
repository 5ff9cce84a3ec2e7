#include "model/jp_linking.h"
#include "play/cc_popover_base_vc.h"
#include "play/jp_pref_controller.h"
#include "play/jp_toolbar_view.h"
#include "play/jp_window_controller.h"
#include "play_fixtures.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QSet>
#include <QStatusBar>

// Qt's own key-event path for shortcuts, exported by QtGui (the same one its test library uses).
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject *o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString &text = QString(), bool autorep = false, ushort count = 1);

namespace {

using tj::test::BoardText;
using tj::test::BuildTestPuzzle;
using tj::test::SendMouse;
using Command = JPWindowController::Command;
using enum JPWindowController::Command;

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = std::make_unique<JPWindowController>();
        window->resize(1000, 700);
        window->show();
        tj::test::drainEvents();
        strip = window->toolbarView();
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
    // Whether each command is enabled, as a string of 1s and 0s.
    std::string enabled(std::initializer_list<Command> commands) const
    {
        std::string flags;
        for (Command command : commands)
            flags += item(command)->isEnabled() ? '1' : '0';
        return flags;
    }
    bool press(int key, Qt::KeyboardModifiers modifiers)
    {
        return qt_sendShortcutOverrideEvent(window->puzzleView(), 0, key, modifiers);
    }

    // The left button on the tool strip, at strip points.
    void pressTool(QPointF at) { SendMouse(strip, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
    void dragTool(QPointF at) { SendMouse(strip, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
    void releaseTool(QPointF at) { SendMouse(strip, QEvent::MouseButtonRelease, at, Qt::LeftButton, {}); }
    void clickTool(int tool)
    {
        pressTool(centreOf(tool));
        releaseTool(centreOf(tool));
    }
    QPointF centreOf(int tool) const { return strip->rectForTool(tool).center(); }

    std::unique_ptr<JPWindowController> window;
    std::unique_ptr<JPPuzzle> puzzle;
    JPToolbarView *strip = nullptr;
};

TEST_F(WindowTest, EveryCommandHasItsOwnShortcut)
{
    QSet<QString> seen;
    for (int i = 0; i < JPWindowController::CommandCount; ++i) {
        const QKeySequence keys = item(Command(i))->shortcut();
        ASSERT_FALSE(keys.isEmpty()) << i;
        EXPECT_FALSE(seen.contains(keys.toString())) << keys.toString().toStdString();
        seen.insert(keys.toString());
    }
    // Ctrl++ as well: on most layouts it is the same key as Ctrl+= with Shift.
    EXPECT_TRUE(item(Command::ZoomIn)->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Plus)));
}

// Edges only and pinning change the puzzle and drop the selection; the rest are viewing
// choices or preferences: nothing to save. Window settings are no play, so they don't count
// as touching the puzzle.
TEST_F(WindowTest, TogglesFlipTheFlagsAndTheirCheckMarks)
{
    open();
    JPPrefController *prefs = JPPrefController::sharedInstance();
    JPPuzzleView *view = window->puzzleView();
    int touches = 0;
    QObject::connect(window.get(), &JPWindowController::touched, [&touches] { ++touches; });
    // The command, whether its flag is on, whether the puzzle is changed and whether it counts as play.
    const std::tuple<Command, std::function<bool()>, bool, bool> toggles[] = {
        {EdgesOnly, [this] { return puzzle->edgesOnly(); }, true, true},
        {PinPuzzle, [this] { return puzzle->pinned(); }, true, true},
        {ShowRotation, [this] { return puzzle->rotate(); }, false, true},
        {ToggleLockDrag, [prefs] { return prefs->lockedDrag(); }, false, false},
        {ToggleStatusBar, [this] { return window->statusBar()->isVisible(); }, false, false},
        {ShowOverview, [view] { return view->showOverview(); }, false, true},
        {FullScreen, [this] { return window->isFullScreen(); }, false, true}};
    for (const auto &[command, on, saved, touchesPuzzle] : toggles) {
        for (int round = 0; round < 2; ++round) {
            const bool expected = !on();
            puzzle->setDirty(false);
            puzzle->selection().assign(1, puzzle->pieces().front());
            touches = 0;
            item(command)->trigger();
            EXPECT_EQ(on(), expected) << command;
            EXPECT_EQ(item(command)->isChecked(), expected) << command;
            EXPECT_EQ(puzzle->isDirty(), saved) << command;
            EXPECT_EQ(puzzle->selection().empty(), saved) << command;
            EXPECT_EQ(touches, int(touchesPuzzle)) << command;
            EXPECT_EQ(view->lockedDrag(), prefs->lockedDrag());
            EXPECT_EQ(view->showOverview(), prefs->showOverview());
            EXPECT_EQ(window->statusBar()->isVisible(), prefs->showStatusBar());
        }
    }

    // A puzzle switched in shows its own flags.
    item(PinPuzzle)->trigger();
    auto other = BuildTestPuzzle(QStringLiteral("Other"), 640, 480, 12);
    ASSERT_TRUE(other);
    window->setCurrentPuzzle(other.get());
    EXPECT_FALSE(item(PinPuzzle)->isChecked());
    window->setCurrentPuzzle(puzzle.get());
    EXPECT_TRUE(item(PinPuzzle)->isChecked());
}

TEST_F(WindowTest, PinningPutsTheFrameAssemblyAtTheBottomOfThePile)
{
    open();
    puzzle->layoutPuzzle(window->puzzleView()->size());
    JPPiece *origin = puzzle->originPiece();
    ASSERT_TRUE(origin);
    JPAssembly *frame = LinkPieces(origin->connectionAtIndex(2).piece, origin);
    ASSERT_TRUE(frame);
    ASSERT_EQ(puzzle->pinnedAssembly(), frame);

    std::vector<JPPiece *> &items = puzzle->pieces();
    ASSERT_EQ(std::erase(items, frame), 1u);
    items.push_back(frame);
    const std::vector<JPPiece *> others(items.begin(), items.end() - 1);

    item(PinPuzzle)->trigger();
    ASSERT_EQ(items.front(), frame);
    EXPECT_EQ(std::vector<JPPiece *>(items.begin() + 1, items.end()), others) << "the rest keep their order";
    item(PinPuzzle)->trigger();
    EXPECT_EQ(items.front(), frame) << "unpinning leaves the pile as it is";
}

TEST_F(WindowTest, TurningNeedsRotationAndASelectionAndShortcutsRunOnlyEnabledCommands)
{
    open();
    QApplication::setActiveWindow(window.get());
    window->puzzleView()->setFocus();
    JPPiece *piece = puzzle->pieces().front();
    puzzle->selection().push_back(piece);
    window->validateMenus();
    EXPECT_EQ(enabled({RotateClockwise, RotateCounterClockwise, SetUpright}), "000");
    const uint64_t start = piece->rotation();
    press(Qt::Key_R, Qt::ControlModifier);
    window->rotatePieces(true);
    EXPECT_EQ(piece->rotation(), start) << "turning is off";

    EXPECT_TRUE(press(Qt::Key_T, Qt::ControlModifier));
    ASSERT_TRUE(puzzle->rotate());
    EXPECT_EQ(enabled({RotateClockwise, RotateCounterClockwise, SetUpright}), "111");
    EXPECT_TRUE(press(Qt::Key_R, Qt::ControlModifier));
    EXPECT_NE(piece->rotation(), start);
    EXPECT_TRUE(press(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_EQ(piece->rotation(), start);
    // Alt+click is often the window manager's: the menu sets the selection upright too.
    EXPECT_TRUE(press(Qt::Key_R, Qt::ControlModifier));
    EXPECT_TRUE(press(Qt::Key_U, Qt::ControlModifier));
    EXPECT_EQ(piece->rotation(), 0u);
    puzzle->selection().clear();
    window->validateMenus();
    EXPECT_EQ(enabled({RotateClockwise, RotateCounterClockwise, SetUpright}), "000");

    // Ctrl+Alt+T belongs to the desktop's terminal.
    EXPECT_FALSE(press(Qt::Key_T, Qt::ControlModifier | Qt::AltModifier));
    EXPECT_TRUE(press(Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_FALSE(window->showToolbar());
}

TEST_F(WindowTest, HidingTheStripWidensTheBoardAndShowingItNarrowsItAgain)
{
    open();
    const QRect board = window->puzzleView()->geometry();
    const QRect shown = strip->geometry();
    ASSERT_EQ(board.x(), shown.width());

    item(ToggleToolbar)->trigger();
    EXPECT_FALSE(window->showToolbar());
    EXPECT_FALSE(item(ToggleToolbar)->isChecked());
    EXPECT_EQ(strip->x(), -1000);
    EXPECT_EQ(window->puzzleView()->geometry(), QRect(0, board.y(), board.width() + shown.width(), board.height()));

    // A piece left where the narrower board will not show it comes back into view.
    puzzle->layoutPuzzle(window->puzzleView()->size());
    JPPiece *piece = puzzle->pieces().back();
    const double narrow = board.width();
    const QPointF start(narrow, board.height() / 2.0);
    piece->setDraggedLocation(start);
    piece->setDraggedLocation(start + QPointF(narrow + 2 - piece->setCurrentRect().x(), 0));
    ASSERT_GT(piece->setCurrentRect().x(), narrow);
    ASSERT_LT(piece->setCurrentRect().x(), window->puzzleView()->width());

    item(ToggleToolbar)->trigger();
    EXPECT_TRUE(window->showToolbar());
    EXPECT_EQ(strip->geometry(), shown);
    EXPECT_EQ(window->puzzleView()->geometry(), board);
    EXPECT_TRUE(piece->setCurrentRect().intersects(QRectF(0, 0, narrow, board.height())));
}

// A shift brings a piece in from the side but keeps its height; one that only showed a sliver
// above the top must still be grabbable afterwards, or the next opening moves it.
TEST_F(WindowTest, ShiftingLeavesEveryItemGrabbable)
{
    open();
    JPBoardController &board = window->puzzleView()->board();
    board.setViewSize(window->puzzleView()->size());
    board.ensureLayout();
    for (Command command : {ShiftRight, ShiftLeft}) {
        JPPiece *piece = puzzle->pieces().front();
        const QRectF rect = JPBoardController::itemRect(piece);
        piece->setDraggedLocation(QPointF(board.viewSize().width() + rect.width(), 6 - rect.height() / 2));
        item(command)->trigger();
        const QString shifted = BoardText(*puzzle);
        board.keepItemsInView();
        EXPECT_EQ(BoardText(*puzzle), shifted);
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
    EXPECT_FALSE(item(Undo)->isEnabled());
    EXPECT_EQ(window->progressLabel()->text(), QStringLiteral("0 of %1 pieces joined").arg(puzzle->pieceCount()));
    int touches = 0;
    QObject::connect(window.get(), &JPWindowController::touched, [&touches] { ++touches; });
    const QString before = BoardText(*puzzle);
    item(ShiftRight)->trigger();
    const QString after = BoardText(*puzzle);
    ASSERT_NE(after, before);
    ASSERT_EQ(enabled({Undo, Redo}), "10");
    item(Undo)->trigger();
    EXPECT_EQ(BoardText(*puzzle), before);
    ASSERT_EQ(enabled({Undo, Redo}), "01");
    item(Redo)->trigger();
    EXPECT_EQ(BoardText(*puzzle), after);
    EXPECT_EQ(enabled({Undo, Redo}), "10");
    EXPECT_EQ(touches, 3);

    JPPiece *piece = puzzle->pieceWithIndex(0);
    PlaceBeside(piece, piece, piece->connectionAtIndex(2).piece);
    QPointF badge;
    ASSERT_TRUE(LinkPieces(piece, PieceToLinkWith(piece, badge)));
    window->validateMenus();
    window->updateProgress();
    EXPECT_FALSE(item(Undo)->isEnabled()) << "a join is never undone";
    EXPECT_EQ(window->progressLabel()->text(), QStringLiteral("2 of %1 pieces joined").arg(puzzle->pieceCount()));
    item(EdgesOnly)->trigger();
    EXPECT_TRUE(window->progressLabel()->text().endsWith(QStringLiteral(" edge pieces joined")));
}

TEST_F(WindowTest, TheViewMenuZoomsUpToTheLimitAndBack)
{
    open();
    JPPuzzleView *view = window->puzzleView();
    EXPECT_EQ(enabled({ZoomIn, ZoomOut, WholeBoard}), "100");
    item(ZoomIn)->trigger();
    item(ZoomIn)->trigger();
    EXPECT_NEAR(view->viewTransform().zoom(), 2.0, 1e-9);
    EXPECT_EQ(enabled({ZoomIn, ZoomOut, WholeBoard}), "111");
    while (item(ZoomIn)->isEnabled())
        item(ZoomIn)->trigger();
    EXPECT_EQ(view->viewTransform().zoom(), view->viewTransform().maxZoom());
    item(ZoomOut)->trigger();
    EXPECT_EQ(enabled({ZoomIn, ZoomOut, WholeBoard}), "111");
    item(WholeBoard)->trigger();
    EXPECT_TRUE(view->viewTransform().showsWholeBoard());
    EXPECT_EQ(enabled({ZoomIn, ZoomOut, WholeBoard}), "100");
}

TEST_F(WindowTest, PicturePopoverFitsTheBoardAndKeysCloseItAndStillReachTheMenus)
{
    open(640, 480);
    const auto shownPicture = [this] {
        window->showPicture();
        const auto popovers = window->findChildren<CCPopoverBaseVC *>();
        EXPECT_EQ(CCPopoverBaseVC::openPopoverCount(), 1);
        return popovers.empty() ? nullptr : popovers.back()->findChild<QLabel *>(QStringLiteral("imageView"));
    };
    QLabel *imageView = shownPicture();
    ASSERT_TRUE(imageView);
    EXPECT_EQ(imageView->size(), QSize(640, 480)) << "a picture that fits is shown at its own size";
    // Menu validation closes it.
    window->fileMenu()->popup(QPoint(0, 0));
    tj::test::drainEvents();
    window->fileMenu()->hide();
    EXPECT_EQ(CCPopoverBaseVC::openPopoverCount(), 0);

    window->resize(500, 400);
    tj::test::drainEvents();
    imageView = shownPicture();
    ASSERT_TRUE(imageView);
    EXPECT_TRUE(QRect(QPoint(), window->puzzleView()->size()).contains(imageView->parentWidget()->rect()));
    EXPECT_LT(imageView->width(), 640);
    EXPECT_NEAR(double(imageView->width()) / imageView->height(), 640.0 / 480.0, 0.02);

    QApplication::setActiveWindow(window.get());
    window->puzzleView()->setFocus();
    const auto typeIntoPopover = [&](int key, Qt::KeyboardModifiers modifiers) {
        shownPicture();
        tj::test::drainEvents();
        QWidget *popup = QApplication::activePopupWidget();
        ASSERT_TRUE(popup);
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(popup, &press);
        tj::test::drainEvents();
        EXPECT_EQ(CCPopoverBaseVC::openPopoverCount(), 0);
    };
    typeIntoPopover(Qt::Key_E, Qt::ControlModifier);
    EXPECT_TRUE(puzzle->edgesOnly()) << "the shortcut ran";
    typeIntoPopover(Qt::Key_Escape, {});
    EXPECT_TRUE(puzzle->edgesOnly()) << "Escape only closes";
}

// A tool runs only when the press that picked it is released over it, and is lit only while
// the pointer is over it.
TEST_F(WindowTest, AToolRunsOnlyWhenReleasedOverTheToolPressed)
{
    open();
    // Each gesture presses on its first point, drags through them all and is released on the last.
    const std::vector<QPointF> gestures[] = {
        {centreOf(2), centreOf(3)}, {centreOf(1), QPointF(300, 20)}, {centreOf(2), centreOf(4), centreOf(2)}};
    std::string lit;
    for (const std::vector<QPointF> &points : gestures) {
        pressTool(points.front());
        EXPECT_EQ(strip->trackingTool(), strip->toolAtPoint(points.front()));
        for (QPointF at : points) {
            dragTool(at);
            lit += strip->highlightTrack() ? '1' : '0';
        }
        releaseTool(points.back());
        EXPECT_EQ(strip->trackingTool(), JPToolbarView::kNoTool);
        EXPECT_FALSE(strip->highlightTrack());
    }
    EXPECT_EQ(lit, "1010101");
    EXPECT_TRUE(puzzle->edgesOnly()) << "only the last gesture ran its tool";
    EXPECT_FALSE(puzzle->pinned() || puzzle->rotate());

    clickTool(4);
    EXPECT_TRUE(window->lockedDrag());
    EXPECT_TRUE(window->puzzleView()->lockedDrag());
    clickTool(4);
    EXPECT_FALSE(window->lockedDrag());
}

// How far the pixels of a tool's square stray from the strip's background, summed.
double inkInCell(const QImage &shot, const QRectF &cell, QRgb background)
{
    double sum = 0;
    for (int y = int(cell.top()) + 1; y < int(cell.bottom()) - 1; ++y)
        for (int x = int(cell.left()) + 1; x < int(cell.right()) - 1; ++x) {
            const QRgb p = shot.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(background)) + std::abs(qGreen(p) - qGreen(background))
                + std::abs(qBlue(p) - qBlue(background));
        }
    return sum;
}

TEST_F(WindowTest, WithoutAPuzzleOnlyWindowCommandsRunAndOnlyThePanicToolResponds)
{
    EXPECT_EQ(enabled({ShowPicture, PinPuzzle, EdgesOnly, ShowRotation, RotateClockwise, RotateCounterClockwise,
                       ShiftLeft, ShiftRight, ZoomIn, ZoomOut, WholeBoard}),
              "00000000000");
    EXPECT_EQ(enabled({ToggleLockDrag, ToggleToolbar, HideApplication, ShowOverview, FullScreen}), "11111");
    EXPECT_TRUE(item(ToggleToolbar)->isChecked());
    EXPECT_FALSE(item(ToggleLockDrag)->isChecked());
    // The tools are faded and pressing them does nothing.
    for (int tool = 0; tool < JPToolbarView::kPanicTool; ++tool) {
        pressTool(centreOf(tool));
        EXPECT_EQ(strip->trackingTool(), JPToolbarView::kNoTool) << tool;
        EXPECT_FALSE(strip->highlightTrack());
        releaseTool(centreOf(tool));
    }
    EXPECT_FALSE(window->lockedDrag());
    const QImage empty = strip->grab().toImage();
    const QRgb background = empty.pixel(2, 2);
    open();
    const QImage active = strip->grab().toImage();
    for (int tool = 0; tool < JPToolbarView::kPanicTool; ++tool) {
        const double faded = inkInCell(empty, strip->rectForTool(tool), background);
        EXPECT_GT(faded, 0) << "tool " << tool << " has no image";
        EXPECT_LT(faded, inkInCell(active, strip->rectForTool(tool), background) * 0.5) << "tool " << tool;
    }
    const QRectF panic = strip->rectForTool(JPToolbarView::kPanicTool);
    EXPECT_EQ(inkInCell(empty, panic, background), inkInCell(active, panic, background));

    const auto cornerOf = [this](int tool) {
        return QColor(strip->grab().toImage().pixel(strip->rectForTool(tool).topLeft().toPoint() + QPoint(2, 2))).rgb();
    };
    const QRgb toggle = QColor::fromRgbF(0.9647058823529412f, 0.9647058823529412f, 0.596078431372549f).rgb();
    window->edgesOnly();
    EXPECT_EQ(cornerOf(2), toggle);
    EXPECT_NE(cornerOf(3), toggle);
    pressTool(centreOf(3));
    EXPECT_EQ(cornerOf(3), strip->palette().color(QPalette::Highlight).rgb());
    releaseTool(centreOf(3));

    window->setCurrentPuzzle(nullptr);
    EXPECT_FALSE(window->isMinimized());
    pressTool(centreOf(JPToolbarView::kPanicTool));
    EXPECT_TRUE(strip->highlightTrack());
    releaseTool(centreOf(JPToolbarView::kPanicTool));
    EXPECT_TRUE(tj::test::waitFor([this] { return window->isMinimized(); }));
}

}
