// Moving a 2000 x 1500 picture into a pixel buffer and back, against QImage's own copy.
#include "imaging/cc_pixmap.h"

#include <QImage>

#include <benchmark/benchmark.h>

namespace {

QImage picture(QImage::Format format)
{
    QImage image(2000, 1500, format);
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] = qRgb(x * 5 + y, y * 3 + x, x ^ y);
    }
    return image;
}

void setPixelCounter(benchmark::State &state)
{
    state.counters["sec_px"] = benchmark::Counter(
        2000.0 * 1500.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_QImageCopy(benchmark::State &state)
{
    const QImage image = picture(QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        benchmark::DoNotOptimize(image.copy());
    setPixelCounter(state);
}
BENCHMARK(BM_QImageCopy)->Unit(benchmark::kMillisecond);

void BM_PixmapFromImage(benchmark::State &state)
{
    const QImage image = picture(QImage::Format(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(CCPixmap::initWithQuartzImage(image));
    setPixelCounter(state);
}
BENCHMARK(BM_PixmapFromImage)
    ->Arg(QImage::Format_ARGB32_Premultiplied)
    ->Arg(QImage::Format_RGB32)
    ->Unit(benchmark::kMillisecond);

void BM_ImageFromPixmap(benchmark::State &state)
{
    const auto pixmap = CCPixmap::initWithQuartzImage(picture(QImage::Format_RGB32));
    for (auto _ : state)
        benchmark::DoNotOptimize(pixmap->createCGImage());
    setPixelCounter(state);
}
BENCHMARK(BM_ImageFromPixmap)->Unit(benchmark::kMillisecond);

}
