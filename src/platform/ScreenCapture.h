#pragma once

#include <QHash>
#include <QImage>
#include <QRect>
#include <QSizeF>
#include <QString>

#include <cstdint>
#include <expected>
#include <optional>
#include <vector>

class QScreen;

namespace snapkin::platform {

class X11Connection;

// A monitor as the X server's RandR extension describes it.
struct DisplayInfo {
    // Derived from the monitor's name ("DP-1", "HDMI-2"), so it stays the same across restarts
    // of the application (and of the X server) while that monitor is connected.
    std::uint32_t displayID = 0;
    QString name;
    QRect frame;        // in pixels, in root-window coordinates
    double scale = 1.0; // pixels per point, from Qt's screen of the same name (1 when none)
    bool primary = false;

    // The monitor's size in points.
    QSizeF pointSize() const { return QSizeF(frame.width() / scale, frame.height() / scale); }
    friend bool operator==(const DisplayInfo&, const DisplayInfo&) = default;
};

// The program a window belongs to, from the properties it sets on its window.
struct OwningApplication {
    std::int64_t processID = 0; // _NET_WM_PID; 0 when the window does not say
    QString applicationName;    // the class part of WM_CLASS ("Firefox", "snapkin")
    friend bool operator==(const OwningApplication&, const OwningApplication&) = default;
};

// A top-level window of the window manager's client list (or of the window tree when no
// window manager runs).
struct WindowInfo {
    std::uint32_t windowID = 0; // the client window
    QString title;
    std::optional<OwningApplication> owningApplication;
    // The window as it is seen, window-manager frame included, in root-window pixels.
    QRect frame;
    // 0 for ordinary windows; negative for the desktop (the window that draws the desktop
    // icons); positive for docks, panels, menus and windows kept above the others.
    int windowLayer = 0;
    bool isOnScreen = false;
    bool isDesktop = false;
    friend bool operator==(const WindowInfo&, const WindowInfo&) = default;
};

// What can be captured right now.
struct ShareableContent {
    std::vector<DisplayInfo> displays;          // in the server's order
    std::vector<WindowInfo> windows;            // front-most first
    std::optional<std::uint32_t> mainDisplayID; // the primary monitor, when the server names one
};

struct ScreenCaptureError {
    enum class Kind {
        noXServer, // no X display to connect to (for example Wayland without X11)
        noSuchDisplay,
        noSuchWindow,      // gone, or not on the screen
        grabFailed,        // the server refused to hand out the pixels
        unsupportedFormat, // not a true-colour visual, or an unusual pixel layout
    };
    Kind kind = Kind::grabFailed;
    QString detail; // for logs; not shown to the user

    QString userMessage() const;
    friend bool operator==(const ScreenCaptureError&, const ScreenCaptureError&) = default;
};

template <typename T> using CaptureResult = std::expected<T, ScreenCaptureError>;

// Pixels, displays and windows of the X11 screen, over xcb. Every operation opens a private
// connection (or uses the one given), so any of them may run on any thread, except the two
// that read Qt's screens, which belong to the GUI thread.
class ScreenCapture {
public:
    ScreenCapture() = delete;

    // Pixels per point of each of Qt's screens, by screen name. Empty off the GUI thread and
    // without a QGuiApplication.
    static QHash<QString, double> currentScreenScales();

    // The identifier of the monitor a Qt screen shows; nothing when the screen has no name.
    static std::optional<std::uint32_t> displayID(const QScreen* screen);
    static std::uint32_t displayIDForName(const QString& monitorName);

    // The displays alone (one round trip less than the whole content).
    static std::vector<DisplayInfo> displays(X11Connection& connection,
                                             const QHash<QString, double>& scales);

    // The displays and, front-most first, the windows. `scales` maps screen names to pixels
    // per point (see currentScreenScales()).
    static CaptureResult<ShareableContent> shareableContent(const QHash<QString, double>& scales,
                                                            bool onScreenWindowsOnly = true);
    static CaptureResult<ShareableContent> shareableContent(X11Connection& connection,
                                                            const QHash<QString, double>& scales,
                                                            bool onScreenWindowsOnly = true);

    // The pixels of a rectangle of the screen (root-window pixels), as an opaque ARGB32
    // premultiplied image. The
    // rectangle is clipped to the screen; nothing of it on the screen is an error. Uses MIT-SHM
    // when the server offers it, else a plain GetImage; either way the image holds the server's
    // answer without a copy.
    static CaptureResult<QImage> grabScreenRect(const QRect& rect);
    static CaptureResult<QImage> grabScreenRect(X11Connection& connection, const QRect& rect);

    // The pixels of one top-level window, frame included. With a compositing manager running,
    // the window's own pixels (whatever covers it; with its alpha when `keepAlpha` and the window
    // has one); otherwise its area of the screen, clipped to the screen. ARGB32 premultiplied.
    static CaptureResult<QImage> grabWindow(X11Connection& connection, std::uint32_t windowID,
                                            bool keepAlpha);

    // The root window's background picture as wallpaper setters publish it (_XROOTPMAP_ID,
    // else ESETROOT_PMAP_ID), or XCB_NONE (0) when there is none or it is gone.
    static std::uint32_t rootBackgroundPixmap(X11Connection& connection);

    // Paints over `image`, a grab of the root-window rectangle `area`, what of each desktop
    // window (_NET_WM_WINDOW_TYPE_DESKTOP) no mapped window above it covers, from the root's
    // background picture at the same root coordinates: the wallpaper without the desktop's
    // icons. False, with the image untouched, when there is no background picture.
    static bool paintRootBackground(X11Connection& connection, QImage& image, const QRect& area,
                                    const std::vector<std::uint32_t>& desktopWindows);

    // True when a compositing manager owns the _NET_WM_CM_S<screen> selection.
    static bool compositingManagerRunning(X11Connection& connection);

    // Whether the window, or the window manager's frame around it, is on the screen now.
    static bool isShown(X11Connection& connection, std::uint32_t windowID);

    // Maps or unmaps a window and sends the request at once. Only for the application's own
    // windows: a window manager moves, refocuses and restacks a window of another program that
    // is unmapped and mapped again.
    static void setMapped(X11Connection& connection, std::uint32_t windowID, bool mapped);
};

} // namespace snapkin::platform
