#pragma once

#include "capture/CaptureHooks.h"
#include "settings/NewsletterPrompt.h"
#include "settings/NewsletterWindow.h"
#include "settings/OnboardingController.h"

namespace snapkin {

// The newsletter invitation a delivered capture may bring up: due as the prompt's schedule
// says, shown in `window`.
class NewsletterWindowInvitation final : public NewsletterInvitation {
public:
    explicit NewsletterWindowInvitation(NewsletterWindowController& window) : m_window(window) {}
    bool isDue() override { return NewsletterPrompt::isOffered() && NewsletterPrompt::isDue(); }
    bool canInterrupt() override { return NewsletterPrompt::canInterrupt(m_window); }
    void show() override { m_window.show(); }

private:
    NewsletterWindowController& m_window;
};

// What a capture that cannot read the screen shows: the welcome window.
class WelcomeOnboarding final : public CaptureOnboarding {
public:
    explicit WelcomeOnboarding(OnboardingController& welcome) : m_welcome(welcome) {}
    void show() override { m_welcome.show(); }

private:
    OnboardingController& m_welcome;
};

} // namespace snapkin
