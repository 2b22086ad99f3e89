// The writers on a full disk: the old file stays byte for byte, no temporary is left, and the
// failure is reported. The disk is full for one folder in a child process of this test program,
// into which a shim is preloaded that makes write() and fsync() there fail with ENOSPC, as the
// kernel does when no room is left.

#include "HistorySupport.h"
#include "TestPaths.h"
#include "support/ToolRunner.h"

#include "editor/RecentDocuments.h"
#include "history/CaptureHistory.h"
#include "history/HistoryStore.h"
#include "model/SnapkinDocument.h"
#include "platform/Defaults.h"
#include "platform/NewFileWrite.h"

#include "support/FullDiskShim.h"
#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

using snapkin::testing::fullDiskEnvironment;
using snapkin::testing::fullDiskShim;
using snapkin::testing::fullDiskVariable;
constexpr bool sanitized = snapkin::testing::fullDiskShimUnusable;
const QString shim = fullDiskShim();

const QByteArray oldSettings = "{\n    \"kept\": \"old\"\n}\n";
const QByteArray oldIndex = R"({"entries":[],"version":1})";
const QByteArray oldXbel = R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0" xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks" xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info">
 <bookmark href="file:///home/someone/report.odt" added="2026-01-01T10:00:00Z" modified="2026-01-01T10:00:00Z" visited="2026-01-01T10:00:00Z"/>
</xbel>
)";

// What the child does, with the disk full at `folder`: every write must report its failure.
void writeOnFullDisk(const QString& folder)
{
    platform::Defaults settings(folder + "/settings.json");
    QSignalSpy reported(&settings, &platform::Defaults::saveFailed);
    EXPECT_EQ(settings.stringForKey("kept"), "old");
    EXPECT_FALSE(settings.setValue("kept", "new"));
    EXPECT_EQ(reported.count(), 1);

    const HistoryStore history(folder + "/History");
    EXPECT_EQ(history.save({snapkin::testing::entry(QUuid::createUuid(), "Shot",
                                                    QDateTime::currentDateTimeUtc())}),
              std::unexpected(HistoryStore::Error::writeFailed));
    {
        // The application hears of it (and says so once).
        CaptureHistory capture(folder + "/History", settings);
        QSignalSpy failed(&capture, &CaptureHistory::writeFailed);
        capture.removeAll();
        EXPECT_TRUE(failed.wait(10000));
    }

    EXPECT_FALSE(RecentDocuments::addToRecentlyUsed(folder + "/recently-used.xbel",
                                                    "/home/someone/new.png"));

    QImage pixels(30, 20, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::red);
    const auto package = SnapkinDocument::wrapper(AnnotationDocument{},
                                                  *SnapkinDocument::pngData(pixels), std::nullopt);
    ASSERT_TRUE(package.has_value());
    EXPECT_FALSE(SnapkinDocument::write(*package, folder + "/Shot.snapkin").has_value());

    EXPECT_FALSE(platform::writeNewFile(
                     folder, [](int n) { return QStringLiteral("Screenshot %1.png").arg(n); },
                     QByteArray(1024, 'x'))
                     .has_value());
}

// The hidden entries of `folder`: what a write left behind.
QStringList hiddenEntries(const QString& folder)
{
    return QDir(folder)
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .filter(QRegularExpression("^\\."));
}

} // namespace

TEST(FullDisk, EveryWriterKeepsTheOldFileAndReportsTheFailure)
{
    if (const QString folder = qEnvironmentVariable(fullDiskVariable); !folder.isEmpty()) {
        writeOnFullDisk(folder);
        return;
    }
    if (sanitized) GTEST_SKIP() << "a sanitizer's runtime cannot have a library preloaded";
    ASSERT_TRUE(QFileInfo::exists(shim));

    QTemporaryDir dir;
    const QString folder = dir.path();
    snapkin::testing::writeFile(folder + "/settings.json", oldSettings);
    QDir().mkpath(folder + "/History");
    snapkin::testing::writeFile(folder + "/History/index.json", oldIndex);
    snapkin::testing::writeFile(folder + "/recently-used.xbel", oldXbel);
    QDir().mkpath(folder + "/Shot.snapkin");
    snapkin::testing::writeFile(folder + "/Shot.snapkin/document.json", "old document");

    QProcess child;
    child.setProcessEnvironment(fullDiskEnvironment(folder));
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=FullDisk.EveryWriterKeepsTheOldFileAndReportsTheFailure"});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << "a write on the full disk was reported as done";

    EXPECT_EQ(snapkin::testing::readFile(folder + "/settings.json"), oldSettings);
    EXPECT_EQ(snapkin::testing::readFile(folder + "/History/index.json"), oldIndex);
    EXPECT_EQ(snapkin::testing::readFile(folder + "/recently-used.xbel"), oldXbel);
    EXPECT_EQ(snapkin::testing::readFile(folder + "/Shot.snapkin/document.json"), "old document");
    EXPECT_FALSE(QFileInfo::exists(folder + "/Screenshot 1.png"));
    EXPECT_EQ(hiddenEntries(folder), QStringList());
    EXPECT_EQ(hiddenEntries(folder + "/History"), QStringList());
}

TEST(FullDisk, RenderToolExitsWithAnErrorAndKeepsTheOldImage)
{
    if (!qEnvironmentVariableIsEmpty(fullDiskVariable)) GTEST_SKIP();
    if (sanitized) GTEST_SKIP() << "a sanitizer's runtime cannot have a library preloaded";
    ASSERT_TRUE(tools::toolBuilt("snapkin-render"));

    QTemporaryDir dir;
    const QString out = dir.filePath("export.png");
    const QByteArray old(1024, 'o'); // small enough to sit in a buffer until the very end
    snapkin::testing::writeFile(out, old);

    QProcess render;
    render.setProcessEnvironment(fullDiskEnvironment(dir.path()));
    render.start(tools::toolPath("snapkin-render"),
                 {QStringLiteral(SNAPKIN_TEST_DATA "/package-basic.snapkin"), out});
    ASSERT_TRUE(render.waitForFinished(60000));
    EXPECT_EQ(render.exitCode(), 1) << render.readAllStandardOutput().toStdString();
    EXPECT_TRUE(render.readAllStandardError().contains("export.png"));
    EXPECT_EQ(snapkin::testing::readFile(out), old);
    EXPECT_EQ(hiddenEntries(dir.path()), QStringList());
}
