#include "model/jp_piece.h"

#include "imaging/cc_image.h"
#include "model/jp_puzzle.h"
#include "model/shape_defs.h"
#include "support/log.h"

#include <QTransform>

#include <array>
#include <cmath>

namespace {

struct PlacedVertex
{
    QPointF point;
    QPointF control1;
    QPointF control2;
};

// Room for the longest profile in the shape table.
constexpr size_t kPlacedCapacity = 16;

}

JPPiece::JPPiece(JPPuzzle *puzzle)
    : m_puzzle(puzzle)
{
    m_bezier.setFillRule(Qt::WindingFill);
}

JPPiece::~JPPiece() = default;

const Connection &JPPiece::connectionAtIndex(int side) const
{
    static const Connection none;
    if (side < 0 || side > 3)
        return none;
    return m_connections[size_t(side)];
}

void JPPiece::setConnection(const Connection &connection, int side)
{
    if (side >= 0 && side <= 3)
        m_connections[size_t(side)] = connection;
}

void JPPiece::setDraggedLocation(QPointF location)
{
    m_draggedLocation = location;
    m_boardLocation = location;
}

QRectF JPPiece::setCurrentRect()
{
    m_currentRect = enclosingRect();
    return m_currentRect;
}

void JPPiece::appendSide(QPainterPath &path, double s, int side, QPointF start) const
{
    const Connection &c = m_connections[size_t(side)];
    const ShapeDef *shape = ShapeForIndex(static_cast<long long>(c.shapeIndex));
    if (!shape || shape->count <= 0 || size_t(shape->count) > kPlacedCapacity) {
        // A damaged document's shape number draws the side straight.
        LogString(QStringLiteral("Missing shape vertexes in %1 (%2) for piece (%3,%4)")
                      .arg(m_puzzle->name())
                      .arg(m_puzzle->pieceCount())
                      .arg(m_coord.x)
                      .arg(m_coord.y));
        return;
    }
    const double length = (side == 1 || side == 3) ? m_rect.width() : m_rect.height();
    const double kx = length * s / 300.0;
    const double ky = m_puzzle->protrusion() * s / 100.0;
    const double w = m_rect.width() * s;
    const double h = m_rect.height() * s;
    const double sx = start.x();
    const double sy = start.y();
    const int count = shape->count;
    const bool knob = c.protrudes != 0;

    std::array<PlacedVertex, kPlacedCapacity> placed{};
    for (int m = 0; m < count; ++m) {
        PlacedVertex &out = placed[size_t(m)];
        if (side == 1 || side == 2) {
            const ShapeVertex &v = shape->vertices[size_t(m)];
            if (side == 1) {
                const double sign = knob ? 1.0 : -1.0;
                out.point = {sx + v.x * kx, sy + sign * v.y * ky};
                out.control1 = {sx + v.d1x * kx, sy + sign * v.d1y * ky};
                out.control2 = {sx + v.d2x * kx, sy + sign * v.d2y * ky};
            } else {
                const double sign = knob ? -1.0 : 1.0;
                out.point = {sx + sign * v.y * ky, sy + v.x * kx};
                out.control1 = {sx + sign * v.d1y * ky, sy + v.d1x * kx};
                out.control2 = {sx + sign * v.d2y * ky, sy + v.d2x * kx};
            }
            continue;
        }
        // Sides 3 and 0 walk the shape backwards, so both pieces of a joint trace one curve.
        const ShapeVertex &v = shape->vertices[size_t(count - 1 - m)];
        const ShapeVertex *u = m >= 1 ? &shape->vertices[size_t(count - m)] : nullptr;
        if (side == 3) {
            const double x0 = sx - w;
            const double sign = knob ? -1.0 : 1.0;
            out.point = {x0 + v.x * kx, sy + sign * v.y * ky};
            if (u) {
                out.control1 = {x0 + u->d2x * kx, sy + sign * u->d2y * ky};
                out.control2 = {x0 + u->d1x * kx, sy + sign * u->d1y * ky};
            }
        } else {
            const double y0 = sy - h;
            const double sign = knob ? 1.0 : -1.0;
            out.point = {sx + sign * v.y * ky, y0 + v.x * kx};
            if (u) {
                out.control1 = {sx + sign * u->d2y * ky, y0 + u->d2x * kx};
                out.control2 = {sx + sign * u->d1y * ky, y0 + u->d1x * kx};
            }
        }
    }

    path.lineTo(placed[0].point);
    for (int m = 1; m < count; ++m)
        path.cubicTo(placed[size_t(m)].control1, placed[size_t(m)].control2, placed[size_t(m)].point);
}

