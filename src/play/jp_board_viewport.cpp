#include "play/jp_board_viewport.h"

#include "model/jp_puzzle.h"
#include "support/helpers.h"

#include <algorithm>
#include <cmath>

const QString JPBoardViewport::kZoomKey = QStringLiteral("viewZoom");
const QString JPBoardViewport::kCenterXKey = QStringLiteral("viewCenterX");
const QString JPBoardViewport::kCenterYKey = QStringLiteral("viewCenterY");

namespace {

// A saved value that is missing, not a number or out of all reason reads as the fallback.
double savedNumber(const QVariantMap &dict, const QString &key, double low, double high, double fallback)
{
    if (!dict.contains(key))
        return fallback;
    const double value = floatForKey(dict, key);
    return std::isfinite(value) && value >= low && value <= high ? value : fallback;
}

double edgeSpeed(double position, double extent)
{
    const double margin = JPBoardViewport::kAutoScrollMargin;
    if (extent < 3 * margin)
        return 0.0;
    const double nearStart = margin - position;
    const double nearEnd = position - (extent - margin);
    const auto speed = [margin](double depth) {
        return JPBoardViewport::kAutoScrollFastest * std::min(depth, margin) / margin;
    };
    // The picture moves the other way from the edge the pointer presses against.
    if (nearStart > 0)
        return speed(nearStart);
    if (nearEnd > 0)
        return -speed(nearEnd);
    return 0.0;
}

}

void JPBoardViewport::setPuzzle(JPPuzzle *puzzle)
{
    m_puzzle = puzzle;
    m_scale = 0.0;
    m_view = JPViewTransform(m_view.boardSize());
    m_zoom = JPViewTransform::kMinZoom;
    m_center = QPointF(-1.0, -1.0);
    if (!puzzle)
        return;
    // Pictures are at most a few thousand pixels; anything beyond this bound is damage.
    constexpr double kFarthest = 1e6;
    const QVariantMap &dict = puzzle->puzzleDict();
    m_zoom = savedNumber(dict, kZoomKey, JPViewTransform::kMinZoom, JPViewTransform::kZoomCeiling,
                         JPViewTransform::kMinZoom);
    m_center = QPointF(savedNumber(dict, kCenterXKey, 0.0, kFarthest, -1.0),
                       savedNumber(dict, kCenterYKey, 0.0, kFarthest, -1.0));
}

bool JPBoardViewport::sync(QSizeF boardSize, double boardScale)
{
    if (boardSize == m_view.boardSize() && boardScale == m_scale)
        return false;
    if (m_scale > 0) {
        m_zoom = m_view.zoom();
        m_center = m_view.center() / m_scale;
    }
    m_view = JPViewTransform(boardSize);
    if (!(boardScale > 0) || !std::isfinite(boardScale)) {
        m_scale = 0.0;
        return true;
    }
    m_scale = boardScale;
    m_view.setMaxZoom(JPViewTransform::maxZoomForScale(boardScale));
    m_view.setZoom(m_zoom, QPointF(0, 0));
    if (m_center.x() >= 0 && m_center.y() >= 0)
        m_view.centerOn(m_center * boardScale);
    else
        m_view.centerOn(QPointF(boardSize.width() / 2, boardSize.height() / 2));
    return true;
}

bool JPBoardViewport::setZoom(double zoom, QPointF viewAnchor)
{
    const JPViewTransform before = m_view;
    m_view.setZoom(zoom, viewAnchor);
    return changed(before);
}

bool JPBoardViewport::zoomBy(double factor, QPointF viewAnchor)
{
    return setZoom(m_view.zoom() * factor, viewAnchor);
}

bool JPBoardViewport::panBy(QPointF viewDelta)
{
    const JPViewTransform before = m_view;
    m_view.panBy(viewDelta);
    return changed(before);
}

bool JPBoardViewport::centerOn(QPointF boardPoint)
{
    const JPViewTransform before = m_view;
    m_view.centerOn(boardPoint);
    return changed(before);
}

bool JPBoardViewport::changed(const JPViewTransform &before)
{
    if (m_view == before)
        return false;
    remember();
    return true;
}

void JPBoardViewport::remember()
{
    m_zoom = m_view.zoom();
    // Before the board's first fit only the zoom can be carried over to it.
    if (!m_puzzle || !(m_scale > 0))
        return;
    m_center = m_view.center() / m_scale;
    QVariantMap &dict = m_puzzle->puzzleDict();
    // A puzzle never zoomed keeps its info.plist as it was.
    if (m_zoom == JPViewTransform::kMinZoom && !dict.contains(kZoomKey))
        return;
    const QVariant zoom(m_zoom), x(m_center.x()), y(m_center.y());
    if (dict.value(kZoomKey) == zoom && dict.value(kCenterXKey) == x && dict.value(kCenterYKey) == y)
        return;
    dict.insert(kZoomKey, zoom);
    dict.insert(kCenterXKey, x);
    dict.insert(kCenterYKey, y);
    // Written at the next save (switch, quit, deactivation), not at every step.
    m_puzzle->setInfoDirty(true);
}

QPointF JPBoardViewport::autoScrollStep(QPointF viewPoint, QSizeF viewSize)
{
    return QPointF(edgeSpeed(viewPoint.x(), viewSize.width()), edgeSpeed(viewPoint.y(), viewSize.height()));
}
