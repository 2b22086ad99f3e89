#include "CaptureFakes.h"
#include "TestPaths.h"

#include "capture/CaptureToast.h"
#include "capture/ToastView.h"

#include <QDir>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

using namespace snapkin;
using test::FakeClock;

TEST(CaptureToast, SitsCentred120PointsAboveTheBottomAndIsAsWideAsItsTextPlus40)
{
    const QRect screen(0, 0, 1440, 900);
    EXPECT_EQ(CaptureToast::geometryFor(200, screen), QRect(600, 740, 240, 40));
    EXPECT_EQ(CaptureToast::geometryFor(200, QRect(1440, -200, 1920, 1080)),
              QRect(1440 + 840, -200 + 920, 240, 40));

    FakeClock clock;
    test::RecordingAnnouncer announcer;
    CaptureToast::show("Copied to clipboard", 1.3, clock);
    ToastView* toast = CaptureToast::current();
    ASSERT_NE(toast, nullptr);
    const double text =
        QFontMetricsF(CaptureToast::font()).horizontalAdvance("Copied to clipboard");
    EXPECT_EQ(toast->geometry(),
              CaptureToast::geometryFor(text, QGuiApplication::primaryScreen()->geometry()));
    EXPECT_EQ(announcer.said, QStringList{"Copied to clipboard"});
    // Never in the way: no focus, no mouse.
    EXPECT_TRUE(toast->windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(toast->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(toast->testAttribute(Qt::WA_ShowWithoutActivating));
    CaptureToast::dismiss();
    clock.settle();
}

TEST(CaptureToast, ANewToastReplacesTheOldAtOnceAndOnlyItFadesOut)
{
    FakeClock clock;
    CaptureToast::show("First", 1.3, clock);
    QPointer<ToastView> first = CaptureToast::current();
    clock.advance(500);
    CaptureToast::show("Second", 1.3, clock);
    QPointer<ToastView> second = CaptureToast::current();
    EXPECT_TRUE(!first || !first->isVisible());
    ASSERT_TRUE(second);
    EXPECT_EQ(second->message(), "Second");

    // Gone at duration + 0.25 s after it was shown, not before; the first toast's timer does
    // not take the second down early.
    clock.advance(1300 + 250 - 1);
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(CaptureToast::current(), second.data());
    clock.advance(1);
    EXPECT_EQ(CaptureToast::current(), nullptr);
    EXPECT_TRUE(!second || !second->isVisible());
}

TEST(ToastView, PaintsADarkRoundedPlateWithTheTextCentred)
{
    ToastView view;
    view.setMessage("Copied to clipboard");
    const double text = QFontMetricsF(ToastView::font()).horizontalAdvance(view.message());
    view.resize(int(std::ceil(text)) + 40, 40);
    const QImage shot = view.grab().toImage();
    QDir().mkpath(SNAPKIN_BUILD_DIR "/screenshots");
    shot.save(SNAPKIN_BUILD_DIR "/screenshots/toast.png");

    EXPECT_LT(shot.pixelColor(10, 20).lightness(), 60); // the plate
    int white = 0;
    for (int x = 20; x < shot.width() - 20; ++x) {
        for (int y = 10; y < 30; ++y)
            white += shot.pixelColor(x, y).lightness() > 200;
    }
    EXPECT_GT(white, 40);
    // Nothing of the text spills into the 20-point margins.
    for (int y = 12; y < 28; ++y) {
        EXPECT_LT(shot.pixelColor(3, y).lightness(), 200);
        EXPECT_LT(shot.pixelColor(shot.width() - 4, y).lightness(), 200);
    }

    // An empty message paints only the plate.
    view.setMessage(QString());
    const QImage empty = view.grab().toImage();
    for (int x = 12; x < empty.width() - 12; x += 7)
        EXPECT_LT(empty.pixelColor(x, 20).lightness(), 60);
}
