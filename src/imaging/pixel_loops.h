#pragma once

// Calls body(x) for every x from begin up to end. Groups of four let GCC vectorise the
// body at -O2, where it only vectorises loops whose trip count is a multiple of the
// vector width; keep bodies free of branches and calls.
template <typename Body>
inline void forEachPixel(int begin, int end, Body body)
{
    int x = begin;
    for (; x + 4 <= end; x += 4)
        for (int k = 0; k < 4; ++k)
            body(x + k);
    for (; x < end; ++x)
        body(x);
}
