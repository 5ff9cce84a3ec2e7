#pragma once

#include <cstdint>
#include <ostream>

// Column and row in the grid, a grid or layout size, or a layout cell.
struct GridCoord
{
    int64_t x = 0;
    int64_t y = 0;

    friend bool operator==(const GridCoord &, const GridCoord &) = default;
};

inline void PrintTo(const GridCoord &c, std::ostream *os)
{
    *os << "{" << c.x << ", " << c.y << "}";
}

// Piece indexes stay below this; assembly identifiers start here.
constexpr uint64_t kFirstAssemblyId = 5001;
// Identifiers are written as 32-bit numbers.
constexpr uint64_t kLastAssemblyId = 2147483647;
// The largest grid the number space can hold.
constexpr int64_t kMaxPieceCount = 5000;
// The narrowest column and lowest row in pixels: a knob is a third of it and needs a pixel.
constexpr int64_t kMinimumPieceSide = 3;
