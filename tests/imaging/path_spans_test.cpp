#include "imaging/path_spans.h"

#include "imaging_fixtures.h"

#include <QPainterPath>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using tj::test::Side;

namespace {

// A curved five-pointed star drawn in one stroke (its centre winds twice) and a cubic that
// loops over itself.
QPainterPath selfOverlappingShape(QPointF origin)
{
    QPainterPath path;
    const QPointF centre = origin + QPointF(70, 70);
    for (int i = 0; i <= 5; ++i) {
        const double angle = -std::numbers::pi / 2 + i * 4 * std::numbers::pi / 5;
        const QPointF from = path.currentPosition(), tip = centre + QPointF(std::cos(angle), std::sin(angle)) * 66.6;
        const QPointF bend = (from + tip) / 2 * 0.7 + centre * 0.3;
        if (i == 0)
            path.moveTo(tip);
        else
            path.cubicTo((from + bend) / 2, (bend + tip) / 2, tip);
    }
    path.closeSubpath();
    path.moveTo(origin + QPointF(150.3, 20.1));
    path.cubicTo(origin + QPointF(260.7, 140.2), origin + QPointF(140.9, 150.6), origin + QPointF(250.2, 30.4));
    path.closeSubpath();
    return path;
}

// An ellipse with a hole drawn the other way round and a disc drawn the same way inside it.
QPainterPath ringWithHole(QPointF origin)
{
    QPainterPath path, hole;
    path.addEllipse(origin + QPointF(50.25, 50.5), 48.3, 40.7);
    hole.addEllipse(origin + QPointF(55.5, 48.1), 20.2, 24.9);
    path.addPath(hole.toReversed());
    path.addEllipse(origin + QPointF(40.1, 52.7), 9.5, 9.5);
    return path;
}

std::vector<std::pair<const char *, QPainterPath>> shapes()
{
    std::vector<std::pair<const char *, QPainterPath>> result;
    const Side all[][4] = {{Side::Knob, Side::Hole, Side::Knob, Side::Hole},
                           {Side::Hole, Side::Hole, Side::Hole, Side::Hole},
                           {Side::Knob, Side::Knob, Side::Knob, Side::Knob},
                           {Side::Flat, Side::Knob, Side::Hole, Side::Flat}};
    const QPointF origins[] = {{40, 40}, {40.5, 40.5}, {41.37, 39.81}, {40.125, 40.0625}};
    for (int i = 0; i < 4; ++i) {
        result.push_back({"piece", tj::test::pieceOutline(origins[i], 142.0 + i * 0.7, all[i])});
        // The same outline run anticlockwise must cover the same pixels.
        result.push_back({"reversed piece", result.back().second.toReversed()});
    }
    result.push_back({"small piece", tj::test::pieceOutline({7.3, 5.9}, 11.2, all[0])});
    result.push_back({"self-overlapping", selfOverlappingShape({5.6, 3.3})});
    result.push_back({"ring", ringWithHole({3.3, 4.4})});
    // Curves crossing thousands of rows, more than are sampled for first guesses.
    QPainterPath lens(QPointF(10.3, 2.2));
    lens.cubicTo(75.1, 1500.7, -20.4, 4500.1, 20.6, 6001.9);
    lens.cubicTo(40.2, 3000.3, 20.5, 900.6, 10.3, 2.2);
    result.push_back({"tall lens", lens});
    return result;
}

QRect areaAround(const QPainterPath &path)
{
    return path.boundingRect().toAlignedRect().adjusted(-3, -3, 3, 3);
}

// Marks the points of the area covered by the spans, checking the span invariants.
std::vector<char> coverage(const std::vector<PixelSpan> &spans, const QRect &area)
{
    std::vector<char> inside(size_t(area.width()) * area.height(), 0);
    for (size_t i = 0; i < spans.size(); ++i) {
        const PixelSpan &span = spans[i];
        EXPECT_LT(span.left, span.right);
        EXPECT_TRUE(area.contains(span.left, span.y) && area.contains(span.right - 1, span.y));
        if (i > 0) {
            const PixelSpan &previous = spans[i - 1];
            EXPECT_TRUE(previous.y < span.y || (previous.y == span.y && previous.right < span.left));
        }
        for (int x = span.left; x < span.right; ++x)
            inside[size_t(span.y - area.y()) * area.width() + size_t(x - area.x())] = 1;
    }
    return inside;
}

}

