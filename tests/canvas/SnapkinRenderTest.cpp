#include "TestPaths.h"
#include "support/ToolRunner.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using snapkin::tools::ToolRun;

namespace {

const QString fixture = QStringLiteral(SNAPKIN_TEST_DATA "/render-every-kind.snapkin");

ToolRun runTool(const QStringList& args)
{
    return snapkin::tools::runTool("snapkin-render", args);
}

bool toolBuilt()
{
    return snapkin::tools::toolBuilt("snapkin-render");
}

// A copy of the fixture whose document.json is changed by `edit`.
QString editedCopy(const QTemporaryDir& dir, const std::function<void(QJsonObject&)>& edit)
{
    const QString path = dir.filePath("edited.snapkin");
    QDir().mkpath(path);
    QFile::copy(fixture + "/image.png", path + "/image.png");
    QFile in(fixture + "/document.json");
    in.open(QIODevice::ReadOnly);
    QJsonObject document = QJsonDocument::fromJson(in.readAll()).object();
    edit(document);
    QFile out(path + "/document.json");
    out.open(QIODevice::WriteOnly);
    out.write(QJsonDocument(document).toJson());
    return path;
}

} // namespace

TEST(SnapkinRender, DrawsEveryKindAtThePixelScaleOfTheImage)
{
    if (!toolBuilt()) GTEST_SKIP() << "snapkin-render is not built";
    QTemporaryDir dir;
    const QString png = dir.filePath("out.png");
    const ToolRun run = runTool({fixture, png});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), "1280x800 0 skipped");
    const QImage image(png);
    ASSERT_EQ(image.size(), QSize(1280, 800));
    // Probes at twice the annotations' point coordinates.
    EXPECT_EQ(image.pixelColor(2 * 200, 2 * 175), QColor(Qt::black)); // solid region
    const QColor rectangleEdge = image.pixelColor(2 * 250, 2 * 40);   // #FF3366 outline
    EXPECT_GT(rectangleEdge.red(), 200);
    EXPECT_LT(rectangleEdge.green(), 90);
    const QColor disc = image.pixelColor(2 * 305, 2 * 365); // number stamp disc, no spotlight dim
    EXPECT_GT(disc.red(), 200);
    EXPECT_LT(disc.blue(), 140);
    // Outside the spotlight's hole the screen is dimmed: the light background reads darker.
    EXPECT_LT(image.pixelColor(2 * 600, 2 * 390).red(), 140);
}

TEST(SnapkinRender, CountsAnnotationsThatCouldNotBeRead)
{
    if (!toolBuilt()) GTEST_SKIP() << "snapkin-render is not built";
    QTemporaryDir dir;
    const QString doc = editedCopy(dir, [](QJsonObject& d) {
        QJsonArray list = d["annotations"].toArray();
        list.append(
            QJsonObject{{"kind", "hexagon"}, {"p1", QJsonArray{0, 0}}, {"p2", QJsonArray{5, 5}}});
        list.append(QJsonObject{{"kind", "line"},
                                {"p1", QJsonArray{0, 0}},
                                {"p2", QJsonArray{5, 5}},
                                {"lineWidth", "wide"}});
        d["annotations"] = list;
    });
    const ToolRun run = runTool({doc, dir.filePath("out.png")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), "1280x800 2 skipped");
}

TEST(SnapkinRender, RefusesNewerDamagedAndMissingDocumentsWithAMessage)
{
    if (!toolBuilt()) GTEST_SKIP() << "snapkin-render is not built";
    QTemporaryDir dir;
    const QString newer = editedCopy(dir, [](QJsonObject& d) { d["version"] = 7; });
    ToolRun run = runTool({newer, dir.filePath("a.png")});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("newer version")) << run.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("a.png")));

    const QString damaged = dir.filePath("damaged.snapkin");
    QDir().mkpath(damaged);
    QFile::copy(fixture + "/document.json", damaged + "/document.json"); // no image.png
    run = runTool({damaged, dir.filePath("b.png")});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("damaged")) << run.err.toStdString();

    run = runTool({dir.filePath("missing.snapkin"), dir.filePath("c.png")});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_FALSE(run.err.isEmpty());

    // An output that cannot be written is an error, not a silent success.
    run = runTool({fixture, dir.filePath("no/such/folder/out.png")});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty());
}

TEST(SnapkinRender, AnswersHelpAndVersionAndRefusesUsageErrors)
{
    if (!toolBuilt()) GTEST_SKIP() << "snapkin-render is not built";
    QTemporaryDir dir;
    const QString out = dir.filePath("out.png");
    // Options in any place; --help wins and nothing is rendered.
    for (const QStringList& args :
         {QStringList{"--help"}, QStringList{"-h"}, QStringList{fixture, out, "--help"}}) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 0) << args.join(' ').toStdString();
        EXPECT_TRUE(run.out.contains("DOC") && run.out.contains("OUT")) << run.out.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(out));
    const ToolRun version = runTool({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("snapkin-render ")) << version.out.toStdString();

    for (const QStringList& args :
         {QStringList{}, QStringList{fixture}, QStringList{fixture, out, out},
          QStringList{"--bogus", fixture, out}, QStringList{fixture, dir.filePath("out.xyz")}}) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("--help")) << run.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(out));
}

TEST(SnapkinRender, MessagesSayWhatHappenedNamingTheFile)
{
    if (!toolBuilt()) GTEST_SKIP() << "snapkin-render is not built";
    QTemporaryDir dir;
    const QString out = dir.filePath("out.png");
    const auto message = [&](const QString& input, const QString& output) {
        const ToolRun run = runTool({input, output});
        EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
        return run.err;
    };
    const QString missing = dir.filePath("missing.snapkin");
    EXPECT_TRUE(message(missing, out).contains("\"" + missing + "\" doesn't exist"));
    const QString folder = dir.filePath("plain-folder");
    QDir().mkpath(folder);
    EXPECT_TRUE(
        message(folder, out).contains("\"" + folder + "\" is a folder but not a Snapkin document"));
    const QString png = fixture + "/image.png";
    EXPECT_TRUE(message(png, out).contains("\"" + png + "\" is an image, not a Snapkin document"));

    const QString taken = dir.filePath("taken.png");
    QDir().mkpath(taken);
    EXPECT_TRUE(message(fixture, taken).contains("\"" + taken + "\" is a folder."));
    EXPECT_TRUE(message(fixture, dir.filePath("no/such/out.png"))
                    .contains("The folder \"" + dir.filePath("no/such") + "\" doesn't exist."));

    // The result line cannot be printed: a failure, though the file was written.
    const ToolRun full =
        snapkin::tools::runTool("snapkin-render", {fixture, out}, 60000, "/dev/full");
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_TRUE(full.err.contains("standard output")) << full.err.toStdString();
}
