#include "CaptureFakes.h"
#include "TestPaths.h"

#include "capture/CaptureCountdown.h"
#include "capture/CountdownView.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QLineF>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using test::FakeClock;

namespace {

// True when every corner of `rect` (view coordinates) is inside the badge's circle.
bool insideCircle(const QRectF& rect)
{
    const QPointF centre(CountdownView::side * 0.5, CountdownView::side * 0.5);
    const double radius = CountdownView::circleDiameter * 0.5;
    for (const QPointF& corner :
         {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight()}) {
        if (QLineF(centre, corner).length() > radius) return false;
    }
    return true;
}

// Where the figures' ink lands, as the view paints them.
QRectF inkRect(const QString& text)
{
    const QFont font = CountdownView::numberFont(text);
    const QFontMetricsF metrics(font);
    const QRectF box =
        CountdownView::numberRect(QSizeF(CountdownView::side, CountdownView::side), text);
    return metrics.tightBoundingRect(text).translated(box.left(), box.top() + metrics.ascent());
}

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

TEST(CountdownView, EveryNumberUpToSixHundredStaysInsideTheCircle)
{
    for (int n = 0; n <= 600; ++n) {
        const QString text = QString::number(n);
        const QRectF ink = inkRect(text);
        ASSERT_TRUE(insideCircle(ink)) << n << ": " << ink.left() << "," << ink.top() << " "
                                       << ink.width() << "x" << ink.height();
    }
    // One and two figures keep the full size; three share one size, so it holds while ticking.
    EXPECT_EQ(CountdownView::numberFont("3").pixelSize(), 64);
    EXPECT_EQ(CountdownView::numberFont("59").pixelSize(), 64);
    EXPECT_LT(CountdownView::numberFont("120").pixelSize(), 64);
    EXPECT_EQ(CountdownView::numberFont("120").pixelSize(),
              CountdownView::numberFont("600").pixelSize());
    EXPECT_EQ(CountdownView::numberFont("111").pixelSize(),
              CountdownView::numberFont("888").pixelSize());
}

// Painted on a clear image, nothing of the figures may show outside the circle (the mask that
// cuts the badge to the circle where nothing blends would hide them: it is taken off).
TEST(CountdownView, NoFigureIsPaintedOutsideTheCircle)
{
    CountdownView view;
    view.clearMask();
    QDir().mkpath(SNAPKIN_BUILD_DIR "/screenshots");
    const double radius = CountdownView::circleDiameter * 0.5 + 1; // the edge's antialiasing
    for (const int n : {3, 59, 100, 120, 388, 600}) {
        SCOPED_TRACE(n);
        view.setNumber(n);
        QImage shot(view.size(), QImage::Format_ARGB32_Premultiplied);
        shot.fill(Qt::transparent);
        view.render(&shot, QPoint(), QRegion(), QWidget::RenderFlags());
        shot.save(QString(SNAPKIN_BUILD_DIR "/screenshots/countdown-%1.png").arg(n));
        int outside = 0;
        int figures = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (QLineF(QPointF(75, 75), QPointF(x + 0.5, y + 0.5)).length() > radius)
                    outside += c.alpha() > 0;
                else
                    figures += c.lightness() > 200 && y < 100;
            }
        }
        EXPECT_EQ(outside, 0);
        EXPECT_GT(figures, 100);
    }
}
