#include "app/puzzle_candidate.h"
#include "support/puzzle_keys.h"
#include "test_support.h"

#include <gtest/gtest.h>

// A candidate read from a stored dictionary writes back every value it was given, text or not,
// except the ones a file must never choose: where the picture lies, pictures and action cells.
TEST(PuzzleCandidate, ReadingAndWritingKeepsStoredValuesButNoFileBorneLocation)
{
    const QVariantMap stored{
        {kNameKey, QStringLiteral("Heron")},
        {kDescKey, QStringLiteral("At dawn")},
        {kCatKey, QStringLiteral("Animals")},
        {kFileKey, QStringLiteral("heron")},
        {kSizeKey, QStringLiteral("{800, 640}")},
        {kCountKey, 150},
        {kDoneKey, true},
        {QStringLiteral("played"), 42.5},
    };
    QVariantMap hostile = stored;
    hostile.insert({{kPathKey, QStringLiteral("/etc")},
                    {kButtonKey, true},
                    {kThumbKey, QStringLiteral("x")},
                    {kImageKey, QStringLiteral("y")}});
    const PuzzleCandidate candidate = PuzzleCandidate::fromPropertyList(hostile);
    EXPECT_EQ(candidate.name + candidate.cat, QStringLiteral("HeronAnimals"));
    EXPECT_EQ(candidate.pictureSize(), QSize(800, 640));
    EXPECT_FALSE(candidate.button);
    EXPECT_EQ(candidate.puzzleDict(), stored);

    // A known key holding something other than text is no field, but isn't lost either.
    const QVariantMap odd{{kNameKey, 7}, {kSizeKey, QVariantList{1, 2}}};
    const PuzzleCandidate oddCandidate = PuzzleCandidate::fromPropertyList(odd);
    EXPECT_TRUE(oddCandidate.name.isEmpty() && oddCandidate.pictureSize().isEmpty());
    EXPECT_EQ(oddCandidate.puzzleDict(), odd);
}
