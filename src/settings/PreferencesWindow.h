#pragma once

#include "settings/SettingsHooks.h"

#include <QStringList>
#include <QWidget>

#include <memory>

class QTabWidget;

namespace snapkin {

class CaptureHistory;
class CaptureService;
class HistoryPaneSource;
class HotkeyService;

namespace platform {
class Defaults;
}

// The settings window: one window for the whole application, 580 × 560, holding the General,
// Capture, Shortcuts, Editor and History tabs. The tab shown is kept under keys::settingsTab (its
// tag: "general", "capture", "shortcuts", "editor", "history"), so the window opens where the
// user left it, also after a restart; an absent or unknown tag opens General.
class PreferencesWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int windowWidth = 580;
    static constexpr int windowHeight = 560;

    // The tags in tab order.
    static const QStringList& tags();

    // The History tab shows and clears `history`; the Shortcuts tab records into `hotkeys`; the
    // Capture tab sets the save folder and the screenshot watcher of `capture`; `shell` is what
    // the tabs ask of the application (the tray, the start window).
    PreferencesWindow(platform::Defaults& settings, CaptureHistory& history, HotkeyService& hotkeys,
                      CaptureService& capture, const SettingsHooks& shell = {},
                      QWidget* parent = nullptr);
    ~PreferencesWindow() override;

    QTabWidget* tabs() const { return m_tabs; }
    QString currentTag() const;
    // Shows the window on the stored tab, raised and active: centred on the screen under the
    // pointer the first time, afterwards where the user left it.
    void showAndRaise();

private:
    void selectStoredTab();

    platform::Defaults& m_settings;
    std::unique_ptr<HistoryPaneSource> m_historySource;
    QTabWidget* m_tabs;
    bool m_placed = false;
};

} // namespace snapkin