TEST(WindingSpans, AgreesWithPathContainmentAwayFromTheOutline)
{
    for (auto [name, path] : shapes()) {
        SCOPED_TRACE(name);
        path.setFillRule(Qt::WindingFill);
        const QRect area = areaAround(path);
        const std::vector<char> inside = coverage(WindingSpans(path, area), area);
        int64_t insideCount = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const bool ours = inside[size_t(y - area.y()) * area.width() + size_t(x - area.x())];
                insideCount += ours;
                EXPECT_TRUE(ours == path.contains(QPointF(x, y)) || tj::test::onOutline(path, QPointF(x, y)))
                    << x << ", " << y << (ours ? " inside" : "");
            }
        EXPECT_GT(insideCount, int64_t(area.width()) * area.height() / 10);
    }
}

TEST(WindingSpans, WholePixelRectangleHoldsItsTopLeftEdges)
{
    QPainterPath path;
    path.addRect(QRectF(10, 20, 5, 3));
    const std::vector<PixelSpan> expected = {{20, 10, 15}, {21, 10, 15}, {22, 10, 15}};
    EXPECT_EQ(WindingSpans(path, QRect(0, 0, 50, 50)), expected);
    EXPECT_EQ(WindingSpans(path.toReversed(), QRect(0, 0, 50, 50)), expected);
    // An unclosed subpath is filled as if closed.
    QPainterPath open(QPointF(10, 20));
    open.lineTo(15, 20);
    open.lineTo(15, 23);
    open.lineTo(10, 23);
    EXPECT_EQ(WindingSpans(open, QRect(0, 0, 50, 50)), expected);
}

TEST(WindingSpans, ClippingAndFillRule)
{
    QPainterPath path = tj::test::pieceOutline({20.3, 18.7}, 90, {Side::Knob, Side::Hole, Side::Knob, Side::Knob});
    path.addEllipse(QPointF(65, 63), 20, 20);
    const QRect whole = areaAround(path);
    const std::vector<char> full = coverage(WindingSpans(path, whole), whole);
    path.setFillRule(Qt::OddEvenFill);
    EXPECT_EQ(coverage(WindingSpans(path, whole), whole), full);
    const QRect part(51, 40, 37, 29);
    const std::vector<char> clipped = coverage(WindingSpans(path, part), part);
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            ASSERT_EQ(clipped[size_t(y - part.y()) * part.width() + size_t(x - part.x())],
                      full[size_t(y - whole.y()) * whole.width() + size_t(x - whole.x())]);
}

TEST(WindingSpans, DegenerateAndExtremePaths)
{
    EXPECT_TRUE(WindingSpans(QPainterPath(), QRect(0, 0, 10, 10)).empty());
    QPainterPath flat(QPointF(0, 5));
    flat.lineTo(10, 5);
    flat.cubicTo(7, 5, 3, 5, 0, 5);
    EXPECT_TRUE(WindingSpans(flat, QRect(0, 0, 10, 10)).empty());
    QPainterPath square;
    square.addRect(0, 0, 10, 10);
    EXPECT_TRUE(WindingSpans(square, QRect()).empty());
    EXPECT_TRUE(WindingSpans(square, QRect(20, 20, 5, 5)).empty());
    // Enormous but finite coordinates: the area lies deep inside the triangle.
    QPainterPath huge(QPointF(-1e100, -1e100));
    huge.lineTo(1e100, -1e100);
    huge.cubicTo(1e100, 1e100, 0, 1e100, -1e100, 1e100);
    std::vector<PixelSpan> whole;
    for (int y = -5; y < 5; ++y)
        whole.push_back({y, -5, 5});
    EXPECT_EQ(WindingSpans(huge, QRect(-5, -5, 10, 10)), whole);
}
