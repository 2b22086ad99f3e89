#include "settings/SettingsHooks.h"

#include <QSystemTrayIcon>

namespace snapkin {

namespace {

SettingsHooks defaults()
{
    SettingsHooks hooks;
    hooks.applyPresence = [] {};
    hooks.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    return hooks;
}

SettingsHooks& current()
{
    static SettingsHooks hooks = defaults();
    return hooks;
}

} // namespace

const SettingsHooks& settingsHooks()
{
    return current();
}

void setSettingsHooks(SettingsHooks hooks)
{
    const SettingsHooks fallback = defaults();
    current().applyPresence = hooks.applyPresence ? hooks.applyPresence : fallback.applyPresence;
    current().trayAvailable = hooks.trayAvailable ? hooks.trayAvailable : fallback.trayAvailable;
}

} // namespace snapkin
