// The built application against small files that declare huge images (scripts/hostile-images),
// under an address-space limit of 1.5 GB as `ulimit -v` sets: as a file on the command line,
// as a document package, dropped into the watched screenshot folder, and pasted with New from
// Clipboard. Each is refused with the too-large message, no editor opens for it, the application
// does not crash, and its peak resident memory stays under 600 MB.
#include "../capture/X11Support.h"
#include "AppTestSupport.h"
#include "TestPaths.h"
#include "support/HostileImages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace snapkin;

namespace {

constexpr const char* tooLarge = "The image is too large to open.";
constexpr qint64 addressSpaceLimit = 1536LL * 1024 * 1024;
constexpr qint64 peakLimitMB = 600;
// Under a sanitizer, whose shadow memory and quarantine are resident too, the peak says
// nothing.
#ifdef SNAPKIN_SANITIZED
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

// The application, started with its own settings folder (holding `settings` as its settings
// file; the welcome window shown already) and the address-space limit; standard error is
// collected.
class App {
public:
    explicit App(const QStringList& arguments,
                 const QByteArray& settings = R"({"didShowOnboarding": true})")
    {
        QDir(m_home.path()).mkpath("config/snapkin");
        QFile file(m_home.filePath("config/snapkin/settings.json"));
        if (file.open(QIODevice::WriteOnly)) file.write(settings);
        file.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        env.insert("XDG_DATA_HOME", m_home.filePath("data"));
        env.insert("XDG_CACHE_HOME", m_home.filePath("cache"));
        m_process.setProcessEnvironment(env);
        m_process.setChildProcessModifier([] {
            if (sanitized) return; // its shadow memory takes more address space than the limit
            const rlimit limit{rlim_t(addressSpaceLimit), rlim_t(addressSpaceLimit)};
            setrlimit(RLIMIT_AS, &limit);
        });
        m_process.start(QStringLiteral(SNAPKIN_BUILD_DIR "/snapkin"), arguments);
        m_process.waitForStarted(5000);
    }
    ~App()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool running() const { return m_process.state() == QProcess::Running; }
    // How often the application has said `text` on standard error.
    int said(const QString& text)
    {
        m_err += QString::fromUtf8(m_process.readAllStandardError());
        return int(m_err.count(text));
    }
    // Waits until it has said `text` `times` times.
    bool waitToSay(const QString& text, int times = 1, int timeoutMs = 15000)
    {
        return test::waitUntil([&] { return said(text) >= times || !running(); }, timeoutMs) &&
               said(text) >= times;
    }
    QString err() const { return m_err; }
    // The peak resident memory so far (VmHWM), in MB; -1 when it can't be read.
    qint64 peakMB() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
        if (!status.open(QIODevice::ReadOnly)) return -1;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ')[0].toLongLong() / 1024;
        }
        return -1;
    }

private:
    QTemporaryDir m_home;
    QProcess m_process;
    QString m_err;
};

// Whether the start window, which a taskbar application opens at launch, is shown.
bool startWindowShown()
{
    return !test::commandOutput("xdotool", {"search", "--onlyvisible", "--name", "^Start Window$"})
                .isEmpty();
}

// Visible editor windows (their titles end in the image's size, "W × H px").
int editorCount()
{
    const QString found = test::commandOutput(
        "xdotool", {"search", "--onlyvisible", "--name", QString::fromUtf8(" × .* px$")});
    return found.isEmpty() ? 0 : int(found.split('\n').size());
}

void saveScreen(const QString& fileName)
{
    QGuiApplication::primaryScreen()->grabWindow(0).save(apptest::picturePath(fileName));
}

QString hostilePath(const QString& name)
{
    return QDir(test::hostileImagesFolder()).filePath(name);
}

void expectRefusedByItself(const QString& path)
{
    SCOPED_TRACE(path.toStdString());
    App app({path});
    ASSERT_TRUE(app.waitToSay(tooLarge)) << qPrintable(app.err());
    EXPECT_TRUE(app.running()) << "no crash";
    EXPECT_EQ(editorCount(), 0);
    const qint64 peak = app.peakMB();
    EXPECT_GT(peak, 0);
    if (!sanitized) EXPECT_LT(peak, peakLimitMB);
}

} // namespace

