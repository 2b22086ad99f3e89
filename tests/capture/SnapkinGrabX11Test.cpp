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

// The same, in `folder`, keeping what the tool prints.
struct GrabRun {
    int exitCode = -1;
    QString out;
    QString err;
};

GrabRun runGrabIn(const QString& folder, const QStringList& arguments,
                  const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessEnvironment(environment);
    p.start(grabTool(), arguments);
    GrabRun run;
    if (!p.waitForStarted(10000)) return run;
    if (!test::waitUntil([&] { return p.state() == QProcess::NotRunning; }, 30000)) return run;
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

QByteArray head(const QString& path, int size)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
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

TEST(SnapkinGrab, HelpAndVersionAnswerWithoutCapturing)
{
    if (!QFileInfo(grabTool()).isExecutable()) GTEST_SKIP() << "snapkin-grab is not built";
    QTemporaryDir dir;
    for (const QStringList& args :
         {QStringList{"--help"}, QStringList{"-h"}, QStringList{"--version"},
          QStringList{"out.png", "--region", "0,0,10,10", "--help"}}) {
        const GrabRun run = runGrabIn(dir.path(), args);
        EXPECT_EQ(run.exitCode, 0) << args.join(' ').toStdString();
        EXPECT_FALSE(run.out.isEmpty());
    }
    // Nothing was captured into a file named after an option.
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(runGrabIn(dir.path(), {"--bogus", "out.png"}).exitCode, 2);
    EXPECT_EQ(runGrabIn(dir.path(), {"a.png", "b.png"}).exitCode, 2);
    EXPECT_EQ(runGrabIn(dir.path(), {"a.png", "--display", "0", "--window", "1"}).exitCode, 2);
    const GrabRun unknown = runGrabIn(dir.path(), {"out.xyz"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains("out.xyz")) << unknown.err.toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(SnapkinGrab, RefusesInAWaylandSessionInsteadOfWritingABlackPicture)
{
    if (!QFileInfo(grabTool()).isExecutable()) GTEST_SKIP() << "snapkin-grab is not built";
    QTemporaryDir dir;
    // Either sign of a Wayland session is enough, though an X server answers here.
    const std::pair<const char*, const char*> sessions[] = {{"XDG_SESSION_TYPE", "wayland"},
                                                            {"WAYLAND_DISPLAY", "wayland-0"}};
    for (const auto& [name, value] : sessions) {
        SCOPED_TRACE(name);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(name, value);
        const GrabRun run = runGrabIn(dir.path(), {"shot.png"}, environment);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.startsWith("snapkin-grab: Screen capture needs an X11 (Xorg) session"))
            << run.err.toStdString();
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }
}

TEST(SnapkinGrab, WritesTheFormatTheExtensionNamesAndSaysWhyItCannot)
{
    if (!QFileInfo(grabTool()).isExecutable()) GTEST_SKIP() << "snapkin-grab is not built";
    QTemporaryDir dir;
    // Options before the file as well as after it.
    ASSERT_EQ(runGrabIn(dir.path(), {"--region", "10,10,40,30", "shot.jpg"}).exitCode, 0);
    EXPECT_EQ(head(dir.filePath("shot.jpg"), 3), QByteArray("\xff\xd8\xff"));
    ASSERT_EQ(runGrabIn(dir.path(), {"shot.pdf", "--region", "10,10,40,30"}).exitCode, 0);
    EXPECT_EQ(head(dir.filePath("shot.pdf"), 5), QByteArray("%PDF-"));
    ASSERT_EQ(runGrabIn(dir.path(), {"shot.webp"}).exitCode, 0);
    EXPECT_EQ(head(dir.filePath("shot.webp"), 4), QByteArray("RIFF"));

    // A region that starts off the screen is taken from the display it overlaps; one that
    // overlaps none says so.
    ASSERT_EQ(runGrabIn(dir.path(), {"edge.png", "--region", "-20,-20,60,50"}).exitCode, 0);
    const auto edge = platform::readImage(dir.filePath("edge.png"));
    ASSERT_TRUE(edge);
    EXPECT_EQ(edge->size(), QSize(40, 30));
    const GrabRun outside = runGrabIn(dir.path(), {"far.png", "--region", "5000,5000,10,10"});
    EXPECT_EQ(outside.exitCode, 1);
    EXPECT_TRUE(outside.err.contains("5000,5000 10x10 lies outside every display"))
        << outside.err.toStdString();

    QDir(dir.path()).mkdir("taken.png");
    const GrabRun folder = runGrabIn(dir.path(), {"taken.png"});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_TRUE(folder.err.contains("\"taken.png\" is a folder.")) << folder.err.toStdString();
    const GrabRun missing = runGrabIn(dir.path(), {"no/such/shot.png"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("The folder")) << missing.err.toStdString();
}
