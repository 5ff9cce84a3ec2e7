#include "model/shape_defs.h"

#include <gtest/gtest.h>

#include <QPainterPath>
#include <QPolygonF>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

namespace {

const ShapeDef &shape(int index)
{
    return g_shapeDefs[size_t(index)];
}

// The side as drawn in its 300 x 100 box, flattened: the straight line to the profile, its
// curves and the straight line on to the far corner.
QPolygonF flattenedSide(const ShapeDef &def)
{
    QPainterPath path(QPointF(0, 0));
    path.lineTo(def.vertices[0].x, def.vertices[0].y);
    for (int k = 1; k < def.count; ++k) {
        const ShapeVertex &v = def.vertices[size_t(k)];
        path.cubicTo(v.d1x, v.d1y, v.d2x, v.d2y, v.x, v.y);
    }
    path.lineTo(300, 0);
    return path.toSubpathPolygons().front();
}

// Leftmost and rightmost crossing of the horizontal line at depth y; (0, 0) when none.
std::pair<double, double> spanAt(const QPolygonF &points, double y)
{
    double low = INFINITY, high = -INFINITY;
    for (qsizetype i = 0; i + 1 < points.size(); ++i) {
        const QPointF a = points[i], b = points[i + 1];
        if ((a.y() - y) * (b.y() - y) > 0 || a.y() == b.y())
            continue;
        const double x = a.x() + (b.x() - a.x()) * (y - a.y()) / (b.y() - a.y());
        low = std::min(low, x);
        high = std::max(high, x);
    }
    return low <= high ? std::pair{low, high} : std::pair{0.0, 0.0};
}

// The profiles are designed by tools/design_shapes.py, which checks every one before it
// prints the table: its vertex count, that it leaves and rejoins the side, reaches full depth
// inside its box, keeps out of the corner squares where two knobs could meet, never crosses
// itself, has a head clearly wider than its neck and no corners.
TEST(ShapeTable, IsTheTableTheDesignToolMakesAndChecks)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        GTEST_SKIP() << "python3 is not available";
    QProcess tool;
    tool.start(python, {QStringLiteral(TJ_TOOLS_DIR "/design_shapes.py")});
    ASSERT_TRUE(tool.waitForFinished(120000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QString table = QString::fromUtf8(tool.readAllStandardOutput());
    const QRegularExpression entry(QStringLiteral("\\{(\\d+), \\{\\{(.*?)\\}\\}\\},"),
                                   QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression separators(QStringLiteral("[^-0-9.]+"));
    int index = 0;
    for (auto it = entry.globalMatch(table); it.hasNext(); ++index) {
        const QRegularExpressionMatch match = it.next();
        ASSERT_LT(index, kShapeCount);
        const ShapeDef &def = shape(index);
        ASSERT_EQ(def.count, match.captured(1).toInt()) << "shape " << index;
        const QStringList numbers = match.captured(2).split(separators, Qt::SkipEmptyParts);
        ASSERT_EQ(numbers.size(), def.count * 6) << "shape " << index;
        for (int k = 0; k < def.count; ++k) {
            const ShapeVertex &v = def.vertices[size_t(k)];
            const double values[] = {v.x, v.y, v.d1x, v.d1y, v.d2x, v.d2y};
            for (int i = 0; i < 6; ++i)
                ASSERT_EQ(values[i], numbers[k * 6 + i].toDouble()) << "shape " << index << " vertex " << k;
        }
    }
    EXPECT_EQ(index, kShapeCount);
}

// Shapes 0 and 28 come from existing puzzles and must stay exactly as drawn.
TEST(ShapeTable, KeepsTheOriginalProfiles)
{
    const ShapeVertex &crown = shape(0).vertices[3];
    EXPECT_DOUBLE_EQ(crown.x, 150.7582);
    EXPECT_DOUBLE_EQ(crown.y, -99.7984);
    EXPECT_DOUBLE_EQ(crown.d2x, 114.2243);
    const ShapeVertex &end0 = shape(0).vertices[6];
    EXPECT_DOUBLE_EQ(end0.x, 205.8659);
    EXPECT_DOUBLE_EQ(end0.d1y, -5.0439);
    const ShapeVertex &wave = shape(28).vertices[1];
    EXPECT_DOUBLE_EQ(wave.x, 58.3105);
    EXPECT_DOUBLE_EQ(wave.y, -5.0948);
    const ShapeVertex &end28 = shape(28).vertices[12];
    EXPECT_DOUBLE_EQ(end28.x, 274.9541);
    EXPECT_DOUBLE_EQ(end28.d2y, -0.4105);
}

// Random joints pick from the whole table, so no two entries may be the same profile.
TEST(ShapeTable, ProfilesAreAllDifferent)
{
    std::vector<std::vector<double>> outlines;
    for (int index = 0; index < kShapeCount; ++index) {
        const QPolygonF points = flattenedSide(shape(index));
        std::vector<double> outline;
        for (double y = -4; y >= -96; y -= 4) {
            const auto [low, high] = spanAt(points, y);
            outline.push_back(low);
            outline.push_back(high);
        }
        outlines.push_back(outline);
    }
    for (size_t a = 0; a < outlines.size(); ++a) {
        for (size_t b = a + 1; b < outlines.size(); ++b) {
            double difference = 0;
            for (size_t i = 0; i < outlines[a].size(); ++i)
                difference = std::max(difference, std::abs(outlines[a][i] - outlines[b][i]));
            EXPECT_GT(difference, 5.0) << "shapes " << a << " and " << b;
        }
    }
}

TEST(ShapeForIndex, GivesEveryEntryAndRefusesOthers)
{
    for (int index = 0; index < kShapeCount; ++index)
        EXPECT_EQ(ShapeForIndex(index), &g_shapeDefs[size_t(index)]);
    for (long long index : {-1LL, 58LL, 59LL, 1LL << 40, LLONG_MAX, LLONG_MIN})
        EXPECT_EQ(ShapeForIndex(index), nullptr) << index;
}

}
