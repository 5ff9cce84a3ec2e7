#include "imaging/area_scale.h"

#include "imaging_fixtures.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

using namespace tj::test;

// The whole picture scaled onto the cells it touches, with `margin` cells more on every side.
QImage scaledWhole(const QImage &picture, QPoint origin, double scale, int margin = 0)
{
    const QRect cells = GridCellsFor(QRect(origin, picture.size()), scale).adjusted(-margin, -margin, margin, margin);
    QImage target(cells.size(), QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::magenta);
    ScaleAreaRegion(picture, origin, scale, target, cells.topLeft(), cells);
    return target;
}

}

TEST(AreaScale, APartScaledAgainEqualsTheWholeScaledAgain)
{
    const QPoint origin(13, 7);
    for (const double scale : {1.0, 0.8, 0.5371, 0.25, 0.1}) {
        SCOPED_TRACE(scale);
        QImage picture = photoLike(97, 61).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QImage copy = scaledWhole(picture, origin, scale);
        // The same cells however far the target reaches.
        const QImage wider = scaledWhole(picture, origin, scale, 3);
        EXPECT_TRUE(wider.copy(QRect(QPoint(3, 3), copy.size())) == copy);

        // A piece of the picture changes; only the cells over it are scaled again.
        const QRect changed(QPoint(41, 19), QSize(23, 17));
        QPainter painter(&picture);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(changed, QColor(20, 200, 90, 140));
        painter.end();
        const QRect cells = GridCellsFor(QRect(origin, picture.size()), scale);
        ScaleAreaRegion(picture, origin, scale, copy, cells.topLeft(), GridCellsFor(changed.translated(origin), scale));
        EXPECT_TRUE(copy == scaledWhole(picture, origin, scale));
    }
}

TEST(AreaScale, EachCellIsTheAverageOfThePictureUnderIt)
{
    QImage plain(60, 40, QImage::Format_ARGB32_Premultiplied);
    plain.fill(QColor(200, 100, 50));
    // At scale 1 from a whole pixel the picture is copied.
    const QImage photo = photoLike(30, 20).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_TRUE(scaledWhole(photo, QPoint(5, 2), 1.0).copy(QRect(QPoint(1, 1), photo.size())) == photo);

    // Inside, a plain picture stays plain; at its edges cells fade by the share they cover,
    // so the opacity over the whole picture is kept.
    const double scale = 0.37;
    const QImage scaled = scaledWhole(plain, QPoint(3, 3), scale);
    EXPECT_EQ(scaled.pixel(scaled.width() / 2, scaled.height() / 2), qRgb(200, 100, 50));
    double opacity = 0;
    for (int y = 0; y < scaled.height(); ++y)
        for (int x = 0; x < scaled.width(); ++x)
            opacity += qAlpha(scaled.pixel(x, y)) / 255.0;
    EXPECT_NEAR(opacity, 60 * 40 * scale * scale, 60 * 40 * scale * scale * 0.01);
    EXPECT_EQ(qAlpha(scaled.pixel(0, 0)), 0) << "the slack cell outside the picture stays clear";
}
