#include "output/WatermarkView.h"

#include <QBuffer>
#include <QPainter>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

QByteArray pngOf(QSize size, QColor color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QImage draw(const Watermark& watermark, QSize canvas)
{
    QImage out(canvas, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::black);
    QPainter painter(&out);
    WatermarkView{watermark, QSizeF(canvas)}.paint(painter);
    return out;
}

Watermark logo(QByteArray bytes, WatermarkPosition position, double opacity = 1)
{
    Watermark w;
    w.kind = WatermarkKind::image;
    w.imageData = std::move(bytes);
    w.colorHex = QStringLiteral("#00FF00"); // not used for a logo
    w.position = position;
    w.opacity = opacity;
    w.size = 0.5;
    return w;
}

// Which quadrants of the canvas have any pixel that is not black.
std::array<bool, 4> markedQuadrants(const QImage& out)
{
    std::array<bool, 4> marked{};
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            if (out.pixel(x, y) != qRgb(0, 0, 0))
                marked[(y >= out.height() / 2 ? 2 : 0) + (x >= out.width() / 2 ? 1 : 0)] = true;
    return marked;
}

} // namespace

TEST(WatermarkDrawing, TextSitsAtItsPositionOnly)
{
    Watermark w;
    w.text = QStringLiteral("Snapkin");
    w.opacity = 1;
    const auto marked = markedQuadrants(draw(w, QSize(400, 200)));
    EXPECT_EQ(marked, (std::array<bool, 4>{false, false, false, true}));
}

TEST(WatermarkDrawing, LogoKeepsItsAspectIgnoresTheColourAndFollowsOpacity)
{
    // A 40 × 20 red logo at size 0.5 on 200 × 100: 50 × 25 points at the 4-point margin.
    const QByteArray red = pngOf(QSize(40, 20), Qt::red);
    const QImage full = draw(logo(red, WatermarkPosition::topLeft), QSize(200, 100));
    EXPECT_EQ(full.pixel(29, 16), qRgb(255, 0, 0));
    EXPECT_EQ(full.pixel(52, 27), qRgb(255, 0, 0));
    EXPECT_EQ(full.pixel(56, 16), qRgb(0, 0, 0));
    EXPECT_EQ(full.pixel(29, 31), qRgb(0, 0, 0));

    const QImage faint = draw(logo(red, WatermarkPosition::topLeft, 0.1), QSize(200, 100));
    EXPECT_NEAR(qRed(faint.pixel(29, 16)), 26, 3);
    EXPECT_EQ(qGreen(faint.pixel(29, 16)), 0);
}

TEST(WatermarkDrawing, NothingForUndecodableLogosOrEmptyCanvases)
{
    const QImage garbage =
        draw(logo(QByteArray("not an image"), WatermarkPosition::center), QSize(100, 100));
    EXPECT_EQ(markedQuadrants(garbage), (std::array<bool, 4>{}));

    Watermark text;
    text.text = QStringLiteral("Snapkin");
    QImage out(10, 10, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::black);
    QPainter painter(&out);
    WatermarkView{text, QSizeF(0, 10)}.paint(painter);
    painter.end();
    EXPECT_EQ(markedQuadrants(out), (std::array<bool, 4>{}));
}

TEST(WatermarkDrawing, TilesCoverTheCanvasEvenForAFlatLogo)
{
    Watermark text;
    text.text = QStringLiteral("Snapkin");
    text.position = WatermarkPosition::tile;
    text.opacity = 1;
    EXPECT_EQ(markedQuadrants(draw(text, QSize(400, 300))),
              (std::array<bool, 4>{true, true, true, true}));

    // One pixel high and 2000 wide: the pattern's steps are widened, not multiplied.
    const QImage flat =
        draw(logo(pngOf(QSize(2000, 1), Qt::white), WatermarkPosition::tile), QSize(400, 300));
    EXPECT_EQ(markedQuadrants(flat), (std::array<bool, 4>{true, true, true, true}));
}

TEST(WatermarkDrawing, LongTextWrapsWithinTheCanvasWidth)
{
    Watermark w;
    w.text = QStringLiteral("a watermark text that is much wider than this small canvas");
    QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    const WatermarkView view{w, QSizeF(160, 120)};
    const QSizeF size = view.textSize(&device);
    const QFontMetricsF metrics(view.font(&device), &device);
    EXPECT_LE(size.width(), 160);
    EXPECT_GT(size.height(), 1.5 * metrics.height());
    // A single unbroken word is broken too, rather than reaching past the canvas.
    w.text = QString(200, QLatin1Char('W'));
    EXPECT_LE((WatermarkView{w, QSizeF(160, 120)}.textSize(&device).width()), 160);
}
