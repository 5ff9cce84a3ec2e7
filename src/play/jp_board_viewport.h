#pragma once

#include "play/jp_view_transform.h"

#include <QString>

class JPPuzzle;

// The board view's zoom and visible part for the current puzzle. Each puzzle keeps its own
// in its info.plist under keys that readers of the puzzle folder ignore; the centre is kept
// in picture pixels, so a board refitted to another window size shows the same pieces.
// The puzzle is not owned. Main thread only.
class JPBoardViewport
{
public:
    static const QString kZoomKey;
    static const QString kCenterXKey;
    static const QString kCenterYKey;

    // Pointer within this many view pixels of an edge during a drag scrolls the view.
    static constexpr double kAutoScrollMargin = 32.0;
    // The fastest auto-scroll step, in view pixels per tick, with the pointer at or past the edge.
    static constexpr double kAutoScrollFastest = 24.0;

    // Shows the puzzle's saved view from the next sync on; null is allowed.
    void setPuzzle(JPPuzzle *puzzle);
    JPPuzzle *puzzle() const { return m_puzzle; }
    // Follows the board's size and scale after a fit; call before using the transform.
    // True when the board's size or scale changed.
    bool sync(QSizeF boardSize, double boardScale);
    const JPViewTransform &transform() const { return m_view; }

    // Each change is recorded in the puzzle; true when the view changed.
    bool setZoom(double zoom, QPointF viewAnchor);
    bool zoomBy(double factor, QPointF viewAnchor);
    bool panBy(QPointF viewDelta);
    bool centerOn(QPointF boardPoint);

    // How far to move the board's picture for one auto-scroll tick with the pointer at
    // viewPoint: nothing away from the edges, faster the nearer (or further past) an edge.
    static QPointF autoScrollStep(QPointF viewPoint, QSizeF viewSize);

private:
    bool changed(const JPViewTransform &before);
    void remember();

    JPPuzzle *m_puzzle = nullptr;
    JPViewTransform m_view;
    // The board scale the transform was made for; 0 until the board has been fitted.
    double m_scale = 0.0;
    // The view to show, in picture pixels: read from the puzzle, or kept across a refit.
    double m_zoom = JPViewTransform::kMinZoom;
    QPointF m_center{-1.0, -1.0};
};
