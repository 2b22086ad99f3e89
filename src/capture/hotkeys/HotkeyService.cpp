#include "capture/hotkeys/HotkeyService.h"

#include "capture/hotkeys/HotKeyGrabber.h"
#include "platform/L10n.h"

#include <QList>

namespace snapkin {

using platform::HotKeyError;
using platform::L10n;

QString HotKeyStatus::userMessage() const
{
    switch (kind) {
    case Kind::registered:
        return {};
    case Kind::refused:
        return platform::userMessage(HotKeyError::taken);
    case Kind::duplicate:
        return sameAs ? L10n::format("Already used by %@", label(*sameAs)) : QString();
    case Kind::unavailable:
        return reason;
    }
    return {};
}

HotkeyService::HotkeyService(QObject* parent)
    : QObject(parent), m_ownGrabber(std::make_unique<X11HotKeyGrabber>()), m_grabber(*m_ownGrabber)
{
}

HotkeyService::HotkeyService(HotKeyGrabber& grabber, QObject* parent)
    : QObject(parent), m_grabber(grabber)
{
}

HotkeyService::~HotkeyService()
{
    // The hot keys release through the grabber, which must still be there.
    m_hotKeys.clear();
    if (m_followsKeyboard) platform::GlobalHotKeys::shared().setOnKeyboardChanged({});
}

void HotkeyService::reload()
{
    // A remapped keyboard may move a combination onto a key another application holds, or
    // take away the key that gives Alt or Super: grab afresh so each status tells. Hooked at
    // the first reload, so the X11 layer starts no earlier than the shortcuts are wanted.
    if (m_ownGrabber && !m_followsKeyboard) {
        m_followsKeyboard = true;
        platform::GlobalHotKeys::shared().setOnKeyboardChanged([this] { reload(); });
    }
    // Every previous grab goes before any new one is made, so an action may take over the
    // combination another action just gave up.
    m_hotKeys.clear();
    if (isSuspended()) return;

    QList<std::pair<CaptureHotKey, CaptureAction>> taken;
    std::map<CaptureAction, HotKeyStatus> statuses;
    for (CaptureAction action : allCases<CaptureAction>) {
        const CaptureHotKey combination = CaptureHotKey::load(action);
        HotKeyStatus status;
        const auto earlier = std::find_if(taken.begin(), taken.end(), [&](const auto& entry) {
            return entry.first.sameCombination(combination);
        });
        if (earlier != taken.end()) {
            status.kind = HotKeyStatus::Kind::duplicate;
            status.sameAs = earlier->second;
        } else if (!combination.isUsableGlobally()) {
            status.kind = HotKeyStatus::Kind::unavailable;
            status.reason = L10n::text("Use Ctrl, Alt or Super with this key.");
        } else {
            taken.append({combination, action});
            auto hotKey = GlobalHotKey::create(
                combination, [action] { run(action); }, m_grabber);
            if (hotKey) {
                status.kind = HotKeyStatus::Kind::registered;
                m_hotKeys.push_back(std::move(*hotKey));
            } else if (hotKey.error() == HotKeyError::taken) {
                status.kind = HotKeyStatus::Kind::refused;
            } else {
                status.kind = HotKeyStatus::Kind::unavailable;
                status.reason = platform::userMessage(hotKey.error());
            }
        }
        statuses[action] = status;
    }
    // Published once everything is registered, so a listener reads a finished set.
    for (const auto& [action, status] : statuses)
        setStatus(action, status);
}

HotKeyStatus HotkeyService::status(CaptureAction action) const
{
    const auto it = m_status.find(action);
    return it == m_status.end() ? HotKeyStatus{} : it->second;
}

void HotkeyService::suspend()
{
    if (m_suspensions++ == 0) m_hotKeys.clear();
}

void HotkeyService::resume()
{
    if (m_suspensions == 0) return;
    if (--m_suspensions == 0) reload();
}

void HotkeyService::setStatus(CaptureAction action, HotKeyStatus status)
{
    const auto it = m_status.find(action);
    if (it != m_status.end() && it->second == status) return;
    m_status[action] = std::move(status);
    emit statusChanged(action);
}

} // namespace snapkin
