#include "platform/DesktopWindows.h"

#include "platform/QtX11.h"
#include "platform/ScreenCapture.h"
#include "platform/X11Connection.h"

#include <QCursor>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace snapkin::platform {

namespace {

xcb_atom_t intern(xcb_connection_t* c, const char* name)
{
    XcbReply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, std::uint16_t(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The 32-bit values of a property, or nothing when it is absent.
std::optional<std::vector<std::uint32_t>> cardinals(xcb_connection_t* c, xcb_window_t window,
                                                    xcb_atom_t property, xcb_atom_t type)
{
    if (property == XCB_ATOM_NONE) return std::nullopt;
    XcbReply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, type, 0, 1 << 16), nullptr));
    if (!r || r->format != 32 || r->type == XCB_ATOM_NONE) return std::nullopt;
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(r.get()));
    return std::vector<std::uint32_t>(values, values + xcb_get_property_value_length(r.get()) / 4);
}

// The window _NET_ACTIVE_WINDOW names; XCB_NONE without one.
xcb_window_t activeWindow(xcb_connection_t* c)
{
    const auto active =
        cardinals(c, defaultRootWindow(c), intern(c, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    return active && !active->empty() ? active->front() : XCB_NONE;
}

// The root-window rectangle (device pixels) of the window named by _NET_ACTIVE_WINDOW, its
// window-manager frame left aside; nothing without one or when it is not on screen.
std::optional<QRect> activeWindowRect()
{
    xcb_connection_t* c = qtX11Connection();
    if (!c) return std::nullopt;
    const xcb_window_t window = activeWindow(c);
    if (window == XCB_NONE) return std::nullopt;
    const xcb_window_t root = defaultRootWindow(c);
    const auto attributesCookie = xcb_get_window_attributes(c, window);
    const auto geometryCookie = xcb_get_geometry(c, window);
    const auto rootCookie = xcb_translate_coordinates(c, window, root, 0, 0);
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, attributesCookie, nullptr));
    XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, nullptr));
    XcbReply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(c, rootCookie, nullptr));
    // A window manager may name a window that was just unmapped (one of ours hidden for a
    // capture): it is on no screen.
    if (!attributes || !geometry || !origin || attributes->map_state != XCB_MAP_STATE_VIEWABLE) {
        return std::nullopt;
    }
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

// The screen showing most of a rectangle in root-window pixels, or nullptr when none shows any
// of it. A screen's top left is in device pixels as the server has it; its size in points.
QScreen* screenShowingMost(const QRect& rect)
{
    QScreen* best = nullptr;
    qint64 bestArea = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect logical = screen->geometry();
        const QRect native(logical.topLeft(), logical.size() * screen->devicePixelRatio());
        const QRect shown = native.intersected(rect);
        const qint64 area = qint64(shown.width()) * shown.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best;
}

} // namespace

std::vector<std::uint32_t> DesktopWindows::stackingOrder()
{
    xcb_connection_t* c = qtX11Connection();
    if (!c) return {};
    const xcb_window_t root = defaultRootWindow(c);
    auto list = cardinals(c, root, intern(c, "_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW);
    std::vector<std::uint32_t> order;
    if (list) {
        order = std::move(*list);
    } else {
        XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
        if (!tree) return {};
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        order.assign(children, children + xcb_query_tree_children_length(tree.get()));
    }
    // Both lists run bottom to top.
    std::reverse(order.begin(), order.end());
    return order;
}

std::optional<QString> DesktopWindows::activeApplicationName(std::int64_t ownPid)
{
    xcb_connection_t* c = qtX11Connection();
    if (!c) return std::nullopt;
    const xcb_window_t window = activeWindow(c);
    if (window == XCB_NONE) return std::nullopt;
    const auto pid = cardinals(c, window, intern(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL);
    if (pid && !pid->empty() && std::int64_t(pid->front()) == ownPid) return std::nullopt;

    XcbReply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr));
    if (!r || r->format != 8) return std::nullopt;
    const QByteArray bytes(static_cast<const char*>(xcb_get_property_value(r.get())),
                           xcb_get_property_value_length(r.get()));
    // "instance\0Class\0": the class is the application's proper name.
    const QList<QByteArray> parts = bytes.split('\0');
    QString name = parts.size() > 1 && !parts[1].isEmpty() ? QString::fromLocal8Bit(parts[1])
                                                           : QString::fromLocal8Bit(parts[0]);
    if (name.isEmpty()) return std::nullopt;
    return name;
}

QScreen* DesktopWindows::workScreen()
{
    // One of ours has the focus: Qt knows its screen, also where the window manager does not
    // publish the active window.
    if (QWindow* focus = QGuiApplication::focusWindow(); focus && focus->isVisible()) {
        if (QScreen* screen = focus->screen()) return screen;
    }
    if (const auto active = activeWindowRect()) {
        if (QScreen* screen = screenShowingMost(*active)) return screen;
    }
    if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) return screen;
    return QGuiApplication::primaryScreen();
}

