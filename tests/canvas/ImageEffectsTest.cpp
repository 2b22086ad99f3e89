#include "canvas/ImageEffects.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <cmath>
#include <set>

using namespace snapkin;
using platform::BaseImage;

namespace {

// A busy picture: random pixels, so any obscuring shows.
BaseImage noiseImage(int w, int h, double pointsWide)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    QRandomGenerator rng(11);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, rng.generate() | 0xff000000u);
    return BaseImage(image, QSizeF(pointsWide, pointsWide * h / w));
}

class ImageEffectsTest : public ::testing::Test {
protected:
    ImageEffects::Cache cache;
};

} // namespace

TEST(ImageEffectsSizes, BlockAndRadiusFormulas)
{
    // At 2 pixels per point.
    EXPECT_DOUBLE_EQ(ImageEffects::blockSize({400, 200}, 1, 2), 28);
    EXPECT_DOUBLE_EQ(ImageEffects::blurRadius({400, 200}, 1), 25);
    EXPECT_DOUBLE_EQ(ImageEffects::blockSize({400, 200}, 0.5, 2), 28);
    EXPECT_DOUBLE_EQ(ImageEffects::blurRadius({400, 200}, 0.5), 12.5);
    EXPECT_DOUBLE_EQ(ImageEffects::blockSize({400, 200}, 2, 2), 56);
    EXPECT_DOUBLE_EQ(ImageEffects::blurRadius({400, 200}, 2), 50);
    EXPECT_NEAR(ImageEffects::blockSize({2000, 1600}, 1, 2), 133.333, 1e-3);
    EXPECT_DOUBLE_EQ(ImageEffects::blurRadius({2000, 1600}, 1), 200);
    EXPECT_DOUBLE_EQ(ImageEffects::blockSize({30, 20}, 1, 2), 8);
    EXPECT_DOUBLE_EQ(ImageEffects::blurRadius({30, 20}, 1), 6);
    // Strengths below 0.05 (and nonsense) act as 0.05; huge ones are bounded.
    for (double s : {0.0, -3.0, 0.01})
        EXPECT_DOUBLE_EQ(ImageEffects::blurRadius({4000, 4000}, s),
                         ImageEffects::blurRadius({4000, 4000}, 0.05));
    EXPECT_TRUE(std::isfinite(ImageEffects::blurRadius({4000, 4000}, 1e308)));
    // Blocks never below 6 pixels, nor below 14 points on a region 35 points or more across.
    for (double ppp : {1.0, 2.0, 3.0})
        EXPECT_GE(ImageEffects::blockSize({35 * ppp, 35 * ppp}, 0.05, ppp), 14 * ppp - 1e-9);
    EXPECT_GE(ImageEffects::blockSize({3, 3}, 0.05, 1), 6);
}

TEST_F(ImageEffectsTest, OnlyPixelateAndBlurOnARealRegionGiveAPicture)
{
    const BaseImage image = noiseImage(100, 100, 100);
    EXPECT_FALSE(
        ImageEffects::obscuredRegion(image, {10, 10, 30, 30}, ObscureStyle::solid, 1, &cache));
    EXPECT_FALSE(
        ImageEffects::obscuredRegion(image, {10, 10, 30, 30}, ObscureStyle::stripes, 1, &cache));
    EXPECT_FALSE(
        ImageEffects::obscuredRegion(image, {10, 10, 0, 30}, ObscureStyle::blur, 1, &cache));
    EXPECT_FALSE(
        ImageEffects::obscuredRegion(image, {200, 10, 30, 30}, ObscureStyle::blur, 1, &cache));
    EXPECT_FALSE(
        ImageEffects::obscuredRegion(BaseImage(), {10, 10, 30, 30}, ObscureStyle::blur, 1, &cache));
    EXPECT_FALSE(
        ImageEffects::obscuredRegion(image, {1e300, 0, 1e300, 30}, ObscureStyle::blur, 1, &cache));
    // A fractional rectangle rounds outwards to whole points.
    const auto region =
        ImageEffects::obscuredRegion(image, {10.5, 10.2, 0.2, 5}, ObscureStyle::blur, 1, &cache);
    ASSERT_TRUE(region);
    EXPECT_EQ(region->rect, QRectF(10, 10, 1, 6));
    EXPECT_EQ(cache.count(), 1);
}

TEST_F(ImageEffectsTest, RegionPartlyOutsideIsTheImagePartDrawnOverTheWholeBox)
{
    // 2 pixels per point; the rectangle reaches 10 points past the top-left corner.
    const BaseImage image = noiseImage(200, 200, 100);
    const auto region =
        ImageEffects::obscuredRegion(image, {-10, -10, 30, 30}, ObscureStyle::pixelate, 1, &cache);
    ASSERT_TRUE(region);
    EXPECT_EQ(region->rect, QRectF(-10, -10, 30, 30));
    EXPECT_EQ(region->image.size(), QSize(40, 40)); // the 20 × 20 points on the image
}

