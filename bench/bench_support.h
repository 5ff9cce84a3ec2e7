// Pictures and piece counts shared by the benchmarks that build large puzzles.
#pragma once

#include "imaging/cc_image.h"
#include "model/jp_puzzle.h"
#include "model/puzzle_folder.h"

#include <QDir>
#include <QImage>
#include <QImageWriter>

#include <algorithm>
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

}
