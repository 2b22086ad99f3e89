// The history as the editor windows feed it: files opened in an editor become entries at their
// first edit, under their file name.

#include "TestPaths.h"

#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "history/CaptureHistory.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "platform/Defaults.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

class HistoryOfOpenedFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QApplication::setQuitOnLastWindowClosed(false);
        platform::Defaults::standard().removeAllStored();
        history = std::make_unique<CaptureHistory>(dir.filePath("History"),
                                                   platform::Defaults::standard());
        // One second apart, so the newer entry is always listed first.
        history->setClock([this] {
            return QDateTime(QDate(2026, 6, 1), QTime(12, 0), Qt::UTC).addSecs(ticks++);
        });
        editors.setHistory(history.get());
    }
    void TearDown() override
    {
        for (EditorPage* page : editors.pages()) {
            page->store().setHasUnsavedChanges(false);
            page->window()->close();
        }
        waitUntil([&] { return editors.pages().isEmpty(); });
        editors.setHistory(nullptr);
        history->drain();
        platform::Defaults::standard().removeAllStored();
    }

    // Opens `path` in an editor and draws one rectangle on it.
    AnnotationStore* openAndEdit(const QString& path)
    {
        if (!editors.openFile(path)) return nullptr;
        const QList<EditorPage*> pages = editors.pages();
        if (pages.isEmpty()) return nullptr;
        AnnotationStore& store = pages.last()->store();
        store.appendAnnotation(
            Annotation{.kind = AnnotationKind::rectangle, .p1 = {1, 1}, .p2 = {5, 4}});
        return &store;
    }
    QStringList titles() const
    {
        QStringList result;
        for (const HistoryEntry& entry : history->entries())
            result << entry.title;
        return result;
    }

    QTemporaryDir dir;
    std::unique_ptr<CaptureHistory> history;
    EditorWindowController editors;
    int ticks = 0;
};

// A history that goes while the editors report to it leaves them one that keeps nothing, not a
// dangling reference.
TEST_F(HistoryOfOpenedFiles, AHistoryThatGoesIsNoLongerToldAnything)
{
    ASSERT_EQ(&editors.history(), history.get());
    history.reset();
    EXPECT_EQ(&editors.history(), &HistoryTracking::none());
    history =
        std::make_unique<CaptureHistory>(dir.filePath("History"), platform::Defaults::standard());
}

TEST_F(HistoryOfOpenedFiles, AnEditedDocumentAndImageEnterUnderTheirFileNames)
{
    auto package = SnapkinDocument::readPackage(SNAPKIN_TEST_DATA "/package-basic.snapkin");
    ASSERT_TRUE(package);
    const QString document = dir.filePath("Notes.snapkin");
    ASSERT_TRUE(SnapkinDocument::write(*package, document));
    QImage pixels(40, 30, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::darkCyan);
    const QString image = dir.filePath("shot.png");
    ASSERT_TRUE(pixels.save(image, "PNG"));

    // Opening alone adds nothing: an entry comes with the first edit.
    ASSERT_TRUE(editors.openFile(image));
    EXPECT_TRUE(history->entries().isEmpty());
    ASSERT_TRUE(openAndEdit(document));
    editors.pages().first()->store().appendAnnotation(
        Annotation{.kind = AnnotationKind::rectangle, .p1 = {1, 1}, .p2 = {5, 4}});
    ASSERT_TRUE(waitUntil([&] { return history->entries().size() == 2; }));
    EXPECT_EQ(titles(), (QStringList{"shot.png", "Notes.snapkin"}));

    // The written package holds the edit, and the title with its extension is searched.
    history->flushAndDrain();
    const HistoryEntry notes = history->entries().last();
    ASSERT_EQ(notes.title, "Notes.snapkin");
    auto written = SnapkinDocument::read(history->files().packagePath(notes.id));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->document.annotations.size(), 2); // the fixture's arrow and the rectangle
    EXPECT_EQ(history->search("notes.snapkin"), QList<QUuid>{notes.id});
    EXPECT_EQ(history->search("shot.png"), QList<QUuid>{history->entries().first().id});
}

// A history package opened as a file (File ▸ Open, a recent document, the command line)
// continues its entry, as opening it from the history does: no second entry named after the
// package, and the edits go back into it.
TEST_F(HistoryOfOpenedFiles, AHistoryPackageOpenedAsAFileContinuesItsEntry)
{
    QImage pixels(40, 30, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::darkCyan);
    const QString image = dir.filePath("shot.png");
    ASSERT_TRUE(pixels.save(image, "PNG"));
    ASSERT_TRUE(openAndEdit(image));
    ASSERT_TRUE(waitUntil([&] { return history->entries().size() == 1; }));
    history->flushAndDrain();
    const QUuid id = history->entries().first().id;
    for (EditorPage* page : editors.pages())
        page->window()->close();
    ASSERT_TRUE(waitUntil([&] { return editors.pages().isEmpty(); }));

    // Through a path spelled another way, as a file dialog may give it.
    const QString package = history->files().packagePath(id);
    const QString spelled = dir.filePath("History/../History/") + QFileInfo(package).fileName();
    ASSERT_TRUE(editors.openFile(spelled));
    ASSERT_EQ(editors.pages().size(), 1);
    AnnotationStore& store = editors.pages().first()->store();
    EXPECT_EQ(editors.pages().first()->title(), "shot.png");
    EXPECT_TRUE(store.documentURL().isEmpty());
    EXPECT_EQ(history->openStore(id), &store);

    // Opened again, the same editor comes forward.
    ASSERT_TRUE(editors.openFile(package));
    EXPECT_EQ(editors.pages().size(), 1);

    store.appendAnnotation(Annotation{.kind = AnnotationKind::arrow, .p1 = {2, 2}, .p2 = {20, 20}});
    history->flushAndDrain();
    EXPECT_EQ(titles(), QStringList{"shot.png"});
    auto written = SnapkinDocument::read(package);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->document.annotations.size(), 2);
}

} // namespace
