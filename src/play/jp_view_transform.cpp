#include "play/jp_view_transform.h"

#include <algorithm>
#include <cmath>

namespace {

// A pinch that ends a hair above 1 means the whole board.
constexpr double kWholeBoardSnap = 1e-3;

bool finite(QPointF point)
{
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

}

JPViewTransform::JPViewTransform(QSizeF boardSize, double maxZoom)
    : m_boardSize(boardSize.isValid() ? boardSize : QSizeF())
{
    setMaxZoom(maxZoom);
}

double JPViewTransform::maxZoomForScale(double boardScale)
{
    // A picture pixel shows as boardScale x zoom view pixels.
    if (!(boardScale > 0) || !std::isfinite(boardScale))
        return kLeastMaxZoom;
    return std::clamp(2.0 / boardScale, kLeastMaxZoom, kZoomCeiling);
}

void JPViewTransform::setMaxZoom(double zoom)
{
    if (!std::isfinite(zoom))
        return;
    m_maxZoom = std::clamp(zoom, kMinZoom, kZoomCeiling);
    clamp();
}

QRectF JPViewTransform::toBoard(const QRectF &viewRect) const
{
    return QRectF(toBoard(viewRect.topLeft()), viewRect.size() / m_zoom);
}

QRectF JPViewTransform::toView(const QRectF &boardRect) const
{
    return QRectF(toView(boardRect.topLeft()), boardRect.size() * m_zoom);
}

QTransform JPViewTransform::boardToView() const
{
    return QTransform(m_zoom, 0, 0, m_zoom, -m_origin.x() * m_zoom, -m_origin.y() * m_zoom);
}

QRectF JPViewTransform::visibleRect() const
{
    return QRectF(m_origin, m_boardSize / m_zoom);
}

void JPViewTransform::setZoom(double zoom, QPointF viewAnchor)
{
    if (!std::isfinite(zoom) || !finite(viewAnchor))
        return;
    const QPointF anchor = toBoard(viewAnchor);
    m_zoom = std::clamp(zoom, kMinZoom, m_maxZoom);
    if (m_zoom - kMinZoom < kWholeBoardSnap)
        m_zoom = kMinZoom;
    m_origin = anchor - viewAnchor / m_zoom;
    clamp();
}

void JPViewTransform::panBy(QPointF viewDelta)
{
    if (!finite(viewDelta))
        return;
    m_origin -= viewDelta / m_zoom;
    clamp();
}

void JPViewTransform::centerOn(QPointF boardPoint)
{
    if (!finite(boardPoint))
        return;
    m_origin = boardPoint - QPointF(m_boardSize.width(), m_boardSize.height()) / (2 * m_zoom);
    clamp();
}

void JPViewTransform::clamp()
{
    m_zoom = std::clamp(m_zoom, kMinZoom, m_maxZoom);
    const double spareX = std::max(0.0, m_boardSize.width() - m_boardSize.width() / m_zoom);
    const double spareY = std::max(0.0, m_boardSize.height() - m_boardSize.height() / m_zoom);
    // At zoom 1 there is nothing to spare and the origin is exactly (0, 0).
    m_origin = QPointF(std::clamp(m_origin.x(), 0.0, spareX), std::clamp(m_origin.y(), 0.0, spareY));
}
