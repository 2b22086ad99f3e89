// Time from a region-capture request to the selection overlay on the screen, against the least
// any overlay must do: take the same picture and map a plain full-screen window that paints it
// under the same dimming. Run under a 4K Xvfb without a compositor:
//   SNAPKIN_XVFB_SCREEN=3840x2160x24 tests/support/run-with-xvfb build/OverlayBench
//
// A second X connection on a thread of its own watches the server as an outside program
// would: "mapped" is the first MapNotify of a window covering at least 80 % of the screen,
// "painted" the first change at any of 9 sampled root pixels, both from the request. Reported
// as medians over the iterations (counters mapped_ms and painted_ms; the time is painted).
#include "capture/overlay/SelectionOverlay.h"
#include "capture/overlay/SelectionView.h"
#include "platform/ScreenCapture.h"
#include "platform/X11Connection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

using namespace snapkin;
using platform::X11Connection;
using platform::XcbReply;

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Watches the root window from its own connection until a big window maps and the sampled
// pixels change, or two seconds pass.
class Probe {
public:
    Probe()
    {
        m_conn = X11Connection::open();
        if (!m_conn) return;
        xcb_connection_t* c = m_conn->get();
        const uint32_t mask[] = {XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
        xcb_change_window_attributes(c, m_conn->root(), XCB_CW_EVENT_MASK, mask);
        m_conn->sync();
        const int w = m_conn->screen()->width_in_pixels;
        const int h = m_conn->screen()->height_in_pixels;
        for (int i = 1; i <= 3; ++i) {
            for (int j = 1; j <= 3; ++j)
                m_points.push_back(QPoint(w * i / 4, h * j / 4));
        }
    }
    bool usable() const { return m_conn != nullptr; }

    // Reads the reference pixels; then, on a thread, watches from `start`.
    void arm()
    {
        m_reference = sample();
        drain();
        m_mapped = -1;
        m_painted = -1;
        m_start = Clock::now();
        m_thread = std::thread([this] { watch(); });
    }
    bool done() const { return m_finished.load(); }
    void join()
    {
        if (m_thread.joinable()) m_thread.join();
        m_finished = false;
    }
    double mappedMs() const { return m_mapped; }
    double paintedMs() const { return m_painted; }
    bool rootShowsReference() { return sample() == m_reference; }

private:
    std::vector<quint32> sample()
    {
        xcb_connection_t* c = m_conn->get();
        std::vector<xcb_get_image_cookie_t> cookies;
        for (QPoint p : m_points)
            cookies.push_back(xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_conn->root(),
                                            int16_t(p.x()), int16_t(p.y()), 1, 1, ~0u));
        std::vector<quint32> out;
        for (auto cookie : cookies) {
            XcbReply<xcb_get_image_reply_t> r(xcb_get_image_reply(c, cookie, nullptr));
            quint32 v = 0;
            if (r && xcb_get_image_data_length(r.get()) >= 4)
                std::memcpy(&v, xcb_get_image_data(r.get()), 4);
            out.push_back(v & 0xffffff);
        }
        return out;
    }
    void drain()
    {
        while (auto* e = xcb_poll_for_event(m_conn->get()))
            std::free(e);
    }
    double since() const
    {
        return std::chrono::duration<double, std::milli>(Clock::now() - m_start).count();
    }
    void watch()
    {
        xcb_connection_t* c = m_conn->get();
        const int area = m_conn->screen()->width_in_pixels * m_conn->screen()->height_in_pixels;
        while (since() < 2000 && (m_mapped < 0 || m_painted < 0)) {
            while (auto* e = xcb_poll_for_event(c)) {
                if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY && m_mapped < 0) {
                    auto* map = reinterpret_cast<xcb_map_notify_event_t*>(e);
                    XcbReply<xcb_get_geometry_reply_t> g(
                        xcb_get_geometry_reply(c, xcb_get_geometry(c, map->window), nullptr));
                    if (g && g->width * g->height * 10 >= area * 8) m_mapped = since();
                }
                std::free(e);
            }
            if (m_painted < 0 && sample() != m_reference) m_painted = since();
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        m_finished = true;
    }

    std::shared_ptr<X11Connection> m_conn;
    std::vector<QPoint> m_points;
    std::vector<quint32> m_reference;
    Clock::time_point m_start;
    std::thread m_thread;
    std::atomic<bool> m_finished{false};
    std::atomic<double> m_mapped{-1};
    std::atomic<double> m_painted{-1};
};

