#include "../capture/X11Support.h"
#include "TestPaths.h"
#include "support/AddressSpace.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace snapkin;

// `ulimit -v 700000`: the application starts, shows its start window and captures the screen
// into an editor, whatever the number of processors (the threads it starts for each reserve
// little; tests/platform/PoolThreadsTest measures that).
TEST(AppAddressSpace, StartsAndCapturesWithinSevenHundredThousandKilobytes)
{
    if (test::sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    QProcess app;
    app.setProcessChannelMode(QProcess::ForwardedChannels);
    app.setChildProcessModifier([] {
        const rlim_t limit = rlim_t(700000) * 1024;
        const rlimit address{limit, limit};
        setrlimit(RLIMIT_AS, &address);
    });
    app.start(QStringLiteral(SNAPKIN_BUILD_DIR "/snapkin"), {});
    ASSERT_TRUE(app.waitForStarted(5000));

    // Without a tray the application starts on its start window.
    EXPECT_FALSE(test::findVisibleWindow(QStringLiteral("^Start Window$")).isEmpty());
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("key"), QStringLiteral("ctrl+alt+3")});
    EXPECT_FALSE(
        test::findVisibleWindow(QString::fromUtf8("^Untitled — 1920 × 1080 px")).isEmpty());
    EXPECT_EQ(app.state(), QProcess::Running);
    app.kill();
    app.waitForFinished(5000);
}
