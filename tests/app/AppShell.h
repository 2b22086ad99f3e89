#pragma once

#include "app/AppDelegate.h"
#include "app/MainMenuBuilder.h"
#include "app/MenuActions.h"
#include "app/PinnedScreenshotController.h"
#include "app/start/StartWindowController.h"
#include "history/CaptureHistory.h"
#include "platform/Defaults.h"
#include "settings/OnboardingController.h"
#include "settings/WhatsNewWindow.h"

#include <optional>

namespace snapkin::apptest {

// The application's windows and commands for a test, wired to each other as the application
// wires them: the start window gets the menus, which run the commands.
struct Shell {
    explicit Shell(std::optional<QString> siteRoot = std::nullopt)
        : actions(pins, startWindow, std::move(siteRoot))
    {
    }

    AppDelegate::Services services()
    {
        return {.history = history,
                .welcome = welcome,
                .whatsNew = whatsNew,
                .startWindow = startWindow,
                .menus = menus,
                .actions = actions,
                .pins = pins};
    }

    CaptureHistory history{HistoryStore::defaultDirectory(), platform::Defaults::standard()};
    OnboardingController welcome;
    WhatsNewController whatsNew;
    PinnedScreenshotController pins;
    StartWindowController startWindow{
        history, [this](StartWindow& window) { connectStartWindow(window, menus, actions); }};
    MenuActions actions;
    MainMenuBuilder menus{actions, pins};
};

} // namespace snapkin::apptest
