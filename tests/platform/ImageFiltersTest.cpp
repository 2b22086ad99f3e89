#include "platform/ImageFilters.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <cmath>

using snapkin::platform::ImageFilters;

namespace {

QImage filled(int w, int h, QRgb color)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

bool validPremultiplied(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int a = qAlpha(line[x]);
            if (qRed(line[x]) > a || qGreen(line[x]) > a || qBlue(line[x]) > a) return false;
        }
    }
    return true;
}

QImage randomTranslucent(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, rng.generate());
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

TEST(ImageFiltersBlur, UniformImageStaysUniformUpToTheEdges)
{
    // Edges repeat outwards, so even a radius far larger than the image keeps the colour.
    const QImage image = filled(90, 60, qRgba(40, 80, 120, 255));
    for (double radius : {1.0, 7.5, 500.0}) {
        const QImage out = ImageFilters::gaussianBlur(image, radius);
        ASSERT_EQ(out.size(), image.size());
        EXPECT_EQ(out.pixel(0, 0), image.pixel(0, 0)) << radius;
        EXPECT_EQ(out.pixel(89, 59), image.pixel(0, 0)) << radius;
        EXPECT_EQ(out.pixel(45, 30), image.pixel(0, 0)) << radius;
    }
}

TEST(ImageFiltersBlur, ImpulseSpreadsWithTheGivenStandardDeviation)
{
    // A bright line across a dark image: the blurred profile's variance is sigma².
    const int w = 401;
    QImage image = filled(w, 3, qRgba(0, 0, 0, 255));
    for (int y = 0; y < 3; ++y)
        image.setPixel(200, y, qRgba(255, 255, 255, 255));
    for (double sigma : {4.0, 12.0, 30.0}) {
        const QImage out = ImageFilters::gaussianBlur(image, sigma);
        double total = 0, moment = 0;
        for (int x = 0; x < w; ++x) {
            const double v = qRed(out.pixel(x, 1));
            total += v;
            moment += v * (x - 200) * (x - 200);
        }
        ASSERT_GT(total, 0);
        EXPECT_NEAR(std::sqrt(moment / total), sigma, sigma * 0.1 + 0.5) << sigma;
        EXPECT_NEAR(total, 255.0, 255.0 * 0.08) << sigma; // energy is kept (rounding aside)
        EXPECT_EQ(qRed(out.pixel(200 - 3, 1)), qRed(out.pixel(200 + 3, 1))) << sigma;
    }
}

TEST(ImageFiltersBlur, LargeImagesSplitAcrossThreadsBlurSeamlessly)
{
    // Content varying along one axis only must come out varying along that axis only; a
    // mistake at a band or range boundary would break the symmetry there.
    const int w = 700, h = 500;
    QImage columns(w, h, QImage::Format_ARGB32_Premultiplied);
    QImage rows(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int vx = (x / 9) % 2 ? 230 : 20;
            const int vy = (y / 11) % 2 ? 230 : 20;
            columns.setPixel(x, y, qRgba(vx, vx, vx, 255));
            rows.setPixel(x, y, qRgba(vy, vy, vy, 255));
        }
    // 5 is blurred at full resolution, 20 on a reduced picture.
    for (double radius : {5.0, 20.0}) {
        const QImage c = ImageFilters::gaussianBlur(columns, radius);
        const QImage r = ImageFilters::gaussianBlur(rows, radius);
        for (int y = 1; y < h; ++y)
            ASSERT_EQ(std::memcmp(c.constScanLine(y), c.constScanLine(0), w * 4), 0) << y;
        for (int y = 0; y < h; ++y)
            for (int x = 1; x < w; ++x)
                ASSERT_EQ(r.pixel(x, y), r.pixel(0, y)) << x << "," << y;
        EXPECT_GT(qRed(c.pixel(4, 0)), 20); // and it did blur
        EXPECT_LT(qRed(c.pixel(4, 0)), 230);
    }
}

