#include "platform/ScreenCapture.h"

#include "platform/L10n.h"
#include "platform/ScreenCaptureGrab.h"
#include "platform/X11Connection.h"

#include <xcb/composite.h>
#include <xcb/randr.h>
#include <xcb/shm.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace snapkin::platform {

namespace {

ScreenCaptureError failure(ScreenCaptureError::Kind kind, QString detail = {})
{
    return ScreenCaptureError{kind, std::move(detail)};
}

// Turns the server's 32-bit pixels into premultiplied ARGB: the byte order is fixed up and,
// unless the drawable's own alpha is wanted, the unused top byte is made opaque. `src` and
// `dst` may be the same.
void normalizePixels(const quint32* src, quint32* dst, qsizetype count, bool swapBytes, bool opaque)
{
    const quint32 alpha = opaque ? 0xff000000u : 0u;
    if (swapBytes) {
        for (qsizetype i = 0; i < count; ++i)
            dst[i] = qbswap(src[i]) | alpha;
    } else {
        for (qsizetype i = 0; i < count; ++i)
            dst[i] = src[i] | alpha;
    }
}

// Calls `rows(first, end)` over the rows of an image, split into bands over the thread pool for
// screen-sized images, where one core would spend as long copying as the server spends grabbing.
template <typename Rows> void inRowBands(int width, int height, const Rows& rows)
{
    const qsizetype pixels = qsizetype(width) * height;
    const int bands = pixels < (1 << 20) ? 1 : std::clamp(QThread::idealThreadCount(), 1, 8);
    if (bands == 1) return rows(0, height);
    std::vector<std::pair<int, int>> ranges;
    for (int i = 0; i < bands; ++i)
        ranges.emplace_back(height * i / bands, height * (i + 1) / bands);
    QtConcurrent::blockingMap(ranges,
                              [&](const std::pair<int, int>& r) { rows(r.first, r.second); });
}

void freeReply(void* p)
{
    std::free(p);
}

// Grabs smaller than this (a probe's few pixels, a loupe's sample) go through the connection
// itself: shared memory saves them nothing, and a small grab every few seconds that kept the
// resources alive would keep the last capture's 33 MB segment for good.
constexpr size_t minSharedMemoryBytes = 256 * 1024;

// How the pixels of a drawable are laid out: bits per pixel, row padding and where each
// colour channel sits. Every TrueColor and DirectColor visual says so by its masks; the
// colour map of a DirectColor visual is left aside, as screenshot tools do.
struct PixelFormat {
    int depth = 0;
    int bitsPerPixel = 0;
    int scanlinePad = 0;
    bool lsbFirst = true;
    struct Channel {
        int shift = 0;
        std::uint32_t mask = 0;        // already shifted down
        std::vector<std::uint8_t> to8; // every value of the channel, scaled to 0…255
    };
    Channel red, green, blue;

