#include "imaging/pixel_kernels.h"

#include <algorithm>
#include <bit>
#include <cstring>

// GCC vectorises at -O2 only loops whose trip count is a multiple of the vector width,
// and only while it sees the restrict parameters: so the simple loops below run over
// groups of eight pixels, and the others are written with explicit vectors.
// TJ_BASELINE_PIXEL_KERNELS leaves out the AVX2 builds, to test the baseline ones.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(TJ_BASELINE_PIXEL_KERNELS)
#define TJ_PIXEL_KERNEL [[gnu::target_clones("avx2", "default")]]
#else
#define TJ_PIXEL_KERNEL [[gnu::noinline]]
#endif

namespace {

constexpr int kLanes = 8;
constexpr qsizetype kPrefetchDistance = 8;

// Calls body(x, lane) for x from 0 up to count.
template <typename Body> [[gnu::always_inline]] inline void forEachPixel(int count, Body body)
{
    int x = 0;
    for (; x + kLanes <= count; x += kLanes)
        for (int lane = 0; lane < kLanes; ++lane)
            body(x + lane, lane);
    for (; x < count; ++x)
        body(x, 0);
}

inline uint32_t visibleMask(Pixel pixel)
{
    return PixelAlpha(pixel) != 0 ? ~0u : 0u;
}

inline Pixel *rowAt(uint8_t *bytes, qsizetype stride, int y)
{
    return reinterpret_cast<Pixel *>(bytes + y * stride);
}

inline const Pixel *rowAt(const uint8_t *bytes, qsizetype stride, int y)
{
    return reinterpret_cast<const Pixel *>(bytes + y * stride);
}

// Eight pixels as one value, for the loops that the compiler won't vectorise on its own
// (in-place rewrites, several reductions). Loads and stores go through memcpy, as rows
// need no alignment. No function takes or returns one: that would change the calling
// convention between the baseline and the AVX2 builds.
using Lanes = uint32_t __attribute__((vector_size(32)));

// marks[x + 1] = all ones where row[x] has a non-zero alpha, else 0.
[[gnu::always_inline]] inline void markVisible(uint32_t *marks, const Pixel *row, int count)
{
    int x = 0;
    for (; x + kLanes <= count; x += kLanes) {
        Lanes pixels;
        std::memcpy(&pixels, row + x, sizeof pixels);
        const Lanes visible = (Lanes)((pixels & 0xFF) != 0);
        std::memcpy(marks + x + 1, &visible, sizeof visible);
    }
    for (; x < count; ++x)
        marks[x + 1] = visibleMask(row[x]);
}

// Rewrites one row from the marks of the rows above and here, marking the row below
// (null past the last row) on the way.
template <bool KeepInterior>
[[gnu::always_inline]] inline void colorRow(Pixel *row, const uint32_t *above, const uint32_t *here, uint32_t *below,
                                            const Pixel *belowRow, int count, Pixel edge, Pixel interior)
{
    int x = 0;
    for (; x + kLanes <= count; x += kLanes) {
        Lanes left, visible, right, up, down = Lanes{}, pixels;
        std::memcpy(&left, here + x, sizeof left);
        std::memcpy(&visible, here + x + 1, sizeof visible);
        std::memcpy(&right, here + x + 2, sizeof right);
        std::memcpy(&up, above + x + 1, sizeof up);
        if (belowRow) {
            Lanes next;
            std::memcpy(&next, belowRow + x, sizeof next);
            down = (Lanes)((next & 0xFF) != 0);
        }
        std::memcpy(below + x + 1, &down, sizeof down);
        std::memcpy(&pixels, row + x, sizeof pixels);
        const Lanes inside = visible & left & right & up & down;
        const Lanes kept = KeepInterior ? pixels : pixels * 0 + interior;
        const Lanes result = (visible & ~inside & edge) | (inside & kept);
        std::memcpy(row + x, &result, sizeof result);
    }
    for (; x < count; ++x) {
        below[x + 1] = belowRow ? visibleMask(belowRow[x]) : 0;
        const uint32_t visible = here[x + 1];
        const uint32_t inside = visible & here[x] & here[x + 2] & above[x + 1] & below[x + 1];
        const Pixel kept = KeepInterior ? row[x] : interior;
        row[x] = (visible & ~inside & edge) | (inside & kept);
    }
}

template <bool KeepInterior>
[[gnu::always_inline]] inline void colorEdges(uint8_t *bytes, qsizetype stride, int width, int height, Pixel edge,
                                              Pixel interior, uint32_t *scratch)
{
    // Marks of the rows above, here and below, taken before the pass rewrites them;
    // the entries either side of a row, and the row above the first, stay 0.
    const size_t length = size_t(width) + 2;
    std::fill(scratch, scratch + 3 * length, 0u);
    uint32_t *above = scratch, *here = scratch + length, *below = scratch + 2 * length;
    markVisible(here, rowAt(bytes, stride, 0), width);
    for (int y = 0; y < height; ++y) {
        const Pixel *belowRow = y + 1 < height ? rowAt(bytes, stride, y + 1) : nullptr;
        colorRow<KeepInterior>(rowAt(bytes, stride, y), above, here, below, belowRow, width, edge, interior);
        std::swap(above, here);
        std::swap(here, below);
    }
}

// Copies count pixels, 0 where alpha is 0; reports the AND and the OR of the alphas.
[[gnu::always_inline]] inline void copyVisible(Pixel *out, const Pixel *in, int count, uint32_t &allAlpha,
                                               uint32_t &anyAlpha)
{
    Lanes all = Lanes{} + 0xFF, any = Lanes{};
    int x = 0;
    for (; x + kLanes <= count; x += kLanes) {
        Lanes pixels;
        std::memcpy(&pixels, in + x, sizeof pixels);
        const Lanes alpha = pixels & 0xFF;
        const Lanes visible = pixels & (Lanes)(alpha != 0);
        std::memcpy(out + x, &visible, sizeof visible);
        all &= alpha;
        any |= alpha;
    }
    for (int lane = 0; lane < kLanes; ++lane) {
        allAlpha &= all[lane];
        anyAlpha |= any[lane];
    }
    for (; x < count; ++x) {
        const Pixel pixel = in[x];
        out[x] = pixel & visibleMask(pixel);
        allAlpha &= PixelAlpha(pixel);
        anyAlpha |= PixelAlpha(pixel);
    }
}

TJ_PIXEL_KERNEL void pixelsFromArgbKernel(Pixel *__restrict out, const uint32_t *__restrict in, int count)
{
    // ARGB32 is A<<24 | R<<16 | G<<8 | B; ours is R<<24 | G<<16 | B<<8 | A.
    forEachPixel(count, [&](int x, int) { out[x] = std::rotl(in[x], 8); });
}

TJ_PIXEL_KERNEL void pixelsFromRgbKernel(Pixel *__restrict out, const uint32_t *__restrict in, int count)
{
    forEachPixel(count, [&](int x, int) { out[x] = std::rotl(in[x] | 0xFF000000u, 8); });
}

TJ_PIXEL_KERNEL void argbFromPixelsKernel(uint32_t *__restrict out, const Pixel *__restrict in, int count)
{
    forEachPixel(count, [&](int x, int) { out[x] = std::rotr(in[x], 8); });
}

TJ_PIXEL_KERNEL bool allOpaqueKernel(const Pixel *__restrict row, int count)
{
    uint32_t all[kLanes] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    forEachPixel(count, [&](int x, int lane) { all[lane] &= row[x]; });
    uint32_t result = 0xFF;
    for (uint32_t lane : all)
        result &= lane;
    return (result & 0xFF) == 0xFF;
}

TJ_PIXEL_KERNEL int64_t countVisibleKernel(const Pixel *__restrict row, int count)
{
    uint32_t visible[kLanes] = {};
    forEachPixel(count, [&](int x, int lane) { visible[lane] += PixelAlpha(row[x]) != 0; });
    int64_t result = 0;
    for (uint32_t lane : visible)
        result += lane;
    return result;
}

TJ_PIXEL_KERNEL SpanCopy copySpansKernel(const PixelSpan *spans, qsizetype spanCount, const uint8_t *source,
                                         qsizetype sourceStride, uint8_t *target, qsizetype targetStride, int originX,
                                         int originY)
{
    SpanCopy copy;
    for (qsizetype i = 0; i < spanCount; ++i) {
        const PixelSpan &span = spans[i];
        // The picture is usually far bigger than the cache: ask for a later span's
        // pixels now, so that several rows are on their way from memory at once.
        if (i + kPrefetchDistance < spanCount) {
            const PixelSpan &later = spans[i + kPrefetchDistance];
            const char *first = reinterpret_cast<const char *>(rowAt(source, sourceStride, later.y) + later.left);
            const char *last = reinterpret_cast<const char *>(rowAt(source, sourceStride, later.y) + later.right);
            for (const char *line = first; line < last; line += 64)
                __builtin_prefetch(line);
        }
        const Pixel *in = rowAt(source, sourceStride, span.y) + span.left;
        Pixel *out = rowAt(target, targetStride, span.y - originY) + (span.left - originX);
        const int count = span.right - span.left;
        uint32_t anyAlpha = 0;
        copyVisible(out, in, count, copy.allAlpha, anyAlpha);
        copy.covered += count;
        if (anyAlpha == 0)
            continue;
        if (copy.firstY < 0)
            copy.firstY = span.y;
        const int limit = copy.firstX < 0 ? count : std::min(count, copy.firstX - span.left);
        for (int x = 0; x < limit; ++x) {
            if (PixelAlpha(in[x]) != 0) {
                copy.firstX = span.left + x;
                break;
            }
        }
    }
    return copy;
}

TJ_PIXEL_KERNEL void colorEdgesKernel(uint8_t *bytes, qsizetype stride, int width, int height, Pixel edge,
                                      Pixel interior, bool keepInterior, uint32_t *scratch)
{
    if (keepInterior)
        colorEdges<true>(bytes, stride, width, height, edge, interior, scratch);
    else
        colorEdges<false>(bytes, stride, width, height, edge, interior, scratch);
}

}

