#include "capture/PostCaptureRouter.h"
#include "model/SnapkinDocument.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/OwnWrites.h"
#include "platform/PngEncoder.h"
#include "ui/output/SaveOptionsAccessory.h"
#include "ui/output/SavePanel.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <deque>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

using namespace snapkin;
using platform::BaseImage;

namespace {

// The history: the titles of the editors it follows and of the pictures it records.
class FakeHistory final : public CaptureHistoryTracking {
public:
    void record(const BaseImage&, const QString& title) override { recorded.append(title); }
    QString unavailableReason() const override { return {}; }
    QStringList tracked;
    QStringList recorded;
};

QStringList files(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

const QDateTime fixedTime(QDate(2026, 12, 5), QTime(15, 6, 8));

// A router over its own settings and a save folder, whose routes write into a log what they
// were asked to do and how many files the folder held at that moment. It opens the editors
// itself.
class Router : public ::testing::Test, public EditorOpening {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(QDir().mkdir(home.filePath("Saved")));
        folder = home.filePath("Saved");
        platform::OwnWrites::shared().clear();

        PostCaptureRouter::Routes routes;
        routes.copy = [this](const BaseImage&) { note("copy"); };
        routes.savePanel = [this](const BaseImage&, ExportFormat format, const QString& name) {
            note("panel " + ext(format) + " " + name);
        };
        routes.alert = [this](const QString& message) { note(message); };
        routes.encode = [this](const BaseImage&, ExportFormat format) -> std::optional<QByteArray> {
            if (failEncoding) return std::nullopt;
            return encoded.isEmpty() ? toRaw(format).toUtf8() : encoded;
        };
        routes.sourceAppName = [this] { return sourceApp; };
        routes.now = [this] { return now; };
        router =
            std::make_unique<PostCaptureRouter>(settings, CaptureHooks{this, &history}, routes);
        router->registerDefaults();
        router->setDefaultSaveFolder(folder);
    }
    void openCapture(const BaseImage&, const QString& title, const QString& historyTitle) override
    {
        note("open " + title);
        history.tracked.append(historyTitle);
    }
    void openFile(const QString&) override {}

    void note(const QString& what)
    {
        log.append(what + QStringLiteral(" (%1 files)").arg(files(folder).size()));
    }
    void set(const char* key, const QVariant& value) { settings.setValue(key, value); }

    QTemporaryDir home;
    QString folder;
    platform::Defaults settings{home.filePath("settings.json")};
    FakeHistory history;
    std::unique_ptr<PostCaptureRouter> router;
    QStringList log;
    std::optional<QString> sourceApp;
    QDateTime now = fixedTime;
    bool failEncoding = false;
    QByteArray encoded;
    const BaseImage image{QImage(8, 6, QImage::Format_ARGB32_Premultiplied)};
};

} // namespace

TEST_F(Router, CopiesThenSavesThenOpensAndCopiesAgainAfterTheFileWhenAsked)
{
    set("afterCaptureCopy", true);
    set("afterCaptureSaveToDisk", true);
    set("autoCopyAfterSave", true);
    sourceApp = QStringLiteral("Text Editor");
    router->handleCapturedImage(image, "Untitled");
    EXPECT_EQ(log, (QStringList{"copy (0 files)", "copy (1 files)", "open Untitled (1 files)"}));
    EXPECT_EQ(files(folder), QStringList{"Screenshot 2026-12-05 at 15.06.08.png"});
    EXPECT_EQ(history.tracked, QStringList{"Text Editor"});
    EXPECT_TRUE(history.recorded.isEmpty());
}

TEST_F(Router, WithEverythingOffTheEditorOpensAndIsTracked)
{
    set("afterCaptureShow", false);
    router->handleCapturedImage(image, "Untitled");
    EXPECT_EQ(log, QStringList{"open Untitled (0 files)"});
    EXPECT_EQ(history.tracked, QStringList{"Screenshot"});
}

TEST_F(Router, ACaptureOnlyCopiedOrSavedOpensNothingAndGoesToTheHistoryAsAPicture)
{
    set("afterCaptureShow", false);
    set("afterCaptureCopy", true);
    sourceApp = QStringLiteral("Browser");
    router->handleCapturedImage(image, "Untitled");
    EXPECT_EQ(log, QStringList{"copy (0 files)"});
    EXPECT_TRUE(history.tracked.isEmpty());
    EXPECT_EQ(history.recorded, QStringList{"Browser"});

    log.clear();
    set("afterCaptureCopy", false);
    set("afterCaptureSaveToDisk", true);
    router->handleCapturedImage(image, "Untitled");
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(files(folder).size(), 1);
    EXPECT_EQ(history.recorded, (QStringList{"Browser", "Browser"}));
}

