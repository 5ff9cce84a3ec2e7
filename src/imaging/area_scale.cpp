#include "imaging/area_scale.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

namespace {

// For each cell of a row (or column) of cells, the source pixels it covers and the share of
// the cell each one fills. Computed in picture coordinates, so a cell gets the same shares
// wherever the source begins.
struct Spans
{
    std::vector<int> first; // per cell: the first source index, from the source's start
    std::vector<int> offsets; // per cell, and one past the last: where its shares begin
    std::vector<float> shares;
};

Spans spansFor(int firstCell, int cellCount, double scale, int sourceStart, int sourceLength)
{
    Spans spans;
    spans.first.reserve(size_t(cellCount));
    spans.offsets.reserve(size_t(cellCount) + 1);
    for (int i = 0; i < cellCount; ++i) {
        const double from = double(firstCell + i) / scale;
        const double to = double(firstCell + i + 1) / scale;
        const int low = std::max(int(std::floor(from)), sourceStart);
        const int high = std::min(int(std::ceil(to)), sourceStart + sourceLength);
        spans.first.push_back(low - sourceStart);
        spans.offsets.push_back(int(spans.shares.size()));
        for (int c = low; c < high; ++c)
            spans.shares.push_back(float((std::min(to, double(c + 1)) - std::max(from, double(c))) * scale));
    }
    spans.offsets.push_back(int(spans.shares.size()));
    return spans;
}

// One source row averaged across each cell's columns: four floats (b, g, r, a) per cell.
void scaleRow(const QRgb *row, const Spans &columns, std::vector<float> &out)
{
    const size_t cells = columns.first.size();
    out.assign(cells * 4, 0.0f);
    for (size_t i = 0; i < cells; ++i) {
        const QRgb *pixel = row + columns.first[i];
        float b = 0, g = 0, r = 0, a = 0;
        for (int k = columns.offsets[i]; k < columns.offsets[i + 1]; ++k, ++pixel) {
            const float share = columns.shares[size_t(k)];
            const QRgb p = *pixel;
            b += share * float(p & 0xFF);
            g += share * float((p >> 8) & 0xFF);
            r += share * float((p >> 16) & 0xFF);
            a += share * float(p >> 24);
        }
        float *o = out.data() + i * 4;
        o[0] = b;
        o[1] = g;
        o[2] = r;
        o[3] = a;
    }
}

uint32_t toByte(float value, uint32_t limit)
{
    return std::min(uint32_t(value + 0.5f), limit);
}

}

QRect GridCellsFor(const QRect &pictureRect, double scale)
{
    if (pictureRect.isEmpty() || !(scale > 0))
        return QRect();
    // One cell of slack on each side absorbs rounding in the products; recomputing a cell
    // that the rectangle doesn't touch changes nothing.
    const int left = int(std::floor(pictureRect.left() * scale)) - 1;
    const int top = int(std::floor(pictureRect.top() * scale)) - 1;
    const int right = int(std::ceil((pictureRect.right() + 1) * scale)) + 1;
    const int bottom = int(std::ceil((pictureRect.bottom() + 1) * scale)) + 1;
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void ScaleAreaRegion(const QImage &source, QPoint sourceOrigin, double scale, QImage &target, QPoint targetOrigin,
                     const QRect &cells)
{
    if (!(scale > 0) || source.format() != QImage::Format_ARGB32_Premultiplied
        || target.format() != QImage::Format_ARGB32_Premultiplied)
        return;
    const QRect region = cells.intersected(QRect(targetOrigin, target.size()));
    if (region.isEmpty())
        return;
    const Spans columns = spansFor(region.left(), region.width(), scale, sourceOrigin.x(), source.width());
    const Spans rows = spansFor(region.top(), region.height(), scale, sourceOrigin.y(), source.height());

    // Rows of the source averaged across the columns, kept while the next cells need them.
    std::deque<std::vector<float>> window;
    int windowStart = 0;
    std::vector<float> sum(size_t(region.width()) * 4);
    for (int j = 0; j < region.height(); ++j) {
        const int first = rows.first[size_t(j)];
        const int count = rows.offsets[size_t(j) + 1] - rows.offsets[size_t(j)];
        while (!window.empty() && windowStart < first) {
            window.pop_front();
            ++windowStart;
        }
        if (window.empty())
            windowStart = first;
        while (windowStart + int(window.size()) < first + count) {
            window.emplace_back();
            const int y = windowStart + int(window.size()) - 1;
            scaleRow(reinterpret_cast<const QRgb *>(source.constScanLine(y)), columns, window.back());
        }
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (int k = 0; k < count; ++k) {
            const float share = rows.shares[size_t(rows.offsets[size_t(j)] + k)];
            const std::vector<float> &averaged = window[size_t(first + k - windowStart)];
            for (size_t n = 0; n < sum.size(); ++n)
                sum[n] += share * averaged[n];
        }
        auto *out = reinterpret_cast<QRgb *>(target.scanLine(region.top() - targetOrigin.y() + j))
            + (region.left() - targetOrigin.x());
        for (int i = 0; i < region.width(); ++i) {
            const float *s = sum.data() + size_t(i) * 4;
            // Premultiplied: no channel may exceed the opacity.
            const uint32_t a = toByte(s[3], 255);
            out[i] = (a << 24) | (toByte(s[2], a) << 16) | (toByte(s[1], a) << 8) | toByte(s[0], a);
        }
    }
}
