#pragma once

// Pictures and piece outlines shared by the imaging tests.

#include "test_support.h"

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdint>
#include <random>
#include <vector>

namespace tj::test {

// Every test draws from the same fixed seed, so a failure can be replayed.
inline uint32_t randomBelow(uint32_t limit)
{
    static std::mt19937 source(20240607);
    return std::uniform_int_distribution<uint32_t>(0, limit - 1)(source);
}

// An opaque photograph-like picture without an alpha channel.
inline QImage photoLike(int width, int height)
{
    return MakeTestPicture(width, height).convertToFormat(QImage::Format_RGB32);
}

// Every pixel a random valid premultiplied value, alpha spread over its whole range.
inline QImage randomPremultiplied(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const uint32_t alpha = randomBelow(256);
            line[x] = qRgba(int(randomBelow(alpha + 1)), int(randomBelow(alpha + 1)), int(randomBelow(alpha + 1)),
                            int(alpha));
        }
    }
    return image;
}

enum class Side { Flat, Knob, Hole };

// A jigsaw-like piece: a square of the given side whose four sides are flat or carry a
// cubic knob bulging outwards or inwards (narrow neck, wide head, so rows cross the knob
// up to four times). Sides run clockwise from the top-left corner.
inline QPainterPath pieceOutline(QPointF origin, double side, const Side (&sides)[4])
{
    const QPointF corners[4] = {origin, origin + QPointF(side, 0), origin + QPointF(side, side),
                                origin + QPointF(0, side)};
    QPainterPath path;
    path.moveTo(origin);
    for (int i = 0; i < 4; ++i) {
        const QPointF a = corners[i], b = corners[(i + 1) % 4];
        const QPointF along = (b - a) / side;
        const QPointF outward(along.y(), -along.x());
        const double depth = sides[i] == Side::Knob ? 1.0 : -1.0;
        const auto at = [&](double u, double v) { return a + along * (u * side) + outward * (v * side * depth); };
        if (sides[i] != Side::Flat) {
            path.lineTo(at(0.35, 0));
            path.cubicTo(at(0.47, 0.0), at(0.28, 0.26), at(0.50, 0.26));
            path.cubicTo(at(0.72, 0.26), at(0.53, 0.0), at(0.65, 0));
        }
        path.lineTo(b);
    }
    path.closeSubpath();
    path.setFillRule(Qt::WindingFill);
    return path;
}

// Whether the outline passes within about a hundredth of a pixel of the point, where
// rounding may put it on either side.
inline bool onOutline(const QPainterPath &path, QPointF point)
{
    const bool inside = path.contains(point);
    for (QPointF step : {QPointF(-0.01, -0.01), QPointF(0.01, -0.01), QPointF(-0.01, 0.01), QPointF(0.01, 0.01)})
        if (path.contains(point + step) != inside)
            return true;
    return false;
}

// A jigsaw piece of side pixels: the picture drawn into pieceOutline, antialiased, with a
// translucent rim, transparent outside.
inline QImage pieceLike(const QImage &picture, int side)
{
    QImage piece(side, side, QImage::Format_ARGB32_Premultiplied);
    piece.fill(Qt::transparent);
    const QPainterPath outline =
        pieceOutline(QPointF(side * 0.2, side * 0.2), side * 0.6, {Side::Knob, Side::Knob, Side::Hole, Side::Flat});
    QPainter painter(&piece);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(outline);
    painter.drawImage(QRectF(0, 0, side, side), picture);
    painter.setClipping(false);
    painter.setPen(QPen(QColor(255, 255, 255, 90), 2.0));
    painter.drawPath(outline);
    return piece;
}

}
