// Linking: the candidate test a pointer move runs, for one piece and for a 500-member assembly;
// drawing the composite of a 1000-member assembly afresh; linking a whole 1000-piece puzzle in
// a random order; and the main-thread time of one join onto a large assembly, from the drop
// until the board can draw the next frame (the link, the composite brought up to date and
// queued for writing, the board's scaled copy brought up to date), on 1000- and 5000-piece
// puzzles. Run: build/bench/linking_bench
#include "bench_support.h"
#include "imaging/image_write_queue.h"
#include "model/jp_assembly.h"
#include "model/jp_linking.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model/puzzle_folder.h"
#include "play/jp_board_input.h"
#include "play/jp_board_renderer.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <functional>

namespace {

constexpr QSize kView(1920, 1080);

QTemporaryDir *g_work = nullptr;
QString g_photo; // 2000 x 1318: the 1000-piece puzzles
QString g_largePhoto; // 6000 x 4500, stored at 2000 x 1500: the 5000-piece puzzle

std::unique_ptr<JPPuzzle> freshPuzzle(const QString &photo = g_photo, int64_t count = 1000)
{
    auto puzzle = bench::BuildPuzzle(photo, QString(), count, g_work->filePath(QStringLiteral("puzzles")));
    if (puzzle)
        puzzle->layoutPuzzle(QSizeF(kView));
    return puzzle;
}

// Links pieces in reading order until one assembly holds `members` of them.
JPAssembly *growAssembly(JPPuzzle &puzzle, size_t members)
{
    JPAssembly *group = nullptr;
    for (uint64_t i = 1; i < uint64_t(puzzle.pieceCount()) && (!group || group->pieces().size() < members); ++i) {
        JPPiece *piece = puzzle.pieceWithIndex(i);
        JPPiece *neighbour =
            piece->coord().x > 0 ? piece->connectionAtIndex(0).piece : piece->connectionAtIndex(1).piece;
        PlaceBeside(piece, piece, neighbour);
        QPointF point;
        JPPiece *target = PieceToLinkWith(piece, point);
        if (!target)
            return nullptr;
        group = LinkPieces(piece, target);
    }
    return group;
}

// A member of `group` beside piece, or null.
JPPiece *neighbourIn(JPPiece *piece, const JPAssembly *group)
{
    for (int side = 0; side < 4; ++side) {
        JPPiece *neighbour = piece->connectionAtIndex(side).piece;
        if (neighbour && neighbour->assembly() == group && group)
            return neighbour;
    }
    return nullptr;
}

// Drops piece beside a member of group, as a careful player would, and links it.
JPAssembly *dropOnto(JPPiece *piece, JPPiece *neighbour)
{
    PlaceBeside(piece, piece, neighbour);
    QPointF point;
    JPPiece *target = PieceToLinkWith(piece, point);
    return target ? LinkPieces(piece, target) : nullptr;
}

// Links every piece but those keepLoose names into one assembly; null when a drop didn't link.
JPAssembly *linkAllBut(JPPuzzle &puzzle, const std::function<bool(GridCoord)> &keepLoose)
{
    std::vector<JPPiece *> waiting;
    for (const auto &piece : puzzle.allPieces())
        if (!keepLoose(piece->coord()))
            waiting.push_back(piece.get());
    if (waiting.size() < 2)
        return nullptr;
    JPPiece *seed = waiting.front();
    waiting.erase(waiting.begin());
    JPAssembly *group = nullptr;
    while (!waiting.empty()) {
        std::vector<JPPiece *> later;
        for (JPPiece *piece : waiting) {
            JPPiece *neighbour = group ? neighbourIn(piece, group) : nullptr;
            for (int side = 0; !group && side < 4; ++side)
                if (piece->connectionAtIndex(side).piece == seed)
                    neighbour = seed;
            if (!neighbour) {
                later.push_back(piece);
                continue;
            }
            group = dropOnto(piece, neighbour);
            if (!group)
                return nullptr;
        }
        if (later.size() == waiting.size())
            return nullptr;
        waiting.swap(later);
    }
    return group;
}

bool copyFolder(const QString &from, const QString &to)
{
    QDir(to).removeRecursively();
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    bool ok = QDir().mkpath(to);
    while (ok && it.hasNext()) {
        const QString path = it.next();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(path));
        ok = it.fileInfo().isDir() ? QDir().mkpath(target) : QFile::copy(path, target);
    }
    return ok;
}

