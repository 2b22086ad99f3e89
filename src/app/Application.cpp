#include "app/Application.h"

#include "app/AppCommands.h"
#include "app/AppDelegate.h"
#include "app/AppPresence.h"
#include "app/MainMenuBuilder.h"
#include "app/MenuActions.h"
#include "app/start/StartWindowController.h"
#include "capture/PostCaptureRouter.h"
#include "editor/CollageService.h"
#include "editor/EditorPage.h"
#include "history/CaptureHistory.h"
#include "platform/ClipboardOffer.h"
#include "platform/PrivateFolder.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignal.h"
#include "settings/NewsletterPrompt.h"
#include "settings/PreferencesWindow.h"
#include "settings/SettingsHooks.h"
#include "text/TextServices.h"

#include <QApplication>

#include <utility>

namespace snapkin {

namespace {

QKeySequence firstKeys(AppCommand command)
{
    const QList<QKeySequence> keys = commandKeys(command);
    return keys.isEmpty() ? QKeySequence() : keys.first();
}

// What every editor page gets: the shared style library, the text layer's overlay and Copy
// Text, the capture service's New Capture menu and Open Image.
EditorViewHooks editorPageHooks(SavedStyles& savedStyles, TextCopier& copier, LinkOpening& links,
                                CaptureService& capture)
{
    using Kind = EditorViewHooks::CaptureKind;
    EditorViewHooks hooks = editorTextHooks(&copier, links);
    hooks.savedStyles = &savedStyles;
    hooks.capture = [&capture](Kind kind) {
        const CaptureMode mode = kind == Kind::region   ? CaptureMode::region
                                 : kind == Kind::window ? CaptureMode::window
                                                        : CaptureMode::fullScreen;
        capture.capture(mode, CaptureSink::editor);
    };
    hooks.openImage = [&capture] { capture.openImage(); };
    return hooks;
}

} // namespace

// The menus' items for the windows of the settings layer: Settings, About, What's New, the
// welcome window, the newsletter and the collage maker.
void Application::connectMenuItems(MenuActions& actions)
{
    using Handler = MenuActions::Handler;
    // A window that opens: the item always acts.
    const auto opens = [](std::function<void()> show) {
        return [show = std::move(show)] {
            show();
            return true;
        };
    };
    actions.setHandler(Handler::settings, opens([this] { showSettings(); }));
    actions.setHandler(Handler::about, opens([this] { m_about.show(); }));
    actions.setHandler(Handler::whatsNew, opens([this] { m_whatsNew.show(); }));
    actions.setHandler(Handler::welcome, opens([this] { m_welcome.show(); }));
    // Without an endpoint the newsletter is not offered: its item stays out of the menus.
    if (NewsletterPrompt::isOffered())
        actions.setHandler(Handler::newsletter,
                           [this] { return NewsletterPrompt::presentOnRequest(m_newsletter); });
    const auto collage = [&](CollageLayout layout) {
        return opens([this, &actions, layout] {
            CollageService::createFromPanel(m_editors, layout, actions.keyPage());
        });
    };
    actions.setHandler(Handler::collageSideBySide, collage(CollageLayout::sideBySide));
    actions.setHandler(Handler::collageStacked, collage(CollageLayout::stacked));
}

SettingsHooks Application::shellForSettings()
{
    return {.applyPresence = [this] { m_delegate->updateTray(); },
            .trayAvailable = &AppPresence::trayAvailable,
            .openStartWindow = [this] { m_startWindow->show(); }};
}

Application::Application(platform::SingleInstance& instance, Launch launch)
    : m_welcome(shellForSettings())
{
    // What earlier runs left in the private folder goes now: drag files stay after a crash ends
    // a run before it removes them. This run's own folder goes when it ends, whichever way
    // (Quit, the last window, SIGTERM).
    if (launch.cleanPrivateFolder) {
        platform::PrivateFolder::cleanUp();
        QObject::connect(qApp, &QCoreApplication::aboutToQuit,
                         [] { platform::PrivateFolder::release(); });
    }

    // The capture history, over its folder; loaded now, recognising text from a start-up step.
    m_history = std::make_unique<CaptureHistory>(HistoryStore::defaultDirectory(),
                                                 platform::Defaults::standard());
    // Editors, captures, collages and pastes report to it from the first page on.
    m_editors.setHistory(m_history.get());

    // The application lives on in the tray, and for its global shortcuts, with no window open.
    QApplication::setQuitOnLastWindowClosed(false);

    // The information windows name the keys of the application's own command table.
    m_welcome.setPasteKeys(firstKeys(AppCommand::newFromClipboard));
    m_whatsNew.setSaveAsDocumentKeys(firstKeys(AppCommand::saveAsDocument));
    // "Try it now" in the welcome window starts a region capture.
    m_welcome.setCaptureStarter(
        [this] { m_capture.capture(CaptureMode::region, CaptureSink::editor); });
    // The global shortcuts and the tray's capture items run on the application's service.
    m_previousRunner =
        setCaptureActionRunner([this](CaptureAction action) { runOn(m_capture, action); });

    // Follows the clipboard's owner from the start, so the Edit menu knows whether Paste finds
    // an image without asking the owner when it opens.
    platform::ClipboardOffer::shared();

    // Every editor page's style library, overlay, Copy Text and capture entries.
    m_editors.setExports(&m_exportDialogs);
    m_capture.router().setExports(&m_exportDialogs);
    m_editors.setPageHooks(editorPageHooks(m_savedStyles, m_textCopier, m_links, m_capture));

    // The start window gets the main menu, which runs the commands; the menus reach the start
    // window and the pins through the commands.
    m_startWindow = std::make_unique<StartWindowController>(
        m_editors, *m_history, m_exportDialogs, m_capture,
        [this](StartWindow& window) { connectStartWindow(window, *m_menus, *m_actions); });
    m_actions = std::make_unique<MenuActions>(m_editors, m_exportDialogs, m_pins, *m_startWindow,
                                              m_textCopier, m_capture);
    m_menus = std::make_unique<MainMenuBuilder>(*m_actions, m_pins);
    connectMenuItems(*m_actions);

    // Made before any step writes a setting: it reads what earlier versions left.
    m_delegate = std::make_unique<AppDelegate>(AppDelegate::Services{.editors = m_editors,
                                                                     .history = *m_history,
                                                                     .capture = m_capture,
                                                                     .welcome = m_welcome,
                                                                     .whatsNew = m_whatsNew,
                                                                     .startWindow = *m_startWindow,
                                                                     .menus = *m_menus,
                                                                     .actions = *m_actions,
                                                                     .pins = m_pins,
                                                                     .copier = m_textCopier,
                                                                     .quickAccess = m_quickAccess,
                                                                     .hotkeys = m_hotkeys,
                                                                     .newsletter = &m_newsletter});
    m_delegate->setLaunchFiles(launch.files);

    // The start window's link to the history's settings.
    QObject::connect(m_startWindow.get(), &StartWindowController::settingsRequested,
                     m_delegate.get(), [this] { showSettings(); });

    QObject::connect(&instance, &platform::SingleInstance::reopenRequested, m_delegate.get(),
                     &AppDelegate::reopen);
    QObject::connect(&instance, &platform::SingleInstance::filesRequested, m_delegate.get(),
                     &AppDelegate::openFiles);
    // A logout (or `kill`) sends SIGTERM: nobody is there to answer a question, so the run ends
    // without one, after writing the history and removing the drag files, rather than where it
    // stands. A further SIGTERM while that goes on ends the process at once.
    m_termination = std::make_unique<platform::TerminationSignal>();
    QObject::connect(m_termination.get(), &platform::TerminationSignal::terminationRequested,
                     m_delegate.get(), [this] {
                         m_termination->restoreDefaultAction();
                         m_delegate->terminate();
                     });
}

Application::~Application()
{
    setCaptureActionRunner(std::move(m_previousRunner));
}

void Application::showSettings()
{
    if (!m_settingsWindow)
        m_settingsWindow = std::make_unique<PreferencesWindow>(
            platform::Defaults::standard(), *m_history, m_hotkeys, m_capture, shellForSettings());
    m_settingsWindow->showAndRaise();
}

void Application::start()
{
    m_delegate->start();
}

} // namespace snapkin