bool DesktopWindows::desktopIconsCannotBeHidden()
{
    xcb_connection_t* c = qtX11Connection();
    if (!c) return false;
    const xcb_window_t root = defaultRootWindow(c);
    for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"}) {
        const auto pixmap = cardinals(c, root, intern(c, name), XCB_ATOM_PIXMAP);
        if (!pixmap || pixmap->empty() || pixmap->front() == XCB_NONE) continue;
        XcbReply<xcb_get_geometry_reply_t> exists(
            xcb_get_geometry_reply(c, xcb_get_geometry(c, pixmap->front()), nullptr));
        if (exists) return false;
    }
    const xcb_atom_t type = intern(c, "_NET_WM_WINDOW_TYPE");
    const xcb_atom_t desktop = intern(c, "_NET_WM_WINDOW_TYPE_DESKTOP");
    if (type == XCB_ATOM_NONE || desktop == XCB_ATOM_NONE) return false;
    for (std::uint32_t window : stackingOrder()) {
        const auto types = cardinals(c, window, type, XCB_ATOM_ATOM);
        if (types && std::find(types->begin(), types->end(), desktop) != types->end()) return true;
    }
    return false;
}

bool DesktopWindows::isIconified(std::uint32_t window)
{
    xcb_connection_t* c = qtX11Connection();
    if (!c || window == XCB_NONE) return false;
    constexpr std::uint32_t iconicState = 3;
    const xcb_atom_t wmState = intern(c, "WM_STATE");
    const auto state = cardinals(c, window, wmState, wmState);
    return state && !state->empty() && state->front() == iconicState;
}

void DesktopWindows::deiconify(std::uint32_t window)
{
    xcb_connection_t* c = qtX11Connection();
    if (!c || window == XCB_NONE) return;
    xcb_map_window(c, window);
    xcb_flush(c);
}

bool DesktopWindows::compositingManagerRunning()
{
    xcb_connection_t* c = qtX11Connection();
    if (!c) return false;
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(defaultScreenNumber());
    const xcb_atom_t selection = intern(c, name.constData());
    if (selection == XCB_ATOM_NONE) return false;
    XcbReply<xcb_get_selection_owner_reply_t> r(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    return r && r->owner != XCB_NONE;
}

QFuture<void> DesktopWindows::waitUntilOffScreen(std::vector<std::uint32_t> windowIDs,
                                                 int timeoutMs)
{
    xcb_connection_t* c = qtX11Connection();
    // Without X11 there is no server that could still be showing them.
    if (!c || windowIDs.empty()) return QtFuture::makeReadyFuture();
    xcb_flush(c);
    return QtConcurrent::run([ids = std::move(windowIDs), timeoutMs] {
        auto conn = X11Connection::open();
        if (!conn) return;
        const QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            const bool anyShown = std::any_of(ids.begin(), ids.end(), [&](std::uint32_t id) {
                return ScreenCapture::isShown(*conn, id);
            });
            if (!anyShown) return;
            QThread::msleep(2);
        }
    });
}

} // namespace snapkin::platform
