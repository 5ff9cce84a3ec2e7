#include "imaging/cc_pixmap.h"

#include "imaging/path_spans.h"
#include "imaging/pixel_kernels.h"

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
    return createPixmapForBezier(path, QRect(QPoint(*x0, *y0), QPoint(*x1 - 1, *y1 - 1)), origin);
}

std::unique_ptr<CCPixmap> CCPixmap::createPixmapForBezier(const QPainterPath &path, const QRect &box,
                                                          QPointF *origin) const
{
    if (path.isEmpty() || box.isEmpty())
        return nullptr;
    const std::optional<int> x0 = box.x(), y0 = box.y();
    const std::optional<int> x1 = box.x() + box.width(), y1 = box.y() + box.height();
    auto result = initWithSize(QSizeF(box.width(), box.height()));
    if (!result)
        return nullptr;

    const int left = std::max(*x0, 0), top = std::max(*y0, 0);
    const int right = std::min(*x1, width()), bottom = std::min(*y1, height());
    if (left >= right || top >= bottom)
        return nullptr;
    // Positions the scan never reaches (outside the picture) stay transparent as well.
    bool partial = left != *x0 || top != *y0 || right != *x1 || bottom != *y1;
    const std::vector<PixelSpan> spans = WindingSpans(path, QRect(left, top, right - left, bottom - top));
    const SpanCopy copy = CopySpans(spans.data(), qsizetype(spans.size()), bytes(), bytesPerRow(), result->bytes(),
                                    result->bytesPerRow(), *x0, *y0);
    const int firstX = copy.firstX, firstY = copy.firstY;
    if (copy.allAlpha != 0xFF || copy.covered != int64_t(right - left) * (bottom - top))
        partial = true;
    if (firstY < 0)
        return nullptr;
    result->setAlpha(partial);
    if (origin)
        *origin = QPointF(firstX, firstY);
    return result;
}

void CCPixmap::colorEdgesWith(Pixel edge, Pixel interior)
{
    const int w = width(), h = height();
    if (PixelAlpha(edge) != 0 && PixelAlpha(interior) != 0) {
        // No pixel changes visibility, so rows can be rewritten from marks taken before
        // the pass reaches them.
        std::vector<uint32_t> scratch((size_t(w) + 2) * 3);
        ColorEdges(bytes(), bytesPerRow(), w, h, edge, interior, edge == interior, scratch.data());
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
