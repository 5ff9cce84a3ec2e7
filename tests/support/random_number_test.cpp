#include "support/random_number.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

using namespace isaac_detail;

namespace {

// The opening of the ISAAC reference listing: the results of the generation that follows
// initialisation from an all-zero seed.
constexpr std::array<uint32_t, 64> kReferenceVector = {
    0xf650e4c8, 0xe448e96d, 0x98db2fb4, 0xf5fad54f, 0x433f1afb, 0xedec154a, 0xd8370487, 0x46ca4f9a,
    0x5de3743e, 0x88381097, 0xf1d444eb, 0x823cedb6, 0x6a83e1e0, 0x4a5f6355, 0xc7442433, 0x25890e2e,
    0x7452e319, 0x57161df6, 0x38a824f3, 0x002ed713, 0x29f55449, 0x51c08d83, 0xd78cb99e, 0xa0cc74f3,
    0x8f651659, 0xcbc8b7c2, 0xf5f71c69, 0x12ad6419, 0xe5792e1b, 0x860536b8, 0x09b3ce98, 0xd45d6d81,
    0xf3b26129, 0x17e38f85, 0x29cf72ce, 0x349947b0, 0xc998f9ff, 0xb5e13dae, 0x32ae2a2b, 0xf7cf814c,
    0x8ebfa303, 0xcf22e064, 0x0b923200, 0xeca4d58a, 0xef53cec4, 0xd0f7b37d, 0x9c411a2a, 0xffdf8a80,
    0xb40e27bc, 0xb4d2f976, 0x44b89b08, 0xf37c71d5, 0x1a70e7e9, 0x0bdb9c30, 0x60dc5207, 0xb3c3f24b,
    0xd7386806, 0x229749b5, 0x4e232cd0, 0x91dabc65, 0xa70e1101, 0x8b87437e, 0x5781414f, 0xcdbc62e2,
};

}

TEST(Isaac, ZeroSeedMatchesReferenceListing)
{
    IsaacState state;
    Initialise(state);
    Generate(state); // the generation that initialisation itself runs
    Generate(state); // the first one the reference listing prints
    for (size_t i = 0; i < kReferenceVector.size(); ++i)
        EXPECT_EQ(state.results[i], kReferenceVector[i]) << "word " << i;
}

TEST(RandomNumber, ConsumesResultsInOrderAndMapsThemByScaling)
{
    std::array<uint32_t, 256> seed{};
    SeedForTesting(seed);
    // After seeding the first draw reads result 0 of the generation after initialisation.
    IsaacState expected;
    Initialise(expected);
    Generate(expected);
    for (int i = 0; i < 10; ++i) {
        const uint32_t u = expected.results[i];
        const uint32_t n = 1000 + i;
        const auto q = static_cast<uint32_t>(static_cast<double>(u) / (4294967295.0 / n));
        EXPECT_EQ(RandomNumber(n), std::min(q, n - 1));
    }
}

TEST(RandomNumber, TheTwoHundredFiftySeventhDrawRunsAGeneration)
{
    std::array<uint32_t, 256> seed{};
    seed[3] = 12345;
    SeedForTesting(seed);
    const uint64_t start = GenerationCountForTesting();
    for (int i = 0; i < 256; ++i)
        RandomNumber(100);
    EXPECT_EQ(GenerationCountForTesting(), start);
    RandomNumber(100);
    EXPECT_EQ(GenerationCountForTesting(), start + 1);
    EXPECT_EQ(ProcessStateForTesting().nextIndex, 1u);
}

TEST(RandomNumber, ZeroAndOneDrawNothingAndTheLargestValueMapsToTheLastSlot)
{
    SeedForTesting({});
    auto &state = ProcessStateForTesting();
    const uint32_t before = state.nextIndex;
    EXPECT_EQ(RandomNumber(0), 0u);
    EXPECT_EQ(RandomNumber(1), 0u);
    EXPECT_EQ(state.nextIndex, before);
    // u = 2^32 - 1 divides to exactly n; the result is clamped to n - 1.
    state.results[state.nextIndex] = 0xFFFFFFFFu;
    EXPECT_EQ(RandomNumber(7), 6u);
    EXPECT_EQ(state.nextIndex, before + 1);
    state.results[state.nextIndex] = 0;
    EXPECT_EQ(RandomNumber(7), 0u);
}

TEST(RandomNumber, SeedsItselfFromTheClockOnFirstUse)
{
    auto &state = ProcessStateForTesting();
    state = IsaacState{};
    std::set<uint32_t> values;
    for (int i = 0; i < 100; ++i)
        values.insert(RandomNumber(1u << 30));
    EXPECT_TRUE(state.initialised);
    EXPECT_GT(values.size(), 95u);
}
