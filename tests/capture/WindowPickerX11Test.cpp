#include "X11Support.h"

#include "capture/overlay/WindowPicker.h"
#include "platform/X11Connection.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using platform::X11Connection;

namespace {

// A window of another client that draws its own shadow, 20 pixels left and right, 15 above
// and 25 below, and says so the way client-side decorations do.
struct ShadowedWindow {
    std::shared_ptr<X11Connection> conn = X11Connection::open();
    xcb_window_t id = 0;

    explicit ShadowedWindow(QRect geometry)
    {
        if (!conn) return;
        xcb_connection_t* c = conn->get();
        id = xcb_generate_id(c);
        const uint32_t background[] = {0x336699};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, id, conn->root(), int16_t(geometry.x()),
                          int16_t(geometry.y()), uint16_t(geometry.width()),
                          uint16_t(geometry.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, background);
        const uint32_t extents[] = {20, 20, 15, 25}; // left, right, top, bottom
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, conn->atom("_GTK_FRAME_EXTENTS"),
                            XCB_ATOM_CARDINAL, 32, 4, extents);
        xcb_map_window(c, id);
        conn->sync();
    }
};

} // namespace

TEST(WindowPickerX11, AClientDrawnShadowIsNoPartOfTheFrame)
{
    ShadowedWindow shadowed(QRect(100, 100, 400, 300));
    ASSERT_TRUE(shadowed.id);
    WindowPicker picker;
    QFuture<void> ready = picker.prepare();
    ASSERT_TRUE(test::waitUntil([&] { return ready.isFinished(); }));

    const auto hit = picker.window(QPointF(300, 250));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->windowID, shadowed.id);
    EXPECT_EQ(hit->frame, QRect(120, 115, 360, 260));
    // In the shadow: no window.
    EXPECT_FALSE(picker.window(QPointF(110, 250)));
    EXPECT_FALSE(picker.window(QPointF(300, 390)));
}
