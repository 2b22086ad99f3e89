#include "grab/CaptureEngine.h"

#include "platform/Defaults.h"
#include "platform/X11Connection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace snapkin {

using platform::CaptureResult;
using platform::DisplayInfo;
using platform::ScreenCapture;
using platform::ScreenCaptureError;
using platform::ShareableContent;
using platform::WindowInfo;
using platform::X11Connection;

namespace {

// How long a hidden window may take to leave the screen before we grab anyway, and how long
// the clients below it get to repaint what it uncovered (the server paints only backgrounds).
constexpr int hideTimeoutMs = 1000;
constexpr int repaintSettleMs = 80;

ScreenCaptureError noXServer()
{
    return ScreenCaptureError{ScreenCaptureError::Kind::noXServer, {}};
}

bool isOwn(const WindowInfo& window)
{
    return window.owningApplication &&
           window.owningApplication->processID == QCoreApplication::applicationPid();
}

// A Wayland session may offer an X server (XWayland), but it sees only the programs that use
// X11: every capture of the screen would come out black.
bool waylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qgetenv("XDG_SESSION_TYPE").trimmed().toLower() == "wayland";
}

bool onGuiThread()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

// Own windows hidden through Qt (so Qt, the window manager and the widgets agree on their
// state), with the ids the worker waits on.
struct HiddenOwnWindows {
    QList<QPointer<QWindow>> windows;
    std::vector<std::uint32_t> ids;
};

// Hides the application's windows that are on the screen now and `shouldHide` picks by X11 id.
HiddenOwnWindows hideOwnWindows(const std::function<bool(std::uint32_t)>& shouldHide)
{
    HiddenOwnWindows hidden;
    if (!onGuiThread()) return hidden;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (!window->isVisible() || !window->handle() || window->type() == Qt::Desktop) continue;
        const auto id = std::uint32_t(window->winId());
        if (!shouldHide(id)) continue;
        hidden.windows.append(QPointer<QWindow>(window));
        hidden.ids.push_back(id);
    }
    for (const QPointer<QWindow>& window : hidden.windows)
        window->setVisible(false);
    return hidden;
}

// Puts the own windows back on the GUI thread once the work is done, success or not; the
// returned future finishes only after that.
template <typename T>
QFuture<T> showingAgainAfter(QFuture<T> future, const HiddenOwnWindows& hidden)
{
    if (hidden.windows.isEmpty()) return future;
    const QList<QPointer<QWindow>> windows = hidden.windows;
    return future.then(QCoreApplication::instance(), [windows](T result) {
        for (const QPointer<QWindow>& w : windows) {
            if (w) w->setVisible(true);
        }
        return result;
    });
}

// Waits until the server shows none of the windows any more (frames included), then gives the
// uncovered clients a moment to repaint. Gives up waiting after a second and grabs anyway.
void waitUntilOffScreen(X11Connection& conn, const std::vector<std::uint32_t>& ids)
{
    if (ids.empty()) return;
    const QDeadlineTimer deadline(hideTimeoutMs);
    for (;;) {
        const bool anyShown = std::any_of(ids.begin(), ids.end(), [&](std::uint32_t id) {
            return ScreenCapture::isShown(conn, id);
        });
        if (!anyShown || deadline.hasExpired()) break;
        QThread::msleep(2);
    }
    QThread::msleep(repaintSettleMs);
}

// Unmaps windows of this process that Qt does not manage (or that were listed off the GUI
// thread) for the length of a grab and maps them again when it goes out of scope, whatever
// happened in between. Never given another program's windows: unmapping those would let the
// window manager move, restack and refocus them. Returns from its constructor once these and
// the windows Qt hid (`hiddenByQt`) are off the screen.
class UnmanagedOwnWindowsHidden {
public:
    UnmanagedOwnWindowsHidden(X11Connection& conn, const std::vector<std::uint32_t>& ids,
                              const std::vector<std::uint32_t>& hiddenByQt)
        : m_conn(conn)
    {
        for (std::uint32_t id : ids) {
            if (!ScreenCapture::isShown(conn, id)) continue;
            ScreenCapture::setMapped(conn, id, false);
            m_unmapped.push_back(id);
        }
        std::vector<std::uint32_t> leaving = hiddenByQt;
        leaving.insert(leaving.end(), m_unmapped.begin(), m_unmapped.end());
        waitUntilOffScreen(conn, leaving);
    }
    ~UnmanagedOwnWindowsHidden()
    {
        for (std::uint32_t id : m_unmapped)
            ScreenCapture::setMapped(m_conn, id, true);
        if (!m_unmapped.empty()) m_conn.sync();
    }

private:
    X11Connection& m_conn;
    std::vector<std::uint32_t> m_unmapped;
};

