// Proves the test harness gives X11 tests a private, working X server: a window painted in a
// known colour is read back from the root window through xcb.
#include <QGuiApplication>
#include <QPainter>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <memory>

namespace {

class Swatch : public QWidget {
public:
    Swatch() { setWindowFlag(Qt::FramelessWindowHint); }
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(12, 200, 99)); }
};

QColor rootPixel(xcb_connection_t* c, xcb_window_t root, int x, int y)
{
    auto cookie = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, x, y, 1, 1, ~0u);
    std::unique_ptr<xcb_get_image_reply_t, decltype(&free)> reply(
        xcb_get_image_reply(c, cookie, nullptr), &free);
    if (!reply || xcb_get_image_data_length(reply.get()) < 4) return {};
    const uint8_t* d = xcb_get_image_data(reply.get());
    return QColor(d[2], d[1], d[0]); // BGRX
}

} // namespace

TEST(X11Harness, PrivateServerShowsOurWindow)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY"));
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    xcb_connection_t* c = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;

    Swatch swatch;
    swatch.setGeometry(40, 30, 120, 80);
    swatch.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&swatch));
    const QPoint probe = swatch.mapToGlobal(QPoint(60, 40));
    QColor seen;
    for (int i = 0; i < 100 && seen != QColor(12, 200, 99); ++i) {
        QTest::qWait(20);
        seen = rootPixel(c, screen->root, probe.x(), probe.y());
    }
    EXPECT_EQ(seen, QColor(12, 200, 99));
}
