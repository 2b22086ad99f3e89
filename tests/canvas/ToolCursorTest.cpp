#include "canvas/ToolCursor.h"
#include "model/Color.h"
#include "platform/Symbols.h"

#include "TestPaths.h"

#include <QPainter>
#include <gtest/gtest.h>

using snapkin::Color;
using snapkin::Tool;
using snapkin::ToolCursor;

namespace {

struct Counts {
    int dark = 0;
    int white = 0;
    int brand = 0;
};

Counts countInBadge(const QImage& image)
{
    Counts counts;
    const qreal dpr = image.devicePixelRatio();
    const QRect box(
        int(ToolCursor::badgeBox.x() * dpr) - 1, int(ToolCursor::badgeBox.y() * dpr) - 1,
        int(ToolCursor::badgeBox.width() * dpr) + 1, int(ToolCursor::badgeBox.height() * dpr) + 1);
    for (int y = box.top(); y <= box.bottom() && y < image.height(); ++y) {
        for (int x = box.left(); x <= box.right() && x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 200) continue;
            if (c.red() < 40 && c.green() < 40 && c.blue() < 40) ++counts.dark;
            if (c.red() > 220 && c.green() > 220 && c.blue() > 220) ++counts.white;
            if (c.red() > 230 && c.green() > 30 && c.green() < 80 && c.blue() > 80 &&
                c.blue() < 125)
                ++counts.brand;
        }
    }
    return counts;
}

} // namespace

TEST(ToolCursorCache, SameObjectForTheSameToolAndRatio)
{
    EXPECT_EQ(&ToolCursor::cursor(Tool::arrow, 1.0), &ToolCursor::cursor(Tool::arrow, 1.0));
    EXPECT_EQ(&ToolCursor::cursor(Tool::arrow, 2.0), &ToolCursor::cursor(Tool::arrow, 1.5));
    EXPECT_NE(&ToolCursor::cursor(Tool::arrow, 1.0), &ToolCursor::cursor(Tool::arrow, 2.0));
    EXPECT_NE(&ToolCursor::cursor(Tool::arrow, 1.0), &ToolCursor::cursor(Tool::pen, 1.0));
    EXPECT_EQ(&ToolCursor::capture(1.0), &ToolCursor::capture(1.0));
}

TEST(ToolCursorShape, EveryToolHasItsHotSpotAtTheCrossingAndAVisibleBadge)
{
    for (Tool tool : snapkin::allCases<Tool>) {
        for (qreal dpr : {1.0, 2.0}) {
            const QCursor& cursor = ToolCursor::cursor(tool, dpr);
            SCOPED_TRACE(qPrintable(QString("%1 @%2x").arg(snapkin::toRaw(tool)).arg(dpr)));
            EXPECT_EQ(cursor.hotSpot(), QPoint(10, 10));
            const QImage image = cursor.pixmap().toImage();
            EXPECT_EQ(image.size(), QSize(32, 32) * int(dpr));
            // The crossing of the two one-point black strokes lies under the hot spot.
            const QColor crossing = image.pixelColor(int(10 * dpr), int(10 * dpr));
            EXPECT_LT(crossing.lightness(), 60);
            EXPECT_GT(crossing.alpha(), 200);
            const Counts badge = countInBadge(image);
            EXPECT_GT(badge.dark, 8 * dpr * dpr) << "no visible silhouette";
            EXPECT_GT(badge.white, 6 * dpr) << "no white outline";
        }
    }
}

TEST(ToolCursorShape, EveryToolSymbolIsKnown)
{
    for (Tool tool : snapkin::allCases<Tool>) {
        EXPECT_TRUE(snapkin::platform::Symbols::path(snapkin::sfSymbol(tool)).has_value())
            << qPrintable(snapkin::sfSymbol(tool));
    }
}

TEST(ToolCursorShape, CaptureBadgeIsBrandColoured)
{
    const Counts badge = countInBadge(ToolCursor::capture(1.0).pixmap().toImage());
    EXPECT_GT(badge.brand, 10);
    EXPECT_GT(badge.white, 10);
}

TEST(ToolCursorShape, UnknownSymbolGivesTheCrosshairAlone)
{
    const QImage image = ToolCursor::image("no.such.symbol", Qt::black, 1.0);
    EXPECT_LT(image.pixelColor(10, 10).lightness(), 60);
    const Counts badge = countInBadge(image);
    EXPECT_EQ(badge.dark + badge.white, 0);
    EXPECT_TRUE(ToolCursor::badgeRect("no.such.symbol").isEmpty());
}

TEST(ToolCursorShape, BadgeTouchesTheBoxAndIsCentred)
{
    // "line.diagonal" is square, "textformat" wide, "cursorarrow" tall.
    for (const char* symbol : {"line.diagonal", "textformat", "cursorarrow", "rectangle"}) {
        SCOPED_TRACE(symbol);
        const QRectF badge = ToolCursor::badgeRect(symbol);
        EXPECT_NEAR(std::max(badge.width(), badge.height()), 14.0, 0.01);
        EXPECT_LE(badge.width(), 14.01);
        EXPECT_LE(badge.height(), 14.01);
        EXPECT_NEAR(badge.center().x(), 24.0, 0.01);
        EXPECT_NEAR(badge.center().y(), 24.0, 0.01);
    }
    EXPECT_NEAR(ToolCursor::badgeRect("rectangle").width(), 14.0, 0.01);
    EXPECT_LT(ToolCursor::badgeRect("rectangle").height(), 14.0);
    EXPECT_NEAR(ToolCursor::badgeRect("cursorarrow").height(), 14.0, 0.01);
}

// A sheet of every tool cursor on light and dark backgrounds, for a person to look at.
TEST(ToolCursorSheet, WritesSheetIntoTheBuildFolder)
{
    const auto tools = snapkin::allCases<Tool>;
    const int cell = 48;
    QImage sheet(int(tools.size() + 1) * cell * 2, cell * 2 * 2, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    sheet.setDevicePixelRatio(2);
    QPainter painter(&sheet);
    painter.fillRect(QRectF(0, cell, sheet.width() / 2.0, cell), QColor(30, 30, 30));
    for (int row = 0; row < 2; ++row) {
        int column = 0;
        for (Tool tool : tools) {
            painter.drawPixmap(QPointF(column * cell + 8, row * cell + 8),
                               ToolCursor::cursor(tool, 2.0).pixmap());
            ++column;
        }
        painter.drawPixmap(QPointF(column * cell + 8, row * cell + 8),
                           ToolCursor::capture(2.0).pixmap());
    }
    painter.end();
    const QString path = QString(SNAPKIN_BUILD_DIR) + "/tool-cursors.png";
    ASSERT_TRUE(sheet.save(path));
}
