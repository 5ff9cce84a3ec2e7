#pragma once

#include <QMainWindow>

#include <array>

class JPPuzzle;
class JPPuzzleView;
class JPToolbarView;
class QAction;
class QLabel;
class QMenu;

// The puzzle window: the tool strip at the left edge, the board filling the rest, and the
// Puzzle menu. Every command works on the puzzle given to setCurrentPuzzle (the application's
// current puzzle); the window does not own it.
class JPWindowController : public QMainWindow
{
    Q_OBJECT

public:
    enum Command {
        ShowPicture,
        PinPuzzle,
        EdgesOnly,
        ShowRotation,
        ToggleLockDrag,
        RotateClockwise,
        RotateCounterClockwise,
        SetUpright,
        ShiftLeft,
        ShiftRight,
        ToggleToolbar,
        HideApplication,
        Undo,
        Redo,
        ToggleStatusBar,
        ZoomIn,
        ZoomOut,
        WholeBoard,
        ShowOverview,
        FullScreen,
        CommandCount
    };

    static constexpr int kToolbarWidth = 48;

    explicit JPWindowController(QWidget *parent = nullptr);

    JPPuzzleView *puzzleView() const { return m_puzzleView; }
    JPToolbarView *toolbarView() const { return m_toolbarView; }
    QMenu *fileMenu() const { return m_fileMenu; }
    QAction *action(Command command) const { return m_actions[size_t(command)]; }

    JPPuzzle *currentPuzzle() const { return m_puzzle; }
    void setCurrentPuzzle(JPPuzzle *puzzle);
    bool lockedDrag() const;
    bool showToolbar() const { return m_showToolbar; }
    bool showStatusBar() const { return m_showStatusBar; }
    // The progress line at the foot of the window.
    QLabel *progressLabel() const { return m_progressLabel; }

    // Runs tool index's command; tool 5 hides the application. Other indexes are ignored.
    void toolWasClicked(int index);

    void showPicture();
    void pinPuzzle();
    void edgesOnly();
    void showRotation();
    void toggleLockDrag();
    void rotatePieces(bool clockwise);
    // Turns every selected piece back to its upright position (the menu form of Alt+click).
    void setUpright();
    // With hiddenOnly, only the pieces lying outside the board are brought in.
    void shiftPieces(bool right, bool hiddenOnly = false);
    void toggleToolbar();
    void toggleStatusBar();
    void undo();
    void redo();
    // Shows how far the current puzzle is.
    void updateProgress();
    void toggleOverview();
    void toggleFullScreen();
    // Minimises every window of the application.
    static void hideApplication();

    // Enables the item for the current state and sets its check mark; false when disabled.
    bool validateMenuItem(QAction *item);
    void validateMenus();

Q_SIGNALS:
    // The player did something to the puzzle: on the board or through a command.
    void touched();
    // The window became the active window, or stopped being it.
    void activeChanged(bool active);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QAction *addCommand(QMenu *menu, Command command, const QString &title, const QKeySequence &shortcut,
                        bool checkable, void (JPWindowController::*handler)());
    void layoutChildren();
    void addViewMenu();
    void redrawAll();

    JPPuzzleView *m_puzzleView = nullptr;
    JPToolbarView *m_toolbarView = nullptr;
    QMenu *m_fileMenu = nullptr;
    QMenu *m_puzzleMenu = nullptr;
    QMenu *m_editMenu = nullptr;
    QLabel *m_progressLabel = nullptr;
    QMenu *m_viewMenu = nullptr;
    std::array<QAction *, CommandCount> m_actions{};
    JPPuzzle *m_puzzle = nullptr;
    bool m_showToolbar = true;
    bool m_showStatusBar = true;
};
