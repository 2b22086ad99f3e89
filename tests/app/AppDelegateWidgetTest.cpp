#include "AppShell.h"
#include "AppTestSupport.h"
#include "support/AlertAnswerer.h"

#include "app/AppDelegate.h"
#include "app/AppPresence.h"
#include "app/MenuActions.h"
#include "app/TrayMenu.h"
#include "app/start/StartWindow.h"
#include "app/start/StartWindowController.h"
#include "capture/PostCaptureRouter.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "platform/BuildInfo.h"
#include "platform/Defaults.h"
#include "settings/OnboardingController.h"
#include "settings/WhatsNewWindow.h"
#include "support/KilledWrite.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMainWindow>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace snapkin;
using Step = AppDelegate::Step;

namespace {

// A picture to name on the command line.
QImage launchImage()
{
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
}

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

class AppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QApplication::setQuitOnLastWindowClosed(false);
        settings().removeAllStored();
    }
    void TearDown() override
    {
        apptest::closeAllEditors(shell.editors);
        AppPresence::setTrayAvailableForTesting(-1);
        settings().removeAllStored();
    }

    AppDelegate::Services windows() { return shell.services(); }

    apptest::Shell shell;

    // A delegate whose steps only record their names, except those named in `real`.
    std::unique_ptr<AppDelegate> recordingDelegate(QStringList& order,
                                                   std::initializer_list<Step> real = {})
    {
        auto delegate = std::make_unique<AppDelegate>(windows());
        for (std::size_t i = 0; i < AppDelegate::stepCount; ++i) {
            const auto step = static_cast<Step>(i);
            if (std::find(real.begin(), real.end(), step) != real.end()) continue;
            delegate->setStep(step, [&order, step] {
                order << QString::fromLatin1(AppDelegate::stepName(step));
            });
        }
        return delegate;
    }
};

} // namespace

TEST_F(AppDelegateTest, StartUpRunsItsStepsInOrderAndTheLastOnceTheLoopTurns)
{
    QStringList order;
    auto delegate = recordingDelegate(order);
    delegate->start();
    EXPECT_EQ(order.size(), 15);
    EXPECT_FALSE(order.contains("firstWindows"));
    // The launch counters' settings writes wait until the first windows are up.
    EXPECT_FALSE(order.contains("launchCounters"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return order.size() == 17; }, 5000)) << order.size();
    EXPECT_EQ(order, (QStringList{"quickAccessText", "historyRecognizer", "recognizeMissing",
                                  "whatsNewFirstLaunch", "migrateLanguage", "hotKeyDefaults",
                                  "routerDefaults", "engineDefaults", "keepReachable", "presence",
                                  "appearance", "hotKeys", "screenshotWatcher", "onboarding",
                                  "pruneHistory", "firstWindows", "launchCounters"}));
}

TEST_F(AppDelegateTest, StartUpDeclaresTheBuildThatDocumentsNameAsTheirGenerator)
{
    qApp->setProperty("buildVersion", QVariant());
    QStringList order;
    recordingDelegate(order)->start();
    EXPECT_TRUE(SnapkinDocument::generator().endsWith(
        QStringLiteral(" (%1)").arg(platform::BuildInfo::buildNumber())))
        << SnapkinDocument::generator().toStdString();
}

TEST_F(AppDelegateTest, AReplacedStepRunsInItsPlaceAndAnEmptyOneIsLeftOut)
{
    QStringList order;
    auto delegate = std::make_unique<AppDelegate>(windows());
    delegate->setStep(Step::onboarding, [&order] { order << "welcome window"; });
    for (std::size_t i = 0; i < AppDelegate::stepCount; ++i)
        if (static_cast<Step>(i) != Step::onboarding) delegate->setStep(static_cast<Step>(i), {});
    delegate->start();
    QCoreApplication::processEvents();
    EXPECT_EQ(order, QStringList{"welcome window"});
    // One step on its own runs its work once more, and nothing else.
    delegate->runStep(Step::onboarding);
    delegate->runStep(Step::firstWindows);
    EXPECT_EQ(order, (QStringList{"welcome window", "welcome window"}));
}

