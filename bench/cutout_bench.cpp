// Cost of cutting piece images out of a 2000 x 1500 picture, per pixel of each piece's
// bounding box, against a plain copy of the same pixels into a new buffer.
#include "imaging/cc_pixmap.h"
#include "imaging/path_spans.h"

#include <QPainterPath>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

constexpr Pixel kRimGray = 0x808080FF;

// A square of the given side with a cubic knob on each side, bulging out or in.
QPainterPath pieceOutline(QPointF origin, double side, unsigned knobs)
{
    const QPointF corners[4] = {origin, origin + QPointF(side, 0), origin + QPointF(side, side),
                                origin + QPointF(0, side)};
    QPainterPath path(origin);
    for (int i = 0; i < 4; ++i) {
        const QPointF a = corners[i], b = corners[(i + 1) % 4];
        const QPointF along = (b - a) / side, outward(along.y(), -along.x());
        const double depth = (knobs >> i) & 1 ? 1.0 : -1.0;
        const auto at = [&](double u, double v) { return a + along * (u * side) + outward * (v * side * depth); };
        path.lineTo(at(0.35, 0));
        path.cubicTo(at(0.47, 0.0), at(0.28, 0.26), at(0.50, 0.26));
        path.cubicTo(at(0.72, 0.26), at(0.53, 0.0), at(0.65, 0));
        path.lineTo(b);
    }
    path.closeSubpath();
    return path;
}

std::unique_ptr<CCPixmap> makePicture()
{
    auto picture = CCPixmap::initWithSize(QSizeF(2000, 1500));
    for (int y = 0; y < picture->height(); ++y)
        for (int x = 0; x < picture->width(); ++x)
            picture->bitmap().row(y)[x] = MakePixel(x * 5 + y, y * 3 + x, x ^ y, 255);
    return picture;
}

// Pieces of a 14 x 10 puzzle: base squares of 136 pixels, up to 208 with their knobs.
std::vector<QPainterPath> makePieces()
{
    std::vector<QPainterPath> pieces;
    const double side = 136.0;
    unsigned knobs = 0x5;
    for (int row = 0; row < 10; ++row)
        for (int column = 0; column < 14; ++column, knobs = knobs * 7 + 3)
            pieces.push_back(pieceOutline(QPointF(40 + column * side + 0.3, 60 + row * side + 0.7), side, knobs));
    return pieces;
}

std::unique_ptr<CCPixmap> plainCopy(const CCPixmap &picture, const QRect &rect)
{
    auto copy = CCPixmap::initWithSize(rect.size());
    for (int y = 0; y < rect.height(); ++y)
        std::memcpy(copy->bitmap().row(y), picture.bitmap().row(rect.y() + y) + rect.x(), size_t(rect.width()) * 4);
    return copy;
}

QRect roundedBounds(const QPainterPath &path)
{
    const QRectF bounds = path.boundingRect();
    const int x0 = int(std::nearbyint(float(bounds.left()))), y0 = int(std::nearbyint(float(bounds.top())));
    return QRect(x0, y0, int(std::nearbyint(float(bounds.right()))) - x0,
                 int(std::nearbyint(float(bounds.bottom()))) - y0);
}

// Thread CPU time, so that other processes on the machine don't skew the ratios.
double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Each iteration cuts the whole puzzle three ways; the counters give CPU nanoseconds per
// bounding-box pixel and the ratios to the plain copy.
void BM_CutOutAgainstPlainCopy(benchmark::State &state)
{
    const auto picture = makePicture();
    const auto pieces = makePieces();
    std::vector<QRect> rects;
    double pixels = 0;
    for (const QPainterPath &piece : pieces) {
        rects.push_back(roundedBounds(piece));
        pixels += double(rects.back().width()) * rects.back().height();
    }
    double copySeconds = 0, cutSeconds = 0, rimSeconds = 0;
    for (auto _ : state) {
        double start = cpuSeconds();
        for (const QRect &rect : rects)
            benchmark::DoNotOptimize(plainCopy(*picture, rect));
        copySeconds += cpuSeconds() - start;
        start = cpuSeconds();
        for (const QPainterPath &piece : pieces)
            benchmark::DoNotOptimize(picture->createPixmapForBezier(piece));
        cutSeconds += cpuSeconds() - start;
        start = cpuSeconds();
        for (const QPainterPath &piece : pieces) {
            auto cut = picture->createPixmapForBezier(piece);
            cut->colorEdgesWith(kRimGray, kRimGray);
            benchmark::DoNotOptimize(cut);
        }
        rimSeconds += cpuSeconds() - start;
    }
    const double total = pixels * double(state.iterations()) * 1e-9;
    state.counters["copy_ns_px"] = copySeconds / total;
    state.counters["cutout_ns_px"] = cutSeconds / total;
    state.counters["cutout_rim_ns_px"] = rimSeconds / total;
    state.counters["cutout_ratio"] = cutSeconds / copySeconds;
    state.counters["cutout_rim_ratio"] = rimSeconds / copySeconds;
    state.counters["pieces"] = double(pieces.size());
    state.counters["mean_px"] = pixels / double(pieces.size());
}
BENCHMARK(BM_CutOutAgainstPlainCopy)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The outline rasterised on its own, per piece.
void BM_WindingSpans(benchmark::State &state)
{
    const auto pieces = makePieces();
    size_t next = 0;
    for (auto _ : state) {
        const QPainterPath &piece = pieces[next++ % pieces.size()];
        benchmark::DoNotOptimize(WindingSpans(piece, roundedBounds(piece)));
    }
}
BENCHMARK(BM_WindingSpans)->Unit(benchmark::kMicrosecond);

// Tracing the rim of one cut-out; the pass changes nothing once the rim is grey.
void BM_ColorEdges(benchmark::State &state)
{
    const auto picture = makePicture();
    auto cut = picture->createPixmapForBezier(makePieces()[17]);
    for (auto _ : state)
        cut->colorEdgesWith(kRimGray, kRimGray);
    state.counters["sec_px"] =
        benchmark::Counter(double(cut->width()) * cut->height(),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ColorEdges)->Unit(benchmark::kMicrosecond);

// What a containment test at every pixel would cost, for comparison.
void BM_PerPixelContains(benchmark::State &state)
{
    QPainterPath piece = makePieces()[17];
    piece.setFillRule(Qt::WindingFill);
    const QRect rect = roundedBounds(piece);
    for (auto _ : state) {
        int inside = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                inside += piece.contains(QPointF(x, y));
        benchmark::DoNotOptimize(inside);
    }
    state.counters["sec_px"] =
        benchmark::Counter(double(rect.width()) * rect.height(),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PerPixelContains)->Unit(benchmark::kMillisecond);

}
