// The desktop's wallpaper in place of its icons: the part of ScreenCapture that paints the
// root window's background picture over desktop windows.

#include "platform/ScreenCapture.h"
#include "platform/ScreenCaptureGrab.h"
#include "platform/X11Connection.h"

#include <QPainter>
#include <QRegion>

#include <algorithm>

namespace snapkin::platform {

namespace {

// The pixmap a root property names, when it is one that still exists.
xcb_pixmap_t pixmapProperty(X11Connection& conn, const char* name)
{
    xcb_connection_t* c = conn.get();
    const xcb_atom_t atom = conn.atom(name);
    if (atom == XCB_ATOM_NONE) return XCB_NONE;
    XcbReply<xcb_get_property_reply_t> r(xcb_get_property_reply(
        c, xcb_get_property(c, 0, conn.root(), atom, XCB_ATOM_PIXMAP, 0, 1), nullptr));
    if (!r || r->format != 32 || r->type != XCB_ATOM_PIXMAP ||
        xcb_get_property_value_length(r.get()) < 4) {
        return XCB_NONE;
    }
    const xcb_pixmap_t pixmap = *static_cast<const std::uint32_t*>(xcb_get_property_value(r.get()));
    if (pixmap == XCB_NONE) return XCB_NONE;
    // A setter that exited may have left the property naming a freed pixmap.
    XcbReply<xcb_get_geometry_reply_t> g(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, pixmap), nullptr));
    return g ? pixmap : xcb_pixmap_t(XCB_NONE);
}

struct Placed {
    xcb_window_t window = XCB_NONE;
    QRect rect; // root coordinates, border included
    bool viewable = false;
};

// The root's children, bottom to top, with where they are and whether they are shown.
std::vector<Placed> rootChildren(X11Connection& conn)
{
    xcb_connection_t* c = conn.get();
    XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, conn.root()), nullptr));
    if (!tree) return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    std::vector<xcb_get_window_attributes_cookie_t> attributes;
    std::vector<xcb_get_geometry_cookie_t> geometries;
    for (int i = 0; i < count; ++i) {
        attributes.push_back(xcb_get_window_attributes(c, children[i]));
        geometries.push_back(xcb_get_geometry(c, children[i]));
    }
    std::vector<Placed> out;
    for (int i = 0; i < count; ++i) {
        XcbReply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(c, attributes[size_t(i)], nullptr));
        XcbReply<xcb_get_geometry_reply_t> g(
            xcb_get_geometry_reply(c, geometries[size_t(i)], nullptr));
        if (!a || !g) continue; // gone meanwhile
        const int border = g->border_width;
        out.push_back(Placed{
            children[i], QRect(g->x, g->y, g->width + 2 * border, g->height + 2 * border),
            a->map_state == XCB_MAP_STATE_VIEWABLE && a->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT});
    }
    return out;
}

// The root rectangle of a window's inside.
std::optional<QRect> rootRectOf(X11Connection& conn, xcb_window_t window)
{
    xcb_connection_t* c = conn.get();
    const auto geometryCookie = xcb_get_geometry(c, window);
    const auto originCookie = xcb_translate_coordinates(c, window, conn.root(), 0, 0);
    XcbReply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, geometryCookie, nullptr));
    XcbReply<xcb_translate_coordinates_reply_t> o(
        xcb_translate_coordinates_reply(c, originCookie, nullptr));
    if (!g || !o) return std::nullopt;
    return QRect(o->dst_x, o->dst_y, g->width, g->height);
}

} // namespace

std::uint32_t ScreenCapture::rootBackgroundPixmap(X11Connection& conn)
{
    if (xcb_pixmap_t p = pixmapProperty(conn, "_XROOTPMAP_ID")) return p;
    return pixmapProperty(conn, "ESETROOT_PMAP_ID");
}

bool ScreenCapture::paintRootBackground(X11Connection& conn, QImage& image, const QRect& area,
                                        const std::vector<std::uint32_t>& desktopWindows)
{
    const xcb_pixmap_t pixmap = rootBackgroundPixmap(conn);
    if (pixmap == XCB_NONE) return false;
    if (desktopWindows.empty()) return true;
    xcb_connection_t* c = conn.get();
    XcbReply<xcb_get_geometry_reply_t> pixmapGeometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, pixmap), nullptr));
    if (!pixmapGeometry) return false;

    // What of the desktop windows is seen: each one's rectangle less every shown window
    // stacked above the top-level window that holds it.
    const std::vector<Placed> children = rootChildren(conn);
    QRegion seen;
    for (std::uint32_t desktop : desktopWindows) {
        const auto top = grab::topLevelOf(conn, desktop);
        const auto rect = rootRectOf(conn, desktop);
        if (!top || !rect) continue;
        const auto at = std::find_if(children.begin(), children.end(),
                                     [&](const Placed& p) { return p.window == *top; });
        if (at == children.end() || !at->viewable) continue;
        QRegion visible(*rect);
        for (auto above = at + 1; above != children.end(); ++above) {
            if (above->viewable) visible -= above->rect;
        }
        seen += visible;
    }
    const QRect pixmapRect(0, 0, pixmapGeometry->width, pixmapGeometry->height);
    seen &= area.intersected(pixmapRect);
    if (seen.isEmpty()) return true;

    // The background's pixels follow the root's visual when they have its depth; another
    // depth has no visual to read it by.
    if (pixmapGeometry->depth != conn.screen()->root_depth) return false;
    const QRect bounds = seen.boundingRect();
    auto background = grab::drawable(conn, pixmap, bounds, false, pixmapGeometry->depth,
                                     conn.screen()->root_visual);
    if (!background) return false;
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setClipRegion(seen.translated(-area.topLeft()));
    painter.drawImage(bounds.topLeft() - area.topLeft(), *background);
    return true;
}

} // namespace snapkin::platform
