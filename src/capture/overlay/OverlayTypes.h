#pragma once

#include "grab/CaptureEngine.h"
#include "platform/ScreenCapture.h"

#include <QRectF>

#include <functional>
#include <optional>

class QScreen;

namespace snapkin {

// What the selection overlay lets the user pick.
enum class OverlayMode { region, window };

// A finished selection: a rectangle in points relative to the top-left corner of `screen`
// (x to the right, y downward) and, in window mode, the window that was picked.
struct RegionSelection {
    QScreen* screen = nullptr;
    QRectF rect;
    std::optional<platform::WindowInfo> window;
};

// How an overlay session ended when the user did not cancel: a selection, or a whole display
// (the mode bar's "Full Screen").
struct OverlayResult {
    enum class Kind { selection, fullScreen };
    Kind kind = Kind::selection;
    RegionSelection selection; // for Kind::selection
    QScreen* screen = nullptr; // for Kind::fullScreen

    static OverlayResult ofSelection(const RegionSelection& s)
    {
        return {Kind::selection, s, s.screen};
    }
    static OverlayResult ofFullScreen(QScreen* screen) { return {Kind::fullScreen, {}, screen}; }
};

// Called once when a session ends, after the overlay's windows are off the screen; an empty
// result means the user cancelled.
using OverlayCompletion = std::function<void(std::optional<OverlayResult>)>;

// The selection overlay as the capture service sees it, so tests can script one. One session at
// a time: `begin` while a session is open leaves that session alone and completes the new
// request with no result at once.
class CaptureOverlay {
public:
    virtual ~CaptureOverlay() = default;

    // Set (true) on the overlay's windows, so snapshots for the overlay's magnifier leave them
    // out while keeping the application's other visible windows.
    static constexpr const char* windowProperty = "snapkinCaptureOverlay";

    // Covers every screen and opens a session; `frozen`, when given, is the still picture of each
    // display (by display identifier) shown instead of the live screen. Returns the session's
    // number, one more than the previous session's; 0 when a session was already open (the
    // new request has then been completed with no result).
    virtual int begin(OverlayMode mode, std::optional<DisplaySnapshots> frozen,
                      OverlayCompletion completion) = 0;

    // Pictures for the loupe, for the session numbered `session`; ignored unless that session
    // is the one open.
    virtual void setSnapshots(const DisplaySnapshots& snapshots, int session) = 0;

    // True when `begin`, given no pictures, takes the loupe's pictures itself before its
    // windows appear; the caller then has no need to take them afterwards (which would take
    // the overlay's windows off the screen for the length of a grab).
    virtual bool takesOwnSnapshots() const { return false; }
};

} // namespace snapkin
