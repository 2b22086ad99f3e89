#include "SettingsTestSupport.h"

#include "TestPaths.h"

#include <QWidget>

namespace snapkin::test {

std::expected<void, platform::HotKeyError> FakeGrabber::grab(quint64 identifier,
                                                             const CaptureHotKey& combination)
{
    for (const CaptureHotKey& held : heldElsewhere) {
        if (held.sameCombination(combination)) return std::unexpected(platform::HotKeyError::taken);
    }
    grabs[identifier] = combination;
    return {};
}

bool FakeGrabber::isGrabbed(const CaptureHotKey& combination) const
{
    for (const auto& [id, grabbed] : grabs) {
        if (grabbed.sameCombination(combination)) return true;
    }
    return false;
}

void FakeHistorySource::finishWrites()
{
    const auto callbacks = std::exchange(pending, {});
    for (const auto& callback : callbacks)
        callback();
}

void saveScreenshot(QWidget& widget, const QString& name)
{
    widget.grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/") + name);
}

} // namespace snapkin::test