    // Eight bits per channel in the low three bytes of a 32-bit pixel: taken as they are.
    bool isNative() const
    {
        return bitsPerPixel == 32 && red.shift == 16 && red.mask == 0xff && green.shift == 8 &&
               green.mask == 0xff && blue.shift == 0 && blue.mask == 0xff;
    }
    qsizetype stride(int width) const
    {
        const qsizetype bits = qsizetype(width) * bitsPerPixel;
        return (bits + scanlinePad - 1) / scanlinePad * scanlinePad / 8;
    }
};

ScreenCaptureError formatError(int depth, int bitsPerPixel, const char* why)
{
    return failure(ScreenCaptureError::Kind::unsupportedFormat,
                   QStringLiteral("depth %1 at %2 bits per pixel: %3")
                       .arg(depth)
                       .arg(bitsPerPixel)
                       .arg(QLatin1String(why)));
}

std::optional<PixelFormat::Channel> channelOf(std::uint32_t mask)
{
    if (mask == 0) return std::nullopt;
    PixelFormat::Channel c;
    c.shift = std::countr_zero(mask);
    c.mask = mask >> c.shift;
    const int bits = std::popcount(c.mask);
    if (bits > 16 || c.mask != (std::uint32_t(1) << bits) - 1)
        return std::nullopt; // not contiguous
    c.to8.resize(size_t(c.mask) + 1);
    for (std::uint32_t v = 0; v <= c.mask; ++v)
        c.to8[v] = std::uint8_t((v * 255 + c.mask / 2) / c.mask);
    return c;
}

// The layout of pixels of `depth` in `visual`; a drawable without a visual of its own (a
// pixmap) takes the first true-colour visual of its depth.
CaptureResult<PixelFormat> pixelFormat(X11Connection& conn, int depth, xcb_visualid_t visual)
{
    PixelFormat f;
    f.depth = depth;
    if (const xcb_format_t* pixmap = conn.pixmapFormat(depth)) {
        f.bitsPerPixel = pixmap->bits_per_pixel;
        f.scanlinePad = pixmap->scanline_pad;
    }
    f.lsbFirst = conn.imageIsLsbFirst();
    const xcb_visualtype_t* v = visual == XCB_NONE ? nullptr : conn.visualType(visual);
    if (!v) {
        for (auto d = xcb_screen_allowed_depths_iterator(conn.screen()); d.rem && !v;
             xcb_depth_next(&d)) {
            if (d.data->depth != depth) continue;
            for (auto it = xcb_depth_visuals_iterator(d.data); it.rem; xcb_visualtype_next(&it)) {
                if (it.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR ||
                    it.data->_class == XCB_VISUAL_CLASS_DIRECT_COLOR) {
                    v = it.data;
                    break;
                }
            }
        }
    }
    if (!v) return std::unexpected(formatError(depth, f.bitsPerPixel, "no visual"));
    if (v->_class != XCB_VISUAL_CLASS_TRUE_COLOR && v->_class != XCB_VISUAL_CLASS_DIRECT_COLOR) {
        return std::unexpected(formatError(depth, f.bitsPerPixel, "not a true-colour visual"));
    }
    if (f.bitsPerPixel != 8 && f.bitsPerPixel != 16 && f.bitsPerPixel != 24 &&
        f.bitsPerPixel != 32) {
        return std::unexpected(formatError(depth, f.bitsPerPixel, "unusual pixel size"));
    }
    if (f.scanlinePad <= 0 || f.scanlinePad % 8 != 0) {
        return std::unexpected(formatError(depth, f.bitsPerPixel, "unusual row padding"));
    }
    auto red = channelOf(v->red_mask);
    auto green = channelOf(v->green_mask);
    auto blue = channelOf(v->blue_mask);
    if (!red || !green || !blue) {
        return std::unexpected(formatError(depth, f.bitsPerPixel, "unusual colour masks"));
    }
    f.red = std::move(*red);
    f.green = std::move(*green);
    f.blue = std::move(*blue);
    return f;
}

// One row of pixels of any true-colour layout as opaque ARGB32.
void convertRow(const uchar* src, quint32* dst, int width, const PixelFormat& f)
{
    const auto& r = f.red;
    const auto& g = f.green;
    const auto& b = f.blue;
    auto put = [&](int x, std::uint32_t p) {
        dst[x] = 0xff000000u | quint32(r.to8[(p >> r.shift) & r.mask]) << 16 |
                 quint32(g.to8[(p >> g.shift) & g.mask]) << 8 | b.to8[(p >> b.shift) & b.mask];
    };
    switch (f.bitsPerPixel) {
    case 8:
        for (int x = 0; x < width; ++x)
            put(x, src[x]);
        break;
    case 16:
        for (int x = 0; x < width; ++x, src += 2)
            put(x, f.lsbFirst ? src[0] | src[1] << 8 : src[0] << 8 | src[1]);
        break;
    case 24:
        for (int x = 0; x < width; ++x, src += 3)
            put(x, f.lsbFirst ? src[0] | src[1] << 8 | src[2] << 16
                              : src[0] << 16 | src[1] << 8 | src[2]);
        break;
    default:
        for (int x = 0; x < width; ++x, src += 4) {
            put(x, f.lsbFirst ? std::uint32_t(src[0]) | src[1] << 8 | src[2] << 16 |
                                    std::uint32_t(src[3]) << 24
                              : std::uint32_t(src[0]) << 24 | src[1] << 16 | src[2] << 8 | src[3]);
        }
        break;
    }
}

ScreenCaptureError requestError(X11Connection& conn, const char* request, xcb_generic_error_t* e)
{
    // No reply and no error: the server went away in the meantime.
    if (conn.hasError()) {
        return failure(ScreenCaptureError::Kind::noXServer,
                       QStringLiteral("%1: the connection broke").arg(QLatin1String(request)));
    }
    return failure(ScreenCaptureError::Kind::grabFailed, QStringLiteral("%1 failed (X error %2)")
                                                             .arg(QLatin1String(request))
                                                             .arg(e ? e->error_code : 0));
}

// Any true-colour layout other than the native one (16-bit, 10-bit-per-channel…) is read with a
// plain GetImage and converted by its masks into an image of its own, in bands over the pool.
CaptureResult<QImage> grabConverted(X11Connection& conn, xcb_drawable_t drawable, const QRect& r,
                                    const PixelFormat& format)
{
    xcb_connection_t* c = conn.get();
    xcb_generic_error_t* e = nullptr;
    XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, int16_t(r.x()), int16_t(r.y()),
                      uint16_t(r.width()), uint16_t(r.height()), ~0u),
        &e));
    XcbReply<xcb_generic_error_t> error(e);
    if (!reply) return std::unexpected(requestError(conn, "GetImage", error.get()));
    const qsizetype stride = format.stride(r.width());
    if (reply->depth != format.depth ||
        xcb_get_image_data_length(reply.get()) < stride * r.height()) {
        return std::unexpected(formatError(reply->depth, format.bitsPerPixel, "unexpected reply"));
    }
    QImage out(r.size(), QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) {
        return std::unexpected(
            failure(ScreenCaptureError::Kind::grabFailed, QStringLiteral("out of memory")));
    }
    const uchar* src = xcb_get_image_data(reply.get());
    // scanLine() detaches once here; after that every band writes its own rows.
    out.scanLine(0);
    inRowBands(r.width(), r.height(), [&](int firstRow, int endRow) {
        for (int y = firstRow; y < endRow; ++y) {
            convertRow(src + y * stride, reinterpret_cast<quint32*>(out.scanLine(y)), r.width(),
                       format);
        }
    });
    return out;
}