std::optional<DisplayInfo> currentDisplay(const std::vector<DisplayInfo>& displays,
                                          std::uint32_t displayID)
{
    for (const DisplayInfo& d : displays) {
        if (d.displayID == displayID) return d;
    }
    return std::nullopt;
}

// The box radius whose three passes spread like a Gaussian of standard deviation `sigma`.
int boxRadius(double sigma)
{
    return std::max(1, int(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
}

// One running-sum box blur of radius r along a line of `count` values `stride` apart; outside
// the line counts as transparent.
void boxBlurLine(std::uint8_t* values, int count, qsizetype stride, int r, std::uint8_t* scratch)
{
    const std::uint32_t span = std::uint32_t(2 * r + 1);
    std::uint32_t sum = 0;
    for (int i = 0; i <= r && i < count; ++i)
        sum += values[i * stride];
    for (int i = 0; i < count; ++i) {
        scratch[i] = std::uint8_t((sum + span / 2) / span);
        if (i + r + 1 < count) sum += values[(i + r + 1) * stride];
        if (i - r >= 0) sum -= values[(i - r) * stride];
    }
    for (int i = 0; i < count; ++i)
        values[i * stride] = scratch[i];
}

// Three box blurs per axis of a width × height alpha mask approximate a Gaussian.
void blurAlpha(std::vector<std::uint8_t>& a, int width, int height, double sigma)
{
    const int r = boxRadius(sigma);
    std::vector<std::uint8_t> scratch(static_cast<size_t>(std::max(width, height)));
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < height; ++y)
            boxBlurLine(a.data() + size_t(y) * size_t(width), width, 1, r, scratch.data());
    }
    // Columns: a sliding sum per column, walked row by row so memory is read in order.
    const std::uint32_t span = std::uint32_t(2 * r + 1);
    std::vector<std::uint32_t> sums(static_cast<size_t>(width));
    std::vector<std::uint8_t> out(a.size());
    for (int pass = 0; pass < 3; ++pass) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int y = 0; y <= r && y < height; ++y) {
            const std::uint8_t* row = a.data() + size_t(y) * size_t(width);
            for (int x = 0; x < width; ++x)
                sums[size_t(x)] += row[x];
        }
        for (int y = 0; y < height; ++y) {
            std::uint8_t* dst = out.data() + size_t(y) * size_t(width);
            for (int x = 0; x < width; ++x)
                dst[x] = std::uint8_t((sums[size_t(x)] + span / 2) / span);
            if (y + r + 1 < height) {
                const std::uint8_t* add = a.data() + size_t(y + r + 1) * size_t(width);
                for (int x = 0; x < width; ++x)
                    sums[size_t(x)] += add[x];
            }
            if (y - r >= 0) {
                const std::uint8_t* sub = a.data() + size_t(y - r) * size_t(width);
                for (int x = 0; x < width; ++x)
                    sums[size_t(x)] -= sub[x];
            }
        }
        a.swap(out);
    }
}

// The blurred edge of an opaque span [begin, end) on a line of `count`: an opaque window's
// shadow is the product of one such profile across and one down, so it costs nothing like a
// full two-dimensional blur.
std::vector<std::uint8_t> blurredSpan(int count, int begin, int end, double sigma)
{
    std::vector<std::uint8_t> line(static_cast<size_t>(count), 0);
    for (int i = std::max(begin, 0); i < std::min(end, count); ++i)
        line[size_t(i)] = 255;
    std::vector<std::uint8_t> scratch(line.size());
    const int r = boxRadius(sigma);
    for (int pass = 0; pass < 3; ++pass)
        boxBlurLine(line.data(), count, 1, r, scratch.data());
    return line;
}

