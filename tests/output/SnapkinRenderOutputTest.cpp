// snapkin-render flattens a document with its frame and writes the format its file name asks for.
#include "TestPaths.h"
#include "support/HostileImages.h"
#include "support/ToolRunner.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using snapkin::tools::runTool;
using snapkin::tools::toolBuilt;

namespace {

const QString framed = QStringLiteral(SNAPKIN_TEST_DATA "/frame-watermark.snapkin");
const QString transparent = QStringLiteral(SNAPKIN_TEST_DATA "/frame-transparent-tiled.snapkin");

QByteArray head(const QString& path, int n)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(n) : QByteArray();
}

} // namespace

TEST(SnapkinRenderOutput, FrameAndShadowSurroundTheImage)
{
    if (!toolBuilt("snapkin-render")) GTEST_SKIP() << "snapkin-render is not built";
    QTemporaryDir dir;
    const QString png = dir.filePath("framed.png");
    const auto run = runTool("snapkin-render", {framed, png});
    ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
    const QImage image(png);
    // A 960 x 600 pixel image (480 x 300 points at 2x) inside a 16:9 frame with padding.
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 960);
    EXPECT_GT(image.height(), 600);
    EXPECT_NEAR(double(image.width()) / image.height(), 16.0 / 9.0, 0.01);
    EXPECT_EQ(run.out.trimmed(), QString("%1x%2 0 skipped").arg(image.width()).arg(image.height()));
    // The gradient background starts in the brand colour at the top left.
    const QColor corner = image.pixelColor(2, 2);
    EXPECT_GT(corner.red(), 220);
    EXPECT_LT(corner.green(), 110);
    EXPECT_EQ(corner.alpha(), 255);
}

TEST(SnapkinRenderOutput, TransparentFrameKeepsItsCornersClear)
{
    if (!toolBuilt("snapkin-render")) GTEST_SKIP() << "snapkin-render is not built";
    QTemporaryDir dir;
    const QString png = dir.filePath("clear.png");
    ASSERT_EQ(runTool("snapkin-render", {transparent, png}).exitCode, 0);
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2).alpha(), 255);
}

TEST(SnapkinRenderOutput, WritesTheFormatNamedByTheExtension)
{
    if (!toolBuilt("snapkin-render")) GTEST_SKIP() << "snapkin-render is not built";
    QTemporaryDir dir;
    const std::vector<std::pair<QString, QByteArray>> formats{
        {"out.png", "\x89PNG"}, {"out.JPG", "\xFF\xD8\xFF"}, {"out.webp", "RIFF"},
        {"out.pdf", "%PDF"},    {"out.tiff", "II*"},       {"out.gif", "GIF89a"},
        {"out.bmp", "BM"}};
    for (const auto& [name, magic] : formats) {
        SCOPED_TRACE(qPrintable(name));
        const QString path = dir.filePath(name);
        const auto run = runTool("snapkin-render", {framed, path});
        ASSERT_EQ(run.exitCode, 0) << qPrintable(run.err);
        EXPECT_EQ(head(path, magic.size()), magic);
    }
    const auto unknown = runTool("snapkin-render", {framed, dir.filePath("out.xyz")});
    EXPECT_NE(unknown.exitCode, 0);
    EXPECT_TRUE(unknown.err.contains("format"));
    EXPECT_FALSE(QFile::exists(dir.filePath("out.xyz")));
}

// A package holding a 700 KB 30000 x 6000 PNG once ended the tool with an uncaught
// std::bad_alloc; it is refused before any pixel is decoded, with a message and status 1.
TEST(SnapkinRenderOutput, APackageWithAnImageOverTheBudgetExitsWithTheMessage)
{
    if (!toolBuilt("snapkin-render")) GTEST_SKIP() << "snapkin-render is not built";
    ASSERT_FALSE(snapkin::test::hostileImagesFolder().isEmpty()) << "scripts/hostile-images failed";
    QTemporaryDir dir;
    const QString out = dir.filePath("out.png");
    const auto run = runTool(
        "snapkin-render", {snapkin::test::hostilePackagePath("png-30000x6000.png"), out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("The image is too large to open.")) << qPrintable(run.err);
    EXPECT_FALSE(QFile::exists(out));
}
