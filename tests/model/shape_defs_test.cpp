#include "model/shape_defs.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <climits>

namespace {

const ShapeDef &shape(int index)
{
    return g_shapeDefs[size_t(index)];
}

// The profiles are designed by tools/design_shapes.py, which checks every one before it
// prints the table: its vertex count, that it leaves and rejoins the side, reaches full depth
// inside its box, keeps out of the corner squares where two knobs could meet, never crosses
// itself, has a head clearly wider than its neck and no corners, and that no two are alike
// (random joints pick from the whole table).
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
    const struct
    {
        double actual, expected;
    } values[] = {
        {shape(0).vertices[3].x, 150.7582}, {shape(0).vertices[3].y, -99.7984},   {shape(0).vertices[3].d2x, 114.2243},
        {shape(0).vertices[6].x, 205.8659}, {shape(0).vertices[6].d1y, -5.0439},  {shape(28).vertices[1].x, 58.3105},
        {shape(28).vertices[1].y, -5.0948}, {shape(28).vertices[12].x, 274.9541}, {shape(28).vertices[12].d2y, -0.4105},
    };
    for (const auto &[actual, expected] : values)
        EXPECT_DOUBLE_EQ(actual, expected);
}

TEST(ShapeForIndex, GivesEveryEntryAndRefusesOthers)
{
    for (int index = 0; index < kShapeCount; ++index)
        EXPECT_EQ(ShapeForIndex(index), &g_shapeDefs[size_t(index)]);
    for (long long index : {-1LL, 58LL, 59LL, 1LL << 40, LLONG_MAX, LLONG_MIN})
        EXPECT_EQ(ShapeForIndex(index), nullptr) << index;
}

}
