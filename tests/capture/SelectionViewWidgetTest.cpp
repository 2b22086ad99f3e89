#include "OverlayTestSupport.h"
#include "TestPaths.h"

#include "capture/overlay/CaptureModeBar.h"
#include "capture/overlay/LoupeView.h"
#include "capture/overlay/SelectionView.h"
#include "capture/overlay/WindowPicker.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using test::RecordingAnnouncer;
using test::ScopedSetting;

namespace {

// One view of 800 × 600 points, shown, with every callback recorded.
struct ViewFixture {
    SelectionView view{QGuiApplication::primaryScreen(), OverlayMode::region};
    std::vector<std::optional<RegionSelection>> finished;
    std::vector<OverlayMode> modeChanges;
    int confirms = 0;
    int fullScreens = 0;
    int begins = 0;

    explicit ViewFixture(OverlayMode mode = OverlayMode::region)
    {
        if (mode != OverlayMode::region) view.setMode(mode);
        view.onFinish = [this](std::optional<RegionSelection> s) { finished.push_back(s); };
        view.onModeChange = [this](OverlayMode m) { modeChanges.push_back(m); };
        view.onConfirm = [this] { ++confirms; };
        view.onFullScreen = [this] { ++fullScreens; };
        view.onBeginSelection = [this] { ++begins; };
        view.resize(800, 600);
        view.show();
        (void)QTest::qWaitForWindowExposed(&view);
    }

    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(&view, Qt::LeftButton, {}, from);
        QTest::mouseMove(&view, (from + to) / 2);
        QTest::mouseMove(&view, to);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, to);
    }
};

QImage gradientSnapshot(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, 0x80));
    }
    return image;
}

} // namespace

