#pragma once

#include <QPointF>

class JPAssembly;
class JPPiece;

// The item that a drag of `dragging` (a loose piece or an assembly) would join now: one of
// its true grid neighbours whose joint lies within the snapping tolerances. On success
// point holds the centre of the link badge. Null when the board holds a single item.
JPPiece *PieceToLinkWith(JPPiece *dragging, QPointF &point);

// Joins the dragged item and the stationary one it fits, and returns the assembly that
// holds both, its composite image rebuilt. May finish the puzzle.
JPAssembly *LinkPieces(JPPiece *dragging, JPPiece *linking);