// A saved puzzle whose pieces all belong to one assembly but a few loose ones, and the loose
// piece that the benchmark drops onto it.
struct LargeAssembly
{
    QString folder;
    GridCoord drop;
    size_t members = 0;
};

LargeAssembly makeLargeAssembly(std::unique_ptr<JPPuzzle> puzzle, GridCoord drop,
                                const std::function<bool(GridCoord)> &keepLoose)
{
    if (!puzzle)
        return {};
    JPAssembly *group = linkAllBut(*puzzle, keepLoose);
    if (!group || !puzzle->save())
        return {};
    return {puzzle->filePath(), drop, group->pieces().size()};
}

// Interior pieces kept loose on a lattice, none beside another, so that the assembly holds
// exactly `members` pieces.
std::function<bool(GridCoord)> looseLattice(GridCoord grid, int64_t loose)
{
    std::vector<GridCoord> cells;
    for (int64_t y = 2; y + 2 < grid.y; y += 3)
        for (int64_t x = 2; x + 2 < grid.x; x += 3)
            cells.push_back({x, y});
    const size_t step = std::max<size_t>(1, cells.size() / size_t(std::max<int64_t>(1, loose)));
    std::vector<GridCoord> chosen;
    for (size_t i = 0; i < cells.size() && int64_t(chosen.size()) < loose; i += step)
        chosen.push_back(cells[i]);
    return [chosen](GridCoord c) {
        return std::any_of(chosen.begin(), chosen.end(), [c](GridCoord k) { return k.x == c.x && k.y == c.y; });
    };
}

// The board's copies of the pictures are brought up to date by the next frame; a one-pixel
// frame inside the assembly does that and paints next to nothing.
void updateBoardCopies(JPBoardRenderer &renderer, JPBoardController &board, JPAssembly *group, QImage &frame)
{
    QPainter painter(&frame);
    const QRectF dot(group->bounds().center(), QSizeF(1, 1));
    painter.setClipRect(dot);
    renderer.draw(painter, dot, board, bench::BenchLook());
}

// One join per iteration, each on a fresh copy of the saved puzzle, opened and drawn once
// before the clock runs; frame_ms is the full frame drawn after the join.
void linkOntoLargeAssembly(benchmark::State &state, const LargeAssembly &made)
{
    if (made.folder.isEmpty()) {
        state.SkipWithError("the assembly could not be made");
        return;
    }
    const QString copy = g_work->filePath(QStringLiteral("trial.WMjigsaw"));
    QImage frame(kView, QImage::Format_ARGB32_Premultiplied);
    double frameMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        copyFolder(made.folder, copy);
        auto puzzle = JPPuzzle::openExisting(copy, nullptr);
        // Made and let go while the clock stands.
        auto boardHolder = std::make_unique<JPBoardController>();
        auto rendererHolder = std::make_unique<JPBoardRenderer>();
        JPBoardController &board = *boardHolder;
        JPBoardRenderer &renderer = *rendererHolder;
        board.setPuzzle(puzzle.get());
        board.setViewSize(QSizeF(kView));
        {
            QPainter painter(&frame);
            renderer.draw(painter, QRectF(QPointF(0, 0), QSizeF(kView)), board, bench::BenchLook());
        }
        JPPiece *piece = puzzle->pieceWithIndex(uint64_t(made.drop.y * puzzle->maxCoord().x + made.drop.x));
        JPPiece *neighbour = nullptr;
        for (int side = 0; side < 4 && !neighbour; ++side) {
            JPPiece *next = piece->connectionAtIndex(side).piece;
            if (next && next->assembly())
                neighbour = next;
        }
        state.ResumeTiming();

        JPAssembly *group = dropOnto(piece, neighbour);
        if (!group) {
            state.SkipWithError("the drop did not link");
            return;
        }
        updateBoardCopies(renderer, board, group, frame);

        state.PauseTiming();
        QElapsedTimer timer;
        timer.start();
        {
            QPainter painter(&frame);
            renderer.draw(painter, QRectF(QPointF(0, 0), QSizeF(kView)), board, bench::BenchLook());
        }
        frameMs += double(timer.nsecsElapsed()) / 1e6;
        rendererHolder.reset();
        boardHolder.reset();
        puzzle.reset();
        state.ResumeTiming();
    }
    state.counters["members"] = double(made.members);
    state.counters["frame_ms"] = benchmark::Counter(frameMs, benchmark::Counter::kAvgIterations);
}

