#include "HistorySupport.h"

#include "history/CaptureHistory.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "platform/Defaults.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <new>

using namespace snapkin;
using namespace snapkin::testing;

namespace {

class HistoryRecordingTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    platform::Defaults defaults{root.filePath("settings.json")};
    HistoryStore files{root.filePath("History")};
    QDateTime now = utc("2026-06-01T12:00:00Z");
    std::unique_ptr<CaptureHistory> history;

    void SetUp() override
    {
        history = std::make_unique<CaptureHistory>(files.directory(), defaults);
        history->setClock([this] { return now; });
    }

    static platform::BaseImage image(QSize pixels = {64, 48})
    {
        QImage pixelsImage(pixels, QImage::Format_ARGB32_Premultiplied);
        pixelsImage.fill(QColor(20, 120, 200));
        return platform::BaseImage(pixelsImage);
    }
    std::unique_ptr<AnnotationStore> store(QSize pixels = {64, 48})
    {
        return std::make_unique<AnnotationStore>(image(pixels), defaults);
    }
    static Annotation box(double x)
    {
        return Annotation{.kind = AnnotationKind::rectangle, .p1 = {x, 2}, .p2 = {x + 10, 12}};
    }
    // The package on disk: its document and its record.
    std::optional<SnapkinDocument::Contents> package(const QUuid& id)
    {
        auto read = SnapkinDocument::read(files.packagePath(id));
        if (!read) return std::nullopt;
        return *read;
    }
    std::optional<HistoryEntry> record(const QUuid& id)
    {
        const auto json = QJsonDocument::fromJson(
            readFile(files.packagePath(id) + "/" + HistoryStore::recordName));
        auto decoded = HistoryEntry::fromJson(json.object(), now);
        if (!decoded) return std::nullopt;
        return decoded->entry;
    }
};

TEST_F(HistoryRecordingTest, ATrackedCaptureBecomesAnEntryWithAPackageThatReopensWithItsMarks)
{
    const HistoryEntry older = entry(QUuid::createUuid(), "older", now.addDays(-1));
    history.reset();
    seedEntries(files, {older});
    SetUp();

    auto editor = store({64, 48});
    editor->setAnnotations({box(2)});
    history->track(*editor, "Terminal", std::nullopt, false);

    ASSERT_EQ(history->entries().size(), 2);
    const HistoryEntry made = history->entries()[0];
    EXPECT_EQ(made.title, "Terminal");
    EXPECT_EQ(made.created, now);
    EXPECT_EQ(made.modified, now);
    EXPECT_EQ(made.pixelWidth, 64);
    EXPECT_EQ(made.pixelHeight, 48);
    EXPECT_FALSE(made.recognizedText.has_value());
    EXPECT_EQ(history->entries()[1].id, older.id);

    history->drain();
    auto contents = package(made.id);
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->document.annotations, editor->annotations());
    EXPECT_EQ(contents->image.pixelSize(), QSize(64, 48));
    EXPECT_EQ(contents->image.image().pixelColor(5, 5), QColor(20, 120, 200));
    EXPECT_TRUE(QFileInfo::exists(files.packagePath(made.id) + "/Preview/Thumbnail.png"));
    EXPECT_EQ(record(made.id), made);
    EXPECT_EQ(files.load(now).entries, history->entries());
}

