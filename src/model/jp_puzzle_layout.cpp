#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"

#include <algorithm>
#include <cmath>

namespace {

struct ShiftState
{
    std::vector<QRectF> exclusions;
    std::vector<JPPiece *> packing;
    QSizeF nodeSize;
    QSizeF viewSize;
    bool right = false;
    bool shifted = false;
};

}

void JPPuzzle::layoutPuzzle(QSizeF viewSize)
{
    const double oldScale = m_scale;
    m_oldScale = oldScale;
    const double bw = m_baseSize.width();
    const double bh = m_baseSize.height();
    const double p = m_protrusion;
    const float across = float(viewSize.width()) / float(double(m_layoutExtent.x) * (bw + 2 * p));
    const float down = float(viewSize.height()) / float(double(m_layoutExtent.y) * (bh + 2 * p));
    float s = std::min({across, down, 1.0f});
    if (!(s > 0))
        s = std::min(1.0f, 1e-3f);
    // The saved scale keeps twelve decimals of the fitted one: a fit to the size the puzzle
    // was saved at finds it again, and then nothing on the board moves or needs saving.
    const bool sameScale = oldScale > 0 && std::abs(double(s) - oldScale) <= 1e-9 * oldScale;
    if (!sameScale) {
        m_dirty = true;
        m_scale = double(s);
    }
    const double cellWidth = m_scale * (bw + 2 * p);
    const double cellHeight = m_scale * (bh + 2 * p);
    for (JPPiece *item : m_pieces) {
        const QPointF dragged = item->draggedLocation();
        // A location kept from a layout at another scale follows the new one; without an
        // old scale (never laid out) it can't be carried over and the piece goes to its cell.
        // An assembly always has a location (its top-left corner, which may lie left of or
        // above the board), so only a loose piece can be unplaced.
        const bool placed = item->isAssembly() || dragged.x() >= 0;
        if (placed && oldScale > 0) {
            item->setDraggedLocation(sameScale ? dragged : dragged * (m_scale / oldScale));
        } else if (item->isAssembly()) {
            item->setDraggedLocation(QPointF(cellWidth, cellHeight));
        } else {
            item->setBoardLocation(QPointF((double(item->looseCoord().x) + 0.5) * cellWidth,
                                           (double(item->looseCoord().y) + 0.5) * cellHeight));
        }
    }
}

bool JPPuzzle::moveToCoord(GridCoord node, std::vector<JPPiece *> &packing, const std::vector<QRectF> &exclusions,
                           QSizeF nodeSize, QSizeF viewSize, bool right, bool &shifted)
{
    Q_UNUSED(viewSize);
    if (packing.empty())
        return false;
    const double nw = nodeSize.width(), nh = nodeSize.height();
    const QRectF test(double(node.x) * nw + nw / 4, double(node.y) * nh + nh / 4, nw / 2, nh / 2);
    for (const QRectF &excluded : exclusions)
        if (test.intersects(excluded))
            return true;
    for (const JPPiece *piece : packing)
        if (test.intersects(piece->currentRect()))
            return true;
    JPPiece *last = packing.back();
    const double px = last->currentRect().x();
    const double d = double(node.x) * nw;
    if ((right && px >= d) || (!right && d >= px))
        return false;
    last->setDraggedLocation(QPointF(double(node.x) * nw + nw / 2, double(node.y) * nh + nh / 2));
    packing.pop_back();
    shifted = true;
    return true;
}

bool JPPuzzle::shiftPieces(bool right, QSizeF viewSize, bool hiddenOnly)
{
    const double nw = m_scale * (m_baseSize.width() + m_protrusion);
    const double nh = m_scale * (m_baseSize.height() + m_protrusion);
    if (!(nw > 0) || !(nh > 0))
        return false;
    std::vector<QRectF> exclusions;
    exclusions.emplace_back(double(m_gapBegin.x) * nw, double(m_gapBegin.y) * nh,
                            double(m_gapEnd.x + 1) * nw - double(m_gapBegin.x) * nw,
                            double(m_gapEnd.y + 1) * nh - double(m_gapBegin.y) * nh);
    std::vector<JPPiece *> packing;
    bool shifted = false;
    const bool noSelection = m_selection.empty();
    const double vw = viewSize.width(), vh = viewSize.height();

    for (auto it = m_pieces.rbegin(); it != m_pieces.rend(); ++it) {
        JPPiece *item = *it;
        if (item->isAssembly()) {
            exclusions.push_back(static_cast<JPAssembly *>(item)->bounds());
            continue;
        }
        const QRectF r = item->setCurrentRect();
        double x = 0, y = 0;
        bool outOfView = true;
        if (r.x() + r.width() <= 0)
            x = r.width() / 2 + 4;
        else if (r.x() >= vw)
            x = (vw - 4) - r.width() / 2;
        else {
            x = r.x() + r.width() / 2;
            outOfView = false;
        }
        if (r.y() + r.height() <= 0)
            y = r.height() / 2 + 4;
        else if (r.y() >= vh)
            y = (vh - 4) - r.height() / 2;
        else if (outOfView)
            y = r.y() + r.height() / 2;
        else {
            const bool selected = std::find(m_selection.begin(), m_selection.end(), item) != m_selection.end();
            if (hiddenOnly || (!noSelection && !selected))
                exclusions.push_back(r);
            else
                packing.push_back(item);
            continue;
        }
        shifted = true;
        m_dirty = true;
        // (x, y) is where the enclosing rectangle's centre goes; the piece's own centre keeps
        // its offset from it, so a lopsided piece ends up wholly inside the edge as well.
        item->setDraggedLocation(QPointF(x, y) + (item->boardLocation() - r.center()));
        packing.push_back(item);
    }

    std::stable_sort(packing.begin(), packing.end(), [right](const JPPiece *a, const JPPiece *b) {
        const double ax = a->currentRect().x(), bx = b->currentRect().x();
        if (ax != bx)
            return right ? ax > bx : ax < bx;
        return a->currentRect().y() > b->currentRect().y();
    });

    const auto fit = [](int64_t extent, double view, double node) {
        const double extra = std::trunc(view / node - double(extent));
        return std::max<int64_t>(extent, extent + (std::isfinite(extra) ? int64_t(std::clamp(extra, -1e6, 1e6)) : 0));
    };
    const int64_t nc = fit(m_layoutExtent.x, vw, nw);
    const int64_t nr = fit(m_layoutExtent.y, vh, nh);
    for (int64_t i = 0; i < nc; ++i) {
        const int64_t column = right ? nc - 1 - i : i;
        for (int64_t row = 0; row < nr; ++row)
            if (!moveToCoord({column, row}, packing, exclusions, QSizeF(nw, nh), viewSize, right, shifted))
                return shifted;
    }
    return shifted;
}

void JPPuzzle::rotatePieces(bool clockwise)
{
    for (JPPiece *item : m_selection)
        item->setRotation((item->rotation() + (clockwise ? 1 : 3)) % 4);
    m_dirty = true;
}
