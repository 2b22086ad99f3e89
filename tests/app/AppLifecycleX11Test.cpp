// The built application's life on a real X server without a system tray: a second start while
// its start window shows, closing one window while another of its windows stays, SIGTERM, and
// what an earlier run left in the private folder.
#include "../capture/X11Support.h"
#include "AppTestSupport.h"
#include "TestPaths.h"

#include "history/HistoryStore.h"
#include "model/SnapkinDocument.h"
#include "platform/ScreenCapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <unistd.h>

using namespace snapkin;

namespace {

QString appPath()
{
    return QStringLiteral(SNAPKIN_BUILD_DIR "/snapkin");
}

void xdotool(const QStringList& arguments)
{
    QProcess::execute("xdotool", arguments);
}

QString activeWindow()
{
    return test::commandOutput("xdotool", {"getactivewindow"});
}

// The visible top-level windows of the application: their instance name is the program's
// (this test's own windows are named after the test program).
QStringList visibleWindowsOfTheApp()
{
    const QString found =
        test::commandOutput("xdotool", {"search", "--onlyvisible", "--classname", "^snapkin$"});
    return found.isEmpty() ? QStringList{} : found.split('\n');
}

// Closes `window` as the user does: it comes to the front and gets the window manager's Alt+F4.
void closeWithTheKeyboard(const QString& window)
{
    xdotool({"windowactivate", "--sync", window});
    xdotool({"key", "--clearmodifiers", "alt+F4"});
}

// The window at the top of the window manager's stacking order, as xdotool names windows.
QString topmostWindow()
{
    const QString stacking =
        test::commandOutput("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"}).section('#', 1);
    bool ok = false;
    const qulonglong id = stacking.split(',').last().trimmed().toULongLong(&ok, 16);
    return ok ? QString::number(id) : QString();
}

// A drag with the real pointer, in a few steps so that the motion is seen.
void drag(QPoint from, QPoint to)
{
    const auto point = [](QPoint p) {
        return QStringList{QString::number(p.x()), QString::number(p.y())};
    };
    xdotool(QStringList{"mousemove", "--sync"} + point(from));
    xdotool({"mousedown", "1"});
    for (int i = 1; i <= 6; ++i) {
        xdotool(QStringList{"mousemove", "--sync"} + point(from + (to - from) * i / 6));
        QTest::qWait(30);
    }
    xdotool({"mouseup", "1"});
}

// The application with its own settings, data and runtime folders, showing in the taskbar (with
// no tray on the display it would anyway) and, unless it is a first start, with no welcome or
// What's New window at start.
class Snapkin {
public:
    explicit Snapkin(bool firstStart = false)
    {
        QDir().mkpath(m_home.filePath("config/snapkin"));
        QDir().mkpath(runtime());
        QFile::setPermissions(runtime(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner);
        QFile settings(m_home.filePath("config/snapkin/settings.json"));
        if (settings.open(QIODevice::WriteOnly))
            settings.write(firstStart ? R"({"showInDock": true, "showInMenuBar": false})"
                                      : R"({"showInDock": true, "showInMenuBar": false,
                "didShowOnboarding": true, "showOnboardingOnLaunch": false,
                "whatsNew2Shown": true})");
    }
    ~Snapkin()
    {
        for (QProcess* process : {&m_first, &m_second}) {
            if (process->state() == QProcess::NotRunning) continue;
            process->kill();
            process->waitForFinished(5000);
        }
    }

    QString runtime() const { return m_home.filePath("runtime"); }

    // Starts the application; true once it shows its start window, whose id is then `start`.
    bool launch()
    {
        run(m_first);
        start = test::findVisibleWindow("^Start Window$");
        return !start.isEmpty();
    }
    // A second start without files; its exit status (0: handed over to the first).
    int launchAgain()
    {
        run(m_second);
        if (!m_second.waitForFinished(15000)) return -1;
        return m_second.exitStatus() == QProcess::NormalExit ? m_second.exitCode() : -1;
    }
    // Starts the application with files to open, which it opens in editors of their own.
    void open(const QStringList& files) { run(m_first, files); }
    QProcess& process() { return m_first; }
    QString home() const { return m_home.path(); }

    QString start;

private:
    void run(QProcess& process, const QStringList& files = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        env.insert("XDG_DATA_HOME", m_home.filePath("data"));
        env.insert("XDG_CACHE_HOME", m_home.filePath("cache"));
        env.insert("XDG_RUNTIME_DIR", runtime());
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(appPath(), files);
    }

