#include "capture/CaptureServiceEngine.h"

#include "platform/DesktopWindows.h"
#include "platform/ScreenAccess.h"
#include "platform/X11Connection.h"

#include <QCoreApplication>
#include <QScreen>
#include <QtConcurrent/QtConcurrentRun>

namespace snapkin {

namespace {

class X11Engine final : public CaptureServiceEngine {
public:
    // Refused without a grab in a Wayland session, where X11 shows no other application.
    QFuture<bool> probeAccess() override
    {
        return platform::ScreenAccess::check(&CaptureEngine::probeScreenCaptureAccess);
    }

    bool hasXServer() override { return platform::X11Connection::open() != nullptr; }

    QFuture<platform::CaptureResult<platform::ShareableContent>> shareableContent() override
    {
        return CaptureEngine::shareableContent();
    }

    QFuture<platform::CaptureResult<QImage>>
    captureDisplay(const platform::DisplayInfo& display,
                   const std::vector<platform::WindowInfo>& excluding) override
    {
        return CaptureEngine::captureImage(display, excluding);
    }

    QFuture<platform::CaptureResult<QImage>> grabScreenRect(const QRect& pixels) override
    {
        return QtConcurrent::run(
            [pixels] { return platform::ScreenCapture::grabScreenRect(pixels); });
    }

    QFuture<platform::CaptureResult<platform::BaseImage>>
    captureWindow(const platform::WindowInfo& window) override
    {
        return CaptureEngine::captureWindowImage(window);
    }

    QFuture<platform::CaptureResult<DisplaySnapshots>>
    snapshotDisplays(const QSet<std::uint32_t>& keeping) override
    {
        return CaptureEngine::snapshotDisplays(keeping);
    }

    QFuture<void> waitUntilOffScreen(const std::vector<std::uint32_t>& windowIDs) override
    {
        return platform::DesktopWindows::waitUntilOffScreen(windowIDs);
    }

    std::vector<std::uint32_t> stackingOrder() override
    {
        return platform::DesktopWindows::stackingOrder();
    }

    std::optional<std::uint32_t> displayID(const QScreen* screen) override
    {
        return platform::ScreenCapture::displayID(screen);
    }

    std::optional<QRect> workScreenGeometry() override
    {
        if (const QScreen* screen = platform::DesktopWindows::workScreen())
            return screen->geometry();
        return std::nullopt;
    }

    std::optional<QString> frontmostApplicationName() override
    {
        return platform::DesktopWindows::activeApplicationName(QCoreApplication::applicationPid());
    }
};

} // namespace

CaptureServiceEngine& CaptureServiceEngine::x11()
{
    static X11Engine engine;
    return engine;
}

} // namespace snapkin
