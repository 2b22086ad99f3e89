#include "settings/InformationHooks.h"

#include "settings/NewsletterPrompt.h"
#include "settings/NewsletterWindow.h"
#include "settings/OnboardingController.h"

namespace snapkin {

bool NewsletterWindowInvitation::isDue()
{
    return NewsletterPrompt::isOffered() && NewsletterPrompt::isDue();
}

bool NewsletterWindowInvitation::canInterrupt()
{
    return NewsletterPrompt::canInterrupt(m_window);
}

void NewsletterWindowInvitation::show()
{
    m_window.show();
}

void WelcomeOnboarding::show()
{
    m_welcome.show();
}

} // namespace snapkin
