#include "platform/PngEncoder.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <png.h>

using snapkin::platform::PngEncoder;

namespace {

// Flat panels, antialiased shapes, a gradient and a noisy block: every row filter gets chosen
// somewhere, and the image is large enough to be split into several bands.
QImage variedImage(int width, int height, bool translucent)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(translucent ? QColor(30, 60, 90, 0) : QColor(236, 238, 241));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRect(0, 0, width, height / 8), QColor(43, 45, 49));
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(255, 0, 80, translucent ? 120 : 255));
    gradient.setColorAt(1, QColor(0, 120, 255));
    p.setBrush(gradient);
    p.setPen(QPen(Qt::black, 3));
    p.drawEllipse(QRectF(width * 0.1, height * 0.2, width * 0.5, height * 0.5));
    p.end();
    QRandomGenerator rng(7);
    for (int y = height / 2; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = width / 2; x < width; ++x) {
            const int a = translucent ? int(rng.bounded(256)) : 255;
            row[x] = qPremultiply(qRgba(int(rng.bounded(256)), x % 256, y % 256, a));
        }
    }
    return image;
}

// Decodes with libpng's own reader, which checks every chunk's CRC and the zlib checksum.
QImage decodeWithLibpng(const QByteArray& data)
{
    png_image decoded{};
    decoded.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&decoded, data.constData(), size_t(data.size())))
        return {};
    decoded.format = PNG_FORMAT_BGRA; // QImage::Format_ARGB32 in memory on little-endian
    QImage image(int(decoded.width), int(decoded.height), QImage::Format_ARGB32);
    if (!png_image_finish_read(&decoded, nullptr, image.bits(), int(image.bytesPerLine()),
                               nullptr)) {
        png_image_free(&decoded);
        return {};
    }
    return image;
}

// Straight (not premultiplied) colours, each rounded to nearest. Qt's own bulk conversion
// rounds some channels down, so it cannot serve as the reference.
QImage straight(const QImage& premultiplied)
{
    QImage out(premultiplied.size(), QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            out.setPixel(x, y, qUnpremultiply(premultiplied.pixel(x, y)));
    return out;
}

int colorType(const QByteArray& png)
{
    return png.size() > 25 ? int(png[25]) : -1;
}

} // namespace

TEST(PngEncoder, RoundTripsExactlyThroughLibpngAndQt)
{
    for (bool translucent : {false, true}) {
        SCOPED_TRACE(translucent ? "translucent" : "opaque");
        // 1600 x 1000 is several bands; 7 x 3 and 1 x 1 are a single band with odd widths.
        for (QSize size : {QSize(1600, 1000), QSize(7, 3), QSize(1, 1)}) {
            const QImage source = variedImage(size.width(), size.height(), translucent);
            const auto png = PngEncoder::encode(source);
            ASSERT_TRUE(png.has_value());
            const QImage expected = straight(source);

            const QImage viaLibpng = decodeWithLibpng(*png);
            ASSERT_EQ(viaLibpng.size(), size);
            EXPECT_TRUE(viaLibpng == expected);

            QImage viaQt;
            ASSERT_TRUE(viaQt.loadFromData(*png, "png"));
            ASSERT_EQ(viaQt.format(), translucent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
            EXPECT_TRUE(viaQt.convertToFormat(QImage::Format_ARGB32) == expected);
        }
    }
}

TEST(PngEncoder, SameBytesOnOneThreadAsOnAllCores)
{
    const QImage source = variedImage(1200, 900, false);
    PngEncoder::Options serial;
    serial.useAllCores = false;
    EXPECT_EQ(*PngEncoder::encode(source, serial), *PngEncoder::encode(source));
}

TEST(PngEncoder, EveryCompressionLevelMakesAValidStream)
{
    const QImage source = variedImage(900, 600, true); // several bands
    const QImage expected = straight(source);
    qsizetype stored = 0, best = 0;
    for (int level : {0, 1, 3, 6, 9}) {
        SCOPED_TRACE(level);
        PngEncoder::Options options;
        options.compressionLevel = level;
        const auto png = PngEncoder::encode(source, options);
        ASSERT_TRUE(png.has_value());
        EXPECT_TRUE(decodeWithLibpng(*png) == expected);
        if (level == 0) stored = png->size();
        if (level == 9) best = png->size();
    }
    EXPECT_LT(best, stored / 2);
}

TEST(PngEncoder, WritesRgbForOpaqueImagesAndRgbaOtherwise)
{
    QImage opaque(40, 20, QImage::Format_ARGB32_Premultiplied);
    opaque.fill(QColor(10, 20, 30));
    EXPECT_EQ(colorType(*PngEncoder::encode(opaque)), 2);

    QImage oneClearPixel = opaque;
    oneClearPixel.setPixel(39, 19, 0);
    EXPECT_EQ(colorType(*PngEncoder::encode(oneClearPixel)), 6);

    // A fully transparent pixel keeps alpha 0 and no stray colour.
    QImage back;
    ASSERT_TRUE(back.loadFromData(*PngEncoder::encode(oneClearPixel)));
    EXPECT_EQ(back.pixel(39, 19), 0u);
}

TEST(PngEncoder, StraightAlphaInputKeepsTheColourOfFaintPixels)
{
    QImage straightImage(3, 1, QImage::Format_ARGB32);
    straightImage.setPixel(0, 0, qRgba(200, 100, 50, 1));
    straightImage.setPixel(1, 0, qRgba(10, 20, 30, 254));
    straightImage.setPixel(2, 0, qRgba(0, 0, 0, 0));
    EXPECT_TRUE(decodeWithLibpng(*PngEncoder::encode(straightImage)) == straightImage);

    // Other layouts go through the nearest 32-bit one.
    const QImage wide = straightImage.convertToFormat(QImage::Format_RGBA64);
    EXPECT_TRUE(decodeWithLibpng(*PngEncoder::encode(wide)) == straightImage);
    QImage gray(5, 2, QImage::Format_Grayscale8);
    gray.fill(77);
    const auto grayPng = PngEncoder::encode(gray);
    EXPECT_EQ(colorType(*grayPng), 2);
    EXPECT_EQ(decodeWithLibpng(*grayPng).pixel(4, 1), qRgb(77, 77, 77));
}

TEST(PngEncoder, RecordsResolution)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::white);
    PngEncoder::Options options;
    options.dpi = 144;
    QImage back;
    ASSERT_TRUE(back.loadFromData(*PngEncoder::encode(image, options)));
    EXPECT_EQ(back.dotsPerMeterX(), 5669); // 144 / 0.0254, rounded
    EXPECT_EQ(back.dotsPerMeterY(), 5669);
}

TEST(PngEncoder, CompressesFlatContentAndRefusesNullImages)
{
    QImage flat(2000, 1000, QImage::Format_RGB32);
    flat.fill(QColor(236, 238, 241));
    const auto png = PngEncoder::encode(flat);
    ASSERT_TRUE(png.has_value());
    EXPECT_LT(png->size(), 60'000); // under 1 % of its 6 MB of samples, even in bands

    EXPECT_FALSE(PngEncoder::encode(QImage()).has_value());
}
