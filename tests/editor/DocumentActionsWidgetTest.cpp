#include "editor/DocumentActions.h"
#include "editor/EditorToolbar.h"
#include "editor/RecentDocuments.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "output/ExportService.h"
#include "platform/Defaults.h"
#include "platform/OwnWrites.h"
#include "ui/output/SaveOptionsAccessory.h"

#include "support/AlertAnswerer.h"
#include "ui/output/ExportDialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace snapkin;

namespace {

class Companion : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        platform::Defaults::standard().removeAllStored();
        QImage image(30, 20, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::darkCyan);
        store = std::make_unique<AnnotationStore>(platform::BaseImage(image));
        imagePath = dir.filePath("Shot.png");
        QFile f(imagePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("png");
    }
    void TearDown() override { platform::Defaults::standard().removeAllStored(); }

    // A package of someone else's at `path`, recognisable by its document text.
    void plantForeignDocument(const QString& path)
    {
        ASSERT_TRUE(QDir().mkpath(path));
        QFile f(path + "/document.json");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\"foreign\":true}");
    }
    static QByteArray documentText(const QString& package)
    {
        QFile f(package + "/document.json");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static bool isOurs(const QString& package)
    {
        return SnapkinDocument::read(package).has_value();
    }

    QTemporaryDir dir;
    std::unique_ptr<AnnotationStore> store;
    QString imagePath;
};

} // namespace

TEST(CompanionPath, ReplacesOnlyTheLastExtension)
{
    EXPECT_EQ(DocumentActions::companionPath("/a/Shot.final.png"), "/a/Shot.final.snapkin");
    EXPECT_EQ(DocumentActions::companionPath("/a.b/Shot"), "/a.b/Shot.snapkin");
}

TEST_F(Companion, IsWrittenBesideTheImageAndJoinsTheRecentDocuments)
{
    AlertAnswerer alerts;
    const auto written = DocumentActions::writeCompanion(*store, dir.filePath("Shot.final.png"));
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, dir.filePath("Shot.final.snapkin"));
    EXPECT_TRUE(isOurs(*written));
    EXPECT_TRUE(alerts.seen().isEmpty());
    EXPECT_TRUE(platform::OwnWrites::shared().contains(*written));
    const RecentDocuments recent;
    ASSERT_FALSE(recent.urls().isEmpty());
    EXPECT_EQ(recent.urls().first(), QUrl::fromLocalFile(*written));
}

TEST_F(Companion, TheStoresOwnDocumentIsReplacedWithoutAskingAndTheStoreIsClean)
{
    const QString companion = dir.filePath("Shot.snapkin");
    ASSERT_TRUE(DocumentActions::writeCompanion(*store, imagePath));
    store->setDocumentURL(QUrl::fromLocalFile(companion));
    store->setHasUnsavedChanges(true);
    AlertAnswerer alerts;
    EXPECT_EQ(DocumentActions::writeCompanion(*store, imagePath), companion);
    EXPECT_TRUE(alerts.seen().isEmpty());
    EXPECT_FALSE(store->hasUnsavedChanges());
}

TEST_F(Companion, APackageThisStoreWroteIsReplacedWithoutAskingWhileUnchanged)
{
    const QString companion = dir.filePath("Shot.snapkin");
    {
        AlertAnswerer alerts;
        ASSERT_EQ(DocumentActions::writeCompanion(*store, imagePath), companion);
        // Saved again into the same name (another format, same base name): no question.
        EXPECT_EQ(DocumentActions::writeCompanion(*store, dir.filePath("Shot.jpeg")), companion);
        EXPECT_TRUE(alerts.seen().isEmpty());
        EXPECT_TRUE(isOurs(companion));
    }
    // Another editor's store did not write it: it asks.
    AnnotationStore other(store->image());
    {
        AlertAnswerer alerts({"Skip"});
        EXPECT_FALSE(DocumentActions::writeCompanion(other, imagePath).has_value());
        EXPECT_EQ(alerts.texts(), QStringList{"Replace the existing document?"});
    }
    // Replaced by someone else since (a new package under that name): asked about again.
    ASSERT_TRUE(QDir(companion).removeRecursively());
    plantForeignDocument(companion);
    {
        AlertAnswerer alerts({"Skip"});
        EXPECT_FALSE(DocumentActions::writeCompanion(*store, imagePath).has_value());
        EXPECT_EQ(alerts.texts(), QStringList{"Replace the existing document?"});
        EXPECT_EQ(documentText(companion), "{\"foreign\":true}");
    }
}

