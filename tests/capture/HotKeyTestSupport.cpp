#include "HotKeyTestSupport.h"

#include "capture/hotkeys/GlobalHotKey.h"

namespace snapkin::test {

std::expected<void, platform::HotKeyError> FakeGrabber::grab(quint64 identifier,
                                                             const CaptureHotKey& combination)
{
    ++grabCalls;
    for (const CaptureHotKey& held : heldElsewhere) {
        if (held.sameCombination(combination)) return std::unexpected(platform::HotKeyError::taken);
    }
    grabs[identifier] = combination;
    return {};
}

void FakeGrabber::release(quint64 identifier)
{
    grabs.erase(identifier);
}

bool FakeGrabber::isGrabbed(const CaptureHotKey& combination) const
{
    for (const auto& [id, grabbed] : grabs) {
        if (grabbed.sameCombination(combination)) return true;
    }
    return false;
}

bool FakeGrabber::press(const CaptureHotKey& combination)
{
    for (const auto& [id, grabbed] : grabs) {
        if (grabbed.sameCombination(combination)) {
            GlobalHotKey::dispatch(id);
            return true;
        }
    }
    return false;
}

CaptureRecorder::CaptureRecorder()
{
    m_previous = setCaptureActionRunner([this](CaptureAction action) { runs.append(action); });
}

CaptureRecorder::~CaptureRecorder()
{
    setCaptureActionRunner(m_previous);
}

} // namespace snapkin::test
