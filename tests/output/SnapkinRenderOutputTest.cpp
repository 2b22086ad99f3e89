// snapkin-render flattens a document with its frame and writes the format its file name asks for.
#include "TestPaths.h"
#include "support/HostileImages.h"
#include "support/ToolRunner.h"

#include "model/SnapkinDocument.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <zlib.h>

using snapkin::tools::runTool;
using snapkin::tools::runToolWithAddressSpace;
using snapkin::tools::toolBuilt;

namespace {

const QString framed = QStringLiteral(SNAPKIN_TEST_DATA "/frame-watermark.snapkin");
const QString transparent = QStringLiteral(SNAPKIN_TEST_DATA "/frame-transparent-tiled.snapkin");

QByteArray head(const QString& path, int n)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(n) : QByteArray();
}

QByteArray bigEndian(quint32 v)
{
    QByteArray bytes;
    for (const int shift : {24, 16, 8, 0})
        bytes.append(char((v >> shift) & 0xff));
    return bytes;
}

// A PNG chunk: length, type, data and CRC.
QByteArray pngChunk(const char* type, const QByteArray& data)
{
    const QByteArray body = QByteArray(type) + data;
    return bigEndian(quint32(data.size())) + body +
           bigEndian(quint32(
               crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
}

// An RGBA PNG of transparent pixels at deflate's best ratio, padded with a comment to the length
// that lets a document hold that many pixels (1032 bytes of rows to one of file).
QByteArray transparentDocumentPng(int width, int height)
{
    const QByteArray row(1 + 4 * qsizetype(width), '\0');
    z_stream stream{};
    deflateInit(&stream, 9);
    QByteArray data(qsizetype(deflateBound(&stream, uLong(row.size()) * uLong(height))), '\0');
    stream.next_out = reinterpret_cast<Bytef*>(data.data());
    stream.avail_out = uInt(data.size());
    for (int y = 0; y < height; ++y) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.constData()));
        stream.avail_in = uInt(row.size());
        deflate(&stream, y + 1 == height ? Z_FINISH : Z_NO_FLUSH);
    }
    data.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    QByteArray header = bigEndian(quint32(width)) + bigEndian(quint32(height));
    header += QByteArray("\x08\x06\0\0\0", 5);
    QByteArray png =
        QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", data);
    const qsizetype needed = (row.size() * height + 1031) / 1032 + 12;
    if (png.size() < needed)
        png += pngChunk("tEXt", QByteArray("Comment", 8) + QByteArray(needed - png.size(), ' '));
    return png + pngChunk("IEND", {});
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
        {"out.pdf", "%PDF"},    {"out.tiff", "II*"},         {"out.gif", "GIF89a"},
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
    const auto run =
        runTool("snapkin-render", {snapkin::test::hostilePackagePath("png-30000x6000.png"), out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("The image is too large to open.")) << qPrintable(run.err);
    EXPECT_FALSE(QFile::exists(out));
}

// A document as large as the application writes one: a capture over the image budget, ten
// thousand annotations and a stroke of 100,001 points. The tool reads and renders it.
TEST(SnapkinRenderOutput, RendersTheLargestDocumentsTheApplicationWrites)
{
    using namespace snapkin;
    if (!toolBuilt("snapkin-render")) GTEST_SKIP() << "snapkin-render is not built";
    QImage capture(8000, 4300, QImage::Format_RGB32);
    capture.fill(QColor(20, 40, 60));
    AnnotationDocument document;
    document.canvasSize = QSizeF(8000, 4300);
    document.pixelSize = document.canvasSize;
    for (int i = 0; i < 10'000; ++i) {
        document.annotations.append(Annotation{
            .kind = AnnotationKind::rectangle, .p1 = {10, 10}, .p2 = {20.0 + i % 100, 20}});
    }
    Annotation pen{
        .kind = AnnotationKind::pen, .p1 = {0, 4000}, .p2 = {8000, 4200}, .colorHex = "#FF0000"};
    for (int i = 0; i <= 100'000; ++i)
        pen.points.append(QPointF(i * 0.08, 4100 + (i % 2)));
    document.annotations.append(pen);

    QTemporaryDir dir;
    const QString path = dir.filePath("Large.snapkin");
    const auto png = SnapkinDocument::pngData(capture);
    ASSERT_TRUE(png);
    const auto package = SnapkinDocument::wrapper(document, *png, std::nullopt);
    ASSERT_TRUE(package);
    ASSERT_TRUE(SnapkinDocument::write(*package, path));
    capture = QImage();

    const QString out = dir.filePath("out.png");
    const auto run = runTool("snapkin-render", {path, out});
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_EQ(run.out, "8000x4300 0 skipped\n");
    QImageReader reader(out);
    reader.setAllocationLimit(0);
    const QImage rendered = reader.read();
    ASSERT_EQ(rendered.size(), QSize(8000, 4300));
    EXPECT_EQ(rendered.pixelColor(4000, 4100).red(), 255); // the stroke
    EXPECT_EQ(rendered.pixelColor(4000, 1000), QColor(20, 40, 60));
}

// A document whose image the address space left can't hold is refused in words with status 1,
// soon: neither a wait without end for a thread that couldn't start, nor an abort. The limit
// leaves the tool room to start (its own ~110 MB and Qt's pool threads, about 72 MB of address
// space each: stack and allocator arena) but not the image's 384 MB.
TEST(SnapkinRenderOutput, ADocumentWhoseImageTheMemoryCantHoldIsRefusedInWords)
{
    if (!toolBuilt("snapkin-render")) GTEST_SKIP() << "snapkin-render is not built";
#ifdef SNAPKIN_SANITIZED
    GTEST_SKIP() << "sanitizers reserve address space of their own";
#endif
    QTemporaryDir dir;
    const QString package = dir.filePath("Large.snapkin");
    ASSERT_TRUE(QDir().mkpath(package));
    QFile image(package + "/image.png");
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(transparentDocumentPng(16000, 6000));
    image.close();
    QFile json(package + "/document.json");
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(R"({"annotations": [], "canvasSize": [16000, 6000], "pixelSize": [16000, 6000],
                   "nextStampNumber": 1, "version": 1})");
    json.close();

    const qint64 limit = (256LL + 80 * QThread::idealThreadCount()) * 1024 * 1024;
    const QString out = dir.filePath("out.png");
    const auto run = runToolWithAddressSpace("snapkin-render", {package, out}, limit);
    EXPECT_EQ(run.exitCode, 1) << qPrintable(run.err);
    EXPECT_TRUE(
        run.err.contains(QString::fromUtf8("There isn't enough memory to open “Large.snapkin”.")))
        << qPrintable(run.err);
    EXPECT_FALSE(QFile::exists(out));
}