QRect rootRect(X11Connection& conn)
{
    return QRect(0, 0, conn.screen()->width_in_pixels, conn.screen()->height_in_pixels);
}

QString propertyString(xcb_get_property_reply_t* r)
{
    if (!r || r->type == XCB_ATOM_NONE || r->format != 8) return {};
    const int n = xcb_get_property_value_length(r);
    return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(r)), n);
}

std::vector<uint32_t> propertyCardinals(xcb_get_property_reply_t* r)
{
    if (!r || r->type == XCB_ATOM_NONE || r->format != 32) return {};
    const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r));
    const int n = xcb_get_property_value_length(r) / 4;
    return std::vector<uint32_t>(v, v + n);
}

bool windowManagerRunning(X11Connection& conn)
{
    const xcb_atom_t check = conn.atom("_NET_SUPPORTING_WM_CHECK");
    auto onRoot = conn.property(conn.root(), check, XCB_ATOM_WINDOW, 32, 4);
    if (!onRoot || onRoot->size() < 4) return false;
    uint32_t child = 0;
    std::memcpy(&child, onRoot->constData(), 4);
    // A stale property left by a window manager that died points at a window that is gone.
    auto onChild = conn.property(child, check, XCB_ATOM_WINDOW, 32, 4);
    return onChild && onChild->size() >= 4 &&
           std::memcmp(onChild->constData(), onRoot->constData(), 4) == 0;
}

// Without a window manager: the root's mapped, ordinary children, bottom to top. A child that
// is a frame of some leftover manager carries its client (the window with WM_STATE) inside.
std::vector<xcb_window_t> treeWindows(X11Connection& conn)
{
    xcb_connection_t* c = conn.get();
    XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, conn.root()), nullptr));
    if (!tree) return {};
    const xcb_window_t* kids = xcb_query_tree_children(tree.get());
    const int n = xcb_query_tree_children_length(tree.get());
    std::vector<xcb_get_window_attributes_cookie_t> cookies;
    cookies.reserve(size_t(n));
    for (int i = 0; i < n; ++i)
        cookies.push_back(xcb_get_window_attributes(c, kids[i]));
    std::vector<xcb_window_t> out;
    const xcb_atom_t wmState = conn.atom("WM_STATE");
    for (int i = 0; i < n; ++i) {
        XcbReply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(c, cookies[size_t(i)], nullptr));
        if (!a || a->override_redirect || a->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT ||
            a->map_state != XCB_MAP_STATE_VIEWABLE) {
            continue;
        }
        xcb_window_t client = kids[i];
        if (!conn.property(kids[i], wmState, wmState, 32, 8)) {
            XcbReply<xcb_query_tree_reply_t> sub(
                xcb_query_tree_reply(c, xcb_query_tree(c, kids[i]), nullptr));
            if (sub) {
                const xcb_window_t* inner = xcb_query_tree_children(sub.get());
                for (int k = 0; k < xcb_query_tree_children_length(sub.get()); ++k) {
                    if (conn.property(inner[k], wmState, wmState, 32, 8)) {
                        client = inner[k];
                        break;
                    }
                }
            }
        }
        out.push_back(client);
    }
    return out;
}

