#include "model/jp_assembly.h"

#include "imaging/image_write_queue.h"
#include "model/jp_puzzle.h"

#include <algorithm>

namespace {

bool readsBefore(const JPPiece *a, const JPPiece *b)
{
    return a->coord().y != b->coord().y ? a->coord().y < b->coord().y : a->coord().x < b->coord().x;
}

void eraseItem(std::vector<JPPiece *> &items, JPPiece *item)
{
    items.erase(std::remove(items.begin(), items.end(), item), items.end());
}

void moveTo(std::vector<JPPiece *> &items, JPPiece *item, size_t index)
{
    eraseItem(items, item);
    items.insert(items.begin() + std::ptrdiff_t(std::min(index, items.size())), item);
}

}

JPAssembly *JPAssembly::initWithPiece1(JPPiece *stationary, JPPiece *moving)
{
    JPPuzzle *puzzle = stationary->puzzle();
    auto made = std::make_unique<JPAssembly>(puzzle);
    JPAssembly *assembly = made.get();
    assembly->m_pieceIndex = puzzle->assignAssemblyId();
    const double k = puzzle->protrusion() * puzzle->scale();

    if (readsBefore(stationary, moving))
        assembly->m_pieces = {stationary, moving};
    else
        assembly->m_pieces = {moving, stationary};
    for (JPPiece *piece : assembly->m_pieces) {
        piece->setAssembly(assembly);
        piece->setRotation(0);
    }
    assembly->m_coord = {std::min(stationary->coord().x, moving->coord().x),
                         std::min(stationary->coord().y, moving->coord().y)};
    assembly->m_maxCoord = {std::max(stationary->coord().x, moving->coord().x),
                            std::max(stationary->coord().y, moving->coord().y)};

    const QRectF r1 = stationary->enclosingRect();
    const QRectF r2 = moving->enclosingRect();
    double x = r1.x();
    if (moving->connectionAtIndex(2).piece == stationary)
        x = r1.x() - (r2.width() - k);
    else if (moving->connectionAtIndex(0).piece != stationary && Protrudes(moving->connectionAtIndex(0))
             && !Protrudes(stationary->connectionAtIndex(0)))
        x -= k;
    double y = r1.y();
    if (moving->connectionAtIndex(3).piece == stationary)
        y = r1.y() - (r2.height() - k);
    else if (moving->connectionAtIndex(1).piece != stationary && Protrudes(moving->connectionAtIndex(1))
             && !Protrudes(stationary->connectionAtIndex(1)))
        y -= k;
    assembly->setDraggedLocation(QPointF(x, y));
    assembly->setEdgeMask();

    std::vector<JPPiece *> &board = puzzle->pieces();
    eraseItem(board, stationary);
    eraseItem(board, moving);
    eraseItem(puzzle->selection(), stationary);
    eraseItem(puzzle->selection(), moving);
    size_t index = 0;
    if (puzzle->originPiece() == stationary || puzzle->originPiece() == moving)
        puzzle->setPinnedAssembly(assembly);
    else if (puzzle->pinnedAssembly())
        index = 1;
    board.insert(board.begin() + std::ptrdiff_t(std::min(index, board.size())), assembly);
    puzzle->adoptAssembly(std::move(made));
    // The two pieces of a two-piece puzzle finish it as they meet.
    if (board.size() == 1)
        puzzle->setComplete();
    return assembly;
}