QPainterPath JPPiece::outlineAtScale(double s, QPointF *origin) const
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const double p = m_puzzle->protrusion() * s;
    const double w = m_rect.width() * s;
    const double h = m_rect.height() * s;
    const double ox = Protrudes(m_connections[0]) ? p : 0.0;
    const double oy = Protrudes(m_connections[1]) ? p : 0.0;
    if (origin)
        *origin = {ox, oy};

    path.moveTo(ox, oy);
    if (m_connections[1].piece)
        appendSide(path, s, 1, {ox, oy});
    path.lineTo(ox + w, oy);
    if (m_connections[2].piece)
        appendSide(path, s, 2, {ox + w, oy});
    path.lineTo(ox + w, oy + h);
    if (m_connections[3].piece)
        appendSide(path, s, 3, {ox + w, oy + h});
    path.lineTo(ox, oy + h);
    if (m_connections[0].piece)
        appendSide(path, s, 0, {ox, oy + h});
    path.closeSubpath();
    return path;
}

void JPPiece::createOutline()
{
    m_bezier = outlineAtScale(m_scaleForBezier, &m_bezierOrigin);
    if (m_scaleForBezier == 1.0)
        m_fullBezierWidth = m_bezier.boundingRect().width();
}

QPainterPath JPPiece::pictureOutline() const
{
    QPointF origin;
    const QPainterPath path = outlineAtScale(1.0, &origin);
    return path.translated(m_rect.x() - origin.x(), m_rect.y() - origin.y());
}

QPainterPath JPPiece::newBezierInRect(const QRectF &rect) const
{
    const QRectF bounds = m_bezier.boundingRect();
    QPainterPath moved = m_bezier.translated(rect.x() - bounds.x(), rect.y() - bounds.y());
    moved.setFillRule(Qt::WindingFill);
    return moved;
}

namespace {

// The scale an enclosing rectangle stands for, and where the base rectangle starts in it.
struct EnclosingPlacement
{
    double scale;
    QPointF baseOrigin;
};

EnclosingPlacement placementIn(const JPPiece &piece, const QRectF &rect)
{
    const double p = piece.puzzle()->protrusion();
    const double e0 = Protrudes(piece.connectionAtIndex(0)) ? p : 0.0;
    const double e1 = Protrudes(piece.connectionAtIndex(1)) ? p : 0.0;
    const double e2 = Protrudes(piece.connectionAtIndex(2)) ? p : 0.0;
    const double unscaled = piece.rect().width() + e0 + e2;
    const double scale = unscaled > 0 ? rect.width() / unscaled : 0.0;
    return {scale, rect.topLeft() + QPointF(e0, e1) * scale};
}

}

QPainterPath JPPiece::outlineInEnclosingRect(const QRectF &rect)
{
    const EnclosingPlacement at = placementIn(*this, rect);
    if (at.scale != m_scaleForBezier) {
        m_scaleForBezier = at.scale;
        createOutline();
    }
    QPainterPath path = m_bezier.translated(at.baseOrigin - m_bezierOrigin);
    path.setFillRule(Qt::WindingFill);
    return path;
}

QRectF JPPiece::imageRectInEnclosingRect(const QRectF &rect) const
{
    const EnclosingPlacement at = placementIn(*this, rect);
    const QRectF image = imageRect();
    return QRectF(at.baseOrigin + (image.topLeft() - m_rect.topLeft()) * at.scale, image.size() * at.scale);
}

