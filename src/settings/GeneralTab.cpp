#include "settings/GeneralTab.h"

#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/LoginItem.h"
#include "settings/AppearanceTile.h"
#include "settings/ChoicePicker.h"
#include "settings/Language.h"
#include "settings/SettingsHooks.h"
#include "ui/platform/Appearance.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QSignalBlocker>

namespace snapkin {

using platform::L10n;

GeneralTab::GeneralTab(platform::Defaults& settings, SettingsHooks shell, QWidget* parent)
    : SettingsForm(parent), m_settings(settings), m_shell(std::move(shell))
{
    auto* appearance = addSection();
    auto* tiles = new QWidget;
    auto* tileRow = new QHBoxLayout(tiles);
    tileRow->setContentsMargins(0, 0, 0, 0);
    tileRow->setSpacing(12);
    const QString stored = settings.get(keys::appearance);
    const QString current = stored.isEmpty() ? QStringLiteral("system") : stored;
    const std::pair<const char*, const char*> choices[] = {
        {"system", "System"}, {"light", "Light"}, {"dark", "Dark"}};
    for (const auto& [value, title] : choices) {
        auto* tile = new AppearanceTile(QString::fromLatin1(value), L10n::text(title), tiles);
        tile->setChecked(tile->value() == current);
        connect(tile, &AppearanceTile::clicked, this,
                [this, tile] { chooseAppearance(tile->value()); });
        tileRow->addWidget(tile);
        m_tiles << tile;
    }
    tiles->setAccessibleName(L10n::text("Appearance"));
    appearance->addRow(QStringLiteral("circle.lefthalf.filled"), L10n::text("Appearance"), tiles);

    auto* language = addSection();
    m_language = new ChoicePicker;
    for (const auto& option : language::options) {
        const QString label = QLatin1String(option.code) == QLatin1String("system")
                                  ? L10n::text(option.label)
                                  : QString::fromUtf8(option.label);
        m_language->addItem(label, QString::fromLatin1(option.code));
    }
    const QVariant storedLanguage = settings.object(keys::appLanguage);
    const QString code =
        storedLanguage.isValid() ? storedLanguage.toString() : QStringLiteral("system");
    m_language->setCurrentIndex(m_language->findData(code));
    connect(m_language, &QComboBox::activated, this, &GeneralTab::chooseLanguage);
    language->addRow(QStringLiteral("globe"), L10n::text("Language"), m_language);
    m_restartNote = language->addNote(L10n::text("Restart Snapkin to apply the new language."));
    m_restartNote->hide();

    // Where Snapkin shows itself.
    auto* behavior = addSection(L10n::text("Behavior"));
    m_taskbar =
        behavior->addToggle(QStringLiteral("dock.rectangle"), L10n::text("Show in taskbar"),
                            settings, keys::showInDock, [this](bool) { presenceChanged(); });
    m_tray =
        behavior->addToggle(QStringLiteral("menubar.rectangle"), L10n::text("Show in system tray"),
                            settings, keys::showInMenuBar, [this](bool) { presenceChanged(); });
    behavior->addNote(L10n::text("At least one needs to stay active."));
    m_noTrayNote = behavior->addNote(L10n::text("No system tray was found on this desktop."));
    connect(&settings, &platform::Defaults::valueChanged, this, [this](const QString& key) {
        if (key == keys::showInDock || key == keys::showInMenuBar) updatePresenceToggles();
    });
    updatePresenceToggles();

    // Start-up.
    auto* startup = addSection();
    m_login = new QCheckBox;
    m_login->setChecked(platform::LoginItem::isEnabled());
    connect(m_login, &QCheckBox::toggled, this, &GeneralTab::setOpenAtLogin);
    startup->addRow(QStringLiteral("power"), L10n::text("Open at login"), m_login);
    m_welcome =
        startup->addToggle(QStringLiteral("hand.wave"), L10n::text("Show welcome on launch"),
                           settings, keys::showOnboardingOnLaunch);
    startup->addFooterWidget(new VersionFooter);
}

void GeneralTab::chooseAppearance(const QString& value)
{
    for (AppearanceTile* tile : m_tiles)
        tile->setChecked(tile->value() == value);
    m_settings.set(keys::appearance, value);
    platform::Appearance::apply(value);
}

void GeneralTab::chooseLanguage(int index)
{
    if (index < 0) return;
    m_settings.setValue(keys::appLanguage, m_language->itemData(index));
    m_restartNote->show();
}

void GeneralTab::presenceChanged()
{
    // Both ways of reaching Snapkin off (set outside this window): the tray comes back.
    if (!m_settings.getOrDefault(keys::showInDock) && !m_settings.getOrDefault(keys::showInMenuBar))
        m_settings.set(keys::showInMenuBar, true);
    updatePresenceToggles();
    m_shell.presenceChanged();
}

void GeneralTab::updatePresenceToggles()
{
    const bool tray = m_shell.hasTray();
    const bool dock = m_settings.getOrDefault(keys::showInDock);
    const bool menuBar = m_settings.getOrDefault(keys::showInMenuBar);
    // Without a tray icon to reach it by, Snapkin stays in the taskbar whatever is stored: the
    // box says so and cannot be unticked, while the stored choice waits for a tray to return.
    const bool inTaskbar = dock || !(tray && menuBar);
    if (m_taskbar->isChecked() != inTaskbar) {
        const QSignalBlocker block(m_taskbar);
        m_taskbar->setChecked(inTaskbar);
    }
    // Nor is Snapkin in a tray that isn't there, whatever is stored.
    const bool inTray = tray && menuBar;
    if (m_tray->isChecked() != inTray) {
        const QSignalBlocker block(m_tray);
        m_tray->setChecked(inTray);
    }
    // The one way left on cannot be turned off; without a tray the taskbar is that way.
    m_taskbar->setEnabled(!(inTaskbar && (!menuBar || !tray)));
    m_tray->setEnabled(tray && !(menuBar && !dock));
    m_noTrayNote->setVisible(!tray);
}

void GeneralTab::setOpenAtLogin(bool on)
{
    if (platform::LoginItem::setEnabled(on)) return;
    // The autostart entry is the only record: show what it says now.
    const QSignalBlocker block(m_login);
    m_login->setChecked(platform::LoginItem::isEnabled());
}

} // namespace snapkin
