#include "settings/InformationHooks.h"

#include "capture/CaptureHooks.h"
#include "settings/NewsletterPrompt.h"
#include "settings/NewsletterWindow.h"
#include "settings/OnboardingController.h"

namespace snapkin {

class InformationHooks::Invitation final : public NewsletterInvitation {
public:
    explicit Invitation(NewsletterWindowController& window) : m_window(window) {}
    bool isDue() override { return NewsletterPrompt::isOffered() && NewsletterPrompt::isDue(); }
    bool canInterrupt() override { return NewsletterPrompt::canInterrupt(m_window); }
    void show() override { m_window.show(); }

private:
    NewsletterWindowController& m_window;
};

class InformationHooks::Welcome final : public CaptureOnboarding {
public:
    explicit Welcome(OnboardingController& welcome) : m_welcome(welcome) {}
    void show() override { m_welcome.show(); }

private:
    OnboardingController& m_welcome;
};

InformationHooks::InformationHooks(OnboardingController& welcome,
                                   NewsletterWindowController& newsletter)
    : m_invitation(std::make_unique<Invitation>(newsletter)),
      m_welcome(std::make_unique<Welcome>(welcome))
{
    NewsletterInvitation::install(m_invitation.get());
    CaptureOnboarding::install(m_welcome.get());
}

InformationHooks::~InformationHooks()
{
    NewsletterInvitation::install(nullptr);
    CaptureOnboarding::install(nullptr);
}

} // namespace snapkin
