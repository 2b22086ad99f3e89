#pragma once

#include "capture/hotkeys/CaptureAction.h"
#include "capture/hotkeys/HotKeyGrabber.h"

#include <QList>

#include <map>
#include <optional>

namespace snapkin::test {

// A grabber without an X server: remembers what is grabbed, refuses the combinations it is told
// another application holds, and presses a combination as the desktop would.
class FakeGrabber : public HotKeyGrabber {
public:
    std::expected<void, platform::HotKeyError> grab(quint64 identifier,
                                                    const CaptureHotKey& combination) override;
    void release(quint64 identifier) override;

    // Key and modifiers another application holds.
    QList<CaptureHotKey> heldElsewhere;
    // Live grabs by identifier.
    std::map<quint64, CaptureHotKey> grabs;
    int grabCalls = 0;

    bool isGrabbed(const CaptureHotKey& combination) const;
    // Dispatches a press of the combination; false when nothing holds it.
    bool press(const CaptureHotKey& combination);
};

// Puts a recorder in place of the capture service for the lifetime of the object.
class CaptureRecorder {
public:
    CaptureRecorder();
    ~CaptureRecorder();
    QList<CaptureAction> runs;

private:
    CaptureActionRunner m_previous;
};

} // namespace snapkin::test