TEST_F(HistoryRecordingTest, ABurstOfEditsIsWrittenOnceTheDelayAfterTheLast)
{
    constexpr int delay = 300;
    history->setWriteBackDelay(delay);
    auto editor = store();
    history->track(*editor, "Burst", std::nullopt, false);
    const QUuid id = history->entries()[0].id;
    // Registering the same editor again replaces its tracker: still one write per pause.
    history->track(*editor, "Burst", id, false);
    history->drain();
    QSignalSpy changes(history.get(), &CaptureHistory::entriesChanged);

    now = now.addSecs(5);
    QElapsedTimer sinceLast;
    // The pauses between edits keep the event loop still: one that ran it could be stretched
    // past the write-back delay on a loaded machine, and write in the middle of the burst. The
    // burst outlasts one delay, so a pause measured from its first edit would end too early.
    for (int i = 0; i < 3; ++i) {
        editor->setAnnotations(editor->annotations() + QList<Annotation>{box(i * 12)});
        sinceLast.start();
        QThread::msleep(delay / 2);
    }
    EXPECT_EQ(changes.count(), 0) << "nothing is written while the edits go on";
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes.count() > 0; }, 5000));
    EXPECT_GE(sinceLast.elapsed(), delay * 95 / 100) << "a coarse timer may fire up to 5% early";
    EXPECT_FALSE(QTest::qWaitFor([&] { return changes.count() > 1; }, 2 * delay));
    EXPECT_EQ(history->entries()[0].modified, now);
    EXPECT_EQ(history->entries()[0].created, now.addSecs(-5));

    history->drain();
    ASSERT_TRUE(package(id));
    EXPECT_EQ(package(id)->document.annotations.size(), 3);
    EXPECT_EQ(record(id)->modified, now) << "the record is rewritten with the package";
}

TEST_F(HistoryRecordingTest, ANewWriteBackDelayAppliesToEditorsAlreadyFollowed)
{
    auto editor = store();
    history->track(*editor, "Followed", std::nullopt, false);
    history->drain();
    history->setWriteBackDelay(50);
    QSignalSpy changes(history.get(), &CaptureHistory::entriesChanged);
    QElapsedTimer sinceEdit;
    sinceEdit.start();
    editor->setAnnotations({box(1)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes.count() > 0; }, 5000));
    EXPECT_LT(sinceEdit.elapsed(), CaptureHistory::writeBackDelayMs);
}

TEST_F(HistoryRecordingTest, ABlankCanvasBecomesAnEntryAtItsFirstEdit)
{
    constexpr int delay = 50;
    history->setWriteBackDelay(delay);
    auto editor = store();
    history->track(*editor, "Blank Canvas", std::nullopt, true);
    EXPECT_TRUE(history->entries().isEmpty());

    editor->setAnnotations({box(1)});
    ASSERT_EQ(history->entries().size(), 1);
    const QUuid id = history->entries()[0].id;
    EXPECT_EQ(history->entries()[0].title, "Blank Canvas");

    // Closing writes the pending change at once.
    history->editorWillClose(*editor);
    history->drain();
    ASSERT_TRUE(package(id));
    EXPECT_EQ(package(id)->document.annotations.size(), 1);
    EXPECT_EQ(files.load(now).entries.size(), 1);

    // Once closed, the editor is no longer followed.
    QSignalSpy changes(history.get(), &CaptureHistory::entriesChanged);
    editor->setAnnotations({});
    EXPECT_FALSE(QTest::qWaitFor([&] { return changes.count() > 0; }, 4 * delay));
    history->drain();
    EXPECT_EQ(package(id)->document.annotations.size(), 1);
}

TEST_F(HistoryRecordingTest, QuittingWritesEveryPendingChange)
{
    auto first = store();
    auto second = store();
    history->track(*first, "First", std::nullopt, false);
    history->track(*second, "Second", std::nullopt, false);
    now = now.addSecs(1);
    first->setAnnotations({box(1)});
    second->setAnnotations({box(1), box(20)});
    history->finishForQuit();
    ASSERT_EQ(history->entries().size(), 2);
    for (const HistoryEntry& e : history->entries()) {
        ASSERT_TRUE(package(e.id));
        EXPECT_EQ(package(e.id)->document.annotations.size(), e.title == "First" ? 1 : 2);
        EXPECT_EQ(record(e.id)->modified, now);
    }
}

