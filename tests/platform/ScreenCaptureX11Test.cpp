#include "platform/ScreenCapture.h"
#include "platform/X11Connection.h"

#include <QPainter>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace snapkin::platform;

namespace {

class Filled : public QWidget {
public:
    explicit Filled(QColor c) : m_color(c)
    {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    void setColor(QColor c)
    {
        m_color = c;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), m_color); }

private:
    QColor m_color;
};

// Grabs until the screen shows the colour at `at` (the window may not be painted yet).
bool screenShows(QPoint at, QColor color)
{
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        auto image = ScreenCapture::grabScreenRect(QRect(at, QSize(1, 1)));
        if (image && QColor(image->pixel(0, 0)) == color) return true;
        QTest::qWait(5);
    }
    return false;
}

} // namespace

TEST(ScreenCaptureGrab, RectanglesAreClippedToTheScreenAndNothingOutsideIsAnError)
{
    auto partly = ScreenCapture::grabScreenRect(QRect(1900, 1070, 100, 100));
    ASSERT_TRUE(partly);
    EXPECT_EQ(partly->size(), QSize(20, 10));

    auto outside = ScreenCapture::grabScreenRect(QRect(2000, 0, 100, 100));
    ASSERT_FALSE(outside);
    EXPECT_EQ(outside.error().kind, ScreenCaptureError::Kind::noSuchDisplay);
    EXPECT_FALSE(ScreenCapture::grabScreenRect(QRect(10, 10, 0, 0)));
}

TEST(ScreenCaptureGrab, AnImageKeepsItsPixelsWhileLaterGrabsReuseMemory)
{
    Filled window(Qt::red);
    window.setGeometry(0, 0, 1920, 1080);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(screenShows({960, 540}, Qt::red));
    auto first = ScreenCapture::grabScreenRect(QRect(0, 0, 1920, 1080));
    ASSERT_TRUE(first);

    window.setColor(Qt::blue);
    ASSERT_TRUE(screenShows({960, 540}, Qt::blue));
    // Grabs of the same size while the first image is alive, and after one is let go.
    auto second = ScreenCapture::grabScreenRect(QRect(0, 0, 1920, 1080));
    {
        auto dropped = ScreenCapture::grabScreenRect(QRect(0, 0, 1920, 1080));
    }
    auto third = ScreenCapture::grabScreenRect(QRect(0, 0, 1920, 1080));
    ASSERT_TRUE(second && third);
    for (QPoint p : {QPoint(0, 0), QPoint(960, 540), QPoint(1919, 1079)}) {
        EXPECT_EQ(first->pixel(p), qRgb(255, 0, 0));
        EXPECT_EQ(second->pixel(p), qRgb(0, 0, 255));
        EXPECT_EQ(third->pixel(p), qRgb(0, 0, 255));
    }
    // Images are opaque premultiplied ARGB32 whatever the server leaves in the padding byte.
    EXPECT_EQ(first->format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(qAlpha(first->pixel(5, 5)), 255);
}

TEST(ScreenCaptureWindows, AWindowThatIsGoneOrHiddenIsReportedAsSuch)
{
    auto conn = X11Connection::open();
    ASSERT_TRUE(conn);
    auto gone = ScreenCapture::grabWindow(*conn, 0x7ffffff0u, false);
    ASSERT_FALSE(gone);
    EXPECT_EQ(gone.error().kind, ScreenCaptureError::Kind::noSuchWindow);

    Filled window(Qt::green);
    window.setGeometry(100, 100, 50, 40);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto id = std::uint32_t(window.winId());
    ASSERT_TRUE(screenShows({120, 120}, Qt::green));
    auto shown = ScreenCapture::grabWindow(*conn, id, false);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->size(), QSize(50, 40));

    window.hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ScreenCapture::isShown(*conn, id); }, 10000));
    auto hidden = ScreenCapture::grabWindow(*conn, id, false);
    ASSERT_FALSE(hidden);
    EXPECT_EQ(hidden.error().kind, ScreenCaptureError::Kind::noSuchWindow);
}

TEST(ScreenCaptureDisplays, IdentifiersFollowTheMonitorNameAndNeverZero)
{
    // The same name gives the same identifier in every run, so a stored region finds its
    // monitor again after a restart.
    EXPECT_EQ(ScreenCapture::displayIDForName("DP-1"), ScreenCapture::displayIDForName("DP-1"));
    EXPECT_NE(ScreenCapture::displayIDForName("DP-1"), ScreenCapture::displayIDForName("DP-2"));
    EXPECT_NE(ScreenCapture::displayIDForName(""), 0u);
    EXPECT_FALSE(ScreenCapture::displayID(nullptr));

    auto content = ScreenCapture::shareableContent(ScreenCapture::currentScreenScales());
    ASSERT_TRUE(content);
    ASSERT_EQ(content->displays.size(), 1u);
    EXPECT_EQ(content->displays[0].displayID,
              ScreenCapture::displayIDForName(content->displays[0].name));
}

TEST(ScreenCaptureConnection, NoXServerIsAnErrorNotACrash)
{
    EXPECT_FALSE(X11Connection::open(":4095"));
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":4095");
    auto content = ScreenCapture::shareableContent({});
    auto grab = ScreenCapture::grabScreenRect(QRect(0, 0, 2, 2));
    qputenv("DISPLAY", display);
    ASSERT_FALSE(content);
    EXPECT_EQ(content.error().kind, ScreenCaptureError::Kind::noXServer);
    ASSERT_FALSE(grab);
    EXPECT_EQ(grab.error().kind, ScreenCaptureError::Kind::noXServer);
    // And back on the real server afterwards.
    EXPECT_TRUE(ScreenCapture::grabScreenRect(QRect(0, 0, 2, 2)));
}
