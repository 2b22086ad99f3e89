#include "StoreTestSupport.h"

#include "TestPaths.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "platform/ImageReader.h"
#include "platform/L10n.h"
#include "support/AddressSpace.h"
#include "support/HostileImages.h"
#include "support/PngKinds.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

using namespace snapkin;
using snapkin::testing::makeStore;
using snapkin::testing::rectangle;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A store with a 2x image that has some structure, an annotation, a frame and a stamp count.
std::unique_ptr<AnnotationStore> sampleStore()
{
    QImage pixels(120, 80, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            pixels.setPixel(x, y, qRgb(x * 2, y * 3, 90));
    auto store = makeStore(platform::BaseImage(pixels, QSizeF(60, 40)));
    Annotation text{.kind = AnnotationKind::text, .p1 = {5, 5}, .p2 = {30, 20}, .text = "Hi"};
    store->setAnnotations({rectangle({1, 2}, {30, 20}), text});
    store->setNextStampNumber(4);
    FrameStyle frame;
    frame.padding = 0.1;
    store->assignFrame(frame);
    return store;
}

// Installs a preview renderer for the life of the guard.
struct PreviewGuard {
    explicit PreviewGuard(SnapkinDocument::PreviewRenderer renderer)
    {
        SnapkinDocument::setPreviewRenderer(std::move(renderer));
    }
    ~PreviewGuard() { SnapkinDocument::setPreviewRenderer({}); }
};

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

// Runs `body` in a child process whose address space is limited to `bytes`, and returns its exit
// status: what `body` returns, or 3 when it ran out of memory (std::bad_alloc).
int underAddressSpaceLimit(rlim_t bytes, const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{bytes, bytes};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(4);
        int status = 5;
        try {
            status = body();
        } catch (const std::bad_alloc&) {
            status = 3;
        }
        _exit(status);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

TEST(SnapkinDocumentPackage, WrittenPackageReadsBackEqual)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Shot.snapkin");
    auto store = sampleStore();
    auto package = SnapkinDocument::wrapper(*store);
    ASSERT_TRUE(package);
    EXPECT_FALSE(package->thumbnailPNG); // no renderer installed: no preview
    ASSERT_TRUE(SnapkinDocument::write(*package, path));
    EXPECT_EQ(entries(path), QStringList({"document.json", "image.png"}));

    auto contents = SnapkinDocument::read(path);
    ASSERT_TRUE(contents) << contents.error().userMessage().toStdString();
    const AnnotationDocument& doc = contents->document;
    EXPECT_EQ(doc.version, 1);
    EXPECT_EQ(doc.canvasSize, QSizeF(60, 40));
    EXPECT_EQ(doc.pixelSize, QSizeF(120, 80));
    EXPECT_EQ(doc.annotations, store->annotations());
    EXPECT_EQ(doc.nextStampNumber, 4);
    EXPECT_EQ(doc.frame, store->frame());
    EXPECT_FALSE(doc.watermark);
    EXPECT_TRUE(doc.generator && doc.generator->startsWith("Snapkin "));
    EXPECT_EQ(contents->image.pointSize(), QSizeF(60, 40));
    EXPECT_EQ(contents->image.image(), store->image().image());
    // Nothing is left beside the package.
    EXPECT_EQ(entries(dir.path()), QStringList({"Shot.snapkin"}));
}

// Whatever the application writes reopens: many annotations and a long stroke, over a capture
// larger than the image budget.
TEST(SnapkinDocumentPackage, LargestDocumentsTheApplicationWritesReopen)
{
    // A blank 8000 x 4300 screen: 34.4 megapixels, over the budget's 33.5, and as compressible
    // as a capture gets.
    auto store =
        makeStore(snapkin::testing::makeImage({8000, 4300}, QSizeF(8000, 4300), Qt::black));
    QList<Annotation> marks;
    for (int i = 0; i < 12'000; ++i)
        marks.append(rectangle({double(i % 500), 10}, {600, 300}));
    Annotation pen{.kind = AnnotationKind::pen, .p1 = {0, 0}, .p2 = {8000, 4300}};
    for (int i = 0; i < 150'000; ++i)
        pen.points.append(QPointF(i % 8000, (i / 8000) * 10.5));
    marks.append(pen);
    store->setAnnotations(marks);

    QTemporaryDir dir;
    const QString path = dir.filePath("Large.snapkin");
    auto package = SnapkinDocument::wrapper(*store);
    ASSERT_TRUE(package);
    ASSERT_TRUE(SnapkinDocument::write(*package, path));
    auto contents = SnapkinDocument::read(path);
    ASSERT_TRUE(contents) << contents.error().userMessage().toStdString();
    EXPECT_EQ(contents->document.annotations, store->annotations());
    EXPECT_EQ(contents->image.pixelSize(), QSize(8000, 4300));
    EXPECT_EQ(contents->image.image().pixel(7999, 4299), qRgb(0, 0, 0));
    // The history reads the document alone.
    const auto document = AnnotationDocument::decode(package->documentJSON);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->annotations.size(), marks.size());

    // The same image header on a file too short to hold its pixels is held to the budget.
    SnapkinDocument::Package cut = *package;
    cut.imagePNG.truncate(cut.imagePNG.size() / 4);
    EXPECT_EQ(SnapkinDocument::contents(cut).error(), SnapkinDocument::Failure::imageTooLarge());
}

TEST(SnapkinDocumentPackage, RewriteReplacesTheWholePackage)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Shot.snapkin");
    auto store = sampleStore();
    {
        PreviewGuard preview(
            [](const AnnotationStore& s) -> std::optional<QImage> { return s.image().image(); });
        auto package = SnapkinDocument::wrapper(*store);
        ASSERT_TRUE(package && package->thumbnailPNG);
        ASSERT_TRUE(SnapkinDocument::write(*package, path));
    }
    EXPECT_TRUE(QFile::exists(path + "/Preview/Thumbnail.png"));

    store->setNextStampNumber(9);
    auto second = SnapkinDocument::wrapper(*store); // no renderer now: no preview
    ASSERT_TRUE(second);
    ASSERT_TRUE(SnapkinDocument::write(*second, path));
    EXPECT_EQ(entries(path), QStringList({"document.json", "image.png"}));
    EXPECT_EQ(SnapkinDocument::read(path)->document.nextStampNumber, 9);
    EXPECT_EQ(entries(dir.path()), QStringList({"Shot.snapkin"}));
}

TEST(SnapkinDocumentPackage, FailedWriteLeavesOldPackageIntact)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Shot.snapkin");
    auto store = sampleStore();
    ASSERT_TRUE(SnapkinDocument::write(*SnapkinDocument::wrapper(*store), path));
    const QByteArray oldJSON = fileBytes(path + "/document.json");

    // A disk that fills up part-way: files may grow to 4 KiB, the new image is larger.
    SnapkinDocument::Package big = *SnapkinDocument::wrapper(*store);
    big.imagePNG = QByteArray(64 * 1024, 'x');
    big.documentJSON.replace("\"nextStampNumber\": 4", "\"nextStampNumber\": 5");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    auto result = SnapkinDocument::write(big, path);
    setrlimit(RLIMIT_FSIZE, &saved);

    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind, SnapkinDocument::Failure::Kind::writeFailed);
    EXPECT_FALSE(result.error().userMessage().isEmpty());
    EXPECT_EQ(fileBytes(path + "/document.json"), oldJSON);
    EXPECT_TRUE(SnapkinDocument::read(path));
    EXPECT_EQ(entries(dir.path()), QStringList({"Shot.snapkin"})); // the temporary is gone
}