TEST(SelectionViewRegion, ClickWithoutDragReportsNothing)
{
    ViewFixture f;
    QTest::mouseClick(&f.view, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_TRUE(f.finished.empty());
    EXPECT_TRUE(f.view.selection().isEmpty());
    EXPECT_FALSE(f.view.isAdjusting());
}

TEST(SelectionViewRegion, TooThinADragReportsNothingAndFourByFourDoes)
{
    ViewFixture f;
    f.drag(QPoint(100, 100), QPoint(103, 150));
    EXPECT_TRUE(f.finished.empty());
    EXPECT_TRUE(f.view.selection().isEmpty());

    f.drag(QPoint(300, 200), QPoint(296, 196)); // dragged up and to the left
    ASSERT_EQ(f.finished.size(), 1u);
    ASSERT_TRUE(f.finished[0]);
    EXPECT_EQ(f.finished[0]->rect, QRectF(296, 196, 4, 4));
    EXPECT_FALSE(f.finished[0]->window);
    EXPECT_EQ(f.begins, 2);
}

TEST(SelectionViewRegion, DragPastTheEdgeStopsThere)
{
    ViewFixture f;
    QTest::mousePress(&f.view, Qt::LeftButton, {}, QPoint(700, 100));
    QTest::mouseMove(&f.view, QPoint(900, -50));
    QTest::mouseRelease(&f.view, Qt::LeftButton, {}, QPoint(900, -50));
    ASSERT_EQ(f.finished.size(), 1u);
    EXPECT_EQ(f.finished[0]->rect, QRectF(700, 0, 100, 100));
}

TEST(SelectionViewAdjust, ReleaseShowsHandlesAnnouncesAndReturnOrDoubleClickConfirms)
{
    ScopedSetting adjust("adjustRegionBeforeCapture", true);
    RecordingAnnouncer announcer;
    ViewFixture f;
    f.drag(QPoint(100, 100), QPoint(400, 300));
    EXPECT_TRUE(f.finished.empty());
    EXPECT_TRUE(f.view.isAdjusting());
    EXPECT_TRUE(announcer.saidSomethingStartingWith("Selection ready."));

    QTest::keyClick(&f.view, Qt::Key_Return);
    EXPECT_EQ(f.confirms, 1);
    QTest::mouseDClick(&f.view, Qt::LeftButton, {}, QPoint(250, 200));
    EXPECT_EQ(f.confirms, 2);
    EXPECT_TRUE(f.finished.empty());
    ASSERT_TRUE(f.view.currentResult());
    EXPECT_EQ(f.view.currentResult()->rect, QRectF(100, 100, 300, 200));
}

TEST(SelectionViewAdjust, PressInsideMovesAndHandlesResize)
{
    ScopedSetting adjust("adjustRegionBeforeCapture", true);
    ViewFixture f;
    f.drag(QPoint(100, 100), QPoint(400, 300));
    ASSERT_TRUE(f.view.isAdjusting());

    f.drag(QPoint(200, 200), QPoint(250, 180));
    EXPECT_EQ(f.view.selection(), QRectF(150, 80, 300, 200));
    EXPECT_TRUE(f.view.isAdjusting());
    // The left handle dragged past the right edge flips the rectangle.
    f.drag(QPoint(150, 180), QPoint(500, 180));
    EXPECT_EQ(f.view.selection(), QRectF(450, 80, 50, 200));
    EXPECT_TRUE(f.finished.empty());
}

TEST(SelectionViewAdjust, ClickOutsideDiscardsTheSelection)
{
    ScopedSetting adjust("adjustRegionBeforeCapture", true);
    ViewFixture f;
    f.drag(QPoint(100, 100), QPoint(400, 300));
    ASSERT_TRUE(f.view.isAdjusting());
    QTest::mouseClick(&f.view, Qt::LeftButton, {}, QPoint(600, 500));
    EXPECT_TRUE(f.finished.empty());
    EXPECT_TRUE(f.view.selection().isEmpty());
    EXPECT_FALSE(f.view.isAdjusting());
    EXPECT_FALSE(f.view.currentResult());
}

TEST(SelectionViewKeys, ArrowsWithoutSelectionMakeTheCentredSquareAndThenMoveIt)
{
    ScopedSetting adjust("adjustRegionBeforeCapture", true);
    ViewFixture f;
    QTest::keyClick(&f.view, Qt::Key_Left);
    EXPECT_EQ(f.view.selection(), QRectF(280, 180, 240, 240));
    EXPECT_TRUE(f.view.isAdjusting());
    QTest::keyClick(&f.view, Qt::Key_Left);
    EXPECT_EQ(f.view.selection(), QRectF(270, 180, 240, 240));
    QTest::keyClick(&f.view, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(f.view.selection(), QRectF(270, 160, 240, 260));
}

TEST(SelectionViewKeys, DigitsEscapeAndConfirmKeysReachTheCallbacks)
{
    ViewFixture f;
    QTest::keyClick(&f.view, Qt::Key_2);
    QTest::keyClick(&f.view, Qt::Key_1);
    QTest::keyClick(&f.view, Qt::Key_3);
    QTest::keyClick(&f.view, Qt::Key_Space);
    QTest::keyClick(&f.view, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(&f.view, Qt::Key_Escape);
    EXPECT_EQ(f.modeChanges, (std::vector<OverlayMode>{OverlayMode::window, OverlayMode::region}));
    EXPECT_EQ(f.fullScreens, 1);
    EXPECT_EQ(f.confirms, 2);
    ASSERT_EQ(f.finished.size(), 1u);
    EXPECT_FALSE(f.finished[0]);
}

TEST(SelectionViewKeys, CCopiesTheLoupeColourOnlyWhenItShowsAndWithoutCommandKeys)
{
    RecordingAnnouncer announcer;
    ViewFixture f;
    f.view.setShowsLoupe(true);
    QGuiApplication::clipboard()->setText("before");

    // Without a snapshot there is no loupe: C is not taken.
    QKeyEvent plainC(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, "c");
    QCoreApplication::sendEvent(&f.view, &plainC);
    EXPECT_FALSE(plainC.isAccepted());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");

    f.view.setSnapshot(gradientSnapshot(QSize(1600, 1200))); // 2 pixels per point
    QTest::mouseMove(&f.view, QPoint(100, 60));
    ASSERT_TRUE(f.view.loupe()->isVisible());
    EXPECT_EQ(f.view.loupe()->positionText(), "x 200   y 120");

    QKeyEvent ctrlC(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, "c");
    QCoreApplication::sendEvent(&f.view, &ctrlC);
    EXPECT_FALSE(ctrlC.isAccepted());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");

    QKeyEvent c(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, "c");
    QCoreApplication::sendEvent(&f.view, &c);
    EXPECT_TRUE(c.isAccepted());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "#C87880"); // 200, 120, 0x80
    EXPECT_TRUE(f.view.loupe()->showsCopied());
    EXPECT_TRUE(announcer.said.contains("Copied color #C87880"));
}

TEST(SelectionViewWindow, HoverPicksTheWindowAndArrowsLeaveItAlone)
{
    platform::ShareableContent content;
    platform::WindowInfo w;
    w.windowID = 0x1a00007;
    w.frame = QRect(200, 150, 300, 200);
    w.isOnScreen = true;
    w.owningApplication = platform::OwningApplication{1, "other"};
    content.windows = {w};
    WindowPicker picker([&] {
        return QtFuture::makeReadyFuture(
            platform::CaptureResult<platform::ShareableContent>(content));
    });
    QFuture<void> ready = picker.prepare();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.isFinished(); }));

    ViewFixture f(OverlayMode::window);
    f.view.setWindowPicker(&picker);
    f.view.setRootMapping(QPoint(0, 0), 1.0);
    QTest::mouseMove(&f.view, QPoint(300, 200));
    EXPECT_EQ(f.view.selection(), QRectF(200, 150, 300, 200));
    ASSERT_TRUE(f.view.pickedWindow());

    // The arrows would move the rectangle away from the window that would be captured.
    QTest::keyClick(&f.view, Qt::Key_Right);
    QTest::keyClick(&f.view, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(f.view.selection(), QRectF(200, 150, 300, 200));

    QTest::mouseClick(&f.view, Qt::LeftButton, {}, QPoint(300, 200));
    ASSERT_EQ(f.finished.size(), 1u);
    ASSERT_TRUE(f.finished[0] && f.finished[0]->window);
    EXPECT_EQ(f.finished[0]->window->windowID, 0x1a00007u);

    // Off every window: nothing is highlighted, and a click reports nothing.
    QTest::mouseMove(&f.view, QPoint(700, 500));
    EXPECT_TRUE(f.view.selection().isEmpty());
    QTest::mouseClick(&f.view, Qt::LeftButton, {}, QPoint(700, 500));
    EXPECT_EQ(f.finished.size(), 1u);
}

