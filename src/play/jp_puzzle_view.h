#pragma once

#include "play/jp_board_input.h"
#include "play/jp_board_renderer.h"
#include "play/jp_board_viewport.h"

#include <QWidget>

class JPOverviewView;
class JPPuzzle;
class QSoundEffect;
class QTimer;

// The board on which the current puzzle is played. Turns Qt input into board events for
// JPBoardController and draws through JPBoardRenderer. Zooming and panning only change how
// the board is shown (JPBoardViewport): input is mapped to board units before the board
// controller sees it, and its redraw areas are mapped back. The puzzle is not owned.
class JPPuzzleView : public QWidget
{
    Q_OBJECT
public:
    // Zoom In and Zoom Out: two steps double or halve the zoom.
    static constexpr double kZoomStep = 1.4142135623730951;

    explicit JPPuzzleView(QWidget *parent = nullptr);
    ~JPPuzzleView() override;

    // Null is allowed; ends any drag in progress and shows the puzzle's own saved view.
    void setPuzzle(JPPuzzle *puzzle);
    JPPuzzle *puzzle() const { return m_board.puzzle(); }
    void redrawBoard();
    void setLockedDrag(bool on) { m_board.setLockedDrag(on); }
    bool lockedDrag() const { return m_board.lockedDrag(); }

    JPBoardController &board() { return m_board; }

    // The view's zoom and visible part, up to date with the board's size and scale.
    const JPViewTransform &viewTransform();
    // Zooms about a point of the view, keeping the board point under it in place.
    void setZoom(double zoom, QPointF viewAnchor);
    void zoomIn();
    void zoomOut();
    // Back to zoom 1, the whole board.
    void showWholeBoard();
    bool canZoomIn();
    bool canZoomOut();
    // Moves the view so that boardPoint is at its centre, as far as the board allows.
    void centerOn(QPointF boardPoint);
    // Moves the board's picture by delta view pixels.
    void panBy(QPointF delta);

    // Whether the overview appears while the view is zoomed in.
    void setShowOverview(bool on);
    bool showOverview() const { return m_showOverview; }
    JPOverviewView *overview() const { return m_overview; }

Q_SIGNALS:
    void boardChanged();
    // The player pressed, dragged or turned something on the board.
    void touched();
    // The zoom or the visible part changed.
    void viewChanged();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void playClick();
    // Follows Space being pressed or released; false for any other key.
    bool trackSpace(QKeyEvent *event, bool held);
    // Brings the view transform up to date with the board's size and scale.
    void syncView();
    QPointF boardPoint(QPointF position) const;
    // Redraws after the view moved and lets a drag in progress follow the pointer.
    void viewMoved();
    void followPointer();
    void endPan();
    void updateCursor();
    void updateAutoScroll();
    void autoScrollTick();
    bool autoScrollWanted() const;
    void placeOverview();
    void refreshOverview();

    JPBoardController m_board;
    JPBoardRenderer m_renderer;
    JPBoardViewport m_viewport;
    QSoundEffect *m_clickPlayer = nullptr;
    JPOverviewView *m_overview = nullptr;
    QTimer *m_autoScroll = nullptr;
    QTimer *m_overviewRefresh = nullptr;
    bool m_showOverview = true;
    bool m_overviewStale = true;
    // The last pointer position and state seen, in view pixels.
    QPointF m_pointer;
    Qt::MouseButtons m_buttons;
    Qt::KeyboardModifiers m_modifiers;
    bool m_spaceHeld = false;
    // The button that pans while it is held (middle, or left with Space); none otherwise.
    Qt::MouseButton m_panButton = Qt::NoButton;
    QPointF m_panFrom;
};
