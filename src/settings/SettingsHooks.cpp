#include "settings/SettingsHooks.h"

#include "platform/L10n.h"

#include <QLabel>
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
        new QLabel(QStringLiteral("<a href=\"start\">%1</a>")
                       .arg(platform::L10n::text("Open the Start Window").toHtmlEscaped()));
    link->setObjectName(QStringLiteral("startWindowLink"));
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    QObject::connect(link, &QLabel::linkActivated, link,
                     [open = hooks.openStartWindow] { open(); });
    return link;
}

} // namespace snapkin
