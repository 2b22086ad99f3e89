#include "platform/ScreenCapture.h"
#include "platform/X11Connection.h"

#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <bit>

using namespace snapkin::platform;

namespace {

class Filled : public QWidget {
public:
    explicit Filled(QColor c) : m_color(c)
    {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    void setColor(QColor c)
    {
        m_color = c;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), m_color); }

private:
    QColor m_color;
};

// Grabs until the screen shows the colour at `at` (the window may not be painted yet).
bool screenShows(QPoint at, QColor color)
{
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        auto image = ScreenCapture::grabScreenRect(QRect(at, QSize(1, 1)));
        if (image && QColor(image->pixel(0, 0)) == color) return true;
        QTest::qWait(5);
    }
    return false;
}

// An X server of our own beside the test's, at a chosen screen depth, that a test may kill.
// While it runs, $DISPLAY names it (the capture code follows $DISPLAY); the test's own display
// comes back when it goes.
class PrivateServer {
public:
    explicit PrivateServer(const QString& screen)
    {
        m_saved = qgetenv("DISPLAY");
        const QString file = m_dir.filePath("display");
        // -noreset: the server would otherwise start afresh, dropping connections and the
        // painted root, whenever its last client leaves (as between painting and grabbing).
        m_process.start("sh", {"-c", QStringLiteral("exec Xvfb -displayfd 3 -screen 0 %1 "
                                                    "-nolisten tcp -noreset 3>'%2' 2>/dev/null")
                                         .arg(screen, file)});
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            QFile f(file);
            if (f.open(QIODevice::ReadOnly)) {
                const QByteArray number = f.readAll().trimmed();
                if (!number.isEmpty()) {
                    m_display = ":" + number;
                    break;
                }
            }
            QTest::qWait(20);
        }
        if (!m_display.isEmpty()) qputenv("DISPLAY", m_display);
    }
    ~PrivateServer()
    {
        kill();
        qputenv("DISPLAY", m_saved);
        // A later server may get the same display number; the shared connection to this one
        // must not be taken for it.
        X11Connection::releaseSharedIfIdle();
    }
    bool running() const { return !m_display.isEmpty(); }
    QByteArray display() const { return m_display; }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_display;
    QByteArray m_saved;
};

// Writes raw pixel values onto the root window of `display`, row by row, in the server's
// pixel size and byte order.
bool paintRoot(const QByteArray& display, int width, int height,
               const std::function<std::uint32_t(int, int)>& value)
{
    auto conn = X11Connection::open(display.constData());
    if (!conn) return false;
    xcb_connection_t* c = conn->get();
    const int depth = conn->screen()->root_depth;
    const int bytesPerPixel = conn->pixmapFormat(depth)->bits_per_pixel / 8;
    const int stride = (width * bytesPerPixel + 3) / 4 * 4;
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, conn->root(), 0, nullptr);
    std::vector<uint8_t> row(size_t(stride), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t v = value(x, y);
            for (int b = 0; b < bytesPerPixel; ++b) {
                const int shift = conn->imageIsLsbFirst() ? 8 * b : 8 * (bytesPerPixel - 1 - b);
                row[size_t(x * bytesPerPixel + b)] = uint8_t(v >> shift);
            }
        }
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, conn->root(), gc, uint16_t(width), 1, 0,
                      int16_t(y), 0, uint8_t(depth), uint32_t(stride), row.data());
    }
    xcb_free_gc(c, gc);
    conn->sync();
    return !conn->hasError();
}

// The root window as xwd writes it, decoded here by the masks in its header into 8 bits per
// channel (each channel scaled with rounding).
QImage readXwd(const QByteArray& display)
{
    QProcess xwd;
    xwd.start("xwd", {"-root", "-silent", "-display", QString::fromLatin1(display)});
    if (!xwd.waitForFinished(20000) || xwd.exitCode() != 0) return {};
    const QByteArray data = xwd.readAllStandardOutput();
    auto card = [&](qsizetype at) {
        return std::uint32_t(uchar(data[at])) << 24 | std::uint32_t(uchar(data[at + 1])) << 16 |
               std::uint32_t(uchar(data[at + 2])) << 8 | std::uint32_t(uchar(data[at + 3]));
    };
    if (data.size() < 100) return {};
    const std::uint32_t headerSize = card(0);
    const int width = int(card(16)), height = int(card(20));
    const bool msbFirst = card(28) == 1;
    const int bytesPerPixel = int(card(44)) / 8;
    const qsizetype bytesPerLine = card(48);
    const std::uint32_t masks[3] = {card(56), card(60), card(64)};
    const qsizetype pixels = headerSize + qsizetype(card(76)) * 12; // after the colours
    if (data.size() < pixels + bytesPerLine * height) return {};
    QImage out(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t v = 0;
            for (int b = 0; b < bytesPerPixel; ++b) {
                const uchar byte = uchar(data[pixels + y * bytesPerLine + x * bytesPerPixel + b]);
                v |= std::uint32_t(byte) << (msbFirst ? 8 * (bytesPerPixel - 1 - b) : 8 * b);
            }
            int channel[3];
            for (int i = 0; i < 3; ++i) {
                const int shift = std::countr_zero(masks[i]);
                const std::uint32_t max = masks[i] >> shift;
                channel[i] = int((((v & masks[i]) >> shift) * 255 + max / 2) / max);
            }
            out.setPixel(x, y, qRgb(channel[0], channel[1], channel[2]));
        }
    }
    return out;
}

} // namespace

