#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

#include <array>
#include <functional>
#include <memory>

class QWidget;

namespace snapkin {

class CaptureHistory;
class CaptureService;
class CaptureWiring;
class EditorWindowController;
class HotkeyService;
class MainMenuBuilder;
class MenuActions;
class NewsletterWindowController;
class OnboardingController;
class PinnedScreenshotController;
class QuickAccessController;
class QuickAccessTextCopier;
class StartWindowController;
class TextCopier;
class TrayMenu;
class WhatsNewController;

// Starts the application and answers what the desktop asks of it: a second start (reopen, or
// files to open), quitting and logging out.
//
// Start-up runs a fixed sequence of steps, each a named function of this class, in the order of
// Step. A test may replace the work of a step (to record the order, or to leave a step out)
// before start(), or run one step on its own. The last step runs once the event loop turns; it
// opens the files of the command line before it decides on a blank canvas. The launch counters
// run once a window has painted, so their settings writes do not delay the first picture.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    enum class Step {
        quickAccessText,     // the quick-access panel's text copier
        historyRecognizer,   // the capture history's text recogniser
        recognizeMissing,    // recognising the history entries without text
        whatsNewFirstLaunch, // whether What's New is due
        migrateLanguage,     // the settings window's language migration
        hotKeyDefaults,      // the capture shortcuts' defaults
        routerDefaults,      // the after-capture settings' defaults and routing
        engineDefaults,      // the capture engine's defaults and hooks
        launchCounters,      // the newsletter's and review prompt's launch counts
        keepReachable,       // the tray is turned back on when both presences are off
        presence,            // the tray icon
        appearance,          // light, dark or the desktop's look
        hotKeys,             // the global capture shortcuts
        screenshotWatcher,   // the desktop screenshots' folder watch
        onboarding,          // the welcome window, when due
        pruneHistory,        // expired history entries leave
        firstWindows,        // a window when the application keeps one; What's New when due
    };
    static constexpr std::size_t stepCount = 17;
    static const char* stepName(Step step);

    // What the delegate works with: the capture history, the windows start-up may open by
    // itself, the menus every editor window gets, and the commands and pins of the tray menu.
    struct Services {
        // The open editors: what a reopen brings forward, quitting asks about, and the files of
        // the command line open in.
        EditorWindowController& editors;
        CaptureHistory& history;
        // The capture service: its router's defaults, its wiring and its screenshot watcher.
        CaptureService& capture;
        OnboardingController& welcome;
        WhatsNewController& whatsNew;
        StartWindowController& startWindow;
        MainMenuBuilder& menus;
        MenuActions& actions;
        PinnedScreenshotController& pins;
        // Text copying, for "Copy Text from Region" and the quick-access thumbnails.
        TextCopier& copier;
        QuickAccessController& quickAccess;
        // The global shortcuts, loaded by the hot-keys step.
        HotkeyService& hotkeys;
        // The newsletter's window, which a delivered capture may bring up (none: the
        // invitation is never due).
        NewsletterWindowController* newsletter = nullptr;
    };

    explicit AppDelegate(Services services, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Replaces the work of one step of this delegate (an empty function leaves the step out).
    void setStep(Step step, std::function<void()> work);
    // Runs the work of one step now, as start() would.
    void runStep(Step step);

    // The files named on the command line: the last step opens them, one editor each, before
    // it decides whether a blank canvas is needed.
    void setLaunchFiles(const QStringList& paths) { m_launchFiles = paths; }

    // Runs the steps in order; the last one (then the launch counters) once the event loop turns.
    void start();

    // A second start without files: with a window of ours on screen, the one the user worked in
    // last comes forward and nothing opens; with none, the newest editor comes back or a blank
    // canvas opens.
    void reopen();
    // Files from the command line or a second start: each opens in an editor of its own, in
    // order, once the event loop turns. A file that cannot be opened shows its alert; the
    // others still open.
    void openFiles(const QStringList& paths);

    // Asks about every editor of `editors` with unsaved changes, then quits unless one of them
    // stays open. True when the application is quitting.
    static bool requestQuit(EditorWindowController& editors);
    // Ends the run without asking anyone, for SIGTERM (a logout, `kill`): every event loop ends,
    // an open alert's or dialog's too, and no editor asks about its changes. What runs once the
    // application's loop has ended still runs: the history writes the editors' pending edits
    // (drawing nothing more, which can take long: the next start draws the previews and reads
    // the text) and finishes its queue, the start window's frame is remembered, the private
    // folder goes.
    // Nothing is saved to the user's files.
    void terminate();

    // Whether `window` is one the user works with, so that while it is shown the application
    // keeps running without a tray icon: an editor, the start window, settings, About, What's
    // New, welcome, the newsletter, an alert, a pinned screenshot. Overlays, toasts, menus and
    // the quick-access panel are not.
    static bool keepsApplicationRunning(const QWidget* window);

    // The tray icon and menu; null while none is shown.
    TrayMenu* tray() const { return m_tray.get(); }
    // Shows or hides the tray icon as the settings say now.
    void updateTray();

private:
    void standardSteps();
    // The steps' own work, one function each (the others are a single call).
    void whatsNewFirstLaunch();
    void launchCounters();
    void routerDefaults();
    void engineDefaults();
    void presence();
    void appearance();
    void screenshotWatcher();
    void onboarding();
    void pruneHistory();
    void firstWindows();
    void runFirstWindows();
    // Writes the recent documents noted since the first windows' step began.
    void releaseRecentNotes();
    // Shows the tray icon now if the presence step left it for after the first paint.
    void settleTray();
    void lastWindowClosed();
    QWidget* windowToBringForward() const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    Services m_services;
    std::array<std::function<void()>, stepCount> m_steps;
    // The settings as earlier runs left them, read before this launch writes any.
    QVariantMap m_storedAtLaunch;
    std::unique_ptr<TrayMenu> m_tray;
    std::unique_ptr<QuickAccessTextCopier> m_quickAccessText;
    std::unique_ptr<CaptureWiring> m_captureWiring;
    QStringList m_launchFiles;
    // The window of ours the user worked in last, for a reopen.
    QPointer<QWidget> m_lastActive;
    bool m_closeCheckPending = false;
    bool m_started = false;
    bool m_launchFilesWereEmpty = true;
    bool m_holdingRecentNotes = false;
    bool m_trayPending = false;
};

} // namespace snapkin
