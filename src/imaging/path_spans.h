#pragma once

#include <QRect>

#include <vector>

class QPainterPath;

// The integer x from left up to, not including, right on row y.
struct PixelSpan
{
    int y = 0;
    int left = 0;
    int right = 0;
    bool operator==(const PixelSpan &) const = default;
};

// The integer points (x, y) of the area that lie inside the path under the non-zero
// winding rule (whatever the path's own fill rule), as spans sorted by row and then by x,
// never empty, never touching. Open subpaths count as closed.
//
// The outline is rasterised once: every row's crossings with the lines and curves are
// computed exactly (curves by solving for the crossing on each y-monotone part), so the
// cost grows with the rows and crossings, not with the pixels. A point is inside when the
// winding number of the crossings at or left of it is non-zero; an edge covers the rows y
// with top <= y < bottom. A path with a non-finite coordinate gives no spans.
std::vector<PixelSpan> WindingSpans(const QPainterPath &path, const QRect &area);