bool viewable(xcb_connection_t* c, xcb_window_t w)
{
    XcbReply<xcb_get_window_attributes_reply_t> a(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr));
    return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
}

} // namespace

// The native layout's image wraps the server's answer without copying it: with MIT-SHM the
// segment the server wrote into, else the GetImage reply.
CaptureResult<QImage> grab::drawable(X11Connection& conn, xcb_drawable_t drawable, const QRect& r,
                                     bool keepAlpha, int drawableDepth, xcb_visualid_t visual)
{
    if (r.isEmpty() || r.width() > 0x7fff || r.height() > 0x7fff) {
        return std::unexpected(failure(ScreenCaptureError::Kind::grabFailed,
                                       QStringLiteral("empty or oversized rectangle")));
    }
    const auto format = pixelFormat(conn, drawableDepth, visual);
    if (!format) return std::unexpected(format.error());
    if (!format->isNative()) return grabConverted(conn, drawable, r, *format);
    xcb_connection_t* c = conn.get();
    const bool swap = conn.imageIsLsbFirst() != (std::endian::native == std::endian::little);
    const size_t bytes = size_t(r.width()) * size_t(r.height()) * 4;
    const qsizetype stride = qsizetype(r.width()) * 4;
    auto wrap = [&](uchar* data, int depth, QImageCleanupFunction cleanup, void* owner) {
        // The top byte of a depth-24 pixel is padding (Xvfb leaves it 0): make it opaque here,
        // in place, so the image is already in the format every later step works in and
        // nothing downstream copies the whole screen to convert it.
        const bool opaque = !(keepAlpha && depth == 32);
        if (swap || opaque) {
            auto* pixels = reinterpret_cast<quint32*>(data);
            inRowBands(r.width(), r.height(), [&](int firstRow, int endRow) {
                quint32* band = pixels + qsizetype(firstRow) * r.width();
                normalizePixels(band, band, qsizetype(endRow - firstRow) * r.width(), swap, opaque);
            });
        }
        // A few seconds after the last capture, the idle segments and the shared connection
        // are given back; the countdown restarts on the GUI thread with every capture. Without
        // a running event loop (a command-line tool) nothing is kept long enough to matter.
        if (bytes >= minSharedMemoryBytes) X11Connection::releaseSharedLater();
        return QImage(data, r.width(), r.height(), stride, QImage::Format_ARGB32_Premultiplied,
                      cleanup, owner);
    };

    X11Connection::ShmSegment* segment =
        bytes >= minSharedMemoryBytes ? conn.takeSegment(bytes) : nullptr;
    if (segment) {
        // Large grabs go in horizontal strips, all requested at once: while the server copies
        // one strip, the pool fixes up the one before, so the fix-up hides behind the grab.
        // Strips of about 1 MiB: the fix-up then reads what the server has just written
        // while it is still in the cache.
        const int strips = int(std::clamp<size_t>(bytes >> 20, 1, 64));
        std::vector<std::pair<int, int>> rows; // first row, row count
        std::vector<xcb_shm_get_image_cookie_t> cookies;
        for (int i = 0; i < strips; ++i) {
            const int y0 = r.height() * i / strips;
            const int y1 = r.height() * (i + 1) / strips;
            if (y1 <= y0) continue;
            rows.emplace_back(y0, y1 - y0);
            cookies.push_back(xcb_shm_get_image(c, drawable, int16_t(r.x()), int16_t(r.y() + y0),
                                                uint16_t(r.width()), uint16_t(y1 - y0), ~0u,
                                                XCB_IMAGE_FORMAT_Z_PIXMAP, segment->id,
                                                uint32_t(qsizetype(y0) * stride)));
        }
        auto* data = static_cast<uchar*>(segment->memory);
        std::optional<ScreenCaptureError> failed;
        int depth = 0;
        std::vector<QFuture<void>> fixes;
        for (size_t i = 0; i < cookies.size(); ++i) {
            xcb_generic_error_t* e = nullptr;
            XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(c, cookies[i], &e));
            XcbReply<xcb_generic_error_t> error(e);
            if (failed) continue; // the remaining replies are still read, and dropped
            if (!reply) {
                failed = requestError(conn, "ShmGetImage", error.get());
                continue;
            }
            if (reply->depth != drawableDepth) {
                failed = formatError(reply->depth, 32, "unexpected reply");
                continue;
            }
            depth = reply->depth;
            const bool opaque = !(keepAlpha && depth == 32);
            if (!swap && !opaque) continue;
            uchar* strip = data + qsizetype(rows[i].first) * stride;
            const int count = rows[i].second;
            const int width = r.width();
            fixes.push_back(QtConcurrent::run([=] {
                normalizePixels(reinterpret_cast<const quint32*>(strip),
                                reinterpret_cast<quint32*>(strip), qsizetype(width) * count, swap,
                                opaque);
            }));
        }
        for (QFuture<void>& f : fixes)
            f.waitForFinished();
        if (failed) {
            X11Connection::returnSegment(segment);
            return std::unexpected(*failed);
        }
        X11Connection::releaseSharedLater();
        return QImage(data, r.width(), r.height(), stride, QImage::Format_ARGB32_Premultiplied,
                      X11Connection::returnSegment, segment);
    }

    xcb_generic_error_t* e = nullptr;
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, int16_t(r.x()), int16_t(r.y()),
                      uint16_t(r.width()), uint16_t(r.height()), ~0u),
        &e);
    XcbReply<xcb_generic_error_t> error(e);
    if (!reply) return std::unexpected(requestError(conn, "GetImage", error.get()));
    if (reply->depth != drawableDepth || xcb_get_image_data_length(reply) < qsizetype(bytes)) {
        const int depth = reply->depth;
        std::free(reply);
        return std::unexpected(formatError(depth, 32, "unexpected reply"));
    }
    return wrap(xcb_get_image_data(reply), reply->depth, freeReply, reply);
}

