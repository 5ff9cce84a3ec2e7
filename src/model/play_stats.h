#pragma once

#include <QString>
#include <QVariantMap>

#include <cstdint>

class JPPuzzle;

// How far a puzzle is: a piece counts as joined once it belongs to an assembly. With
// edge pieces only on, only the edge pieces are counted.
struct PuzzleProgress
{
    int64_t joined = 0;
    int64_t total = 0;
    bool edgesOnly = false;
};

PuzzleProgress ProgressOfPuzzle(const JPPuzzle &puzzle);
// "412 of 1000 pieces joined", or "12 of 36 edge pieces joined".
QString ProgressText(const PuzzleProgress &progress);

// The info.plist key that holds the time a puzzle has been played, in seconds.
extern const QString kPlayedKey;
// The time played kept in a puzzle dictionary; anything but a sane number reads as 0.
double PlayedSeconds(const QVariantMap &dict);
// Adds to the time kept in the puzzle's dictionary; info.plist is written at the next save.
void AddPlayedSeconds(JPPuzzle &puzzle, double seconds);

// "1:23:04": hours, minutes and seconds played.
QString ClockText(double seconds);
// "1 h 23 min", "23 min", or "40 s" under a minute.
QString DurationText(double seconds);
