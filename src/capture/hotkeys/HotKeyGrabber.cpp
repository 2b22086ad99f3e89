#include "capture/hotkeys/HotKeyGrabber.h"

#include "capture/hotkeys/GlobalHotKey.h"
#include "platform/KeyCodes.h"

namespace snapkin {

using platform::GlobalHotKeys;
using platform::HotKeyError;

X11HotKeyGrabber::~X11HotKeyGrabber()
{
    for (quint64 grabId : std::as_const(m_grabIds))
        GlobalHotKeys::shared().release(grabId);
}

std::expected<void, HotKeyError> X11HotKeyGrabber::grab(quint64 identifier,
                                                        const CaptureHotKey& combination)
{
    const auto entry = platform::KeyCodes::forVirtualKey(combination.keyCode);
    if (!entry) return std::unexpected(HotKeyError::noKey);
    auto grabbed =
        GlobalHotKeys::shared().grab(entry->keysym, combination.qtModifiers(),
                                     [identifier] { GlobalHotKey::dispatch(identifier); });
    if (!grabbed) return std::unexpected(grabbed.error());
    m_grabIds.insert(identifier, *grabbed);
    return {};
}

void X11HotKeyGrabber::release(quint64 identifier)
{
    const auto it = m_grabIds.find(identifier);
    if (it == m_grabIds.end()) return;
    GlobalHotKeys::shared().release(it.value());
    m_grabIds.erase(it);
}

} // namespace snapkin