TEST_F(ImageEffectsTest, CacheServesTheSamePictureForTheSameRequest)
{
    const BaseImage image = noiseImage(120, 120, 120);
    const auto a =
        ImageEffects::obscuredRegion(image, {10, 10, 50, 40}, ObscureStyle::blur, 0.751, &cache);
    const auto b = ImageEffects::obscuredRegion(image, {10.3, 10, 49.5, 40}, ObscureStyle::blur,
                                                0.749, &cache);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->image.cacheKey(), b->image.cacheKey()); // same whole rectangle, strength 75
    const auto other =
        ImageEffects::obscuredRegion(image, {10, 10, 50, 40}, ObscureStyle::pixelate, 0.75, &cache);
    EXPECT_NE(other->image.cacheKey(), a->image.cacheKey());
    // Strengths at or below 0.05 share one entry.
    const auto s0 =
        ImageEffects::obscuredRegion(image, {0, 0, 40, 40}, ObscureStyle::blur, 0, &cache);
    const auto s1 =
        ImageEffects::obscuredRegion(image, {0, 0, 40, 40}, ObscureStyle::blur, -2, &cache);
    EXPECT_EQ(s0->image.cacheKey(), s1->image.cacheKey());
    // Equal pixels in a new image are computed afresh; the same pixels at another point size too.
    const BaseImage copy(image.image());
    const auto fresh =
        ImageEffects::obscuredRegion(copy, {10, 10, 50, 40}, ObscureStyle::blur, 0.75, &cache);
    EXPECT_NE(fresh->image.cacheKey(), a->image.cacheKey());
    EXPECT_EQ(fresh->image, a->image);
    const auto rescaled = ImageEffects::obscuredRegion(
        image.withPointSize({60, 60}), {10, 10, 50, 40}, ObscureStyle::blur, 0.75, &cache);
    EXPECT_EQ(rescaled->image.size(), QSize(100, 80));
}

TEST_F(ImageEffectsTest, CacheIsEmptiedWhenItHoldsMoreThan240Entries)
{
    const BaseImage image = noiseImage(64, 64, 64);
    for (int i = 0; i < 241; ++i)
        ASSERT_TRUE(ImageEffects::obscuredRegion(image, {double(i % 50), double(i / 50), 8, 8},
                                                 ObscureStyle::blur, 1, &cache));
    EXPECT_EQ(cache.count(), 241);
    ASSERT_TRUE(ImageEffects::obscuredRegion(image, {0, 40, 8, 8}, ObscureStyle::blur, 1, &cache));
    EXPECT_EQ(cache.count(), 1);
}

TEST_F(ImageEffectsTest, PixelateMakesUniformBlocksOnAGridThroughTheCentre)
{
    // 2 px/pt, a 100 × 100 point region: 28-pixel blocks (14 points), grid through the centre.
    const BaseImage image = noiseImage(400, 400, 200);
    const auto region =
        ImageEffects::obscuredRegion(image, {50, 50, 100, 100}, ObscureStyle::pixelate, 1, &cache);
    ASSERT_TRUE(region);
    const QImage& out = region->image;
    ASSERT_EQ(out.size(), QSize(200, 200));
    std::set<QRgb> colours;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) {
            const int bx = int(std::floor((x + 0.5 - 100) / 28.0));
            const int by = int(std::floor((y + 0.5 - 100) / 28.0));
            // Every pixel equals the pixel at its block's corner nearest the centre.
            const int rx = std::clamp(100 + bx * 28, 0, 199);
            const int ry = std::clamp(100 + by * 28, 0, 199);
            ASSERT_EQ(out.pixel(x, y), out.pixel(rx, ry)) << x << "," << y;
            colours.insert(out.pixel(x, y));
        }
    EXPECT_LE(colours.size(), 64u); // 8 × 8 blocks (partial ones at the edges)
    EXPECT_GT(colours.size(), 40u);
}

TEST_F(ImageEffectsTest, PixelateNoiseHidesTheBlockMeanAndIsStableWithinARun)
{
    // A flat grey: without noise every block would be the same grey.
    QImage flat(300, 300, QImage::Format_ARGB32_Premultiplied);
    flat.fill(qRgb(128, 128, 128));
    const BaseImage image(flat);
    const auto first =
        ImageEffects::obscuredRegion(image, {0, 0, 300, 300}, ObscureStyle::pixelate, 1, &cache);
    ASSERT_TRUE(first);
    std::set<QRgb> colours;
    for (int y = 5; y < 300; y += 25)
        for (int x = 5; x < 300; x += 25)
            colours.insert(first->image.pixel(x, y));
    EXPECT_GT(colours.size(), 10u);
    for (QRgb c : colours)
        EXPECT_NEAR(qRed(c), 128, 20);
    cache.clear();
    const auto second =
        ImageEffects::obscuredRegion(image, {0, 0, 300, 300}, ObscureStyle::pixelate, 1, &cache);
    EXPECT_EQ(first->image, second->image);
    EXPECT_GE(ImageEffects::noiseGrey({3, 4}, ImageEffects::noiseOffset()), 0.38);
    EXPECT_LE(ImageEffects::noiseGrey({3, 4}, ImageEffects::noiseOffset()), 0.62);
}

TEST_F(ImageEffectsTest, BlurSmoothsTheRegion)
{
    const BaseImage image = noiseImage(200, 200, 200);
    const auto region =
        ImageEffects::obscuredRegion(image, {20, 20, 100, 100}, ObscureStyle::blur, 1, &cache);
    ASSERT_TRUE(region);
    // Neighbouring pixels of random noise differ a lot; after a 12.5-pixel blur barely.
    int maxStep = 0;
    for (int x = 1; x < 100; ++x)
        maxStep = std::max(maxStep, std::abs(qRed(region->image.pixel(x, 50)) -
                                             qRed(region->image.pixel(x - 1, 50))));
    EXPECT_LE(maxStep, 4);
}