void JPAssembly::addMember(JPPiece *piece)
{
    const auto at = std::find_if(m_pieces.begin(), m_pieces.end(),
                                 [piece](const JPPiece *member) { return readsBefore(piece, member); });
    m_pieces.insert(at, piece);
    m_undrawn.push_back(piece);
    piece->setAssembly(this);
    piece->setRotation(0);

    const double k = m_puzzle->protrusion() * m_scale;
    const GridCoord c = piece->coord();
    bool movedX = false, movedY = false;
    if (c.x == m_coord.x) {
        if (Protrudes(piece->connectionAtIndex(0)) && !(m_edgeMask & edge_bits::kLeftKnob)) {
            m_boardLocation.rx() -= k;
            m_edgeMask |= edge_bits::kLeftKnob;
            movedX = true;
        }
    } else if (c.x < m_coord.x) {
        m_boardLocation.rx() -= m_puzzle->scale() * (m_puzzle->colPosition(m_coord.x) - m_puzzle->colPosition(c.x));
        // The bounds reach a knob's depth past the new column only when it has a knob.
        if (Protrudes(piece->connectionAtIndex(0))) {
            if (!(m_edgeMask & edge_bits::kLeftKnob)) {
                m_boardLocation.rx() -= k;
                m_edgeMask |= edge_bits::kLeftKnob;
            }
        } else if (m_edgeMask & edge_bits::kLeftKnob) {
            m_boardLocation.rx() += k;
            m_edgeMask &= ~edge_bits::kLeftKnob;
        }
        movedX = true;
    }
    if (c.y == m_coord.y) {
        if (Protrudes(piece->connectionAtIndex(1)) && !(m_edgeMask & edge_bits::kTopKnob)) {
            m_boardLocation.ry() -= k;
            m_edgeMask |= edge_bits::kTopKnob;
            movedY = true;
        }
    } else if (c.y < m_coord.y) {
        m_boardLocation.ry() -= m_puzzle->scale() * (m_puzzle->rowPosition(m_coord.y) - m_puzzle->rowPosition(c.y));
        // The bounds reach a knob's depth past the new column only when it has a knob.
        if (Protrudes(piece->connectionAtIndex(1))) {
            if (!(m_edgeMask & edge_bits::kTopKnob)) {
                m_boardLocation.ry() -= k;
                m_edgeMask |= edge_bits::kTopKnob;
            }
        } else if (m_edgeMask & edge_bits::kTopKnob) {
            m_boardLocation.ry() += k;
            m_edgeMask &= ~edge_bits::kTopKnob;
        }
        movedY = true;
    }
    if (movedX)
        m_draggedLocation.setX(m_boardLocation.x());
    if (movedY)
        m_draggedLocation.setY(m_boardLocation.y());
    m_coord = {std::min(m_coord.x, c.x), std::min(m_coord.y, c.y)};
    m_maxCoord = {std::max(m_maxCoord.x, c.x), std::max(m_maxCoord.y, c.y)};
}

JPAssembly *JPAssembly::addPiece(JPPiece *item, bool wasMoving)
{
    JPPuzzle *puzzle = m_puzzle;
    JPAssembly *pinnedBefore = puzzle->pinnedAssembly();
    // Sizes below are measured at the current board scale.
    refreshSize();
    bool holdsOrigin = false;

    if (item->isAssembly()) {
        auto *other = static_cast<JPAssembly *>(item);
        if (other == pinnedBefore && puzzle->pinned()) {
            // The pinned assembly never moves: it absorbs this one instead.
            return other->addPiece(this, true);
        }
        other->refreshSize();
        const std::vector<JPPiece *> members = other->m_pieces;
        for (JPPiece *member : members) {
            addMember(member);
            holdsOrigin |= member == puzzle->originPiece();
        }
        other->m_pieces.clear();
        // Its picture goes with the next save; a newer one still waiting is not worth writing.
        CCImageWriteQueue::sharedInstance().cancel(other->imagePath());
        puzzle->addFileToDelete(other->imagePath());
    } else {
        addMember(item);
        holdsOrigin = item == puzzle->originPiece();
    }

    std::vector<JPPiece *> &board = puzzle->pieces();
    eraseItem(board, item);
    eraseItem(puzzle->selection(), item);
    size_t target = 0;
    // The role passes on in a merge: whoever ends up holding the first piece is pinned,
    // so the pinned assembly never names one that has left the board.
    if (holdsOrigin || (item->isAssembly() && item == pinnedBefore)) {
        puzzle->setPinnedAssembly(this);
    } else if (pinnedBefore && pinnedBefore != this && puzzle->pinned()) {
        target = 1;
    }
    moveTo(board, this, target);
    if (item->isAssembly())
        puzzle->releaseAssembly(static_cast<JPAssembly *>(item));
    m_scale = 0; // measured afresh at the next use

    if (board.size() == 1)
        puzzle->setComplete();
    else
        puzzle->setDirty(true);
    Q_UNUSED(wasMoving);
    return this;
}