TEST_F(HistoryRecordingTest, NothingIsRecordedWhileTheHistoryIsOff)
{
    defaults.setValue("historyEnabled", false);
    auto editor = store();
    history->track(*editor, "Off", std::nullopt, false);
    auto blank = store();
    history->track(*blank, "Blank", std::nullopt, true);
    blank->setAnnotations({box(1)});
    history->record(image(), "Copied");
    history->flushAndDrain();
    EXPECT_TRUE(history->entries().isEmpty());
    EXPECT_EQ(files.load(now).entries.size(), 0);
    EXPECT_EQ(QDir(files.directory()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 0);
}

TEST_F(HistoryRecordingTest, ACopiedCaptureIsRecordedWithItsImage)
{
    history->record(image({30, 10}), "Screenshot");
    ASSERT_EQ(history->entries().size(), 1);
    const HistoryEntry made = history->entries()[0];
    EXPECT_EQ(made.pixelWidth, 30);
    history->drain();
    auto contents = package(made.id);
    ASSERT_TRUE(contents);
    EXPECT_TRUE(contents->document.annotations.isEmpty());
    EXPECT_EQ(contents->image.pixelSize(), QSize(30, 10));
    EXPECT_EQ(record(made.id), made);
}

TEST_F(HistoryRecordingTest, ARemovedEntryIsNotWrittenAgainByItsEditor)
{
    auto editor = store();
    history->track(*editor, "Gone", std::nullopt, false);
    const QUuid id = history->entries()[0].id;
    editor->setAnnotations({box(1)});
    history->remove({id});
    history->editorWillClose(*editor);
    history->flushAndDrain();
    EXPECT_FALSE(QFileInfo::exists(files.packagePath(id)));
    EXPECT_TRUE(history->entries().isEmpty());
}

// Memory that runs out while a package is made (here in drawing its preview) is told, and the
// index, written after, names no package that isn't on disk; the next edit writes it.
TEST_F(HistoryRecordingTest, APackageThatCouldntBeMadeIsToldAndWrittenAtTheNextEdit)
{
    QSignalSpy failed(history.get(), &CaptureHistory::writeFailed);
    auto failing = std::make_shared<std::atomic<bool>>(true);
    history->setPreviewFlattener(
        [failing](const FlattenService::Input&, const std::atomic<bool>&) -> std::optional<QImage> {
            if (*failing) throw std::bad_alloc();
            return std::nullopt; // written without a preview
        });
    auto editor = store();
    history->track(*editor, "Edited", std::nullopt, false);
    const QUuid id = history->entries()[0].id;
    history->drain();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !failed.isEmpty(); }, 5000));
    EXPECT_TRUE(failed[0][0].toString().endsWith("there isn't enough memory."))
        << failed[0][0].toString().toStdString();
    EXPECT_FALSE(QFileInfo::exists(files.packagePath(id)));
    EXPECT_FALSE(readFile(files.directory() + "/index.json").contains(historyIDText(id).toUtf8()));
    EXPECT_EQ(history->entries().size(), 1) << "the entry stays for the next write";

    *failing = false;
    editor->setAnnotations({box(1)});
    history->editorWillClose(*editor);
    history->drain();
    ASSERT_TRUE(package(id));
    EXPECT_EQ(package(id)->document.annotations.size(), 1);
    EXPECT_EQ(files.load(now).entries, history->entries());
    EXPECT_EQ(failed.count(), 1);
}

// An index written for another reason while a new entry waits for its first package leaves
// that entry out until its package is there.
TEST_F(HistoryRecordingTest, TheIndexNamesANewEntryOnlyOnceItsPackageIsWritten)
{
    auto other = store();
    history->track(*other, "Other", std::nullopt, false);
    const QUuid otherID = history->entries()[0].id;
    now = now.addSecs(1);
    auto blank = store();
    history->track(*blank, "Blank Canvas", std::nullopt, true);
    blank->setAnnotations({box(1)}); // the entry exists; its package waits for the pause
    const QUuid id = history->entries()[0].id;
    ASSERT_NE(id, otherID);
    history->remove({otherID});
    history->drain();
    EXPECT_FALSE(QFileInfo::exists(files.packagePath(id)));
    EXPECT_FALSE(readFile(files.directory() + "/index.json").contains(historyIDText(id).toUtf8()));

    history->editorWillClose(*blank);
    history->drain();
    EXPECT_TRUE(readFile(files.directory() + "/index.json").contains(historyIDText(id).toUtf8()));
    EXPECT_EQ(files.load(now).entries, history->entries());
}

} // namespace
