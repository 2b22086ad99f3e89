#include "TestPaths.h"
#include "X11Support.h"

#include "platform/ImageReader.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

QString grabTool()
{
    return QStringLiteral(SNAPKIN_TOOLS_DIR "/snapkin-grab");
}

// Runs the tool with the event loop turning, so the test's own windows keep answering.
int runGrab(const QStringList& arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(grabTool(), arguments);
    if (!p.waitForStarted(10000)) return -1;
    if (!test::waitUntil([&] { return p.state() == QProcess::NotRunning; }, 30000)) return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

TEST(SnapkinGrab, WritesTheScreenAndARegionAsPng)
{
    if (!QFileInfo(grabTool()).isExecutable()) GTEST_SKIP() << "snapkin-grab is not built";
    const QColor color(200, 120, 40);
    test::ColorWindow window("Grab me", color, QRect(500, 400, 300, 200));
    ASSERT_TRUE(test::showsColor({600, 500}, color));
    QTemporaryDir dir;
    const QString full = dir.filePath("full.png");
    const QString region = dir.filePath("region.png");

    ASSERT_EQ(runGrab({full}), 0);
    ASSERT_EQ(runGrab({region, "--region", "500,400,300,200"}), 0);

    auto fullImage = platform::readImage(full);
    ASSERT_TRUE(fullImage);
    EXPECT_EQ(fullImage->size(), QSize(1920, 1080));
    EXPECT_TRUE(test::near(test::pixel(*fullImage, 600, 500), color));
    auto regionImage = platform::readImage(region);
    ASSERT_TRUE(regionImage);
    EXPECT_EQ(regionImage->size(), QSize(300, 200));
    EXPECT_TRUE(test::near(test::pixel(*regionImage, 0, 0), color));
    EXPECT_TRUE(test::near(test::pixel(*regionImage, 299, 199), color));
}

TEST(SnapkinGrab, RefusesBadArgumentsAndWritesNothingOnFailure)
{
    if (!QFileInfo(grabTool()).isExecutable()) GTEST_SKIP() << "snapkin-grab is not built";
    QTemporaryDir dir;
    const QString out = dir.filePath("out.png");
    EXPECT_EQ(runGrab({}), 2);
    EXPECT_EQ(runGrab({out, "--region", "1,2,3"}), 2);
    EXPECT_EQ(runGrab({out, "--region", "10,10,-5,5"}), 2);
    EXPECT_EQ(runGrab({out, "--window", "0x7ffffff0"}), 1);
    EXPECT_EQ(runGrab({out, "--display", "no-such-monitor"}), 1);
    EXPECT_FALSE(QFileInfo::exists(out));
}
