#include "imaging/path_spans.h"

#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct Crossing
{
    int row;
    int winding;
    double x;
};

// One coordinate of a cubic Bézier segment in power form: a0 + t (a1 + t (a2 + t a3)).
struct CubicCoordinate
{
    double a0, a1, a2, a3;

    static CubicCoordinate fromControlPoints(double p0, double p1, double p2, double p3)
    {
        return {p0, 3 * (p1 - p0), 3 * (p2 - 2 * p1 + p0), p3 - 3 * p2 + 3 * p1 - p0};
    }
    double at(double t) const { return a0 + t * (a1 + t * (a2 + t * a3)); }
    double slope(double t) const { return a1 + t * (2 * a2 + t * 3 * a3); }
    double bend(double t) const { return 2 * a2 + 6 * a3 * t; }
};

// The smallest integer >= value, kept within [low, high]. Cheaper than std::ceil, which
// is a library call on baseline x86-64.
inline double clampedCeil(double value, int low, int high)
{
    if (!(value > low))
        return low;
    if (!(value < high))
        return high;
    const int whole = static_cast<int>(value);
    return whole + (whole < value);
}

// How far from the row a crossing may lie: a millionth of a pixel, far below anything
// that decides a pixel and far above the rounding of the arithmetic.
constexpr double kRowTolerance = 1e-10;
// Enough samples for a part crossing a thousand rows; longer parts still solve exactly,
// from coarser guesses.
constexpr int kMaxSamples = 2048;

// The t in [low, high] where the monotone coordinate equals target, given its values at
// both ends on either side of target, starting from a guess. Newton steps, falling back
// to bisection whenever a step would leave the shrinking bracket.
double solveMonotone(const CubicCoordinate &y, double target, double low, double valueAtLow, double high,
                     double valueAtHigh, double t)
{
    double fLow = valueAtLow - target;
    if (fLow == 0)
        return low;
    if (!(t > low && t < high))
        t = low + (high - low) * (fLow / (fLow - (valueAtHigh - target)));
    for (int i = 0; i < 80; ++i) {
        const double f = y.at(t) - target;
        if (std::abs(f) < kRowTolerance || high - low < 1e-15)
            break;
        if ((f < 0) == (fLow < 0)) {
            low = t;
            fLow = f;
        } else {
            high = t;
        }
        const double next = t - f / y.slope(t);
        t = next > low && next < high ? next : 0.5 * (low + high);
    }
    return t;
}

class CrossingCollector
{
public:
    CrossingCollector(int top, int bottom)
        : m_top(top)
        , m_bottom(bottom)
    {
        // An outline usually crosses a row a few times.
        m_crossings.reserve(size_t(std::min(bottom - top, 1 << 16)) * 4);
    }

    std::vector<Crossing> &crossings() { return m_crossings; }

    void addLine(QPointF a, QPointF b)
    {
        if (a.y() == b.y())
            return;
        int first = 0, last = 0;
        if (!rowRange(std::min(a.y(), b.y()), std::max(a.y(), b.y()), first, last))
            return;
        const int winding = b.y() > a.y() ? 1 : -1;
        const double dxdy = (b.x() - a.x()) / (b.y() - a.y());
        for (int row = first; row < last; ++row)
            m_crossings.push_back({row, winding, a.x() + (row - a.y()) * dxdy});
    }

