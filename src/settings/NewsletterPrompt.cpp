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

namespace snapkin {

namespace {

NewsletterPrompt::Clock testClock;

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

void storeFirstLaunchOnce(const char* name)
{
    if (!settings().hasStoredValue(key(name)))
        settings().setValue(key(name), NewsletterPrompt::now());
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
    storeFirstLaunchOnce(firstLaunchKey);
}

bool NewsletterPrompt::isDue()
{
    const double current = now();
    const double next = settings().doubleForKey(key(nextPromptKey));
    if (next > 0) return current >= next;
    const qint64 count = settings().integerForKey(key(captureCountKey));
    const double first = settings().doubleForKey(key(firstLaunchKey));
    if (first <= 0) return false;
    const double elapsed = current - first; // negative when the clock was set back
    return (count >= earlyCaptureCount && elapsed >= earlyDelay) ||
           (count > 0 && elapsed >= lateDelay);
}

void NewsletterPrompt::markSubscribed()
{
    settings().setValue(key(subscribedKey), true);
    settings().setValue(key(nextPromptKey), now() + afterSubscribing);
}

void NewsletterPrompt::postpone()
{
    settings().setValue(key(nextPromptKey), now() + postponement);
}

NewsletterPrompt::Blockers
NewsletterPrompt::currentBlockers(const NewsletterWindowController& window)
{
    Blockers blockers;
    blockers.invitationShown = window.isVisible();
    blockers.captureUnderWay = CaptureService::shared().isCapturing() ||
                               CaptureCountdown::current() != nullptr ||
                               CaptureToast::current() != nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->property(CaptureService::overlayWindowProperty).toBool())
            blockers.captureUnderWay = true;
    }
    for (EditorPage* page : EditorWindowController::shared().pages()) {
        // A page in a background tab is not visible: only what the user sees counts.
        if (page->isVisible() && page->store().hasUnsavedChanges())
            blockers.unsavedEditorVisible = true;
    }
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
    storeFirstLaunchOnce(firstLaunchKey);
}

} // namespace snapkin
