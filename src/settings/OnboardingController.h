#pragma once

#include "settings/InfoWindowSupport.h"
#include "settings/OnboardingView.h"

#include <QPointer>
#include <QVariant>

#include <functional>

namespace snapkin {

// The welcome window: OnboardingView in a fixed-size window titled "Welcome to Snapkin". The
// title-bar close (and Escape) only hide it; the view keeps its page and its check's state.
class OnboardingWindow : public InfoWindow {
public:
    OnboardingWindow(OnboardingView::AccessCheck check, const QKeySequence& pasteKeys,
                     SettingsHooks shell = {});
    OnboardingView* view() const { return m_view; }

private:
    OnboardingView* m_view;
};

// Owns the welcome window and decides whether it opens by itself at launch.
//
// `show()` brings back the window that exists (closed with its title-bar button: the same page
// and state, where it was) or builds a new one, centred, that starts on its first page with a
// fresh check. "Start" and "Try it now" close the window for good; "Try it now" then starts a
// region capture 0.3 s later, once the window is off the screen.
//
// The launch rule reads keys::showOnboardingOnLaunch (the General settings' "Show welcome on
// launch"): stored on, the window opens at every launch; stored off, never by itself; absent,
// until it has been shown once (keys::didShowOnboarding).
class OnboardingController {
public:
    static constexpr int captureDelayMs = 300;

    // `shell` opens the start window from the window's link.
    explicit OnboardingController(SettingsHooks shell = {});

    // The launch rule on the stored keys::showOnboardingOnLaunch (invalid when absent) and
    // keys::didShowOnboarding.
    static bool opensAtLaunch(const QVariant& storedShowOnLaunch, bool didShow);

    void showIfNeeded();
    void show();

    OnboardingWindow* window() const { return m_window; }

    // Replaceable parts: the screen check, what "Try it now" starts, and the paste shortcut
    // named in the advice. They apply to windows built afterwards.
    void setAccessCheck(OnboardingView::AccessCheck check) { m_check = std::move(check); }
    void setCaptureStarter(std::function<void()> starter) { m_starter = std::move(starter); }
    void setPasteKeys(const QKeySequence& keys) { m_pasteKeys = keys; }

private:
    void startFirstCapture();

    QPointer<OnboardingWindow> m_window;
    OnboardingView::AccessCheck m_check;
    std::function<void()> m_starter;
    QKeySequence m_pasteKeys;
    SettingsHooks m_shell;
};

} // namespace snapkin
