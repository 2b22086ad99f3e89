#include "settings/SettingsHooks.h"

#include "platform/L10n.h"

#include <QLabel>
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
    current().openStartWindow = hooks.openStartWindow;
}

QLabel* startWindowLink()
{
    if (!settingsHooks().openStartWindow) return nullptr;
    auto* link =
        new QLabel(QStringLiteral("<a href=\"start\">%1</a>")
                       .arg(platform::L10n::text("Open the Start Window").toHtmlEscaped()));
    link->setObjectName(QStringLiteral("startWindowLink"));
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    QObject::connect(link, &QLabel::linkActivated, link, [] {
        if (const auto& open = settingsHooks().openStartWindow) open();
    });
    return link;
}

} // namespace snapkin