bool fullyOpaque(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 255) return false;
        }
    }
    return true;
}

} // namespace

void CaptureEngine::registerDefaults()
{
    platform::Defaults& settings = platform::Defaults::standard();
    settings.registerDefault(keys::windowCaptureShadow);
    settings.registerDefault(keys::windowCaptureTransparentBackground);
    settings.registerDefault(keys::showMagnifierWhileSelecting);
}

QFuture<CaptureResult<ShareableContent>> CaptureEngine::shareableContent()
{
    const auto scales = ScreenCapture::currentScreenScales();
    return QtConcurrent::run([scales] { return ScreenCapture::shareableContent(scales); });
}

std::optional<DisplayInfo> CaptureEngine::mainDisplay(const ShareableContent& content)
{
    if (content.mainDisplayID) {
        if (auto d = currentDisplay(content.displays, *content.mainDisplayID)) return d;
    }
    if (content.displays.empty()) return std::nullopt;
    return content.displays.front();
}

QFuture<CaptureResult<QImage>> CaptureEngine::captureImage(const DisplayInfo& display,
                                                           const std::vector<WindowInfo>& excluding)
{
    const HiddenOwnWindows own = hideOwnWindows([&](std::uint32_t id) {
        return std::any_of(excluding.begin(), excluding.end(),
                           [id](const WindowInfo& w) { return w.windowID == id; });
    });
    // Other programs' windows cannot be left out on X11 without disturbing them: a desktop's
    // shows the wallpaper in its place, any other stays.
    std::vector<std::uint32_t> unmanaged;
    std::vector<std::uint32_t> desktops;
    for (const WindowInfo& w : excluding) {
        if (isOwn(w) && std::find(own.ids.begin(), own.ids.end(), w.windowID) == own.ids.end()) {
            unmanaged.push_back(w.windowID);
        } else if (!isOwn(w) && w.isDesktop) {
            desktops.push_back(w.windowID);
        }
    }
    const auto scales = ScreenCapture::currentScreenScales();
    const std::uint32_t displayID = display.displayID;
    const std::vector<std::uint32_t> ownIds = own.ids;
    auto work = QtConcurrent::run([=]() -> CaptureResult<QImage> {
        auto conn = X11Connection::acquire();
        if (!conn) return std::unexpected(noXServer());
        // The display as it is now: a monitor may have moved or gone since it was listed.
        const auto now = currentDisplay(ScreenCapture::displays(*conn, scales), displayID);
        if (conn->hasError()) return std::unexpected(noXServer());
        if (!now) {
            return std::unexpected(ScreenCaptureError{ScreenCaptureError::Kind::noSuchDisplay, {}});
        }
        const UnmanagedOwnWindowsHidden hiddenUnmanaged(*conn, unmanaged, ownIds);
        auto image = ScreenCapture::grabScreenRect(*conn, now->frame);
        if (image && !desktops.empty())
            ScreenCapture::paintRootBackground(*conn, *image, now->frame, desktops);
        return image;
    });
    return showingAgainAfter(work, own);
}

QFuture<bool> CaptureEngine::probeScreenCaptureAccess()
{
    const auto scales = ScreenCapture::currentScreenScales();
    const bool wayland = waylandSession();
    return QtConcurrent::run([scales, wayland] {
        if (wayland) return false;
        auto conn = X11Connection::acquire();
        if (!conn) return false;
        const auto displays = ScreenCapture::displays(*conn, scales);
        if (displays.empty()) return false;
        const auto primary = std::find_if(displays.begin(), displays.end(),
                                          [](const DisplayInfo& d) { return d.primary; });
        const DisplayInfo& display = primary != displays.end() ? *primary : displays.front();
        const QRect tiny(display.frame.topLeft(), QSize(2, 2));
        // A pixel format we cannot read fails the capture with its own message; access is
        // there all the same.
        const auto grabbed = ScreenCapture::grabScreenRect(*conn, tiny);
        return grabbed.has_value() ||
               grabbed.error().kind == ScreenCaptureError::Kind::unsupportedFormat;
    });
}