    void addCubic(QPointF p0, QPointF p1, QPointF p2, QPointF p3)
    {
        int first = 0, last = 0;
        const double lowest = std::min({p0.y(), p1.y(), p2.y(), p3.y()});
        const double highest = std::max({p0.y(), p1.y(), p2.y(), p3.y()});
        if (!rowRange(lowest, highest, first, last))
            return;
        const auto x = CubicCoordinate::fromControlPoints(p0.x(), p1.x(), p2.x(), p3.x());
        const auto y = CubicCoordinate::fromControlPoints(p0.y(), p1.y(), p2.y(), p3.y());

        // Split where y turns, so each part meets a row at most once.
        double ts[4] = {0, 0, 0, 0};
        int count = 1;
        const auto addTurn = [&](double t) {
            if (t > 0 && t < 1)
                ts[count++] = t;
        };
        const double a = 3 * y.a3, b = 2 * y.a2, c = y.a1;
        if (std::abs(a) <= 1e-12 * (std::abs(b) + std::abs(c))) {
            if (b != 0)
                addTurn(-c / b);
        } else {
            const double discriminant = b * b - 4 * a * c;
            if (discriminant >= 0) {
                const double q = -0.5 * (b + std::copysign(std::sqrt(discriminant), b));
                addTurn(q / a);
                if (q != 0)
                    addTurn(c / q);
            }
        }
        if (count == 3 && ts[2] < ts[1])
            std::swap(ts[1], ts[2]);
        ts[count++] = 1;

        double values[4];
        values[0] = p0.y();
        for (int i = 1; i < count - 1; ++i)
            values[i] = y.at(ts[i]);
        values[count - 1] = p3.y();
        for (int i = 0; i + 1 < count; ++i)
            addMonotone(x, y, ts[i], values[i], ts[i + 1], values[i + 1]);
    }

private:
    // The rows an edge from y = low to y = high covers: low <= row < high, clipped.
    bool rowRange(double low, double high, int &first, int &last) const
    {
        const double from = clampedCeil(low, m_top, m_bottom);
        const double to = clampedCeil(high, m_top, m_bottom);
        if (!(from < to))
            return false;
        first = int(from);
        last = int(to);
        return true;
    }

    void addMonotone(const CubicCoordinate &x, const CubicCoordinate &y, double t0, double y0, double t1, double y1)
    {
        if (y0 == y1)
            return;
        int first = 0, last = 0;
        if (!rowRange(std::min(y0, y1), std::max(y0, y1), first, last))
            return;
        const int winding = y1 > y0 ? 1 : -1;

        // Samples at about twice the row rate give every row a close guess inside a
        // bracket of its own, so the rows are solved independently of one another (no
        // chain of dependent divisions from one root to the next). Sample j counts from
        // the end where y is smaller.
        const int count = std::clamp(2 * (last - first), 4, kMaxSamples);
        m_samples.resize(size_t(count) + 1);
        const double dt = (t1 - t0) / count;
        for (int i = 1; i < count; ++i)
            m_samples[size_t(i)] = y.at(t0 + i * dt);
        m_samples[0] = y0;
        m_samples[size_t(count)] = y1;
        const auto index = [&](int j) { return size_t(winding > 0 ? j : count - j); };
        const auto sampleT = [&](int j) {
            if (j == 0)
                return winding > 0 ? t0 : t1;
            if (j == count)
                return winding > 0 ? t1 : t0;
            return t0 + double(index(j)) * dt;
        };
        int j = 0;
        for (int row = first; row < last; ++row) {
            while (j + 1 < count && m_samples[index(j + 1)] <= row)
                ++j;
            const double ta = sampleT(j), tb = sampleT(j + 1);
            const double ya = m_samples[index(j)], yb = m_samples[index(j + 1)];
            const double guess = ta + (tb - ta) * ((row - ya) / (yb - ya));
            // One Newton step; y'' is linear in t, so its larger end value bounds the
            // step's error, and only a step that may miss the tolerance is refined.
            const double f = y.at(guess) - row;
            const double step = f / y.slope(guess);
            const double next = guess - step;
            const double bend = std::max(std::abs(y.bend(guess)), std::abs(y.bend(next)));
            const bool lowFirst = ta < tb;
            const double low = lowFirst ? ta : tb, high = lowFirst ? tb : ta;
            double t = next;
            if (!(next >= low && next <= high && 0.5 * bend * step * step < kRowTolerance))
                t = solveMonotone(y, row, low, lowFirst ? ya : yb, high, lowFirst ? yb : ya, guess);
            m_crossings.push_back({row, winding, x.at(t)});
        }
    }

    int m_top;
    int m_bottom;
    std::vector<Crossing> m_crossings;
    std::vector<double> m_samples;
};

// Crossings snapped to a 1/1024 pixel grid. Two neighbouring pieces trace their shared
// curve in opposite directions, so the same crossing comes out a few ulps apart; a pixel
// exactly on the curve would then belong to neither. Snapped, it belongs to exactly one.
inline double snapped(double x)
{
    return std::nearbyint(x * 1024.0) / 1024.0;
}