TEST(SelectionViewBar, BackgroundPressStartsNothingAndCaptureWidensTheBar)
{
    ViewFixture f;
    f.view.showModeBar();
    CaptureModeBar* bar = f.view.modeBar();
    ASSERT_TRUE(bar);
    const QRect before = bar->geometry();
    EXPECT_EQ(before.bottom() + 1, 600 - 56);
    EXPECT_LE(std::abs(before.center().x() - 400), 1);

    // Between the segments and "Cancel": the bar's own background.
    const QPoint gap(bar->cancelButton()->geometry().left() - 6, bar->height() / 2);
    QTest::mouseClick(bar, Qt::LeftButton, {}, gap);
    EXPECT_EQ(f.begins, 0);
    EXPECT_TRUE(f.view.selection().isEmpty());
    EXPECT_EQ(bar->cursor().shape(), Qt::ArrowCursor);

    f.view.setCaptureButtonVisible(true);
    const QRect after = bar->geometry();
    EXPECT_EQ(after.width(), before.width() + bar->captureButton()->width() + 12);
    EXPECT_EQ(after.bottom(), before.bottom());
    EXPECT_LE(std::abs(after.center().x() - before.center().x()), 1);
    f.view.setCaptureButtonVisible(false);
    EXPECT_EQ(bar->geometry(), before);

    for (QAbstractButton* b : {bar->segment(0), bar->segment(1), bar->segment(2),
                               bar->cancelButton(), bar->captureButton()}) {
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
    }
}

TEST(SelectionViewBar, ControlsReachTheViewsCallbacks)
{
    ViewFixture f;
    f.view.showModeBar();
    CaptureModeBar* bar = f.view.modeBar();
    EXPECT_TRUE(bar->segment(0)->isChecked());
    QTest::mouseClick(bar->segment(1), Qt::LeftButton);
    QTest::mouseClick(bar->segment(2), Qt::LeftButton);
    QTest::mouseClick(bar->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(f.modeChanges, std::vector<OverlayMode>{OverlayMode::window});
    EXPECT_EQ(f.fullScreens, 1);
    ASSERT_EQ(f.finished.size(), 1u);
    EXPECT_FALSE(f.finished[0]);
    f.view.setCaptureButtonVisible(true);
    QTest::mouseClick(bar->captureButton(), Qt::LeftButton);
    EXPECT_EQ(f.confirms, 1);
}

TEST(SelectionViewDrawing, DimsAroundTheSelectionAndWritesAPictureForAPerson)
{
    ScopedSetting adjust("adjustRegionBeforeCapture", true);
    ViewFixture f;
    const QImage snapshot = gradientSnapshot(QSize(800, 600));
    f.view.setBackground(snapshot);
    f.view.setSnapshot(snapshot);
    f.view.setShowsLoupe(true);
    f.view.showModeBar();
    f.drag(QPoint(150, 120), QPoint(450, 330));
    f.view.setCaptureButtonVisible(true);
    QTest::mouseMove(&f.view, QPoint(560, 250));
    ASSERT_TRUE(f.view.loupe()->isVisible());

    const QImage image = f.view.grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    image.save(QStringLiteral(SNAPKIN_BUILD_DIR "/selection-view.png"));
    const auto at = [&](int x, int y) { return image.pixelColor(int(x * dpr), int(y * dpr)); };
    // Inside the selection the picture shows as it is; outside it is dimmed to 65 %.
    EXPECT_EQ(at(300, 250).rgb(), snapshot.pixel(300, 250));
    const QColor outside = at(50, 500);
    const QColor original = snapshot.pixelColor(50, 500);
    EXPECT_NEAR(outside.green(), original.green() * 0.65, 2);
    // The border is white.
    EXPECT_EQ(at(150, 250), QColor(Qt::white));
    // A handle sits on the top-left corner.
    EXPECT_EQ(at(150, 120).rgb(), QColor(Qt::white).rgb());
}