TEST(HostileImages, EachFileOnTheCommandLineIsRefused)
{
    ASSERT_FALSE(test::hostileImagesFolder().isEmpty()) << "scripts/hostile-images failed";
    test::WindowManager wm;
    for (const QString& name : test::hostileImageNames())
        expectRefusedByItself(hostilePath(name));
}

TEST(HostileImages, EachPackageHoldingOneIsRefused)
{
    ASSERT_FALSE(test::hostileImagesFolder().isEmpty()) << "scripts/hostile-images failed";
    test::WindowManager wm;
    for (const QString& name : test::hostileImageNames())
        expectRefusedByItself(test::hostilePackagePath(name));
    // The alert the last one left, for a look.
    App app({test::hostilePackagePath("png-30000x6000.png")});
    ASSERT_TRUE(app.waitToSay(tooLarge));
    QTest::qWait(500);
    saveScreen("hostile-package-alert.png");
}

// With no user action: a stranger drops them all into the watched folder at once.
TEST(HostileImages, EachDroppedIntoTheWatchedFolderIsRefused)
{
    ASSERT_FALSE(test::hostileImagesFolder().isEmpty()) << "scripts/hostile-images failed";
    test::WindowManager wm;
    QTemporaryDir watched;
    const QByteArray settings = QStringLiteral(
                                    R"({"didShowOnboarding": true, "watchSystemScreenshots": true,
            "systemScreenshotsFolderBookmark": "%1"})")
                                    .arg(watched.path())
                                    .toUtf8();
    App app({}, settings);
    // Without a tray the application opens its start window.
    ASSERT_TRUE(test::waitUntil(startWindowShown, 15000)) << qPrintable(app.err());
    const QStringList names = test::hostileImageNames();
    for (const QString& name : names) {
        const QString as = QFileInfo(name).completeBaseName() + ".png";
        ASSERT_TRUE(QFile::copy(hostilePath(name), QDir(watched.path()).filePath(as)));
    }
    ASSERT_TRUE(app.waitToSay(tooLarge, int(names.size()))) << qPrintable(app.err());
    saveScreen("hostile-watcher-toast.png");
    EXPECT_TRUE(app.running());
    EXPECT_EQ(editorCount(), 0);
    const qint64 peak = app.peakMB();
    EXPECT_GT(peak, 0);
    if (!sanitized) EXPECT_LT(peak, peakLimitMB);
}

// Another program offers each as the clipboard's image (a BMP as image/bmp, the others as
// image/png) and New from Clipboard is chosen in the start window.
TEST(HostileImages, EachOnTheClipboardIsRefused)
{
    ASSERT_FALSE(test::hostileImagesFolder().isEmpty()) << "scripts/hostile-images failed";
    test::WindowManager wm;
    App app({});
    // The start window's menus hold New from Clipboard.
    ASSERT_TRUE(test::waitUntil(startWindowShown, 15000)) << qPrintable(app.err());
    const QString editor = test::findVisibleWindow("^Start Window$");
    int refusals = 0;
    for (const QString& name : test::hostileImageNames()) {
        SCOPED_TRACE(name.toStdString());
        const QString type = name.endsWith(".bmp") ? "image/bmp" : "image/png";
        test::ChildProcess owner(
            "xclip", {"-quiet", "-selection", "clipboard", "-t", type, "-i", hostilePath(name)});
        ASSERT_TRUE(test::waitUntil([&] {
            return test::commandOutput("xclip", {"-selection", "clipboard", "-t", "TARGETS", "-o"})
                .contains(type);
        }));
        // Pressed again should a busy machine have let the first press go astray.
        for (int attempt = 0; attempt < 3 && app.said(tooLarge) == refusals; ++attempt) {
            QProcess::execute("xdotool", {"windowactivate", "--sync", editor});
            QProcess::execute("xdotool", {"key", "--window", editor, "ctrl+shift+n"});
            app.waitToSay(tooLarge, refusals + 1, 5000);
        }
        ASSERT_GT(app.said(tooLarge), refusals) << qPrintable(app.err());
        refusals = app.said(tooLarge);
        EXPECT_TRUE(app.running());
        EXPECT_EQ(editorCount(), 0);
    }
    const qint64 peak = app.peakMB();
    EXPECT_GT(peak, 0);
    if (!sanitized) EXPECT_LT(peak, peakLimitMB);
}
