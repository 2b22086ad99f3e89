#include "grab/CaptureEngine.h"
#include "grab/CaptureEngineError.h"
#include "platform/Defaults.h"

#include <gtest/gtest.h>

#include <limits>

using namespace snapkin;
using platform::DisplayInfo;
using platform::ShareableContent;
using platform::WindowInfo;

namespace {

// A 2880 × 1800 display image whose every pixel encodes its own coordinates, so a crop shows
// exactly which pixels it took.
QImage coordinateImage(int width = 2880, int height = 1800)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(x % 256, y % 256, (x / 256) * 16 + y / 256);
    }
    return image;
}

DisplayInfo display(std::uint32_t id, bool primary = false)
{
    DisplayInfo d;
    d.displayID = id;
    d.frame = QRect(0, 0, 100, 100);
    d.primary = primary;
    return d;
}

} // namespace

TEST(CaptureEngineCrop, MapsPointsToPixelsByTheImageToScreenWidthRatio)
{
    const QImage image = coordinateImage();
    const auto crop = CaptureEngine::crop(image, QRectF(10, 20, 100, 50), 1440.0);
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->pixelSize(), QSize(200, 100));
    EXPECT_EQ(crop->pointSize(), QSizeF(100, 50));
    EXPECT_EQ(crop->image().pixel(0, 0), image.pixel(20, 40));
    EXPECT_EQ(crop->image().pixel(199, 99), image.pixel(219, 139));
    // The crop owns its pixels: it does not keep the whole display image alive.
    EXPECT_NE(crop->image().constBits(), image.constBits());
    EXPECT_LT(crop->image().sizeInBytes(), 200 * 100 * 4 + 64);
}

TEST(CaptureEngineCrop, FractionalRegionsTakeEveryPixelTheyTouch)
{
    const QImage image = coordinateImage();
    const auto crop = CaptureEngine::crop(image, QRectF(10.25, 20.25, 10, 10), 1440.0);
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->pixelSize(), QSize(21, 21)); // 20.5 … 40.5 covers pixels 20 … 40
    EXPECT_EQ(crop->pointSize(), QSizeF(10, 10));
    EXPECT_EQ(crop->image().pixel(0, 0), image.pixel(20, 40));
}

TEST(CaptureEngineCrop, NothingForRegionsOutsideTheImageOrUnusableInput)
{
    const QImage image = coordinateImage();
    EXPECT_FALSE(CaptureEngine::crop(image, QRectF(1500, 0, 100, 100), 1440.0));
    EXPECT_FALSE(CaptureEngine::crop(image, QRectF(-200, -200, 100, 100), 1440.0));
    EXPECT_FALSE(CaptureEngine::crop(image, QRectF(10, 10, 0, 50), 1440.0));
    EXPECT_FALSE(CaptureEngine::crop(image, QRectF(10, 10, 50, 50), 0.0));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(CaptureEngine::crop(image, QRectF(nan, 10, 50, 50), 1440.0));
    EXPECT_FALSE(CaptureEngine::crop(image, QRectF(10, 10, 50, 50), nan));
    EXPECT_FALSE(CaptureEngine::crop(QImage(), QRectF(10, 10, 50, 50), 1440.0));
    EXPECT_FALSE(
        CaptureEngine::crop(image, QRectF(10, 10, 50, 50), static_cast<const QScreen*>(nullptr)));
}

TEST(CaptureEngineCrop, RegionReachingPastTheEdgeIsClippedWithoutStretching)
{
    const QImage image = coordinateImage();
    // Half of the region lies right of the image: half the pixels, half the points.
    const auto crop = CaptureEngine::crop(image, QRectF(1400, 0, 80, 40), 1440.0);
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->pixelSize(), QSize(80, 80));
    EXPECT_EQ(crop->pointSize(), QSizeF(40, 40));
    EXPECT_DOUBLE_EQ(crop->pixelScale(), 2.0);
    EXPECT_EQ(crop->image().pixel(0, 0), image.pixel(2800, 0));
}

TEST(CaptureEngineMainDisplay, PrimaryThenFirstListedThenNothing)
{
    ShareableContent content;
    EXPECT_FALSE(CaptureEngine::mainDisplay(content));

    content.displays = {display(7), display(9, true)};
    content.mainDisplayID = 9;
    EXPECT_EQ(CaptureEngine::mainDisplay(content)->displayID, 9u);

    content.mainDisplayID = 42; // the main display is not among those listed
    EXPECT_EQ(CaptureEngine::mainDisplay(content)->displayID, 7u);
    content.mainDisplayID.reset();
    EXPECT_EQ(CaptureEngine::mainDisplay(content)->displayID, 7u);
}

