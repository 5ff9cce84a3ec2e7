// Drawing a 1000-piece board at 1920 x 1080 into an offscreen image, with every item loose
// and with half of the links made: the full frame, and the frame after a one-piece drag
// step, which redraws only the piece's old and new areas; also the first frame, which scales
// every picture to the board. Run: build/bench/board_draw_bench
#include "bench_support.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model/puzzle_folder.h"
#include "play/jp_board_input.h"
#include "play/jp_board_renderer.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr QSize kView(1920, 1080);
constexpr int64_t kPieces = 1000;

QTemporaryDir *g_work = nullptr;
std::unique_ptr<JPPuzzle> g_loose;
std::unique_ptr<JPPuzzle> g_half;

std::unique_ptr<JPPuzzle> makePuzzle(const QString &name)
{
    const QImage source(QStringLiteral(TJ_BENCH_DATA "/citrus.jpg"));
    const QString photo = g_work->filePath(name + QStringLiteral(".jpg"));
    QImageWriter(photo).write(source.scaled(2000, 1318, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return bench::BuildPuzzle(photo, name, kPieces, g_work->filePath(QStringLiteral("puzzles")));
}

JPPuzzle *puzzleFor(const benchmark::State &state)
{
    return state.range(0) == 0 ? g_loose.get() : g_half.get();
}

void BM_FullFrame(benchmark::State &state)
{
    JPPuzzle *puzzle = puzzleFor(state);
    if (!puzzle) {
        state.SkipWithError("the puzzle could not be built");
        return;
    }
    QImage frame(kView, QImage::Format_ARGB32_Premultiplied);
    JPBoardController board;
    board.setPuzzle(puzzle);
    board.setViewSize(QSizeF(kView));
    JPBoardRenderer renderer;
    renderer.setLinkImage(JPBoardRenderer::loadLinkImage());
    const QRectF all(QPointF(0, 0), QSizeF(kView));
    {
        // The first frame scales every picture to the board once.
        QPainter painter(&frame);
        renderer.draw(painter, all, board, bench::BenchLook());
    }
    for (auto _ : state) {
        QPainter painter(&frame);
        renderer.draw(painter, all, board, bench::BenchLook());
    }
    state.counters["items"] = double(puzzle->pieces().size());
}
BENCHMARK(BM_FullFrame)->Arg(0)->Arg(1)->ArgName("half")->Unit(benchmark::kMillisecond)->UseRealTime();

// The first frame after opening or resizing, when every picture is scaled to the board.
void BM_FirstFrame(benchmark::State &state)
{
    JPPuzzle *puzzle = puzzleFor(state);
    if (!puzzle) {
        state.SkipWithError("the puzzle could not be built");
        return;
    }
    QImage frame(kView, QImage::Format_ARGB32_Premultiplied);
    JPBoardController board;
    board.setPuzzle(puzzle);
    board.setViewSize(QSizeF(kView));
    for (auto _ : state) {
        JPBoardRenderer renderer;
        QPainter painter(&frame);
        renderer.draw(painter, QRectF(QPointF(0, 0), QSizeF(kView)), board, bench::BenchLook());
    }
}
BENCHMARK(BM_FirstFrame)->Arg(0)->Arg(1)->ArgName("half")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DragStep(benchmark::State &state)
{
    JPPuzzle *puzzle = puzzleFor(state);
    if (!puzzle) {
        state.SkipWithError("the puzzle could not be built");
        return;
    }
    QImage frame(kView, QImage::Format_ARGB32_Premultiplied);
    JPBoardController board;
    std::vector<QRectF> dirty;
    board.invalidate = [&](const QRectF &rect) { dirty.push_back(rect); };
    board.setPuzzle(puzzle);
    board.setViewSize(QSizeF(kView));
    JPBoardRenderer renderer;
    const QRectF all(QPointF(0, 0), QSizeF(kView));
    {
        QPainter painter(&frame);
        renderer.draw(painter, all, board, bench::BenchLook());
    }
    JPPiece *item = nullptr;
    for (JPPiece *each : puzzle->pieces())
        if (!each->isAssembly())
            item = each;
    QPointF pointer = item->boardLocation();
    board.mouseDown({pointer, {}});
    int step = 0;
    for (auto _ : state) {
        dirty.clear();
        pointer += QPointF((step++ % 2) ? -3 : 3, 1);
        board.mouseDragged({pointer, {}});
        // The moved piece's old and new areas, as the view's paint event would get them.
        const QRectF before = dirty.front();
        const QRectF after = dirty.back();
        QPainter painter(&frame);
        for (const QRectF &rect : {before, after}) {
            painter.setClipRect(rect);
            renderer.draw(painter, rect, board, bench::BenchLook());
        }
    }
    board.mouseUp({pointer, {}});
}
BENCHMARK(BM_DragStep)->Arg(0)->Arg(1)->ArgName("half")->Unit(benchmark::kMillisecond)->UseRealTime();

}

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
