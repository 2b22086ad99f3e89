// The application from the outside, as a user meets it: a region captured with the global
// shortcut opens in an editor, an arrow drawn there is in what Ctrl+C copies and Ctrl+S saves.

#include "../capture/X11Support.h"
#include "TestPaths.h"

#include "platform/ScreenCapture.h"

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>

using namespace snapkin;

namespace {

const QColor captured(20, 60, 200);

QString run(const QString& program, const QStringList& arguments, QByteArray* raw = nullptr)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(2000);
        return {};
    }
    const QByteArray out = p.readAllStandardOutput();
    if (raw) *raw = out;
    return QString::fromUtf8(out).trimmed();
}

void xdotool(const QStringList& arguments)
{
    run("xdotool", arguments);
}

// The first visible window whose title contains `text`, once it is there.
QString findWindow(const QString& text, int timeoutMs = 15000)
{
    QString id;
    test::waitUntil(
        [&] {
            id = run("xdotool",
                     {"search", "--onlyvisible", "--name", QRegularExpression::escape(text)})
                     .section('\n', 0, 0);
            return !id.isEmpty();
        },
        timeoutMs);
    return id;
}

// A drag with the real pointer, in a few steps so that the motion is seen.
void drag(QPoint from, QPoint to)
{
    auto point = [](QPoint p) {
        return QStringList{QString::number(p.x()), QString::number(p.y())};
    };
    xdotool(QStringList{"mousemove"} + point(from));
    QTest::qWait(100);
    xdotool({"mousedown", "1"});
    QTest::qWait(100);
    for (int i = 1; i <= 6; ++i) {
        xdotool(QStringList{"mousemove"} + point(from + (to - from) * i / 6));
        QTest::qWait(50);
    }
    xdotool({"mouseup", "1"});
}

// The screen, left in the build folder to look at when a step fails.
void keepScreen(const QString& name)
{
    if (const auto screen =
            platform::ScreenCapture::grabScreenRect(QGuiApplication::primaryScreen()->geometry()))
        screen->save(QStringLiteral(SNAPKIN_BUILD_DIR "/%1.png").arg(name));
}

bool isArrowColour(QColor c)
{
    // The default mark colour is a strong pink-red: red high, blue well below it.
    return c.red() > 200 && c.green() < 120 && c.blue() < 160;
}

// The application with a configuration of its own, killed when the test ends.
struct App {
    QTemporaryDir home;
    QProcess process;

    App()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("XDG_CACHE_HOME", home.filePath("cache"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral(SNAPKIN_BUILD_DIR "/snapkin"), {});
        process.waitForStarted(5000);
    }
    ~App()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

} // namespace

TEST(CaptureAnnotateSave, RegionFromTheShortcutIsAnnotatedCopiedAndSaved)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    // Another program's window under the region to capture. The server paints it too, so it
    // is whole again the moment the application's window stops covering it for the capture,
    // however busy this test's own event loop is then.
    auto source =
        std::make_unique<test::ColorWindow>("Source", captured, QRect(100, 100, 700, 500));
    test::setServerBackground(source->xid(), captured);
    ASSERT_TRUE(test::showsColor({450, 350}, captured));

    App app;
    // Without a system tray the application shows a window; by then its shortcuts are held.
    ASSERT_FALSE(findWindow("Start Window").isEmpty());

    // Ctrl+Alt+4, retried while the shortcut may not be registered yet.
    QString overlay;
    for (int attempt = 0; attempt < 3 && overlay.isEmpty(); ++attempt) {
        xdotool({"key", "ctrl+alt+4"});
        overlay = findWindow("Snapkin selection", 5000);
    }
    ASSERT_FALSE(overlay.isEmpty());
    // The overlay takes the pointer once it is mapped and holds the keyboard.
    ASSERT_TRUE(test::waitUntil(
        [&] { return test::isMapped(overlay.toUInt()) && test::keyboardGrabbedElsewhere(); }));
    drag({300, 250}, {600, 450});
    const QString editor = findWindow(QString::fromUtf8("Untitled — 300 × 200 px"));
    ASSERT_FALSE(editor.isEmpty());

    // With the source window gone, the captured colour is what the canvas shows. The canvas
    // takes input where it is drawn once the editor is active and the window manager has
    // stopped placing it: the same whole picture in two grabs a moment apart.
    source.reset();
    xdotool({"windowactivate", "--sync", editor});
    std::optional<QRect> canvas;
    const bool settled = test::waitUntil(
        [&] {
            const std::optional<QRect> before = test::rowsShowing(captured);
            QTest::qWait(150);
            canvas = test::rowsShowing(captured);
            return canvas && canvas == before && canvas->width() >= 290 &&
                   canvas->height() >= 190 && run("xdotool", {"getactivewindow"}) == editor;
        },
        30000);
    if (!settled) keepScreen("capture-annotate-save-canvas");
    ASSERT_TRUE(settled);

    // An arrow across the middle, with the arrow tool editors start with.
    const QPoint middle = canvas->center();
    drag(middle - QPoint(110, 0), middle + QPoint(110, 0));
    const bool drawn = test::waitUntil([&] {
        const auto shown = platform::ScreenCapture::grabScreenRect(QRect(middle, QSize(1, 1)));
        return shown && isArrowColour(test::pixel(*shown, 0, 0));
    });
    keepScreen("capture-annotate-save-arrow");
    ASSERT_TRUE(drawn);

    // Ctrl+C: another program reads a PNG of the annotated capture.
    xdotool({"windowactivate", "--sync", editor});
    xdotool({"key", "ctrl+c"});
    QImage copied;
    EXPECT_TRUE(test::waitUntil(
        [&] {
            QByteArray png;
            run("xclip", {"-selection", "clipboard", "-t", "image/png", "-o"}, &png);
            return copied.loadFromData(png, "PNG");
        },
        10000));
    ASSERT_EQ(copied.size(), QSize(300, 200));
    EXPECT_TRUE(isArrowColour(test::pixel(copied, 150, 100)));
    EXPECT_TRUE(test::near(test::pixel(copied, 20, 20), captured, 6));

    // Ctrl+S: the save dialog takes a path and the file holds the same picture.
    QTemporaryDir out;
    const QString path = out.filePath("annotated.png");
    xdotool({"windowactivate", "--sync", editor});
    xdotool({"key", "ctrl+s"});
    const QString dialog = findWindow("Save");
    if (dialog.isEmpty()) keepScreen("capture-annotate-save-dialog");
    ASSERT_FALSE(dialog.isEmpty());
    xdotool({"windowactivate", "--sync", dialog});
    xdotool({"key", "ctrl+a"});
    xdotool({"type", "--delay", "10", path});
    xdotool({"key", "Return"});
    QImage saved;
    ASSERT_TRUE(test::waitUntil([&] { return saved.load(path); }, 10000));
    EXPECT_EQ(saved.size(), QSize(300, 200));
    EXPECT_TRUE(isArrowColour(test::pixel(saved, 150, 100)));
    EXPECT_TRUE(test::near(test::pixel(saved, 20, 20), captured, 6));
    EXPECT_EQ(app.process.state(), QProcess::Running);
}
