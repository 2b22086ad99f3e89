#include "X11Support.h"

#include "platform/ScreenCapture.h"
#include "platform/X11Connection.h"

#include <xcb/composite.h>

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QThread>

#include <cstring>
#include <memory>

namespace snapkin::test {

using platform::X11Connection;
using platform::XcbReply;

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

ColorWindow::ColorWindow(const QString& title, QColor color, QRect geometry, bool frameless)
    : m_color(color)
{
    if (frameless) setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(title);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(geometry);
    show();
    (void)QTest::qWaitForWindowExposed(this);
    // Exposed is not yet painted on the server: wait until a paint has gone through.
    QCoreApplication::processEvents();
}

void ColorWindow::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), m_color);
}

bool showsColor(QPoint at, QColor color, int timeoutMs)
{
    return waitUntil(
        [&] {
            auto image = platform::ScreenCapture::grabScreenRect(QRect(at, QSize(1, 1)));
            return image && near(pixel(*image, 0, 0), color);
        },
        timeoutMs);
}

std::optional<QRect> rowsShowing(QColor color)
{
    const auto screen =
        platform::ScreenCapture::grabScreenRect(QGuiApplication::primaryScreen()->geometry());
    if (!screen) return std::nullopt;
    QRect box;
    for (int y = 0; y < screen->height(); ++y) {
        int first = -1, last = -1, count = 0;
        for (int x = 0; x < screen->width(); ++x) {
            if (!near(pixel(*screen, x, y), color, 6)) continue;
            if (first < 0) first = x;
            last = x;
            ++count;
        }
        if (count >= 100) box |= QRect(first, y, last - first + 1, 1);
    }
    if (box.isEmpty()) return std::nullopt;
    return box;
}

QColor pixel(const QImage& image, int x, int y)
{
    return QColor(image.pixel(x, y)).toRgb();
}