TEST(SnapkinDocumentPackage, WriteIntoMissingParentFailsCleanly)
{
    QTemporaryDir dir;
    writeBytes(dir.filePath("plain-file"), "x");
    auto package = SnapkinDocument::wrapper(*sampleStore());
    auto result = SnapkinDocument::write(*package, dir.filePath("plain-file/Shot.snapkin"));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind, SnapkinDocument::Failure::Kind::writeFailed);
    EXPECT_EQ(fileBytes(dir.filePath("plain-file")), "x");
}

TEST(SnapkinDocumentReader, MissingOrBadEntriesAreDamaged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Shot.snapkin");
    ASSERT_TRUE(SnapkinDocument::write(*SnapkinDocument::wrapper(*sampleStore()), path));

    QFile::remove(path + "/image.png");
    auto missing = SnapkinDocument::read(path);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), SnapkinDocument::Failure::damaged());
    EXPECT_EQ(missing.error().userMessage(), "The document is damaged or incomplete.");

    writeBytes(path + "/image.png", "not a png at all");
    EXPECT_EQ(SnapkinDocument::read(path).error(), SnapkinDocument::Failure::damaged());

    // A tiny PNG that declares 30000 x 30000 pixels is refused before it is decoded, as too
    // large rather than damaged.
    QImage small(4, 4, QImage::Format_RGB32);
    small.fill(Qt::red);
    QByteArray png = *SnapkinDocument::pngData(small);
    const int ihdr = png.indexOf("IHDR");
    ASSERT_GT(ihdr, 0);
    const char huge[8] = {0, 0, 0x75, 0x30, 0, 0, 0x75, 0x30};
    png.replace(ihdr + 4, 8, QByteArray(huge, 8));
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.constData() + ihdr), 4 + 13);
    const char crcBytes[4] = {char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
    png.replace(ihdr + 4 + 13, 4, QByteArray(crcBytes, 4));
    ASSERT_EQ(platform::readImage(png).error(), platform::ImageReadError::tooLarge);
    writeBytes(path + "/image.png", png);
    const auto refused = SnapkinDocument::read(path);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), SnapkinDocument::Failure::imageTooLarge());
    EXPECT_EQ(refused.error().userMessage(), "The image is too large to open.");

    const auto nothing = SnapkinDocument::read(dir.filePath("nothing-here.snapkin"));
    ASSERT_FALSE(nothing);
    EXPECT_EQ(nothing.error().userMessage(), "The file doesn't exist.");
    writeBytes(dir.filePath("file.snapkin"), "{}");
    EXPECT_EQ(SnapkinDocument::read(dir.filePath("file.snapkin")).error(),
              SnapkinDocument::Failure::damaged());
}