// Rows cross an outline a handful of times: insertion sort, unless a row is crowded.
void sortByX(Crossing *begin, Crossing *end)
{
    const auto byX = [](const Crossing &a, const Crossing &b) { return a.x < b.x; };
    if (end - begin > 16) {
        std::sort(begin, end, byX);
        return;
    }
    const ptrdiff_t count = end - begin;
    for (ptrdiff_t i = 1; i < count; ++i) {
        const Crossing moving = begin[i];
        ptrdiff_t j = i;
        for (; j > 0 && moving.x < begin[j - 1].x; --j)
            begin[j] = begin[j - 1];
        begin[j] = moving;
    }
}

bool isFinite(const QPainterPath::Element &element)
{
    return std::isfinite(element.x) && std::isfinite(element.y);
}

// Feeds every segment to the collector, closing each subpath; false on a non-finite point.
bool collectCrossings(const QPainterPath &path, CrossingCollector &collector)
{
    QPointF start, current;
    bool open = false;
    const int count = path.elementCount();
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        if (!isFinite(element))
            return false;
        switch (element.type) {
        case QPainterPath::MoveToElement:
            if (open)
                collector.addLine(current, start);
            start = current = element;
            open = true;
            break;
        case QPainterPath::LineToElement:
            collector.addLine(current, element);
            current = element;
            break;
        case QPainterPath::CurveToElement: {
            if (i + 2 >= count)
                return false;
            const QPainterPath::Element second = path.elementAt(i + 1), end = path.elementAt(i + 2);
            if (!isFinite(second) || !isFinite(end))
                return false;
            collector.addCubic(current, element, second, end);
            current = end;
            i += 2;
            break;
        }
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    if (open)
        collector.addLine(current, start);
    return true;
}

}

std::vector<PixelSpan> WindingSpans(const QPainterPath &path, const QRect &area)
{
    if (area.isEmpty() || path.isEmpty())
        return {};
    const int left = area.x(), top = area.y();
    const int right = int(std::min<int64_t>(int64_t(left) + area.width(), std::numeric_limits<int>::max()));
    const int bottom = int(std::min<int64_t>(int64_t(top) + area.height(), std::numeric_limits<int>::max()));
    CrossingCollector collector(top, bottom);
    if (!collectCrossings(path, collector))
        return {};
    const std::vector<Crossing> &crossings = collector.crossings();
    if (crossings.empty())
        return {};

    // Bucket the crossings by row, then order each row by x.
    const int rows = bottom - top;
    std::vector<int> starts(size_t(rows) + 1, 0);
    for (const Crossing &crossing : crossings)
        ++starts[size_t(crossing.row - top) + 1];
    for (int row = 0; row < rows; ++row)
        starts[size_t(row) + 1] += starts[size_t(row)];
    // Filled from the back, each row's start ends where the row's crossings begin.
    std::vector<Crossing> sorted(crossings.size());
    for (auto crossing = crossings.rbegin(); crossing != crossings.rend(); ++crossing)
        sorted[size_t(--starts[size_t(crossing->row - top) + 1])] = *crossing;

    std::vector<PixelSpan> spans;
    spans.reserve(size_t(rows) * 2);
    for (int row = 0; row < rows; ++row) {
        Crossing *begin = sorted.data() + starts[size_t(row) + 1];
        Crossing *end = row + 1 < rows ? sorted.data() + starts[size_t(row) + 2] : sorted.data() + sorted.size();
        sortByX(begin, end);
        int winding = 0;
        for (Crossing *crossing = begin; crossing != end; ++crossing) {
            winding += crossing->winding;
            if (winding == 0)
                continue;
            const double to = crossing + 1 != end ? crossing[1].x : std::numeric_limits<double>::infinity();
            const double from = clampedCeil(snapped(crossing->x), left, right);
            const double until = clampedCeil(snapped(to), left, right);
            if (!(from < until))
                continue;
            const int y = top + row, l = int(from), r = int(until);
            if (!spans.empty() && spans.back().y == y && spans.back().right >= l)
                spans.back().right = std::max(spans.back().right, r);
            else
                spans.push_back({y, l, r});
        }
    }
    return spans;
}
