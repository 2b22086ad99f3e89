#include "app/InformationWindows.h"

#include "app/AppCommands.h"
#include "app/AppDelegate.h"
#include "app/MenuActions.h"
#include "editor/EditorWindowController.h"
#include "platform/Defaults.h"
#include "settings/AboutWindow.h"
#include "settings/InformationHooks.h"
#include "settings/NewsletterPrompt.h"
#include "settings/OnboardingController.h"
#include "settings/WhatsNewWindow.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>

namespace snapkin {

namespace {

QKeySequence firstKeys(AppCommand command)
{
    const QList<QKeySequence> keys = commandKeys(command);
    return keys.isEmpty() ? QKeySequence() : keys.first();
}

bool isEditorWindow(QWindow* window)
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->windowHandle() == window)
            return EditorWindowController::shared().page(widget) != nullptr;
    return false;
}

// The welcome window opens in an earlier start-up step than the first editor, which would
// cover it and take the keyboard. It comes to the front now, and once more when the window
// manager, which maps and focuses the editor a moment later, has given the editor the focus.
void keepWelcomeInFront()
{
    QPointer<OnboardingWindow> welcome = OnboardingController::shared().window();
    if (!welcome || !welcome->isVisible()) return;
    const auto bringForward = [welcome] {
        welcome->raise();
        welcome->activateWindow();
    };
    bringForward();
    auto* watch = new QObject(qApp);
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, watch,
                     [watch, welcome, bringForward](QWindow* focused) {
                         if (!welcome || !welcome->isVisible()) return watch->deleteLater();
                         if (!isEditorWindow(focused)) return;
                         bringForward();
                         watch->deleteLater();
                     });
    // Only the editor's first focus at start-up: later the user chooses.
    QTimer::singleShot(3000, watch, &QObject::deleteLater);
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
        keepWelcomeInFront();
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
