#include "capture/overlay/LoupeView.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

// A snapshot whose every pixel has its own colour: red counts columns, green rows.
QImage gradient(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, 0x40));
    }
    return image;
}

} // namespace

TEST(LoupeSample, AtTheTopLeftPixelTheRowsAboveAndColumnsLeftAreBlack)
{
    LoupeView loupe;
    const QImage image = gradient(64, 48);
    loupe.updateFrom(image, 0, 0, std::nullopt);

    const QImage& patch = loupe.sample();
    ASSERT_EQ(patch.size(), QSize(15, 15));
    for (int i = 0; i < 15; ++i) {
        for (int j = 0; j < 7; ++j) {
            EXPECT_EQ(patch.pixel(i, j), qRgb(0, 0, 0)) << "row " << j << " col " << i;
            EXPECT_EQ(patch.pixel(j, i), qRgb(0, 0, 0)) << "row " << i << " col " << j;
        }
    }
    EXPECT_EQ(patch.pixel(7, 7), image.pixel(0, 0));
    EXPECT_EQ(patch.pixel(14, 14), image.pixel(7, 7));
    EXPECT_EQ(loupe.hex(), QString("#000040"));
    EXPECT_EQ(loupe.swatch(), QColor(0, 0, 0x40));
}

TEST(LoupeSample, CentreColourAndPositionComeFromThePixel)
{
    LoupeView loupe;
    EXPECT_FALSE(loupe.hex());
    const QImage image = gradient(600, 400);
    loupe.updateFrom(image, 512 - 100, 384 - 100, std::nullopt);
    EXPECT_EQ(loupe.hex(), QString("#9C1C40")); // 412 % 256 = 156, 284 % 256 = 28
    EXPECT_EQ(loupe.positionText(), QString("x 412   y 284"));
    // The bottom-right corner: the patch runs past the image and is black there.
    loupe.updateFrom(image, 599, 399, std::nullopt);
    EXPECT_EQ(loupe.sample().pixel(8, 7), qRgb(0, 0, 0));
    EXPECT_EQ(loupe.sample().pixel(7, 8), qRgb(0, 0, 0));
    EXPECT_EQ(loupe.sample().pixel(6, 6), image.pixel(598, 398));
}

TEST(LoupeSample, SizeLineGrowsThePanelAndGoesAwayWithTheSelection)
{
    LoupeView loupe;
    const QImage image = gradient(100, 100);
    loupe.updateFrom(image, 50, 50, std::nullopt);
    EXPECT_EQ(loupe.size(), QSize(132, 170));
    EXPECT_FALSE(loupe.sizeText());

    loupe.updateFrom(image, 50, 50, QSizeF(800.9, 600));
    EXPECT_EQ(loupe.size(), QSize(132, 186));
    EXPECT_EQ(loupe.sizeText(), QString::fromUtf8("800 × 600 px"));

    loupe.updateFrom(image, 50, 50, std::nullopt);
    EXPECT_EQ(loupe.size(), QSize(132, 170));
}

TEST(LoupeDrawing, MagnifiesWithoutSmoothingAndHintsTheKeyOnceAColourIsRead)
{
    LoupeView loupe;
    const QImage before = loupe.grab().toImage();
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0, 200, 0));
    image.setPixel(20, 20, qRgb(255, 0, 0)); // the centre
    image.setPixel(21, 20, qRgb(0, 0, 255)); // right of it
    loupe.updateFrom(image, 20, 20, std::nullopt);
    const QImage after = loupe.grab().toImage();
    const qreal dpr = after.devicePixelRatio();
    const auto at = [&](double x, double y) {
        return after.pixelColor(int(x * dpr), int(y * dpr)).toRgb();
    };
    // The centre cell spans (62, 62)-(70, 70); its inside is the centre pixel, unblended.
    EXPECT_EQ(at(66, 66), QColor(255, 0, 0));
    // The blue neighbour fills the whole next cell, up to its border, without smoothing.
    EXPECT_EQ(at(74, 66), QColor(0, 0, 255));
    EXPECT_EQ(at(76, 66), QColor(0, 0, 255));
    // The key hint chip appears on the colour line only now.
    int lightBefore = 0;
    int lightAfter = 0;
    for (int y = 130; y < 143; ++y) {
        for (int x = 110; x < 126; ++x) {
            lightBefore += before.pixelColor(int(x * dpr), int(y * dpr)).lightness() > 100;
            lightAfter += at(x, y).lightness() > 100;
        }
    }
    EXPECT_EQ(lightBefore, 0);
    EXPECT_GT(lightAfter, 8);
}

TEST(LoupeCopied, LastsOneSecondAfterTheLatestCopy)
{
    LoupeView loupe;
    loupe.updateFrom(QImage(gradient(20, 20)), 10, 10, std::nullopt);
    QElapsedTimer clock;
    clock.start();
    loupe.flashCopied();
    EXPECT_TRUE(loupe.showsCopied());
    QTest::qWait(600);
    loupe.flashCopied();
    const qint64 second = clock.elapsed();
    // The first copy's second ends here; the second copy keeps the confirmation.
    QTest::qWait(int(std::max<qint64>(0, 1200 - clock.elapsed())));
    EXPECT_TRUE(loupe.showsCopied());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !loupe.showsCopied(); }, 2000));
    EXPECT_GE(clock.elapsed() - second, 990);
}