std::optional<xcb_window_t> grab::topLevelOf(X11Connection& conn, xcb_window_t window)
{
    xcb_connection_t* c = conn.get();
    xcb_window_t top = window;
    for (int depth = 0; depth < 64; ++depth) {
        XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, top), nullptr));
        if (!tree) return std::nullopt;
        if (tree->parent == conn.root() || tree->parent == XCB_NONE) return top;
        top = tree->parent;
    }
    return top;
}

std::vector<DisplayInfo> ScreenCapture::displays(X11Connection& conn,
                                                 const QHash<QString, double>& scales)
{
    xcb_connection_t* c = conn.get();
    std::vector<DisplayInfo> out;
    if (conn.hasRandr()) {
        XcbReply<xcb_randr_get_monitors_reply_t> r(
            xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, conn.root(), 1), nullptr));
        if (r) {
            std::vector<std::pair<xcb_randr_monitor_info_t, xcb_get_atom_name_cookie_t>> monitors;
            for (auto it = xcb_randr_get_monitors_monitors_iterator(r.get()); it.rem;
                 xcb_randr_monitor_info_next(&it)) {
                if (it.data->width == 0 || it.data->height == 0) continue;
                monitors.emplace_back(*it.data, xcb_get_atom_name(c, it.data->name));
            }
            for (auto& [m, cookie] : monitors) {
                XcbReply<xcb_get_atom_name_reply_t> name(
                    xcb_get_atom_name_reply(c, cookie, nullptr));
                DisplayInfo d;
                if (name) {
                    d.name = QString::fromUtf8(xcb_get_atom_name_name(name.get()),
                                               xcb_get_atom_name_name_length(name.get()));
                }
                d.frame = QRect(m.x, m.y, m.width, m.height);
                d.primary = m.primary != 0;
                out.push_back(d);
            }
        }
    }
    // A broken connection answers nothing; that is no reason to make up a display.
    if (conn.hasError()) return {};
    if (out.empty()) {
        // No RandR: the whole root window is the one display.
        DisplayInfo d;
        d.name = QStringLiteral("screen");
        d.frame = rootRect(conn);
        d.primary = true;
        out.push_back(d);
    }
    for (DisplayInfo& d : out) {
        d.displayID = displayIDForName(d.name);
        const double s = scales.value(d.name, 1.0);
        d.scale = s > 0 && std::isfinite(s) ? s : 1.0;
    }
    return out;
}

