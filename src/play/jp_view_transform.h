#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

// How the board view shows the board: a zoom and the board point at the view's top-left.
// The board keeps its own units and size (the view's size at zoom 1); this only maps
// between view pixels and board units. At zoom 1 the whole board shows and both spaces are
// the same; above it the visible part always stays within the board. A plain value.
class JPViewTransform
{
public:
    static constexpr double kMinZoom = 1.0;
    // At least this much zoom is offered even where pieces already show their own pixels.
    static constexpr double kLeastMaxZoom = 4.0;
    // Guards against a degenerate board scale asking for an absurd zoom.
    static constexpr double kZoomCeiling = 64.0;

    JPViewTransform() = default;
    explicit JPViewTransform(QSizeF boardSize, double maxZoom = kLeastMaxZoom);

    // The zoom at which a piece shows twice its picture pixels, at least kLeastMaxZoom.
    static double maxZoomForScale(double boardScale);

    QSizeF boardSize() const { return m_boardSize; }
    double maxZoom() const { return m_maxZoom; }
    // Lowers the zoom when it is above the new limit.
    void setMaxZoom(double zoom);

    double zoom() const { return m_zoom; }
    QPointF origin() const { return m_origin; }
    bool showsWholeBoard() const { return m_zoom == kMinZoom; }

    QPointF toBoard(QPointF viewPoint) const { return m_origin + viewPoint / m_zoom; }
    QPointF toView(QPointF boardPoint) const { return (boardPoint - m_origin) * m_zoom; }
    QRectF toBoard(const QRectF &viewRect) const;
    QRectF toView(const QRectF &boardRect) const;
    QTransform boardToView() const;
    // The part of the board in view, in board units.
    QRectF visibleRect() const;
    QPointF center() const { return visibleRect().center(); }

    // Zooms so that the board point under viewAnchor stays there (as far as the board's
    // edges allow). Non-finite values change nothing.
    void setZoom(double zoom, QPointF viewAnchor);
    void zoomBy(double factor, QPointF viewAnchor) { setZoom(m_zoom * factor, viewAnchor); }
    // Moves the board's picture by delta view pixels (the visible part moves the other way).
    void panBy(QPointF viewDelta);
    // Puts boardPoint at the view's centre, as far as the board's edges allow.
    void centerOn(QPointF boardPoint);

    bool operator==(const JPViewTransform &other) const = default;

private:
    void clamp();

    QSizeF m_boardSize;
    double m_zoom = kMinZoom;
    double m_maxZoom = kLeastMaxZoom;
    QPointF m_origin;
};
