#include "OverlayTestSupport.h"

#include "capture/overlay/CaptureModeBar.h"
#include "capture/overlay/SelectionOverlay.h"
#include "capture/overlay/SelectionView.h"
#include "capture/overlay/WindowPicker.h"
#include "platform/ScreenCapture.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using test::RecordingAnnouncer;
using test::ScopedSetting;

namespace {

struct Completions {
    std::vector<std::optional<OverlayResult>> results;
    OverlayCompletion completion()
    {
        return [this](std::optional<OverlayResult> r) { results.push_back(std::move(r)); };
    }
};

SelectionView* onlyView(const SelectionOverlay& overlay)
{
    return overlay.views().isEmpty() ? nullptr : overlay.views().first().data();
}

void drag(QWidget* view, QPoint from, QPoint to)
{
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    QTest::mouseMove(view, to);
    QTest::mouseRelease(view, Qt::LeftButton, {}, to);
}

} // namespace

TEST(SelectionOverlaySession, CoversEveryScreenAndEndsOnceOnEscape)
{
    CaptureEngine::registerDefaults();
    RecordingAnnouncer announcer;
    SelectionOverlay overlay;
    Completions done;
    const int session = overlay.begin(OverlayMode::region, std::nullopt, done.completion());
    EXPECT_EQ(session, 1);
    ASSERT_TRUE(overlay.isOpen());
    ASSERT_EQ(overlay.views().size(), QGuiApplication::screens().size());
    SelectionView* view = onlyView(overlay);
    EXPECT_TRUE(view->isVisible());
    EXPECT_TRUE(view->window()->windowFlags() & Qt::X11BypassWindowManagerHint);
    EXPECT_TRUE(view->window()->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(overlay.barView(), view);
    ASSERT_TRUE(view->modeBar());
    EXPECT_FALSE(view->modeBar()->captureVisible());
    ASSERT_FALSE(announcer.said.isEmpty());
    EXPECT_TRUE(announcer.said.first().startsWith("Select the area to capture."));
    EXPECT_TRUE(announcer.said.first().endsWith("Press C to copy the color under the pointer."));

    QPointer<SelectionView> weak(view);
    QTest::keyClick(view, Qt::Key_Escape);
    ASSERT_EQ(done.results.size(), 1u);
    EXPECT_FALSE(done.results[0]);
    EXPECT_FALSE(overlay.isOpen());
    EXPECT_TRUE(overlay.views().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return weak.isNull(); }));
    EXPECT_EQ(done.results.size(), 1u);
}

TEST(SelectionOverlaySession, ASecondBeginIsAnsweredAtOnceAndLeavesTheOpenSessionAlone)
{
    SelectionOverlay overlay;
    Completions first;
    Completions second;
    const int session = overlay.begin(OverlayMode::region, std::nullopt, first.completion());
    const auto views = overlay.views();
    EXPECT_EQ(overlay.begin(OverlayMode::window, std::nullopt, second.completion()), 0);
    ASSERT_EQ(second.results.size(), 1u);
    EXPECT_FALSE(second.results[0]);
    EXPECT_TRUE(first.results.empty());
    EXPECT_EQ(overlay.views(), views);
    EXPECT_EQ(overlay.session(), session);
    EXPECT_EQ(onlyView(overlay)->mode(), OverlayMode::region);

    drag(onlyView(overlay), QPoint(10, 10), QPoint(110, 60));
    ASSERT_EQ(first.results.size(), 1u);
    ASSERT_TRUE(first.results[0]);
    EXPECT_EQ(first.results[0]->kind, OverlayResult::Kind::selection);
    EXPECT_EQ(first.results[0]->selection.rect, QRectF(10, 10, 100, 50));
    EXPECT_EQ(first.results[0]->screen, QGuiApplication::screens().first());
    EXPECT_EQ(second.results.size(), 1u);

    // The next session opens normally, with the next number.
    Completions third;
    EXPECT_EQ(overlay.begin(OverlayMode::region, std::nullopt, third.completion()), session + 1);
    QTest::keyClick(onlyView(overlay), Qt::Key_Escape);
    EXPECT_EQ(third.results.size(), 1u);
}

