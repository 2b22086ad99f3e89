#include "EditorWidgetTestSupport.h"

#include "editor/DocumentActions.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "output/ExportService.h"
#include "platform/Defaults.h"
#include "ui/output/ExportDialogs.h"
#include "ui/output/SaveOptionsAccessory.h"
#include "ui/output/SavePanel.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

// The save dialog as the user answers it: each run accepts the next path, or cancels when none
// is left.
struct ScriptedPanel final : SavePanel {
    QStringList* accept;
    QList<ExportFormat>* formats;
    std::unique_ptr<SaveOptionsAccessory> accessory;
    QString name;

    ScriptedPanel(QStringList* a, QList<ExportFormat>* f) : accept(a), formats(f) {}
    void setFormat(ExportFormat format) override { formats->append(format); }
    QString fileName() const override { return name; }
    void setFileName(const QString& n) override { name = n; }
    void setDirectory(const QString&) override {}
    void setAccessory(SaveOptionsAccessory* a) override { accessory.reset(a); }
    std::optional<QString> run() override
    {
        if (accept->isEmpty()) return std::nullopt;
        return accept->takeFirst();
    }
};

class EditorSaving : public EditorWindowsTest {
protected:
    void SetUp() override
    {
        EditorWindowsTest::SetUp();
        editors().setExports(&dialogs);
    }
    void TearDown() override
    {
        EditorWindowsTest::TearDown();
        editors().setExports(nullptr);
    }

    ExportService exports;
    ExportDialogs dialogs{
        exports, [this](QWidget*) { return std::make_unique<ScriptedPanel>(&accepted, &formats); }};

    static void alsoSaveDocument(bool on)
    {
        platform::Defaults::standard().setValue(keys::alsoSaveSnapkinDocument, on);
    }
    // An editor page with one edit made, not bound to a document.
    EditorPage* dirtyCapture()
    {
        QImage image(60, 40, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::darkGreen);
        AnnotationStore& store = editors().open(platform::BaseImage(image), "Capture");
        addArrow(store);
        return editors().pageOf(store);
    }
    static void addArrow(AnnotationStore& store)
    {
        store.beginChange();
        store.appendAnnotation(
            Annotation{.kind = AnnotationKind::arrow, .p1 = {1, 1}, .p2 = {5, 5}});
        store.setHasUnsavedChanges(true);
    }
    static bool isPng(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) && f.read(8) == QByteArray("\x89PNG\r\n\x1a\n", 8);
    }
    bool pageIsOpen(EditorPage* page) { return editors().pages().contains(page); }

    QStringList accepted;
    QList<ExportFormat> formats;
};

} // namespace

TEST_F(EditorSaving, AnUnknownRememberedFormatSavesPng)
{
    platform::Defaults::standard().setValue("exportFormat", "heic");
    EditorPage* page = dirtyCapture();
    accepted << path("Out.png");
    EXPECT_TRUE(DocumentActions::exportImage(dialogs, page->store()));
    EXPECT_EQ(formats, QList<ExportFormat>{ExportFormat::png});
    EXPECT_TRUE(isPng(path("Out.png")));
    EXPECT_FALSE(page->store().hasUnsavedChanges());

    // A format given by the caller wins over the remembered one.
    accepted << path("Out.jpg");
    EXPECT_TRUE(DocumentActions::exportImage(dialogs, page->store(), ExportFormat::jpeg));
    EXPECT_EQ(formats.last(), ExportFormat::jpeg);
}

TEST_F(EditorSaving, SaveFromTheQuestionClosesOnlyWhenTheImageWasSaved)
{
    EditorPage* page = dirtyCapture();
    AlertAnswerer alerts;
    alerts.then(AlertAnswerer::key(Qt::Key_Return)); // Save…, then the dialog is cancelled
    alerts.then(AlertAnswerer::key(Qt::Key_Return)); // Save…, and a file is chosen

    EXPECT_FALSE(page->window()->close());
    EXPECT_TRUE(pageIsOpen(page));
    EXPECT_TRUE(page->store().hasUnsavedChanges());

    accepted << path("Saved.png");
    EXPECT_TRUE(page->window()->close());
    EXPECT_EQ(alerts.seen().size(), 2);
    EXPECT_TRUE(isPng(path("Saved.png")));
    EXPECT_TRUE(waitUntil([this] { return editors().pages().isEmpty(); }));
}

TEST_F(EditorSaving, ABoundDocumentStaysOpenUntilItsPackageIsWrittenToo)
{
    const QString package = writePackage("Shot.snapkin");
    ASSERT_TRUE(editors().openFile(package));
    EditorPage* page = editors().pages().last();
    addArrow(page->store());
    AlertAnswerer alerts;
    alerts.then(AlertAnswerer::key(Qt::Key_Return));
    alerts.then(AlertAnswerer::key(Qt::Key_Return));

    // Only an image: the document's edits would be lost, so the page stays.
    alsoSaveDocument(false);
    accepted << path("Shot.png");
    EXPECT_FALSE(page->window()->close());
    EXPECT_TRUE(isPng(path("Shot.png")));
    EXPECT_TRUE(pageIsOpen(page));
    EXPECT_TRUE(page->store().hasUnsavedChanges());
    EXPECT_EQ(SnapkinDocument::read(package)->document.annotations.size(), 1);

    // With the document beside the image, its own package is replaced and the page may close.
    alsoSaveDocument(true);
    accepted << path("Shot.png");
    EXPECT_TRUE(page->window()->close());
    EXPECT_EQ(alerts.seen().size(), 2); // no question about replacing its own document
    EXPECT_EQ(SnapkinDocument::read(package)->document.annotations.size(), 2);
    EXPECT_TRUE(waitUntil([this] { return editors().pages().isEmpty(); }));
}

TEST_F(EditorSaving, SaveFromTheQuestionAsksBeforeReplacingSomeoneElsesDocument)
{
    const QString foreign = writePackage("Shot.snapkin");
    alsoSaveDocument(true);
    EditorPage* page = dirtyCapture();
    AlertAnswerer alerts;
    alerts.then(AlertAnswerer::key(Qt::Key_Return));
    alerts.then(AlertAnswerer::clickButton("Keep Both"));

    accepted << path("Shot.png");
    EXPECT_TRUE(page->window()->close());
    ASSERT_EQ(alerts.seen().size(), 2);
    EXPECT_EQ(alerts.seen()[1].text, "Replace the existing document?");
    EXPECT_EQ(SnapkinDocument::read(foreign)->document.annotations.size(), 1); // untouched
    const auto kept = SnapkinDocument::read(path("Shot 2.snapkin"));
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->document.annotations.size(), 1);
    EXPECT_EQ(kept->image.pixelSize(), QSize(60, 40));
}