// Where the application shows itself after start-up, for each stored presence and tray host.
TEST_F(AppDelegateTest, PresenceDecidesOnTheTrayIconAndAFirstWindow)
{
    struct Case {
        std::optional<bool> dock, tray;
        bool trayHost;
        bool trayShown, windowOpened, trayStoredOn;
    };
    const Case cases[] = {
        // Nothing stored: the tray only, no window.
        {std::nullopt, std::nullopt, true, true, false, false},
        {false, true, true, true, false, false},
        {true, false, true, false, true, false},
        {true, true, true, true, true, false},
        // Both off: the tray is turned back on, so the application can be reached.
        {false, false, true, true, false, true},
        // Without a tray host the application keeps a window whatever is stored.
        {false, true, false, false, true, false},
        {false, false, false, false, true, true},
    };
    for (const Case& c : cases) {
        const std::string label = "dock " + std::to_string(c.dock.value_or(-1)) + " tray " +
                                  std::to_string(c.tray.value_or(-1)) + " host " +
                                  std::to_string(c.trayHost);
        settings().removeAllStored();
        if (c.dock) settings().setValue("showInDock", *c.dock);
        if (c.tray) settings().setValue("showInMenuBar", *c.tray);
        AppPresence::setTrayAvailableForTesting(c.trayHost);

        QStringList order;
        auto delegate =
            recordingDelegate(order, {Step::keepReachable, Step::presence, Step::firstWindows});
        delegate->start();
        QCoreApplication::processEvents();

        EXPECT_EQ(delegate->tray() && delegate->tray()->isVisible(), c.trayShown) << label;
        // A taskbar application opens on its start window, not on an editor.
        EXPECT_EQ(shell.startWindow.isVisible(), c.windowOpened) << label;
        EXPECT_TRUE(shell.editors.pages().isEmpty()) << label;
        if (StartWindow* start = shell.startWindow.window()) start->hide();
        EXPECT_EQ(settings().hasStoredValue("showInMenuBar") &&
                      settings().boolForKey("showInMenuBar"),
                  c.trayStoredOn || c.tray.value_or(false))
            << label;
        apptest::closeAllEditors(shell.editors);
    }
}

// On a first start without a tray the welcome window opens before the start window the
// application keeps open, and must not end up hidden behind it.
TEST_F(AppDelegateTest, OnAFirstStartTheWelcomeWindowStaysInFrontOfTheStartWindow)
{
    AppPresence::setTrayAvailableForTesting(0);
    QStringList order;
    auto delegate = recordingDelegate(
        order, {Step::keepReachable, Step::presence, Step::onboarding, Step::firstWindows});
    delegate->start();
    QTest::qWait(0);
    QCoreApplication::processEvents();

    OnboardingWindow* welcome = shell.welcome.window();
    ASSERT_NE(welcome, nullptr);
    EXPECT_TRUE(welcome->isVisible());
    ASSERT_TRUE(shell.startWindow.isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(welcome, 1000));
    EXPECT_EQ(QApplication::activeWindow(), welcome);
    welcome->hide();
    shell.startWindow.window()->hide();
}

TEST_F(AppDelegateTest, TheTrayFollowsItsSettingWhileRunning)
{
    AppPresence::setTrayAvailableForTesting(1);
    QStringList order;
    auto delegate = recordingDelegate(order, {Step::presence});
    delegate->start();
    ASSERT_NE(delegate->tray(), nullptr);
    EXPECT_TRUE(delegate->tray()->isVisible());
    settings().setValue("showInMenuBar", false);
    EXPECT_FALSE(delegate->tray()->isVisible());
    settings().setValue("showInMenuBar", true);
    EXPECT_TRUE(delegate->tray()->isVisible());
}