const LargeAssembly &interior1000()
{
    static const LargeAssembly made = [] {
        auto puzzle = freshPuzzle();
        if (!puzzle)
            return LargeAssembly{};
        const GridCoord grid = puzzle->maxCoord();
        const auto loose = looseLattice(grid, puzzle->pieceCount() - 999);
        GridCoord drop{};
        for (int64_t i = 0; i < puzzle->pieceCount(); ++i)
            if (loose({i % grid.x, i / grid.x}))
                drop = {i % grid.x, i / grid.x};
        return makeLargeAssembly(std::move(puzzle), drop, loose);
    }();
    return made;
}

void BM_LinkOntoLargeAssembly1000(benchmark::State &state)
{
    linkOntoLargeAssembly(state, interior1000());
}
BENCHMARK(BM_LinkOntoLargeAssembly1000)
    ->Name("LinkOntoLargeAssembly/1000")
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The dropped piece opens a new leftmost column, so the composite grows to the left.
void BM_LinkOntoLargeAssemblyGrowing(benchmark::State &state)
{
    static const LargeAssembly made = [] {
        auto puzzle = freshPuzzle();
        if (!puzzle)
            return LargeAssembly{};
        const GridCoord drop{0, puzzle->maxCoord().y / 2};
        return makeLargeAssembly(std::move(puzzle), drop, [](GridCoord c) { return c.x == 0; });
    }();
    linkOntoLargeAssembly(state, made);
}
BENCHMARK(BM_LinkOntoLargeAssemblyGrowing)
    ->Name("LinkOntoLargeAssemblyGrowing/1000")
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_LinkOntoLargeAssembly5000(benchmark::State &state)
{
    static const LargeAssembly made = [] {
        const int64_t count = bench::LargestBuildableCount(g_largePhoto, 5000, g_work->path());
        auto puzzle = freshPuzzle(g_largePhoto, count);
        if (!puzzle)
            return LargeAssembly{};
        const GridCoord grid = puzzle->maxCoord();
        const auto loose = looseLattice(grid, puzzle->pieceCount() - 4900);
        GridCoord drop{};
        for (int64_t i = 0; i < puzzle->pieceCount(); ++i)
            if (loose({i % grid.x, i / grid.x}))
                drop = {i % grid.x, i / grid.x};
        return makeLargeAssembly(std::move(puzzle), drop, loose);
    }();
    linkOntoLargeAssembly(state, made);
}
BENCHMARK(BM_LinkOntoLargeAssembly5000)
    ->Name("LinkOntoLargeAssembly/5000")
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Joins in quick succession onto the 999-member assembly: each while the picture of the one
// before is still being written, so changing it costs a copy of its pixels.
void BM_LinkOntoLargeAssemblyBackToBack(benchmark::State &state)
{
    const LargeAssembly &made = interior1000();
    const QString copy = g_work->filePath(QStringLiteral("trial.WMjigsaw"));
    if (made.folder.isEmpty() || !copyFolder(made.folder, copy)) {
        state.SkipWithError("the assembly could not be made");
        return;
    }
    auto puzzle = JPPuzzle::openExisting(copy, nullptr);
    QImage frame(kView, QImage::Format_ARGB32_Premultiplied);
    JPBoardController board;
    board.setPuzzle(puzzle.get());
    board.setViewSize(QSizeF(kView));
    JPBoardRenderer renderer;
    {
        QPainter painter(&frame);
        renderer.draw(painter, QRectF(QPointF(0, 0), QSizeF(kView)), board, bench::BenchLook());
    }
    std::vector<JPPiece *> loose;
    for (JPPiece *item : puzzle->pieces())
        if (!item->isAssembly())
            loose.push_back(item);
    JPAssembly *group = puzzle->pinnedAssembly();
    for (auto _ : state) {
        if (loose.size() < 2) {
            state.SkipWithError("no loose piece left");
            return;
        }
        JPPiece *piece = loose.back();
        loose.pop_back();
        group = dropOnto(piece, neighbourIn(piece, group));
        if (!group) {
            state.SkipWithError("the drop did not link");
            return;
        }
        updateBoardCopies(renderer, board, group, frame);
    }
    state.counters["members"] = double(group ? group->pieces().size() : 0);
    puzzle.reset();
}
BENCHMARK(BM_LinkOntoLargeAssemblyBackToBack)
    ->Name("LinkOntoLargeAssemblyBackToBack/1000")
    ->Iterations(12)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_CandidateForOnePiece(benchmark::State &state)
{
    auto puzzle = freshPuzzle();
    JPPiece *piece = puzzle->pieceWithIndex(500);
    PlaceBeside(piece, piece, piece->connectionAtIndex(0).piece);
    for (auto _ : state) {
        QPointF point = piece->boardLocation();
        benchmark::DoNotOptimize(PieceToLinkWith(piece, point));
    }
}
BENCHMARK(BM_CandidateForOnePiece)->Unit(benchmark::kMicrosecond);

