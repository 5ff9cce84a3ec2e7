#include "model/play_stats.h"
#include "model_fixtures.h"

#include <cmath>
#include <limits>

using namespace tj::test;

namespace {

// Counted the long way: members of assemblies, among the edge pieces when edgesOnly.
int64_t joinedByHand(const JPPuzzle &puzzle, bool edgesOnly)
{
    int64_t joined = 0;
    for (const JPAssembly *group : Assemblies(puzzle))
        for (const JPPiece *member : group->pieces())
            joined += !edgesOnly || member->isEdge();
    return joined;
}

TEST(PlayStats, ProgressFollowsJoinsReopeningAndEdgesOnly)
{
    QString folder;
    auto puzzle = LaidOutPuzzle(30, &folder);
    ASSERT_TRUE(puzzle);
    const int64_t total = puzzle->pieceCount();
    const int64_t edges = 2 * (puzzle->maxCoord().x + puzzle->maxCoord().y) - 4;
    EXPECT_EQ(ProgressText(ProgressOfPuzzle(*puzzle)), QStringLiteral("0 of %1 pieces joined").arg(total));

    for (int link = 0; link < 12; ++link)
        ASSERT_TRUE(SolveOneLink(*puzzle));
    PuzzleProgress progress = ProgressOfPuzzle(*puzzle);
    EXPECT_EQ(progress.joined, joinedByHand(*puzzle, false));
    EXPECT_EQ(progress.total, total);

    puzzle->setEdgesOnly(true);
    progress = ProgressOfPuzzle(*puzzle);
    EXPECT_EQ(progress.total, edges);
    EXPECT_EQ(progress.joined, joinedByHand(*puzzle, true));
    EXPECT_EQ(ProgressText(progress), QStringLiteral("%1 of %2 edge pieces joined").arg(progress.joined).arg(edges));

    ASSERT_TRUE(puzzle->save());
    auto reopened = Reopen(folder);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(ProgressText(ProgressOfPuzzle(*reopened)), ProgressText(progress));

    while (reopened->pieces().size() > 1)
        ASSERT_TRUE(SolveOneLink(*reopened));
    reopened->setEdgesOnly(false);
    EXPECT_EQ(ProgressText(ProgressOfPuzzle(*reopened)), QStringLiteral("%1 of %1 pieces joined").arg(total));
}

TEST(PlayStats, TimeTexts)
{
    const struct
    {
        double seconds;
        const char *clock;
        const char *duration;
    } cases[] = {
        {0, "0:00:00", "0 s"},
        {59.9, "0:00:59", "59 s"},
        {61, "0:01:01", "1 min"},
        {3600, "1:00:00", "1 h 0 min"},
        {4984, "1:23:04", "1 h 23 min"},
        {-5, "0:00:00", "0 s"},
        {std::nan(""), "0:00:00", "0 s"},
        {360000, "100:00:00", "100 h 0 min"},
    };
    for (const auto &each : cases) {
        EXPECT_EQ(ClockText(each.seconds), QLatin1String(each.clock)) << each.seconds;
        EXPECT_EQ(DurationText(each.seconds), QLatin1String(each.duration)) << each.seconds;
    }
}

TEST(PlayStats, TheStoredTimeIsReadDefensively)
{
    const struct
    {
        QVariant stored;
        double read;
    } cases[] = {
        {QVariant(), 0},
        {QVariant(QStringLiteral("12")), 0},
        {QVariant(-5.0), 0},
        {QVariant(std::numeric_limits<double>::quiet_NaN()), 0},
        {QVariant(std::numeric_limits<double>::infinity()), 0},
        {QVariant(1e300), 1e9},
        {QVariant(42.5), 42.5},
        {QVariant(qlonglong(7)), 7},
    };
    for (const auto &each : cases) {
        QVariantMap dict;
        if (each.stored.isValid())
            dict[kPlayedKey] = each.stored;
        EXPECT_EQ(PlayedSeconds(dict), each.read) << each.stored.toString().toStdString();
    }
}

}
