#include "model/jp_solver.h"

#include "model/jp_assembly.h"
#include "model/jp_linking.h"
#include "model/jp_puzzle.h"
#include "support/random_number.h"

#include <vector>

namespace {

// Where the picture point q lies on the board, measured from the item holding `piece`.
QPointF boardPointFrom(JPPiece *piece, QPointF q)
{
    const double s = piece->puzzle()->scale();
    if (JPAssembly *group = piece->assembly()) {
        group->refreshSize();
        return group->rectForPiece(piece).topLeft() + (q - piece->enclosingOrigin()) * s;
    }
    return piece->boardLocation() + (q - piece->rect().center()) * s;
}

}

void PlaceBeside(JPPiece *dragging, JPPiece *member, JPPiece *neighbour)
{
    if (!dragging->isAssembly()) {
        dragging->setDraggedLocation(boardPointFrom(neighbour, member->rect().center()));
        return;
    }
    auto *group = static_cast<JPAssembly *>(dragging);
    group->refreshSize();
    const QPointF delta = boardPointFrom(neighbour, member->enclosingOrigin()) - group->rectForPiece(member).topLeft();
    group->setDraggedLocation(group->boardLocation() + delta);
}

bool SolveOneLink(JPPuzzle &puzzle)
{
    std::vector<JPPiece *> &board = puzzle.pieces();
    if (board.size() <= 1)
        return false;
    JPPiece *dragging = board[RandomNumber(uint32_t(board.size()))];
    std::vector<std::pair<JPPiece *, JPPiece *>> joints;
    const auto collect = [&](JPPiece *member) {
        for (int side = 0; side < 4; ++side) {
            JPPiece *neighbour = member->connectionAtIndex(side).piece;
            if (neighbour && (neighbour->assembly() != member->assembly() || !member->assembly()))
                joints.emplace_back(member, neighbour);
        }
    };
    if (dragging->isAssembly())
        for (JPPiece *member : static_cast<JPAssembly *>(dragging)->pieces())
            collect(member);
    else
        collect(dragging);
    if (joints.empty())
        return false;
    const auto [member, neighbour] = joints[RandomNumber(uint32_t(joints.size()))];
    // A player turns both upright before fitting them.
    if (!dragging->isAssembly())
        dragging->setRotation(0);
    if (!neighbour->assembly())
        neighbour->setRotation(0);
    PlaceBeside(dragging, member, neighbour);
    puzzle.setDirty(true);

    QPointF point = dragging->boardLocation();
    JPPiece *linking = PieceToLinkWith(dragging, point);
    if (!linking)
        return false;
    return LinkPieces(dragging, linking) != nullptr;
}