QString ScreenCaptureError::userMessage() const
{
    switch (kind) {
    case Kind::noXServer:
        return L10n::text("Couldn't connect to the X server.");
    case Kind::noSuchDisplay:
        return L10n::text("The display is no longer connected.");
    case Kind::noSuchWindow:
        return L10n::text("The window is no longer on the screen.");
    case Kind::grabFailed:
        return L10n::text("The X server didn't hand out the screen's pixels.");
    case Kind::unsupportedFormat:
        return L10n::text("The screen uses a pixel format that can't be captured.");
    }
    return {};
}

QHash<QString, double> ScreenCapture::currentScreenScales()
{
    QHash<QString, double> out;
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) return out;
    for (const QScreen* s : QGuiApplication::screens())
        out.insert(s->name(), s->devicePixelRatio());
    return out;
}

std::uint32_t ScreenCapture::displayIDForName(const QString& monitorName)
{
    // FNV-1a over the name's UTF-8 bytes; 0 is kept free to mean "no display".
    std::uint32_t h = 2166136261u;
    for (char ch : monitorName.toUtf8()) {
        h ^= std::uint8_t(ch);
        h *= 16777619u;
    }
    return h == 0 ? 1 : h;
}

std::optional<std::uint32_t> ScreenCapture::displayID(const QScreen* screen)
{
    if (!screen || screen->name().isEmpty()) return std::nullopt;
    return displayIDForName(screen->name());
}

CaptureResult<ShareableContent>
ScreenCapture::shareableContent(const QHash<QString, double>& scales, bool onScreenWindowsOnly)
{
    auto conn = X11Connection::acquire();
    if (!conn) return std::unexpected(failure(ScreenCaptureError::Kind::noXServer));
    return shareableContent(*conn, scales, onScreenWindowsOnly);
}

