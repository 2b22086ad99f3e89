#pragma once

#include "grab/CaptureEngine.h"
#include "platform/BaseImage.h"
#include "platform/ScreenCapture.h"

#include <QFuture>
#include <QImage>
#include <QRect>
#include <QSet>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace snapkin {

// What the capture service asks of the screen and the window manager. The default is the X11
// capture engine; tests script one. The futures may finish on any thread: the service
// continues on the GUI thread. The synchronous queries run on the GUI thread.
class CaptureServiceEngine {
public:
    virtual ~CaptureServiceEngine() = default;

    // The X11 engine.
    static CaptureServiceEngine& x11();

    // True when the screen can be captured now (a tiny real capture works).
    virtual QFuture<bool> probeAccess() = 0;
    // Whether an X server answers at all; decides whether a failure alert explains X11 sessions.
    virtual bool hasXServer() = 0;

    virtual QFuture<platform::CaptureResult<platform::ShareableContent>> shareableContent() = 0;
    // A whole display, leaving out the given windows.
    virtual QFuture<platform::CaptureResult<QImage>>
    captureDisplay(const platform::DisplayInfo& display,
                   const std::vector<platform::WindowInfo>& excluding) = 0;
    // A rectangle of the screen in root-window pixels.
    virtual QFuture<platform::CaptureResult<QImage>> grabScreenRect(const QRect& pixels) = 0;
    // One window, sized in points for its display, with the window-capture settings.
    virtual QFuture<platform::CaptureResult<platform::BaseImage>>
    captureWindow(const platform::WindowInfo& window) = 0;
    // Every display, leaving out the application's own windows except `keeping`.
    virtual QFuture<platform::CaptureResult<DisplaySnapshots>>
    snapshotDisplays(const QSet<std::uint32_t>& keeping) = 0;

    // Finishes once the server shows none of the windows (or after a second).
    virtual QFuture<void> waitUntilOffScreen(const std::vector<std::uint32_t>& windowIDs) = 0;
    // Top-level windows, front-most first, as the window manager stacks them.
    virtual std::vector<std::uint32_t> stackingOrder() = 0;
    // The application in front when it is not this one (its WM_CLASS class).
    virtual std::optional<QString> frontmostApplicationName() = 0;
    // The identifier of the display a Qt screen shows; nothing for a screen without a name.
    virtual std::optional<std::uint32_t> displayID(const QScreen* screen) = 0;
    // Where the screen the user works on lies (platform::DesktopWindows::workScreen), in
    // device-independent pixels; nothing without any screen.
    virtual std::optional<QRect> workScreenGeometry() = 0;
};

} // namespace snapkin
