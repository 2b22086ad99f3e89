#pragma once

#include "capture/hotkeys/CaptureHotKey.h"
#include "platform/GlobalHotKeys.h"

#include <QHash>

#include <expected>

namespace snapkin {

// Takes a combination for the whole desktop on behalf of a GlobalHotKey and reports its presses
// with GlobalHotKey::dispatch(identifier). The X11 grabber is the real one; tests use a fake.
class HotKeyGrabber {
public:
    virtual ~HotKeyGrabber() = default;
    virtual std::expected<void, platform::HotKeyError> grab(quint64 identifier,
                                                            const CaptureHotKey& combination) = 0;
    virtual void release(quint64 identifier) = 0;
};

// Grabs through platform::GlobalHotKeys, translating the stored key code to its X keysym.
class X11HotKeyGrabber : public HotKeyGrabber {
public:
    ~X11HotKeyGrabber() override;
    std::expected<void, platform::HotKeyError> grab(quint64 identifier,
                                                    const CaptureHotKey& combination) override;
    void release(quint64 identifier) override;

private:
    QHash<quint64, quint64> m_grabIds; // hot key identifier → grab of the X11 layer
};

} // namespace snapkin
