#pragma once

#include <array>

// The knob profiles shared by every joint. A profile lives in a box 300 units along the
// side and 100 units deep: x runs from the side's smaller-coordinate end, y is the depth
// with 0 on the straight line and -100 at the crown (negative = away from the piece for a
// knob). Neighbours draw the same profile, one forwards and one backwards.

struct ShapeVertex
{
    double x, y; // end point
    double d1x, d1y; // first control point of the curve ending here
    double d2x, d2y; // second control point of the curve ending here
};

constexpr int kShapeCount = 58;
// Shapes below this index are the only ones used when simple edges are chosen.
constexpr int kSimpleShapeCount = 28;
constexpr int kMaxShapeVertices = 15;

// Vertex 0 is where the side leaves the straight line (its control points are never
// drawn); each later vertex is reached by a cubic curve from the one before.
struct ShapeDef
{
    int count;
    std::array<ShapeVertex, kMaxShapeVertices> vertices;
};

extern const std::array<ShapeDef, kShapeCount> g_shapeDefs;

// The shape for a joint's shapeIndex, or nullptr when the index is outside the table (a
// damaged file); callers then draw that side straight.
const ShapeDef *ShapeForIndex(long long index);