// Gives the root a colour of its own, so that dimming changes the sampled pixels.
void paintDesktop()
{
    static bool done = false;
    if (done) return;
    done = true;
    auto conn = X11Connection::open();
    if (!conn) return;
    const uint32_t colour[] = {0x5a7fa8};
    xcb_change_window_attributes(conn->get(), conn->root(), XCB_CW_BACK_PIXEL, colour);
    xcb_clear_area(conn->get(), 0, conn->root(), 0, 0, 0, 0);
    conn->sync();
}

void settle(Probe& probe)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1000 && !probe.rootShowsReference()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    QCoreApplication::processEvents();
}

void runUntil(Probe& probe)
{
    while (!probe.done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    probe.join();
}

template <typename Request, typename Dismiss>
void measure(benchmark::State& state, Request request, Dismiss dismiss)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        state.SkipWithError("needs X11 (run under tests/support/run-with-xvfb)");
        return;
    }
    paintDesktop();
    Probe probe;
    if (!probe.usable()) {
        state.SkipWithError("no X server");
        return;
    }
    // Two warm-up runs, as the peers were measured: fonts, caches and shared memory are set up.
    for (int i = 0; i < 2; ++i) {
        probe.arm();
        request();
        runUntil(probe);
        dismiss();
        settle(probe);
    }
    std::vector<double> mapped;
    std::vector<double> painted;
    for (auto _ : state) {
        probe.arm();
        request();
        runUntil(probe);
        state.SetIterationTime(std::max(0.0, probe.paintedMs()) / 1000.0);
        mapped.push_back(probe.mappedMs());
        painted.push_back(probe.paintedMs());
        dismiss();
        settle(probe);
    }
    state.counters["mapped_ms"] = median(mapped);
    state.counters["painted_ms"] = median(painted);
}

void cancel(SelectionOverlay& overlay)
{
    if (overlay.views().isEmpty()) return;
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(overlay.views().first().data(), &escape);
}

// The overlay as the capture service opens it when the screen is not frozen: no picture is
// passed, so begin takes one before its windows map. Cold: the first capture after the
// overlay's windows were let go (a new overlay each time).
void BM_OverlayFromRequestCold(benchmark::State& state)
{
    std::unique_ptr<SelectionOverlay> overlay;
    measure(
        state,
        [&] {
            overlay = std::make_unique<SelectionOverlay>();
            overlay->begin(OverlayMode::region, std::nullopt, [](auto) {});
        },
        [&] {
            cancel(*overlay);
            overlay.reset();
        });
}
BENCHMARK(BM_OverlayFromRequestCold)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);

// The same within half a minute of the previous session, whose windows are kept.
void BM_OverlayFromRequestWarm(benchmark::State& state)
{
    SelectionOverlay overlay;
    measure(
        state, [&] { overlay.begin(OverlayMode::region, std::nullopt, [](auto) {}); },
        [&] { cancel(overlay); });
}
BENCHMARK(BM_OverlayFromRequestWarm)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);

// The floor: the same picture, and one plain override-redirect window that paints it dimmed.
class PlainWindow : public QWidget {
public:
    explicit PlainWindow(QImage picture) : m_picture(std::move(picture))
    {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                       Qt::X11BypassWindowManagerHint);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    void setPicture(QImage picture) { m_picture = std::move(picture); }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        QPainter p(this);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(e->rect(), m_picture, e->rect());
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.fillRect(e->rect(), QColor(0, 0, 0, 89));
    }

private:
    QImage m_picture;
};

void BM_PlainWindowFromRequest(benchmark::State& state)
{
    std::unique_ptr<PlainWindow> window;
    measure(
        state,
        [&] {
            QScreen* screen = QGuiApplication::primaryScreen();
            auto picture = platform::ScreenCapture::grabScreenRect(screen->geometry());
            window = std::make_unique<PlainWindow>(picture ? *picture : QImage());
            window->setGeometry(screen->geometry());
            window->show();
        },
        [&] { window.reset(); });
}
BENCHMARK(BM_PlainWindowFromRequest)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);

// The floor for a window kept between captures: shown again over a fresh picture.
void BM_PlainWindowReused(benchmark::State& state)
{
    std::unique_ptr<PlainWindow> window;
    measure(
        state,
        [&] {
            QScreen* screen = QGuiApplication::primaryScreen();
            auto picture = platform::ScreenCapture::grabScreenRect(screen->geometry());
            if (!window) window = std::make_unique<PlainWindow>(QImage());
            window->setPicture(picture ? *picture : QImage());
            window->setGeometry(screen->geometry());
            window->show();
        },
        [&] { window->hide(); });
}
BENCHMARK(BM_PlainWindowReused)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

} // namespace
