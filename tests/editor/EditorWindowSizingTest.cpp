#include "editor/EditorWindowSizing.h"
#include "platform/BaseImage.h"
#include "platform/Defaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::editorsizing;

namespace {

const QRect fullHD(0, 0, 1920, 1080);

QSize contentOn(QRect available, QSizeF canvas, double chrome = chromeWithOptionsBar,
                QMargins frame = {})
{
    return contentSize(wantedContentSize(canvas, chrome), largestContentSize(available, frame));
}

} // namespace

TEST(EditorWindowSizing, SmallImageGetsTheMinimumWindowAtActualSize)
{
    const QSize content = contentOn(fullHD, {100, 100});
    EXPECT_EQ(content, QSize(800, 600));
    EXPECT_DOUBLE_EQ(initialZoom({100, 100}, content, chromeWithOptionsBar), 1.0);

    // Mid-sized: the canvas plus the chrome, untouched.
    EXPECT_EQ(contentOn(fullHD, {1000, 700}), QSize(1109, 822));
}

TEST(EditorWindowSizing, LargeImageIsBoundedByTheScreenLessInsetFrameAndAllowance)
{
    const QMargins frame(2, 30, 2, 4);
    const QSize largest = largestContentSize(fullHD, frame);
    EXPECT_EQ(largest, QSize(1920 - 32 - 4, 1080 - 32 - 34 - 24));
    EXPECT_EQ(contentOn(fullHD, {3840, 2160}, chromeWithOptionsBar, frame), largest);
    // Without a screen the wanted size stands, even below the minimum.
    EXPECT_EQ(contentSize(wantedContentSize({100, 100}, 77), std::nullopt), QSize(209, 177));

    // Centred as a framed window in the available area (which may not start at 0, 0).
    const QRect available(0, 40, 1920, 1040);
    const QRect placed = centredContentGeometry({1000, 600}, available, frame);
    EXPECT_EQ(placed.size(), QSize(1000, 600));
    EXPECT_EQ(placed.left() - frame.left() - available.left(),
              available.right() - (placed.right() + frame.right()));
    EXPECT_EQ(placed.top() - frame.top() - available.top(),
              available.bottom() - (placed.bottom() + frame.bottom()));
}

TEST(EditorWindowSizing, FirstZoomSnapsToActualSizeOrFitsWithinATenth)
{
    // A fit of exactly 0.995 counts as fitting.
    EXPECT_DOUBLE_EQ(initialZoom({1000, 100}, {109 + 995, 600}, chromeWithOptionsBar), 1.0);
    EXPECT_NEAR(initialZoom({1000, 100}, {109 + 994, 600}, chromeWithOptionsBar), 0.994, 1e-12);
    // One needing 0.05 opens at 0.1.
    EXPECT_DOUBLE_EQ(initialZoom({20000, 100}, {1109, 600}, chromeWithOptionsBar), 0.1);
    // A canvas without area opens at actual size.
    EXPECT_DOUBLE_EQ(initialZoom({0, 100}, {800, 600}, chromeWithOptionsBar), 1.0);
    // A 4K capture on a full-HD screen opens at the fitting zoom.
    const QSize content = contentOn(fullHD, {3840, 2160});
    const double zoom = initialZoom({3840, 2160}, content, chromeWithOptionsBar);
    EXPECT_NEAR(zoom, (content.height() - 122.0) / 2160, 1e-12);
}

TEST(EditorWindowSizing, ChromeIs77OnlyWhenTheOptionsBarIsStoredOff)
{
    QTemporaryDir dir;
    platform::Defaults settings(dir.filePath("settings.json"));
    EXPECT_DOUBLE_EQ(chromeHeight(settings), 122);
    settings.setValue("showOptionsBar", QStringLiteral("false")); // not a Boolean
    EXPECT_DOUBLE_EQ(chromeHeight(settings), 122);
    settings.setValue("showOptionsBar", true);
    EXPECT_DOUBLE_EQ(chromeHeight(settings), 122);
    settings.setValue("showOptionsBar", false);
    EXPECT_DOUBLE_EQ(chromeHeight(settings), 77);

    // The same 45 points show in the window height and in the first zoom.
    const double chrome = chromeHeight(settings);
    EXPECT_EQ(contentOn(fullHD, {1000, 700}, chrome).height(), 777);
    EXPECT_NEAR(initialZoom({1000, 1200}, {1109, 877}, chrome), 0.6666666, 1e-6);
}

TEST(EditorWindowSizing, TitleCarriesThePixelSize)
{
    QImage retina(2880, 1800, QImage::Format_ARGB32_Premultiplied);
    const platform::BaseImage image(retina, QSizeF(1440, 900));
    EXPECT_EQ(dimensionsText(image), QString::fromUtf8("2880 × 1800 px"));
    EXPECT_EQ(windowTitle("Shot.png", dimensionsText(image)),
              QString::fromUtf8("Shot.png — 2880 × 1800 px"));
    // No pixels: the point size, rounded half away from zero.
    EXPECT_EQ(dimensionsText(platform::BaseImage().withPointSize({10.5, 3.4})),
              QString::fromUtf8("11 × 3 px"));
}
