// Pictures and piece counts shared by the benchmarks that build large puzzles.
#pragma once

#include "imaging/cc_image.h"
#include "model/jp_puzzle.h"
#include "model/jp_solver.h"
#include "model/puzzle_folder.h"
#include "play/jp_board_renderer.h"

#include <QDir>
#include <QImage>
#include <QImageWriter>

#include <algorithm>
#include <memory>
#include <random>

namespace bench {

// The checked-in photograph enlarged to size, with fine noise so the enlargement doesn't
// compress like a smooth gradient, written as a JPEG at path.
inline bool PreparePhoto(QSize size, const QString &path)
{
    QImage photo = QImage(QStringLiteral(TJ_BENCH_DATA "/citrus.jpg"))
                       .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB32);
    std::minstd_rand random(5000);
    for (int y = 0; y < photo.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            const int n = int(random() % 17) - 8;
            const auto clamp = [n](int v) { return std::clamp(v + n, 0, 255); };
            row[x] = qRgb(clamp(qRed(row[x])), clamp(qGreen(row[x])), clamp(qBlue(row[x])));
        }
    }
    QImageWriter writer(path);
    writer.setQuality(90);
    return writer.write(photo);
}

// The largest count up to wanted that the grid can hold for the photo's shape (a grid rounds
// up, and piece numbers must stay below the assembly identifiers).
inline int64_t LargestBuildableCount(const QString &photo, int64_t wanted, const QString &scratch)
{
    const QSize stored =
        DeclaredPictureSize(photo).scaled(QSize(kMaxPictureSide, kMaxPictureSide), Qt::KeepAspectRatio);
    auto probe = JPPuzzle::initWithPicture(QDir(scratch).filePath(QStringLiteral("probe.WMjigsaw")),
                                           CCImage::initWithSize(QSizeF(stored)), QVariantMap());
    for (int64_t count = wanted; count > 0; --count) {
        std::vector<GridCoord> cells;
        if (probe && probe->calculateMetrics(count, cells))
            return count;
    }
    return 0;
}


// A puzzle made from the picture file as the game makes one, in the folder `into`; null when
// it can't be made. An empty name leaves the name to the game.
inline std::unique_ptr<JPPuzzle> BuildPuzzle(const QString &photo, const QString &name, int64_t count,
                                             const QString &into)
{
    NewPuzzleChoice choice;
    choice.dict[QStringLiteral("path")] = photo;
    if (!name.isEmpty())
        choice.dict[QStringLiteral("name")] = name;
    choice.count = count;
    auto made = MakePuzzleFolder(choice, into, nullptr);
    if (!made)
        return nullptr;
    return JPPuzzle::initWithPath(made->folder, made->picture, &made->dict);
}

// Half of the puzzle's pieces joined on a board fitted to the view: the busier of the two
// boards the drawing benchmarks measure.
inline void SolveHalf(JPPuzzle *puzzle, QSize view)
{
    if (!puzzle)
        return;
    puzzle->layoutPuzzle(QSizeF(view));
    for (int64_t links = 0; links < puzzle->pieceCount() / 2; ++links)
        if (!SolveOneLink(*puzzle))
            break;
}

// The board look every drawing benchmark uses: the default texture and outline.
inline JPBoardLook BenchLook()
{
    return JPBoardLook{false, 7, QColor(209, 209, 209)};
}

}
