#include "HistorySupport.h"

#include "history/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace snapkin;
using namespace snapkin::testing;

namespace {

class HistoryStoreTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    HistoryStore store{root.filePath("History")};
    QDateTime now = utc("2026-03-01T12:00:00Z");

    QString indexPath() const { return store.directory() + "/index.json"; }
    void writeIndex(const QByteArray& json) { writeFile(indexPath(), json); }
    QByteArray indexEntry(const QUuid& id, const QByteArray& fields = {})
    {
        QByteArray text = "{\"id\":\"" + historyIDText(id).toLatin1() + "\"";
        if (!fields.isEmpty()) text += "," + fields;
        return text + "}";
    }
    static QByteArray complete(const char* title, const char* created)
    {
        return QByteArray("\"title\":\"") + title + "\",\"created\":\"" + created +
               "\",\"modified\":\"" + created + "\",\"pixelWidth\":40,\"pixelHeight\":20";
    }
};

TEST_F(HistoryStoreTest, FirstLaunchLoadsNothingAndTheFirstSaveMakesAPrivateFolder)
{
    const auto loaded = store.load(now);
    EXPECT_TRUE(loaded.entries.isEmpty());
    EXPECT_TRUE(loaded.repaired);
    EXPECT_FALSE(QFileInfo::exists(store.directory())) << "load() must not write";

    ASSERT_TRUE(store.save({}));
    EXPECT_EQ(readFile(indexPath()), QByteArray(R"({"entries":[],"version":1})"));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(store.directory()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(HistoryStoreTest, SavedEntriesComeBackCompactWithSortedKeysAndWholeSeconds)
{
    const QUuid a = QUuid::createUuid();
    const QUuid b = QUuid::createUuid();
    writePackage(store, a);
    writePackage(store, b);
    HistoryEntry older = entry(a, "Older", utc("2026-02-01T08:00:00Z"));
    older.recognizedText = QString("Hello \"world\"\nsecond line");
    HistoryEntry newer = entry(b, QString::fromUtf8("Caf\u00e9"), utc("2026-02-02T08:00:00Z"));
    newer.created = newer.created.addMSecs(750); // fractions are not kept on disk
    newer.modified = newer.created;
    ASSERT_TRUE(store.save({newer, older}));

    const QByteArray json = readFile(indexPath());
    const QByteArray expectedNewer = "{\"created\":\"2026-02-02T08:00:00Z\",\"id\":\"" +
                                     historyIDText(b).toLatin1() +
                                     "\",\"modified\":\"2026-02-02T08:00:00Z\",\"pixelHeight\":20,"
                                     "\"pixelWidth\":40,\"title\":\"Caf\xc3\xa9\"}";
    EXPECT_TRUE(json.startsWith("{\"entries\":[" + expectedNewer + ",{")) << json.toStdString();
    EXPECT_TRUE(json.endsWith("],\"version\":1}"));
    EXPECT_TRUE(json.contains("\"recognizedText\":\"Hello \\\"world\\\"\\nsecond line\""));

    const auto loaded = store.load(now);
    EXPECT_FALSE(loaded.repaired);
    newer.created = utc("2026-02-02T08:00:00Z");
    newer.modified = newer.created;
    EXPECT_EQ(loaded.entries, (QList<HistoryEntry>{newer, older}));
}

TEST_F(HistoryStoreTest, AnyIntegerVersionLoadsButAMissingOneRebuildsFromThePackages)
{
    const QUuid a = QUuid::createUuid();
    writePackage(store, a);
    ASSERT_TRUE(store.writeEntry(entry(a, "From the record", utc("2026-01-01T00:00:00Z"))));

    writeIndex("{\"entries\":[" +
               indexEntry(a, complete("From the index", "2026-01-05T00:00:00Z")) +
               "],\"version\":2}");
    auto loaded = store.load(now);
    ASSERT_EQ(loaded.entries.size(), 1);
    EXPECT_EQ(loaded.entries[0].title, "From the index") << "the index wins over the record";
    EXPECT_FALSE(loaded.repaired);

    writeIndex("{\"entries\":[" +
               indexEntry(a, complete("From the index", "2026-01-05T00:00:00Z")) + "]}");
    loaded = store.load(now);
    ASSERT_EQ(loaded.entries.size(), 1);
    EXPECT_EQ(loaded.entries[0].title, "From the record");
    EXPECT_TRUE(loaded.repaired);
}

// Each file is read into as much memory as it holds, not as much as it may hold: with 64 MB of
// address space to spare (under ulimit -v, say) the history still loads, its index rebuilt from
// the packages' documents, rather than ending the start with std::bad_alloc.
TEST_F(HistoryStoreTest, LoadsWithLittleAddressSpaceToSpare)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve address space of their own";
#endif
    const QUuid a = QUuid::createUuid();
    writePackage(store, a);
    writeIndex("{\"entries\":[" + indexEntry(a) + "]}");
    const pid_t child = fork();
    if (child == 0) {
        QFile status(QStringLiteral("/proc/self/status"));
        rlim_t mapped = 0;
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("VmSize:"))
                    mapped = rlim_t(line.mid(7).trimmed().split(' ')[0].toLongLong()) * 1024;
        }
        const rlimit limit{mapped + (64 << 20), mapped + (64 << 20)};
        if (mapped == 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(4);
        try {
            _exit(store.load(now).entries.size() == 1 ? 0 : 2);
        } catch (const std::bad_alloc&) {
            _exit(3);
        }
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(HistoryStoreTest, OneBadEntryRebuildsTheWholeIndex)
{
    const QUuid a = QUuid::createUuid();
    const QUuid b = QUuid::createUuid();
    writePackage(store, a);
    writePackage(store, b);
    ASSERT_TRUE(store.writeEntry(entry(a, "Record A", utc("2026-01-01T00:00:00Z"))));
    ASSERT_TRUE(store.writeEntry(entry(b, "Record B", utc("2026-01-02T00:00:00Z"))));
    const QByteArray good = indexEntry(a, complete("Index A", "2026-01-05T00:00:00Z"));

    const QList<QByteArray> badEntries{
        "{" + complete("No id", "2026-01-05T00:00:00Z") + "}",
        indexEntry(b, complete("Fraction", "2026-01-05T00:00:00.5Z")),
        indexEntry(b, complete("Offset", "2026-01-05T00:00:00+01:00")),
        indexEntry(b, "\"title\":42"),
        indexEntry(b, "\"pixelWidth\":1.5"),
        indexEntry(b, "\"recognizedText\":true"),
        "{\"id\":null}",
    };
    for (const QByteArray& bad : badEntries) {
        writeIndex("{\"entries\":[" + good + "," + bad + "],\"version\":1}");
        const auto loaded = store.load(now);
        ASSERT_EQ(loaded.entries.size(), 2) << bad.toStdString();
        EXPECT_EQ(loaded.entries[0].title, "Record B") << bad.toStdString();
        EXPECT_EQ(loaded.entries[1].title, "Record A") << bad.toStdString();
        EXPECT_TRUE(loaded.repaired);
    }
}

TEST_F(HistoryStoreTest, MissingFieldsAreFilledInOnceAndStayPutAfterTheSave)
{
    const QUuid a = QUuid::createUuid();
    writePackage(store, a);
    writeIndex("{\"entries\":[" + indexEntry(a, "\"title\":null") + "],\"version\":1}");

    const auto first = store.load(now);
    ASSERT_EQ(first.entries.size(), 1);
    const HistoryEntry& e = first.entries[0];
    EXPECT_EQ(e.title, "");
    EXPECT_EQ(e.created, now);
    EXPECT_EQ(e.modified, now);
    EXPECT_EQ(e.pixelWidth, 0);
    EXPECT_EQ(e.pixelHeight, 0);
    EXPECT_FALSE(e.recognizedText.has_value());
    EXPECT_TRUE(first.repaired) << "a filled-in date must be written back";

    ASSERT_TRUE(store.save(first.entries));
    const auto second = store.load(now.addDays(3));
    EXPECT_FALSE(second.repaired);
    EXPECT_EQ(second.entries, first.entries) << "the creation date must not move";
}

TEST_F(HistoryStoreTest, ReconcilesTheIndexWithThePackages)
{
    const QUuid listed = idStartingWith("A");
    const QUuid gone = idStartingWith("B");
    const QUuid recordOnly = idStartingWith("C");
    const QUuid documentOnly = idStartingWith("D");
    const QUuid empty = idStartingWith("E");
    writePackage(store, listed);

    // A package the index does not list, with a record naming another id.
    QDir().mkpath(store.packagePath(recordOnly));
    HistoryEntry record = entry(QUuid::createUuid(), "Record", utc("2026-01-03T00:00:00Z"));
    record.recognizedText = QString("text");
    ASSERT_TRUE(store.writeEntry(entry(recordOnly, "", now))); // package exists: writes
    writeFile(store.packagePath(recordOnly) + "/History.json",
              QJsonDocument(record.toJson()).toJson(QJsonDocument::Compact));

    // A package with only its document: sizes truncated, dates from the folder.
    writeFile(store.packagePath(documentOnly) + "/document.json",
              R"({"canvasSize":[720,450],"pixelSize":[1439.9,900.0],"annotations":[]})");
    QDir().mkpath(store.packagePath(empty));

    writeIndex("{\"entries\":[" + indexEntry(listed, complete("First", "2026-01-01T00:00:00Z")) +
               "," + indexEntry(listed, complete("Second", "2026-01-01T00:00:00Z")) + "," +
               indexEntry(gone, complete("Gone", "2026-01-01T00:00:00Z")) + "],\"version\":1}");

    const auto loaded = store.load(now);
    EXPECT_TRUE(loaded.repaired);
    ASSERT_EQ(loaded.entries.size(), 3);
    const auto find = [&](const QUuid& id) {
        return std::find_if(loaded.entries.begin(), loaded.entries.end(),
                            [&](const HistoryEntry& e) { return e.id == id; });
    };
    ASSERT_NE(find(listed), loaded.entries.end());
    EXPECT_EQ(find(listed)->title, "First") << "of a repeated id only the first stays";
    EXPECT_EQ(find(gone), loaded.entries.end());
    EXPECT_EQ(find(empty), loaded.entries.end());
    EXPECT_TRUE(QFileInfo::exists(store.packagePath(empty))) << "an unreadable package stays";

    ASSERT_NE(find(recordOnly), loaded.entries.end());
    HistoryEntry expectedRecord = record;
    expectedRecord.id = recordOnly;
    EXPECT_EQ(*find(recordOnly), expectedRecord);

    ASSERT_NE(find(documentOnly), loaded.entries.end());
    const HistoryEntry& fromDocument = *find(documentOnly);
    EXPECT_EQ(fromDocument.title, "");
    EXPECT_EQ(fromDocument.pixelWidth, 1439);
    EXPECT_EQ(fromDocument.pixelHeight, 900);
    EXPECT_FALSE(fromDocument.recognizedText.has_value());
    const QFileInfo folder(store.packagePath(documentOnly));
    EXPECT_EQ(fromDocument.modified, folder.lastModified().toUTC());

    // The unreadable package keeps the index from ever looking complete.
    ASSERT_TRUE(store.save(loaded.entries));
    EXPECT_TRUE(store.load(now).repaired);
    std::filesystem::remove_all(QFile::encodeName(store.packagePath(empty)).toStdString());
    EXPECT_FALSE(store.load(now).repaired);
}

TEST_F(HistoryStoreTest, AFallbackSizeThatDoesNotFitReadsAsZero)
{
    const QUuid id = QUuid::createUuid();
    writeFile(store.packagePath(id) + "/document.json",
              R"({"canvasSize":[1e300,-1e300],"annotations":[]})");
    const auto loaded = store.load(now);
    ASSERT_EQ(loaded.entries.size(), 1);
    EXPECT_EQ(loaded.entries[0].pixelWidth, 0);
    EXPECT_EQ(loaded.entries[0].pixelHeight, 0);

    writeFile(store.packagePath(id) + "/document.json",
              R"({"canvasSize":[640.7,-480.7],"annotations":[]})");
    const auto canvas = store.load(now);
    ASSERT_EQ(canvas.entries.size(), 1);
    EXPECT_EQ(canvas.entries[0].pixelWidth, 640) << "no pixel size: the canvas size is used";
    EXPECT_EQ(canvas.entries[0].pixelHeight, -480) << "truncated toward zero";
}

TEST_F(HistoryStoreTest, OnlyUuidNamesWithTheExactExtensionArePackages)
{
    const QUuid upper = QUuid::createUuid();
    const QString dir = store.directory();
    const auto record = [&](const QString& package) {
        writeFile(package + "/History.json",
                  QJsonDocument(entry(QUuid::createUuid(), "x", now).toJson())
                      .toJson(QJsonDocument::Compact));
    };
    record(dir + "/" + historyIDText(upper) + ".snapkin");
    record(dir + "/" + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".snapkin");
    record(dir + "/" + historyIDText(QUuid::createUuid()) + ".SNAPKIN");
    record(dir + "/" + historyIDText(QUuid::createUuid()));
    record(dir + "/not-a-uuid.snapkin");
    record(dir + "/{" + historyIDText(QUuid::createUuid()) + "}.snapkin");
    record(dir + "/." + historyIDText(QUuid::createUuid()) + ".snapkin.tmp-123");

    const auto loaded = store.load(now);
    ASSERT_EQ(loaded.entries.size(), 1);
    EXPECT_EQ(loaded.entries[0].id, upper);
}

TEST_F(HistoryStoreTest, SameSecondEntriesAreOrderedByUpperCaseIdEveryTime)
{
    const QDateTime second = utc("2026-01-01T10:00:00Z");
    const QUuid digit = idStartingWith("9F");
    const QUuid letter = idStartingWith("A0");
    const QUuid first = idStartingWith("0");
    const QUuid later = idStartingWith("F");
    for (const QUuid& id : {digit, letter, first, later})
        writePackage(store, id);
    QList<HistoryEntry> entries{entry(letter, "letter", second), entry(digit, "digit", second),
                                entry(later, "later", second.addSecs(1)),
                                entry(first, "first", second)};
    const QList<HistoryEntry> expected{entries[2], entries[3], entries[1], entries[0]};
    EXPECT_EQ(HistoryStore::sorted(entries), expected);

    ASSERT_TRUE(store.save(entries)); // saved out of order
    for (int i = 0; i < 3; ++i) {
        const auto loaded = store.load(now);
        EXPECT_EQ(loaded.entries, expected);
        ASSERT_TRUE(store.save(loaded.entries));
    }
}

TEST_F(HistoryStoreTest, WriteEntryNeverCreatesAPackageAndRemoveIgnoresWhatIsGone)
{
    const QUuid kept = QUuid::createUuid();
    const QUuid removed = QUuid::createUuid();
    writePackage(store, kept);
    writePackage(store, removed);
    store.remove({removed, QUuid::createUuid()});
    EXPECT_FALSE(QFileInfo::exists(store.packagePath(removed)));
    EXPECT_TRUE(QFileInfo::exists(store.packagePath(kept)));

    EXPECT_TRUE(store.writeEntry(entry(removed, "late", now)));
    EXPECT_FALSE(QFileInfo::exists(store.packagePath(removed)));

    EXPECT_TRUE(store.writeEntry(entry(kept, "kept", now)));
    EXPECT_TRUE(QFileInfo::exists(store.packagePath(kept) + "/History.json"));
}

TEST_F(HistoryStoreTest, RemovingALinkedPackageLeavesItsTargetAlone)
{
    QTemporaryDir elsewhere;
    writeFile(elsewhere.filePath("precious.png"), "data");
    QDir().mkpath(store.directory());
    const QUuid id = QUuid::createUuid();
    ASSERT_TRUE(QFile::link(elsewhere.path(), store.packagePath(id)));
    store.remove({id});
    EXPECT_FALSE(QFileInfo(store.packagePath(id)).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(elsewhere.filePath("precious.png")));
}

TEST_F(HistoryStoreTest, ALinkedOrForeignFolderIsNeitherReadNorWritten)
{
    QTemporaryDir elsewhere;
    const QUuid id = QUuid::createUuid();
    HistoryStore target(elsewhere.path());
    writePackage(target, id);
    ASSERT_TRUE(target.save({entry(id, "Someone else's", now)}));
    const QByteArray before = readFile(elsewhere.filePath("index.json"));

    ASSERT_TRUE(QFile::link(elsewhere.path(), store.directory()));
    EXPECT_EQ(store.folderState(), HistoryStore::FolderState::unsafe);
    const auto loaded = store.load(now);
    EXPECT_TRUE(loaded.entries.isEmpty());
    EXPECT_FALSE(loaded.repaired);
    const auto saved = store.save({});
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error(), HistoryStore::Error::unsafeFolder);
    EXPECT_FALSE(store.writeEntry(entry(id, "Mine", now)));
    store.remove({id});
    EXPECT_EQ(readFile(elsewhere.filePath("index.json")), before);
    EXPECT_TRUE(QFileInfo::exists(target.packagePath(id)));

    HistoryStore foreign(root.filePath("Foreign"));
    ASSERT_TRUE(foreign.save({}));
    if (::geteuid() != 0) GTEST_SKIP() << "giving a folder away needs root";
    ASSERT_EQ(::chown(QFile::encodeName(foreign.directory()).constData(), 65534, 65534), 0);
    EXPECT_EQ(foreign.folderState(), HistoryStore::FolderState::unsafe);
    EXPECT_FALSE(foreign.save({}));
}

TEST_F(HistoryStoreTest, SavingTakesGroupAndOtherAccessAway)
{
    QDir().mkpath(store.directory());
    ::chmod(QFile::encodeName(store.directory()).constData(), 0777);
    ASSERT_TRUE(store.save({}));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(store.directory()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(HistoryDates, OnlyWholeSecondsInUtcAreRead)
{
    EXPECT_EQ(historyDateFromText(u"2024-02-29T23:59:59Z"),
              QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59), Qt::UTC));
    for (const char16_t* bad :
         {u"2023-02-29T00:00:00Z", u"2024-01-01T24:00:00Z", u"2024-01-01T00:00:00.000Z",
          u"2024-01-01T00:00:00", u"2024-01-01 00:00:00Z", u"2024-01-01T00:00:00z",
          u"+024-01-01T00:00:00Z", u"2024-1-01T00:00:00Z"})
        EXPECT_FALSE(historyDateFromText(bad).has_value()) << QString::fromUtf16(bad).toStdString();
    const QDateTime local(QDate(2024, 6, 1), QTime(12, 30, 15, 999), QTimeZone(3600));
    EXPECT_EQ(historyDateText(local), "2024-06-01T11:30:15Z");
}

} // namespace
