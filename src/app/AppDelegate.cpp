#include "app/AppDelegate.h"

#include "app/AppPresence.h"
#include "app/CaptureWiring.h"
#include "app/MainMenuBuilder.h"
#include "app/PinnedScreenshotController.h"
#include "app/TrayMenu.h"
#include "app/start/StartWindow.h"
#include "app/start/StartWindowController.h"
#include "capture/CaptureService.h"
#include "capture/PostCaptureRouter.h"
#include "capture/SystemScreenshotWatcher.h"
#include "capture/hotkeys/CaptureHotKey.h"
#include "capture/hotkeys/HotkeyService.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "editor/RecentDocuments.h"
#include "grab/CaptureEngine.h"
#include "history/CaptureHistory.h"
#include "output/OutputHooks.h"
#include "platform/BuildInfo.h"
#include "platform/Defaults.h"
#include "platform/ImagePrefetch.h"
#include "platform/L10n.h"
#include "platform/StaleTemporaries.h"
#include "settings/NewsletterPrompt.h"
#include "settings/OnboardingController.h"
#include "settings/WhatsNewWindow.h"
#include "text/QuickAccess.h"
#include "ui/platform/BringForward.h"

#include <QApplication>
#include <QDateTime>
#include <QEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QSessionManager>
#include <QSet>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <utility>

namespace snapkin {

namespace {

std::size_t index(AppDelegate::Step step)
{
    return static_cast<std::size_t>(step);
}

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

// Write failures of the launch, held until the first windows are up so that none of them
// covers the alert.
struct HeldWriteFailures {
    bool launched = false;
    QList<std::pair<QString, QString>> alerts; // title, reason
};

HeldWriteFailures& heldWriteFailures()
{
    static HeldWriteFailures held;
    return held;
}

void showWriteFailure(const QString& title, const QString& reason, QWidget* parent)
{
    auto* alert =
        new QMessageBox(QMessageBox::Warning, QString(), title, QMessageBox::NoButton, parent);
    alert->setInformativeText(reason);
    alert->addButton(platform::L10n::text("OK"), QMessageBox::AcceptRole);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    if (parent) {
        alert->open();
    } else {
        // Its own window, over the first windows, blocking none of them.
        alert->show();
        alert->raise();
    }
}

// A write in the background failed (the previous file stays): said once per kind and run, in an
// alert that waits for no answer, so the next failure of the same kind adds nothing.
void tellWriteFailureOnce(const QString& title, const QString& reason)
{
    static QSet<QString> told;
    if (told.contains(title)) return;
    told.insert(title);
    if (!heldWriteFailures().launched) {
        heldWriteFailures().alerts.append({title, reason});
        return;
    }
    showWriteFailure(title, reason, QApplication::activeWindow());
}

void tellHeldWriteFailures()
{
    HeldWriteFailures& held = heldWriteFailures();
    held.launched = true;
    for (const auto& [title, reason] : std::exchange(held.alerts, {}))
        showWriteFailure(title, reason, nullptr);
}

// Runs `work` once the event loop turns after a widget of the application first paints, so the
// picture is on the screen before it; after a second at the latest, when no window shows.
void afterFirstPaint(QObject* context, std::function<void()> work)
{
    class Watch : public QObject {
    public:
        explicit Watch(std::function<void()> work) : m_work(std::move(work)) {}
        void run()
        {
            if (auto work = std::exchange(m_work, {})) work();
            deleteLater();
        }

    protected:
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint && m_work) {
                qApp->removeEventFilter(this);
                QTimer::singleShot(0, this, &Watch::run);
            }
            return false;
        }

    private:
        std::function<void()> m_work;
    };
    auto* watch = new Watch(std::move(work));
    watch->setParent(context);
    qApp->installEventFilter(watch);
    QTimer::singleShot(1000, watch, &Watch::run);
}

// The welcome window opens in an earlier start-up step than the first editor or the start
// window, which would cover it and take the keyboard. It comes to the front now, and once more
// when the window manager, which maps and focuses that window a moment later, has given it the
// focus.
void keepWelcomeInFront(const OnboardingController& controller)
{
    QPointer<OnboardingWindow> welcome = controller.window();
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
                         // The editor or start window the window manager focuses as it maps.
                         if (!focused || focused == welcome->windowHandle()) return;
                         bringForward();
                         watch->deleteLater();
                     });
    // Only the first such focus at start-up: later the user chooses.
    QTimer::singleShot(3000, watch, &QObject::deleteLater);
}

} // namespace

