#include "CaptureFakes.h"
#include "TestPaths.h"

#include "capture/CaptureCountdown.h"
#include "capture/CountdownView.h"

#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using test::FakeClock;

namespace {

struct Outcome {
    qint64 doneAt = -1;
    int cancels = 0;
};

CaptureCountdown* start(FakeClock& clock, int seconds, Outcome& outcome)
{
    return CaptureCountdown::begin(
        clock, seconds, [&clock, &outcome] { outcome.doneAt = clock.nowMs(); },
        [&outcome] { ++outcome.cancels; });
}

} // namespace

TEST(CaptureCountdown, ShowsThreeTwoOneAndCompletesAfterTheBadgeHasGone)
{
    FakeClock clock;
    Outcome outcome;
    CaptureCountdown* countdown = start(clock, 3, outcome);
    ASSERT_EQ(CaptureCountdown::current(), countdown);
    QPointer<CountdownView> view = countdown->view();
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(view->number(), 3);
    // Centred on the primary screen.
    EXPECT_EQ(view->geometry().center(), QGuiApplication::primaryScreen()->geometry().center());

    clock.advance(999);
    EXPECT_EQ(view->number(), 3);
    clock.advance(1);
    EXPECT_EQ(view->number(), 2);
    clock.advance(1000);
    EXPECT_EQ(view->number(), 1);
    clock.advance(1000);
    // At zero the badge is gone at once; the capture follows a moment later.
    EXPECT_EQ(CaptureCountdown::current(), nullptr);
    EXPECT_TRUE(!view || !view->isVisible());
    EXPECT_EQ(outcome.doneAt, -1);
    clock.advance(60);
    EXPECT_EQ(outcome.doneAt, 3060);
    EXPECT_EQ(outcome.cancels, 0);
}

TEST(CaptureCountdown, OneSecondCompletesAfterTheFirstTick)
{
    FakeClock clock;
    Outcome outcome;
    CaptureCountdown* countdown = start(clock, 1, outcome);
    EXPECT_EQ(countdown->view()->number(), 1);
    clock.advance(1060);
    EXPECT_EQ(outcome.doneAt, 1060);
}

TEST(CaptureCountdown, EscapeOrAClickCancelsAndTheCaptureNeverRuns)
{
    FakeClock clock;
    QLineEdit field;
    field.show();
    field.activateWindow();
    field.setFocus();

    Outcome escaped;
    start(clock, 3, escaped);
    clock.advance(1500);
    // Other keys reach the application as usual.
    QTest::keyClick(&field, Qt::Key_A);
    EXPECT_EQ(field.text(), "a");
    EXPECT_NE(CaptureCountdown::current(), nullptr);
    QTest::keyClick(&field, Qt::Key_Escape);
    EXPECT_EQ(escaped.cancels, 1);
    EXPECT_EQ(CaptureCountdown::current(), nullptr);
    clock.advance(5000);
    EXPECT_EQ(escaped.doneAt, -1);
    EXPECT_EQ(escaped.cancels, 1);

    Outcome clicked;
    CaptureCountdown* countdown = start(clock, 2, clicked);
    QTest::mouseClick(countdown->view(), Qt::LeftButton, {}, QPoint(75, 75));
    clock.advance(5000);
    EXPECT_EQ(clicked.cancels, 1);
    EXPECT_EQ(clicked.doneAt, -1);
}

TEST(CaptureCountdown, ANewCountdownDropsTheRunningOneWithoutItsCancelAction)
{
    FakeClock clock;
    Outcome first;
    Outcome second;
    start(clock, 3, first);
    clock.advance(1000);
    start(clock, 2, second);
    clock.advance(5000);
    EXPECT_EQ(first.cancels, 0);
    EXPECT_EQ(first.doneAt, -1);
    EXPECT_EQ(second.doneAt, 3060);
}

TEST(CountdownView, DrawsTheNumberAboveTheCentreAndTheHintNearTheCircleBottom)
{
    CountdownView view;
    view.setNumber(3);
    const QSizeF size(CountdownView::side, CountdownView::side);
    const QRectF number = CountdownView::numberRect(size, "3");
    EXPECT_NEAR(number.center().y(), 75 - 6, 0.01);
    EXPECT_NEAR(number.center().x(), 75, 0.01);
    const QRectF hint = CountdownView::hintRect(size, "Esc to cancel");
    EXPECT_NEAR(hint.bottom(), 75 + 58 - 14, 0.01);

    const QImage shot = view.grab().toImage();
    QDir().mkpath(SNAPKIN_BUILD_DIR "/screenshots");
    shot.save(SNAPKIN_BUILD_DIR "/screenshots/countdown.png");
    // A dark circle with white figures in it; the corners are not painted dark.
    const QColor centreLeft = shot.pixelColor(int(75 - 50), 75);
    EXPECT_LT(centreLeft.lightness(), 60);
    int white = 0;
    for (int y = int(number.top()); y < int(number.bottom()); ++y) {
        for (int x = int(number.left()); x < int(number.right()); ++x)
            white += shot.pixelColor(x, y).lightness() > 200;
    }
    EXPECT_GT(white, 50);
    EXPECT_GT(shot.pixelColor(2, 2).lightness(), 100);
}
