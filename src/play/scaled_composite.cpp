#include "play/scaled_composite.h"

#include "imaging/area_scale.h"
#include "imaging/cc_image.h"
#include "model/jp_assembly.h"

#include <cstring>
#include <vector>

namespace {

// The copy moved onto a larger grid area; cells it didn't cover are transparent.
QImage widened(const QImage &old, const QRect &oldCells, const QRect &cells)
{
    QImage image(cells.size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(0);
    const QPoint offset = oldCells.topLeft() - cells.topLeft();
    for (int y = 0; y < old.height(); ++y)
        std::memcpy(image.scanLine(y + offset.y()) + size_t(offset.x()) * 4, old.constScanLine(y),
                    size_t(old.width()) * 4);
    return image;
}

}

bool UpdateScaledComposite(ScaledComposite &copy, JPAssembly &assembly, double scale)
{
    const QRect picture = assembly.compositePictureRect();
    if (picture.isEmpty() || !(scale > 0))
        return false;
    // The picture keeps its place relative to the assembly until it or the scale changes.
    if (copy.revision == assembly.compositeRevision() && copy.scale == scale && !copy.scaled.isNull())
        return true;
    const QRectF board = assembly.compositeRect();
    if (board.isEmpty())
        return false;
    const QImage &source = assembly.image()->qimage();
    const QRect cells = GridCellsFor(picture, scale);
    std::vector<QRect> changes;
    if (copy.scaled.isNull() || copy.scale != scale || !assembly.compositeChangesSince(copy.revision, changes)) {
        copy.scaled = QImage(cells.size(), QImage::Format_ARGB32_Premultiplied);
        if (copy.scaled.isNull())
            return false;
        copy.cells = cells;
        ScaleAreaRegion(source, picture.topLeft(), scale, copy.scaled, cells.topLeft(), cells);
    } else {
        if (!copy.cells.contains(cells)) {
            const QRect grown = copy.cells.united(cells);
            copy.scaled = widened(copy.scaled, copy.cells, grown);
            if (copy.scaled.isNull())
                return false;
            copy.cells = grown;
        }
        for (const QRect &place : changes)
            ScaleAreaRegion(source, picture.topLeft(), scale, copy.scaled, copy.cells.topLeft(),
                            GridCellsFor(place, scale));
    }
    copy.revision = assembly.compositeRevision();
    copy.scale = scale;
    copy.at = board.topLeft() + QPointF(copy.cells.topLeft()) - QPointF(picture.topLeft()) * scale;
    copy.anchor = assembly.boardLocation();
    return true;
}
