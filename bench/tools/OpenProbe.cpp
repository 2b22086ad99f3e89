// Times a program that opens a picture, from its start until the picture is on the screen, for
// bench/open-4k-png. Two uses:
//
//   OpenProbe --write FILE        writes the 3840 x 2160 test picture: a desktop capture with a
//                                 large square of one marker colour at its centre
//   OpenProbe -- COMMAND [ARG...] starts COMMAND and prints "mapped MS painted MS": when the
//                                 first top-level window mapped and when the marker colour first
//                                 showed at that window's centre (the X server composes nothing,
//                                 so the root window's pixels are what is shown). COMMAND is
//                                 then ended with SIGTERM, and SIGKILL 2 s later if it is still
//                                 there. Exit status 1 when nothing painted within 20 s.
//
// The clock is CLOCK_MONOTONIC read just before fork; the screen is polled every 0.5 ms.
#include "support/ScreenshotImage.h"

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr QRgb kMarker = 0xffd2349au;

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

int writePicture(int argc, char** argv, const char* path)
{
    QGuiApplication app(argc, argv);
    QImage picture = snapkin::bench::screenshot().convertToFormat(QImage::Format_RGB32);
    QPainter painter(&picture);
    const QRect marker(0, 0, 1400, 800);
    painter.fillRect(marker.translated(picture.rect().center() - marker.center()), QColor(kMarker));
    painter.end();
    // Qt's writer, as another program would have saved it.
    return picture.save(QString::fromLocal8Bit(path), "png") ? 0 : 1;
}

bool isMarker(xcb_connection_t* c, xcb_window_t root, int x, int y)
{
    auto* reply = xcb_get_image_reply(c,
                                      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root,
                                                    std::int16_t(x), std::int16_t(y), 1, 1, ~0u),
                                      nullptr);
    if (!reply) return false;
    bool found = false;
    if (xcb_get_image_data_length(reply) >= 4) {
        std::uint32_t pixel = 0;
        std::memcpy(&pixel, xcb_get_image_data(reply), 4);
        const auto near = [](int a, int b) { return std::abs(a - b) <= 6; };
        found = near(int((pixel >> 16) & 0xff), qRed(kMarker)) &&
                near(int((pixel >> 8) & 0xff), qGreen(kMarker)) &&
                near(int(pixel & 0xff), qBlue(kMarker));
    }
    std::free(reply);
    return found;
}

int probe(char** command)
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "OpenProbe: no X server\n");
        return 2;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t root = screen->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    const double start = nowMs();
    const pid_t child = fork();
    if (child == 0) {
        execvp(command[0], command);
        _exit(127);
    }
    double mapped = -1, painted = -1;
    xcb_window_t window = XCB_NONE;
    int cx = 0, cy = 0;
    while (painted < 0 && nowMs() - start < 20000) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && window == XCB_NONE) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                auto* geometry =
                    xcb_get_geometry_reply(c, xcb_get_geometry(c, map->window), nullptr);
                // The first window of some size: the editor's (or viewer's) frame.
                if (geometry && geometry->width >= 400 && geometry->height >= 300) {
                    mapped = nowMs() - start;
                    window = map->window;
                    cx = geometry->x + geometry->width / 2;
                    cy = geometry->y + geometry->height / 2;
                }
                std::free(geometry);
            } else if ((event->response_type & 0x7f) == XCB_CONFIGURE_NOTIFY) {
                // Placed or sized again after mapping: follow its centre.
                const auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event);
                if (configure->window == window) {
                    cx = configure->x + configure->width / 2;
                    cy = configure->y + configure->height / 2;
                }
            }
            std::free(event);
        }
        if (window != XCB_NONE && isMarker(c, root, cx, cy)) painted = nowMs() - start;
        if (painted < 0) usleep(500);
    }
    // A program that ignores the request to end, or hangs, is killed: the benchmark's next run
    // must not wait on it.
    kill(child, SIGTERM);
    int status = 0;
    const double asked = nowMs();
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (nowMs() - asked > 2000) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        usleep(1000);
    }
    xcb_disconnect(c);
    if (painted < 0) {
        std::printf("mapped %.1f painted none\n", mapped);
        return 1;
    }
    std::printf("mapped %.1f painted %.1f\n", mapped, painted);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0) return writePicture(argc, argv, argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "--") == 0) return probe(argv + 2);
    std::fprintf(stderr, "usage: OpenProbe --write FILE | OpenProbe -- COMMAND [ARG...]\n");
    return 2;
}
