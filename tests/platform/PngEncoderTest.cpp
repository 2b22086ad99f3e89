#include "platform/PngEncoder.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include <vector>

using snapkin::platform::BaseImage;
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

// The chunks of a PNG of the given type, their data joined.
QByteArray chunkData(const QByteArray& png, const char* type)
{
    QByteArray joined;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const auto* p = reinterpret_cast<const uchar*>(png.constData() + at);
        const qsizetype length = (qsizetype(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
        if (png.mid(at + 4, 4) == type) joined += png.mid(at + 8, length);
        at += 12 + length;
    }
    return joined;
}

// The filter byte of every row of an RGB or RGBA PNG.
std::vector<int> rowFilters(const QByteArray& png, int width, int height, int bytesPerPixel)
{
    const QByteArray stream = chunkData(png, "IDAT");
    const qsizetype rowBytes = qsizetype(width) * bytesPerPixel + 1;
    QByteArray raw(rowBytes * height, 0);
    uLongf rawSize = uLongf(raw.size());
    if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize,
                   reinterpret_cast<const Bytef*>(stream.constData()),
                   uLong(stream.size())) != Z_OK)
        return {};
    std::vector<int> filters;
    for (int y = 0; y < height; ++y)
        filters.push_back(int(raw[y * rowBytes]));
    return filters;
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
            EXPECT_EQ(viaQt.hasAlphaChannel(), translucent);
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
    for (int level : {0, 1, 3, 6, 9, 12}) {
        SCOPED_TRACE(level);
        PngEncoder::Options options;
        options.compressionLevel = level;
        const auto png = PngEncoder::encode(source, options);
        ASSERT_TRUE(png.has_value());
        EXPECT_TRUE(decodeWithLibpng(*png) == expected);
        if (level == 0) stored = png->size();
        if (level == 12) best = png->size();
    }
    EXPECT_LT(best, stored / 2);
}

TEST(PngEncoder, WritesAPaletteForFewColoursRgbForManyAndRgbaForTranslucentImages)
{
    // 256 colours fit a palette, 257 do not; either way the pixels come back exactly.
    QImage opaque(257, 3, QImage::Format_ARGB32_Premultiplied);
    for (int x = 0; x < 257; ++x) {
        opaque.setPixel(x, 0, qRgb(x % 256, 255 - x % 256, (x * 7) % 256));
        opaque.setPixel(x, 1, qRgb(0, 0, 0));
        opaque.setPixel(x, 2, qRgb(x % 256, 255 - x % 256, (x * 7) % 256));
    }
    QImage fewColours = opaque.copy(0, 0, 255, 3); // 255 colours and black
    EXPECT_EQ(colorType(*PngEncoder::encode(fewColours)), 3);
    EXPECT_TRUE(decodeWithLibpng(*PngEncoder::encode(fewColours)) ==
                fewColours.convertToFormat(QImage::Format_ARGB32));
    opaque.setPixel(256, 0, qRgb(1, 2, 3)); // the 257th colour
    EXPECT_EQ(colorType(*PngEncoder::encode(opaque)), 2);
    EXPECT_TRUE(decodeWithLibpng(*PngEncoder::encode(opaque)) ==
                opaque.convertToFormat(QImage::Format_ARGB32));
    PngEncoder::Options noPalette;
    noPalette.allowPalette = false;
    EXPECT_EQ(colorType(*PngEncoder::encode(fewColours, noPalette)), 2);

    opaque.fill(QColor(10, 20, 30));
    QImage oneClearPixel = opaque;
    oneClearPixel.setPixel(39, 2, 0);
    EXPECT_EQ(colorType(*PngEncoder::encode(oneClearPixel)), 6);

    // A fully transparent pixel keeps alpha 0 and no stray colour.
    QImage back;
    ASSERT_TRUE(back.loadFromData(*PngEncoder::encode(oneClearPixel)));
    EXPECT_EQ(back.pixel(39, 2), 0u);
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
    EXPECT_NE(colorType(*grayPng), 6);
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

TEST(PngEncoder, FiltersEveryRowOfSmoothContent)
{
    // A soft gradient with grain, as in a photo: unfiltered rows would cost far more.
    QImage photo(640, 120, QImage::Format_RGB32);
    QRandomGenerator rng(3);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x / 3 + int(rng.bounded(4)), 80 + y, 200 - x / 4));
    const auto png = PngEncoder::encode(photo);
    ASSERT_TRUE(png.has_value());
    ASSERT_EQ(colorType(*png), 2);
    const std::vector<int> filters = rowFilters(*png, photo.width(), photo.height(), 3);
    ASSERT_EQ(filters.size(), size_t(photo.height()));
    EXPECT_EQ(std::count(filters.begin(), filters.end(), 0), 0);
    EXPECT_TRUE(decodeWithLibpng(*png) == photo.convertToFormat(QImage::Format_ARGB32));
}