TEST(SnapkinDocumentReader, VersionProbeTellsNewerFromDamaged)
{
    SnapkinDocument::Package package = *SnapkinDocument::wrapper(*sampleStore());
    const auto withJSON = [&](const char* json) {
        SnapkinDocument::Package p = package;
        p.documentJSON = json;
        return SnapkinDocument::contents(p);
    };
    auto newer = withJSON(R"({"version": 3})");
    ASSERT_FALSE(newer);
    EXPECT_EQ(newer.error(), SnapkinDocument::Failure::newerVersion(3));
    EXPECT_EQ(newer.error().userMessage(), "This document was created with a newer version of "
                                           "Snapkin. Update Snapkin to open it.");
    for (const char* json : {R"({"version": 1})", R"({})", R"({"version": "3"})", "[]", "garbage"})
        EXPECT_EQ(withJSON(json).error(), SnapkinDocument::Failure::damaged()) << json;

    // A newer document that decodes is returned as it is; the caller decides.
    auto decodable = withJSON(R"({"version": 5, "canvasSize": [60, 40]})");
    ASSERT_TRUE(decodable);
    EXPECT_EQ(decodable->document.version, 5);
}

// Under a memory limit (a container, ulimit -v) a package opens: reading its entries reserves
// what the files hold, not the 512 MB and 1 GB the entries may reach. A document that would
// cost gigabytes to parse is refused before parsing, within the same limit.
TEST(SnapkinDocumentReader, OpensAndRefusesWithinOneGibOfAddressSpace)
{
#ifdef SNAPKIN_SANITIZED
    GTEST_SKIP() << "a sanitizer reserves terabytes of address space for its shadow memory";
#endif
    constexpr rlim_t oneGiB = 1024ull * 1024 * 1024;
    EXPECT_EQ(underAddressSpaceLimit(
                  oneGiB,
                  [] {
                      auto contents =
                          SnapkinDocument::read(SNAPKIN_TEST_DATA "/render-every-kind.snapkin");
                      return contents && !contents->document.annotations.isEmpty() ? 0 : 1;
                  }),
              0);
    EXPECT_EQ(underAddressSpaceLimit(
                  oneGiB,
                  [] {
                      // 150 MB of pen points: about 3 GB as a parsed JSON document.
                      SnapkinDocument::Package package = *SnapkinDocument::wrapper(*sampleStore());
                      QByteArray json =
                          R"({"canvasSize":[60,40],"annotations":[{"kind":"pen","p1":[0,0],)"
                          R"("p2":[1,1],"points":[)";
                      json.reserve(150'000'100);
                      while (json.size() < 150'000'000)
                          json.append("[12.5,7.25],");
                      json.append("[0,0]]}]}");
                      package.documentJSON = std::move(json);
                      const auto contents = SnapkinDocument::contents(package);
                      return !contents && contents.error() == SnapkinDocument::Failure::tooLarge()
                                 ? 0
                                 : 1;
                  }),
              0);
}

