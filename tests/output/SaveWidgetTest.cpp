#include "model/AnnotationStore.h"
#include "output/ExportService.h"
#include "platform/Defaults.h"
#include "ui/output/SaveOptionsAccessory.h"
#include "ui/output/SavePanel.h"

#include "support/AlertAnswerer.h"
#include "ui/output/ExportDialogs.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace snapkin;
using platform::Defaults;

namespace {

// Stands in for the save dialog: records what the dialog would show and "accepts" the paths a
// test plans, optionally picking a format in the accessory first, as a user would.
struct FakePanel final : SavePanel {
    struct Script {
        std::function<void(FakePanel&)> beforeAccept; // what the user does in the dialog
        QStringList accepted;                         // one per run; none left = Cancel
        QStringList namesShown;                       // the name field when each run began
        QStringList filters;
        QString directory;
        int runs = 0;
    };

    explicit FakePanel(Script& s) : script(s) {}

    void setFormat(ExportFormat format) override { script.filters << toRaw(format); }
    QString fileName() const override { return name; }
    void setFileName(const QString& n) override { name = n; }
    void setDirectory(const QString& folder) override { script.directory = folder; }
    void setAccessory(SaveOptionsAccessory* a) override { accessory.reset(a); }
    std::optional<QString> run() override
    {
        ++script.runs;
        script.namesShown << name;
        if (script.beforeAccept) script.beforeAccept(*this);
        if (script.accepted.isEmpty()) return std::nullopt;
        return script.accepted.takeFirst();
    }

    // Picks a format in the accessory's pop-up the way a click does.
    void choose(ExportFormat format)
    {
        QComboBox* popup = accessory->formatPopup();
        const int index = popup->findData(toRaw(format));
        popup->setCurrentIndex(index);
        emit popup->activated(index);
    }