CaptureResult<ShareableContent>
ScreenCapture::shareableContent(X11Connection& conn, const QHash<QString, double>& scales,
                                bool onScreenWindowsOnly)
{
    xcb_connection_t* c = conn.get();
    conn.internAtoms({"_NET_SUPPORTING_WM_CHECK",
                      "_NET_CLIENT_LIST_STACKING",
                      "_NET_CLIENT_LIST",
                      "_NET_WM_NAME",
                      "UTF8_STRING",
                      "_NET_WM_PID",
                      "_NET_WM_WINDOW_TYPE",
                      "_NET_WM_WINDOW_TYPE_DESKTOP",
                      "_NET_WM_WINDOW_TYPE_DOCK",
                      "_NET_WM_WINDOW_TYPE_NOTIFICATION",
                      "_NET_WM_WINDOW_TYPE_TOOLTIP",
                      "_NET_WM_WINDOW_TYPE_POPUP_MENU",
                      "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU",
                      "_NET_WM_STATE",
                      "_NET_WM_STATE_HIDDEN",
                      "_NET_WM_STATE_ABOVE",
                      "_NET_WM_STATE_BELOW",
                      "_NET_FRAME_EXTENTS",
                      "_GTK_FRAME_EXTENTS",
                      "WM_STATE"});

    const auto broken = [] {
        return std::unexpected(failure(ScreenCaptureError::Kind::noXServer,
                                       QStringLiteral("the connection to the X server broke")));
    };
    ShareableContent content;
    content.displays = displays(conn, scales);
    if (conn.hasError()) return broken();
    for (const DisplayInfo& d : content.displays) {
        if (d.primary) {
            content.mainDisplayID = d.displayID;
            break;
        }
    }

    // Bottom to top, as the server stacks them.
    std::vector<xcb_window_t> stack;
    const bool managed = windowManagerRunning(conn);
    if (managed) {
        auto list =
            conn.property(conn.root(), conn.atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW, 32);
        if (!list) {
            list = conn.property(conn.root(), conn.atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32);
        }
        if (list) {
            const auto* ids = reinterpret_cast<const uint32_t*>(list->constData());
            stack.assign(ids, ids + list->size() / 4);
        }
    } else {
        stack = treeWindows(conn);
    }

    // The properties read of each window, in the order they are asked for.
    enum { netName, wmName, pid, wmClass, types, states, extents, shadow, propertyCount };
    struct Cookies {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
        std::array<xcb_get_property_cookie_t, propertyCount> properties;
    };
    auto prop = [&](xcb_window_t w, const char* atom, xcb_atom_t type, uint32_t words) {
        return xcb_get_property(c, 0, w, conn.atom(atom), type, 0, words);
    };
    std::vector<Cookies> cookies;
    cookies.reserve(stack.size());
    for (xcb_window_t w : stack) {
        cookies.push_back(Cookies{
            xcb_get_window_attributes(c, w),
            xcb_get_geometry(c, w),
            xcb_translate_coordinates(c, w, conn.root(), 0, 0),
            {prop(w, "_NET_WM_NAME", conn.atom("UTF8_STRING"), 1024),
             xcb_get_property(c, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
             prop(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, 1),
             xcb_get_property(c, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
             prop(w, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, 32),
             prop(w, "_NET_WM_STATE", XCB_ATOM_ATOM, 64),
             prop(w, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL, 4),
             prop(w, "_GTK_FRAME_EXTENTS", XCB_ATOM_CARDINAL, 4)}});
    }

    const auto atomIs = [&](uint32_t a, const char* name) { return a == conn.atom(name); };
    std::vector<WindowInfo> windows;
    for (size_t i = 0; i < stack.size(); ++i) {
        const Cookies& k = cookies[i];
        XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, k.attributes, nullptr));
        XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, k.geometry, nullptr));
        XcbReply<xcb_translate_coordinates_reply_t> origin(
            xcb_translate_coordinates_reply(c, k.origin, nullptr));
        std::array<XcbReply<xcb_get_property_reply_t>, propertyCount> property;
        for (int p = 0; p < propertyCount; ++p)
            property[p].reset(xcb_get_property_reply(c, k.properties[p], nullptr));
        if (!attributes || !geometry || !origin) continue; // gone in the meantime

        WindowInfo w;
        w.windowID = stack[i];
        w.title = propertyString(property[netName].get());
        if (xcb_get_property_reply_t* name = property[wmName].get();
            w.title.isEmpty() && name && name->format == 8) {
            // WM_NAME is Latin-1 by definition (or compound text, which we read the same way).
            w.title = QString::fromLatin1(static_cast<const char*>(xcb_get_property_value(name)),
                                          xcb_get_property_value_length(name));
        }
        const auto pids = propertyCardinals(property[pid].get());
        const QString classes = propertyString(property[wmClass].get());
        const QStringList parts = classes.split(QChar(0), Qt::SkipEmptyParts);
        if (!pids.empty() || !parts.isEmpty()) {
            OwningApplication app;
            app.processID = pids.empty() ? 0 : std::int64_t(pids.front());
            app.applicationName = parts.size() > 1 ? parts[1] : parts.value(0);
            w.owningApplication = app;
        }
        QRect frame(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
        const auto ext = propertyCardinals(property[extents].get());
        if (ext.size() == 4 && ext[0] < 4096 && ext[1] < 4096 && ext[2] < 4096 && ext[3] < 4096) {
            frame.adjust(-int(ext[0]), -int(ext[2]), int(ext[1]), int(ext[3]));
        }
        // A window that draws its own decorations may draw its shadow inside its own area
        // and say how wide it is; the shadow is not part of the window a person sees.
        const auto inset = propertyCardinals(property[shadow].get());
        if (inset.size() == 4) {
            const QRect inside =
                frame.adjusted(int(std::min(inset[0], 4096u)), int(std::min(inset[2], 4096u)),
                               -int(std::min(inset[1], 4096u)), -int(std::min(inset[3], 4096u)));
            if (inside.width() > 0 && inside.height() > 0) frame = inside;
        }
        w.frame = frame;
        bool hidden = false;
        for (uint32_t a : propertyCardinals(property[states].get())) {
            if (atomIs(a, "_NET_WM_STATE_HIDDEN")) hidden = true;
            if (atomIs(a, "_NET_WM_STATE_ABOVE")) w.windowLayer = 1;
        }
        for (uint32_t a : propertyCardinals(property[types].get())) {
            if (atomIs(a, "_NET_WM_WINDOW_TYPE_DESKTOP")) {
                w.isDesktop = true;
                w.windowLayer = -1;
            } else if (atomIs(a, "_NET_WM_WINDOW_TYPE_DOCK") ||
                       atomIs(a, "_NET_WM_WINDOW_TYPE_NOTIFICATION") ||
                       atomIs(a, "_NET_WM_WINDOW_TYPE_TOOLTIP") ||
                       atomIs(a, "_NET_WM_WINDOW_TYPE_POPUP_MENU") ||
                       atomIs(a, "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU")) {
                w.windowLayer = 1;
            }
            break; // the first type is the preferred one
        }
        w.isOnScreen = attributes->map_state == XCB_MAP_STATE_VIEWABLE && !hidden;
        if (onScreenWindowsOnly && !w.isOnScreen) continue;
        windows.push_back(std::move(w));
    }
    // Windows that vanish while listed are skipped; a server that vanished fails the listing.
    if (conn.hasError()) return broken();
    std::reverse(windows.begin(), windows.end());
    content.windows = std::move(windows);
    return content;
}

