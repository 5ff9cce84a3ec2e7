#include "imaging/cc_pixmap.h"

#include "imaging/path_spans.h"
#include "imaging/pixel_loops.h"

#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// An edge of the path's bounds rounded in single precision, ties to even; none when
// no buffer could reach it.
std::optional<int> roundedEdge(double value)
{
    const float rounded = std::nearbyint(static_cast<float>(value));
    if (!(rounded > -1e9f && rounded < 1e9f))
        return std::nullopt;
    return static_cast<int>(rounded);
}

// The pixel loops below stay out of line: GCC only vectorises them at -O2 while it
// still sees their restrict parameters.

// All-ones where the pixel is not transparent, else 0; entries 0 and width + 1 stay 0 so
// the buffer's left and right columns see a transparent neighbour.
[[gnu::noinline]] void markOpaque(uint32_t *__restrict marks, const Pixel *__restrict row, int width)
{
    forEachPixel(0, width, [&](int x) { marks[x + 1] = PixelAlpha(row[x]) != 0 ? ~0u : 0u; });
}

struct SpanAlpha
{
    uint32_t all = 0xFF;
    uint32_t any = 0;
};

// Copies the pixels from left to right, with alpha 0 meaning the transparent pixel,
// and reports the AND and the OR of their alphas.
[[gnu::noinline]] SpanAlpha copySpan(Pixel *__restrict target, const Pixel *__restrict source, int left, int right)
{
    uint32_t all = 0xFF, any = 0;
    forEachPixel(left, right, [&](int x) {
        const Pixel pixel = source[x];
        const uint32_t alpha = PixelAlpha(pixel);
        target[x] = alpha != 0 ? pixel : 0;
        all &= alpha;
        any |= alpha;
    });
    return {all, any};
}

// Rewrites one row from the transparency of its own and its neighbouring rows (which
// this pass doesn't change, as neither value is transparent).
template <bool KeepInterior>
[[gnu::noinline]] void colorRowEdges(Pixel *__restrict row, const uint32_t *__restrict above, const uint32_t *__restrict here,
                   const uint32_t *__restrict below, int width, Pixel edge, Pixel interior)
{
    forEachPixel(0, width, [&](int x) {
        const uint32_t present = here[x + 1];
        const uint32_t inside = present & here[x] & here[x + 2] & above[x + 1] & below[x + 1];
        const Pixel kept = KeepInterior ? row[x] : interior;
        row[x] = (present & ~inside & edge) | (inside & kept);
    });
}

}

std::unique_ptr<CCPixmap> CCPixmap::createPixmapForBezier(const QPainterPath &path, QPointF *origin) const
{
    if (path.isEmpty())
        return nullptr;
    const QRectF bounds = path.boundingRect();
    const auto x0 = roundedEdge(bounds.x()), y0 = roundedEdge(bounds.y());
    const auto x1 = roundedEdge(bounds.x() + bounds.width()), y1 = roundedEdge(bounds.y() + bounds.height());
    if (!x0 || !y0 || !x1 || !y1 || *x1 <= *x0 || *y1 <= *y0)
        return nullptr;
    auto result = initWithSize(QSizeF(*x1 - *x0, *y1 - *y0));
    if (!result)
        return nullptr;

    const int left = std::max(*x0, 0), top = std::max(*y0, 0);
    const int right = std::min(*x1, width()), bottom = std::min(*y1, height());
    if (left >= right || top >= bottom)
        return nullptr;
    // Positions the scan never reaches (outside the picture) stay transparent as well.
    bool partial = left != *x0 || top != *y0 || right != *x1 || bottom != *y1;
    int firstX = right, firstY = -1;
    int64_t covered = 0;
    for (const PixelSpan &span : WindingSpans(path, QRect(left, top, right - left, bottom - top))) {
        const Pixel *source = m_bitmap.row(span.y);
        const SpanAlpha alpha = copySpan(result->m_bitmap.row(span.y - *y0) + (span.left - *x0),
                                         source + span.left, 0, span.right - span.left);
        covered += span.right - span.left;
        if (alpha.all != 0xFF)
            partial = true;
        if (alpha.any == 0)
            continue;
        if (firstY < 0)
            firstY = span.y;
        for (int x = span.left; x < std::min(span.right, firstX); ++x) {
            if (PixelAlpha(source[x]) != 0) {
                firstX = x;
                break;
            }
        }
    }
    if (firstY < 0)
        return nullptr;
    if (covered != int64_t(right - left) * (bottom - top))
        partial = true;
    result->setAlpha(partial);
    if (origin)
        *origin = QPointF(firstX, firstY);
    return result;
}

void CCPixmap::colorEdgesWith(Pixel edge, Pixel interior)
{
    const int w = width(), h = height();
    if (PixelAlpha(edge) != 0 && PixelAlpha(interior) != 0) {
        // Transparency stays as it was, so whole rows can be rewritten from marks taken
        // before the pass reaches them.
        std::vector<uint32_t> above(size_t(w) + 2, 0), here(size_t(w) + 2, 0), below(size_t(w) + 2, 0);
        markOpaque(here.data(), m_bitmap.row(0), w);
        for (int y = 0; y < h; ++y) {
            if (y + 1 < h)
                markOpaque(below.data(), m_bitmap.row(y + 1), w);
            else
                std::fill(below.begin(), below.end(), 0u);
            if (edge == interior)
                colorRowEdges<true>(m_bitmap.row(y), above.data(), here.data(), below.data(), w, edge, interior);
            else
                colorRowEdges<false>(m_bitmap.row(y), above.data(), here.data(), below.data(), w, edge, interior);
            std::swap(above, here);
            std::swap(here, below);
        }
        return;
    }
    // A transparent value changes the picture as the pass goes: the left and upper
    // neighbours are seen as already rewritten.
    for (int y = 0; y < h; ++y) {
        Pixel *row = m_bitmap.row(y);
        const Pixel *up = y > 0 ? m_bitmap.row(y - 1) : nullptr;
        const Pixel *down = y + 1 < h ? m_bitmap.row(y + 1) : nullptr;
        for (int x = 0; x < w; ++x) {
            if (PixelAlpha(row[x]) == 0) {
                row[x] = 0;
                continue;
            }
            const bool rim = !up || !down || x == 0 || x == w - 1 || PixelAlpha(row[x - 1]) == 0
                             || PixelAlpha(row[x + 1]) == 0 || PixelAlpha(up[x]) == 0 || PixelAlpha(down[x]) == 0;
            if (rim)
                row[x] = edge;
            else if (edge != interior)
                row[x] = interior;
        }
    }
}

void CCPixmap::convertToMask()
{
    colorEdgesWith(0x000000FF, 0xFFFFFFFF);
}

std::unique_ptr<CCPixmap> CCPixmap::createMaskPixmap() const
{
    auto mask = copy();
    if (mask)
        mask->convertToMask();
    return mask;
}
