#pragma once

#include "platform/BaseImage.h"
#include "platform/ScreenCapture.h"

#include <QFuture>
#include <QImage>
#include <QRectF>
#include <QSet>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

class QScreen;

namespace snapkin {

// One image of every display, by display identifier, in pixels.
using DisplaySnapshots = std::map<std::uint32_t, QImage>;

// The only place where pixels are taken from the screen. Stateless: every operation works from
// its arguments, the settings and the X server as they are at the call.
//
// The asynchronous operations run on the global thread pool and return a QFuture; call them on
// the GUI thread and continue with `future.then(context, ...)`, which resumes there. They never
// block the GUI thread. An operation that must leave some of the application's own windows out
// of a picture hides them (X11 cannot leave a window out of the screen's pixels), waits until
// the server has taken them off the screen, grabs, and shows them again on the GUI thread before
// its future finishes, whether the grab worked or not.
class CaptureEngine {
public:
    CaptureEngine() = delete;

    // Registers keys::windowCaptureShadow, keys::windowCaptureTransparentBackground and
    // keys::showMagnifierWhileSelecting, each true. Called once at launch.
    static void registerDefaults();

    // The displays and windows that can be captured now (on-screen windows only).
    static QFuture<platform::CaptureResult<platform::ShareableContent>> shareableContent();

    // The primary display; the first one listed when none is primary; nothing without displays.
    static std::optional<platform::DisplayInfo>
    mainDisplay(const platform::ShareableContent& content);

    // A full-resolution image of the display, without those of the given windows that belong
    // to this application; other programs' windows are never unmapped, so they stay.
    static QFuture<platform::CaptureResult<QImage>>
    captureImage(const platform::DisplayInfo& display,
                 const std::vector<platform::WindowInfo>& excluding);

    // True when the screen can be captured now, judged by capturing 2 × 2 pixels of the main
    // display; false without an X server and in a Wayland session (whose X server sees only X11
    // programs). A pixel format that can't be captured still counts as access. Never fails;
    // every call probes anew.
    static QFuture<bool> probeScreenCaptureAccess();

    // The pixels of one window, frame included, honouring keys::windowCaptureShadow (a drawn drop
    // shadow on a margin of 64 points around it) and keys::windowCaptureTransparentBackground (the
    // window's own transparency is kept), sized in points for the display the window is on. With
    // neither setting, the image is opaque.
    static QFuture<platform::CaptureResult<platform::BaseImage>>
    captureWindowImage(const platform::WindowInfo& window);

    // The pixels per point of the first display that `frame` (root-window pixels) overlaps; 1
    // when it overlaps none.
    static double scaleForFrame(const std::vector<platform::DisplayInfo>& displays,
                                const QRect& frame);

    // The windows that draw the desktop and its icons, in the content's order.
    static std::vector<platform::WindowInfo>
    desktopIconWindows(const platform::ShareableContent& content);

    // One image of every display, with the application's own windows left out except those
    // whose identifiers are in `keeping`. The desktop's icons stay whatever
    // keys::hideDesktopIconsWhileCapturing says: on X11 they could be left out only by unmapping
    // the desktop's window, which rearranges the desktop. One failing display fails the call.
    static QFuture<platform::CaptureResult<DisplaySnapshots>>
    snapshotDisplays(const QSet<std::uint32_t>& keeping);

    // The region `rect` (points, from the screen's top-left corner, y down) of a full-display
    // image of `screen`, as an image that owns only the cropped pixels and measures rect's size
    // in points. Nothing when the region lies outside the image or the input is unusable. The
    // scale is the image's pixel width over the screen's width in points, for both axes.
    static std::optional<platform::BaseImage> crop(const QImage& image, const QRectF& rect,
                                                   const QScreen* screen);
    static std::optional<platform::BaseImage> crop(const QImage& image, const QRectF& rect,
                                                   double screenPointWidth);

    // The window image on a transparent canvas grown by round(64 × scale) pixels on each side,
    // under a soft black shadow (33 % opacity, blurred over 40 × scale pixels) that falls
    // 18 × scale pixels below it.
    static QImage withShadow(const QImage& window, double scale);
};

} // namespace snapkin
