#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

// Scaling by area: a target pixel is the average of the source over the area it covers.
//
// Both images lie on grids anchored at the picture's origin. The source holds picture pixels
// from sourceOrigin on; target pixel (i, j) is grid cell targetOrigin + (i, j), which covers
// the picture from cell / scale to (cell + 1) / scale. Outside the source the picture is
// transparent. Each cell's value depends only on the picture under it, so a part of the target
// scaled again after the picture changed there equals what a whole scaling would give.

// The cells of the grid at scale that a picture rectangle touches.
QRect GridCellsFor(const QRect &pictureRect, double scale);

// Fills the target's cells within cells (grid coordinates) from the source, at scale > 0.
// The source is premultiplied ARGB32 and so is the target.
void ScaleAreaRegion(const QImage &source, QPoint sourceOrigin, double scale, QImage &target, QPoint targetOrigin,
                     const QRect &cells);