TEST(ImageFiltersBlur, KeepsPremultipliedDataValidAndTinyRadiiAreIdentity)
{
    const QImage image = randomTranslucent(300, 200);
    EXPECT_TRUE(validPremultiplied(ImageFilters::gaussianBlur(image, 3)));
    EXPECT_EQ(ImageFilters::gaussianBlur(image, 0.2), image);
    EXPECT_EQ(ImageFilters::gaussianBlur(image, std::nan("")), image);
    EXPECT_TRUE(ImageFilters::gaussianBlur(QImage(), 5).isNull());
    // A hostile radius is bounded, not a hang or an overflow.
    EXPECT_EQ(ImageFilters::gaussianBlur(filled(20, 20, qRgba(9, 9, 9, 255)), 1e12).pixel(3, 3),
              qRgba(9, 9, 9, 255));
}

TEST(ImageFiltersPixelate, BlocksAreAlignedOnTheGridAndHoldTheirMean)
{
    // Left half black, right half white, split at x = 10; grid through (5, 0) with 10-pixel
    // blocks puts the blocks at ..., [-5,5), [5,15), [15,25): the middle one straddles the split.
    QImage image = filled(25, 10, qRgba(0, 0, 0, 255));
    for (int y = 0; y < 10; ++y)
        for (int x = 10; x < 25; ++x)
            image.setPixel(x, y, qRgba(255, 255, 255, 255));
    const QImage out = ImageFilters::pixelate(image, 10, QPointF(5, 0));
    EXPECT_EQ(out.pixel(0, 0), qRgba(0, 0, 0, 255)); // edge block [0,5), cut by the image
    EXPECT_EQ(out.pixel(4, 9), qRgba(0, 0, 0, 255));
    EXPECT_EQ(out.pixel(5, 0), qRgba(128, 128, 128, 255)); // half black, half white
    EXPECT_EQ(out.pixel(14, 9), qRgba(128, 128, 128, 255));
    EXPECT_EQ(out.pixel(15, 0), qRgba(255, 255, 255, 255));
}

TEST(ImageFiltersPixelate, EveryBlockIsUniformAndTheCallbackSeesItsIndex)
{
    const QImage image = randomTranslucent(333, 257);
    const double size = 13.3;
    const QPointF origin(166.5, 128.5);
    const QImage out = ImageFilters::pixelate(image, size, origin, [](QRgb mean, QPoint block) {
        // Encode the block index into the colour to check each pixel's block.
        Q_UNUSED(mean);
        return qRgba((block.x() + 50) & 0xff, (block.y() + 50) & 0xff, 0, 255);
    });
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const int bx = int(std::floor((x + 0.5 - origin.x()) / size));
            const int by = int(std::floor((y + 0.5 - origin.y()) / size));
            ASSERT_EQ(out.pixel(x, y), qRgba((bx + 50) & 0xff, (by + 50) & 0xff, 0, 255))
                << x << "," << y;
        }
    EXPECT_TRUE(validPremultiplied(ImageFilters::pixelate(image, 9, {})));
    // Blocks below one pixel are one pixel: the picture comes back unchanged.
    EXPECT_EQ(ImageFilters::pixelate(image, 0.1, {}), image);
    EXPECT_EQ(ImageFilters::pixelate(image, std::nan(""), {}), image);
}

TEST(ImageFiltersSharpen, RaisesContrastAtEdgesOnlyAndClamps)
{
    QImage image = filled(60, 20, qRgba(100, 100, 100, 255));
    for (int y = 0; y < 20; ++y)
        for (int x = 30; x < 60; ++x)
            image.setPixel(x, y, qRgba(200, 200, 200, 255));
    const QImage out = ImageFilters::unsharpMask(image, 2.5, 1.0);
    EXPECT_EQ(out.pixel(2, 10), image.pixel(2, 10)); // flat areas are untouched
    EXPECT_EQ(out.pixel(57, 10), image.pixel(57, 10));
    EXPECT_LT(qRed(out.pixel(29, 10)), 100); // dark side gets darker
    EXPECT_GT(qRed(out.pixel(30, 10)), 200); // light side lighter
    const QImage strong = ImageFilters::unsharpMask(image, 2.5, 50.0);
    EXPECT_EQ(qRed(strong.pixel(29, 10)), 0);
    EXPECT_EQ(qRed(strong.pixel(30, 10)), 255);
    EXPECT_TRUE(validPremultiplied(ImageFilters::unsharpMask(randomTranslucent(120, 90), 3, 4.0)));
    EXPECT_EQ(ImageFilters::unsharpMask(image, 2.5, 0.0), image);
}