    QTemporaryDir m_home;
    QProcess m_first;
    QProcess m_second;
};

} // namespace

// A second start while the start window shows brings that window forward and opens nothing.
TEST(AppLifecycle, ASecondStartWithTheStartWindowShowingLeavesExactlyThatWindow)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    Snapkin app;
    ASSERT_TRUE(app.launch());
    // Another program's window in front.
    const QRect screen(0, 0, 1920, 1080);
    test::ColorWindow other("Other", QColor(40, 40, 200), screen.adjusted(100, 100, -100, -100),
                            false);
    xdotool({"windowactivate", "--sync", QString::number(other.xid())});
    ASSERT_TRUE(test::waitUntil([&] { return activeWindow() == QString::number(other.xid()); }));

    EXPECT_EQ(app.launchAgain(), 0);
    // The first instance has answered once its start window is the active one again.
    EXPECT_TRUE(test::waitUntil([&] { return activeWindow() == app.start; }, 15000))
        << activeWindow().toStdString();
    EXPECT_EQ(visibleWindowsOfTheApp(), QStringList{app.start});
}

// On a first start the welcome window opens before the start window, which the window manager
// maps and focuses a moment later: the welcome must end up in front with the keyboard.
TEST(AppLifecycle, OnAFirstStartTheWelcomeWindowEndsInFrontOfTheStartWindow)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    Snapkin app(true);
    ASSERT_TRUE(app.launch());
    const QString welcome = test::findVisibleWindow("^Welcome to Snapkin$");
    ASSERT_FALSE(welcome.isEmpty());
    EXPECT_TRUE(test::waitUntil([&] {
        return activeWindow() == welcome && topmostWindow() == welcome;
    })) << "active "
        << activeWindow().toStdString() << ", top " << topmostWindow().toStdString();
}

// Without a tray, the settings window keeps the application running when the start window
// closes; the application ends with the last of its windows.
TEST(AppLifecycle, WithoutATrayTheApplicationEndsWithItsLastWindowNotItsStartWindow)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    Snapkin app;
    ASSERT_TRUE(app.launch());
    xdotool({"windowactivate", "--sync", app.start});
    xdotool({"key", "--clearmodifiers", "ctrl+comma"});
    const QString settings = test::findVisibleWindow("^Settings$");
    ASSERT_FALSE(settings.isEmpty());

    closeWithTheKeyboard(app.start);
    ASSERT_TRUE(test::waitUntil([&] { return !test::isMapped(app.start.toUInt()); }));
    // Gone it would be within a few turns of its event loop.
    EXPECT_FALSE(app.process().waitForFinished(2000));
    EXPECT_TRUE(test::isMapped(settings.toUInt()));

    closeWithTheKeyboard(settings);
    ASSERT_TRUE(app.process().waitForFinished(15000));
    EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.process().exitCode(), 0);
}

// Drag files an earlier run left behind (a logout ends a run with SIGTERM) are gone after the
// next start, and SIGTERM now ends a run as Quit does.
TEST(AppLifecycle, FilesLeftInThePrivateFolderGoAtStartAndSigtermQuitsCleanly)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    Snapkin app;
    // What a run ended by SIGTERM left: its last drag files and a picture handed to a viewer.
    const QString folder = app.runtime() + "/snapkin";
    QStringList left;
    for (const char* name : {"Drag/00001765090000000000-a1B2c3/Snapkin 2026-12-07 at 07.59.32.png",
                             "Drag/00001765090000000001-d4E5f6/Snapkin 2026-12-07 at 07.59.40.png",
                             "Share/00001765090000000002-g7H8i9/Snapkin.png"}) {
        const QString path = folder + "/" + QString::fromUtf8(name);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        left << path;
    }
    for (const QString& dir : {folder, folder + "/Drag", folder + "/Share"})
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);

    ASSERT_TRUE(app.launch());
    for (const QString& path : left)
        EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();

    const QString socket =
        app.runtime() + "/" +
        QDir(app.runtime()).entryList({"snapkin-*.instance"}, QDir::System).value(0, "none");
    EXPECT_TRUE(QFileInfo::exists(socket)) << socket.toStdString();
    app.process().terminate(); // SIGTERM
    ASSERT_TRUE(app.process().waitForFinished(15000));
    EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.process().exitCode(), 0);
    // A run that ended where it stood would have left its socket behind.
    EXPECT_FALSE(QFileInfo::exists(socket));
}

