#pragma once

#include "app/CaptureWiring.h"
#include "app/PinnedScreenshotController.h"
#include "capture/CaptureService.h"
#include "capture/hotkeys/CaptureAction.h"
#include "capture/hotkeys/HotkeyService.h"
#include "editor/EditorWindowController.h"
#include "model/SavedStyles.h"
#include "output/ExportService.h"
#include "platform/Defaults.h"
#include "settings/AboutWindow.h"
#include "settings/NewsletterWindow.h"
#include "settings/OnboardingController.h"
#include "settings/SettingsHooks.h"
#include "settings/WhatsNewWindow.h"
#include "text/LinkToast.h"
#include "text/QuickAccess.h"
#include "text/TextCopier.h"
#include "ui/output/ExportDialogs.h"

#include <QStringList>

#include <memory>

namespace snapkin {

namespace platform {
class SingleInstance;
class TerminationSignal;
} // namespace platform

class AppDelegate;
class CaptureHistory;
class MainMenuBuilder;
class MenuActions;
class PreferencesWindow;
class StartWindowController;

// Where the running application is built. It makes the services in the order they depend on
// each other, owns them for the life of the process and hands each the references it needs;
// a reader finds where anything is created here. main() makes one once it holds the
// single-instance claim, and runs it.
//
// Start-up itself (the seventeen steps, in their fixed order) is the delegate's; the
// application runs them from start().
class Application {
public:
    struct Launch {
        // The files named on the command line, opened one editor each.
        QStringList files;
        // Whether this start removes what ended runs left in the private folder (what a running
        // Snapkin still offers stays in any case), and the run's own folder when it ends.
        bool cleanPrivateFolder = false;
    };

    Application(platform::SingleInstance& instance, Launch launch);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Runs the start-up steps; the last one runs once the event loop turns.
    void start();

private:
    // Opens the settings window on its stored tab (made on first use), or brings it forward.
    void showSettings();
    void connectMenuItems(MenuActions& actions);
    // What the settings and welcome windows ask of the application: the tray and the start
    // window.
    SettingsHooks shellForSettings();

    // How images leave the application: encoded, copied and dragged; saved and shared through
    // their dialogs. Made before anything that exports.
    ExportService m_exports;
    ExportDialogs m_exportDialogs{m_exports};
    // The open editors: made before everything that opens or lists them, gone after it.
    EditorWindowController m_editors;
    // Region, window and screen captures, Open Image and the screenshot-folder watcher: made
    // before the windows and commands that start captures.
    CaptureService m_capture{platform::Defaults::standard()};

    // Made first and gone last: windows, editors and captures report to it.
    std::unique_ptr<CaptureHistory> m_history;
    // Text copying (Copy Text and "Copy Text from Region"), confirmed with capture toasts, and
    // the quick-access thumbnails.
    CaptureTextToasts m_textToasts;
    // Links clicked in Selectable Text or the link toast open in the desktop's browser.
    DesktopLinkOpening m_links;
    TextCopier m_textCopier{&m_textToasts, m_links};
    QuickAccessController m_quickAccess;
    // The saved annotation styles every editor window's style menus share.
    SavedStyles m_savedStyles{platform::Defaults::standard()};
    // The global shortcuts of the capture actions: loaded by a start-up step, recorded in the
    // settings window.
    HotkeyService m_hotkeys;

    // The windows of the settings layer, each kept at most once.
    AboutController m_about;
    WhatsNewController m_whatsNew;
    OnboardingController m_welcome;
    NewsletterWindowController m_newsletter{&m_capture, &m_editors};
    std::unique_ptr<PreferencesWindow> m_settingsWindow;

    // The application's own windows and commands.
    PinnedScreenshotController m_pins{m_editors, m_exportDialogs};
    std::unique_ptr<StartWindowController> m_startWindow;
    std::unique_ptr<MenuActions> m_actions;
    std::unique_ptr<MainMenuBuilder> m_menus;

    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<platform::TerminationSignal> m_termination;
    // The capture-action runner in place before this application installed its own.
    CaptureActionRunner m_previousRunner;
};

} // namespace snapkin
