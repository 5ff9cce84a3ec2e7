#pragma once

#include <QPainterPath>

#include <cstdint>
#include <ostream>
#include <random>

namespace tj::test {

// A Kolor or pixel that gtest prints in hexadecimal.
struct Hex
{
    uint32_t value;
    bool operator==(const Hex &) const = default;
};

inline void PrintTo(const Hex &hex, std::ostream *out)
{
    *out << "0x" << std::hex << std::uppercase << hex.value << std::dec;
}

// Every test draws from its own fixed seed, so a failure can be replayed.
inline std::mt19937 &randomSource()
{
    static std::mt19937 source(20240607);
    return source;
}

inline uint32_t randomBelow(uint32_t limit)
{
    return std::uniform_int_distribution<uint32_t>(0, limit - 1)(randomSource());
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
        if (sides[i] == Side::Flat) {
            path.lineTo(b);
            continue;
        }
        path.lineTo(at(0.35, 0));
        path.cubicTo(at(0.47, 0.0), at(0.28, 0.26), at(0.50, 0.26));
        path.cubicTo(at(0.72, 0.26), at(0.53, 0.0), at(0.65, 0));
        path.lineTo(b);
    }
    path.closeSubpath();
    path.setFillRule(Qt::WindingFill);
    return path;
}

}
