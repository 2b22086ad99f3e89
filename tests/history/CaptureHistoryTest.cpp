#include "HistorySupport.h"

#include "history/CaptureHistory.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::testing;

namespace {

class CaptureHistoryTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    platform::Defaults defaults{root.filePath("settings.json")};
    HistoryStore files{root.filePath("History")};
    QDateTime now = utc("2026-06-01T12:00:00Z");

    std::unique_ptr<CaptureHistory> open()
    {
        return std::make_unique<CaptureHistory>(files.directory(), defaults);
    }
    // `count` entries one minute apart, the newest `newestAge` seconds before `now`.
    QList<HistoryEntry> young(int count)
    {
        QList<HistoryEntry> list;
        for (int i = 0; i < count; ++i)
            list.append(entry(QUuid::createUuid(), QString::number(i), now.addSecs(-60 * (i + 1))));
        return list;
    }
    static QList<QUuid> idsOf(const QList<HistoryEntry>& entries)
    {
        QList<QUuid> ids;
        for (const auto& e : entries)
            ids.append(e.id);
        return ids;
    }
};

TEST_F(CaptureHistoryTest, RegistersItsSettingsAndWritesTheIndexOfAFirstLaunch)
{
    auto history = open();
    EXPECT_TRUE(defaults.boolForKey("historyEnabled"));
    EXPECT_EQ(defaults.integerForKey("historyRetentionDays"), 30);
    history->drain();
    EXPECT_EQ(readFile(files.directory() + "/index.json"), R"({"entries":[],"version":1})");
}

TEST_F(CaptureHistoryTest, RetentionKeepsAnEntryExactlyAtTheLimitAndNoSecondOlder)
{
    const HistoryEntry atLimit = entry(QUuid::createUuid(), "at limit", now.addSecs(-30 * 86400));
    const HistoryEntry past = entry(QUuid::createUuid(), "past", now.addSecs(-30 * 86400 - 1));
    const HistoryEntry future = entry(QUuid::createUuid(), "future", now.addDays(2));
    seedEntries(files, {future, atLimit, past});

    auto history = open();
    history->pruneExpired(now);
    EXPECT_EQ(idsOf(history->entries()), (QList<QUuid>{future.id, atLimit.id}));
    history->drain();
    EXPECT_FALSE(QFileInfo::exists(files.packagePath(past.id)));
    EXPECT_EQ(idsOf(files.load(now).entries), idsOf(history->entries()));

    defaults.setValue("historyRetentionDays", 0);
    history->pruneExpired(now.addYears(10));
    EXPECT_EQ(history->entries().size(), 2) << "0 keeps entries for ever";
}

// A retention the menu doesn't offer, as a hand-edited settings file holds it, is the period
// pruning keeps: never the default's 30 days, which would remove what the user meant to keep.
TEST_F(CaptureHistoryTest, ARetentionFromTheSettingsFileIsKeptWhateverTheMenuOffers)
{
    const HistoryEntry tenDays = entry(QUuid::createUuid(), "ten days", now.addDays(-10));
    const HistoryEntry twentyDays = entry(QUuid::createUuid(), "twenty days", now.addDays(-20));
    const HistoryEntry twoYears = entry(QUuid::createUuid(), "two years", now.addDays(-730));
    const std::pair<const char*, QList<QUuid>> cases[] = {
        {R"({"historyRetentionDays": 14})", {tenDays.id}},
        {R"({"historyRetentionDays": 1000})", {tenDays.id, twentyDays.id, twoYears.id}},
        {R"({"historyRetentionDays": -5})", {tenDays.id, twentyDays.id, twoYears.id}},
    };
    for (const auto& [json, expected] : cases) {
        SCOPED_TRACE(json);
        seedEntries(files, {tenDays, twentyDays, twoYears});
        writeFile(defaults.filePath(), json);
        defaults.reload();
        auto history = open();
        history->pruneExpired(now);
        EXPECT_EQ(idsOf(history->entries()), expected);
        history->drain();
    }
}

TEST_F(CaptureHistoryTest, NoRetentionKeepsMoreThanAThousandEntries)
{
    const QList<HistoryEntry> entries = young(1200);
    seedEntries(files, entries);
    for (int days : {30, 0, -1}) {
        SCOPED_TRACE(days);
        defaults.setValue("historyRetentionDays", days);
        auto history = open();
        ASSERT_EQ(history->entries().size(), days == 30 ? 1200 : 1000);
        history->pruneExpired(now);
        EXPECT_EQ(idsOf(history->entries()), idsOf(entries.mid(0, 1000)));
        history->drain();
        EXPECT_FALSE(QFileInfo::exists(files.packagePath(entries[1000].id)));
        EXPECT_TRUE(QFileInfo::exists(files.packagePath(entries[999].id)));
    }
}

TEST_F(CaptureHistoryTest, EntriesOpenInAnEditorStayYetTakeTheirPlaceInTheCount)
{
    QList<HistoryEntry> entries = young(1001);
    const HistoryEntry ancient = entry(QUuid::createUuid(), "ancient", now.addDays(-400));
    seedEntries(files, entries + QList<HistoryEntry>{ancient});
    auto history = open();

    const platform::BaseImage image(QImage(8, 8, QImage::Format_ARGB32_Premultiplied));
    AnnotationStore newest(image, defaults);
    AnnotationStore old(image, defaults);
    history->track(newest, "newest", entries[0].id, false);
    history->track(old, "ancient", ancient.id, false);
    history->pruneExpired(now);
    // The open newest entry still counts: the 1001st entry goes, the ancient open one stays.
    QList<QUuid> expected = idsOf(entries.mid(0, 1000));
    expected.append(ancient.id);
    EXPECT_EQ(idsOf(history->entries()), expected);

    history->editorWillClose(old);
    history->pruneExpired(now);
    EXPECT_EQ(idsOf(history->entries()), idsOf(entries.mid(0, 1000)));
}

TEST_F(CaptureHistoryTest, RemovingRewritesTheIndexEvenForUnknownIdsAndQueuedSavesEndInTheLastState)
{
    const QList<HistoryEntry> entries = young(100);
    seedEntries(files, entries);
    auto history = open();

    QFile::remove(files.directory() + "/index.json");
    history->remove({QUuid::createUuid()});
    history->drain();
    EXPECT_EQ(idsOf(files.load(now).entries), idsOf(entries));

    // One removal at a time queues a hundred saves; the last one wins.
    for (qsizetype i = 0; i < 99; ++i)
        history->remove({entries[i].id});
    history->setRecognizedText(" last words ", entries[99].id);
    history->drain();
    const auto loaded = files.load(now);
    ASSERT_EQ(loaded.entries.size(), 1);
    EXPECT_EQ(loaded.entries[0].recognizedText, QString("last words"));
    EXPECT_FALSE(QFileInfo::exists(files.packagePath(entries[0].id)));

    history->removeAll();
    EXPECT_TRUE(history->entries().isEmpty());
    history->drain();
    EXPECT_EQ(readFile(files.directory() + "/index.json"), R"({"entries":[],"version":1})");
}

TEST_F(CaptureHistoryTest, ALinkedFolderTurnsTheHistoryOffForTheRun)
{
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), files.directory()));
    auto history = open();
    EXPECT_FALSE(history->isAvailable());
    history->record(platform::BaseImage(QImage(8, 8, QImage::Format_ARGB32_Premultiplied)), "x");
    history->removeAll();
    history->drain();
    EXPECT_TRUE(history->entries().isEmpty());
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
}

} // namespace