bool JPPiece::isEdge() const
{
    for (const Connection &c : m_connections)
        if (!c.piece)
            return true;
    return false;
}

bool JPPiece::canSelect() const
{
    return !m_puzzle->edgesOnly() || isEdge();
}

QRectF JPPiece::enclosingRect(QPointF center, bool rotate, double scale) const
{
    double w = m_rect.width();
    double h = m_rect.height();
    std::array<double, 4> e{};
    for (int k = 0; k < 4; ++k)
        e[size_t(k)] = Protrudes(connectionAtIndex(k)) ? m_puzzle->protrusion() : 0.0;
    const uint64_t q = (rotate && m_puzzle->rotate()) ? (m_rotation & 3) : 0;
    if (q == 1) {
        e = {e[3], e[0], e[1], e[2]};
        std::swap(w, h);
    } else if (q == 3) {
        e = {e[1], e[2], e[3], e[0]};
        std::swap(w, h);
    } else if (q == 2) {
        std::swap(e[0], e[2]);
        std::swap(e[1], e[3]);
    }
    return QRectF(center.x() - (w / 2 + e[0]) * scale, center.y() - (h / 2 + e[1]) * scale, (w + e[0] + e[2]) * scale,
                  (h + e[1] + e[3]) * scale);
}

QRectF JPPiece::enclosingRect(QPointF center, bool rotate) const
{
    return enclosingRect(center, rotate, m_puzzle->scale());
}

QRectF JPPiece::enclosingRect() const
{
    return enclosingRect(m_boardLocation, true, m_puzzle->scale());
}

QPainterPath JPPiece::pictureSide(int side) const
{
    const QRectF r = m_rect;
    const QPointF corners[4] = {r.bottomLeft(), r.topLeft(), r.topRight(), r.bottomRight()};
    QPainterPath path;
    if (side < 0 || side > 3)
        return path;
    path.moveTo(corners[side]);
    if (m_connections[size_t(side)].piece)
        appendSide(path, 1.0, side, corners[side]);
    return path;
}

QPointF JPPiece::enclosingOrigin() const
{
    const double p = m_puzzle->protrusion();
    return QPointF(m_rect.x() - (Protrudes(m_connections[0]) ? p : 0.0),
                   m_rect.y() - (Protrudes(m_connections[1]) ? p : 0.0));
}

QRect JPPiece::pixelBox() const
{
    // Every pixel whose corner point lies inside the outline: from the first whole pixel at
    // or left of the outline to the last one at or left of its right edge. Rounding the
    // bounds instead would drop a pixel wherever a curve bulges a little past a whole
    // number, leaving a hole between neighbours.
    const QRectF box = pictureOutline().boundingRect();
    const auto low = [](double v) { return int(std::floor(v)); };
    return QRect(QPoint(low(box.left()), low(box.top())), QPoint(low(box.right()), low(box.bottom())));
}

QRectF JPPiece::imageRect() const
{
    const QRect box = pixelBox();
    if (m_image)
        return QRectF(box.topLeft(), m_image->size());
    return QRectF(box);
}

bool JPPiece::hitTest(QPointF point, const QRectF &rect)
{
    if (m_fullBezierWidth == 0.0) {
        m_scaleForBezier = 1.0;
        createOutline();
    }
    QPainterPath path = outlineInEnclosingRect(rect);
    if (m_puzzle->rotate() && m_rotation != 0) {
        QTransform turn;
        turn.translate(m_boardLocation.x(), m_boardLocation.y());
        turn.rotate(double(m_rotation & 3) * 90.0);
        turn.translate(-m_boardLocation.x(), -m_boardLocation.y());
        path = turn.map(path);
        path.setFillRule(Qt::WindingFill);
    }
    return path.contains(point);
}

bool JPPiece::hitTest(QPointF point)
{
    return hitTest(point, enclosingRect(m_boardLocation, false));
}
