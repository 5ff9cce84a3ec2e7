// The largest puzzle the new-puzzle dialog offers, from a 6000 x 4500 photograph: making it,
// reopening it loose, drawing the loose and the half-made board at 1920 x 1080 (full frame
// and one drag step), solving it the way the headless solve does (a save after every link)
// and reopening it solved. Each step runs once, in this order; peak_mb is the process's
// peak resident memory after the step. Run: build/bench/stress_5000_bench
#include "bench_support.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model/puzzle_folder.h"
#include "play/jp_board_input.h"
#include "play/jp_board_renderer.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <memory>

namespace {

constexpr QSize kView(1920, 1080);
constexpr QSize kPhoto(6000, 4500);
// The dialog's largest offer; the grid itself may hold a few pieces less.
constexpr int64_t kLargestOffer = 5000;

QTemporaryDir *g_work = nullptr;
QString g_photo;
QString g_folder;
std::unique_ptr<JPPuzzle> g_puzzle;

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void reportPuzzle(benchmark::State &state)
{
    state.counters["pieces"] = g_puzzle ? double(g_puzzle->pieceCount()) : 0.0;
    state.counters["items"] = g_puzzle ? double(g_puzzle->pieces().size()) : 0.0;
    state.counters["peak_mb"] = peakMegabytes();
}

bool reopen(benchmark::State &state)
{
    g_puzzle.reset();
    QString reason;
    g_puzzle = JPPuzzle::openExisting(g_folder, &reason);
    if (!g_puzzle)
        state.SkipWithError(QString(QStringLiteral("can't reopen: ") + reason).toStdString().c_str());
    return g_puzzle != nullptr;
}

void BM_Create(benchmark::State &state)
{
    for (auto _ : state) {
        NewPuzzleChoice choice;
        choice.dict[QStringLiteral("path")] = g_photo;
        choice.dict[QStringLiteral("name")] = QStringLiteral("Stress");
        choice.count = kLargestOffer;
        QString error;
        auto made = MakePuzzleFolder(choice, g_work->filePath(QStringLiteral("puzzles")), &error);
        if (!made) {
            state.SkipWithError(
                QString(QStringLiteral("the folder could not be made: ") + error).toStdString().c_str());
            return;
        }
        g_folder = made->folder;
        g_puzzle = JPPuzzle::initWithPath(made->folder, made->picture, &made->dict);
        if (!g_puzzle || g_puzzle->creationFail()) {
            state.SkipWithError("the puzzle could not be built");
            return;
        }
    }
    reportPuzzle(state);
}

void BM_Reopen(benchmark::State &state)
{
    if (g_folder.isEmpty()) {
        state.SkipWithError("no puzzle");
        return;
    }
    for (auto _ : state)
        if (!reopen(state))
            return;
    reportPuzzle(state);
}

// Links until at most `left` items are on the board, saving after each link as `solve` does.
void BM_Solve(benchmark::State &state)
{
    const auto left = size_t(state.range(0));
    if (!g_puzzle) {
        state.SkipWithError("no puzzle");
        return;
    }
    int64_t links = 0;
    for (auto _ : state) {
        if (g_puzzle->scale() == 0.0)
            g_puzzle->layoutPuzzle(QSizeF(kView));
        while (g_puzzle->pieces().size() > std::max<size_t>(left, 1)) {
            if (!SolveOneLink(*g_puzzle)) {
                state.SkipWithError("a drop beside a true neighbour did not link");
                return;
            }
            ++links;
            g_puzzle->save();
        }
    }
    state.counters["links"] = double(links);
    reportPuzzle(state);
}

JPBoardLook benchLook()
{
    return JPBoardLook{false, 7, QColor(209, 209, 209)};
}

// One full frame, after the first one that scales every picture to the board.
void BM_FullFrame(benchmark::State &state)
{
    if (!g_puzzle) {
        state.SkipWithError("no puzzle");
        return;
    }
    QImage frame(kView, QImage::Format_ARGB32_Premultiplied);
    JPBoardController board;
    board.setPuzzle(g_puzzle.get());
    board.setViewSize(QSizeF(kView));
    JPBoardRenderer renderer;
    renderer.setLinkImage(JPBoardRenderer::loadLinkImage());
    const QRectF all(QPointF(0, 0), QSizeF(kView));
    QElapsedTimer first;
    first.start();
    {
        QPainter painter(&frame);
        renderer.draw(painter, all, board, benchLook());
    }
    state.counters["first_frame_ms"] = double(first.elapsed());
    for (auto _ : state) {
        QPainter painter(&frame);
        renderer.draw(painter, all, board, benchLook());
    }
    reportPuzzle(state);
}

// One step of dragging a loose piece: the piece's old and new areas are drawn again.
void BM_DragStep(benchmark::State &state)
{
    JPPiece *item = nullptr;
    if (g_puzzle)
        for (JPPiece *each : g_puzzle->pieces())
            if (!each->isAssembly())
                item = each;
    if (!item) {
        state.SkipWithError("no loose piece");
        return;
    }
    QImage frame(kView, QImage::Format_ARGB32_Premultiplied);
    JPBoardController board;
    std::vector<QRectF> dirty;
    board.invalidate = [&](const QRectF &rect) { dirty.push_back(rect); };
    board.setPuzzle(g_puzzle.get());
    board.setViewSize(QSizeF(kView));
    JPBoardRenderer renderer;
    {
        QPainter painter(&frame);
        renderer.draw(painter, QRectF(QPointF(0, 0), QSizeF(kView)), board, benchLook());
    }
    QPointF pointer = item->boardLocation();
    board.mouseDown({pointer, {}});
    int step = 0;
    for (auto _ : state) {
        dirty.clear();
        pointer += QPointF((step++ % 2) ? -3 : 3, 1);
        board.mouseDragged({pointer, {}});
        QPainter painter(&frame);
        for (const QRectF &rect : {dirty.front(), dirty.back()}) {
            painter.setClipRect(rect);
            renderer.draw(painter, rect, board, benchLook());
        }
    }
    board.mouseUp({pointer, {}});
    reportPuzzle(state);
}

}

// In the order of a player's evening: made, reopened, looked at, half done, looked at,
// finished, reopened.
BENCHMARK(BM_Create)->Name("create")->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Reopen)->Name("reopen_loose")->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullFrame)->Name("full_frame_loose")->MinTime(2.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DragStep)->Name("drag_step_loose")->MinTime(2.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Solve)->Name("solve_to_half")->Arg(2500)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullFrame)->Name("full_frame_half")->MinTime(2.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DragStep)->Name("drag_step_half")->MinTime(2.0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Solve)->Name("solve_to_end")->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Reopen)->Name("reopen_solved")->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir work;
    g_work = &work;
    g_photo = g_work->filePath(QStringLiteral("photo-6000.jpg"));
    bench::PreparePhoto(kPhoto, g_photo);
    std::printf("photo %d x %d, %lld pieces asked\n", kPhoto.width(), kPhoto.height(),
                static_cast<long long>(kLargestOffer));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_puzzle.reset();
    return 0;
}
