#include "support/random_number.h"

#include <QDateTime>

#include <cstdlib>
#include <ctime>

namespace isaac_detail {

namespace {

constexpr uint32_t kGoldenRatio = 0x9e3779b9u;

struct MixWords
{
    uint32_t a, b, c, d, e, f, g, h;

    void mix()
    {
        a ^= b << 11;
        d += a;
        b += c;
        b ^= c >> 2;
        e += b;
        c += d;
        c ^= d << 8;
        f += c;
        d += e;
        d ^= e >> 16;
        g += d;
        e += f;
        e ^= f << 10;
        h += e;
        f += g;
        f ^= g >> 4;
        a += f;
        g += h;
        g ^= h << 8;
        b += g;
        h += a;
        h ^= a >> 9;
        c += h;
        a += b;
    }

    void add(const std::array<uint32_t, 256> &words, size_t i)
    {
        a += words[i];
        b += words[i + 1];
        c += words[i + 2];
        d += words[i + 3];
        e += words[i + 4];
        f += words[i + 5];
        g += words[i + 6];
        h += words[i + 7];
    }

    void store(std::array<uint32_t, 256> &words, size_t i) const
    {
        words[i] = a;
        words[i + 1] = b;
        words[i + 2] = c;
        words[i + 3] = d;
        words[i + 4] = e;
        words[i + 5] = f;
        words[i + 6] = g;
        words[i + 7] = h;
    }
};

IsaacState g_random;
uint64_t g_generations = 0;

}

void Initialise(IsaacState &state)
{
    state.accumulator = state.lastResult = state.counter = 0;
    MixWords m{kGoldenRatio, kGoldenRatio, kGoldenRatio, kGoldenRatio,
               kGoldenRatio, kGoldenRatio, kGoldenRatio, kGoldenRatio};
    for (int i = 0; i < 4; ++i)
        m.mix();
    // First pass folds the seed into the memory, the second spreads every seed word
    // over the whole memory.
    for (size_t i = 0; i < 256; i += 8) {
        m.add(state.results, i);
        m.mix();
        m.store(state.memory, i);
    }
    for (size_t i = 0; i < 256; i += 8) {
        m.add(state.memory, i);
        m.mix();
        m.store(state.memory, i);
    }
}

void Generate(IsaacState &state)
{
    uint32_t a = state.accumulator;
    uint32_t b = state.lastResult + (++state.counter);
    auto &mm = state.memory;
    for (size_t i = 0; i < 256; ++i) {
        const uint32_t x = mm[i];
        switch (i & 3) {
        case 0:
            a ^= a << 13;
            break;
        case 1:
            a ^= a >> 6;
            break;
        case 2:
            a ^= a << 2;
            break;
        default:
            a ^= a >> 16;
            break;
        }
        a += mm[(i + 128) & 255];
        const uint32_t y = mm[(x >> 2) & 255] + a + b;
        mm[i] = y;
        b = mm[(y >> 10) & 255] + x;
        state.results[i] = b;
    }
    state.accumulator = a;
    state.lastResult = b;
    ++g_generations;
}

void SeedForTesting(const std::array<uint32_t, 256> &seed)
{
    g_random = IsaacState{};
    g_random.results = seed;
    Initialise(g_random);
    Generate(g_random);
    g_random.nextIndex = 0;
    g_random.initialised = true;
}

uint64_t GenerationCountForTesting()
{
    return g_generations;
}

namespace {

void SeedFromClock()
{
    // Seconds since 1 January 2001, the reference date the stored puzzles' clock uses.
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    const qint64 seconds = reference.secsTo(QDateTime::currentDateTimeUtc());
    srandom(static_cast<unsigned>(seconds));
    for (auto &word : g_random.results) {
        const uint32_t r = static_cast<uint32_t>(random());
        const uint32_t s = static_cast<uint32_t>(random());
        word = (s & 0xF0FFFu) * (r & 0xFFFFFFu);
    }
    Initialise(g_random);
    Generate(g_random);
    g_random.nextIndex = 0;
    g_random.initialised = true;
}

}

IsaacState &ProcessStateForTesting()
{
    return g_random;
}

}

uint32_t RandomNumber(uint32_t n)
{
    using namespace isaac_detail;
    if (n <= 1)
        return 0;
    if (!g_random.initialised)
        SeedFromClock();
    if (g_random.nextIndex >= 256) {
        Generate(g_random);
        g_random.nextIndex = 0;
    }
    const uint32_t u = g_random.results[g_random.nextIndex++];
    const double q = static_cast<double>(u) / (4294967295.0 / static_cast<double>(n));
    const uint64_t truncated = static_cast<uint64_t>(q);
    return truncated >= n ? n - 1 : static_cast<uint32_t>(truncated);
}
