#include "settings/InformationHooks.h"

#include "capture/CaptureHooks.h"
#include "settings/NewsletterPrompt.h"
#include "settings/NewsletterWindow.h"
#include "settings/OnboardingController.h"

namespace snapkin {

namespace {

class ScheduledInvitation final : public NewsletterInvitation {
public:
    bool isDue() override { return NewsletterPrompt::isOffered() && NewsletterPrompt::isDue(); }
    bool canInterrupt() override { return NewsletterPrompt::canInterrupt(); }
    void show() override { NewsletterWindowController::shared().show(); }
};

class WelcomeOnboarding final : public CaptureOnboarding {
public:
    void show() override { OnboardingController::shared().show(); }
};

} // namespace

void installInformationHooks()
{
    static ScheduledInvitation invitation;
    NewsletterInvitation::install(&invitation);
    static WelcomeOnboarding onboarding;
    CaptureOnboarding::install(&onboarding);
}

} // namespace snapkin
