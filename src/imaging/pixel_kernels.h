#pragma once

#include "imaging/kolor.h"
#include "imaging/path_spans.h"

#include <QtGlobal>

#include <cstdint>

// The imaging library's inner loops over pixels. Each is built for the baseline processor
// and, on x86-64, also with AVX2, chosen once at load time. Buffers passed to one call
// never overlap.

// Our pixels from QImage words: ARGB32 (premultiplied) and RGB32 (alpha forced to 255).
void PixelsFromArgb(Pixel *out, const uint32_t *in, int count);
void PixelsFromRgb(Pixel *out, const uint32_t *in, int count);
// QImage ARGB32 premultiplied words from our pixels.
void ArgbFromPixels(uint32_t *out, const Pixel *in, int count);

// True when every pixel has alpha 255.
bool AllOpaque(const Pixel *row, int count);
// Pixels whose alpha is not 0.
int64_t CountVisible(const Pixel *row, int count);

// What copying the pixels under a set of spans found.
struct SpanCopy
{
    uint32_t allAlpha = 0xFF; // AND of the copied alphas: 0xFF when all were opaque
    int firstX = -1; // the smallest x and y of a pixel with non-zero alpha, or -1
    int firstY = -1;
    int64_t covered = 0; // pixels under the spans
};
// Copies the source pixels under the spans (source coordinates) to target, whose pixel
// (0, 0) lies at source (originX, originY), writing 0 wherever alpha is 0.
SpanCopy CopySpans(const PixelSpan *spans, qsizetype spanCount, const uint8_t *source, qsizetype sourceStride,
                   uint8_t *target, qsizetype targetStride, int originX, int originY);

// Rewrites the rows in place: pixels with alpha 0 become 0; visible pixels with a
// four-neighbour of alpha 0, or on the border, become edge; the others interior, or keep
// their value when keepInterior. Both values must have a non-zero alpha, so that no pixel
// changes visibility. scratch holds 3 * (width + 2) values.
void ColorEdges(uint8_t *bytes, qsizetype stride, int width, int height, Pixel edge, Pixel interior, bool keepInterior,
                uint32_t *scratch);