// A logout or `kill` while an editor holds annotations nobody saved: nobody is there to answer
// "Do you want to save your annotations?", so SIGTERM ends the run without asking, and the
// history, which follows the editor, keeps the annotation.
TEST(AppLifecycle, SigtermEndsARunWithUnsavedAnnotationsWithoutAskingAndTheHistoryKeepsThem)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    Snapkin app;
    const QColor picture(30, 140, 90);
    QImage image(600, 400, QImage::Format_RGB32);
    image.fill(picture);
    const QString png = app.home() + "/shot.png";
    ASSERT_TRUE(image.save(png));

    app.open({png});
    const QString editor = test::findVisibleWindow(
        QRegularExpression::escape(QString::fromUtf8("shot.png — 600 × 400 px")));
    ASSERT_FALSE(editor.isEmpty());
    // The canvas takes input where it is drawn once the window manager has stopped placing it:
    // the same whole picture in two grabs a moment apart.
    xdotool({"windowactivate", "--sync", editor});
    std::optional<QRect> canvas;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            const std::optional<QRect> before = test::rowsShowing(picture);
            QTest::qWait(150);
            canvas = test::rowsShowing(picture);
            return canvas && canvas == before && canvas->width() >= 290 &&
                   canvas->height() >= 190 && activeWindow() == editor;
        },
        30000));
    // An arrow across the middle, with the tool editors start with.
    const QPoint middle = canvas->center();
    drag(middle - QPoint(110, 0), middle + QPoint(110, 0));
    ASSERT_TRUE(test::waitUntil([&] {
        const auto shown = platform::ScreenCapture::grabScreenRect(QRect(middle, QSize(1, 1)));
        return shown && !test::near(test::pixel(*shown, 0, 0), picture, 30);
    }));

    app.process().terminate(); // SIGTERM
    // Generous: the history writes the entry on the way out.
    ASSERT_TRUE(app.process().waitForFinished(30000))
        << "still running; windows: "
        << test::commandOutput("xdotool",
                               {"search", "--onlyvisible", "--name", ".", "getwindowname", "%@"})
               .toStdString();
    EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.process().exitCode(), 0);

    const HistoryStore history(app.home() + "/data/snapkin/History");
    const QList<HistoryEntry> entries = history.load().entries;
    ASSERT_EQ(entries.size(), 1);
    const auto contents = SnapkinDocument::read(history.packagePath(entries.first().id));
    ASSERT_TRUE(contents.has_value());
    EXPECT_EQ(contents->document.annotations.size(), 1);
    EXPECT_EQ(QImage(png).size(), QSize(600, 400)); // the picture itself stays as it was
    EXPECT_EQ(QImage(png).pixelColor(300, 200), picture);
}

namespace {

// Where the window manager shows `window` and how large, as xdotool reports it.
QRect windowGeometry(const QString& window)
{
    QRect frame;
    const QStringList lines =
        test::commandOutput("xdotool", {"getwindowgeometry", "--shell", window}).split('\n');
    for (const QString& line : lines) {
        const QString key = line.section('=', 0, 0);
        const int value = line.section('=', 1).toInt();
        if (key == "X") frame.moveLeft(value);
        if (key == "Y") frame.moveTop(value);
        if (key == "WIDTH") frame.setWidth(value);
        if (key == "HEIGHT") frame.setHeight(value);
    }
    return frame;
}

// Where the editor's drag thumbnail shows a picture of one `color`: the topmost run of that colour
// in `window` (the toolbar lies above the canvas), as wide as the thumbnail's picture.
std::optional<QPoint> thumbnailShowing(QColor color, const QRect& window)
{
    const auto screen = platform::ScreenCapture::grabScreenRect(window);
    if (!screen) return std::nullopt;
    for (int y = 0; y < screen->height(); ++y) {
        int run = 0;
        for (int x = 0; x < screen->width(); ++x) {
            run = test::near(test::pixel(*screen, x, y), color, 12) ? run + 1 : 0;
            // The thumbnail's picture is 36 points wide, cut by its rounded corners.
            if (run == 20) return window.topLeft() + QPoint(x - 8, y + 8);
        }
    }
    return std::nullopt;
}

} // namespace

