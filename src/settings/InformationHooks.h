#pragma once

#include <memory>

namespace snapkin {

class NewsletterWindowController;
class OnboardingController;

// Puts the welcome window and the newsletter invitation behind the capture service's hooks
// while it lives: a capture that cannot read the screen opens the welcome window, and a
// delivered capture may bring up the invitation. The capture service's own defaults come back
// when it goes.
class InformationHooks {
public:
    InformationHooks(OnboardingController& welcome, NewsletterWindowController& newsletter);
    ~InformationHooks();
    InformationHooks(const InformationHooks&) = delete;
    InformationHooks& operator=(const InformationHooks&) = delete;

private:
    class Invitation;
    class Welcome;
    std::unique_ptr<Invitation> m_invitation;
    std::unique_ptr<Welcome> m_welcome;
};

} // namespace snapkin
