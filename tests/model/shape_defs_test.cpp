#include "model/shape_defs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct Pt
{
    double x, y;
};

Pt operator-(Pt a, Pt b) { return {a.x - b.x, a.y - b.y}; }
double crossOf(Pt a, Pt b) { return a.x * b.y - a.y * b.x; }
double lengthOf(Pt a) { return std::hypot(a.x, a.y); }

const ShapeDef &shape(int index) { return g_shapeDefs[static_cast<std::size_t>(index)]; }
const ShapeVertex &vertex(const ShapeDef &def, int k) { return def.vertices[static_cast<std::size_t>(k)]; }

// The four points of the cubic curve that ends at vertex k.
std::array<Pt, 4> segment(const ShapeDef &def, int k)
{
    const ShapeVertex &a = vertex(def, k - 1), &b = vertex(def, k);
    return {Pt{a.x, a.y}, Pt{b.d1x, b.d1y}, Pt{b.d2x, b.d2y}, Pt{b.x, b.y}};
}

Pt pointAt(const std::array<Pt, 4> &s, double t)
{
    const double u = 1 - t;
    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    return {a * s[0].x + b * s[1].x + c * s[2].x + d * s[3].x, a * s[0].y + b * s[1].y + c * s[2].y + d * s[3].y};
}

// The profile as a polyline, with the straight parts of the side that lead to it.
std::vector<Pt> flattenedSide(const ShapeDef &def)
{
    constexpr int steps = 32;
    std::vector<Pt> points = {{0, 0}, {vertex(def, 0).x, vertex(def, 0).y}};
    for (int k = 1; k < def.count; ++k) {
        const auto s = segment(def, k);
        for (int i = 1; i <= steps; ++i)
            points.push_back(pointAt(s, double(i) / steps));
    }
    points.push_back({300, 0});
    return points;
}

bool properlyCross(Pt a, Pt b, Pt c, Pt d)
{
    const double d1 = crossOf(d - c, a - c), d2 = crossOf(d - c, b - c);
    const double d3 = crossOf(b - a, c - a), d4 = crossOf(b - a, d - a);
    return d1 * d2 < 0 && d3 * d4 < 0;
}

// Leftmost and rightmost crossing of the horizontal line at depth y; empty span as (0, 0).
std::pair<double, double> spanAt(const std::vector<Pt> &points, double y)
{
    double low = INFINITY, high = -INFINITY;
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        const Pt a = points[i], b = points[i + 1];
        if ((a.y - y) * (b.y - y) > 0 || a.y == b.y)
            continue;
        const double x = a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y);
        low = std::min(low, x);
        high = std::max(high, x);
    }
    return low <= high ? std::pair{low, high} : std::pair{0.0, 0.0};
}

double widthAt(const std::vector<Pt> &points, double y)
{
    const auto [low, high] = spanAt(points, y);
    return high - low;
}

double deepest(const std::vector<Pt> &points)
{
    return std::min_element(points.begin(), points.end(), [](Pt a, Pt b) { return a.y < b.y; })->y;
}

double angleBetween(Pt a, Pt b)
{
    const double c = (a.x * b.x + a.y * b.y) / (lengthOf(a) * lengthOf(b));
    return std::acos(std::clamp(c, -1.0, 1.0)) * 180.0 / std::numbers::pi;
}

// A direction that ignores a control point lying on its own end point.
Pt direction(Pt from, Pt to, Pt fallback)
{
    const Pt d = to - from;
    return lengthOf(d) > 1e-6 ? d : fallback;
}

// Runs a check on every entry, naming the entry in any failure.
template <typename Check>
void forEveryShape(Check check)
{
    for (int index = 0; index < kShapeCount; ++index) {
        SCOPED_TRACE("shape " + std::to_string(index));
        check(index, shape(index));
    }
}

TEST(ShapeTable, HasItsVertexCountAndStartsAndEndsOnTheSide)
{
    forEveryShape([](int index, const ShapeDef &def) {
        static const int counts[kShapeCount] = {7,  11, 7,  7,  9,  9,  7,  7,  11, 9,  9,  11, 11, 11, 10,
                                                10, 10, 10, 10, 10, 7,  7,  10, 10, 13, 13, 11, 11, 13, 13,
                                                9,  15, 9,  9,  10, 10, 9,  11, 11, 11, 10, 10, 10, 10, 10,
                                                10, 10, 10, 9,  9,  10, 10, 14, 14, 11, 11, 13, 13};
        EXPECT_EQ(def.count, counts[index]);
        ASSERT_GE(def.count, 7);
        ASSERT_LE(def.count, kMaxShapeVertices);
        const ShapeVertex &first = vertex(def, 0), &last = vertex(def, def.count - 1);
        EXPECT_LT(std::abs(first.y), 1.0);
        EXPECT_LT(std::abs(last.y), 1.0);
        EXPECT_GE(first.x, 15.0);
        EXPECT_LE(first.x, 125.0);
        EXPECT_GE(last.x, 170.0);
        EXPECT_LE(last.x, 285.0);
    });
}

TEST(ShapeTable, ReachesFullDepthInsideTheBox)
{
    forEveryShape([](int, const ShapeDef &def) {
        const auto points = flattenedSide(def);
        const double top = deepest(points);
        EXPECT_GE(top, -101.9);
        EXPECT_LE(top, -97.0);
        double left = 300, right = 0, shallowest = -100;
        for (const Pt p : points) {
            left = std::min(left, p.x);
            right = std::max(right, p.x);
            shallowest = std::max(shallowest, p.y);
        }
        EXPECT_GE(left, 0.0);
        EXPECT_LE(right, 300.0);
        EXPECT_LE(shallowest, 5.4);
    });
}

