#include "../capture/X11Support.h"
#include "TestPaths.h"
#include "support/ClipboardOwner.h"

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;

TEST(AppClipboard, ACaptureHotKeyStillCapturesWhileAStoppedClipboardOwnerIsWaitedFor)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("held.png"));
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(file));
    test::ClipboardOwner owner(file, QStringLiteral("image/png"));
    ASSERT_TRUE(owner.holdsClipboard());
    owner.stop();

    test::ChildProcess app(QStringLiteral(SNAPKIN_BUILD_DIR "/snapkin"));
    // Without a tray the application opens its start window, whose menus hold New from
    // Clipboard.
    const QString canvas = test::findVisibleWindow(QStringLiteral("^Start Window$"));
    ASSERT_FALSE(canvas.isEmpty());
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("windowactivate"), QStringLiteral("--sync"), canvas});
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("key"), QStringLiteral("ctrl+shift+n")});
    QElapsedTimer clock;
    clock.start();
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("key"), QStringLiteral("ctrl+alt+3")});
    // A paste that held the GUI thread asked the stopped owner for every format in turn, 5 s
    // each, so the capture came minutes later. Now it comes at once; the bound leaves a loaded
    // machine room to start the capture and still tells the two apart.
    EXPECT_FALSE(test::findVisibleWindow(QString::fromUtf8("^Untitled — 1920 × 1080 px"),
                                         QStringLiteral("--name"), 15000)
                     .isEmpty());
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_EQ(app.process.state(), QProcess::Running);
}