TEST_F(Router, WithoutAUsableFolderTheSaveDialogOpens)
{
    // None chosen: the dialog, proposing the name the file would have had.
    settings.removeObject(keys::defaultSaveFolderBookmark);
    settings.removeObject("defaultSaveFolder");
    router->saveToDisk(image);
    EXPECT_EQ(log, QStringList{"panel png Screenshot 2026-12-05 at 15.06.08.png (0 files)"});

    // A folder chosen once and then removed: first the reason, then the dialog.
    log.clear();
    router->setDefaultSaveFolder(folder);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_FALSE(router->resolveDefaultFolder());
    router->saveToDisk(image);
    EXPECT_EQ(log, (QStringList{QString::fromUtf8("Couldn't save the screenshot in “Saved”: the "
                                                  "folder doesn't exist. (0 files)"),
                                "panel png Screenshot 2026-12-05 at 15.06.08.png (0 files)"}));

    // A folder that cannot be written to.
    log.clear();
    ASSERT_TRUE(QDir().mkdir(folder));
    router->setDefaultSaveFolder(folder);
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    if (::geteuid() != 0) {
        router->saveToDisk(image);
        EXPECT_EQ(log.first(),
                  QString::fromUtf8("Couldn't save the screenshot in “Saved”: you "
                                    "don't have permission to write to it. (0 files)"));
        EXPECT_EQ(log.size(), 2);
    }
    ASSERT_TRUE(
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    // A path that is a file is no folder; the dialog still starts at the path given.
    ASSERT_TRUE(QFile(home.filePath("file")).open(QIODevice::WriteOnly));
    router->setDefaultSaveFolder(home.filePath("file"));
    EXPECT_EQ(settings.stringForKey("defaultSaveFolder"), home.filePath("file"));
    EXPECT_FALSE(settings.contains(keys::defaultSaveFolderBookmark));
}

// A document package, or a folder inside one, stored as the save folder (by an older version or
// by hand) is no place for screenshots: a later Replace of the document would delete them. The
// alert names the package, the save dialog takes over, and nothing is written there.
TEST_F(Router, AFolderInOrOfAPackageIsNotUsedForSaving)
{
    set("afterCaptureSaveToDisk", true);
    set("afterCaptureShow", false);
    const QString package = home.filePath("doc1.snapkin");
    ASSERT_TRUE(QDir().mkpath(package + "/Inner"));
    const QString panel = "panel png Screenshot 2026-12-05 at 15.06.08.png (0 files)";

    router->setDefaultSaveFolder(package + "/Inner");
    EXPECT_FALSE(router->resolveDefaultFolder());
    router->handleCapturedImage(image, "Untitled");
    EXPECT_EQ(log, (QStringList{QString::fromUtf8("Couldn't save the screenshot in “Inner”: it's "
                                                  "inside the Snapkin document “doc1.snapkin”. "
                                                  "(0 files)"),
                                panel}));

    log.clear();
    router->setDefaultSaveFolder(package);
    EXPECT_FALSE(router->resolveDefaultFolder());
    router->handleCapturedImage(image, "Untitled");
    EXPECT_EQ(log, (QStringList{QString::fromUtf8("Couldn't save the screenshot in "
                                                  "“doc1.snapkin”: it's a Snapkin document. "
                                                  "(0 files)"),
                                panel}));

    EXPECT_EQ(files(package), QStringList{"Inner"});
    EXPECT_TRUE(files(package + "/Inner").isEmpty());
    // The plain folder beside the package is used again.
    router->setDefaultSaveFolder(folder);
    router->saveToDisk(image);
    EXPECT_EQ(files(folder).size(), 1);
}

TEST_F(Router, FilesTakeTheStoredFormatAndPngForAnyOtherValue)
{
    set("exportFormat", "jpeg");
    router->saveToDisk(image);
    set("exportFormat", "heic");
    router->saveToDisk(image);
    EXPECT_EQ(files(folder), (QStringList{"Screenshot 2026-12-05 at 15.06.08.jpg",
                                          "Screenshot 2026-12-05 at 15.06.08.png"}));
    QFile png(QDir(folder).filePath("Screenshot 2026-12-05 at 15.06.08.png"));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    EXPECT_EQ(png.readAll(), "png");
}

TEST_F(Router, SavesWithinOneSecondCountOnAndSkipAFolderOfTheSameName)
{
    ASSERT_TRUE(QDir(folder).mkdir("Screenshot 2026-12-05 at 15.06.08 2.png"));
    router->saveToDisk(image);
    router->saveToDisk(image);
    router->saveToDisk(image);
    EXPECT_EQ(files(folder), (QStringList{"Screenshot 2026-12-05 at 15.06.08 2.png",
                                          "Screenshot 2026-12-05 at 15.06.08 3.png",
                                          "Screenshot 2026-12-05 at 15.06.08 4.png",
                                          "Screenshot 2026-12-05 at 15.06.08.png"}));
    EXPECT_TRUE(
        QFileInfo(QDir(folder).filePath("Screenshot 2026-12-05 at 15.06.08 2.png")).isDir());
    // Each file is registered as Snapkin's own before it appears, so the watcher skips it.
    EXPECT_TRUE(platform::OwnWrites::shared().contains(
        QDir(folder).filePath("Screenshot 2026-12-05 at 15.06.08 4.png")));
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(Router, AFailedWriteLeavesNothingAndFallsBackToTheSaveDialog)
{
    encoded = QByteArray(256 * 1024, 'x');
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit lower = old;
    lower.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &lower);
    router->saveToDisk(image);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(log, (QStringList{QString::fromUtf8("Couldn't save the screenshot in “Saved”: the "
                                                  "file couldn't be written. (0 files)"),
                                "panel png Screenshot 2026-12-05 at 15.06.08.png (0 files)"}));
    EXPECT_TRUE(files(folder).isEmpty());
    EXPECT_FALSE(platform::OwnWrites::shared().contains(
        QDir(folder).filePath("Screenshot 2026-12-05 at 15.06.08.png")));

    log.clear();
    failEncoding = true;
    router->saveToDisk(image);
    EXPECT_EQ(log, QStringList{"panel png Screenshot 2026-12-05 at 15.06.08.png (0 files)"});
}

TEST_F(Router, NamesKeepWesternDigitsAndTheGregorianYearInAnyLocale)
{
    const QLocale previous;
    for (const QLocale& locale :
         {QLocale(QLocale::Thai, QLocale::Thailand), QLocale(QLocale::Arabic, QLocale::Egypt),
          QLocale(QLocale::Japanese, QLocale::Japan)}) {
        QLocale::setDefault(locale);
        EXPECT_EQ(PostCaptureRouter::fileName(fixedTime, ExportFormat::png, 1),
                  "Screenshot 2026-12-05 at 15.06.08.png")
            << locale.name().toStdString();
        EXPECT_EQ(PostCaptureRouter::fileName(fixedTime, ExportFormat::webp, 12),
                  "Screenshot 2026-12-05 at 15.06.08 12.webp");
    }
    QLocale::setDefault(previous);
}

TEST_F(Router, NamesAreTheSameEnglishWordsInEveryInterfaceLanguage)
{
    using platform::L10n;
    for (const char* language : {"de", "fr", "ja", "en"}) {
        L10n::setLanguage(QString::fromLatin1(language));
        EXPECT_EQ(PostCaptureRouter::fileName(fixedTime, ExportFormat::png, 1),
                  "Screenshot 2026-12-05 at 15.06.08.png")
            << language;
        EXPECT_EQ(PostCaptureRouter::fileName(fixedTime, ExportFormat::jpeg, 2),
                  "Screenshot 2026-12-05 at 15.06.08 2.jpg")
            << language;
    }
    L10n::setLanguage(QStringLiteral("en"));
}

TEST_F(Router, ASystemScreenshotAlwaysOpensWithItsFileNameAndIsCopiedWhenAsked)
{
    set("afterCaptureShow", false);
    set("afterCaptureSaveToDisk", true);
    set("afterCaptureCopy", true);
    router->handleSystemScreenshot(image, "Screenshot from 2026-12-05 15-06-08.png");
    EXPECT_EQ(log, (QStringList{"copy (0 files)",
                                "open Screenshot from 2026-12-05 15-06-08.png (0 files)"}));
    EXPECT_EQ(history.tracked, QStringList{"Screenshot from 2026-12-05 15-06-08.png"});
    EXPECT_TRUE(files(folder).isEmpty());
}

TEST(RouterEncoding, ACaptureCopiedSavedAndRecordedIsCompressedOnce)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir().mkdir(home.filePath("Saved")));
    platform::Defaults settings{home.filePath("settings.json")};
    // The history stores the capture's PNG as its own recorder does.
    struct EncodingHistory final : CaptureHistoryTracking {
        QString unavailableReason() const override { return {}; }
        void record(const BaseImage& image, const QString&) override
        {
            png = SnapkinDocument::pngData(image).value_or(QByteArray());
        }
        QByteArray png;
    } history;
    PostCaptureRouter::Routes routes = PostCaptureRouter::defaultRoutes();
    routes.now = [] { return fixedTime; };
    PostCaptureRouter router(settings, CaptureHooks{nullptr, &history}, routes);
    router.registerDefaults();
    router.setDefaultSaveFolder(home.filePath("Saved"));
    settings.setValue("afterCaptureShow", false);
    settings.setValue("afterCaptureCopy", true);
    settings.setValue("afterCaptureSaveToDisk", true);

    QImage pixels(640, 400, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(QColor(40, 44, 52));
    QPainter(&pixels).fillRect(QRect(40, 40, 300, 200), QLinearGradient(0, 0, 640, 400));
    const BaseImage capture(pixels);
    const std::uint64_t before = platform::PngEncoder::compressions();
    router.handleCapturedImage(capture, "Untitled");

    EXPECT_EQ(platform::PngEncoder::compressions() - before, 1u);
    QFile saved(home.filePath("Saved/Screenshot 2026-12-05 at 15.06.08.png"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray file = saved.readAll();
    ASSERT_FALSE(file.isEmpty());
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->data("image/png"), file);
    EXPECT_EQ(history.png, file);
}

// A picture whose conversion ran out of memory has no pixels: it opens no empty editor and is
// neither copied, saved nor kept, whichever way it came.
TEST_F(Router, APictureWithoutPixelsGoesNowhere)
{
    set("afterCaptureCopy", true);
    set("afterCaptureSaveToDisk", true);
    router->handleCapturedImage(BaseImage(), "Untitled");
    router->handleSystemScreenshot(BaseImage(), "shot.png");
    EXPECT_TRUE(log.isEmpty());
    EXPECT_TRUE(files(folder).isEmpty());
    EXPECT_TRUE(history.tracked.isEmpty());
    EXPECT_TRUE(history.recorded.isEmpty());
}

// Without a folder to save in, the standard save route runs the save dialog of the export
// dialogs the router was given, proposing the capture's name; without any, the router's own.
TEST(RouterSaveDialog, RunsTheDialogsItWasGiven)
{
    QTemporaryDir home;
    platform::Defaults settings{home.filePath("settings.json")};
    struct CancelledPanel final : SavePanel {
        explicit CancelledPanel(QStringList& proposed) : proposed(proposed) {}
        void setFormat(ExportFormat) override {}
        QString fileName() const override { return name; }
        void setFileName(const QString& n) override { name = n; }
        void setDirectory(const QString&) override {}
        void setAccessory(SaveOptionsAccessory* a) override { accessory.reset(a); }
        std::optional<QString> run() override
        {
            proposed << name;
            return std::nullopt;
        }
        QStringList& proposed;
        QString name;
        std::unique_ptr<SaveOptionsAccessory> accessory;
    };
    QStringList first, second;
    ExportService exports;
    const ExportDialogs one(exports,
                            [&first](QWidget*) { return std::make_unique<CancelledPanel>(first); });
    const ExportDialogs two(
        exports, [&second](QWidget*) { return std::make_unique<CancelledPanel>(second); });
    PostCaptureRouter::Routes routes = PostCaptureRouter::defaultRoutes();
    routes.now = [] { return QDateTime(QDate(2026, 12, 5), QTime(15, 6, 8)); };
    PostCaptureRouter router(settings, {}, routes);
    router.registerDefaults();
    const BaseImage capture(QImage(8, 8, QImage::Format_ARGB32_Premultiplied));

    router.setExports(&one);
    router.saveToDisk(capture);
    router.setExports(&two);
    router.saveToDisk(capture);
    router.saveToDisk(capture);
    EXPECT_EQ(first, QStringList{"Screenshot 2026-12-05 at 15.06.08.png"});
    EXPECT_EQ(second.size(), 2);
}
