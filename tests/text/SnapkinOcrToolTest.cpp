#include "text/RecognitionImagesSupport.h"

#include "support/ToolRunner.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace snapkin::testing;
using snapkin::tools::ToolRun;

namespace {

const QString tool = QStringLiteral("snapkin-ocr");

ToolRun runTool(const QStringList& arguments)
{
    return snapkin::tools::runTool(tool, arguments);
}

} // namespace

TEST(SnapkinOcrTool, PrintsLinesInReadingOrderThenCodes)
{
    if (!snapkin::tools::toolBuilt(tool)) GTEST_SKIP() << "snapkin-ocr is not built";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image = whitePage({420, 240});
    drawText(image, {16, 30}, QStringLiteral("Quarterly report"), 16);
    drawText(image, {16, 200}, QStringLiteral("Scan for details"), 16);
    drawQRCode(image, "https://example.org/q3", {260, 60}, 4);
    const QString path = dir.filePath(QStringLiteral("page.png"));
    ASSERT_TRUE(image.save(path));

    const ToolRun run = runTool({path});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("Quarterly report\nScan for details\n"
                                      "code: https://example.org/q3 (qr)\n"));
}

TEST(SnapkinOcrTool, UnreadableImageExitsNonZeroWithAMessage)
{
    if (!snapkin::tools::toolBuilt(tool)) GTEST_SKIP() << "snapkin-ocr is not built";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("broken.png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x89PNG\r\n\x1a\n not really");
    file.close();

    for (const QString& target : {path, dir.filePath(QStringLiteral("missing.png"))}) {
        const ToolRun run = runTool({target});
        EXPECT_EQ(run.exitCode, 1) << target.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(target)) << run.err.toStdString();
    }
    EXPECT_EQ(runTool({}).exitCode, 2);
}

TEST(SnapkinOcrTool, AnswersHelpAndVersionAndRefusesUsageErrors)
{
    if (!snapkin::tools::toolBuilt(tool)) GTEST_SKIP() << "snapkin-ocr is not built";
    const ToolRun help = runTool({"--no-codes", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--fast") && help.out.contains("IMAGE"))
        << help.out.toStdString();
    const ToolRun version = runTool({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("snapkin-ocr ")) << version.out.toStdString();
    for (const QStringList& args :
         {QStringList{"a.png", "b.png"}, QStringList{"--slow", "a.png"}}) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("--help")) << run.err.toStdString();
    }
    const ToolRun full = snapkin::tools::runTool(tool, {"--version"}, 60000, "/dev/full");
    EXPECT_EQ(full.exitCode, 1);
}