TEST(ScreenCaptureGrab, SixteenAndThirtyBitScreensMatchXwdPixelForPixel)
{
    for (const int depth : {16, 30}) {
        SCOPED_TRACE(depth);
        // 512 × 128 holds every 16-bit value once; the 30-bit screen gets random values with
        // the extremes of each channel in the first row.
        PrivateServer server(QStringLiteral("512x128x%1").arg(depth));
        ASSERT_TRUE(server.running());
        QRandomGenerator random(depth);
        ASSERT_TRUE(paintRoot(server.display(), 512, 128, [&](int x, int y) -> std::uint32_t {
            if (depth == 16) return std::uint32_t(y * 512 + x);
            if (y == 0 && x < 8) return std::uint32_t(0x3ff) << (10 * (x % 3)) | (x & 1);
            return random.generate() & 0x3fffffffu;
        }));
        const QImage expected = readXwd(server.display());
        ASSERT_EQ(expected.size(), QSize(512, 128));

        auto whole = ScreenCapture::grabScreenRect(QRect(0, 0, 512, 128));
        ASSERT_TRUE(whole) << whole.error().detail.toStdString();
        EXPECT_EQ(whole->format(), QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(whole->convertToFormat(QImage::Format_RGB32), expected);
        // An odd position and width: rows of 16-bit pixels are padded to 32 bits.
        auto part = ScreenCapture::grabScreenRect(QRect(3, 5, 301, 100));
        ASSERT_TRUE(part);
        EXPECT_EQ(part->convertToFormat(QImage::Format_RGB32), expected.copy(3, 5, 301, 100));
        // The same without shared memory.
        qputenv("SNAPKIN_NO_SHM", "1");
        auto plain = ScreenCapture::grabScreenRect(*X11Connection::open(), QRect(3, 5, 301, 100));
        qunsetenv("SNAPKIN_NO_SHM");
        ASSERT_TRUE(plain);
        EXPECT_EQ(plain->convertToFormat(QImage::Format_RGB32), expected.copy(3, 5, 301, 100));
    }
}

TEST(ScreenCaptureConnection, ListingsAndGrabsFailOnceTheServerIsGone)
{
    PrivateServer server(QStringLiteral("640x480x24"));
    ASSERT_TRUE(server.running());
    auto before = ScreenCapture::shareableContent({});
    ASSERT_TRUE(before);
    EXPECT_EQ(before->displays.size(), 1u);

    server.kill();
    // First on the connection that broke, then on a new attempt to connect.
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto content = ScreenCapture::shareableContent({});
        ASSERT_FALSE(content) << content->displays.size() << " displays listed";
        EXPECT_EQ(content.error().kind, ScreenCaptureError::Kind::noXServer);
        EXPECT_EQ(content.error().userMessage(), "Couldn't connect to the X server.");
    }
    auto conn = X11Connection::open(server.display().constData());
    EXPECT_FALSE(conn);
    auto grab = ScreenCapture::grabScreenRect(QRect(0, 0, 2, 2));
    ASSERT_FALSE(grab);
    EXPECT_EQ(grab.error().kind, ScreenCaptureError::Kind::noXServer);
}

TEST(ScreenCaptureGrab, RectanglesAreClippedToTheScreenAndNothingOutsideIsAnError)
{
    auto partly = ScreenCapture::grabScreenRect(QRect(1900, 1070, 100, 100));
    ASSERT_TRUE(partly);
    EXPECT_EQ(partly->size(), QSize(20, 10));

    auto outside = ScreenCapture::grabScreenRect(QRect(2000, 0, 100, 100));
    ASSERT_FALSE(outside);
    EXPECT_EQ(outside.error().kind, ScreenCaptureError::Kind::noSuchDisplay);
    EXPECT_FALSE(ScreenCapture::grabScreenRect(QRect(10, 10, 0, 0)));
}

