#include "settings/SettingsHooks.h"

#include "platform/L10n.h"
#include "settings/LinkLabel.h"

#include <QSystemTrayIcon>

namespace snapkin {

void SettingsHooks::presenceChanged() const
{
    if (applyPresence) applyPresence();
}

bool SettingsHooks::hasTray() const
{
    return trayAvailable ? trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

QLabel* startWindowLink(const SettingsHooks& hooks)
{
    if (!hooks.openStartWindow) return nullptr;
    auto* link =
        new LinkLabel(QStringLiteral("start"), platform::L10n::text("Open the Start Window"));
    link->setObjectName(QStringLiteral("startWindowLink"));
    QObject::connect(link, &QLabel::linkActivated, link,
                     [open = hooks.openStartWindow] { open(); });
    return link;
}

} // namespace snapkin
