#include "platform/GifEncoder.h"
#include "platform/ColorQuantizer.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QSet>
#include <gtest/gtest.h>

#include <cmath>

using snapkin::platform::ColorQuantizer;
using snapkin::platform::GifEncoder;

namespace {

// An interface capture: panels, a button, antialiased text and a transparent margin, with fewer
// than 255 colours.
QImage interfaceCapture()
{
    QImage image(240, 120, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.fillRect(QRect(10, 10, 220, 100), QColor(236, 238, 241));
    p.fillRect(QRect(10, 10, 220, 20), QColor(43, 45, 49));
    p.fillRect(QRect(20, 60, 80, 30), QColor(61, 126, 255));
    p.setPen(QColor(30, 30, 30));
    p.setFont(QFont("DejaVu Sans", 11));
    p.drawText(QPointF(110, 80), "Save");
    p.end();
    return image;
}

// Smooth colour fields with grain: thousands of colours.
QImage photo()
{
    QImage image(320, 200, QImage::Format_RGB32);
    QRandomGenerator rng(11);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int grain = int(rng.bounded(9)) - 4;
            image.setPixel(x, y,
                           qRgb(std::clamp(x * 255 / 320 + grain, 0, 255),
                                std::clamp(y * 255 / 200 + grain, 0, 255),
                                std::clamp(128 + int(60 * std::sin(x / 20.0)) + grain, 0, 255)));
        }
    }
    return image;
}

QSet<QRgb> colorsOf(const QImage& image)
{
    QSet<QRgb> colors;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colors.insert(image.pixel(x, y));
    return colors;
}

} // namespace

TEST(GifEncoder, InterfaceCaptureKeepsExactColoursAndTransparency)
{
    const QImage source = interfaceCapture();
    const auto gif = GifEncoder::encode(source);
    ASSERT_TRUE(gif.has_value());
    QImage back;
    ASSERT_TRUE(back.loadFromData(*gif, "gif"));
    ASSERT_EQ(back.size(), source.size());
    back = back.convertToFormat(QImage::Format_ARGB32);
    int mismatches = 0;
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            const QRgb s = source.pixel(x, y);
            const QRgb b = back.pixel(x, y);
            if (qAlpha(s) < 128 ? qAlpha(b) != 0 : b != (0xff000000u | qUnpremultiply(s)))
                ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(GifEncoder, PhotoStaysRecognisable)
{
    const QImage source = photo();
    ASSERT_GT(colorsOf(source).size(), 256);
    const auto gif = GifEncoder::encode(source);
    ASSERT_TRUE(gif.has_value());
    QImage back;
    ASSERT_TRUE(back.loadFromData(*gif, "gif"));
    ASSERT_EQ(back.size(), source.size());
    double error = 0;
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            const QRgb s = source.pixel(x, y);
            const QRgb b = back.pixel(x, y);
            error += std::abs(qRed(s) - qRed(b)) + std::abs(qGreen(s) - qGreen(b)) +
                     std::abs(qBlue(s) - qBlue(b));
        }
    }
    const double meanPerChannel = error / (3.0 * source.width() * source.height());
    EXPECT_LT(meanPerChannel, 6.0);
    EXPECT_GT(colorsOf(back).size(), 200); // the palette is used, not collapsed
}

TEST(GifEncoder, RefusesSidesBeyondTheFormat)
{
    EXPECT_FALSE(GifEncoder::encode(QImage()).has_value());
    QImage wide(65536, 1, QImage::Format_RGB32);
    wide.fill(Qt::white);
    EXPECT_FALSE(GifEncoder::encode(wide).has_value());
    QImage widest(65535, 1, QImage::Format_RGB32);
    widest.fill(Qt::white);
    EXPECT_TRUE(GifEncoder::encode(widest).has_value());
}

TEST(ColorQuantizer, ExactUpTo256ColoursCountingTheTransparentEntry)
{
    QImage image(256, 2, QImage::Format_ARGB32_Premultiplied);
    for (int x = 0; x < 256; ++x) {
        image.setPixel(x, 0, qRgb(x, 255 - x, x / 2));
        image.setPixel(x, 1, qRgb(x, 255 - x, x / 2));
    }
    const auto full = ColorQuantizer::quantize(image);
    EXPECT_TRUE(full.exact);
    EXPECT_EQ(full.palette.size(), 256);
    EXPECT_EQ(full.transparentIndex, -1);

    // One transparent pixel needs a slot: 256 colours no longer fit exactly.
    image.setPixel(0, 1, 0);
    const auto withClear = ColorQuantizer::quantize(image);
    EXPECT_FALSE(withClear.exact);
    EXPECT_LE(withClear.palette.size(), 256);
    ASSERT_GE(withClear.transparentIndex, 0);
    EXPECT_EQ(withClear.indices[256], withClear.transparentIndex);
    EXPECT_EQ(withClear.palette[withClear.transparentIndex], 0u);
    for (size_t i = 0; i < withClear.indices.size(); ++i) {
        if (i != 256) {
            EXPECT_NE(withClear.indices[i], withClear.transparentIndex) << i;
        }
    }
}

TEST(ColorQuantizer, HalfOpaquePixelsCountAsOpaqueInTheirStraightColour)
{
    QImage image(2, 1, QImage::Format_ARGB32_Premultiplied);
    image.setPixel(0, 0, qPremultiply(qRgba(255, 0, 0, 128)));
    image.setPixel(1, 0, qPremultiply(qRgba(0, 255, 0, 127)));
    const auto result = ColorQuantizer::quantize(image);
    ASSERT_TRUE(result.exact);
    EXPECT_EQ(result.palette[result.indices[0]], qRgb(255, 0, 0));
    EXPECT_EQ(result.indices[1], result.transparentIndex);
}