// A package is as hostile as a file: its image is held to the image budget from the header,
// before any pixel is decoded, and refused with the image's too-large message, under the
// address-space limit of `ulimit -v 1.5 GB` as without it.
TEST(SnapkinDocumentReader, AnImageOverTheBudgetIsRefusedAsTooLargeBeforeDecoding)
{
    ASSERT_FALSE(test::hostileImagesFolder().isEmpty()) << "scripts/hostile-images failed";
    for (const QString& name : test::hostileImageNames()) {
        SCOPED_TRACE(name.toStdString());
        const QString package = test::hostilePackagePath(name);
        const auto read = SnapkinDocument::read(package);
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error(), SnapkinDocument::Failure::imageTooLarge());
        EXPECT_EQ(read.error().userMessage(), "The image is too large to open.");
        // (A sanitizer's shadow memory takes more address space than the limit leaves.)
        if (!test::sanitized())
            EXPECT_EQ(underAddressSpaceLimit(
                          1536ull * 1024 * 1024,
                          [&] {
                              const auto limited = SnapkinDocument::read(package);
                              return !limited && limited.error() ==
                                                     SnapkinDocument::Failure::imageTooLarge()
                                         ? 0
                                         : 1;
                          }),
                      0);
    }

    // An image.png longer than any image within the budget is refused by its size on disk.
    QTemporaryDir dir;
    const QString path = dir.filePath("long.snapkin");
    ASSERT_TRUE(SnapkinDocument::write(*SnapkinDocument::wrapper(*sampleStore()), path));
    QFile image(path + "/image.png");
    ASSERT_TRUE(image.resize(SnapkinDocument::maxImageBytes + 1)); // sparse: nothing written
    EXPECT_EQ(SnapkinDocument::read(path).error(), SnapkinDocument::Failure::imageTooLarge());
}

// The history opens its captures as packages: one whose image the memory can't hold (the file
// read whole) is refused for memory, to be told in words, rather than ending the application.
TEST(SnapkinDocumentReader, APackageWhoseImageTheMemoryCantHoldIsRefusedForMemory)
{
    if (test::sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    QTemporaryDir dir;
    const QString path = dir.filePath("Large.snapkin");
    ASSERT_TRUE(SnapkinDocument::write(*SnapkinDocument::wrapper(*sampleStore()), path));
    writeBytes(path + "/image.png", test::storedRgbPng(3000, 3000)); // 27 MB
    const auto opened = SnapkinDocument::read(path);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->image.pixelSize(), QSize(3000, 3000));

    rlimit current{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &current), 0);
    const auto refusedForMemory = [&] {
        if (!test::leaveAddressSpace(16LL * 1024 * 1024)) return 4;
        const auto read = SnapkinDocument::read(path);
        return !read && read.error() == SnapkinDocument::Failure::outOfMemory() ? 0 : 1;
    };
    EXPECT_EQ(underAddressSpaceLimit(current.rlim_max, refusedForMemory), 0);
}