    Script& script;
    QString name;
    std::unique_ptr<SaveOptionsAccessory> accessory;
};

class Save : public ::testing::Test {
protected:
    void SetUp() override
    {
        Defaults::standard().removeAllStored();
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override { Defaults::standard().removeAllStored(); }

    static QImage capture(int w = 40, int h = 30)
    {
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(20, 120, 220));
        return image;
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    bool save(ExportFormat format, AnnotationStore* document = nullptr, QImage image = capture(),
              const ExportDialogs::CompanionWriter& writeCompanion = {})
    {
        return dialogs.save(image, format, document, nullptr, {}, writeCompanion);
    }

    ExportService exports;
    ExportDialogs dialogs{exports,
                          [this](QWidget*) { return std::make_unique<FakePanel>(script); }};

    FakePanel::Script script;
    QTemporaryDir dir;
};

// Makes a folder unwritable, also for root (through the immutable flag); undone on scope exit.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& folder) : m_folder(QFile::encodeName(folder))
    {
        ::chmod(m_folder.constData(), 0555);
        if (::geteuid() == 0) m_immutable = setImmutable(true);
        m_ok = ::geteuid() != 0 || m_immutable;
    }
    ~ReadOnlyFolder()
    {
        if (m_immutable) setImmutable(false);
        ::chmod(m_folder.constData(), 0755);
    }
    bool ok() const { return m_ok; }

private:
    bool setImmutable(bool on)
    {
        const int fd = ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    QByteArray m_folder;
    bool m_immutable = false;
    bool m_ok = false;
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST_F(Save, OffersTheRequestedFormatUnderTheDefaultNameAndFolder)
{
    Defaults::standard().setValue(keys::defaultSaveFolder, dir.path());
    EXPECT_FALSE(save(ExportFormat::jpeg));
    EXPECT_EQ(script.namesShown, QStringList{"Screenshot.jpg"});
    EXPECT_EQ(script.filters, QStringList{"jpeg"});
    EXPECT_EQ(script.directory, dir.path());
    // Cancelled: nothing is stored or counted.
    EXPECT_FALSE(Defaults::standard().hasStoredValue(keys::exportFormat));
    EXPECT_FALSE(Defaults::standard().hasStoredValue(keys::reviewExportCount));

    // A name proposed by the caller (a capture that couldn't be saved on its own), in the
    // format's extension.
    dialogs.save(capture(), ExportFormat::webp, nullptr, nullptr,
                 "Screenshot 2026-12-05 at 15.06.08.png");
    EXPECT_EQ(script.namesShown.last(), "Screenshot 2026-12-05 at 15.06.08.webp");
}

TEST_F(Save, PickingAFormatRewritesTheTypedExtension)
{
    const QList<std::pair<QString, QString>> cases = {
        {"Report.png", "Report.jpg"}, {"a.b.png", "a.b.jpg"}, {"notes", "notes.jpg"},
        {"", "Screenshot.jpg"},       {".png", ".png.jpg"},
    };
    for (const auto& [typed, expected] : cases) {
        SCOPED_TRACE(typed.toStdString());
        QString seen;
        QStringList filters;
        script = {};
        script.beforeAccept = [&](FakePanel& panel) {
            panel.setFileName(typed);
            panel.choose(ExportFormat::jpeg);
            seen = panel.fileName();
        };
        save(ExportFormat::png);
        EXPECT_EQ(seen, expected);
        EXPECT_EQ(script.filters, (QStringList{"png", "jpeg"}));
    }
}

TEST_F(Save, StoresTheFormatAndTheQualityOfLossyFormatsOnly)
{
    script.beforeAccept = [](FakePanel& panel) {
        panel.choose(ExportFormat::jpeg);
        panel.accessory->qualitySlider()->setValue(16); // 80 %
    };
    script.accepted = {path("shot.jpg")};
    ASSERT_TRUE(save(ExportFormat::png));
    EXPECT_EQ(Defaults::standard().get(keys::exportFormat), "jpeg");
    EXPECT_DOUBLE_EQ(Defaults::standard().get(keys::jpegQuality), 0.8);
    EXPECT_TRUE(readAll(path("shot.jpg")).startsWith("\xFF\xD8\xFF"));

    script = {};
    script.accepted = {path("shot.png")};
    Defaults::standard().removeObject(keys::jpegQuality);
    ASSERT_TRUE(save(ExportFormat::png));
    EXPECT_EQ(Defaults::standard().get(keys::exportFormat), "png");
    EXPECT_FALSE(Defaults::standard().hasStoredValue(keys::jpegQuality));
    EXPECT_FALSE(Defaults::standard().hasStoredValue(keys::webpQuality));
    EXPECT_EQ(Defaults::standard().get(keys::reviewExportCount), 2);
}

TEST_F(Save, PutsTheFormatsExtensionOnTheAcceptedName)
{
    // Qt's dialog lets any name through; the format decides the extension.
    script.beforeAccept = [](FakePanel& panel) { panel.choose(ExportFormat::webp); };
    script.accepted = {path("Report"), path("Report.png")};
    ASSERT_TRUE(save(ExportFormat::png));
    EXPECT_TRUE(QFile::exists(path("Report.webp")));
    EXPECT_FALSE(QFile::exists(path("Report")));

    // That name exists and the user keeps it: the dialog comes back with the corrected name.
    const QByteArray old = readAll(path("Report.webp"));
    AlertAnswerer alerts({"Cancel"});
    script.runs = 0;
    script.namesShown.clear();
    script.accepted = {path("Report.png")};
    EXPECT_FALSE(save(ExportFormat::png));
    EXPECT_EQ(script.runs, 2);
    EXPECT_EQ(script.namesShown.value(1), "Report.webp");
    ASSERT_EQ(alerts.seen().size(), 1);
    EXPECT_EQ(alerts.seen()[0].text, "“Report.webp” already exists. Do you want to replace it?");
    EXPECT_EQ(readAll(path("Report.webp")), old);
    EXPECT_FALSE(QFile::exists(path("Report.png")));
}

TEST_F(Save, AutoCopyPutsTheImageOnTheClipboardAndCountsOnce)
{
    Defaults::standard().setValue(keys::autoCopyAfterSave, true);
    Defaults::standard().setValue(keys::reviewExportCount, 4);
    QGuiApplication::clipboard()->clear();
    script.accepted = {path("copy.png")};
    ASSERT_TRUE(save(ExportFormat::png));
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_TRUE(mime->hasFormat("image/png"));
    EXPECT_EQ(Defaults::standard().get(keys::reviewExportCount), 5);
}

TEST_F(Save, AFolderWithoutPermissionKeepsTheOldFileAndSaysWhy)
{
    const QString target = path("kept.png");
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the earlier file");
    }
    ReadOnlyFolder readOnly(dir.path());
    if (!readOnly.ok()) GTEST_SKIP() << "cannot make a folder read-only here";
    AlertAnswerer alerts;
    script.accepted = {target};
    EXPECT_FALSE(save(ExportFormat::png));
    ASSERT_EQ(alerts.seen().size(), 1);
    EXPECT_EQ(alerts.seen()[0].text, "Couldn't save the image");
    EXPECT_TRUE(alerts.seen()[0].informative.contains(dir.path()));
    EXPECT_EQ(alerts.seen()[0].buttons, QStringList{"OK"});
    EXPECT_EQ(readAll(target), "the earlier file");
    EXPECT_FALSE(Defaults::standard().hasStoredValue(keys::reviewExportCount));
}

TEST_F(Save, AnImageTooLargeForWebPIsReportedNotSaved)
{
    AlertAnswerer alerts;
    script.beforeAccept = [](FakePanel& panel) {
        panel.accessory->qualitySlider()->setValue(14); // 70 %
    };
    script.accepted = {path("huge.webp")};
    EXPECT_FALSE(save(ExportFormat::webp, nullptr, capture(20000, 4)));
    ASSERT_EQ(alerts.seen().size(), 1);
    EXPECT_EQ(alerts.seen()[0].text, "Couldn't save the image");
    EXPECT_EQ(alerts.seen()[0].informative, "WebP images can be at most 16383 pixels on a side.");
    EXPECT_FALSE(QFile::exists(path("huge.webp")));
    // Remembered although the encoding failed.
    EXPECT_EQ(Defaults::standard().get(keys::exportFormat), "webp");
    EXPECT_DOUBLE_EQ(Defaults::standard().get(keys::webpQuality), 0.7);
}

TEST_F(Save, WritesTheDocumentOnlyWhenOfferedAndChecked)
{
    QStringList companions;
    const ExportDialogs::CompanionWriter writer = [&](AnnotationStore&, const QString& imagePath) {
        companions << imagePath;
    };
    AnnotationStore document{platform::BaseImage(capture())};
    AnnotationStore* store = &document;

    bool offered = false;
    script.beforeAccept = [&](FakePanel& panel) {
        offered = panel.accessory->isDocumentRowShown();
        panel.accessory->documentCheckbox()->setChecked(true);
    };
    script.accepted = {path("with.png")};
    ASSERT_TRUE(save(ExportFormat::png, store, capture(), writer));
    EXPECT_TRUE(offered);
    EXPECT_EQ(companions, QStringList{path("with.png")});

    script.accepted = {path("without.png")};
    script.beforeAccept = [&](FakePanel& panel) {
        panel.accessory->documentCheckbox()->setChecked(false);
    };
    ASSERT_TRUE(save(ExportFormat::png, store, capture(), writer));
    EXPECT_EQ(companions.size(), 1);

    // No document (a pinned screenshot, the router): no row, nothing written, whatever is stored.
    Defaults::standard().setValue(keys::alsoSaveSnapkinDocument, true);
    script.accepted = {path("alone.png")};
    script.beforeAccept = [&](FakePanel& panel) {
        offered = panel.accessory->isDocumentRowShown();
    };
    ASSERT_TRUE(save(ExportFormat::png, nullptr, capture(), writer));
    EXPECT_FALSE(offered);
    EXPECT_EQ(companions.size(), 1);
}

// Whatever dialog chose it, a path inside a document package is refused and the dialog runs
// again beside the package; nothing is written inside, neither the image nor its document.
TEST_F(Save, APathInsideADocumentPackageIsRefusedAndTheDialogRunsAgainBesideIt)
{
    ASSERT_TRUE(QDir().mkpath(path("Shot.snapkin/Inner")));
    QStringList companions;
    const ExportDialogs::CompanionWriter writer = [&](AnnotationStore&, const QString& imagePath) {
        companions << imagePath;
    };
    AnnotationStore document{platform::BaseImage(capture())};
    script.accepted = {path("Shot.snapkin/Inner/in"), path("beside.png")};
    QStringList directories;
    script.beforeAccept = [&](FakePanel& panel) {
        panel.accessory->documentCheckbox()->setChecked(true);
        directories << script.directory;
    };
    AlertAnswerer alerts;
    ASSERT_TRUE(save(ExportFormat::png, &document, capture(), writer));
    EXPECT_EQ(alerts.texts(), QStringList{"A file can't be saved inside “Shot.snapkin”."});
    EXPECT_EQ(script.runs, 2);
    ASSERT_EQ(directories.size(), 2);
    EXPECT_EQ(directories[1], QDir(dir.path()).absolutePath());
    EXPECT_EQ(companions, QStringList{path("beside.png")});
    EXPECT_TRUE(QDir(path("Shot.snapkin/Inner")).isEmpty());
}

TEST_F(Save, SavesTheDocumentFlattenedWhileTheDialogWasOpen)
{
    AnnotationStore document{platform::BaseImage(capture(80, 60))};
    document.setAnnotations({Annotation{.kind = AnnotationKind::rectangle,
                                        .p1 = {10, 10},
                                        .p2 = {70, 50},
                                        .colorHex = "#FF0000",
                                        .lineWidth = 6,
                                        .filled = true}});
    script.accepted = {path("drawn.png")};
    ASSERT_TRUE(dialogs.saveFlattened(document, ExportFormat::png));
    const QImage saved(path("drawn.png"));
    ASSERT_EQ(saved.size(), QSize(80, 60));
    // The mark drawn over the image, and the image beyond it.
    EXPECT_GT(qRed(saved.pixel(40, 30)), 200);
    EXPECT_LT(qGreen(saved.pixel(40, 30)), 60);
    EXPECT_EQ(saved.pixel(2, 2), capture().pixel(0, 0));
}

TEST_F(Save, ADocumentThatCannotBeFlattenedIsRefusedBeforeTheDialog)
{
    AlertAnswerer alerts;
    AnnotationStore document{platform::BaseImage(capture(), QSizeF(1e9, 10))};
    script.accepted = {path("never.png")};
    EXPECT_FALSE(dialogs.saveFlattened(document, ExportFormat::png));
    EXPECT_EQ(script.runs, 0);
    ASSERT_EQ(alerts.seen().size(), 1);
    EXPECT_EQ(alerts.seen()[0].text, "Couldn't prepare the image");
    EXPECT_FALSE(QFile::exists(path("never.png")));
}

TEST(SaveExtension, KeepsReplacesOrAppends)
{
    EXPECT_EQ(ExportService::withFormatExtension("/a/shot.JPEG", ExportFormat::jpeg),
              "/a/shot.JPEG");
    EXPECT_EQ(ExportService::withFormatExtension("/a/shot.png", ExportFormat::jpeg), "/a/shot.jpg");
    EXPECT_EQ(ExportService::withFormatExtension("/a/v1.2", ExportFormat::png), "/a/v1.2.png");
    EXPECT_EQ(ExportService::withFormatExtension("/a.b/notes", ExportFormat::tiff),
              "/a.b/notes.tiff");
    EXPECT_EQ(ExportService::withFormatExtension("/a/x.tif", ExportFormat::tiff), "/a/x.tif");
}
