#include "model/jp_puzzle.h"

#include "imaging/cc_image.h"
#include "model/shape_defs.h"
#include "support/random_number.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace {

// Rounds to the nearest integer with halves going to the even neighbour.
int64_t roundHalfEven(double value)
{
    return static_cast<int64_t>(std::nearbyint(value));
}

}

std::optional<GridCoord> JPPuzzle::gridForCount(double W, double H, int64_t count)
{
    if (count <= 0 || count > kMaxPieceCount || !(W >= 1.0) || !(H >= 1.0))
        return std::nullopt;
    const double aspect = W / H;
    int64_t rows = roundHalfEven(std::sqrt(double(count) / aspect));
    int64_t cols = roundHalfEven(double(rows) * aspect);
    if (cols * rows < count) {
        if (W >= H)
            ++cols;
        else
            ++rows;
        if (cols * rows < count) {
            if (H > W)
                ++cols;
            else
                ++rows;
        }
    }
    // Rounding up may pass the last piece index (5000 of a 4:3 picture gives 82 x 61): the
    // longer side gives up columns or rows until the grid fits; the count asked for stays.
    if (cols * rows > kMaxPieceCount) {
        if (cols > rows || (cols == rows && W >= H))
            cols = kMaxPieceCount / rows;
        else
            rows = kMaxPieceCount / cols;
    }
    // Every piece needs a knob at least a pixel deep (a third of its shorter side), or the
    // puzzle could be made but never read back.
    if (cols < 1 || rows < 1 || std::floor(W / double(cols)) < double(kMinimumPieceSide)
        || std::floor(H / double(rows)) < double(kMinimumPieceSide))
        return std::nullopt;
    return GridCoord{cols, rows};
}

bool JPPuzzle::calculateMetrics(int64_t count, std::vector<GridCoord> &coords)
{
    coords.clear();
    const QSizeF pictureSize = m_image ? m_image->size() : QSizeF();
    const double W = std::floor(pictureSize.width());
    const double H = std::floor(pictureSize.height());
    // A count the picture can't carry has no grid: refusing here keeps the building dialog
    // from waiting for jobs that never run.
    const std::optional<GridCoord> grid = gridForCount(W, H, count);
    if (!grid)
        return false;
    const int64_t cols = grid->x;
    const int64_t rows = grid->y;
    m_maxCoord = {cols, rows};

    m_baseSize = QSizeF(std::floor(W / double(cols)), std::floor(H / double(rows)));
    const float shorter = std::min(float(m_baseSize.width()), float(m_baseSize.height()));
    m_protrusion = std::floor(shorter / 3.0f);

    const int64_t ex = int64_t(W) - int64_t(m_baseSize.width()) * cols;
    const int64_t ey = int64_t(H) - int64_t(m_baseSize.height()) * rows;
    m_minIncLimit = {ex / 2, ey / 2};
    m_maxIncStart = {cols - ex + ex / 2, rows - ey + ey / 2};

    const auto lc = int64_t(std::ceil(W / (m_baseSize.width() + m_protrusion)));
    const auto lr = int64_t(std::ceil(H / (m_baseSize.height() + m_protrusion)));
    m_layoutExtent.y = int64_t(std::ceil(std::sqrt(double(count + lc * lr) / 1.75)));
    m_layoutExtent.x = int64_t(std::ceil(double(m_layoutExtent.y) * 1.75));
    m_gapBegin = {(m_layoutExtent.x - lc) / 2, (m_layoutExtent.y - lr) / 2};
    m_gapEnd = {lc + m_gapBegin.x - 1, lr + m_gapBegin.y - 1};

    coords.reserve(size_t(m_layoutExtent.x * m_layoutExtent.y));
    for (int64_t y = 0; y < m_layoutExtent.y; ++y) {
        for (int64_t x = 0; x < m_layoutExtent.x; ++x) {
            if (y >= m_gapBegin.y && y <= m_gapEnd.y && x == m_gapBegin.x) {
                x = m_gapEnd.x; // the loop's increment steps past the gap
                continue;
            }
            coords.push_back({x, y});
        }
    }
    return true;
}

Connection JPPuzzle::AssignConnection() const
{
    Connection connection;
    connection.shapeIndex = RandomNumber(m_simpleEdges ? kSimpleShapeCount : kShapeCount);
    connection.protrudes = static_cast<int8_t>(RandomNumber(2));
    return connection;
}

void JPPuzzle::setConnectionsForPiece(JPPiece *piece, GridCoord location, uint64_t pieceIndex)
{
    const auto columns = uint64_t(m_maxCoord.x);
    if (location.y > 0 && pieceIndex >= columns) {
        JPPiece *upper = m_allPieces[pieceIndex - columns].get();
        Connection below = upper->connectionAtIndex(3);
        below.piece = piece;
        upper->setConnection(below, 3);
        piece->setConnection({upper, below.shapeIndex, int8_t(below.protrudes ? 0 : 1)}, 1);
    }
    if (location.x > 0 && pieceIndex >= 1) {
        JPPiece *left = m_allPieces[pieceIndex - 1].get();
        Connection right = left->connectionAtIndex(2);
        right.piece = piece;
        left->setConnection(right, 2);
        piece->setConnection({left, right.shapeIndex, int8_t(right.protrudes ? 0 : 1)}, 0);
    }
    // The bottom side is drawn before the right one, so the random sequence stays the same.
    if (location.y < m_maxCoord.y - 1)
        piece->setConnection(AssignConnection(), 3);
    if (location.x < m_maxCoord.x - 1)
        piece->setConnection(AssignConnection(), 2);
}

double JPPuzzle::colPosition(int64_t column) const
{
    if (column >= 0 && size_t(column) < m_colPositions.size())
        return m_colPositions[size_t(column)];
    if (column < 0)
        return m_colPositions.empty() ? 0.0 : m_colPositions.front();
    return m_image ? m_image->size().width() : 0.0;
}

double JPPuzzle::rowPosition(int64_t row) const
{
    if (row >= 0 && size_t(row) < m_rowPositions.size())
        return m_rowPositions[size_t(row)];
    if (row < 0)
        return m_rowPositions.empty() ? 0.0 : m_rowPositions.front();
    return m_image ? m_image->size().height() : 0.0;
}
