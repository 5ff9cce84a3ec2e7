#pragma once

#include <array>
#include <cstdint>

// The process-wide random source: 32-bit ISAAC, seeded on first use from the clock.
// Not locked: called from one thread at a time (the piece-making thread while the main
// thread waits, the main thread otherwise).
uint32_t RandomNumber(uint32_t n);

namespace isaac_detail {

struct IsaacState
{
    std::array<uint32_t, 256> results{};
    std::array<uint32_t, 256> memory{};
    uint32_t accumulator = 0;
    uint32_t lastResult = 0;
    uint32_t counter = 0;
    uint32_t nextIndex = 0;
    bool initialised = false;
};

// The published initialisation with the seed flag set, over state.results as the seed.
void Initialise(IsaacState &state);
// One generation: fills state.results with 256 new words.
void Generate(IsaacState &state);

// Test hook: starts the process-wide source from a chosen seed (used as the result
// array before initialisation), as if it had been seeded with it.
void SeedForTesting(const std::array<uint32_t, 256> &seed);
// Test hook: how many generations the process-wide source has run.
uint64_t GenerationCountForTesting();
// Test hook: the process-wide state, to watch the next-result index.
IsaacState &ProcessStateForTesting();

}
