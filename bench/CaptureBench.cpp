// Screen capture against a bare MIT-SHM grab of the root window, on the X server in $DISPLAY.
// Run under a 4K Xvfb:
//   SNAPKIN_XVFB_SCREEN=3840x2160x24 tests/support/run-with-xvfb build/CaptureBench
#include "grab/CaptureEngine.h"
#include "platform/ScreenCapture.h"
#include "platform/X11Connection.h"

#include <benchmark/benchmark.h>
#include <xcb/shm.h>

#include <sys/ipc.h>
#include <sys/shm.h>

using namespace snapkin;
using platform::X11Connection;
using platform::XcbReply;

namespace {

// The floor: one connection and one attached segment kept for the whole run, and nothing but
// the ShmGetImage round trip per iteration.
void BM_BareShmGrabOfRoot(benchmark::State& state)
{
    auto conn = X11Connection::open();
    if (!conn || !conn->hasShm()) {
        state.SkipWithError("no X server with MIT-SHM");
        return;
    }
    xcb_connection_t* c = conn->get();
    const auto w = conn->screen()->width_in_pixels;
    const auto h = conn->screen()->height_in_pixels;
    const int id = shmget(IPC_PRIVATE, size_t(w) * h * 4, IPC_CREAT | 0600);
    void* mem = shmat(id, nullptr, 0);
    const xcb_shm_seg_t seg = xcb_generate_id(c);
    xcb_shm_attach(c, seg, uint32_t(id), 0);
    conn->sync();
    shmctl(id, IPC_RMID, nullptr);
    for (auto _ : state) {
        XcbReply<xcb_shm_get_image_reply_t> r(xcb_shm_get_image_reply(
            c,
            xcb_shm_get_image(c, conn->root(), 0, 0, w, h, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, seg, 0),
            nullptr));
        benchmark::DoNotOptimize(static_cast<uchar*>(mem)[size_t(w) * h * 2]);
    }
    xcb_shm_detach(c, seg);
    conn->sync();
    shmdt(mem);
    state.counters["pixels"] = double(w) * h;
}
BENCHMARK(BM_BareShmGrabOfRoot)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the capture service pays for a full-display capture: a future on the thread pool that
// connects, looks up the display, grabs it and hands over an opaque premultiplied image.
void BM_CaptureEngineDisplay(benchmark::State& state)
{
    auto content = platform::ScreenCapture::shareableContent({});
    const auto display = content ? CaptureEngine::mainDisplay(*content) : std::nullopt;
    if (!display) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        auto future = CaptureEngine::captureImage(*display, {});
        future.waitForFinished();
        auto image = future.result();
        if (!image) {
            state.SkipWithError("capture failed");
            return;
        }
        benchmark::DoNotOptimize(image->constBits());
    }
}
BENCHMARK(BM_CaptureEngineDisplay)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same grab without MIT-SHM (remote servers), for comparison.
void BM_GetImageGrabOfDisplay(benchmark::State& state)
{
    qputenv("SNAPKIN_NO_SHM", "1");
    auto conn = X11Connection::open();
    qunsetenv("SNAPKIN_NO_SHM");
    if (!conn) {
        state.SkipWithError("no X server");
        return;
    }
    const QRect all(0, 0, conn->screen()->width_in_pixels, conn->screen()->height_in_pixels);
    for (auto _ : state) {
        auto image = platform::ScreenCapture::grabScreenRect(*conn, all);
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_GetImageGrabOfDisplay)->Unit(benchmark::kMillisecond)->UseRealTime();

// Listing displays and windows, which every full-screen and front-window capture starts with.
void BM_ShareableContent(benchmark::State& state)
{
    for (auto _ : state) {
        auto content = platform::ScreenCapture::shareableContent({});
        benchmark::DoNotOptimize(content);
    }
}
BENCHMARK(BM_ShareableContent)->Unit(benchmark::kMillisecond)->UseRealTime();

// The drawn shadow of a large window capture (2000 × 1200 at scale 2).
void BM_WindowShadow(benchmark::State& state)
{
    QImage window(2000, 1200, QImage::Format_ARGB32_Premultiplied);
    window.fill(qRgb(40, 90, 160));
    for (auto _ : state)
        benchmark::DoNotOptimize(CaptureEngine::withShadow(window, 2.0));
}
BENCHMARK(BM_WindowShadow)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
