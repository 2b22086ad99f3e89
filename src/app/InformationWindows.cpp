#include "app/InformationWindows.h"

#include "app/AppCommands.h"
#include "app/AppDelegate.h"
#include "app/MenuActions.h"
#include "platform/Defaults.h"
#include "settings/AboutWindow.h"
#include "settings/InformationHooks.h"
#include "settings/NewsletterPrompt.h"
#include "settings/OnboardingController.h"
#include "settings/WhatsNewWindow.h"

namespace snapkin {

namespace {

QKeySequence firstKeys(AppCommand command)
{
    const QList<QKeySequence> keys = commandKeys(command);
    return keys.isEmpty() ? QKeySequence() : keys.first();
}

} // namespace

void installInformationWindows()
{
    using Step = AppDelegate::Step;
    installInformationHooks();
    // The windows name the keys of the application's own command table.
    OnboardingController::shared().setPasteKeys(firstKeys(AppCommand::newFromClipboard));
    WhatsNewController::shared().setSaveAsDocumentKeys(firstKeys(AppCommand::saveAsDocument));

    // What earlier versions left in the settings, read before this launch writes anything.
    AppDelegate::installStep(
        Step::whatsNewFirstLaunch, [before = platform::Defaults::standard().storedValues()] {
            WhatsNewController::shared().pendingShow =
                WhatsNewController::consumeFirstLaunch(platform::Defaults::standard(), before);
        });
    AppDelegate::installStep(Step::launchCounters, [] {
        NewsletterPrompt::registerLaunch();
        ReviewPrompt::registerLaunch();
    });
    AppDelegate::installStep(Step::onboarding,
                             [] { OnboardingController::shared().showIfNeeded(); });
    AppDelegate::installStep(Step::firstWindows, [] {
        WhatsNewController& whatsNew = WhatsNewController::shared();
        if (!whatsNew.pendingShow) return;
        whatsNew.pendingShow = false;
        whatsNew.show();
    });

    using Handler = MenuActions::Handler;
    auto& actions = MenuActions::shared();
    actions.setHandler(Handler::about, [](const QImage*) {
        AboutController::shared().show();
        return true;
    });
    actions.setHandler(Handler::whatsNew, [](const QImage*) {
        WhatsNewController::shared().show();
        return true;
    });
    actions.setHandler(Handler::welcome, [](const QImage*) {
        OnboardingController::shared().show();
        return true;
    });
    // Without an endpoint the newsletter is not offered: its item stays out of the menus.
    if (NewsletterPrompt::isOffered())
        actions.setHandler(Handler::newsletter,
                           [](const QImage*) { return NewsletterPrompt::presentOnRequest(); });
}

} // namespace snapkin
