// Drawing a 5000-piece board at 1920 x 1080 zoomed in: the full frame and the frame after a
// one-piece drag step at zoom 1, 2 and 4, and the first frame after one zoom step (Zoom In from
// zoom 1, 2 and 4, or Zoom Out where the zoom can't go further), when the pictures of every
// item in view are made at the new zoom. The view looks at the part of the board with the most
// items. zoomed_mb is what the pictures made for zooms above 1 hold. Loose: every piece loose;
// half: half of the links made.
// Run: build/bench/zoom_draw_bench
#include "bench_support.h"
#include "imaging/cc_image.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model/puzzle_folder.h"
#include "play/jp_board_input.h"
#include "play/jp_board_renderer.h"
#include "play/jp_puzzle_view.h"
#include "play/jp_view_transform.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr QSize kView(1920, 1080);
constexpr QSize kPhoto(6000, 4500);
constexpr int64_t kPieces = 5000;

QTemporaryDir *g_work = nullptr;
std::unique_ptr<JPPuzzle> g_loose;
std::unique_ptr<JPPuzzle> g_half;

std::unique_ptr<JPPuzzle> makePuzzle(const QString &name)
{
    const QString photo = g_work->filePath(QStringLiteral("photo.jpg"));
    if (!QFile::exists(photo))
        QImageWriter(photo).write(QImage(QStringLiteral(TJ_BENCH_DATA "/citrus.jpg"))
                                      .scaled(kPhoto, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    // The grid may have to stay a little below the count asked for.
    for (int64_t count = kPieces; count > kPieces - 200; --count) {
        auto puzzle = bench::BuildPuzzle(photo, name, count, g_work->filePath(QStringLiteral("puzzles")));
        if (puzzle && !puzzle->creationFail())
            return puzzle;
    }
    return nullptr;
}

// A board fitted to the view, a view at a zoom looking where most items lie, and its first
// frame drawn.
struct Scene
{
    JPBoardController board;
    JPViewTransform view;
    std::vector<QRectF> dirty;
    QImage image{kView, QImage::Format_ARGB32_Premultiplied};
    JPBoardRenderer renderer;

    Scene(JPPuzzle *puzzle, double zoom)
    {
        board.invalidate = [this](const QRectF &rect) { dirty.push_back(rect); };
        board.setPuzzle(puzzle);
        board.setViewSize(QSizeF(kView));
        board.ensureLayout();
        view = JPViewTransform(QSizeF(kView), JPViewTransform::maxZoomForScale(puzzle->scale()));
        view.setZoom(zoom, QPointF(0, 0));
        size_t most = 0;
        QPointF best(kView.width() / 2.0, kView.height() / 2.0);
        for (int i = 1; i < 8; ++i)
            for (int j = 1; j < 8; ++j) {
                JPViewTransform trial = view;
                trial.centerOn(QPointF(kView.width() * i / 8.0, kView.height() * j / 8.0));
                const size_t seen = itemsIn(trial.visibleRect());
                if (seen > most) {
                    most = seen;
                    best = trial.center();
                }
            }
        view.centerOn(best);
        frame();
    }
    size_t itemsIn(const QRectF &rect)
    {
        size_t count = 0;
        for (JPPiece *item : board.puzzle()->pieces())
            if (JPBoardController::itemRect(item).intersects(rect))
                ++count;
        return count;
    }
    void frame()
    {
        QPainter painter(&image);
        renderer.draw(painter, QRectF(QPointF(0, 0), QSizeF(kView)), board, bench::BenchLook(), view);
    }
    void report(benchmark::State &state)
    {
        state.counters["zoom"] = view.zoom();
        state.counters["in_view"] = double(itemsIn(view.visibleRect()));
        state.counters["zoomed_mb"] = double(renderer.zoomedBytes()) / (1 << 20);
    }
};

// The scene for the benchmark's zoom and puzzle; null (the benchmark skipped) without a puzzle.
std::unique_ptr<Scene> makeScene(benchmark::State &state)
{
    JPPuzzle *puzzle = state.range(1) == 0 ? g_loose.get() : g_half.get();
    if (!puzzle) {
        state.SkipWithError("the puzzle could not be built");
        return nullptr;
    }
    return std::make_unique<Scene>(puzzle, double(state.range(0)));
}

void BM_FullFrame(benchmark::State &state)
{
    const std::unique_ptr<Scene> scene = makeScene(state);
    if (!scene)
        return;
    for (auto _ : state)
        scene->frame();
    scene->report(state);
}

void BM_DragStep(benchmark::State &state)
{
    const std::unique_ptr<Scene> made = makeScene(state);
    if (!made)
        return;
    Scene &scene = *made;
    // The loose piece nearest the middle of the view.
    JPPiece *item = nullptr;
    double nearest = 1e300;
    for (JPPiece *each : scene.board.puzzle()->pieces()) {
        const QPointF d = each->boardLocation() - scene.view.center();
        if (!each->isAssembly() && QPointF::dotProduct(d, d) < nearest) {
            nearest = QPointF::dotProduct(d, d);
            item = each;
        }
    }
    QPointF pointer = item->boardLocation();
    scene.board.mouseDown({pointer, {}});
    int step = 0;
    for (auto _ : state) {
        scene.dirty.clear();
        pointer += QPointF((step++ % 2) ? -3 : 3, 1) / scene.view.zoom();
        scene.board.mouseDragged({pointer, {}});
        // The moved piece's old and new areas, mapped to the view as the paint event gets them.
        QPainter painter(&scene.image);
        for (const QRectF &rect : {scene.dirty.front(), scene.dirty.back()}) {
            const QRectF area = scene.view.toView(rect).toAlignedRect();
            painter.setClipRect(area);
            scene.renderer.draw(painter, area, scene.board, bench::BenchLook(), scene.view);
        }
    }
    scene.board.mouseUp({pointer, {}});
    scene.report(state);
}

// The first frame after Zoom In from the given zoom: every picture in view is made again.
void BM_ZoomStep(benchmark::State &state)
{
    const std::unique_ptr<Scene> made = makeScene(state);
    if (!made)
        return;
    Scene &scene = *made;
    const JPViewTransform from = scene.view;
    const QPointF middle(kView.width() / 2.0, kView.height() / 2.0);
    int step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // A zoom not drawn before, so nothing of it is cached; the previous one is.
        scene.view = from;
        scene.frame();
        // Zoom Out instead where Zoom In is beyond the limit.
        double to = from.zoom() * JPPuzzleView::kZoomStep;
        if (to > from.maxZoom())
            to = from.zoom() / JPPuzzleView::kZoomStep;
        scene.view.setZoom(to * (1.0 + 1e-6 * ++step), middle);
        state.ResumeTiming();
        scene.frame();
    }
    scene.report(state);
}

void zoomArgs(benchmark::internal::Benchmark *bench)
{
    bench->ArgNames({"zoom", "half"});
    for (int half : {0, 1})
        for (int zoom : {1, 2, 4})
            bench->Args({zoom, half});
    bench->Unit(benchmark::kMillisecond)->UseRealTime();
}

}

BENCHMARK(BM_FullFrame)->Apply(zoomArgs);
BENCHMARK(BM_DragStep)->Apply(zoomArgs);
BENCHMARK(BM_ZoomStep)->Apply(zoomArgs);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir work;
    g_work = &work;
    g_loose = makePuzzle(QStringLiteral("Loose"));
    g_half = makePuzzle(QStringLiteral("Half"));
    bench::SolveHalf(g_half.get(), kView);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
