#pragma once

#include "capture/CaptureHooks.h"

namespace snapkin {

class NewsletterWindowController;
class OnboardingController;

// The newsletter invitation a delivered capture may bring up: due as the prompt's schedule
// says, shown in `window`.
class NewsletterWindowInvitation final : public NewsletterInvitation {
public:
    explicit NewsletterWindowInvitation(NewsletterWindowController& window) : m_window(window) {}
    bool isDue() override;
    bool canInterrupt() override;
    void show() override;

private:
    NewsletterWindowController& m_window;
};

// What a capture that cannot read the screen shows: the welcome window.
class WelcomeOnboarding final : public CaptureOnboarding {
public:
    explicit WelcomeOnboarding(OnboardingController& welcome) : m_welcome(welcome) {}
    void show() override;

private:
    OnboardingController& m_welcome;
};

} // namespace snapkin
