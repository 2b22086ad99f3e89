#pragma once

#include "settings/SettingsForm.h"
#include "settings/SettingsHooks.h"

#include <QList>

class QCheckBox;
class QComboBox;

namespace snapkin {

class AppearanceTile;

// The first settings tab: the look (follow the desktop, light or dark, applied at once), the
// interface language (from the next start; a note says so), where Snapkin shows itself
// (taskbar, system tray: one of them always stays on), opening at login and the welcome
// window at launch, and the version line at its end.
class GeneralTab : public SettingsForm {
    Q_OBJECT
public:
    // `shell` shows the presence chosen and says whether the desktop has a tray.
    explicit GeneralTab(platform::Defaults& settings, SettingsHooks shell = {},
                        QWidget* parent = nullptr);

    const QList<AppearanceTile*>& appearanceTiles() const { return m_tiles; }
    QComboBox* languagePicker() const { return m_language; }
    QLabel* restartNote() const { return m_restartNote; }
    QCheckBox* taskbarToggle() const { return m_taskbar; }
    QCheckBox* trayToggle() const { return m_tray; }
    QLabel* noTrayNote() const { return m_noTrayNote; }
    QCheckBox* loginToggle() const { return m_login; }
    QCheckBox* welcomeToggle() const { return m_welcome; }

private:
    void chooseAppearance(const QString& value);
    void chooseLanguage(int index);
    void presenceChanged();
    void updatePresenceToggles();
    void setOpenAtLogin(bool on);

    platform::Defaults& m_settings;
    SettingsHooks m_shell;
    QList<AppearanceTile*> m_tiles;
    QComboBox* m_language = nullptr;
    QLabel* m_restartNote = nullptr;
    QCheckBox* m_taskbar = nullptr;
    QCheckBox* m_tray = nullptr;
    QLabel* m_noTrayNote = nullptr;
    QCheckBox* m_login = nullptr;
    QCheckBox* m_welcome = nullptr;
};

} // namespace snapkin
