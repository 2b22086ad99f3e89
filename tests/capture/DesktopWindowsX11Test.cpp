#include "X11Support.h"

#include "platform/DesktopWindows.h"
#include "platform/X11Connection.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

using namespace snapkin;
using platform::DesktopWindows;
using platform::X11Connection;
using test::ForeignWindow;

namespace {

// Gives another client's window the properties a program sets on its windows.
void describeWindow(std::uint32_t window, const QByteArray& wmClass, std::uint32_t pid)
{
    auto conn = X11Connection::open();
    ASSERT_TRUE(conn);
    xcb_change_property(conn->get(), XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, std::uint32_t(wmClass.size()), wmClass.constData());
    xcb_change_property(conn->get(), XCB_PROP_MODE_REPLACE, window, conn->atom("_NET_WM_PID"),
                        XCB_ATOM_CARDINAL, 32, 1, &pid);
    conn->sync();
}

bool activate(std::uint32_t window)
{
    return QProcess::execute("xdotool", {"windowactivate", "--sync", QString::number(window)}) == 0;
}

} // namespace

TEST(DesktopWindows, TheSourceApplicationIsTheActiveWindowsClassUnlessItIsOurs)
{
    // Made before the window manager, so none takes the id of its probe window.
    ForeignWindow editor(QRect(100, 100, 300, 200), Qt::gray);
    ForeignWindow mine(QRect(500, 100, 300, 200), Qt::darkGray);
    describeWindow(editor.xid(), QByteArray("gedit\0Gedit\0", 12), 4242);
    const auto ownPid = std::uint32_t(QCoreApplication::applicationPid());
    describeWindow(mine.xid(), QByteArray("snapkin\0snapkin\0", 16), ownPid);
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());

    // The manager may still be settling the focus of the windows it adopted: ask until it holds.
    ASSERT_TRUE(activate(editor.xid()));
    EXPECT_TRUE(test::waitUntil(
        [&] { return DesktopWindows::activeApplicationName(ownPid) == QString("Gedit"); }));
    // Front-most first: the activated window is on top.
    EXPECT_EQ(DesktopWindows::stackingOrder().front(), editor.xid());

    ASSERT_TRUE(activate(mine.xid()));
    EXPECT_TRUE(
        test::waitUntil([&] { return DesktopWindows::stackingOrder().front() == mine.xid(); }));
    EXPECT_FALSE(DesktopWindows::activeApplicationName(ownPid));
}

TEST(DesktopWindows, WithoutAWindowManagerThereIsNoActiveWindowAndTheTreeGivesTheOrder)
{
    ForeignWindow below(QRect(0, 0, 100, 100), Qt::gray);
    ForeignWindow above(QRect(50, 50, 100, 100), Qt::darkGray);
    EXPECT_FALSE(DesktopWindows::activeApplicationName(0));
    EXPECT_FALSE(DesktopWindows::compositingManagerRunning());
    const auto stacking = DesktopWindows::stackingOrder();
    const auto at = [&](std::uint32_t id) {
        return std::find(stacking.begin(), stacking.end(), id) - stacking.begin();
    };
    EXPECT_LT(at(above.xid()), at(below.xid()));
    EXPECT_LT(at(below.xid()), std::ptrdiff_t(stacking.size()));

    test::CompositingManager compositor;
    ASSERT_TRUE(compositor.running());
    EXPECT_TRUE(DesktopWindows::compositingManagerRunning());
}
