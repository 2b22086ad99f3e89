#include "settings/PreferencesWindow.h"

#include "history/CaptureHistory.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/Symbols.h"
#include "settings/CaptureTab.h"
#include "settings/EditorTab.h"
#include "settings/GeneralTab.h"
#include "settings/HistoryPane.h"
#include "settings/InfoWindowSupport.h"
#include "settings/ShortcutsTab.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace snapkin {

using platform::L10n;

const QStringList& PreferencesWindow::tags()
{
    static const QStringList list{"general", "capture", "shortcuts", "editor", "history"};
    return list;
}

PreferencesWindow::PreferencesWindow(platform::Defaults& settings, CaptureHistory& history,
                                     HotkeyService& hotkeys, CaptureService& capture,
                                     const SettingsHooks& shell, QWidget* parent)
    : QWidget(parent, Qt::Window), m_settings(settings),
      m_historySource(std::make_unique<CaptureHistorySource>(history)), m_tabs(new QTabWidget(this))
{
    setWindowTitle(L10n::text("Settings"));
    setObjectName(QStringLiteral("PreferencesWindow"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(m_tabs);
    m_tabs->setDocumentMode(true);

    const auto add = [this](QWidget* tab, const char* symbol, const char* title) {
        m_tabs->addTab(tab, platform::Symbols::icon(QString::fromLatin1(symbol)),
                       L10n::text(title));
    };
    add(new GeneralTab(settings, shell), "gearshape", "General");
    add(new CaptureTab(settings, CaptureTab::defaultServices(capture)), "camera.viewfinder",
        "Capture");
    add(new ShortcutsTab(hotkeys), "keyboard", "Shortcuts");
    add(new EditorTab(settings), "paintbrush", "Editor");
    add(new HistoryPane(settings, *m_historySource, HistoryPane::defaultConfirm(), shell),
        "clock.arrow.circlepath", "History");

    selectStoredTab();
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0 && index < tags().size())
            m_settings.set(keys::settingsTab, tags().at(index));
    });
    setFixedSize(windowWidth, windowHeight);
}

PreferencesWindow::~PreferencesWindow() = default;

QString PreferencesWindow::currentTag() const
{
    return tags().value(m_tabs->currentIndex());
}

void PreferencesWindow::selectStoredTab()
{
    const qsizetype index = tags().indexOf(m_settings.get(keys::settingsTab));
    const QSignalBlocker block(m_tabs);
    m_tabs->setCurrentIndex(index < 0 ? 0 : int(index));
}

void PreferencesWindow::showAndRaise()
{
    if (!isVisible()) selectStoredTab();
    if (!m_placed) {
        // The first time on the screen under the pointer; from then on where the user left it.
        centerOnScreen(this);
        m_placed = true;
    }
    platform::bringForward(this);
}

} // namespace snapkin
