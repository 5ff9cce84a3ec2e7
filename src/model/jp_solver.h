#pragma once

class JPPiece;
class JPPuzzle;

// Drops the board item `dragging` exactly where its member `member` meets the picture
// neighbour `neighbour` (a member of another board item), as a careful player would.
void PlaceBeside(JPPiece *dragging, JPPiece *member, JPPiece *neighbour);

// One step of a solve in a random order: a random board item is dropped beside one of its
// true neighbours and linked through the same rule a drag uses. False when nothing could
// be linked (the puzzle is finished, or the rule refused the drop).
bool SolveOneLink(JPPuzzle &puzzle);