TEST_F(AppDelegateTest, FilesNamedAtLaunchStandInForTheBlankCanvas)
{
    settings().setValue("showInDock", true);
    QTemporaryDir dir;
    const QString png = dir.filePath("shot.png");
    ASSERT_TRUE(launchImage().save(png));

    QStringList order;
    auto delegate = recordingDelegate(order, {Step::firstWindows});
    delegate->setLaunchFiles({png});
    delegate->start();
    QCoreApplication::processEvents();
    const auto pages = shell.editors.pages();
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages.first()->title().startsWith("shot.png"));
}

// With files named at launch, the tray icon waits for the first window's paint; when none of
// them opens it comes at once, and the application stays in it.
TEST_F(AppDelegateTest, WithFilesNamedAtLaunchTheTrayIconFollowsTheFirstPaint)
{
    AppPresence::setTrayAvailableForTesting(1);
    settings().setValue("showInMenuBar", true);
    QTemporaryDir dir;
    const QString png = dir.filePath("shot.png");
    ASSERT_TRUE(launchImage().save(png));

    QStringList order;
    auto delegate = recordingDelegate(order, {Step::presence, Step::firstWindows});
    delegate->setLaunchFiles({png});
    delegate->start();
    EXPECT_EQ(delegate->tray(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.contains("launchCounters"); }, 5000));
    ASSERT_NE(delegate->tray(), nullptr);
    EXPECT_TRUE(delegate->tray()->isVisible());
    EXPECT_EQ(shell.editors.pages().size(), 1);
    apptest::closeAllEditors(shell.editors);
    delegate.reset();

    AlertAnswerer answerer({"OK"}); // the missing file's alert
    auto unopened = recordingDelegate(order, {Step::presence, Step::firstWindows});
    unopened->setLaunchFiles({dir.filePath("missing.png")});
    unopened->start();
    EXPECT_EQ(unopened->tray(), nullptr);
    QCoreApplication::processEvents();
    ASSERT_NE(unopened->tray(), nullptr);
    EXPECT_TRUE(unopened->tray()->isVisible());
    EXPECT_TRUE(shell.editors.pages().isEmpty());
}

// The recent documents' writes wait until the first window has painted, and a run that ends
// before that still records what it opened.
TEST_F(AppDelegateTest, FilesOpenedAtLaunchBecomeRecentOnceTheFirstWindowHasPainted)
{
    QTemporaryDir dir;
    const QImage image = launchImage();
    const QString first = dir.filePath("first.png"), second = dir.filePath("second.png");
    ASSERT_TRUE(image.save(first) && image.save(second));
    const auto recent = [] { return settings().get(keys::recentDocuments); };

    QStringList order;
    auto delegate = recordingDelegate(order, {Step::firstWindows});
    delegate->setLaunchFiles({first});
    delegate->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.contains("launchCounters"); }, 5000));
    EXPECT_EQ(recent(), QStringList{first});
    apptest::closeAllEditors(shell.editors);
    delegate.reset();

    // Ended before its window painted: the file is recorded as it goes.
    auto early = recordingDelegate(order, {Step::firstWindows});
    early->setLaunchFiles({second});
    early->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shell.editors.pages().isEmpty(); }, 5000));
    EXPECT_EQ(recent(), QStringList{first});
    early.reset();
    EXPECT_EQ(recent(), (QStringList{second, first}));
}

TEST_F(AppDelegateTest, AReopenBringsTheNewestEditorBackOrOpensABlankCanvas)
{
    AppDelegate delegate(windows());
    auto& editors = shell.editors;
    delegate.reopen();
    ASSERT_EQ(editors.pages().size(), 1);
    delegate.reopen();
    EXPECT_EQ(editors.pages().size(), 1);

    QTemporaryDir dir;
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString a = dir.filePath("a.png"), b = dir.filePath("b.png");
    ASSERT_TRUE(image.save(a) && image.save(b));
    delegate.openFiles({a, dir.filePath("missing.png"), b});
    AlertAnswerer answerer({"OK"}); // the missing file's alert
    EXPECT_TRUE(QTest::qWaitFor([&] { return editors.pages().size() == 3; }, 5000))
        << editors.pages().size() << " pages";
    EXPECT_EQ(answerer.seen().size(), 1);
}