// A logout or `kill` ends a run with the start window open: its place and size are kept, as
// Quit keeps them, and the next start shows the window there.
TEST(AppLifecycle, SigtermKeepsTheStartWindowsPlaceAndSizeForTheNextStart)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    Snapkin app;
    ASSERT_TRUE(app.launch());
    const QRect first = windowGeometry(app.start);
    ASSERT_FALSE(first.isEmpty());
    // Somewhere else and larger than it opened, by the user's hand.
    const QSize size = first.size() + QSize(97, 61);
    xdotool({"windowsize", "--sync", app.start, QString::number(size.width()),
             QString::number(size.height())});
    xdotool({"windowmove", "--sync", app.start, "37", "29"});
    QRect moved;
    ASSERT_TRUE(test::waitUntil([&] {
        moved = windowGeometry(app.start);
        return moved.size() == size && moved.topLeft() != first.topLeft();
    })) << moved.x()
        << "," << moved.y() << " " << moved.width() << "×" << moved.height();

    app.process().terminate(); // SIGTERM
    ASSERT_TRUE(app.process().waitForFinished(15000));
    ASSERT_EQ(app.process().exitStatus(), QProcess::NormalExit);

    ASSERT_TRUE(app.launch());
    QRect shown;
    EXPECT_TRUE(test::waitUntil([&] {
        shown = windowGeometry(app.start);
        return shown == moved;
    })) << shown.x()
        << "," << shown.y() << " " << shown.width() << "×" << shown.height() << " instead of "
        << moved.x() << "," << moved.y() << " " << moved.width() << "×" << moved.height();
}

// Whichever way a run ends (Quit, or SIGTERM), the folder it kept in the private folder for its
// drag files goes with it, while another running instance's folder stays.
TEST(AppLifecycle, ARunsOwnPrivateFolderGoesWhenItEndsAndAnotherInstancesStays)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    Snapkin app;
    const QString folder = app.runtime() + "/snapkin";
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Another instance, on another display, that runs on: it holds its owner file's lock.
    const QString other = folder + "/4343-runsOn";
    ASSERT_TRUE(QDir().mkpath(other + "/Drag/00001765090000000000-a1B2c3"));
    QFile otherDrag(other + "/Drag/00001765090000000000-a1B2c3/Picture.png");
    ASSERT_TRUE(otherDrag.open(QIODevice::WriteOnly));
    otherDrag.close();
    const int otherOwner =
        ::open(QFile::encodeName(other + "/.owner").constData(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(otherOwner, 0);
    ASSERT_EQ(::flock(otherOwner, LOCK_EX | LOCK_NB), 0);
    const auto entries = [&] {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };

    const QColor picture(200, 40, 160);
    QImage image(500, 300, QImage::Format_RGB32);
    image.fill(picture);
    const QString png = app.home() + "/drag.png";
    ASSERT_TRUE(image.save(png));
    for (const bool sigterm : {false, true}) {
        SCOPED_TRACE(sigterm ? "SIGTERM" : "Quit");
        app.open({png});
        const QString editor = test::findVisibleWindow(
            QRegularExpression::escape(QString::fromUtf8("drag.png — 500 × 300 px")));
        ASSERT_FALSE(editor.isEmpty());
        xdotool({"windowactivate", "--sync", editor});
        std::optional<QPoint> thumbnail;
        ASSERT_TRUE(test::waitUntil(
            [&] {
                thumbnail = thumbnailShowing(picture, windowGeometry(editor));
                return thumbnail.has_value();
            },
            20000));
        // The picture dragged out of the editor and let go: its drag file is written into this
        // run's own folder.
        drag(*thumbnail, *thumbnail + QPoint(160, 220));
        ASSERT_TRUE(test::waitUntil([&] { return entries().size() == 2; }))
            << entries().join(' ').toStdString();

        if (sigterm) {
            app.process().terminate();
        } else {
            xdotool({"windowactivate", "--sync", editor});
            xdotool({"key", "--clearmodifiers", "ctrl+q"});
        }
        ASSERT_TRUE(app.process().waitForFinished(15000));
        EXPECT_EQ(app.process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(entries(), QStringList{"4343-runsOn"});
        EXPECT_TRUE(otherDrag.exists());
    }
    ::close(otherOwner);
}
