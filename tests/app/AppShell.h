#pragma once

#include "app/AppDelegate.h"
#include "app/CaptureWiring.h"
#include "app/MainMenuBuilder.h"
#include "app/MenuActions.h"
#include "app/PinnedScreenshotController.h"
#include "app/start/StartWindowController.h"
#include "capture/CaptureService.h"
#include "capture/hotkeys/CaptureAction.h"
#include "capture/hotkeys/HotkeyService.h"
#include "editor/EditorWindowController.h"
#include "history/CaptureHistory.h"
#include "output/ExportService.h"
#include "platform/Defaults.h"
#include "settings/OnboardingController.h"
#include "settings/WhatsNewWindow.h"
#include "text/LinkToast.h"
#include "text/QuickAccess.h"
#include "text/TextCopier.h"
#include "ui/output/ExportDialogs.h"

#include <optional>

namespace snapkin::apptest {

// The application's windows and commands for a test, wired to each other as the application
// wires them: the start window gets the menus, which run the commands.
struct Shell {
    explicit Shell(std::optional<QString> siteRoot = std::nullopt)
        : actions(editors, exportDialogs, pins, startWindow, copier, capture, std::move(siteRoot))
    {
        // The global shortcuts run on the shell's capture service, as in the application.
        previousRunner =
            setCaptureActionRunner([this](CaptureAction action) { runOn(capture, action); });
        // The editors report to the shell's history, as to the application's.
        editors.setHistory(&history);
    }
    ~Shell() { setCaptureActionRunner(std::move(previousRunner)); }
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    AppDelegate::Services services()
    {
        return {.editors = editors,
                .history = history,
                .capture = capture,
                .welcome = welcome,
                .whatsNew = whatsNew,
                .startWindow = startWindow,
                .menus = menus,
                .actions = actions,
                .pins = pins,
                .copier = copier,
                .quickAccess = quickAccess,
                .hotkeys = hotkeys};
    }

    CaptureHistory history{HistoryStore::defaultDirectory(), platform::Defaults::standard()};
    OnboardingController welcome;
    WhatsNewController whatsNew;
    ExportService exports;
    ExportDialogs exportDialogs{exports};
    // The open editors, made before everything that opens or lists them.
    EditorWindowController editors;
    CaptureService capture{platform::Defaults::standard()};
    PinnedScreenshotController pins{editors, exportDialogs};
    StartWindowController startWindow{
        editors, history, exportDialogs, capture,
        [this](StartWindow& window) { connectStartWindow(window, menus, actions); }};
    CaptureTextToasts textToasts;
    DesktopLinkOpening links;
    TextCopier copier{&textToasts, links};
    QuickAccessController quickAccess;
    HotkeyService hotkeys;
    MenuActions actions;
    MainMenuBuilder menus{actions, pins};
    CaptureActionRunner previousRunner;
};

} // namespace snapkin::apptest
