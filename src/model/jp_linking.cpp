#include "model/jp_linking.h"

#include "model/jp_assembly.h"
#include "model/jp_puzzle.h"

#include <algorithm>

namespace {

// Slack at either end of the joint, and the share of the shorter span that must overlap
// across it, for a drop to snap.
constexpr double kJointSlack = 4.0;
constexpr double kCrossOverlap = 0.75;
// Neighbours whose knobs stick out on opposite ends of the joint overlap by exactly three
// quarters when the knob depth is a third of the piece; the single-precision spans must not
// decide such a drop against the player, so the comparison allows this much.
constexpr double kOverlapRounding = 0.01;
// The badge sits this far beyond the tip of the knob that crosses the joint.
constexpr double kBadgeOffset = 4.0;

}

bool JPPiece::canLinkEdges(int edge, const QRectF &rect1, const QRectF &rect2, bool protrudes,
                           QPointF *centerPoint) const
{
    const double p = m_puzzle->protrusion();
    const double x1 = rect1.x(), y1 = rect1.y(), w1 = rect1.width(), h1 = rect1.height();
    const double x2 = rect2.x(), y2 = rect2.y(), w2 = rect2.width(), h2 = rect2.height();
    double along = 0;
    switch (edge) {
    case 0:
        along = (x2 + w2) - x1;
        break;
    case 1:
        along = (y2 + h2) - y1;
        break;
    case 2:
        along = (x1 + w1) - x2;
        break;
    case 3:
        along = (y1 + h1) - y2;
        break;
    default:
        return false;
    }
    if (!(along >= -kJointSlack && along <= p + kJointSlack))
        return false;

    const bool horizontalJoint = edge == 1 || edge == 3;
    const float start1 = float(horizontalJoint ? x1 : y1), span1 = float(horizontalJoint ? w1 : h1);
    const float start2 = float(horizontalJoint ? x2 : y2), span2 = float(horizontalJoint ? w2 : h2);
    const float end1 = start1 + span1, end2 = start2 + span2;
    const double low = double(std::max(start1, start2));
    const double high = double(std::min(end1, end2));
    const double overlap = high - low;
    if (!(overlap + kOverlapRounding >= kCrossOverlap * double(std::min(span1, span2))))
        return false;

    if (centerPoint) {
        const double across = (low + high) * 0.5;
        double at = 0;
        switch (edge) {
        case 0:
            at = protrudes ? x1 - kBadgeOffset : x2 + w2 + kBadgeOffset;
            break;
        case 1:
            at = protrudes ? y1 - kBadgeOffset : y2 + h2 + kBadgeOffset;
            break;
        case 2:
            at = protrudes ? x1 + w1 + kBadgeOffset : x2 - kBadgeOffset;
            break;
        default:
            at = protrudes ? y1 + h1 + kBadgeOffset : y2 - kBadgeOffset;
            break;
        }
        *centerPoint = horizontalJoint ? QPointF(across, at) : QPointF(at, across);
    }
    return true;
}

bool JPPiece::canLinkEdges(int edge, const QRectF &rect, bool protrudes, QPointF *centerPoint) const
{
    return canLinkEdges(edge, rect, enclosingRect(), protrudes, centerPoint);
}

JPPiece *JPAssembly::pieceToLinkWith(QPointF &point)
{
    refreshSize();
    for (auto member = m_pieces.rbegin(); member != m_pieces.rend(); ++member) {
        const QRectF r = rectForPiece(*member);
        for (int side = 0; side < 4; ++side) {
            const Connection &c = (*member)->connectionAtIndex(side);
            JPPiece *neighbour = c.piece;
            if (!neighbour || neighbour->assembly() == this)
                continue;
            QRectF other;
            JPPiece *target = nullptr;
            if (JPAssembly *group = neighbour->assembly()) {
                group->refreshSize();
                other = group->rectForPiece(neighbour);
                target = group;
            } else {
                if (m_puzzle->rotate() && neighbour->rotation() != 0)
                    continue;
                other = neighbour->enclosingRect();
                target = neighbour;
            }
            if (canLinkEdges(side, r, other, c.protrudes != 0, &point))
                return target;
        }
    }
    return nullptr;
}

JPPiece *PieceToLinkWith(JPPiece *dragging, QPointF &point)
{
    if (!dragging)
        return nullptr;
    JPPuzzle *puzzle = dragging->puzzle();
    if (puzzle->pieces().size() <= 1)
        return nullptr;
    if (dragging->isAssembly())
        return static_cast<JPAssembly *>(dragging)->pieceToLinkWith(point);

    const uint64_t rot = puzzle->rotate() ? (dragging->rotation() & 3) : 0;
    const QRectF r = dragging->enclosingRect();
    for (int side = 0; side < 4; ++side) {
        const Connection &c = dragging->connectionAtIndex(side);
        JPPiece *neighbour = c.piece;
        if (!neighbour)
            continue;
        if (JPAssembly *group = neighbour->assembly()) {
            if (rot != 0)
                continue;
            group->refreshSize();
            if (group->canLinkEdges(side, r, group->rectForPiece(neighbour), c.protrudes != 0, &point))
                return group;
            continue;
        }
        if (puzzle->rotate() && (neighbour->rotation() & 3) != rot)
            continue;
        if (neighbour->canLinkEdges(int((rot + uint64_t(side)) % 4), r, c.protrudes != 0, &point))
            return neighbour;
    }
    return nullptr;
}

JPAssembly *LinkPieces(JPPiece *dragging, JPPiece *linking)
{
    if (!dragging || !linking || dragging == linking)
        return nullptr;
    JPAssembly *survivor = nullptr;
    if (linking->isAssembly())
        survivor = static_cast<JPAssembly *>(linking)->addPiece(dragging, true);
    else if (dragging->isAssembly())
        survivor = static_cast<JPAssembly *>(dragging)->addPiece(linking, false);
    else
        survivor = JPAssembly::initWithPiece1(linking, dragging);
    survivor->setEdgeMask();
    survivor->makeCompositeImage();
    survivor->puzzle()->selection().clear();
    return survivor;
}
