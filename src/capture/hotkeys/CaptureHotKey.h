#pragma once

#include "capture/hotkeys/CaptureAction.h"

#include "platform/SettingsKeys.h"

#include <QKeySequence>
#include <QString>

#include <cstdint>
#include <optional>

class QKeyEvent;

namespace snapkin {

// The key combination stored for one capture action.
//
// Settings keep the key as a virtual key code of the ANSI keyboard and the modifiers as a mask
// (Ctrl 0x100, Shift 0x200, Alt 0x800, Super 0x1000), so stored combinations read the same
// everywhere; platform::KeyCodes translates the key for X11 and Qt. Each action keeps three
// settings (platform::HotKeySetting): the key code, the modifiers and the label.
struct CaptureHotKey {
    static constexpr std::uint32_t ctrlMask = 0x100;
    static constexpr std::uint32_t shiftMask = 0x200;
    static constexpr std::uint32_t altMask = 0x800;
    static constexpr std::uint32_t superMask = 0x1000;

    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0;
    QString keyLabel; // the key as shown ("4", "Space", "Return")

    bool operator==(const CaptureHotKey&) const = default;

    // Same key and modifiers, whatever the labels say: what the X server and the user see as
    // one shortcut.
    bool sameCombination(const CaptureHotKey& other) const
    {
        return keyCode == other.keyCode && modifiers == other.modifiers;
    }

    static const platform::HotKeySetting& settings(CaptureAction action);
    static CaptureHotKey builtIn(CaptureAction action);

    // Registers the built-in combination of every action as settings defaults.
    static void registerDefaults();
    // The stored combination, field by field: a field that is missing, of the wrong type or (for
    // the numbers) outside 0…4294967295 takes the built-in value, so a partly stored
    // combination mixes stored and built-in fields.
    static CaptureHotKey load(CaptureAction action);
    // Stores the three fields; the global shortcuts are reloaded by the caller.
    void save(CaptureAction action) const;

    Qt::KeyboardModifiers qtModifiers() const;
    // The combination as a key sequence; empty when the key code names no known key.
    QKeySequence keySequence() const;
    // The combination as the desktop writes shortcuts ("Ctrl+Alt+4").
    QString displayString() const;

    // Whether the combination may be grabbed for the whole desktop: a known key with Ctrl, Alt
    // or Super held, or a function key (alone or with modifiers). Shift alone would take a
    // capital letter away from every application.
    bool isUsableGlobally() const;

    // The combination of a key press, or nothing when the key cannot be a shortcut (a modifier
    // or lock key) or no usable modifier is held. Under X11 the key is the unshifted symbol of
    // the physical key, so Ctrl+Alt+Shift+5 reads as 5 with Shift; a key without an ANSI code
    // (Print, Pause) is labelled with the character it types, else "Key" and its X keycode.
    static std::optional<CaptureHotKey> from(const QKeyEvent& event);
    // The same from the parts of a press: a Qt::Key (when the X keycode is 0 or unreadable) and
    // the modifiers held.
    static std::optional<CaptureHotKey> from(int qtKey, Qt::KeyboardModifiers modifiers,
                                             quint32 x11Keycode = 0);

    // The label of a listed key ("K", "Return", "←", "F5", "Num+5"); "Key N" for any other.
    static QString keyLabelFor(std::uint32_t keyCode);

    // The first other action (in declaration order) whose stored combination has the same key
    // and modifiers, or nothing.
    static std::optional<CaptureAction> conflict(const CaptureHotKey& candidate,
                                                 std::optional<CaptureAction> excluding);
};

} // namespace snapkin
