#include "app/AppPresence.h"

#include "platform/Defaults.h"
#include "ui/platform/Appearance.h"

#include <QSystemTrayIcon>

namespace snapkin::AppPresence {

// What a test says about the tray host: -1 to ask the desktop, else 0 or 1.
static int trayOverride = -1;

bool showInDock()
{
    return platform::Defaults::standard().getOrDefault(keys::showInDock);
}

bool showInMenuBar()
{
    return platform::Defaults::standard().getOrDefault(keys::showInMenuBar);
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
        platform::Defaults::standard().set(keys::showInMenuBar, true);
}

} // namespace snapkin::AppPresence

namespace snapkin::AppAppearance {

void apply(const QString& appearance)
{
    // One implementation for the launch and the settings window, so "system" always returns
    // to the look the desktop gave the application.
    platform::Appearance::apply(appearance);
}

} // namespace snapkin::AppAppearance