TEST_F(Companion, APackageChangedSinceThisStoreWroteItIsAskedAbout)
{
    const QString companion = dir.filePath("Shot.snapkin");
    ASSERT_EQ(DocumentActions::writeCompanion(*store, imagePath), companion);
    // Something added inside the package changes its modification time.
    QFile extra(companion + "/notes.txt");
    ASSERT_TRUE(extra.open(QIODevice::WriteOnly));
    extra.close();
    struct timespec later[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
    ::utimensat(AT_FDCWD, QFile::encodeName(companion).constData(), later, 0);
    AlertAnswerer alerts({"Skip"});
    EXPECT_FALSE(DocumentActions::writeCompanion(*store, imagePath).has_value());
    EXPECT_EQ(alerts.texts(), QStringList{"Replace the existing document?"});
    EXPECT_TRUE(QFile::exists(companion + "/notes.txt"));
}

TEST_F(Companion, AnotherDocumentIsReplacedKeptOrSkippedAsTheUserSays)
{
    const QString companion = dir.filePath("Shot.snapkin");
    store->setHasUnsavedChanges(true);

    plantForeignDocument(companion);
    {
        AlertAnswerer alerts({"Skip"});
        EXPECT_FALSE(DocumentActions::writeCompanion(*store, imagePath).has_value());
        ASSERT_EQ(alerts.seen().size(), 1);
        EXPECT_EQ(alerts.seen()[0].text, "Replace the existing document?");
        QStringList buttons = alerts.seen()[0].buttons;
        buttons.sort();
        EXPECT_EQ(buttons, (QStringList{"Keep Both", "Replace", "Skip"}));
        EXPECT_EQ(documentText(companion), "{\"foreign\":true}");
    }
    {
        plantForeignDocument(dir.filePath("Shot 2.snapkin")); // taken too: the next free is 3
        AlertAnswerer alerts({"Keep Both"});
        EXPECT_EQ(DocumentActions::writeCompanion(*store, imagePath),
                  dir.filePath("Shot 3.snapkin"));
        EXPECT_EQ(documentText(companion), "{\"foreign\":true}");
        EXPECT_EQ(documentText(dir.filePath("Shot 2.snapkin")), "{\"foreign\":true}");
        EXPECT_TRUE(isOurs(dir.filePath("Shot 3.snapkin")));
        // Nothing but the packages is left in the folder (no temporary).
        EXPECT_EQ(
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            (QStringList{"Shot 2.snapkin", "Shot 3.snapkin", "Shot.png", "Shot.snapkin"}));
    }
    {
        AlertAnswerer alerts({"Replace"});
        EXPECT_EQ(DocumentActions::writeCompanion(*store, imagePath), companion);
        EXPECT_TRUE(isOurs(companion));
    }
    // Written, but not as the store's own document: it still has unsaved changes.
    EXPECT_TRUE(store->hasUnsavedChanges());
}

TEST_F(Companion, AFailureIsShownAndLeavesTheImage)
{
    // A folder that cannot take the package: the image's folder is replaced by a plain file path.
    AlertAnswerer alerts;
    const QString missing = dir.filePath("no-such-folder/Shot.png");
    QFile blocker(dir.filePath("no-such-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(DocumentActions::writeCompanion(*store, missing).has_value());
    ASSERT_EQ(alerts.seen().size(), 1);
    EXPECT_EQ(alerts.seen()[0].text, "Couldn't save the Snapkin document next to the image");
    EXPECT_FALSE(alerts.seen()[0].informative.isEmpty());
    EXPECT_TRUE(QFile::exists(imagePath));
}

TEST_F(Companion, TheSaveDialogWritesItThroughTheEditor)
{
    // Both ways the editor saves its image hand the dialog the editor's writer.
    struct Panel final : SavePanel {
        QString path;
        std::unique_ptr<SaveOptionsAccessory> accessory;
        void setFormat(ExportFormat) override {}
        QString fileName() const override { return {}; }
        void setFileName(const QString&) override {}
        void setDirectory(const QString&) override {}
        void setAccessory(SaveOptionsAccessory* a) override { accessory.reset(a); }
        std::optional<QString> run() override { return path; }
    };
    platform::Defaults::standard().setValue("alsoSaveSnapkinDocument", true);
    QString target = dir.filePath("Saved.png");
    ExportService exports;
    ExportDialogs dialogs(exports, [&](QWidget*) {
        auto panel = std::make_unique<Panel>();
        panel->path = target;
        return panel;
    });
    const bool saved = DocumentActions::exportImage(dialogs, *store, ExportFormat::png);
    target = dir.filePath("Routed.png");
    const bool routed =
        EditorToolbarRoutes::standard(dialogs).save(ExportFormat::png, *store, nullptr);
    EXPECT_TRUE(saved);
    EXPECT_TRUE(isOurs(dir.filePath("Saved.snapkin")));
    EXPECT_TRUE(routed);
    EXPECT_TRUE(isOurs(dir.filePath("Routed.snapkin")));
}
