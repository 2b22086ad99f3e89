#include "output/WatermarkLayout.h"

#include <gtest/gtest.h>

#include <set>

using namespace snapkin;

TEST(WatermarkPlacement, NinePositionsKeepTheMarginFromTheCanvasEdges)
{
    // 800 × 600 canvas: margin 0.04 × 600 = 24; a 120 × 30 item.
    const QSizeF canvas(800, 600);
    const QSizeF item(120, 30);
    const auto at = [&](WatermarkPosition p) {
        return WatermarkLayout::placedRect(p, canvas, item).topLeft();
    };
    EXPECT_EQ(at(WatermarkPosition::bottomRight), QPointF(656, 546));
    EXPECT_EQ(at(WatermarkPosition::center), QPointF(340, 285));
    EXPECT_EQ(at(WatermarkPosition::topLeft), QPointF(24, 24));
    EXPECT_EQ(at(WatermarkPosition::top), QPointF(340, 24));
    EXPECT_EQ(at(WatermarkPosition::right), QPointF(656, 285));
    EXPECT_EQ(at(WatermarkPosition::bottomLeft), QPointF(24, 546));
    EXPECT_EQ(WatermarkLayout::placedRect(WatermarkPosition::bottom, canvas, item).size(), item);
}

TEST(WatermarkSizing, FontAndLogoFollowTheShorterSide)
{
    EXPECT_DOUBLE_EQ(WatermarkLayout::fontSize(0.2, QSizeF(800, 600)), 30);
    // A tiny canvas still gets a legible 6-point font, not 2.5.
    EXPECT_DOUBLE_EQ(WatermarkLayout::fontSize(0.1, QSizeF(100, 100)), 6);
    // A wide logo at size 0.6 on 1000 × 500: its longer side is 0.6 × 500.
    const QSizeF logo = WatermarkLayout::logoSize(QSizeF(400, 100), 0.6, QSizeF(1000, 500));
    EXPECT_DOUBLE_EQ(logo.width(), 300);
    EXPECT_DOUBLE_EQ(logo.height(), 75);
    EXPECT_TRUE(WatermarkLayout::logoSize(QSizeF(0, 100), 0.6, QSizeF(1000, 500)).isEmpty());
}

TEST(WatermarkTile, BrickPatternOfTheWorkedExample)
{
    const auto tile = WatermarkLayout::tile(QSizeF(800, 600), QSizeF(120, 30));
    EXPECT_DOUBLE_EQ(tile.gap, 60);
    EXPECT_DOUBLE_EQ(tile.stepX, 180);
    EXPECT_DOUBLE_EQ(tile.stepY, 96);
    EXPECT_DOUBLE_EQ(tile.reach, 680);
    EXPECT_EQ(tile.rows, 15);
    EXPECT_EQ(tile.columnsEvenRow, 8);
    EXPECT_EQ(tile.columnsOddRow, 8);
    ASSERT_EQ(tile.centres.size(), 120u);
    // Row 0 starts at −R, row 1 half a step further right and one step lower.
    EXPECT_EQ(tile.centres[0], QPointF(-680, -680));
    EXPECT_EQ(tile.centres[8], QPointF(-590, -584));
    EXPECT_EQ(tile.centres.back().y(), -680 + 14 * 96);
}

TEST(WatermarkTile, CopiesStayBoundedForFlatLogosAndLongCanvases)
{
    // A logo a thousandth of a point high would otherwise need about a million rows.
    const auto flat = WatermarkLayout::tile(QSizeF(800, 600), QSizeF(120, 0.001));
    EXPECT_LE(flat.rows, WatermarkLayout::maxTileRows);
    EXPECT_LE(flat.centres.size(),
              size_t(WatermarkLayout::maxTileRows) * WatermarkLayout::maxTileColumns);
    EXPECT_GT(flat.rows, 1);

    // A long strip: the reach is half its diagonal, far beyond the item.
    const auto strip = WatermarkLayout::tile(QSizeF(100000, 100), QSizeF(20, 7));
    EXPECT_LE(strip.rows, WatermarkLayout::maxTileRows);
    EXPECT_LE(strip.columnsEvenRow, WatermarkLayout::maxTileColumns);
    EXPECT_LE(strip.columnsOddRow, WatermarkLayout::maxTileColumns);
    // Still a brick pattern that spans the whole reach.
    EXPECT_NEAR(strip.centres.front().x(), -strip.reach, 1e-6);
    std::set<double> rows;
    for (const QPointF& c : strip.centres)
        rows.insert(c.y());
    EXPECT_EQ(int(rows.size()), strip.rows);
}

TEST(WatermarkTile, NothingForEmptyOrNonFiniteSizes)
{
    EXPECT_TRUE(WatermarkLayout::tile(QSizeF(0, 600), QSizeF(10, 10)).centres.empty());
    EXPECT_TRUE(WatermarkLayout::tile(QSizeF(800, 600), QSizeF(10, 0)).centres.empty());
    EXPECT_TRUE(WatermarkLayout::tile(QSizeF(800, 600), QSizeF(qInf(), 10)).centres.empty());
}