void BM_CandidateForLargeAssembly(benchmark::State &state)
{
    auto puzzle = freshPuzzle();
    JPAssembly *group = growAssembly(*puzzle, 500);
    if (!group) {
        state.SkipWithError("could not build the assembly");
        return;
    }
    for (auto _ : state) {
        QPointF point = group->boardLocation();
        benchmark::DoNotOptimize(PieceToLinkWith(group, point));
    }
    state.counters["members"] = double(group->pieces().size());
}
BENCHMARK(BM_CandidateForLargeAssembly)->Unit(benchmark::kMicrosecond);

// Drawn afresh from every member, as when a stored picture doesn't match its members.
void BM_CompositeOfWholePuzzle(benchmark::State &state)
{
    auto puzzle = freshPuzzle();
    JPAssembly *group = growAssembly(*puzzle, 1000);
    if (!group) {
        state.SkipWithError("could not build the assembly");
        return;
    }
    for (auto _ : state)
        group->makeCompositeImage(true);
    state.counters["members"] = double(group->pieces().size());
    CCImageWriteQueue::sharedInstance().waitForAll();
}
BENCHMARK(BM_CompositeOfWholePuzzle)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every link of a puzzle in a random order, and the writing of the last pictures.
void BM_LinkWholePuzzle(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto puzzle = freshPuzzle();
        state.ResumeTiming();
        int links = 0;
        while (puzzle->pieces().size() > 1 && SolveOneLink(*puzzle))
            ++links;
        puzzle->waitForImageWrites();
        state.counters["links"] = links;
    }
}
BENCHMARK(BM_LinkWholePuzzle)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir work;
    g_work = &work;
    g_photo = work.filePath(QStringLiteral("photo.jpg"));
    QImage(QStringLiteral(TJ_BENCH_DATA "/citrus.jpg"))
        .scaled(2000, 1318, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .save(g_photo, "JPEG", 90);
    g_largePhoto = work.filePath(QStringLiteral("photo-6000.jpg"));
    bench::PreparePhoto(QSize(6000, 4500), g_largePhoto);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