const char* AppDelegate::stepName(Step step)
{
    static constexpr std::array<const char*, stepCount> names{
        "quickAccessText", "historyRecognizer", "recognizeMissing", "whatsNewFirstLaunch",
        "migrateLanguage", "hotKeyDefaults",    "routerDefaults",   "engineDefaults",
        "launchCounters",  "keepReachable",     "presence",         "appearance",
        "hotKeys",         "screenshotWatcher", "onboarding",       "pruneHistory",
        "firstWindows"};
    return names[index(step)];
}

AppDelegate::AppDelegate(Services services, QObject* parent)
    : QObject(parent), m_services(services), m_storedAtLaunch(settings().storedValues())
{
    standardSteps();
}

AppDelegate::~AppDelegate()
{
    // A run that ends before its first paint still records the files it opened.
    releaseRecentNotes();
    // The menus it gave every editor window go with the application.
    if (m_started) m_services.editors.setWindowDecorator({});
}

void AppDelegate::setStep(Step step, std::function<void()> work)
{
    m_steps[index(step)] = std::move(work);
}

void AppDelegate::runStep(Step step)
{
    if (const auto& work = m_steps[index(step)]) work();
}

void AppDelegate::standardSteps()
{
    // The quick-access thumbnails' text action, through the text copier.
    setStep(Step::quickAccessText, [this] {
        m_quickAccessText = std::make_unique<QuickAccessTextCopier>(m_services.copier);
        m_services.quickAccess.setTextAction(m_quickAccessText.get());
    });
    // The history's recogniser: the text lines, then the payload of every code, one per line;
    // installing it starts recognising the entries that have no text yet, after pruning.
    setStep(Step::historyRecognizer, [this] { startHistoryUpkeep(m_services.history); });
    setStep(Step::whatsNewFirstLaunch, [this] { whatsNewFirstLaunch(); });
    setStep(Step::hotKeyDefaults, [] { CaptureHotKey::registerDefaults(); });
    setStep(Step::routerDefaults, [this] { routerDefaults(); });
    setStep(Step::engineDefaults, [this] { engineDefaults(); });
    setStep(Step::launchCounters, [this] { launchCounters(); });
    setStep(Step::keepReachable, [] { AppPresence::keepReachable(); });
    setStep(Step::presence, [this] { presence(); });
    setStep(Step::appearance, [this] { appearance(); });
    setStep(Step::hotKeys, [this] { m_services.hotkeys.reload(); });
    setStep(Step::screenshotWatcher, [this] { screenshotWatcher(); });
    setStep(Step::onboarding, [this] { onboarding(); });
    setStep(Step::pruneHistory, [this] { pruneHistory(); });
    setStep(Step::firstWindows, [this] { firstWindows(); });
}

void AppDelegate::whatsNewFirstLaunch()
{
    m_services.whatsNew.pendingShow =
        WhatsNewController::consumeFirstLaunch(settings(), m_storedAtLaunch);
}

void AppDelegate::launchCounters()
{
    NewsletterPrompt::registerLaunch();
    ReviewPrompt::registerLaunch();
}

void AppDelegate::routerDefaults()
{
    PostCaptureRouter& router = m_services.capture.router();
    router.registerDefaults();
    // What saves cut short by a kill left in the save folder goes, off the GUI thread: the folder
    // may be large, or slow to list.
    if (const std::optional<QString> folder = router.resolveDefaultFolder()) {
        QThreadPool::globalInstance()->start(
            [folder = *folder] { platform::StaleTemporaries::removeAll(folder); });
    }
}

void AppDelegate::engineDefaults()
{
    CaptureEngine::registerDefaults();
    // The capture service's hooks into the editors, the history, text copying, quick access,
    // the welcome window and the newsletter.
    m_captureWiring =
        std::make_unique<CaptureWiring>(m_services.capture, m_services.capture.router(),
                                        CaptureWiring::Above{.editors = m_services.editors,
                                                             .history = m_services.history,
                                                             .copier = m_services.copier,
                                                             .quickAccess = m_services.quickAccess,
                                                             .welcome = m_services.welcome,
                                                             .newsletter = m_services.newsletter});
}