TEST(ShapeTable, KnobsStayOutOfTheCornerSquares)
{
    // A knob reaches at most its depth into the neighbouring side's corner square; keeping
    // every profile below the square's diagonal means the knobs of two sides meeting at a
    // corner can never overlap, whatever pieces they belong to.
    forEveryShape([](int, const ShapeDef &def) {
        for (const Pt p : flattenedSide(def))
            ASSERT_LT(-p.y, std::min(p.x, 300 - p.x) + 1e-9) << "at " << p.x << "," << p.y;
    });
}

TEST(ShapeTable, SideNeverCrossesItself)
{
    forEveryShape([](int, const ShapeDef &def) {
        const auto points = flattenedSide(def);
        for (std::size_t i = 0; i + 1 < points.size(); ++i)
            for (std::size_t k = i + 2; k + 1 < points.size(); ++k)
                ASSERT_FALSE(properlyCross(points[i], points[i + 1], points[k], points[k + 1]))
                    << "segments from (" << points[i].x << ", " << points[i].y << ") and (" << points[k].x << ", "
                    << points[k].y << ")";
    });
}

// Pieces only hold together when the head is clearly wider than the neck below it.
TEST(ShapeTable, HeadIsWiderThanNeck)
{
    forEveryShape([](int, const ShapeDef &def) {
        const auto points = flattenedSide(def);
        const double top = deepest(points);
        double neckY = -15, neck = widthAt(points, neckY);
        for (double y = -15; y >= top / 2; y -= 0.25) {
            if (widthAt(points, y) < neck) {
                neck = widthAt(points, y);
                neckY = y;
            }
        }
        double head = 0;
        for (double y = neckY; y > top; y -= 0.25)
            head = std::max(head, widthAt(points, y));
        EXPECT_GT(neck, 20.0);
        EXPECT_GE(head - neck, 15.0) << "neck " << neck << " at " << neckY << ", head " << head;
    });
}

TEST(ShapeTable, HasNoCorners)
{
    forEveryShape([](int, const ShapeDef &def) {
        // Tangents arriving at and leaving each vertex, including the straight lines that
        // join the profile to the rest of the side.
        std::vector<Pt> in = {{1, 0}}, out;
        for (int k = 1; k < def.count; ++k) {
            const auto s = segment(def, k);
            out.push_back(direction(s[0], s[1], direction(s[0], s[2], s[3] - s[0])));
            in.push_back(direction(s[2], s[3], direction(s[1], s[3], s[3] - s[0])));
        }
        const ShapeVertex &last = vertex(def, def.count - 1);
        out.push_back(Pt{300, 0} - Pt{last.x, last.y});
        for (std::size_t k = 0; k < in.size(); ++k)
            EXPECT_LT(angleBetween(in[k], out[k]), 20.0) << "at vertex " << k;
    });
}

// Shapes 0 and 28 come from existing puzzles and must stay exactly as drawn.
TEST(ShapeTable, KeepsTheOriginalProfiles)
{
    const ShapeVertex &crown = vertex(shape(0), 3);
    EXPECT_DOUBLE_EQ(crown.x, 150.7582);
    EXPECT_DOUBLE_EQ(crown.y, -99.7984);
    EXPECT_DOUBLE_EQ(crown.d2x, 114.2243);
    const ShapeVertex &end0 = vertex(shape(0), 6);
    EXPECT_DOUBLE_EQ(end0.x, 205.8659);
    EXPECT_DOUBLE_EQ(end0.d1y, -5.0439);
    const ShapeVertex &wave = vertex(shape(28), 1);
    EXPECT_DOUBLE_EQ(wave.x, 58.3105);
    EXPECT_DOUBLE_EQ(wave.y, -5.0948);
    const ShapeVertex &end28 = vertex(shape(28), 12);
    EXPECT_DOUBLE_EQ(end28.x, 274.9541);
    EXPECT_DOUBLE_EQ(end28.d2y, -0.4105);
}

// Random joints pick from the whole table, so no two entries may be the same profile.
TEST(ShapeTable, ProfilesAreAllDifferent)
{
    std::vector<std::vector<double>> outlines;
    for (int index = 0; index < kShapeCount; ++index) {
        const auto points = flattenedSide(shape(index));
        std::vector<double> outline;
        for (double y = -4; y >= -96; y -= 4) {
            const auto [low, high] = spanAt(points, y);
            outline.push_back(low);
            outline.push_back(high);
        }
        outlines.push_back(outline);
    }
    for (std::size_t a = 0; a < outlines.size(); ++a) {
        for (std::size_t b = a + 1; b < outlines.size(); ++b) {
            double difference = 0;
            for (std::size_t i = 0; i < outlines[a].size(); ++i)
                difference = std::max(difference, std::abs(outlines[a][i] - outlines[b][i]));
            EXPECT_GT(difference, 5.0) << "shapes " << a << " and " << b;
        }
    }
}

TEST(ShapeForIndex, GivesEveryEntryAndRefusesOthers)
{
    for (int index = 0; index < kShapeCount; ++index)
        EXPECT_EQ(ShapeForIndex(index), &g_shapeDefs[static_cast<std::size_t>(index)]);
    for (long long index : {-1LL, 58LL, 59LL, 1LL << 40, LLONG_MAX, LLONG_MIN})
        EXPECT_EQ(ShapeForIndex(index), nullptr) << index;
    EXPECT_LT(kSimpleShapeCount, kShapeCount);
}

}
