#pragma once

#include "model/grid_coord.h"
#include "model/jp_assembly.h"

#include <QSizeF>
#include <QString>

#include <map>
#include <memory>
#include <vector>

class JPPuzzle;

// What a puzzle document says, read but not yet trusted. Opening a puzzle takes three steps:
// ReadPuzzleDocument reads the file as it is written, CheckPuzzleDocument refuses what can't
// be built on and puts right what can, and the puzzle adopts the rest (JPPuzzle::adoptDocument).
// The pieces and assemblies are made for the puzzle being opened; it owns them once it adopts
// the document, and they go with the document when it is refused.
struct PuzzleDocument
{
    GridCoord maxCoord;
    GridCoord layoutExtent;
    GridCoord gapBegin;
    GridCoord gapEnd;
    QSizeF baseSize;
    double protrusion = 0.0;
    double scale = 0.0;
    bool rotate = false;
    bool edgesOnly = false;
    bool pinned = false;
    int64_t nextAssemblyId = 0;
    int64_t pinnedId = 0;
    std::vector<double> colPositions;
    std::vector<double> rowPositions;
    // Every piece read, loose or a member; pieceMap holds the first of each index.
    std::vector<std::unique_ptr<JPPiece>> pieces;
    std::vector<std::unique_ptr<JPAssembly>> assemblies;
    std::map<uint64_t, JPPiece *> pieceMap;
    // The board items in document order.
    std::vector<JPPiece *> items;
    // The document ended before its items did.
    bool truncated = false;
    // The check put something right that only the next save writes.
    bool repaired = false;
    // Pictures of assemblies the check took apart.
    std::vector<QString> obsoleteImages;
};

// Reads the document at path for puzzle; false with the reason when the file is no puzzle
// document this version can read.
bool ReadPuzzleDocument(const QString &path, JPPuzzle *puzzle, PuzzleDocument &document, QString *reason);

// Every rule for damaged values: false with the reason when the document can't be built on
// the puzzle's picture; what can be put right is put right.
bool CheckPuzzleDocument(PuzzleDocument &document, const JPPuzzle &puzzle, QString *reason);
