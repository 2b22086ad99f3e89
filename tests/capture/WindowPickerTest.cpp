#include "capture/overlay/WindowPicker.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using platform::CaptureResult;
using platform::OwningApplication;
using platform::ScreenCaptureError;
using platform::ShareableContent;
using platform::WindowInfo;

namespace {

constexpr qint64 ownPid = 4242;

WindowInfo window(std::uint32_t id, QRect frame, qint64 pid = 100, int layer = 0)
{
    WindowInfo w;
    w.windowID = id;
    w.frame = frame;
    w.windowLayer = layer;
    w.isOnScreen = true;
    w.owningApplication = OwningApplication{pid, QStringLiteral("app")};
    return w;
}

std::vector<std::uint32_t> ids(const std::vector<WindowInfo>& windows)
{
    std::vector<std::uint32_t> out;
    for (const WindowInfo& w : windows)
        out.push_back(w.windowID);
    return out;
}

// A picker whose query answers at once with whatever `answer` holds at the time.
struct FakeSource {
    CaptureResult<ShareableContent> answer = ShareableContent{};
    WindowPicker picker{[this] { return QtFuture::makeReadyFuture(answer); }};

    void prepare()
    {
        QFuture<void> done = picker.prepare();
        ASSERT_TRUE(QTest::qWaitFor([&] { return done.isFinished(); }, 5000));
    }
};

} // namespace

TEST(WindowPickerList, KeepsOnlyOrdinaryWindowsOfOtherProgramsLargerThanAPixel)
{
    ShareableContent content;
    content.windows = {
        window(1, QRect(0, 0, 400, 300)),
        window(2, QRect(0, 0, 400, 300), ownPid),    // ours, by process
        window(3, QRect(0, 0, 400, 300), 100),       // ours, by window id
        window(4, QRect(10, 10, 1, 300)),            // one pixel wide
        window(5, QRect(10, 10, 300, 1)),            // one pixel tall
        window(6, QRect(10, 10, 2, 2)),              // small, but listed
        window(7, QRect(0, 0, 1920, 30), 100, 1),    // a panel
        window(8, QRect(0, 0, 1920, 1080), 100, -1), // the desktop
    };
    content.windows.push_back(window(9, QRect(50, 50, 100, 100)));
    content.windows.back().owningApplication.reset(); // says nothing about its owner
    const auto kept = WindowPicker::candidates(content, ownPid, {3});
    EXPECT_EQ(ids(kept), (std::vector<std::uint32_t>{1, 6, 9}));
}

TEST(WindowPickerHit, EdgesAndOverlap)
{
    FakeSource fake;
    ShareableContent content;
    content.windows = {window(1, QRect(100, 100, 200, 100)), window(2, QRect(150, 150, 400, 400))};
    fake.answer = content;
    fake.prepare();

    // Left and top edges belong to the frame; right and bottom edges do not.
    EXPECT_EQ(fake.picker.window(QPointF(100, 100))->windowID, 1u);
    EXPECT_EQ(fake.picker.window(QPointF(299.5, 199.5))->windowID, 1u);
    EXPECT_FALSE(fake.picker.window(QPointF(300, 120)));
    EXPECT_FALSE(fake.picker.window(QPointF(120, 200)));
    // Where they overlap the one listed first wins; beyond it the other one is found.
    EXPECT_EQ(fake.picker.window(QPointF(200, 180))->windowID, 1u);
    EXPECT_EQ(fake.picker.window(QPointF(320, 180))->windowID, 2u);
    EXPECT_FALSE(fake.picker.window(QPointF(10, 10)));
}

TEST(WindowPickerQuery, EachAnswerReplacesTheListAndAFailureEmptiesIt)
{
    FakeSource fake;
    ShareableContent first;
    first.windows = {window(1, QRect(0, 0, 100, 100)), window(2, QRect(200, 0, 100, 100))};
    fake.answer = first;
    fake.prepare();
    EXPECT_EQ(fake.picker.windows().size(), 2u);

    ShareableContent second;
    second.windows = {window(3, QRect(0, 0, 50, 50))};
    fake.answer = second;
    fake.prepare();
    EXPECT_EQ(ids(fake.picker.windows()), (std::vector<std::uint32_t>{3}));

    fake.answer = std::unexpected(ScreenCaptureError{ScreenCaptureError::Kind::noXServer, {}});
    fake.prepare();
    EXPECT_TRUE(fake.picker.windows().empty());
    EXPECT_FALSE(fake.picker.window(QPointF(10, 10)));
}