QFuture<CaptureResult<platform::BaseImage>>
CaptureEngine::captureWindowImage(const WindowInfo& window)
{
    auto& defaults = platform::Defaults::standard();
    const bool shadow = defaults.get(keys::windowCaptureShadow);
    const bool transparent = defaults.get(keys::windowCaptureTransparentBackground);
    const auto scales = ScreenCapture::currentScreenScales();
    return QtConcurrent::run([=]() -> CaptureResult<platform::BaseImage> {
        auto conn = X11Connection::acquire();
        if (!conn) return std::unexpected(noXServer());
        const double scale = scaleForFrame(ScreenCapture::displays(*conn, scales), window.frame);
        auto image = ScreenCapture::grabWindow(*conn, window.windowID, shadow || transparent);
        if (!image) return std::unexpected(image.error());
        if (shadow) *image = withShadow(*image, scale);
        return platform::BaseImage(*image, QSizeF(image->size()) / scale);
    });
}

double CaptureEngine::scaleForFrame(const std::vector<DisplayInfo>& displays, const QRect& frame)
{
    for (const DisplayInfo& d : displays) {
        if (d.frame.intersects(frame)) return d.scale;
    }
    return 1.0;
}

std::vector<WindowInfo> CaptureEngine::desktopIconWindows(const ShareableContent& content)
{
    std::vector<WindowInfo> out;
    std::copy_if(content.windows.begin(), content.windows.end(), std::back_inserter(out),
                 [](const WindowInfo& w) { return w.isDesktop && w.windowLayer < 0; });
    return out;
}

QFuture<CaptureResult<DisplaySnapshots>>
CaptureEngine::snapshotDisplays(const QSet<std::uint32_t>& keeping)
{
    const HiddenOwnWindows own =
        hideOwnWindows([&](std::uint32_t id) { return !keeping.contains(id); });
    const auto scales = ScreenCapture::currentScreenScales();
    const std::vector<std::uint32_t> ownIds = own.ids;
    const bool hideIcons = platform::Defaults::standard().get(keys::hideDesktopIconsWhileCapturing);
    auto work = QtConcurrent::run([=]() -> CaptureResult<DisplaySnapshots> {
        auto conn = X11Connection::acquire();
        if (!conn) return std::unexpected(noXServer());
        auto content = ScreenCapture::shareableContent(*conn, scales);
        if (!content) return std::unexpected(content.error());

        // Own windows Qt did not hide (called off the GUI thread, or not Qt's) go by their
        // process id. The desktop belongs to another program: with its icons to be left out,
        // its wallpaper is painted over it.
        std::vector<std::uint32_t> unmanaged;
        std::vector<std::uint32_t> desktops;
        if (hideIcons) {
            for (const WindowInfo& w : desktopIconWindows(*content))
                desktops.push_back(w.windowID);
        }
        for (const WindowInfo& w : content->windows) {
            const bool alreadyHidden =
                std::find(ownIds.begin(), ownIds.end(), w.windowID) != ownIds.end();
            if (isOwn(w) && !keeping.contains(w.windowID) && !alreadyHidden) {
                unmanaged.push_back(w.windowID);
            }
        }
        const UnmanagedOwnWindowsHidden hiddenUnmanaged(*conn, unmanaged, ownIds);

        DisplaySnapshots snapshots;
        for (const DisplayInfo& d : content->displays) {
            auto image = ScreenCapture::grabScreenRect(*conn, d.frame);
            if (!image) return std::unexpected(image.error());
            if (!desktops.empty())
                ScreenCapture::paintRootBackground(*conn, *image, d.frame, desktops);
            snapshots[d.displayID] = std::move(*image);
        }
        return snapshots;
    });
    return showingAgainAfter(work, own);
}

