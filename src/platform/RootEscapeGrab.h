#pragma once

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>

namespace snapkin::platform {

// Takes the Escape key for the whole X display while it lives: a passive grab on the root
// window with every NumLock/CapsLock variant, so Escape reaches us even while another
// application has the keyboard focus (a timed capture started by a hot key leaves that
// application in front). The key never reaches the focused application; `onEscape` runs once
// per press, later on the GUI thread, so it may destroy the grab.
//
// Outside X11, or when another client holds the same grab, nothing is grabbed (`active()` is
// false) and the caller relies on its in-application key handling.
class RootEscapeGrab final : public QAbstractNativeEventFilter {
public:
    explicit RootEscapeGrab(std::function<void()> onEscape);
    ~RootEscapeGrab() override;
    RootEscapeGrab(const RootEscapeGrab&) = delete;
    RootEscapeGrab& operator=(const RootEscapeGrab&) = delete;

    bool active() const { return m_grabbed; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::function<void()> m_onEscape;
    std::uint8_t m_keycode = 0;
    std::uint16_t m_numLock = 0;
    bool m_grabbed = false;
};

} // namespace snapkin::platform
