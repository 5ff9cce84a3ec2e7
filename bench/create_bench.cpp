// Making a puzzle folder from a 4000 x 3000 photograph, against a fixed yardstick: decoding
// that photograph, scaling it to 2000 x 1500 and encoding it once as PNG with libpng at
// zlib level 6. Run: build/bench/create_bench (TJ_BENCH_PICTURE=photo.jpg to use another).
#include "imaging/cc_image.h"
#include "model/jp_puzzle.h"
#include "model/puzzle_folder.h"

#include <benchmark/benchmark.h>
#include <png.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

QString g_photo;
QTemporaryDir *g_work = nullptr;

QString preparePhoto()
{
    if (const char *given = std::getenv("TJ_BENCH_PICTURE"))
        return QString::fromLocal8Bit(given);
    // A real photograph enlarged to phone-camera proportions.
    const QImage source(QStringLiteral(TJ_BENCH_DATA "/citrus.jpg"));
    const QString path = g_work->filePath(QStringLiteral("photo-4000.jpg"));
    QImageWriter writer(path);
    writer.setQuality(92);
    writer.write(source.scaled(4000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return path;
}

void encodeWithLibpng(const QImage &image)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width());
    png.height = png_uint_32(image.height());
    png.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&png, nullptr, &size, 0, image.constBits(), png_int_32(image.bytesPerLine()), nullptr);
    std::vector<uint8_t> buffer(size);
    png_image_write_to_memory(&png, buffer.data(), &size, 0, image.constBits(), png_int_32(image.bytesPerLine()),
                              nullptr);
    benchmark::DoNotOptimize(buffer.data());
    png_image_free(&png);
}

void BM_Yardstick(benchmark::State &state)
{
    for (auto _ : state) {
        QImageReader reader(g_photo);
        reader.setAllocationLimit(1024);
        const QImage decoded = reader.read();
        const QImage scaled = decoded.scaled(2000, 1500, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                  .convertToFormat(QImage::Format_ARGB32);
        encodeWithLibpng(scaled);
    }
}
BENCHMARK(BM_Yardstick)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_CreatePuzzle(benchmark::State &state)
{
    const int64_t count = state.range(0);
    int64_t pieces = 0;
    for (auto _ : state) {
        const QString into = g_work->filePath(QStringLiteral("puzzles"));
        NewPuzzleChoice choice;
        choice.dict[QStringLiteral("path")] = g_photo;
        choice.dict[QStringLiteral("name")] = QStringLiteral("Bench");
        choice.count = count;
        auto made = MakePuzzleFolder(choice, into, nullptr);
        if (!made) {
            state.SkipWithError("the folder could not be made");
            return;
        }
        auto puzzle = JPPuzzle::initWithPath(made->folder, made->picture, &made->dict);
        if (!puzzle) {
            state.SkipWithError("the puzzle could not be built");
            return;
        }
        pieces = puzzle->pieceCount();
        state.PauseTiming();
        puzzle.reset();
        QDir(made->folder).removeRecursively();
        state.ResumeTiming();
    }
    state.counters["pieces"] = double(pieces);
}
BENCHMARK(BM_CreatePuzzle)->Arg(100)->Arg(1000)->Arg(2800)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir work;
    g_work = &work;
    g_photo = preparePhoto();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