// With a window of ours on screen a reopen brings it forward, restored when minimised, and opens
// nothing.
TEST_F(AppDelegateTest, AReopenWithAWindowShowingBringsItForwardAndOpensNothing)
{
    AppDelegate delegate(windows());
    auto& editors = shell.editors;
    auto& start = shell.startWindow;
    start.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(start.window()));
    start.window()->showMinimized();
    delegate.reopen();
    QCoreApplication::processEvents();
    EXPECT_TRUE(editors.pages().isEmpty());
    EXPECT_TRUE(start.isVisible());
    EXPECT_FALSE(start.window()->isMinimized());

    // Any window of ours counts, a settings window as much as the start window.
    start.window()->hide();
    QWidget settingsLike;
    settingsLike.setWindowTitle("Settings");
    settingsLike.resize(300, 200);
    settingsLike.show();
    settingsLike.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&settingsLike));
    settingsLike.showMinimized();
    delegate.reopen();
    QCoreApplication::processEvents();
    EXPECT_TRUE(editors.pages().isEmpty());
    EXPECT_FALSE(settingsLike.isMinimized());
    EXPECT_FALSE(start.isVisible());
}

// Quitting asks each unsaved editor; "Cancel" on a later one stops the quit and leaves an
// earlier "Don't Save" editor still asking when it closes.
TEST_F(AppDelegateTest, ACancelledQuitGivesEarlierDiscardedEditorsTheirChangesBack)
{
    auto& editors = shell.editors;
    AnnotationStore& first = editors.openBlank();
    AnnotationStore& second = editors.openBlank();
    AnnotationStore& clean = editors.openBlank();
    first.setHasUnsavedChanges(true);
    second.setHasUnsavedChanges(true);

    {
        AlertAnswerer answerer({"Don't Save", "Cancel"});
        EXPECT_FALSE(AppDelegate::requestQuit(shell.editors));
        EXPECT_EQ(answerer.seen().size(), 2); // the clean editor is not asked
    }
    EXPECT_TRUE(first.hasUnsavedChanges());
    EXPECT_TRUE(second.hasUnsavedChanges());
    EXPECT_FALSE(clean.hasUnsavedChanges());
    EXPECT_EQ(editors.pages().size(), 3);

    // Closing the first editor asks again.
    AlertAnswerer answerer({"Cancel"});
    editors.pageOf(first)->window()->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(answerer.seen().size(), 1);
}

TEST_F(AppDelegateTest, CancelOnTheFirstEditorAsksNoOther)
{
    auto& editors = shell.editors;
    editors.openBlank().setHasUnsavedChanges(true);
    editors.openBlank().setHasUnsavedChanges(true);
    AlertAnswerer answerer({"Cancel"});
    EXPECT_FALSE(AppDelegate::requestQuit(shell.editors));
    EXPECT_EQ(answerer.seen().size(), 1);
}

TEST(AppAppearanceTest, LightAndDarkUseFusionWithTheirPalettesAndAnythingElseTheDesktops)
{
    const QString desktopStyle = QApplication::style()->name();
    const QColor desktopWindow = QApplication::palette().color(QPalette::Window);
    AppAppearance::apply("dark");
    // Fusion, under the proxy that outlines check boxes and radio buttons.
    const QStyle* style = QApplication::style();
    if (const auto* proxy = qobject_cast<const QProxyStyle*>(style)) style = proxy->baseStyle();
    EXPECT_EQ(style->name().toLower(), "fusion");
    EXPECT_LT(QApplication::palette().color(QPalette::Window).lightness(), 80);
    AppAppearance::apply("light");
    EXPECT_GT(QApplication::palette().color(QPalette::Window).lightness(), 200);
    AppAppearance::apply("sepia"); // not a known appearance: the desktop's, as "system"
    EXPECT_EQ(QApplication::style()->name(), desktopStyle);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), desktopWindow);
}

