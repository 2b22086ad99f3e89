#include "settings/NewsletterPrompt.h"

#include "capture/CaptureCountdown.h"
#include "capture/CaptureService.h"
#include "capture/CaptureToast.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"
#include "settings/NewsletterService.h"
#include "settings/NewsletterWindow.h"

#include <QApplication>
#include <QDateTime>
#include <QWidget>

#include <algorithm>

namespace snapkin {

namespace {

NewsletterPrompt::Clock testClock;

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

// This run's time stands in only while the file holds none: a file that could not be read at
// start keeps the first launch it records.
void storeFirstLaunchOnce(const platform::Setting<double>& key)
{
    settings().setIfMissing(key, NewsletterPrompt::now());
}

} // namespace

void NewsletterPrompt::setClockForTesting(Clock clock)
{
    testClock = std::move(clock);
}

double NewsletterPrompt::now()
{
    if (testClock) return testClock();
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

bool NewsletterPrompt::isOffered()
{
    return NewsletterService::isConfigured();
}

void NewsletterPrompt::registerLaunch()
{
    storeFirstLaunchOnce(keys::newsletterFirstLaunch);
}

bool NewsletterPrompt::isDue()
{
    const double current = now();
    const double next = settings().get(keys::newsletterNextPrompt);
    if (next > 0) return current >= next;
    const qint64 count = settings().get(keys::newsletterCaptureCount);
    const double first = settings().get(keys::newsletterFirstLaunch);
    if (first <= 0) return false;
    const double elapsed = current - first; // negative when the clock was set back
    return (count >= earlyCaptureCount && elapsed >= earlyDelay) ||
           (count > 0 && elapsed >= lateDelay);
}

void NewsletterPrompt::markSubscribed()
{
    settings().set(keys::newsletterSubscribed, true);
    settings().set(keys::newsletterNextPrompt, now() + afterSubscribing);
}

void NewsletterPrompt::postpone()
{
    settings().set(keys::newsletterNextPrompt, now() + postponement);
}

NewsletterPrompt::Blockers
NewsletterPrompt::currentBlockers(const NewsletterWindowController& window)
{
    Blockers blockers;
    blockers.invitationShown = window.isVisible();
    blockers.captureUnderWay =
        (window.captureService() && window.captureService()->isCapturing()) ||
        CaptureCountdown::current() != nullptr || CaptureToast::current() != nullptr ||
        std::ranges::any_of(QApplication::topLevelWidgets(), [](QWidget* window) {
            return window->isVisible() &&
                   window->property(CaptureService::overlayWindowProperty).toBool();
        });
    // A page in a background tab is not visible: only what the user sees counts.
    blockers.unsavedEditorVisible =
        window.editors() && std::ranges::any_of(window.editors()->pages(), [](EditorPage* page) {
            return page->isVisible() && page->store().hasUnsavedChanges();
        });
    return blockers;
}

bool NewsletterPrompt::canInterrupt(const Blockers& blockers)
{
    return !blockers.invitationShown && !blockers.captureUnderWay && !blockers.unsavedEditorVisible;
}

void NewsletterPrompt::presentIfDue(NewsletterWindowController& window)
{
    if (isOffered() && isDue() && canInterrupt(window)) window.show();
}

bool NewsletterPrompt::presentOnRequest(NewsletterWindowController& window)
{
    if (!isOffered() || !canInterrupt(window)) return false;
    window.show();
    return true;
}

void ReviewPrompt::registerLaunch()
{
    storeFirstLaunchOnce(keys::reviewFirstLaunch);
}

} // namespace snapkin