void AppDelegate::presence()
{
    // With files named at launch the tray icon follows once their first window has painted:
    // looking for a tray host (Qt asks the session bus, which libdbus may first try to start)
    // and making the icon would otherwise hold back the picture by tens of milliseconds.
    if (m_launchFilesWereEmpty) {
        updateTray();
    } else {
        m_trayPending = true;
        afterFirstPaint(this, [this] { settleTray(); });
    }
    const auto settingsFailed = [](const QString& message) {
        tellWriteFailureOnce(platform::L10n::text("Couldn't save Snapkin's settings"), message);
    };
    connect(&settings(), &platform::Defaults::saveFailed, this, settingsFailed);
    // A write of the steps before this one (What's New) failed unheard.
    if (const QString failure = settings().saveFailure(); !failure.isEmpty())
        settingsFailed(failure);
    connect(&m_services.history, &CaptureHistory::writeFailed, this, [](const QString& message) {
        tellWriteFailureOnce(platform::L10n::text("Couldn't save the capture history"), message);
    });
    connect(&settings(), &platform::Defaults::valueChanged, this, [this](const QString& key) {
        if (key == keys::showInMenuBar) updateTray();
    });
}

void AppDelegate::appearance()
{
    AppAppearance::apply(settings().contains(keys::appearance) ? settings().get(keys::appearance)
                                                               : QStringLiteral("system"));
}

void AppDelegate::screenshotWatcher()
{
    if (settings().get(keys::watchSystemScreenshots)) m_services.capture.watcher().start();
}

void AppDelegate::onboarding()
{
    m_services.welcome.showIfNeeded();
}

void AppDelegate::pruneHistory()
{
    m_services.history.pruneExpired(QDateTime::currentDateTimeUtc());
}

void AppDelegate::firstWindows()
{
    runFirstWindows();
    keepWelcomeInFront(m_services.welcome);
    // What's New, when it is due.
    if (std::exchange(m_services.whatsNew.pendingShow, false)) m_services.whatsNew.show();
}

void AppDelegate::start()
{
    m_started = true;
    m_launchFilesWereEmpty = m_launchFiles.isEmpty();
    // Documents name the build that wrote them ("Snapkin 2.0.0 (1)"), as Settings does.
    qApp->setProperty("buildVersion", platform::BuildInfo::buildNumber());
    // Documents written from here on carry a framed preview.
    installOutputHooks();
    // Every editor window gets the main menu.
    m_services.editors.setWindowDecorator(
        [&menus = m_services.menus](QMainWindow& window) { menus.install(window); });

    for (std::size_t i = 0; i + 1 < stepCount; ++i)
        if (static_cast<Step>(i) != Step::launchCounters) runStep(static_cast<Step>(i));
    QTimer::singleShot(0, this, [this] {
        // The files opened now become recent documents once the first window has painted:
        // their writes no longer hold back the picture a file named at launch opens on.
        RecentDocuments::holdNotes();
        m_holdingRecentNotes = true;
        runStep(Step::firstWindows);
        tellHeldWriteFailures();
        // The launch counters are two synchronous settings writes on a first launch: made once
        // the first window has painted, for the same reason.
        afterFirstPaint(this, [this] {
            releaseRecentNotes();
            runStep(Step::launchCounters);
        });
    });

    auto& editors = m_services.editors;
    connect(&editors, &EditorWindowController::pageRemoved, this, &AppDelegate::lastWindowClosed);
    // Any window of ours that closes or goes may have been the last one shown.
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focused) {
        if (!focused) return;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->windowHandle() != focused) continue;
            if (keepsApplicationRunning(window) && !qobject_cast<PinnedScreenshotWindow*>(window))
                m_lastActive = window;
            return;
        }
    });
    // Logging out asks about unsaved editors as quitting does.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [&editors](QSessionManager& manager) {
        if (manager.allowsInteraction()) {
            if (!editors.mayQuit()) manager.cancel();
            manager.release();
        }
    });
}

void AppDelegate::releaseRecentNotes()
{
    if (std::exchange(m_holdingRecentNotes, false)) RecentDocuments::releaseNotes();
}

void AppDelegate::runFirstWindows()
{
    auto& editors = m_services.editors;
    bool anyOpen = false;
    for (const QString& path : std::exchange(m_launchFiles, {}))
        anyOpen = editors.openFile(path) || anyOpen; // a failure shows its own alert
    // Decodes begun for files that did not open as pictures (a document, say) are not needed.
    platform::ImagePrefetch::discard();
    // Started for files of which none opened, with no tray icon to stay in: nothing is left
    // to show, and the caller learns it from the exit status. No picture waits, so the tray
    // icon comes now.
    if (!anyOpen && !m_launchFilesWereEmpty) {
        settleTray();
        if (!(m_tray && m_tray->isVisible())) {
            QCoreApplication::exit(1);
            return;
        }
    }
    // A taskbar application opens on its start window: the captures so far and the commands.
    // (Asked only without an editor: whether a tray host exists takes a while to learn.)
    if (editors.pages().isEmpty() && AppPresence::behavesAsTaskbarApp())
        m_services.startWindow.show();
}