std::optional<platform::BaseImage> CaptureEngine::crop(const QImage& image, const QRectF& rect,
                                                       const QScreen* screen)
{
    if (!screen) return std::nullopt;
    return crop(image, rect, screen->geometry().width());
}

std::optional<platform::BaseImage> CaptureEngine::crop(const QImage& image, const QRectF& rect,
                                                       double screenPointWidth)
{
    if (image.isNull() || !(screenPointWidth > 0) || !std::isfinite(screenPointWidth)) {
        return std::nullopt;
    }
    const QRectF r = rect.normalized();
    if (!std::isfinite(r.x()) || !std::isfinite(r.y()) || !std::isfinite(r.width()) ||
        !std::isfinite(r.height()) || r.width() <= 0 || r.height() <= 0) {
        return std::nullopt;
    }
    const double scale = image.width() / screenPointWidth;
    // The smallest whole-pixel rectangle holding the region, then what of it lies in the image.
    const double left = std::floor(r.left() * scale);
    const double top = std::floor(r.top() * scale);
    const double right = std::ceil(r.right() * scale);
    const double bottom = std::ceil(r.bottom() * scale);
    const QRectF inImage =
        QRectF(QPointF(left, top), QPointF(right, bottom)).intersected(QRectF(image.rect()));
    if (inImage.isEmpty()) return std::nullopt;

    const QRect pixels = inImage.toRect();
    // copy() gives the crop pixels of its own, so the whole display image can be let go.
    QImage cropped = image.copy(pixels).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (cropped.isNull()) return std::nullopt;
    cropped.setDevicePixelRatio(1.0);
    // Where the region reached past the image, the point size shrinks with the pixels it kept,
    // so the crop is never stretched.
    const QSizeF points(r.width() * (pixels.width() / (right - left)),
                        r.height() * (pixels.height() / (bottom - top)));
    return platform::BaseImage(cropped, points);
}

QImage CaptureEngine::withShadow(const QImage& window, double scale)
{
    if (window.isNull() || !(scale > 0) || !std::isfinite(scale) || scale > 16) return window;
    const int margin = int(std::lround(64 * scale));
    const qint64 width = qint64(window.width()) + 2 * qint64(margin);
    const qint64 height = qint64(window.height()) + 2 * qint64(margin);
    if (width < 1 || height < 1 || width > 32767 || height > 32767) return window;
    const int w = int(width);
    const int h = int(height);
    const int drop = int(std::lround(18 * scale));

    const QImage src = window.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) return window;
    // Black at 33 % opacity: premultiplied, only the alpha is non-zero.
    auto shade = [](std::uint32_t coverage) { return QRgb((coverage * 33 + 50) / 100) << 24; };
    const double sigma = 20 * scale;
    if (fullyOpaque(src)) {
        const auto across = blurredSpan(w, margin, margin + src.width(), sigma);
        const auto down = blurredSpan(h, margin + drop, margin + drop + src.height(), sigma);
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
            const std::uint32_t dy = down[size_t(y)];
            for (int x = 0; x < w; ++x)
                line[x] = shade((across[size_t(x)] * dy + 127) / 255);
        }
    } else {
        std::vector<std::uint8_t> alpha(size_t(w) * size_t(h), 0);
        for (int y = 0; y < src.height(); ++y) {
            const int ty = y + margin + drop;
            if (ty < 0 || ty >= h) continue;
            const auto* line = reinterpret_cast<const QRgb*>(src.constScanLine(y));
            std::uint8_t* dst = alpha.data() + size_t(ty) * size_t(w) + size_t(margin);
            for (int x = 0; x < src.width(); ++x)
                dst[x] = std::uint8_t(qAlpha(line[x]));
        }
        blurAlpha(alpha, w, h, sigma);
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
            const std::uint8_t* a = alpha.data() + size_t(y) * size_t(w);
            for (int x = 0; x < w; ++x)
                line[x] = shade(a[x]);
        }
    }
    QPainter painter(&out);
    painter.drawImage(margin, margin, src);
    painter.end();
    return out;
}

} // namespace snapkin
