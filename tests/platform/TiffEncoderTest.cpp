#include "platform/TiffEncoder.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <tiffio.h>

using snapkin::platform::TiffEncoder;

namespace {

struct Decoded {
    std::uint32_t width = 0, height = 0;
    std::uint16_t samples = 0, extraType = 0, unit = 0;
    float xResolution = 0;
    std::vector<std::vector<std::uint8_t>> rows;
};

// Reads the file back with libtiff itself, sample by sample.
Decoded decode(const QByteArray& tiff)
{
    Decoded d;
    QTemporaryDir dir;
    const QString path = dir.filePath("image.tiff");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(tiff) != tiff.size()) return d;
    file.close();
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.toLocal8Bit().constData(), "r"),
                                               TIFFClose);
    if (!tif) return d;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &d.width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &d.height);
    TIFFGetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &d.samples);
    TIFFGetField(tif.get(), TIFFTAG_XRESOLUTION, &d.xResolution);
    TIFFGetField(tif.get(), TIFFTAG_RESOLUTIONUNIT, &d.unit);
    std::uint16_t extraCount = 0;
    std::uint16_t* extra = nullptr;
    if (TIFFGetField(tif.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount == 1)
        d.extraType = extra[0];
    for (std::uint32_t y = 0; y < d.height; ++y) {
        std::vector<std::uint8_t> row(size_t(TIFFScanlineSize(tif.get())));
        if (TIFFReadScanline(tif.get(), row.data(), y, 0) != 1) return Decoded{};
        d.rows.push_back(std::move(row));
    }
    return d;
}

} // namespace

TEST(TiffEncoder, WritesStraightAlphaOnlyWhenNeeded)
{
    QImage image(33, 17, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(200, 100, 50));
    Decoded opaque = decode(*TiffEncoder::encode(image, 144));
    EXPECT_EQ(opaque.width, 33u);
    EXPECT_EQ(opaque.height, 17u);
    EXPECT_EQ(opaque.samples, 3);
    EXPECT_FLOAT_EQ(opaque.xResolution, 144.0f);
    EXPECT_EQ(opaque.unit, RESUNIT_INCH);
    ASSERT_EQ(opaque.rows.size(), 17u);
    EXPECT_EQ(opaque.rows[16][32 * 3 + 0], 200);
    EXPECT_EQ(opaque.rows[16][32 * 3 + 2], 50);

    image.setPixel(1, 2, qPremultiply(qRgba(255, 0, 0, 128)));
    image.setPixel(2, 2, 0);
    Decoded clear = decode(*TiffEncoder::encode(image));
    ASSERT_EQ(clear.samples, 4);
    EXPECT_EQ(clear.extraType, EXTRASAMPLE_UNASSALPHA);
    ASSERT_EQ(clear.rows.size(), 17u);
    const std::uint8_t* half = &clear.rows[2][1 * 4];
    EXPECT_EQ(half[0], 255); // not darkened by the alpha
    EXPECT_EQ(half[1], 0);
    EXPECT_EQ(half[3], 128);
    const std::uint8_t* none = &clear.rows[2][2 * 4];
    EXPECT_EQ(none[3], 0);

    // Straight alpha input is written as it is, faint colours included.
    QImage straight(1, 1, QImage::Format_ARGB32);
    straight.setPixel(0, 0, qRgba(200, 100, 50, 1));
    Decoded faint = decode(*TiffEncoder::encode(straight));
    ASSERT_EQ(faint.rows.size(), 1u);
    EXPECT_EQ(faint.rows[0], (std::vector<std::uint8_t>{200, 100, 50, 1}));
}

TEST(TiffEncoder, QtReadsTheSamePixels)
{
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y, qRgb(x * 4, y * 5, (x ^ y) * 3));
    QImage back;
    ASSERT_TRUE(back.loadFromData(*TiffEncoder::encode(image), "tiff"));
    EXPECT_TRUE(back.convertToFormat(QImage::Format_RGB32) ==
                image.convertToFormat(QImage::Format_RGB32));
    EXPECT_FALSE(TiffEncoder::encode(QImage()).has_value());
}
