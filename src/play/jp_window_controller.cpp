#include "play/jp_window_controller.h"

#include "play/jp_pref_controller.h"

#include "imaging/cc_image.h"
#include "imaging/image_geometry.h"
#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"
#include "model/play_stats.h"
#include "play/cc_popover_base_vc.h"
#include "play/jp_puzzle_view.h"
#include "play/jp_toolbar_view.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QStatusBar>

#include <algorithm>

namespace {

// Space between the picture and the popover's edge.
constexpr int kPopoverMargin = 8;
// Where the popover points when the tool strip is hidden.
constexpr QRect kHiddenStripAnchor(0, 0, 16, 16);

// Commands that change the window or the application rather than the puzzle on the board.
bool touchesPuzzle(JPWindowController::Command command)
{
    switch (command) {
    case JPWindowController::ToggleLockDrag:
    case JPWindowController::ToggleToolbar:
    case JPWindowController::ToggleStatusBar:
    case JPWindowController::HideApplication:
        return false;
    default:
        return true;
    }
}

}

JPWindowController::JPWindowController(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Jigsaw"));
    auto *content = new QWidget(this);
    m_toolbarView = new JPToolbarView(this, content);
    m_puzzleView = new JPPuzzleView(content);
    setCentralWidget(content);
    content->installEventFilter(this);
    connect(m_puzzleView, &JPPuzzleView::boardChanged, this, &JPWindowController::validateMenus);
    connect(m_puzzleView, &JPPuzzleView::boardChanged, this, &JPWindowController::updateProgress);
    connect(m_puzzleView, &JPPuzzleView::touched, this, &JPWindowController::touched);

    m_progressLabel = new QLabel(this);
    m_progressLabel->setObjectName(QStringLiteral("progressLabel"));
    m_progressLabel->setContentsMargins(6, 0, 6, 0);
    statusBar()->addWidget(m_progressLabel, 1);
    m_showStatusBar = JPPrefController::sharedInstance()->showStatusBar();
    statusBar()->setVisible(m_showStatusBar);
    connect(m_puzzleView, &JPPuzzleView::viewChanged, this, &JPWindowController::validateMenus);

    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_editMenu = menuBar()->addMenu(QStringLiteral("&Edit"));
    m_puzzleMenu = menuBar()->addMenu(QStringLiteral("&Puzzle"));
    addCommand(m_editMenu, Undo, QStringLiteral("Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), false,
               &JPWindowController::undo);
    addCommand(m_editMenu, Redo, QStringLiteral("Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), false,
               &JPWindowController::redo);
    QMenu *menu = m_puzzleMenu;
    addCommand(menu, ShowPicture, QStringLiteral("Show Completed Picture"), QKeySequence(Qt::CTRL | Qt::Key_I), false,
               &JPWindowController::showPicture);
    menu->addSeparator();
    addCommand(menu, PinPuzzle, QStringLiteral("Pin Frame to Board"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P),
               true, &JPWindowController::pinPuzzle);
    addCommand(menu, EdgesOnly, QStringLiteral("Edge Pieces Only"), QKeySequence(Qt::CTRL | Qt::Key_E), true,
               &JPWindowController::edgesOnly);
    addCommand(menu, ShowRotation, QStringLiteral("Allow Rotation"), QKeySequence(Qt::CTRL | Qt::Key_T), true,
               &JPWindowController::showRotation);
    addCommand(menu, ToggleLockDrag, QStringLiteral("Drag After Single Click"), QKeySequence(Qt::CTRL | Qt::Key_L),
               true, &JPWindowController::toggleLockDrag);
    menu->addSeparator();
    addCommand(menu, RotateClockwise, QStringLiteral("Rotate Selection Clockwise"), QKeySequence(Qt::CTRL | Qt::Key_R),
               false, nullptr);
    addCommand(menu, RotateCounterClockwise, QStringLiteral("Rotate Selection Counterclockwise"),
               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R), false, nullptr);
    addCommand(menu, SetUpright, QStringLiteral("Set Selection Upright"), QKeySequence(Qt::CTRL | Qt::Key_U), false,
               &JPWindowController::setUpright);
    addCommand(menu, ShiftLeft, QStringLiteral("Gather Pieces Left"), QKeySequence(Qt::CTRL | Qt::Key_BracketLeft),
               false, nullptr);
    addCommand(menu, ShiftRight, QStringLiteral("Gather Pieces Right"), QKeySequence(Qt::CTRL | Qt::Key_BracketRight),
               false, nullptr);
    connect(action(RotateClockwise), &QAction::triggered, this, [this] { rotatePieces(true); });
    connect(action(RotateCounterClockwise), &QAction::triggered, this, [this] { rotatePieces(false); });
    connect(action(ShiftLeft), &QAction::triggered, this, [this] { shiftPieces(false); });
    connect(action(ShiftRight), &QAction::triggered, this, [this] { shiftPieces(true); });
    menu->addSeparator();
    // Ctrl+Alt+T opens a terminal on most Linux desktops.
    addCommand(menu, ToggleToolbar, QStringLiteral("Show Tool Strip"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T),
               true, &JPWindowController::toggleToolbar);
    addCommand(menu, HideApplication, QStringLiteral("Panic"), QKeySequence(Qt::CTRL | Qt::Key_H), false, nullptr);
    connect(action(HideApplication), &QAction::triggered, this, [] { hideApplication(); });
    addViewMenu();

    for (QMenu *each : {m_fileMenu, m_editMenu, m_puzzleMenu, m_viewMenu}) {
        connect(each, &QMenu::aboutToShow, this, [this] {
            CCPopoverBaseVC::closePopovers();
            validateMenus();
        });
    }
    resize(1024, 720);
    validateMenus();
}

void JPWindowController::addViewMenu()
{
    m_viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    QMenu *menu = m_viewMenu;
    addCommand(menu, ZoomIn, QStringLiteral("Zoom In"), QKeySequence(Qt::CTRL | Qt::Key_Equal), false, nullptr);
    // Ctrl++ is the same key with Shift on most layouts.
    action(ZoomIn)->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    addCommand(menu, ZoomOut, QStringLiteral("Zoom Out"), QKeySequence(Qt::CTRL | Qt::Key_Minus), false, nullptr);
    addCommand(menu, WholeBoard, QStringLiteral("Whole Board"), QKeySequence(Qt::CTRL | Qt::Key_0), false, nullptr);
    connect(action(ZoomIn), &QAction::triggered, m_puzzleView, &JPPuzzleView::zoomIn);
    connect(action(ZoomOut), &QAction::triggered, m_puzzleView, &JPPuzzleView::zoomOut);
    connect(action(WholeBoard), &QAction::triggered, m_puzzleView, &JPPuzzleView::showWholeBoard);
    menu->addSeparator();
    addCommand(menu, ShowOverview, QStringLiteral("Show Overview"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
               true, &JPWindowController::toggleOverview);
    addCommand(menu, ToggleStatusBar, QStringLiteral("Show Status Bar"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
               true, &JPWindowController::toggleStatusBar);
    addCommand(menu, FullScreen, QStringLiteral("Full Screen"), QKeySequence(Qt::Key_F11), true,
               &JPWindowController::toggleFullScreen);
}

QAction *JPWindowController::addCommand(QMenu *menu, Command command, const QString &title,
                                        const QKeySequence &shortcut, bool checkable,
                                        void (JPWindowController::*handler)())
{
    auto *item = menu->addAction(title);
    item->setShortcut(shortcut);
    item->setCheckable(checkable);
    if (handler)
        connect(item, &QAction::triggered, this, handler);
    if (touchesPuzzle(command))
        connect(item, &QAction::triggered, this, &JPWindowController::touched);
    // The window holds the actions too, so their shortcuts work while the menu bar is hidden.
    addAction(item);
    m_actions[size_t(command)] = item;
    return item;
}

void JPWindowController::setCurrentPuzzle(JPPuzzle *puzzle)
{
    CCPopoverBaseVC::closePopovers();
    m_puzzle = puzzle;
    m_puzzleView->setPuzzle(puzzle);
    redrawAll();
}

bool JPWindowController::lockedDrag() const
{
    return JPPrefController::sharedInstance()->lockedDrag();
}

void JPWindowController::toolWasClicked(int index)
{
    switch (index) {
    case 0:
        showPicture();
        break;
    case 1:
        pinPuzzle();
        break;
    case 2:
        edgesOnly();
        break;
    case 3:
        showRotation();
        break;
    case 4:
        toggleLockDrag();
        break;
    case JPToolbarView::kPanicTool:
        hideApplication();
        break;
    default:
        break;
    }
}

void JPWindowController::redrawAll()
{
    m_puzzleView->redrawBoard();
    m_toolbarView->redraw();
    validateMenus();
    updateProgress();
}

void JPWindowController::updateProgress()
{
    const QString text = m_puzzle ? ProgressText(ProgressOfPuzzle(*m_puzzle)) : QString();
    if (m_progressLabel->text() != text)
        m_progressLabel->setText(text);
}

void JPWindowController::showPicture()
{
    if (!m_puzzle || !m_puzzle->image())
        return;
    CCPopoverBaseVC::closePopovers();
    const QImage &picture = m_puzzle->image()->qimage();
    QRectF fitted(QPointF(0, 0), m_puzzle->image()->size());
    const QRectF area =
        QRectF(m_puzzleView->geometry()).adjusted(kPopoverMargin, kPopoverMargin, -kPopoverMargin, -kPopoverMargin);
    CenterRectangle(fitted, area);
    const QSize shown = fitted.size().toSize();
    if (shown.isEmpty())
        return;

    auto *popover = new CCPopoverBaseVC(this);
    auto *imageView = new QLabel(popover);
    imageView->setObjectName(QStringLiteral("imageView"));
    QPixmap pixmap =
        QPixmap::fromImage(picture.scaled(shown * devicePixelRatio(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(devicePixelRatio());
    imageView->setPixmap(pixmap);
    imageView->setGeometry(kPopoverMargin, kPopoverMargin, shown.width(), shown.height());
    popover->resize(shown.width() + 2 * kPopoverMargin, shown.height() + 2 * kPopoverMargin);
    if (m_showToolbar)
        popover->showRelativeToRect(m_toolbarView->rectForTool(0).toRect(), m_toolbarView);
    else
        popover->showRelativeToRect(kHiddenStripAnchor, m_puzzleView);
}

void JPWindowController::pinPuzzle()
{
    if (!m_puzzle)
        return;
    m_puzzle->setPinned(!m_puzzle->pinned());
    m_puzzle->setDirty(true);
    std::vector<JPPiece *> &items = m_puzzle->pieces();
    JPPiece *pinned = m_puzzle->pinnedAssembly();
    auto at = std::find(items.begin(), items.end(), pinned);
    if (pinned && at != items.end() && at != items.begin())
        std::rotate(items.begin(), at, at + 1);
    m_puzzle->selection().clear();
    redrawAll();
}

void JPWindowController::edgesOnly()
{
    if (!m_puzzle)
        return;
    m_puzzle->setEdgesOnly(!m_puzzle->edgesOnly());
    m_puzzle->setDirty(true);
    m_puzzle->selection().clear();
    redrawAll();
}

void JPWindowController::showRotation()
{
    if (!m_puzzle)
        return;
    m_puzzle->setRotate(!m_puzzle->rotate());
    redrawAll();
}

void JPWindowController::toggleLockDrag()
{
    // The setting is what is saved; the board only follows it.
    JPPrefController *prefs = JPPrefController::sharedInstance();
    prefs->setLockedDrag(!prefs->lockedDrag());
    m_puzzleView->setLockedDrag(prefs->lockedDrag());
    m_toolbarView->redraw();
    validateMenus();
}

void JPWindowController::rotatePieces(bool clockwise)
{
    if (!m_puzzle || !m_puzzle->rotate() || m_puzzle->selection().empty())
        return;
    m_puzzleView->board().recordMove(m_puzzle->selection(), [&] { m_puzzle->rotatePieces(clockwise); });
    m_puzzleView->redrawBoard();
}

void JPWindowController::setUpright()
{
    if (!m_puzzle || !m_puzzle->rotate() || m_puzzle->selection().empty())
        return;
    m_puzzleView->board().unrotateSelection();
    validateMenus();
}

void JPWindowController::shiftPieces(bool right, bool hiddenOnly)
{
    if (!m_puzzle)
        return;
    bool shifted = false;
    JPBoardController &board = m_puzzleView->board();
    board.recordMove(m_puzzle->pieces(), [&] {
        shifted = m_puzzle->shiftPieces(right, m_puzzleView->size(), hiddenOnly);
        // A piece brought in from one side keeps its other coordinate, which may leave only a
        // sliver showing; the next opening would move it, so it moves now, as one step.
        if (shifted)
            board.keepItemsInView();
    });
    if (shifted)
        m_puzzleView->redrawBoard();
}

void JPWindowController::undo()
{
    m_puzzleView->board().undo();
}

void JPWindowController::redo()
{
    m_puzzleView->board().redo();
}

void JPWindowController::toggleToolbar()
{
    m_showToolbar = !m_showToolbar;
    JPPrefController::sharedInstance()->setShowToolbar(m_showToolbar);
    layoutChildren();
    // Pieces the strip now covers come out from under it.
    if (m_showToolbar)
        shiftPieces(false, true);
    validateMenus();
}

void JPWindowController::toggleStatusBar()
{
    m_showStatusBar = !m_showStatusBar;
    JPPrefController::sharedInstance()->setShowStatusBar(m_showStatusBar);
    statusBar()->setVisible(m_showStatusBar);
    validateMenus();
}

void JPWindowController::toggleOverview()
{
    const bool on = !m_puzzleView->showOverview();
    JPPrefController::sharedInstance()->setShowOverview(on);
    m_puzzleView->setShowOverview(on);
    validateMenus();
}

void JPWindowController::toggleFullScreen()
{
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
    validateMenus();
}

void JPWindowController::hideApplication()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isWindow() && window->isVisible() && window->windowType() != Qt::Popup)
            window->showMinimized();
    }
}

bool JPWindowController::validateMenuItem(QAction *item)
{
    const bool puzzle = m_puzzle != nullptr;
    bool enabled = true;
    if (item == action(EdgesOnly)) {
        enabled = puzzle;
        item->setChecked(puzzle && m_puzzle->edgesOnly());
    } else if (item == action(PinPuzzle)) {
        enabled = puzzle;
        item->setChecked(puzzle && m_puzzle->pinned());
    } else if (item == action(ShowRotation)) {
        enabled = puzzle;
        item->setChecked(puzzle && m_puzzle->rotate());
    } else if (item == action(RotateClockwise) || item == action(RotateCounterClockwise)
               || item == action(SetUpright)) {
        enabled = puzzle && m_puzzle->rotate() && !m_puzzle->selection().empty();
    } else if (item == action(ShiftLeft) || item == action(ShiftRight) || item == action(ShowPicture)) {
        enabled = puzzle;
    } else if (item == action(ToggleLockDrag)) {
        item->setChecked(lockedDrag());
    } else if (item == action(ToggleToolbar)) {
        item->setChecked(m_showToolbar);
    } else if (item == action(ToggleStatusBar)) {
        item->setChecked(m_showStatusBar);
    } else if (item == action(Undo)) {
        enabled = m_puzzleView->board().canUndo();
    } else if (item == action(Redo)) {
        enabled = m_puzzleView->board().canRedo();
    } else if (item == action(ZoomIn)) {
        enabled = m_puzzleView->canZoomIn();
    } else if (item == action(ZoomOut) || item == action(WholeBoard)) {
        enabled = m_puzzleView->canZoomOut();
    } else if (item == action(ShowOverview)) {
        item->setChecked(m_puzzleView->showOverview());
    } else if (item == action(FullScreen)) {
        item->setChecked(isFullScreen());
    }
    item->setEnabled(enabled);
    return enabled;
}

void JPWindowController::validateMenus()
{
    for (QAction *item : m_actions)
        if (item)
            validateMenuItem(item);
}

bool JPWindowController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        layoutChildren();
    return QMainWindow::eventFilter(watched, event);
}

void JPWindowController::changeEvent(QEvent *event)
{
    // Full screen can also be left through the window manager.
    if (event->type() == QEvent::WindowStateChange)
        validateMenus();
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange)
        Q_EMIT activeChanged(isActiveWindow());
}

void JPWindowController::layoutChildren()
{
    const QSize area = centralWidget()->size();
    // A hidden strip is moved out of sight rather than removed, so it keeps its size.
    if (m_showToolbar) {
        m_toolbarView->setGeometry(0, 0, kToolbarWidth, area.height());
        m_puzzleView->setGeometry(kToolbarWidth, 0, std::max(0, area.width() - kToolbarWidth), area.height());
    } else {
        m_toolbarView->setGeometry(-1000, 0, kToolbarWidth, area.height());
        m_puzzleView->setGeometry(0, 0, area.width(), area.height());
    }
}
