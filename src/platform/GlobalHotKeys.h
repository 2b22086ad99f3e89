#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <expected>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QCoreApplication;

namespace snapkin::platform {

// Why a global shortcut could not be grabbed.
enum class HotKeyError {
    unavailable, // not an X11 session (offscreen, Wayland)
    taken,       // another application holds the combination
    noKey,       // the keyboard has no key for the symbol, or none for Alt or Super
};

QString userMessage(HotKeyError error);

// Shortcuts that work from anywhere on the desktop, grabbed on the root window through Qt's own
// X connection (so presses arrive through Qt's event loop; no second connection or thread).
//
// A combination is a keysym and Ctrl, Shift, Alt and Super; the keycode and the bits of Alt,
// Super and NumLock are read from the server's keyboard and modifier mappings, and read again
// when the mapping changes. Each combination is grabbed four times, with and without NumLock
// and CapsLock, so the lock keys do not get in the way. A press of a grabbed combination is
// consumed and its callback runs afterwards from the event loop; holding the key down runs it
// once, until the key is released.
//
// GUI thread only.
class GlobalHotKeys {
public:
    static GlobalHotKeys& shared();
    ~GlobalHotKeys();

    // Whether the application runs on an X server of an X11 session (not the compatibility
    // server of a Wayland session).
    static bool isAvailable();

    // Grabs the combination; the identifier of the grab, or why it failed (nothing is left
    // grabbed then). Modifiers other than Ctrl, Shift, Alt and Super are ignored.
    std::expected<quint64, HotKeyError> grab(std::uint32_t keysym, Qt::KeyboardModifiers modifiers,
                                             std::function<void()> onPress);
    // Ungrabs; an unknown identifier is ignored.
    void release(quint64 grabId);

    // Called after the keyboard mapping changed under grabs: they have been taken again on
    // their new keys where possible, and the owner may grab afresh to learn which failed.
    void setOnKeyboardChanged(std::function<void()> handler);

    GlobalHotKeys(const GlobalHotKeys&) = delete;
    GlobalHotKeys& operator=(const GlobalHotKeys&) = delete;

private:
    GlobalHotKeys() = default;
    struct Grab {
        std::uint32_t keysym = 0;
        Qt::KeyboardModifiers modifiers;
        std::function<void()> onPress;
        // As grabbed on the server, from the mappings of that moment.
        std::vector<std::uint8_t> keycodes;
        std::uint16_t mask = 0;
        std::vector<std::uint16_t> locks; // the NumLock and CapsLock variants grabbed
        bool held = false;                // pressed and not yet released: later presses repeat
        std::uint32_t lastPress = 0;      // server time of the last press, repeats included
        std::uint32_t lastRelease = 0;    // server time; a press at that instant is a repeat
    };
    struct Keyboard;
    class Filter;

    std::expected<void, HotKeyError> grabOnServer(Grab& grab);
    void ungrabOnServer(const Grab& grab);
    bool isKeyboardChange(std::uint8_t eventType, std::uint8_t detail) const;
    void keyboardMappingChanged();
    bool handleKeyEvent(bool press, std::uint8_t keycode, std::uint16_t state, std::uint32_t time);

    std::unique_ptr<Keyboard> m_keyboard;
    std::unique_ptr<Filter> m_filter;
    QCoreApplication* m_filterInstalledOn = nullptr;
    std::map<quint64, Grab> m_grabs;
    quint64 m_nextId = 1;
    bool m_regrabQueued = false;
    std::function<void()> m_onKeyboardChanged;
};

} // namespace snapkin::platform
