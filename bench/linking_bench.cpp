// Linking a 1000-piece puzzle: the candidate test a pointer move runs, for one piece and for a
// 500-member assembly; rebuilding the composite image of a 1000-member assembly; and linking
// the whole puzzle in a random order. Run: build/bench/linking_bench
#include "model/jp_assembly.h"
#include "model/jp_linking.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model/puzzle_folder.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

namespace {

QTemporaryDir *g_work = nullptr;
QString g_photo;

std::unique_ptr<JPPuzzle> freshPuzzle()
{
    NewPuzzleChoice choice;
    choice.dict[QStringLiteral("path")] = g_photo;
    choice.count = 1000;
    auto made = MakePuzzleFolder(choice, g_work->filePath(QStringLiteral("puzzles")), nullptr);
    if (!made)
        return nullptr;
    auto puzzle = JPPuzzle::initWithPath(made->folder, made->picture, &made->dict);
    if (puzzle)
        puzzle->layoutPuzzle(QSizeF(1920, 1080));
    return puzzle;
}

// Links pieces in reading order until one assembly holds `members` of them.
JPAssembly *growAssembly(JPPuzzle &puzzle, size_t members)
{
    JPAssembly *group = nullptr;
    for (uint64_t i = 1; i < uint64_t(puzzle.pieceCount()) && (!group || group->pieces().size() < members); ++i) {
        JPPiece *piece = puzzle.pieceWithIndex(i);
        JPPiece *neighbour = piece->coord().x > 0 ? piece->connectionAtIndex(0).piece : piece->connectionAtIndex(1).piece;
        PlaceBeside(piece, piece, neighbour);
        QPointF point;
        JPPiece *target = PieceToLinkWith(piece, point);
        if (!target)
            return nullptr;
        group = LinkPieces(piece, target);
    }
    return group;
}

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

void BM_CompositeOfWholePuzzle(benchmark::State &state)
{
    auto puzzle = freshPuzzle();
    JPAssembly *group = growAssembly(*puzzle, 1000);
    if (!group) {
        state.SkipWithError("could not build the assembly");
        return;
    }
    for (auto _ : state)
        group->makeCompositeImage();
    state.counters["members"] = double(group->pieces().size());
}
BENCHMARK(BM_CompositeOfWholePuzzle)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LinkWholePuzzle(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto puzzle = freshPuzzle();
        state.ResumeTiming();
        int links = 0;
        while (puzzle->pieces().size() > 1 && SolveOneLink(*puzzle))
            ++links;
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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