// Editor windows get the application's menus while its delegate runs; later windows do not
// reach for menus that went with it.
TEST_F(AppDelegateTest, EditorWindowsGetTheMenusOnlyWhileTheDelegateLives)
{
    auto& editors = shell.editors;
    const auto newWindow = [&editors] {
        AnnotationStore& store = editors.openBlank();
        return qobject_cast<QMainWindow*>(editors.pageOf(store)->window());
    };
    {
        QStringList order;
        auto delegate = recordingDelegate(order);
        delegate->start();
        QMainWindow* window = newWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_NE(qobject_cast<QMenuBar*>(window->menuWidget()), nullptr);
        apptest::closeAllEditors(shell.editors);
    }
    QMainWindow* window = newWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->menuWidget(), nullptr);
}

// What saves cut short by a kill left in the save folder is gone after the next start; the
// temporary of a save still under way (another instance's) and the user's own files stay.
TEST_F(AppDelegateTest, StartUpSweepsTheSaveFolderOfWhatKilledSavesLeft)
{
    QTemporaryDir folder;
    const QString killed =
        folder.filePath(".Screenshot 2026-12-07 at 07.59.32.png.tmp-0123456789ab");
    const QString underWay =
        folder.filePath(".Screenshot 2026-12-07 at 08.00.00.png.tmp-ba9876543210");
    const QString users = folder.filePath(".hidden.png");
    for (const QString& path : {killed, underWay})
        ASSERT_TRUE(snapkin::test::leaveKilledFileWrite(folder.path(), QFileInfo(path).fileName(),
                                                        QByteArray(64 * 1024, 'x')));
    {
        QFile file(users);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(64 * 1024, 'x'));
    }
    const int held = ::open(QFile::encodeName(underWay).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    shell.capture.router().setDefaultSaveFolder(folder.path());

    auto delegate = std::make_unique<AppDelegate>(windows());
    delegate->runStep(Step::routerDefaults);
    QThreadPool::globalInstance()->waitForDone();
    ::close(held);
    EXPECT_FALSE(QFileInfo::exists(killed));
    EXPECT_TRUE(QFileInfo::exists(underWay));
    EXPECT_TRUE(QFileInfo::exists(users));
}

// SIGTERM while the history draws an edited capture's preview: the run ends once the edits are
// written, without waiting for the drawing, which the next start does again.
TEST_F(AppDelegateTest, TerminatingEndsTheRunWithoutWaitingForAPreviewBeingDrawn)
{
    std::atomic<bool> drawing{false};
    std::atomic<bool> toldToStop{false};
    shell.history.setPreviewFlattener(
        [&](const FlattenService::Input&, const std::atomic<bool>& cancelled) {
            drawing = true;
            const QDeadlineTimer limit(60000);
            while (!cancelled && !limit.hasExpired())
                QThread::msleep(1);
            toldToStop = cancelled.load();
            return std::optional<QImage>(launchImage());
        });
    AnnotationStore edited(platform::BaseImage(launchImage()), settings());
    edited.setAnnotations(
        {Annotation{.kind = AnnotationKind::rectangle, .p1 = {10, 10}, .p2 = {50, 40}}});
    shell.history.track(edited, "Edited", std::nullopt, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return drawing.load(); }, 10000));
    const QUuid id = shell.history.entries().first().id;

    auto delegate = std::make_unique<AppDelegate>(windows());
    // What the history does when the application's loop ends, as the start-up arranges it.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &shell.history,
                     [this] { shell.history.finishForQuit(); });
    QTimer::singleShot(0, delegate.get(), [&] { delegate->terminate(); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(toldToStop);
    const auto written = SnapkinDocument::read(shell.history.files().packagePath(id));
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(written->document.annotations, edited.annotations());
}
