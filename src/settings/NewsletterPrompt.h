#pragma once

#include <functional>

namespace snapkin {

class NewsletterWindowController;

// When the newsletter invitation may appear. The schedule is kept in the settings store only,
// so it survives restarts and updates; times are seconds since 1970 (UTC) as doubles.
//
// Due: once a date is set (keys::newsletterNextPrompt > 0) from that second on, whatever else;
// before any date, 3 days after the first launch with at least 5 captures, or 5 days after it
// with at least 1. A first launch that is absent, 0 or in the future is never due. Without a
// configured endpoint nothing is offered at all.
class NewsletterPrompt {
public:
    NewsletterPrompt() = delete;

    static constexpr int earlyCaptureCount = 5;
    static constexpr double earlyDelay = 259200;         // 3 days
    static constexpr double lateDelay = 432000;          // 5 days
    static constexpr double afterSubscribing = 15724800; // 182 days
    static constexpr double postponement = 2592000;      // 30 days

    // The clock every rule reads; tests install their own (empty: the system clock).
    using Clock = std::function<double()>;
    static void setClockForTesting(Clock clock);
    static double now();

    // Whether a newsletter endpoint is configured: without one the invitation never shows and
    // the menu leaves the newsletter out.
    static bool isOffered();

    // Stores the first launch's time once; a stored value, even 0, is kept.
    static void registerLaunch();
    static bool isDue();
    // A successful subscription: subscribed, and asked again in 182 days.
    static void markSubscribed();
    // "Not now", or leaving the form unsubscribed: asked again in 30 days.
    static void postpone();

    // What keeps the invitation from interrupting the user right now.
    struct Blockers {
        bool invitationShown = false;      // the newsletter window is already on screen
        bool captureUnderWay = false;      // a capture's overlay, countdown or toast is up
        bool unsavedEditorVisible = false; // a visible editor has unsaved changes
    };
    // Now, with `window` the application's newsletter window.
    static Blockers currentBlockers(const NewsletterWindowController& window);
    static bool canInterrupt(const Blockers& blockers);
    static bool canInterrupt(const NewsletterWindowController& window)
    {
        return canInterrupt(currentBlockers(window));
    }

    // Shows the invitation in `window` when it is offered, due and may interrupt.
    static void presentIfDue(NewsletterWindowController& window);
    // The menu's request: shows the form whenever it may interrupt (also after subscribing).
    // False when it may not, so the caller can beep.
    static bool presentOnRequest(NewsletterWindowController& window);
};

// The review prompt's counters. Nothing reads them yet and no review is ever requested; they
// are kept so that a later version can decide from a true history.
class ReviewPrompt {
public:
    ReviewPrompt() = delete;

    // Stores the first launch's time once, on the newsletter's clock.
    static void registerLaunch();
};

} // namespace snapkin
