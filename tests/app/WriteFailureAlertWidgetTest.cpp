// The settings and the history on a full disk: the user hears of each once per run, in words
// that name the folder and the reason. The disk is full in a child process of this test program,
// into which a shim is preloaded that makes writes under its folder fail with ENOSPC and statvfs
// report no room, as the kernel does when no room is left.

#include "AppShell.h"
#include "TestPaths.h"
#include "support/AlertAnswerer.h"

#include "app/AppDelegate.h"
#include "app/AppPresence.h"
#include "history/CaptureHistory.h"
#include "platform/AppPaths.h"
#include "platform/Defaults.h"

#include "support/FullDiskShim.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>

#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using Step = AppDelegate::Step;

namespace {

const char* childVariable = "SNAPKIN_FULL_DISK_CHILD";

QString inQuotes(const QString& folder)
{
    return QString::fromUtf8("“") + QDir::toNativeSeparators(folder) + QString::fromUtf8("”");
}

// What the child does: every settings and history folder of this run is on the full disk.
void failOnAFullDisk()
{
    // The test program's own folders (settings, data, cache) sit side by side in one.
    const QString configHome = QFileInfo(platform::AppPaths::configDir()).absolutePath();
    const QString folder = QFileInfo(configHome).absolutePath();
    qputenv(snapkin::testing::fullDiskVariable, folder.toUtf8());
    AppPresence::setTrayAvailableForTesting(0);
    AlertAnswerer alerts;

    // A write made at launch, before anyone listens for failures.
    platform::Defaults& settings = platform::Defaults::standard();
    EXPECT_FALSE(settings.setValue(QStringLiteral("newsletterCaptureCount"), 1));

    QStringList steps;
    apptest::Shell shell;
    AppDelegate delegate(shell.services());
    for (std::size_t i = 0; i < AppDelegate::stepCount; ++i) {
        const auto step = static_cast<Step>(i);
        if (step != Step::presence) delegate.setStep(step, [&steps] { steps << "step"; });
    }
    delegate.start();
    QTRY_COMPARE_WITH_TIMEOUT(alerts.seen().size(), 1, 5000);
    EXPECT_EQ(alerts.seen()[0].text, "Couldn't save Snapkin's settings");
    EXPECT_EQ(alerts.seen()[0].informative, "Snapkin couldn't write to " +
                                                inQuotes(platform::AppPaths::configDir()) +
                                                ": the disk is full.");

    // A capture is kept in the history: its package and the index both fail to be written.
    CaptureHistory& history = shell.history;
    QSignalSpy failed(&history, &CaptureHistory::writeFailed);
    QImage pixels(64, 48, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::darkCyan);
    history.record(platform::BaseImage(pixels), QStringLiteral("Shot"));
    ASSERT_TRUE(failed.wait(10000));
    QTRY_COMPARE_WITH_TIMEOUT(alerts.seen().size(), 2, 5000);
    EXPECT_EQ(alerts.seen()[1].text, "Couldn't save the capture history");
    EXPECT_EQ(alerts.seen()[1].informative, "Snapkin couldn't write to " +
                                                inQuotes(history.files().directory()) +
                                                ": the disk is full.");

    // Told once per run: further failures of either kind add nothing.
    EXPECT_FALSE(settings.setValue(QStringLiteral("newsletterCaptureCount"), 2));
    history.record(platform::BaseImage(pixels), QStringLiteral("Shot 2"));
    history.drain();
    QTest::qWait(200);
    EXPECT_EQ(alerts.seen().size(), 2);
}

} // namespace

TEST(WriteFailureAlert, AFullDiskIsToldOncePerRunNamingTheFolderAndTheReason)
{
    if (!qEnvironmentVariableIsEmpty(childVariable)) {
        failOnAFullDisk();
        return;
    }
    if (snapkin::testing::fullDiskShimUnusable)
        GTEST_SKIP() << "a sanitizer's runtime cannot have a library preloaded";
    ASSERT_TRUE(QFileInfo::exists(snapkin::testing::fullDiskShim()));

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_PRELOAD", snapkin::testing::fullDiskShim());
    env.insert(childVariable, "1");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(
        QCoreApplication::applicationFilePath(),
        {"--gtest_filter=WriteFailureAlert.AFullDiskIsToldOncePerRunNamingTheFolderAndTheReason"});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << "the full disk was not told as it should be";
}