void AppDelegate::settleTray()
{
    if (std::exchange(m_trayPending, false)) updateTray();
}

void AppDelegate::updateTray()
{
    const bool shown = AppPresence::showsTrayIcon();
    if (shown && !m_tray) m_tray = std::make_unique<TrayMenu>(m_services.actions, m_services.pins);
    if (m_tray) m_tray->setVisible(shown);
}

// A window of the kinds the user works with; see keepsApplicationRunning().
static bool isWorkWindow(const QWidget* window)
{
    if (!window || !window->isWindow()) return false;
    if (qobject_cast<const PinnedScreenshotWindow*>(window)) return true;
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Window && type != Qt::Dialog) return false;
    // The selection overlay is an ordinary window kept away from the window manager.
    return !window->windowFlags().testFlag(Qt::X11BypassWindowManagerHint) &&
           !window->property(CaptureService::overlayWindowProperty).toBool();
}

bool AppDelegate::keepsApplicationRunning(const QWidget* window)
{
    return isWorkWindow(window) && window->isVisible();
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event)
{
    // Windows go by closing, or by being hidden and deleted (the information windows); a
    // window hidden for a capture comes back and is not looked at.
    const QEvent::Type type = event->type();
    if ((type == QEvent::Close || type == QEvent::DeferredDelete) && watched->isWidgetType() &&
        isWorkWindow(static_cast<QWidget*>(watched)) && !m_closeCheckPending) {
        m_closeCheckPending = true;
        // Looked at once the close has hidden the window (or it was refused).
        QTimer::singleShot(0, this, [this] {
            m_closeCheckPending = false;
            lastWindowClosed();
        });
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::lastWindowClosed()
{
    // The last window gone: no editor open, and no other window of ours on screen.
    const auto nothingShown = [&editors = m_services.editors] {
        if (!editors.pages().isEmpty()) return false;
        const QWidgetList windows = QApplication::topLevelWidgets();
        return std::none_of(windows.begin(), windows.end(), keepsApplicationRunning);
    };
    if (!nothingShown()) return;
    // Without a tray icon nothing would be left to reach the application by.
    settleTray();
    if (m_tray && m_tray->isVisible()) return;
    QTimer::singleShot(0, this, [nothingShown, &editors = m_services.editors] {
        if (nothingShown()) requestQuit(editors);
    });
}

QWidget* AppDelegate::windowToBringForward() const
{
    if (m_lastActive && m_lastActive->isVisible()) return m_lastActive;
    const QList<EditorPage*> pages = m_services.editors.pages();
    if (!pages.isEmpty() && pages.last()->window()->isVisible()) return pages.last()->window();
    if (m_services.startWindow.isVisible()) return m_services.startWindow.window();
    // Pins float above everything already; bringing one "forward" would show nothing new.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (keepsApplicationRunning(window) && !qobject_cast<PinnedScreenshotWindow*>(window))
            return window;
    return nullptr;
}

void AppDelegate::reopen()
{
    if (QWidget* window = windowToBringForward()) {
        platform::bringForward(window);
        return;
    }
    m_services.editors.activateOrOpenBlank();
}

void AppDelegate::openFiles(const QStringList& paths)
{
    for (const QString& path : paths)
        QTimer::singleShot(0, this,
                           [&editors = m_services.editors, path] { editors.openFile(path); });
}

bool AppDelegate::requestQuit(EditorWindowController& editors)
{
    static bool asking = false;
    if (asking) return false; // a quit chosen again while the first one asks
    asking = true;
    const bool mayQuit = editors.mayQuit();
    asking = false;
    if (mayQuit) QCoreApplication::quit();
    return mayQuit;
}

void AppDelegate::terminate()
{
    m_services.history.prepareToEndAtOnce();
    // exit(), unlike quit(), closes no window, so no editor's close asks about unsaved changes;
    // it ends the nested loop of an alert already asking as well, and no loop starts after it.
    QCoreApplication::exit(0);
}

} // namespace snapkin
