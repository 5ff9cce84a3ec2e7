#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <vector>

class JPPuzzle;

// One finished puzzle.
struct FinishedPuzzle
{
    QString name;
    int64_t pieces = 0;
    double seconds = 0.0;
    QDateTime date;
    // Names the picture: the same picture gives the same text.
    QString picture;
    // The fastest finish of its picture and piece count (set by MarkBestTimes, not stored).
    bool best = false;
};

// The record of finished puzzles: "Finished.plist" in the support folder, a property-list
// array of dictionaries, oldest first. It keeps at most this many entries; beyond that the
// oldest entry that is not a best time goes.
inline constexpr size_t kMaxFinishedEntries = 200;

QString FinishedRecordPath();
// The entries that can be read; a missing or damaged file reads as none, a damaged entry
// is left out.
std::vector<FinishedPuzzle> ReadFinishedRecord(const QString &path);
// Appends the entry and writes the record atomically. A file that can't be read is kept
// beside it as "Finished.plist.damaged" and replaced.
bool AddToFinishedRecord(const QString &path, const FinishedPuzzle &entry);
// Marks the fastest entry of each picture and piece count (the earliest of equal times).
// Entries without a time are never the best.
void MarkBestTimes(std::vector<FinishedPuzzle> &entries);
// The entry for a puzzle finished just now.
FinishedPuzzle FinishedEntryForPuzzle(const JPPuzzle &puzzle);
