#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRect>

#include <cstdint>
#include <vector>

namespace snapkin {

// The coverage of a line with round caps and joins over a rectangle of device pixels, built
// one segment at a time, in a time that grows with the pixels a segment newly reaches rather
// than with how often the line crosses itself.
//
// Such a line is the union of its segments' capsules (every point within the radius of a
// segment), so each pixel keeps the largest coverage any segment gives it: overlaps never
// darken, whatever the order and however the segments are grouped, exactly as when the line is
// filled as one outline. A pixel's coverage is the share of its square that a straight band of
// the line's width through its centre covers, at its distance from the nearest segment: the
// area a painter's antialiasing finds along straight edges, within a few levels elsewhere.
//
// What keeps a line that crosses itself a million times cheap: the area is cut into tiles, and
// a tile whose every pixel is fully covered is skipped (as is a row of such tiles) by every
// later segment, found in near-constant time; a segment repeated exactly (among the last some
// thousands) is skipped whole.
//
// Coordinates: device pixels, pixel (x, y) the square from (x, y) to (x + 1, y + 1). Not
// thread-safe; one per drawing.
class StrokeRaster {
public:
    static constexpr int tileSize = 8;

    // `area` in device pixels (may be empty); `radius` is half the line's width in device
    // pixels: a thinner line than one pixel is drawn one pixel wide, as a painter draws it.
    StrokeRaster(QRect area, double radius);

    // Starts again over `area`, keeping the line's radius and the memory already taken.
    void reset(QRect area);

    // Adds the capsule around the segment from `a` to `b` (a disc when they coincide).
    // Segments with coordinates that are not finite are left out.
    void addSegment(QPointF a, QPointF b);

    // Cuts the segment from `a` to `b` to `box`; false when it misses it or is not finite. A cut
    // end is put on the box's edge exactly and its other coordinate found to a small fraction of a
    // unit while the ends lie within about 1e28 of each other (plain doubles would lose every
    // digit below 1e14 of a segment from −1e30 to 1e30), so the part kept lies on the segment,
    // within the box, however far away its ends lie.
    static bool clip(QPointF& a, QPointF& b, const QRectF& box);

    QRect area() const { return m_area; }
    // The pixels given some coverage; empty when none.
    QRect touched() const;
    // Coverage of a pixel of the area, 0 to 255.
    int coverage(int x, int y) const;
    // Whether a tile holds a pixel with some coverage; `tile` counts tiles from the area's
    // top-left corner.
    bool tileTouched(int tileX, int tileY) const;
    int tilesAcross() const { return m_tilesX; }
    int tilesDown() const { return m_tilesY; }

    // `color` (premultiplied) times each pixel's coverage, over the rectangle `part` of the
    // area, in device pixels.
    QImage picture(const QColor& color, QRect part) const;

    // What the segments added since construction cost, for tests and benchmarks.
    struct Work {
        qint64 segments = 0; // added
        qint64 repeats = 0;  // left out as the same as one added before
        qint64 tiles = 0;    // tiles a segment was checked against
        qint64 rows = 0;     // pixel rows whose span was worked out
        qint64 pixels = 0;   // pixels looked at
    };
    const Work& work() const { return m_work; }

private:
    struct Capsule;
    struct Tile {
        std::int16_t open = 0; // pixels not yet fully covered
        bool touched = false;  // some pixel has coverage
        bool stale = false;    // x0–y1 may hold pixels fully covered since
        // The pixels still open lie within columns x0–x1 and rows y0–y1 of the tile.
        std::uint8_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    };
    // A row's pixels that a segment reaches, and those it covers fully.
    struct RowSpan {
        bool known = false;
        int first = 1, last = 0, fullFirst = 1, fullLast = 0;
    };

    void addTile(const Capsule& capsule, int tileX, int tileY, int top, int bottom, RowSpan* spans);
    bool reaches(const Capsule& capsule, int tileX, int tileY);
    // Raises a pixel's coverage by a segment's `value`, whose edge there faces (nx, ny) (a unit
    // vector times 127); a full value needs none.
    void cover(int x, int y, std::uint8_t value, std::int8_t nx, std::int8_t ny);
    int nextOpenTile(int tileY, int tileX);
    int nextOpenRow(int tileY);
    bool seenBefore(QPointF a, QPointF b);
    Tile& tile(int tileX, int tileY)
    {
        return m_tiles[size_t(tileY) * size_t(m_tilesX) + size_t(tileX)];
    }

    QRect m_area;
    double m_radius;
    int m_tilesX = 0;
    int m_tilesY = 0;
    std::vector<std::uint8_t> m_coverage; // row by row over the area
    // Per pixel, the outward normal (x, y) of the edge its coverage came from.
    std::vector<std::int8_t> m_normals;
    std::vector<Tile> m_tiles;
    // The next tile at or after each that is not full, per tile row (one more entry each, past
    // the end); the next tile row at or after each with a tile not full, and how many it has.
    std::vector<std::int32_t> m_nextTile;
    std::vector<std::int32_t> m_nextRow;
    std::vector<std::int32_t> m_openInRow;
    // Keys of segments added, one slot per hash, the latest kept (zero: none), up to
    // kSeenSlots. A line that goes back and forth over the same points finds its segments here.
    static constexpr size_t kSeenSlots = 1 << 15;
    std::vector<std::uint64_t> m_seen;
    qsizetype m_seenLookups = 0;
    int m_left = 0, m_top = 0, m_right = -1, m_bottom = -1; // touched pixels
    Work m_work;
};

} // namespace snapkin
