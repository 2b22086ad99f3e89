#include "capture/hotkeys/GlobalHotKey.h"

#include "capture/hotkeys/HotKeyGrabber.h"

#include <QHash>

namespace snapkin {

namespace {

// Identifier → live hot key; it refers to the hot keys without owning them.
QHash<quint64, GlobalHotKey*>& registry()
{
    static QHash<quint64, GlobalHotKey*> hotKeys;
    return hotKeys;
}

quint64 nextIdentifier = 1;

} // namespace

std::expected<std::unique_ptr<GlobalHotKey>, platform::HotKeyError>
GlobalHotKey::create(const CaptureHotKey& combination, std::function<void()> callback,
                     HotKeyGrabber& grabber)
{
    const quint64 identifier = nextIdentifier++;
    if (auto grabbed = grabber.grab(identifier, combination); !grabbed)
        return std::unexpected(grabbed.error());
    return std::unique_ptr<GlobalHotKey>(
        new GlobalHotKey(identifier, std::move(callback), grabber));
}

GlobalHotKey::GlobalHotKey(quint64 identifier, std::function<void()> callback,
                           HotKeyGrabber& grabber)
    : m_identifier(identifier), m_callback(std::move(callback)), m_grabber(grabber)
{
    registry().insert(m_identifier, this);
}

GlobalHotKey::~GlobalHotKey()
{
    m_grabber.release(m_identifier);
    registry().remove(m_identifier);
}

void GlobalHotKey::dispatch(quint64 identifier)
{
    GlobalHotKey* hotKey = registry().value(identifier, nullptr);
    if (!hotKey || !hotKey->m_callback) return;
    // A copy: the callback may reload the hot keys and so destroy this one.
    const std::function<void()> callback = hotKey->m_callback;
    callback();
}

} // namespace snapkin