// The row filters work on whole vectors of samples with a scalar rest: every width up to a few
// vectors' worth, and both sample sizes, must come back exactly.
TEST(PngEncoder, RoundTripsEveryWidthOfGrainyContent)
{
    QRandomGenerator rng(11);
    for (bool translucent : {false, true}) {
        for (int width = 1; width <= 70; ++width) {
            SCOPED_TRACE(QStringLiteral("%1 px, %2").arg(width).arg(translucent).toStdString());
            QImage image(width, 5, QImage::Format_ARGB32);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < width; ++x)
                    image.setPixel(x, y,
                                   qRgba(int(rng.bounded(256)), (x * 9 + y * 5) % 256,
                                         128 + int(rng.bounded(3)),
                                         translucent ? int(rng.bounded(256)) : 255));
            PngEncoder::Options colour; // a small image has too few colours otherwise
            colour.allowPalette = false;
            const auto png = PngEncoder::encode(image, colour);
            ASSERT_TRUE(png.has_value());
            ASSERT_EQ(colorType(*png), translucent ? 6 : 2);
            EXPECT_TRUE(decodeWithLibpng(*png) == image);
        }
    }
}

// Photographic rows (few zero residuals) are deflated at the faster level 4, which costs them
// under 1 %; rows of text and flat panels keep level 5, which finds their repeats.
TEST(PngEncoder, ChoosesTheDeflateLevelByContent)
{
    QImage photo(1600, 900, QImage::Format_RGB32); // several bands
    QRandomGenerator rng(5);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y,
                           qRgb(x / 7 + int(rng.bounded(9)), (y / 4 + int(rng.bounded(9))) % 256,
                                int(rng.bounded(9)) + 90));
    PngEncoder::Options level4, level5;
    level4.compressionLevel = 4;
    level5.compressionLevel = 5;
    const auto png = PngEncoder::encode(photo);
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(*png, *PngEncoder::encode(photo, level4));
    EXPECT_LT(double(png->size()), 1.01 * double(PngEncoder::encode(photo, level5)->size()));
    EXPECT_TRUE(decodeWithLibpng(*png) == photo.convertToFormat(QImage::Format_ARGB32));

    const QImage page = variedImage(1600, 900, false);
    EXPECT_EQ(*PngEncoder::encode(page), *PngEncoder::encode(page, level5));
}

TEST(PngEncoder, ABaseImageIsCompressedOnceForEveryResolution)
{
    const BaseImage capture(variedImage(1200, 700, false));
    const std::uint64_t before = PngEncoder::compressions();
    const auto first = PngEncoder::encode(capture);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(*first, *PngEncoder::encode(capture.image()));
    EXPECT_EQ(*PngEncoder::encode(capture), *first);
    PngEncoder::Options retina;
    retina.dpi = 144;
    const auto sharp = PngEncoder::encode(capture, retina);
    ASSERT_TRUE(sharp.has_value());
    EXPECT_NE(*sharp, *first); // another resolution chunk, the same pixels
    EXPECT_EQ(chunkData(*sharp, "IDAT"), chunkData(*first, "IDAT"));
    // One compression for the three encodings of the base image, one for the plain image.
    EXPECT_EQ(PngEncoder::compressions() - before, 2u);

    // The same pixels in a new base image are another image to the cache: compressed anew.
    const BaseImage again(capture.image());
    EXPECT_EQ(*PngEncoder::encode(again), *first);
    EXPECT_EQ(PngEncoder::compressions() - before, 3u);
}
