#include "app/AppPresence.h"

#include "platform/Appearance.h"
#include "platform/Defaults.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include <optional>

namespace snapkin {

namespace {

int trayOverride = -1;

std::optional<bool> storedBool(const char* key)
{
    const QVariant value = platform::Defaults::standard().object(QString::fromLatin1(key));
    if (value.typeId() != QMetaType::Bool) return std::nullopt;
    return value.toBool();
}

} // namespace

namespace AppPresence {

bool showInDock()
{
    return storedBool(showInDockKey).value_or(false);
}

bool showInMenuBar()
{
    return storedBool(showInMenuBarKey).value_or(true);
}

bool trayAvailable()
{
    if (trayOverride >= 0) return trayOverride != 0;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void setTrayAvailableForTesting(int available)
{
    trayOverride = available;
}

bool showsTrayIcon()
{
    return trayAvailable() && showInMenuBar();
}

bool behavesAsTaskbarApp()
{
    return showInDock() || !showsTrayIcon();
}

void keepReachable()
{
    if (!showInDock() && !showInMenuBar())
        platform::Defaults::standard().setValue(QString::fromLatin1(showInMenuBarKey), true);
}

} // namespace AppPresence

namespace AppAppearance {

void apply(const QString& appearance)
{
    // One implementation for the launch and the settings window, so "system" always returns
    // to the look the desktop gave the application.
    platform::Appearance::apply(appearance);
}

} // namespace AppAppearance

} // namespace snapkin