CaptureResult<QImage> ScreenCapture::grabScreenRect(const QRect& rect)
{
    auto conn = X11Connection::acquire();
    if (!conn) return std::unexpected(failure(ScreenCaptureError::Kind::noXServer));
    return grabScreenRect(*conn, rect);
}

CaptureResult<QImage> ScreenCapture::grabScreenRect(X11Connection& conn, const QRect& rect)
{
    const QRect r = rect.intersected(rootRect(conn));
    if (r.isEmpty()) {
        return std::unexpected(failure(ScreenCaptureError::Kind::noSuchDisplay,
                                       QStringLiteral("rectangle outside the screen")));
    }
    return grab::drawable(conn, conn.root(), r, false, conn.screen()->root_depth,
                          conn.screen()->root_visual);
}

bool ScreenCapture::compositingManagerRunning(X11Connection& conn)
{
    xcb_connection_t* c = conn.get();
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(conn.screenNumber());
    const xcb_atom_t selection = conn.atom(name.constData());
    if (selection == XCB_ATOM_NONE) return false;
    XcbReply<xcb_get_selection_owner_reply_t> r(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    return r && r->owner != XCB_NONE;
}

bool ScreenCapture::isShown(X11Connection& conn, std::uint32_t windowID)
{
    if (viewable(conn.get(), windowID)) return true;
    // An unmapped client may still sit in a frame that the window manager has not taken down.
    const auto top = grab::topLevelOf(conn, windowID);
    return top && *top != windowID && viewable(conn.get(), *top);
}

void ScreenCapture::setMapped(X11Connection& conn, std::uint32_t windowID, bool mapped)
{
    if (mapped) {
        xcb_map_window(conn.get(), windowID);
    } else {
        xcb_unmap_window(conn.get(), windowID);
    }
    xcb_flush(conn.get());
}

CaptureResult<QImage> ScreenCapture::grabWindow(X11Connection& conn, std::uint32_t windowID,
                                                bool keepAlpha)
{
    xcb_connection_t* c = conn.get();
    const auto gone = [&conn, windowID] {
        if (conn.hasError()) return std::unexpected(failure(ScreenCaptureError::Kind::noXServer));
        return std::unexpected(failure(ScreenCaptureError::Kind::noSuchWindow,
                                       QStringLiteral("window 0x%1").arg(windowID, 0, 16)));
    };
    const auto topLevel = grab::topLevelOf(conn, windowID);
    if (!topLevel) return gone();
    const xcb_window_t top = *topLevel;
    if (!viewable(c, top) || !viewable(c, windowID)) return gone();
    XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, top), nullptr));
    XcbReply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, top, conn.root(), 0, 0), nullptr));
    if (!geometry || !origin) return gone();

    if (conn.hasComposite() && compositingManagerRunning(conn)) {
        // The window's own pixmap holds its pixels whatever lies above it. It includes the
        // border, which the screen area below leaves out, so skip it here too.
        const xcb_pixmap_t pixmap = xcb_generate_id(c);
        XcbReply<xcb_generic_error_t> err(
            xcb_request_check(c, xcb_composite_name_window_pixmap_checked(c, top, pixmap)));
        XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, top), nullptr));
        if (!err) {
            std::optional<CaptureResult<QImage>> image;
            if (attributes) {
                const int bw = geometry->border_width;
                image =
                    grab::drawable(conn, pixmap, QRect(bw, bw, geometry->width, geometry->height),
                                   keepAlpha, geometry->depth, attributes->visual);
            }
            xcb_free_pixmap(c, pixmap);
            xcb_flush(c);
            if (image && (*image || image->error().kind == ScreenCaptureError::Kind::noXServer)) {
                return std::move(*image);
            }
        }
    }
    const QRect onScreen = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height)
                               .intersected(rootRect(conn));
    if (onScreen.isEmpty()) return gone();
    return grab::drawable(conn, conn.root(), onScreen, false, conn.screen()->root_depth,
                          conn.screen()->root_visual);
}

} // namespace snapkin::platform