TEST(SelectionOverlayModes, SwitchingToWindowClearsTheSelectionAndHidesCapture)
{
    ScopedSetting adjust("adjustRegionBeforeCapture", true);
    SelectionOverlay overlay;
    Completions done;
    overlay.begin(OverlayMode::region, std::nullopt, done.completion());
    SelectionView* view = onlyView(overlay);
    drag(view, QPoint(100, 100), QPoint(300, 250));
    ASSERT_TRUE(view->isAdjusting());
    EXPECT_TRUE(view->modeBar()->captureVisible());

    // The mode in force: nothing changes.
    QTest::keyClick(view, Qt::Key_1);
    EXPECT_EQ(view->selection(), QRectF(100, 100, 200, 150));
    EXPECT_TRUE(view->isAdjusting());

    QTest::keyClick(view, Qt::Key_2);
    EXPECT_EQ(view->mode(), OverlayMode::window);
    EXPECT_TRUE(view->selection().isEmpty());
    EXPECT_FALSE(view->isAdjusting());
    EXPECT_FALSE(view->modeBar()->captureVisible());
    EXPECT_TRUE(view->modeBar()->segment(1)->isChecked());
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_TRUE(done.results.size() == 1 && !done.results[0]);
}

TEST(SelectionOverlayModes, ConfirmTakesTheAdjustedSelectionAndFullScreenTheBarsScreen)
{
    ScopedSetting adjust("adjustRegionBeforeCapture", true);
    SelectionOverlay overlay;
    Completions done;
    overlay.begin(OverlayMode::region, std::nullopt, done.completion());
    SelectionView* view = onlyView(overlay);
    QTest::keyClick(view, Qt::Key_Return); // nothing to confirm yet
    EXPECT_TRUE(done.results.empty());
    drag(view, QPoint(100, 100), QPoint(300, 250));
    QTest::mouseClick(view->modeBar()->captureButton(), Qt::LeftButton);
    ASSERT_EQ(done.results.size(), 1u);
    ASSERT_TRUE(done.results[0]);
    EXPECT_EQ(done.results[0]->selection.rect, QRectF(100, 100, 200, 150));

    overlay.begin(OverlayMode::window, std::nullopt, done.completion());
    view = onlyView(overlay);
    EXPECT_TRUE(view->modeBar()->segment(1)->isChecked());
    QTest::mouseClick(view->modeBar()->segment(2), Qt::LeftButton);
    ASSERT_EQ(done.results.size(), 2u);
    ASSERT_TRUE(done.results[1]);
    EXPECT_EQ(done.results[1]->kind, OverlayResult::Kind::fullScreen);
    EXPECT_EQ(done.results[1]->screen, view->screen());
}

TEST(SelectionOverlayModes, WindowModeHighlightsTheWindowUnderThePointerOnceListed)
{
    platform::ShareableContent content;
    platform::WindowInfo w;
    w.windowID = 77;
    w.isOnScreen = true;
    w.owningApplication = platform::OwningApplication{1, "other"};
    QScreen* screen = QGuiApplication::screens().first();
    w.frame = QRect(screen->geometry().topLeft(), QSize(2, 2)); // listed, but too small
    content.windows = {w};
    QPromise<platform::CaptureResult<platform::ShareableContent>> answer;
    WindowPicker picker([&] { return answer.future(); });
    SelectionOverlay overlay(nullptr, &picker);
    Completions done;
    overlay.begin(OverlayMode::window, std::nullopt, done.completion());
    SelectionView* view = onlyView(overlay);
    QCursor::setPos(screen->geometry().topLeft());
    answer.start();
    answer.addResult(content);
    answer.finish();
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->pickedWindow().has_value(); }));
    // A 2 × 2 window is highlighted but is no result.
    EXPECT_FALSE(view->currentResult());
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_TRUE(done.results.empty());
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_EQ(done.results.size(), 1u);
}

TEST(SelectionOverlayKeys, KeysMeantForAnotherOwnWindowReachTheOverlay)
{
    QWidget other;
    auto* field = new QLineEdit(&other);
    other.show();
    field->setFocus();
    SelectionOverlay overlay;
    Completions done;
    overlay.begin(OverlayMode::region, std::nullopt, done.completion());
    // As if Qt still had the other window focused when the keys came in.
    QTest::keyClicks(field, "2");
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_EQ(onlyView(overlay)->mode(), OverlayMode::window);
    QTest::keyClick(field, Qt::Key_Escape);
    ASSERT_EQ(done.results.size(), 1u);
    EXPECT_FALSE(done.results[0]);
    // Once the session is over the field types again.
    QTest::keyClicks(field, "ok");
    EXPECT_EQ(field->text(), "ok");
}
