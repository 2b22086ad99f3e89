#include "canvas/StrokeRaster.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>

namespace snapkin {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A double carried with the rounding error of the operations that made it (hi + lo, a
// "double-double"): about 32 significant digits, enough to find where a segment whose ends lie
// 1e30 apart crosses a picture's edge to a small fraction of a pixel, where plain doubles lose
// every digit below 1e14 to cancellation.
struct Wide {
    double hi = 0, lo = 0;
};

// a + b exactly (Knuth's two-sum).
Wide exactSum(double a, double b)
{
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

Wide add(Wide a, Wide b)
{
    const Wide s = exactSum(a.hi, b.hi);
    return exactSum(s.hi, s.lo + a.lo + b.lo);
}

Wide multiply(Wide a, Wide b)
{
    const double p = a.hi * b.hi;
    return exactSum(p, std::fma(a.hi, b.hi, -p) + a.hi * b.lo + a.lo * b.hi);
}

Wide divide(Wide a, Wide b)
{
    const double q = a.hi / b.hi;
    const Wide rest = add(a, multiply(b, {-q, 0}));
    return exactSum(q, (rest.hi + rest.lo) / b.hi);
}

// The other coordinate of the point of the segment from `a` to `b` whose coordinate on one axis
// is `value` (`from`/`to` the ends' coordinates on that axis, `fromOther`/`toOther` on the
// other), worked out from the end nearer that point, so that a near end gives its exact
// figure however far away the other lies.
double crossing(double value, double from, double to, double fromOther, double toOther)
{
    if (std::abs(to - value) < std::abs(from - value)) {
        std::swap(from, to);
        std::swap(fromOther, toOther);
    }
    const Wide t = divide(exactSum(value, -from), exactSum(to, -from));
    const Wide other = add({fromOther, 0}, multiply(t, exactSum(toOther, -fromOther)));
    return other.hi + other.lo;
}

// Where the segment from `outside` (a point outside `box`) towards `other` enters the box;
// nothing when it misses it. The point lies on one of the box's edges that face `outside`,
// exactly, its other coordinate within the edge.
std::optional<QPointF> entry(QPointF outside, QPointF other, const QRectF& box)
{
    std::optional<QPointF> onSide, onEnd;
    // The vertical edge that faces the point, when the segment reaches it.
    const double x = outside.x() < box.left() ? box.left() : box.right();
    if ((outside.x() < box.left() && other.x() >= box.left()) ||
        (outside.x() > box.right() && other.x() <= box.right())) {
        const double y = crossing(x, outside.x(), other.x(), outside.y(), other.y());
        if (y >= box.top() && y <= box.bottom()) onSide = QPointF(x, y);
    }
    const double y = outside.y() < box.top() ? box.top() : box.bottom();
    if ((outside.y() < box.top() && other.y() >= box.top()) ||
        (outside.y() > box.bottom() && other.y() <= box.bottom())) {
        const double x = crossing(y, outside.y(), other.y(), outside.x(), other.x());
        if (x >= box.left() && x <= box.right()) onEnd = QPointF(x, y);
    }
    return onSide ? onSide : onEnd;
}

// `value` as a pixel coordinate within [low, high]: figures outside (or not numbers) would not
// fit an int.
int pixelWithin(double value, int low, int high)
{
    if (!(value > low)) return low;
    if (!(value < high)) return high;
    return int(value);
}

std::uint64_t mix(std::uint64_t h, double v)
{
    // splitmix64's finaliser over the running hash and the value's bits.
    std::uint64_t z = h ^ (std::bit_cast<std::uint64_t>(v) + 0x9E3779B97F4A7C15ULL + (h << 6));
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

} // namespace

bool StrokeRaster::clip(QPointF& a, QPointF& b, const QRectF& box)
{
    if (!std::isfinite(a.x()) || !std::isfinite(a.y()) || !std::isfinite(b.x()) ||
        !std::isfinite(b.y()))
        return false;
    if (!std::isfinite(b.x() - a.x()) || !std::isfinite(b.y() - a.y())) {
        // Ends more than the largest double apart: halved (exactly, at these sizes), clipped to
        // the halved box, and doubled again.
        QPointF halfA = a / 2, halfB = b / 2;
        if (!clip(halfA, halfB, QRectF(box.topLeft() / 2, box.size() / 2))) return false;
        a = halfA * 2;
        b = halfB * 2;
        return true;
    }
    if ((a.x() < box.left() && b.x() < box.left()) ||
        (a.x() > box.right() && b.x() > box.right()) || (a.y() < box.top() && b.y() < box.top()) ||
        (a.y() > box.bottom() && b.y() > box.bottom()))
        return false;
    const auto inside = [&](QPointF p) {
        return p.x() >= box.left() && p.x() <= box.right() && p.y() >= box.top() &&
               p.y() <= box.bottom();
    };
    QPointF from = a, to = b;
    if (!inside(a)) {
        const std::optional<QPointF> in = entry(a, b, box);
        if (!in) return false;
        from = *in;
    }
    if (!inside(b)) {
        const std::optional<QPointF> out = entry(b, a, box);
        if (!out) return false;
        to = *out;
    }
    a = from;
    b = to;
    return true;
}

// A segment, and what working out its spans row after row needs: the part beside the segment
// meets a row in an interval whose ends move linearly with the row's height, so a row costs a
// few multiplications; only rows near an end need a square root for its disc.
struct StrokeRaster::Capsule {
    QPointF a, b;
    QPointF d;          // b − a
    double length2 = 0; // |d|²
    double length = 0;
    bool degenerate = true;
    // Beside the segment, on the row at height a.y + dy, x − a.x lies in
    // [dy·alongSlope + alongLow, dy·alongSlope + alongHigh] (between the ends' normals; when
    // the segment is vertical, the whole row or nothing) and in
    // [dy·acrossSlope − r·acrossScale, dy·acrossSlope + r·acrossScale] (within r of its line;
    // when it is horizontal, the whole row or nothing).
    double alongSlope = 0, alongLow = 0, alongHigh = 0;
    double acrossSlope = 0, acrossScale = 0;
    double uy = 0;
    bool vertical = false, horizontal = false;

    Capsule(QPointF from, QPointF to) : a(from), b(to), d(to - from)
    {
        length2 = d.x() * d.x() + d.y() * d.y();
        length = std::sqrt(length2);
        degenerate = !(length > 0);
        if (degenerate) return;
        const double ux = d.x() / length;
        uy = d.y() / length;
        vertical = ux == 0;
        horizontal = uy == 0;
        if (!vertical) {
            alongSlope = -uy / ux;
            alongLow = ux > 0 ? 0 : length / ux;
            alongHigh = ux > 0 ? length / ux : 0;
        }
        if (!horizontal) {
            acrossSlope = ux / uy;
            acrossScale = 1 / std::abs(uy);
        }
    }

    // The x-range, at height `y`, of the points within `radius` of the segment; false when
    // none.
    bool span(double y, double radius, double& x0, double& x1) const
    {
        double lo = kInfinity, hi = -kInfinity;
        for (const QPointF& p : {a, b}) {
            const double dy = y - p.y();
            if (!(std::abs(dy) < radius)) continue;
            const double h = std::sqrt(radius * radius - dy * dy);
            lo = std::min(lo, p.x() - h);
            hi = std::max(hi, p.x() + h);
        }
        if (!degenerate) {
            const double dy = y - a.y();
            double from = -kInfinity, to = kInfinity;
            bool meets = true;
            if (vertical) {
                const double along = dy * uy;
                meets = along >= 0 && along <= length;
            } else {
                from = dy * alongSlope + alongLow;
                to = dy * alongSlope + alongHigh;
            }
            if (horizontal) {
                meets = meets && std::abs(dy) <= radius;
            } else {
                from = std::max(from, dy * acrossSlope - radius * acrossScale);
                to = std::min(to, dy * acrossSlope + radius * acrossScale);
            }
            if (meets && from <= to) {
                lo = std::min(lo, a.x() + from);
                hi = std::max(hi, a.x() + to);
            }
        }
        if (!(lo <= hi)) return false;
        x0 = lo;
        x1 = hi;
        return true;
    }

    // The distance from (x, y) to the segment, and the way from its nearest point there.
    double distance(double x, double y, double& ex, double& ey) const
    {
        const double vx = x - a.x(), vy = y - a.y();
        double t = length2 > 0 ? (vx * d.x() + vy * d.y()) / length2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        ex = vx - t * d.x();
        ey = vy - t * d.y();
        return std::sqrt(ex * ex + ey * ey);
    }
    double distance(double x, double y) const
    {
        double ex, ey;
        return distance(x, y, ex, ey);
    }

    // The x-range of the segment's points at heights from `top` to `bottom`.
    void across(double top, double bottom, double& x0, double& x1) const
    {
        if (d.y() == 0) {
            x0 = std::min(a.x(), b.x());
            x1 = std::max(a.x(), b.x());
            return;
        }
        const double t0 = std::clamp((top - a.y()) / d.y(), 0.0, 1.0);
        const double t1 = std::clamp((bottom - a.y()) / d.y(), 0.0, 1.0);
        x0 = a.x() + std::min(t0, t1) * d.x();
        x1 = a.x() + std::max(t0, t1) * d.x();
        if (x0 > x1) std::swap(x0, x1);
    }
};

StrokeRaster::StrokeRaster(QRect area, double radius)
    : m_radius(std::isfinite(radius) ? std::max(radius, 0.5) : 0.5)
{
    reset(area);
}

void StrokeRaster::reset(QRect area)
{
    m_area = area.isValid() ? area : QRect();
    m_left = 0;
    m_top = 0;
    m_right = -1;
    m_bottom = -1;
    std::fill(m_seen.begin(), m_seen.end(), 0);
    const bool empty = m_area.isEmpty();
    m_tilesX = empty ? 0 : (m_area.width() + tileSize - 1) / tileSize;
    m_tilesY = empty ? 0 : (m_area.height() + tileSize - 1) / tileSize;
    const size_t pixels = empty ? 0 : size_t(m_area.width()) * size_t(m_area.height());
    m_coverage.assign(pixels, 0);
    m_normals.assign(2 * pixels, 0);
    m_tiles.assign(size_t(m_tilesX) * size_t(m_tilesY), Tile{});
    for (int ty = 0; ty < m_tilesY; ++ty) {
        const int h = std::min(tileSize, m_area.height() - ty * tileSize);
        for (int tx = 0; tx < m_tilesX; ++tx) {
            const int w = std::min(tileSize, m_area.width() - tx * tileSize);
            Tile& t = tile(tx, ty);
            t.open = std::int16_t(w * h);
            t.x1 = std::uint8_t(w - 1);
            t.y1 = std::uint8_t(h - 1);
        }
    }
    m_nextTile.resize(size_t(m_tilesX + 1) * size_t(m_tilesY));
    for (int ty = 0; ty < m_tilesY; ++ty)
        for (int tx = 0; tx <= m_tilesX; ++tx)
            m_nextTile[size_t(ty) * size_t(m_tilesX + 1) + size_t(tx)] = tx;
    m_nextRow.resize(size_t(m_tilesY + 1));
    for (int ty = 0; ty <= m_tilesY; ++ty)
        m_nextRow[size_t(ty)] = ty;
    m_openInRow.assign(size_t(m_tilesY), m_tilesX);
}

QRect StrokeRaster::touched() const
{
    if (m_right < m_left) return {};
    return QRect(QPoint(m_left, m_top), QPoint(m_right, m_bottom));
}

int StrokeRaster::coverage(int x, int y) const
{
    if (!m_area.contains(x, y)) return 0;
    return m_coverage[size_t(y - m_area.top()) * size_t(m_area.width()) +
                      size_t(x - m_area.left())];
}

bool StrokeRaster::tileTouched(int tileX, int tileY) const
{
    if (tileX < 0 || tileY < 0 || tileX >= m_tilesX || tileY >= m_tilesY) return false;
    return m_tiles[size_t(tileY) * size_t(m_tilesX) + size_t(tileX)].touched;
}

int StrokeRaster::nextOpenTile(int tileY, int tileX)
{
    std::int32_t* next = m_nextTile.data() + size_t(tileY) * size_t(m_tilesX + 1);
    tileX = std::clamp(tileX, 0, m_tilesX);
    while (next[tileX] != tileX) {
        next[tileX] = next[next[tileX]];
        tileX = next[tileX];
    }
    return tileX;
}

int StrokeRaster::nextOpenRow(int tileY)
{
    std::int32_t* next = m_nextRow.data();
    tileY = std::clamp(tileY, 0, m_tilesY);
    while (next[tileY] != tileY) {
        next[tileY] = next[next[tileY]];
        tileY = next[tileY];
    }
    return tileY;
}

void StrokeRaster::cover(int x, int y, std::uint8_t value, std::int8_t nx, std::int8_t ny)
{
    const int px = x - m_area.left(), py = y - m_area.top();
    const size_t at = size_t(py) * size_t(m_area.width()) + size_t(px);
    std::uint8_t& c = m_coverage[at];
    std::int8_t* normal = m_normals.data() + 2 * at;
    int raised = value;
    if (c != 0 && value < 255) {
        // A pixel two edges cross: the union covers as much as the larger share where both
        // face the same way (one part of the line beside the next), both shares where they
        // face each other (two passes that touch), and in between as two independent shares.
        const int facing = int(nx) * normal[0] + int(ny) * normal[1]; // 127² times the cosine
        if (facing >= 127 * 127 / 2)
            raised = std::max<int>(c, value);
        else if (facing <= -127 * 127 / 2)
            raised = std::min(255, c + value);
        else
            raised = c + value - (c * value + 127) / 255;
    }
    if (raised <= c) return;
    const int tx = px / tileSize, ty = py / tileSize;
    Tile& t = tile(tx, ty);
    if (c == 0) {
        t.touched = true;
        if (m_right < m_left) {
            m_left = m_right = x;
            m_top = m_bottom = y;
        } else {
            m_left = std::min(m_left, x);
            m_right = std::max(m_right, x);
            m_top = std::min(m_top, y);
            m_bottom = std::max(m_bottom, y);
        }
    }
    // The normal of the larger share stands for the pixel's edge.
    if (value > c) {
        normal[0] = nx;
        normal[1] = ny;
    }
    c = std::uint8_t(raised);
    if (raised < 255) return;
    t.stale = true;
    if (--t.open > 0) return;
    // Full: skipped from now on, with its row once that has no open tile left.
    m_nextTile[size_t(ty) * size_t(m_tilesX + 1) + size_t(tx)] = tx + 1;
    if (--m_openInRow[size_t(ty)] == 0) m_nextRow[size_t(ty)] = ty + 1;
}

bool StrokeRaster::seenBefore(QPointF a, QPointF b)
{
    // Either direction is the same capsule.
    if (std::pair(b.x(), b.y()) < std::pair(a.x(), a.y())) std::swap(a, b);
    std::uint64_t key = mix(mix(mix(mix(0, a.x()), a.y()), b.x()), b.y());
    if (key == 0) key = 1;
    // Sized with the segments looked up, so a short line clears no large table.
    if (++m_seenLookups > qsizetype(m_seen.size()) && m_seen.size() < kSeenSlots) {
        std::vector<std::uint64_t> larger(std::clamp<size_t>(m_seen.size() * 4, 256, kSeenSlots));
        for (const std::uint64_t k : m_seen)
            if (k != 0) larger[size_t(k) & (larger.size() - 1)] = k;
        m_seen.swap(larger);
    }
    std::uint64_t& slot = m_seen[size_t(key) & (m_seen.size() - 1)];
    if (slot == key) return true;
    slot = key;
    return false;
}

void StrokeRaster::addSegment(QPointF a, QPointF b)
{
    ++m_work.segments;
    if (m_area.isEmpty()) return;
    // Only the part within reach of the area can cover it: every pixel the capsule covers there
    // has its nearest point of the segment within that reach, so clipping changes nothing the
    // area shows, and keeps every figure below within a small range of the area.
    const double outer = m_radius + 0.5;
    const double reach = outer + 1;
    const QRectF box = QRectF(m_area).adjusted(-reach, -reach, reach, reach);
    if (!clip(a, b, box)) return;

    // Pixel rows whose centres lie within `outer` of the segment's heights.
    const int top = pixelWithin(std::ceil(std::min(a.y(), b.y()) - outer - 0.5), m_area.top(),
                                m_area.bottom() + 1);
    const int bottom = pixelWithin(std::floor(std::max(a.y(), b.y()) + outer - 0.5),
                                   m_area.top() - 1, m_area.bottom());
    if (top > bottom) return;
    if (m_area.top() + nextOpenRow((top - m_area.top()) / tileSize) * tileSize > bottom) return;
    if (seenBefore(a, b)) {
        ++m_work.repeats;
        return;
    }
    const Capsule c(a, b);
    std::array<RowSpan, tileSize> spans;
    for (int ty = nextOpenRow((top - m_area.top()) / tileSize); ty < m_tilesY;
         ty = nextOpenRow(ty + 1)) {
        const int tileTop = m_area.top() + ty * tileSize;
        if (tileTop > bottom) break;
        const int rowTop = std::max(top, tileTop);
        const int rowBottom = std::min(bottom, tileTop + tileSize - 1);
        // The columns these rows can reach: within `outer` of the segment's part within
        // `outer` of their heights.
        double x0, x1;
        c.across(rowTop + 0.5 - outer, rowBottom + 0.5 + outer, x0, x1);
        const int from = pixelWithin(std::floor(x0 - outer), m_area.left(), m_area.right() + 1);
        const int to = pixelWithin(std::floor(x1 + outer), m_area.left() - 1, m_area.right());
        if (from > to) continue;
        spans.fill(RowSpan{});
        const int tileTo = (to - m_area.left()) / tileSize;
        for (int tx = nextOpenTile(ty, (from - m_area.left()) / tileSize); tx <= tileTo;
             tx = nextOpenTile(ty, tx + 1)) {
            ++m_work.tiles;
            if (reaches(c, tx, ty)) addTile(c, tx, ty, rowTop, rowBottom, spans.data());
        }
    }
}

bool StrokeRaster::reaches(const Capsule& c, int tileX, int tileY)
{
    // Whether the capsule can reach a pixel of the tile still open: the open pixels' bounds are
    // brought up to date (at most once for each pixel that became full), and the capsule tested
    // against the circle around them.
    Tile& t = tile(tileX, tileY);
    const int left = m_area.left() + tileX * tileSize;
    const int top = m_area.top() + tileY * tileSize;
    if (t.stale) {
        t.stale = false;
        int x0 = tileSize, y0 = tileSize, x1 = -1, y1 = -1;
        for (int y = t.y0; y <= t.y1; ++y) {
            const std::uint8_t* row = m_coverage.data() +
                                      size_t(top - m_area.top() + y) * size_t(m_area.width()) +
                                      size_t(left - m_area.left());
            for (int x = t.x0; x <= t.x1; ++x) {
                if (row[x] == 255) continue;
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
        if (x1 < 0) return false; // cannot happen: a tile with none open is skipped
        t.x0 = std::uint8_t(x0);
        t.y0 = std::uint8_t(y0);
        t.x1 = std::uint8_t(x1);
        t.y1 = std::uint8_t(y1);
    }
    // Pixel centres of the open part: a circle of radius h around (cx, cy) holds them.
    const double cx = left + (t.x0 + t.x1 + 1) / 2.0;
    const double cy = top + (t.y0 + t.y1 + 1) / 2.0;
    const double w = t.x1 - t.x0, hgt = t.y1 - t.y0;
    const double h = std::sqrt(w * w + hgt * hgt) / 2;
    return c.distance(cx, cy) < m_radius + 0.5 + h;
}

void StrokeRaster::addTile(const Capsule& c, int tileX, int tileY, int top, int bottom,
                           RowSpan* spans)
{
    const double outer = m_radius + 0.5;
    const double inner = m_radius - 0.5;
    const int tileLeft = m_area.left() + tileX * tileSize;
    const int tileRight = std::min(m_area.right(), tileLeft + tileSize - 1);
    const int tileTop = m_area.top() + tileY * tileSize;
    for (int y = top; y <= bottom; ++y) {
        RowSpan& s = spans[y - tileTop];
        const double yc = y + 0.5;
        if (!s.known) {
            s.known = true;
            ++m_work.rows;
            double x0, x1;
            if (c.span(yc, outer, x0, x1)) {
                s.first = pixelWithin(std::ceil(x0 - 0.5), m_area.left(), m_area.right() + 1);
                s.last = pixelWithin(std::floor(x1 - 0.5), m_area.left() - 1, m_area.right());
                if (inner > 0 && c.span(yc, inner, x0, x1)) {
                    s.fullFirst =
                        pixelWithin(std::ceil(x0 - 0.5), m_area.left(), m_area.right() + 1);
                    s.fullLast =
                        pixelWithin(std::floor(x1 - 0.5), m_area.left() - 1, m_area.right());
                }
            }
        }
        const int from = std::max(s.first, tileLeft);
        const int to = std::min(s.last, tileRight);
        if (from > to) continue;
        // Indexed from the area's left edge: a row pointer moved to device x = 0 could lie
        // outside the coverage (an area left of x = 0, or far right of it).
        const std::uint8_t* row =
            m_coverage.data() + size_t(y - m_area.top()) * size_t(m_area.width());
        for (int x = from; x <= to; ++x) {
            ++m_work.pixels;
            if (row[x - m_area.left()] == 255) continue;
            if (x >= s.fullFirst && x <= s.fullLast) {
                cover(x, y, 255, 0, 0);
                continue;
            }
            // The share of the pixel that a band of the line's width covers at this distance
            // from its centre line (½ + min(r − d, ½), as r ≥ ½), and the edge's outward normal.
            double ex, ey;
            const double distance = c.distance(x + 0.5, yc, ex, ey);
            const double share = std::clamp(outer - distance, 0.0, 1.0);
            const auto level = std::uint8_t(share * 255 + 0.5);
            if (level == 0) continue;
            const double unit = distance > 0 ? 127 / distance : 0;
            cover(x, y, level, std::int8_t(std::lround(ex * unit)),
                  std::int8_t(std::lround(ey * unit)));
        }
    }
}

QImage StrokeRaster::picture(const QColor& color, QRect part) const
{
    part &= m_area;
    if (part.isEmpty()) return {};
    QImage image(part.size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return image;
    const QRgb premultiplied = qPremultiply(color.rgba());
    std::array<QRgb, 256> levels{};
    for (int c = 0; c < 256; ++c) {
        const auto scaled = [c](int channel) { return (channel * c + 127) / 255; };
        levels[size_t(c)] = qRgba(scaled(qRed(premultiplied)), scaled(qGreen(premultiplied)),
                                  scaled(qBlue(premultiplied)), scaled(qAlpha(premultiplied)));
    }
    for (int y = 0; y < part.height(); ++y) {
        const std::uint8_t* from = m_coverage.data() +
                                   size_t(part.top() - m_area.top() + y) * size_t(m_area.width()) +
                                   size_t(part.left() - m_area.left());
        auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < part.width(); ++x)
            to[x] = levels[from[x]];
    }
    return image;
}

} // namespace snapkin