TEST(ScreenCaptureGrab, AnImageKeepsItsPixelsWhileLaterGrabsReuseMemory)
{
    Filled window(Qt::red);
    window.setGeometry(0, 0, 1920, 1080);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(screenShows({960, 540}, Qt::red));
    auto first = ScreenCapture::grabScreenRect(QRect(0, 0, 1920, 1080));
    ASSERT_TRUE(first);

    window.setColor(Qt::blue);
    ASSERT_TRUE(screenShows({960, 540}, Qt::blue));
    // Grabs of the same size while the first image is alive, and after one is let go.
    auto second = ScreenCapture::grabScreenRect(QRect(0, 0, 1920, 1080));
    {
        auto dropped = ScreenCapture::grabScreenRect(QRect(0, 0, 1920, 1080));
    }
    auto third = ScreenCapture::grabScreenRect(QRect(0, 0, 1920, 1080));
    ASSERT_TRUE(second && third);
    for (QPoint p : {QPoint(0, 0), QPoint(960, 540), QPoint(1919, 1079)}) {
        EXPECT_EQ(first->pixel(p), qRgb(255, 0, 0));
        EXPECT_EQ(second->pixel(p), qRgb(0, 0, 255));
        EXPECT_EQ(third->pixel(p), qRgb(0, 0, 255));
    }
    // Images are opaque premultiplied ARGB32 whatever the server leaves in the padding byte.
    EXPECT_EQ(first->format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(qAlpha(first->pixel(5, 5)), 255);
}

// The shared-memory segments attached to this process.
int sharedSegments()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) return -1;
    return int(maps.readAll().count("/SYSV"));
}

// Small grabs (a probe's few pixels, every few seconds) take no shared memory, so they never
// keep the large segment of the last capture from being let go; large grabs still do.
TEST(ScreenCaptureGrab, SmallGrabsTakeNoSharedMemoryAndIdleSegmentsAreLetGo)
{
    X11Connection::releaseSharedIfIdle();
    const int before = sharedSegments();
    ASSERT_GE(before, 0);
    for (int i = 0; i < 3; ++i) {
        auto tiny = ScreenCapture::grabScreenRect(QRect(0, 0, 2, 2));
        ASSERT_TRUE(tiny);
        EXPECT_EQ(sharedSegments(), before);
    }
    {
        auto large = ScreenCapture::grabScreenRect(QRect(0, 0, 1920, 1080));
        ASSERT_TRUE(large);
        EXPECT_EQ(sharedSegments(), before + 1);
    }
    X11Connection::releaseSharedIfIdle();
    EXPECT_EQ(sharedSegments(), before);
}

TEST(ScreenCaptureWindows, AWindowThatIsGoneOrHiddenIsReportedAsSuch)
{
    auto conn = X11Connection::open();
    ASSERT_TRUE(conn);
    auto gone = ScreenCapture::grabWindow(*conn, 0x7ffffff0u, false);
    ASSERT_FALSE(gone);
    EXPECT_EQ(gone.error().kind, ScreenCaptureError::Kind::noSuchWindow);

    Filled window(Qt::green);
    window.setGeometry(100, 100, 50, 40);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto id = std::uint32_t(window.winId());
    ASSERT_TRUE(screenShows({120, 120}, Qt::green));
    auto shown = ScreenCapture::grabWindow(*conn, id, false);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->size(), QSize(50, 40));

    window.hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ScreenCapture::isShown(*conn, id); }, 10000));
    auto hidden = ScreenCapture::grabWindow(*conn, id, false);
    ASSERT_FALSE(hidden);
    EXPECT_EQ(hidden.error().kind, ScreenCaptureError::Kind::noSuchWindow);
}

TEST(ScreenCaptureDisplays, IdentifiersFollowTheMonitorNameAndNeverZero)
{
    // The same name gives the same identifier in every run, so a stored region finds its
    // monitor again after a restart.
    EXPECT_EQ(ScreenCapture::displayIDForName("DP-1"), ScreenCapture::displayIDForName("DP-1"));
    EXPECT_NE(ScreenCapture::displayIDForName("DP-1"), ScreenCapture::displayIDForName("DP-2"));
    EXPECT_NE(ScreenCapture::displayIDForName(""), 0u);
    EXPECT_FALSE(ScreenCapture::displayID(nullptr));

    auto content = ScreenCapture::shareableContent(ScreenCapture::currentScreenScales());
    ASSERT_TRUE(content);
    ASSERT_EQ(content->displays.size(), 1u);
    EXPECT_EQ(content->displays[0].displayID,
              ScreenCapture::displayIDForName(content->displays[0].name));
}

TEST(ScreenCaptureConnection, NoXServerIsAnErrorNotACrash)
{
    EXPECT_FALSE(X11Connection::open(":4095"));
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":4095");
    auto content = ScreenCapture::shareableContent({});
    auto grab = ScreenCapture::grabScreenRect(QRect(0, 0, 2, 2));
    qputenv("DISPLAY", display);
    ASSERT_FALSE(content);
    EXPECT_EQ(content.error().kind, ScreenCaptureError::Kind::noXServer);
    ASSERT_FALSE(grab);
    EXPECT_EQ(grab.error().kind, ScreenCaptureError::Kind::noXServer);
    // And back on the real server afterwards.
    EXPECT_TRUE(ScreenCapture::grabScreenRect(QRect(0, 0, 2, 2)));
}