bool near(QColor actual, QColor expected, int tolerance)
{
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

bool isMapped(std::uint32_t window)
{
    auto conn = X11Connection::open();
    if (!conn) return false;
    xcb_connection_t* c = conn->get();
    XcbReply<xcb_get_window_attributes_reply_t> a(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
}

void setServerBackground(std::uint32_t window, QColor color)
{
    auto conn = X11Connection::open();
    if (!conn) return;
    const uint32_t pixel = color.rgb() & 0xffffffu;
    xcb_change_window_attributes(conn->get(), window, XCB_CW_BACK_PIXEL, &pixel);
    conn->sync();
}

bool keyboardGrabbedElsewhere()
{
    auto conn = X11Connection::open();
    if (!conn) return false;
    xcb_connection_t* c = conn->get();
    XcbReply<xcb_grab_keyboard_reply_t> reply(
        xcb_grab_keyboard_reply(c,
                                xcb_grab_keyboard(c, 0, conn->root(), XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                nullptr));
    if (reply && reply->status == XCB_GRAB_STATUS_SUCCESS) {
        xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
        xcb_flush(c);
    }
    return reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
}

WindowManager::WindowManager()
{
    m_process.setProgram(QStringLiteral("openbox"));
    m_process.setArguments({QStringLiteral("--sm-disable")});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start();
    if (!m_process.waitForStarted(10000)) return;
    // The manager announces itself before it is ready, and may drop map requests that arrive
    // in between. Ready is when it manages a probe window (puts WM_STATE on it); the probe is
    // mapped again every so often in case a request was lost.
    auto conn = X11Connection::open();
    if (!conn) return;
    xcb_connection_t* c = conn->get();
    const xcb_window_t probe = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, conn->root(), 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t wmState = conn->atom("WM_STATE");
    QDeadlineTimer remap(0);
    m_running = waitUntil(
        [&] {
            if (m_process.state() == QProcess::NotRunning) return false;
            if (conn->property(probe, wmState, wmState, 32, 8)) return true;
            if (remap.hasExpired()) {
                xcb_unmap_window(c, probe);
                xcb_map_window(c, probe);
                xcb_flush(c);
                remap.setRemainingTime(300);
            }
            return false;
        },
        20000);
    xcb_destroy_window(c, probe);
    conn->sync();
    m_probeClient = conn;
}

WindowManager::~WindowManager()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

bool xrandr(const QStringList& arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(QStringLiteral("xrandr"), arguments);
    return p.waitForFinished(15000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct CompositingManager::State {
    std::shared_ptr<X11Connection> conn;
    xcb_window_t owner = 0;
};

CompositingManager::CompositingManager() : m_state(new State)
{
    m_state->conn = X11Connection::open();
    if (!m_state->conn) return;
    X11Connection& conn = *m_state->conn;
    xcb_connection_t* c = conn.get();
    m_state->owner = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_state->owner, conn.root(), -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(conn.screenNumber());
    xcb_set_selection_owner(c, m_state->owner, conn.atom(name.constData()), XCB_CURRENT_TIME);
    XcbReply<xcb_generic_error_t> err(
        xcb_request_check(c, xcb_composite_redirect_subwindows_checked(
                                 c, conn.root(), XCB_COMPOSITE_REDIRECT_AUTOMATIC)));
    conn.sync();
    m_running = !err;
}

CompositingManager::~CompositingManager()
{
    if (m_state->conn) {
        xcb_connection_t* c = m_state->conn->get();
        xcb_composite_unredirect_subwindows(c, m_state->conn->root(),
                                            XCB_COMPOSITE_REDIRECT_AUTOMATIC);
        xcb_destroy_window(c, m_state->owner);
        m_state->conn->sync();
    }
    delete m_state;
}

RootBackground::RootBackground(QColor color, const char* property) : m_conn(X11Connection::open())
{
    if (!m_conn) return;
    xcb_connection_t* c = m_conn->get();
    const xcb_screen_t* screen = m_conn->screen();
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen->root_depth, pixmap, m_conn->root(), screen->width_in_pixels,
                      screen->height_in_pixels);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const uint32_t foreground = color.rgb() & 0xffffffu;
    xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, &foreground);
    const xcb_rectangle_t all{0, 0, screen->width_in_pixels, screen->height_in_pixels};
    xcb_poly_fill_rectangle(c, pixmap, gc, 1, &all);
    xcb_free_gc(c, gc);
    m_property = m_conn->atom(property);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_conn->root(), m_property, XCB_ATOM_PIXMAP, 32,
                        1, &pixmap);
    m_conn->sync();
    m_pixmap = pixmap;
}

RootBackground::~RootBackground()
{
    if (!m_conn || !m_pixmap) return;
    xcb_delete_property(m_conn->get(), m_conn->root(), m_property);
    xcb_free_pixmap(m_conn->get(), m_pixmap);
    m_conn->sync();
}

struct ForeignWindow::State {
    std::shared_ptr<X11Connection> conn;
};

ForeignWindow::ForeignWindow(QRect geometry, QColor color, const char* windowType)
    : m_state(new State)
{
    m_state->conn = X11Connection::open();
    if (!m_state->conn) return;
    X11Connection& conn = *m_state->conn;
    xcb_connection_t* c = conn.get();
    m_window = xcb_generate_id(c);
    const uint32_t values[] = {color.rgb() & 0xffffffu};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, conn.root(), int16_t(geometry.x()),
                      int16_t(geometry.y()), uint16_t(geometry.width()),
                      uint16_t(geometry.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, values);
    if (windowType) {
        const xcb_atom_t type = conn.atom(windowType);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_window, conn.atom("_NET_WM_WINDOW_TYPE"),
                            XCB_ATOM_ATOM, 32, 1, &type);
    }
    xcb_map_window(c, m_window);
    conn.sync();
}

std::unique_ptr<ForeignWindow> ForeignWindow::withAlpha(QRect geometry, std::uint32_t argb)
{
    std::unique_ptr<ForeignWindow> w(new ForeignWindow);
    w->m_state = new State;
    w->m_state->conn = X11Connection::open();
    if (!w->m_state->conn) return nullptr;
    X11Connection& conn = *w->m_state->conn;
    xcb_connection_t* c = conn.get();
    xcb_visualid_t visual = XCB_NONE;
    for (auto d = xcb_screen_allowed_depths_iterator(conn.screen()); d.rem; xcb_depth_next(&d)) {
        if (d.data->depth != 32) continue;
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) visual = v.data->visual_id;
        }
    }
    if (visual == XCB_NONE) return nullptr;
    const xcb_colormap_t colormap = xcb_generate_id(c);
    xcb_create_colormap(c, XCB_COLORMAP_ALLOC_NONE, colormap, conn.root(), visual);
    w->m_window = xcb_generate_id(c);
    // A window of another depth than its parent needs its own border pixel and colormap.
    const uint32_t values[] = {argb, 0, colormap};
    xcb_create_window(c, 32, w->m_window, conn.root(), int16_t(geometry.x()), int16_t(geometry.y()),
                      uint16_t(geometry.width()), uint16_t(geometry.height()), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_COLORMAP, values);
    xcb_map_window(c, w->m_window);
    conn.sync();
    return w;
}

ForeignWindow::~ForeignWindow()
{
    if (m_state->conn && m_window) {
        xcb_destroy_window(m_state->conn->get(), m_window);
        m_state->conn->sync();
    }
    delete m_state;
}

QString commandOutput(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(10000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString findVisibleWindow(const QString& pattern, const QString& by, int timeoutMs)
{
    QString id;
    waitUntil(
        [&] {
            id = commandOutput("xdotool", {"search", "--onlyvisible", by, pattern})
                     .section('\n', 0, 0);
            return !id.isEmpty();
        },
        timeoutMs);
    return id;
}

ChildProcess::ChildProcess(const QString& program, const QStringList& arguments)
{
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    process.waitForStarted(5000);
}

ChildProcess::~ChildProcess()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

int ChildProcess::exitCode(int timeoutMs)
{
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace snapkin::test