TEST(CaptureEngineDesktopIcons, OnlyDesktopWindowsInTheirOrder)
{
    ShareableContent content;
    WindowInfo normal;
    normal.windowID = 1;
    WindowInfo desktopA;
    desktopA.windowID = 2;
    desktopA.isDesktop = true;
    desktopA.windowLayer = -1;
    WindowInfo dock;
    dock.windowID = 3;
    dock.windowLayer = 1;
    WindowInfo desktopB = desktopA;
    desktopB.windowID = 4;
    content.windows = {normal, desktopB, dock, desktopA};
    const auto icons = CaptureEngine::desktopIconWindows(content);
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(icons[0].windowID, 4u);
    EXPECT_EQ(icons[1].windowID, 2u);
}

TEST(CaptureEngineShadow, GrowsByTheScaledMarginAndFallsBelowTheWindow)
{
    QImage window(200, 100, QImage::Format_ARGB32_Premultiplied);
    window.fill(qRgb(0, 0, 255));
    for (double scale : {1.0, 2.0, 1.25}) {
        const int m = int(std::lround(64 * scale));
        const QImage out = CaptureEngine::withShadow(window, scale);
        ASSERT_EQ(out.size(), QSize(200 + 2 * m, 100 + 2 * m)) << scale;
        // The window is drawn unchanged in the middle.
        EXPECT_EQ(out.pixel(m, m), qRgb(0, 0, 255));
        EXPECT_EQ(out.pixel(m + 199, m + 99), qRgb(0, 0, 255));
        // Black, at most a third opaque, darker below the window than above it.
        const int mid = m + 100;
        const QRgb below = out.pixel(mid, m + 100 + int(20 * scale));
        const QRgb above = out.pixel(mid, m - int(20 * scale));
        EXPECT_EQ(qRed(below) | qGreen(below) | qBlue(below), 0);
        EXPECT_GT(qAlpha(below), qAlpha(above)) << scale;
        EXPECT_LE(qAlpha(below), 85);
        EXPECT_GT(qAlpha(below), 20);
        // The canvas' corners stay clear.
        EXPECT_EQ(qAlpha(out.pixel(0, 0)), 0);
    }
}

TEST(CaptureEngineShadow, WindowsWithTransparencyGetTheSameShadowAsOpaqueOnes)
{
    // An opaque window takes a shortcut; one transparent pixel forces the full blur. Away from
    // that pixel the two shadows must agree.
    QImage opaque(300, 180, QImage::Format_ARGB32_Premultiplied);
    opaque.fill(qRgb(10, 120, 30));
    QImage holed = opaque;
    holed.setPixel(150, 90, 0);
    const QImage a = CaptureEngine::withShadow(opaque, 1.5);
    const QImage b = CaptureEngine::withShadow(holed, 1.5);
    ASSERT_EQ(a.size(), b.size());
    int worst = 0;
    for (int y = 0; y < a.height(); y += 7) {
        for (int x = 0; x < a.width(); x += 7) {
            worst = std::max(worst, std::abs(qAlpha(a.pixel(x, y)) - qAlpha(b.pixel(x, y))));
        }
    }
    EXPECT_LE(worst, 2);
}

TEST(CaptureEngineShadow, UnusableInputIsReturnedAsItIs)
{
    QImage window(10, 10, QImage::Format_ARGB32_Premultiplied);
    window.fill(Qt::red);
    EXPECT_EQ(CaptureEngine::withShadow(window, 0.0).size(), QSize(10, 10));
    EXPECT_EQ(CaptureEngine::withShadow(window, std::numeric_limits<double>::infinity()).size(),
              QSize(10, 10));
    EXPECT_TRUE(CaptureEngine::withShadow(QImage(), 1.0).isNull());
}

TEST(CaptureEngineSettings, RegistersTheThreeCaptureDefaultsAsTrue)
{
    auto& d = platform::Defaults::standard();
    d.removeAllStored();
    CaptureEngine::registerDefaults();
    EXPECT_TRUE(d.boolForKey("windowCaptureShadow"));
    EXPECT_TRUE(d.boolForKey("windowCaptureTransparentBackground"));
    EXPECT_TRUE(d.boolForKey("showMagnifierWhileSelecting"));
    EXPECT_FALSE(d.boolForKey("hideDesktopIconsWhileCapturing"));
    EXPECT_FALSE(d.hasStoredValue("windowCaptureShadow"));
}

TEST(CaptureEngineError, MessagesForEveryCase)
{
    EXPECT_EQ(userMessage(CaptureEngineError::noDisplay), "No display was found.");
    EXPECT_EQ(userMessage(CaptureEngineError::noFrontWindow), "No front window was found.");
    EXPECT_EQ(userMessage(CaptureEngineError::cropFailed), "Couldn't crop the selected region.");
}
