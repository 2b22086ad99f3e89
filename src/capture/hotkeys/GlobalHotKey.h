#pragma once

#include "capture/hotkeys/CaptureHotKey.h"
#include "platform/GlobalHotKeys.h"

#include <expected>
#include <functional>
#include <memory>

namespace snapkin {

class HotKeyGrabber;

// One combination taken for the whole desktop, from creation until the object is destroyed.
// Each carries an identifier that no other hot key of the process ever had (a 64-bit counter
// from 1), so a press that arrives after its hot key is gone, or a stray identifier, finds
// nothing to run.
//
// GUI thread only.
class GlobalHotKey {
public:
    // Grabs the combination; the hot key, or why the grabber refused it.
    static std::expected<std::unique_ptr<GlobalHotKey>, platform::HotKeyError>
    create(const CaptureHotKey& combination, std::function<void()> callback,
           HotKeyGrabber& grabber);
    ~GlobalHotKey();

    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    // Runs the callback of the live hot key with this identifier; any other identifier,
    // 0 included, runs nothing.
    static void dispatch(quint64 identifier);

private:
    GlobalHotKey(quint64 identifier, std::function<void()> callback, HotKeyGrabber& grabber);

    quint64 m_identifier;
    std::function<void()> m_callback;
    HotKeyGrabber& m_grabber;
};

} // namespace snapkin