// Another writer's compact text holds as much as the application's indented one: the
// document's cost to parse is bounded, not its length in our own layout.
TEST(SnapkinDocumentReader, CompactDocumentsOpenAndRoundTrip)
{
    const auto compactPackage = [](const QList<Annotation>& annotations) {
        auto store = sampleStore();
        store->setAnnotations(annotations);
        SnapkinDocument::Package package = *SnapkinDocument::wrapper(*store);
        package.documentJSON =
            QJsonDocument::fromJson(package.documentJSON).toJson(QJsonDocument::Compact);
        return package;
    };
    const auto reopens = [](const SnapkinDocument::Package& package,
                            const QList<Annotation>& annotations) {
        const auto contents = SnapkinDocument::contents(package);
        ASSERT_TRUE(contents) << contents.error().userMessage().toStdString();
        EXPECT_EQ(contents->document.annotations, annotations);
        // Written back (indented) and read again, nothing changes.
        const auto rewritten = SnapkinDocument::wrapper(contents->document, package.imagePNG, {});
        ASSERT_TRUE(rewritten);
        EXPECT_EQ(SnapkinDocument::contents(*rewritten)->document.annotations, annotations);
    };

    Annotation pen{.kind = AnnotationKind::pen, .p1 = {0, 0}, .p2 = {60, 40}};
    for (int i = 0; i <= 100'000; ++i)
        pen.points.append(QPointF(i % 60, (i / 60) % 40 + 0.5));
    const auto stroke = compactPackage({pen});
    EXPECT_LT(stroke.documentJSON.size(), 1'500'000);
    reopens(stroke, {pen});

    QList<Annotation> marks;
    for (int i = 0; i <= 10'000; ++i)
        marks.append(rectangle({double(i % 50), 1}, {55, 35}));
    const auto many = compactPackage(marks);
    EXPECT_LT(many.documentJSON.size(), 7'000'000);
    reopens(many, marks);
}

TEST(SnapkinDocumentReader, DocumentsCostingTooMuchToParseAreTooLarge)
{
    SnapkinDocument::Package package = *SnapkinDocument::wrapper(*sampleStore());
    const auto refusedAsTooLarge = [&](const QByteArray& json) {
        SnapkinDocument::Package p = package;
        p.documentJSON = json;
        const auto contents = SnapkinDocument::contents(p);
        return !contents && contents.error() == SnapkinDocument::Failure::tooLarge() &&
               contents.error().userMessage() == "The document is too large to open.";
    };
    // 1.3 million compact pen points: about 300 MB as a parsed JSON document, from an 8 MB text.
    EXPECT_TRUE(refusedAsTooLarge(R"({"canvasSize":[60,40],"annotations":[{"kind":"pen",)"
                                  R"("p1":[0,0],"p2":[1,1],"points":[)" +
                                  QByteArray("[1,2],").repeated(1'300'000) + "[0,0]]}]}"));
    // Half a million small annotations.
    const QByteArray rect = R"({"kind":"rectangle","p1":[1,1],"p2":[9,9]},)";
    EXPECT_TRUE(refusedAsTooLarge(R"({"canvasSize":[60,40],"annotations":[)" +
                                  rect.repeated(500'000) + "{}]}"));
    // 20 million numbers in one array: no container to count, yet 16 bytes each once parsed.
    EXPECT_TRUE(refusedAsTooLarge(R"({"canvasSize":[60,40],"x":[)" +
                                  QByteArray("0,").repeated(20'000'000) + "0]}"));
    // The bound holds for a newer document too, which is otherwise told apart by its version.
    EXPECT_TRUE(refusedAsTooLarge(R"({"version":2,"x":[)" + QByteArray("[],").repeated(2'000'001) +
                                  "[]]}"));
}

TEST(SnapkinDocumentReader, ZeroCanvasSizeUsesPixelSize)
{
    SnapkinDocument::Package package = *SnapkinDocument::wrapper(*sampleStore());
    package.documentJSON = R"({"canvasSize": [0, 0]})";
    auto contents = SnapkinDocument::contents(package);
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->image.pointSize(), QSizeF(120, 80));
}

TEST(SnapkinDocumentReader, FixturePackageOpens)
{
    auto contents = SnapkinDocument::read(SNAPKIN_TEST_DATA "/package-basic.snapkin");
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->image.pixelSize(), QSize(8, 6));
    EXPECT_EQ(contents->image.pointSize(), QSizeF(4, 3));
    ASSERT_EQ(contents->document.annotations.size(), 1);
    EXPECT_EQ(contents->document.annotations[0].kind, AnnotationKind::arrow);
    EXPECT_EQ(contents->document.nextStampNumber, 2);
}

// A package whose image is 16-bit RGB with a transparent colour it never uses opens opaque, its
// every pixel the image's own.
TEST(SnapkinDocumentReader, A16BitImageWithATransparentColourOpensOpaque)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Shot.snapkin");
    ASSERT_TRUE(SnapkinDocument::write(*SnapkinDocument::wrapper(*sampleStore()), path));
    writeBytes(path + "/image.png", test::solidRgb16Png(120, 80, 0x1111, 0x2222, 0x3333, 0, 0, 0));
    const auto contents = SnapkinDocument::read(path);
    ASSERT_TRUE(contents);
    const QImage& pixels = contents->image.image();
    ASSERT_EQ(pixels.size(), QSize(120, 80));
    int wrong = 0;
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 120; ++x)
            wrong += pixels.pixel(x, y) != qRgb(0x11, 0x22, 0x33);
    }
    EXPECT_EQ(wrong, 0);
}

TEST(SnapkinDocumentPreview, ThumbnailIsNeverEnlarged)
{
    const auto sizeOf = [](QSize size) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::blue);
        auto png = SnapkinDocument::thumbnailPNG(image);
        return png ? QImage::fromData(*png).size() : QSize();
    };
    EXPECT_EQ(sizeOf({4000, 3000}), QSize(1024, 768));
    EXPECT_EQ(sizeOf({800, 600}), QSize(800, 600));
    EXPECT_EQ(sizeOf({3000, 1}), QSize(1024, 1));
}

TEST(SnapkinDocumentType, RecognisedByExtension)
{
    QTemporaryDir dir;
    EXPECT_TRUE(SnapkinDocument::isDocument(dir.filePath("Shot.SNAPKIN")));
    EXPECT_TRUE(SnapkinDocument::isDocument(dir.filePath("a.snapkin")));
    EXPECT_FALSE(SnapkinDocument::isDocument(dir.path()));
    EXPECT_FALSE(SnapkinDocument::isDocument(dir.filePath("a.png")));
}
