#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <Qt>

#include <functional>
#include <vector>

class JPPiece;
class JPPuzzle;

// A mouse event as the board sees it: a point in board units (y down) and the keys held.
struct JPBoardMouse
{
    QPointF point;
    Qt::KeyboardModifiers modifiers;
};

// A scroll-wheel event: the point under the pointer and the deltas in wheel steps.
struct JPBoardWheel
{
    QPointF point;
    double deltaX = 0.0;
    double deltaY = 0.0;
};

// The board's rules for selecting, dragging, turning and linking items, free of any widget
// so that synthetic events can drive it. The puzzle is not owned. Main thread only.
class JPBoardController
{
public:
    enum DragType { DragTypeNone = 0, DragTypeLocked = 1, DragTypeRect = 2, DragTypePieces = 3 };

    // The smallest part of an item (in board units) that a drag or a smaller view leaves
    // inside the view, so the item can always be grabbed again.
    static constexpr double kGrabMargin = 32.0;
    // Outline strokes and turned pieces reach this far outside an item's rectangle.
    static constexpr double kRedrawMargin = 8.0;

    JPBoardController();

    // Ends any operation in progress; null is allowed.
    void setPuzzle(JPPuzzle *puzzle);
    JPPuzzle *puzzle() const { return m_puzzle; }
    // Ends a drag or rectangle without linking and clears the badge.
    void cancelOperation();

    void setViewSize(QSizeF size);
    QSizeF viewSize() const { return m_viewSize; }
    // Fits the puzzle to the view unless it was last fitted to this size; true when it ran.
    bool ensureLayout();
    void layoutPuzzle(QSizeF size);

    void setLockedDrag(bool on) { m_lockedDrag = on; }
    bool lockedDrag() const { return m_lockedDrag; }
    void setAdvancedUser(bool on) { m_advancedUser = on; }

    void mouseDown(const JPBoardMouse &event);
    void mouseDragged(const JPBoardMouse &event);
    void mouseUp(const JPBoardMouse &event);
    void mouseMoved(const JPBoardMouse &event);
    void scrollWheel(const JPBoardWheel &event);
    // Quarter turns for a wheel delta: the decimal digits of its rounded-up size, at most 3.
    static int quarterTurnsForDelta(double delta);

    JPPiece *pieceAtPoint(QPointF point) const;
    void selectWithinDragRect();
    void selectAdjacentPieces();
    void unrotateSelection();
    void endLockedDrag();
    void linkPieces();
    void invalPiece(JPPiece *item);
    void invalSelection();
    // Pulls every item back so that a grabbable part of it lies inside the view.
    void keepItemsInView();
    // The item's board rectangle with an assembly's size brought up to date.
    static QRectF itemRect(JPPiece *item);

    DragType dragType() const { return m_dragType; }
    JPPiece *draggingPiece() const { return m_draggingPiece; }
    JPPiece *linkingPiece() const { return m_linkingPiece; }
    QRectF dragRect() const { return m_dragRect; }
    QRectF linkRect() const { return m_linkRect; }
    QPointF linkPoint() const { return m_linkPoint; }
    void setLinkBadgeSize(QSizeF size) { m_linkRect.setSize(size); }

    // Hooks for the view: an area to redraw, a join that happened (the click), and any
    // change to the board's items.
    std::function<void(const QRectF &)> invalidate;
    std::function<void()> linked;
    std::function<void()> changed;

private:
    void handleMouseMove(QPointF point);
    void trackLink();
    void moveToTop(const std::vector<JPPiece *> &items);
    // A dragged item's new location: inside the board, with a grabbable part in view.
    QPointF limitedLocation(JPPiece *item, QPointF location) const;
    // How far the item must move from location so that a grabbable part of it is in view.
    QPointF grabbableShift(JPPiece *item, QPointF location) const;
    void redraw(const QRectF &rect);
    void notifyChanged();

    JPPuzzle *m_puzzle = nullptr;
    DragType m_dragType = DragTypeNone;
    JPPiece *m_draggingPiece = nullptr;
    JPPiece *m_linkingPiece = nullptr;
    QRectF m_dragRect;
    QRectF m_linkRect;
    QPointF m_dragPoint;
    QPointF m_anchorPoint;
    QPointF m_linkPoint{-1.0, -1.0};
    bool m_commandClick = false;
    bool m_lockedDrag = false;
    bool m_advancedUser = false;
    QSizeF m_viewSize;
};
