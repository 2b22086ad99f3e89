#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include <cstdint>
#include <optional>

namespace snapkin {

class CaptureClock;
class ToastView;

// The application's one transient confirmation ("Copied to clipboard"): a dark pill of one line
// of white text, centred 120 pt above the bottom of the primary screen, faded in, left for a
// while, faded out and removed. Only one toast exists: a new one replaces the old at once.
// The toast never takes the keyboard or the mouse and never activates the application; its text
// is also announced to assistive technology.
//
// Timing follows a CaptureClock (real time unless one is given): fully shown 0.15 s after `show`,
// fading from `duration` seconds, gone 0.25 s later. Fading needs a compositing manager; without
// one the toast simply stays until it is removed at the same moment.
class CaptureToast {
public:
    CaptureToast() = delete;

    static constexpr int height = 40;        // points
    static constexpr int horizontalPad = 40; // added to the text's width
    static constexpr int bottomOffset = 120; // from the screen's bottom edge to the toast's
    static constexpr int fadeInMs = 150;
    static constexpr int fadeOutMs = 250;

    // Shows `message` for `duration` seconds (callers pass 1.3). Without a screen, nothing is
    // shown and nothing is announced.
    static void show(const QString& message, double duration);
    // The same on `clock`, which must outlive the toast.
    static void show(const QString& message, double duration, CaptureClock& clock);

    // Takes the toast off the screen at once, without fading (a capture is about to start and
    // must not picture it). Returns the X window the toast had, so the caller can wait until the
    // server has taken it away; nothing when no toast was up.
    static std::optional<std::uint32_t> dismiss();

    // The toast on screen, or nullptr.
    static ToastView* current();

    // The font the toast's text is drawn and measured in (ToastView's).
    static QFont font();
    // Where a toast for a text `textWidth` points wide goes on a screen of `screen` geometry.
    static QRect geometryFor(double textWidth, const QRect& screen);
};

} // namespace snapkin