// Clang wants multiversioned functions called only where their definition is seen, so
// the kernels stay file-local behind these.
void PixelsFromArgb(Pixel *out, const uint32_t *in, int count)
{
    pixelsFromArgbKernel(out, in, count);
}

void PixelsFromRgb(Pixel *out, const uint32_t *in, int count)
{
    pixelsFromRgbKernel(out, in, count);
}

void ArgbFromPixels(uint32_t *out, const Pixel *in, int count)
{
    argbFromPixelsKernel(out, in, count);
}

bool AllOpaque(const Pixel *row, int count)
{
    return allOpaqueKernel(row, count);
}

int64_t CountVisible(const Pixel *row, int count)
{
    return countVisibleKernel(row, count);
}

SpanCopy CopySpans(const PixelSpan *spans, qsizetype spanCount, const uint8_t *source, qsizetype sourceStride,
                   uint8_t *target, qsizetype targetStride, int originX, int originY)
{
    return copySpansKernel(spans, spanCount, source, sourceStride, target, targetStride, originX, originY);
}

void ColorEdges(uint8_t *bytes, qsizetype stride, int width, int height, Pixel edge, Pixel interior, bool keepInterior,
                uint32_t *scratch)
{
    colorEdgesKernel(bytes, stride, width, height, edge, interior, keepInterior, scratch);
}
