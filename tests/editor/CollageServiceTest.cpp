#include "editor/CollageService.h"
#include "support/AddressSpace.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace snapkin;

namespace {

QImage filled(QSize size, QColor color)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

TEST(CollageCombine, SideBySideScalesToTheTallestCappedHeight)
{
    const auto collage =
        CollageService::combine({filled({800, 600}, Qt::red), filled({400, 300}, Qt::green),
                                 filled({1000, 1500}, Qt::blue)},
                                CollageLayout::sideBySide, 12, Qt::white);
    ASSERT_TRUE(collage);
    EXPECT_EQ(collage->size(), QSize(4024, 1200));
    // Cells in order, the gaps white.
    EXPECT_EQ(collage->pixelColor(800, 600), QColor(Qt::red));
    EXPECT_EQ(collage->pixelColor(1606, 600), QColor(Qt::white));
    EXPECT_EQ(collage->pixelColor(2400, 600), QColor(Qt::green));
    EXPECT_EQ(collage->pixelColor(3700, 600), QColor(Qt::blue));
}

TEST(CollageCombine, StackedScalesToTheWidestWidthFirstOnTop)
{
    const auto collage =
        CollageService::combine({filled({600, 400}, Qt::red), filled({300, 300}, Qt::green)},
                                CollageLayout::stacked, 12, Qt::white);
    ASSERT_TRUE(collage);
    EXPECT_EQ(collage->size(), QSize(600, 1012));
    EXPECT_EQ(collage->pixelColor(300, 398), QColor(Qt::red));
    EXPECT_EQ(collage->pixelColor(300, 405), QColor(Qt::white));
    EXPECT_EQ(collage->pixelColor(300, 414), QColor(Qt::green));
}

TEST(CollageCombine, OneImageIsScaledWithoutAGapAndEmptyOnesAreSkipped)
{
    const auto small = CollageService::combine({QImage(), filled({300, 200}, Qt::red)},
                                               CollageLayout::sideBySide, 12, Qt::white);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size(), QSize(300, 200));
    const auto large = CollageService::combine({filled({3000, 2400}, Qt::red)},
                                               CollageLayout::sideBySide, 12, Qt::white);
    ASSERT_TRUE(large);
    EXPECT_EQ(large->size(), QSize(1500, 1200));
    EXPECT_FALSE(CollageService::combine({QImage()}, CollageLayout::stacked, 12, Qt::white));
    EXPECT_FALSE(CollageService::combine({}, CollageLayout::stacked, 12, Qt::white));
}

TEST(CollageCombine, AThinStripShrinksTheCommonSideToStayBounded)
{
    // At the photo's height of 600 the strip alone would be 2.4 million points wide.
    const auto collage =
        CollageService::combine({filled({4000, 1}, Qt::black), filled({800, 600}, Qt::red)},
                                CollageLayout::sideBySide, 12, Qt::white);
    ASSERT_TRUE(collage);
    EXPECT_LE(collage->width(), CollageService::maxCanvasSide);
    EXPECT_LE(double(collage->width()) * collage->height(), CollageService::maxCanvasPixels);
    EXPECT_GE(collage->height(), 4);
    EXPECT_EQ(collage->pixelColor(collage->width() - 1, collage->height() / 2), QColor(Qt::red));

    // Big photos stacked stay under the pixel budget too.
    QList<QImage> photos(60, filled({1200, 1200}, Qt::blue));
    const auto tall = CollageService::combine(photos, CollageLayout::stacked, 12, Qt::white);
    ASSERT_TRUE(tall);
    EXPECT_LE(tall->height(), CollageService::maxCanvasSide);

    // So many images that their gaps alone pass the limit: nothing fits.
    QList<QImage> many(1400, filled({10, 10}, Qt::blue));
    EXPECT_FALSE(CollageService::combine(many, CollageLayout::sideBySide, 12, Qt::white));
}

// A collage within the limits whose memory can't be had is a null image, to be told as memory
// that ran out, not as images too large to combine.
TEST(CollageCombine, ACollageTheMemoryCantHoldIsNullNotTooLarge)
{
    if (test::sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    // Two photos side by side at 1200 points high: a canvas of 8412 x 1200, 40 MB.
    const QList<QImage> photos{filled({3500, 1200}, Qt::red), filled({3500, 1200}, Qt::blue)};
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(_exit([&] {
                    if (!test::leaveAddressSpace(16LL * 1024 * 1024)) return 5;
                    const auto collage =
                        CollageService::combine(photos, CollageLayout::sideBySide, 12, Qt::white);
                    if (!collage) return 3; // refused for its size
                    return collage->isNull() ? 0 : 4;
                }()),
                ::testing::ExitedWithCode(0), "");
}

} // namespace
