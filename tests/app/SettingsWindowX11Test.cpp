#include "../capture/X11Support.h"
#include "TestPaths.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

QString appPath()
{
    return QStringLiteral(SNAPKIN_BUILD_DIR "/snapkin");
}

using test::commandOutput;

// The window's client area on the screen, as the server has it.
QRect windowGeometry(const QString& id)
{
    const QString info = commandOutput("xwininfo", {"-id", id});
    const auto value = [&](const char* name) {
        const auto match =
            QRegularExpression(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1String(name)))
                .match(info);
        return match.hasMatch() ? std::optional<int>(match.captured(1).toInt()) : std::nullopt;
    };
    const auto x = value("Absolute upper-left X"), y = value("Absolute upper-left Y");
    const auto w = value("Width"), h = value("Height");
    if (!x || !y || !w || !h) return {};
    return {*x, *y, *w, *h};
}

// For failure messages.
std::string text(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .toStdString();
}

// The Settings window, opened from a window with the menus with Ctrl+Comma.
QString openSettings(const QString& canvas)
{
    QString settings;
    for (int attempt = 0; attempt < 3 && settings.isEmpty(); ++attempt) {
        commandOutput("xdotool", {"windowactivate", "--sync", canvas});
        QProcess::execute("xdotool", {"key", "--clearmodifiers", "ctrl+comma"});
        settings = test::findVisibleWindow("^Settings$", "--name", 5000);
    }
    return settings;
}

} // namespace

TEST(SettingsWindow, OpensCentredAndKeepsItsPlaceThroughACapture)
{
    ASSERT_TRUE(QFileInfo(appPath()).isExecutable());
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    test::ChildProcess app(appPath());
    // Without a tray the application opens its start window, which has the menus.
    const QString canvas = test::findVisibleWindow(QString::fromUtf8("^Start Window$"));
    ASSERT_FALSE(canvas.isEmpty());

    // First opened: centred on the screen under the pointer (the window manager's title bar
    // may push it down a little).
    QProcess::execute("xdotool", {"mousemove", "1700", "200"});
    const QString settings = openSettings(canvas);
    ASSERT_FALSE(settings.isEmpty());
    QTest::qWait(300);
    const QRect first = windowGeometry(settings);
    ASSERT_TRUE(first.isValid());
    EXPECT_LE(std::abs(first.center().x() - 960), 4) << first.center().x();
    EXPECT_LE(std::abs(first.center().y() - 540), 30) << first.center().y();

    // Moved by the user, it stays there while a capture takes the application's windows away
    // and brings them back.
    QProcess::execute("xdotool", {"windowmove", "--sync", settings, "230", "140"});
    ASSERT_TRUE(
        test::waitUntil([&] { return windowGeometry(settings).topLeft() != first.topLeft(); }));
    QTest::qWait(300);
    const QRect moved = windowGeometry(settings);
    const auto visible = [](const QString& pattern) {
        const QString ids =
            commandOutput("xdotool", {"search", "--onlyvisible", "--name", pattern});
        return ids.isEmpty() ? 0 : int(ids.split('\n').size());
    };
    for (int capture = 1; capture <= 2; ++capture) {
        SCOPED_TRACE(capture);
        QProcess::execute("xdotool", {"key", "ctrl+alt+3"});
        // The capture's editor has opened: the windows the capture took away are back.
        ASSERT_TRUE(test::waitUntil(
            [&] { return visible(QString::fromUtf8("1920 × 1080 px")) == capture; }, 15000));
        ASSERT_TRUE(test::waitUntil([&] { return visible("^Settings$") == 1; }));
        EXPECT_TRUE(test::waitUntil([&] { return windowGeometry(settings) == moved; }, 5000))
            << text(windowGeometry(settings)) << " instead of " << text(moved);
    }

    // Closed and opened again, it comes back where the user left it.
    commandOutput("xdotool", {"windowactivate", "--sync", settings});
    QProcess::execute("xdotool", {"key", "--clearmodifiers", "alt+F4"});
    ASSERT_TRUE(test::waitUntil([&] {
        return commandOutput("xdotool", {"search", "--onlyvisible", "--name", "^Settings$"})
            .isEmpty();
    }));
    // The start window made way for the first editor; the editor has the same menus.
    const QString again =
        openSettings(test::findVisibleWindow(QString::fromUtf8("1920 × 1080 px")));
    ASSERT_FALSE(again.isEmpty());
    EXPECT_TRUE(test::waitUntil([&] { return windowGeometry(again) == moved; }, 5000))
        << text(windowGeometry(again)) << " instead of " << text(moved);
}
