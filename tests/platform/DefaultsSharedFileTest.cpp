#include "platform/Defaults.h"

#include "SettingsFileSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using snapkin::platform::Defaults;
namespace keys = snapkin::keys;
using snapkin::testing::fileObject;
using snapkin::testing::readFile;
using snapkin::testing::settingsPath;
using snapkin::testing::writeFile;

namespace {

QStringList listInFile(const QString& path, const char* key)
{
    QStringList list;
    for (const QJsonValue& item : fileObject(path).value(QLatin1String(key)).toArray())
        list << item.toString();
    return list;
}

struct stat statOf(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

// Runs `body` on a thread of its own and says whether it returned within a minute. A body stuck
// opening the pipe at `fifo` is let go by opening the pipe's other end, so the test ends either
// way.
bool returnsWhileFifoWaits(const QString& fifo, const std::function<void()>& body)
{
    std::packaged_task<void()> task(body);
    std::future<void> done = task.get_future();
    std::thread thread(std::move(task));
    const bool returned = done.wait_for(std::chrono::minutes(1)) == std::future_status::ready;
    if (!returned) {
        // Each open of the writing end lets one open of the reading end through.
        while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
    }
    thread.join();
    return returned;
}

// Runs `body` on a thread that can't read or write other people's files, even as root (Linux
// keeps capabilities per thread), so a file of mode 000 is as unreadable to it as to any user.
void withoutFileAccessOverride(const std::function<void()>& body)
{
    std::thread thread([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[2]{};
        ASSERT_EQ(::syscall(SYS_capget, &header, caps), 0);
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            caps[cap / 32].effective &= ~(1u << (cap % 32));
        ASSERT_EQ(::syscall(SYS_capset, &header, caps), 0);
        body();
    });
    thread.join();
}

// Holds the settings lock as another process would: through an open file of its own.
class HeldLock {
public:
    explicit HeldLock(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        m_held = m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    }
    ~HeldLock() { release(); }
    bool held() const { return m_held; }
    void release()
    {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    bool m_held = false;
};

} // namespace

// A pipe, or a link to one, where the settings file belongs: reading it would wait for a writer
// that never comes, and replacing it would lose what the user put there.
TEST(DefaultsFileKinds, APipeOrALinkToOneIsNeitherWaitedOnNorReplaced)
{
    for (const bool throughLink : {false, true}) {
        SCOPED_TRACE(throughLink ? "link to a pipe" : "pipe");
        QTemporaryDir dir;
        const QString path = settingsPath(dir);
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QString fifo = throughLink ? dir.path() + "/pipe" : path;
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        if (throughLink) {
            ASSERT_TRUE(QFile::link(fifo, path));
        }

        bool saved = true;
        QString failure;
        EXPECT_TRUE(returnsWhileFifoWaits(fifo, [&] {
            Defaults defaults(path);
            saved = defaults.setValue("captureDelay", 4);
            failure = defaults.saveFailure();
            EXPECT_EQ(defaults.integerForKey("captureDelay"), 4);
        }));
        EXPECT_FALSE(saved);
        EXPECT_FALSE(failure.isEmpty());
        EXPECT_TRUE(S_ISFIFO(statOf(path).st_mode));
        EXPECT_EQ(QFileInfo(path).isSymLink(), throughLink);
        EXPECT_FALSE(QFileInfo::exists(path + ".corrupt"));
    }
}

// A file the user can't read (mode 000, another user's) holds settings all the same: writing
// ours in its place would lose every one of them. It stays as it is, the user is told, and once
// it can be read again the next write merges over it.
TEST(DefaultsFileKinds, AnUnreadableFileIsLeftAsItIsAndMergedOnceReadable)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    const QByteArray original = R"({"appearance": "dark", "captureDelay": 5})";
    writeFile(path, original);
    ASSERT_TRUE(QFile::setPermissions(path, {}));
    QFile kept(path); // opened before, to read the file as it is later on
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    const ino_t inode = statOf(path).st_ino;

    withoutFileAccessOverride([&] {
        Defaults defaults(path);
        EXPECT_EQ(defaults.integerForKey("captureDelay"), 0);
        QSignalSpy failures(&defaults, &Defaults::saveFailed);
        EXPECT_FALSE(defaults.setValue("exportFormat", "webp"));
        ASSERT_EQ(failures.count(), 1);
        EXPECT_TRUE(failures.at(0).at(0).toString().contains("settings.json"));
        EXPECT_EQ(statOf(path).st_ino, inode); // not replaced
        EXPECT_EQ(statOf(path).st_mode & 07777, 0u);
        EXPECT_EQ(kept.readAll(), original);
        EXPECT_FALSE(QFileInfo::exists(path + ".corrupt"));

        ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        EXPECT_TRUE(defaults.setValue("copyAtFullSize", true));
    });
    const QJsonObject written = fileObject(path);
    EXPECT_EQ(written.value("appearance"), QJsonValue("dark"));
    EXPECT_EQ(written.value("captureDelay"), QJsonValue(5));
    EXPECT_EQ(written.value("exportFormat"), QJsonValue("webp"));
    EXPECT_EQ(written.value("copyAtFullSize"), QJsonValue(true));
}

// A value that only stood in for a missing one (this run's first launch, while the file could not
// be read) never replaces the file's own once it can be read: the file's stays and the store
// takes it. Where the file has none, the stand-in is written.
TEST(DefaultsFileKinds, AStandInNeverReplacesTheValueOfAFileThatBecomesReadable)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    writeFile(path, R"({"appearance": "dark", "newsletterFirstLaunch": 1700000000.5})");
    ASSERT_TRUE(QFile::setPermissions(path, {}));
    constexpr double now = 1800000000.25;

    withoutFileAccessOverride([&] {
        Defaults defaults(path);
        EXPECT_FALSE(defaults.setIfMissing("newsletterFirstLaunch", now));
        EXPECT_FALSE(defaults.setIfMissing("reviewFirstLaunch", now));
        EXPECT_EQ(defaults.doubleForKey("newsletterFirstLaunch"), now);

        ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        EXPECT_TRUE(defaults.setValue("exportFormat", "jpeg"));
        EXPECT_EQ(defaults.doubleForKey("newsletterFirstLaunch"), 1700000000.5);
    });
    const QJsonObject written = fileObject(path);
    EXPECT_EQ(written.value("newsletterFirstLaunch"), QJsonValue(1700000000.5));
    EXPECT_EQ(written.value("reviewFirstLaunch"), QJsonValue(now));
    EXPECT_EQ(written.value("appearance"), QJsonValue("dark"));
    EXPECT_EQ(written.value("exportFormat"), QJsonValue("jpeg"));
}

// A count this run started from its default, while the file could not be read, is added to the
// file's count once it can be: 50 captures before, 3 now, 53 after, and the store reads 53. A
// count set (not added to) before it is written stays as set.
TEST(DefaultsCounts, ACountFromAFileThatBecomesReadableAddsToTheFilesCount)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    writeFile(path, R"({"appearance": "dark", "newsletterCaptureCount": 50, "captureDelay": 5})");
    ASSERT_TRUE(QFile::setPermissions(path, {}));

    withoutFileAccessOverride([&] {
        Defaults defaults(path);
        EXPECT_FALSE(defaults.add(keys::newsletterCaptureCount, 1));
        EXPECT_FALSE(defaults.add(keys::newsletterCaptureCount, 1));
        EXPECT_EQ(defaults.get(keys::newsletterCaptureCount), 2);
        EXPECT_FALSE(defaults.setValue(keys::captureDelay, 2));
        EXPECT_FALSE(defaults.add(keys::captureDelay, 1));

        ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        EXPECT_TRUE(defaults.add(keys::newsletterCaptureCount, 1));
        EXPECT_EQ(defaults.get(keys::newsletterCaptureCount), 53);
        EXPECT_EQ(defaults.get(keys::captureDelay), 3);
    });
    const QJsonObject written = fileObject(path);
    EXPECT_EQ(written.value("newsletterCaptureCount"), QJsonValue(53));
    EXPECT_EQ(written.value("captureDelay"), QJsonValue(3));
    EXPECT_EQ(written.value("appearance"), QJsonValue("dark"));
    EXPECT_EQ(Defaults(path).get(keys::newsletterCaptureCount), 53);
}

// Two instances counting at once each add to what the other wrote, also when one of them waits
// for the other's lock and the holder writes its own count meanwhile.
TEST(DefaultsCounts, TwoStoresCountingAtOnceLoseNoCount)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    writeFile(path, R"({"reviewExportCount": 10})");
    Defaults first(path);
    Defaults second(path);
    EXPECT_TRUE(first.add(keys::reviewExportCount, 1));
    EXPECT_TRUE(second.add(keys::reviewExportCount, 1));
    EXPECT_TRUE(first.add(keys::reviewExportCount, 1));
    EXPECT_EQ(fileObject(path).value("reviewExportCount"), QJsonValue(13));
    EXPECT_EQ(first.get(keys::reviewExportCount), 13);
    EXPECT_EQ(second.get(keys::reviewExportCount), 12);

    HeldLock other(path + ".lock");
    ASSERT_TRUE(other.held());
    EXPECT_TRUE(second.add(keys::reviewExportCount, 1));
    EXPECT_TRUE(second.add(keys::reviewExportCount, 1));
    EXPECT_EQ(second.get(keys::reviewExportCount), 14);
    writeFile(path, R"({"reviewExportCount": 40})"); // the holder's own write
    other.release();
    second.flush();
    EXPECT_EQ(fileObject(path).value("reviewExportCount"), QJsonValue(42));
    EXPECT_EQ(second.get(keys::reviewExportCount), 42);
}

// A count stays within its key's range, and one the file holds that isn't allowed (text, out of
// range) counts from the default as a reader would.
TEST(DefaultsCounts, ACountStaysWithinItsRangeAndSkipsAValueNotAllowed)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    writeFile(path, R"({"newsletterCaptureCount": 999999999999, "reviewExportCount": 7})");
    Defaults defaults(path);
    EXPECT_TRUE(defaults.add(keys::newsletterCaptureCount, 5));
    EXPECT_EQ(defaults.get(keys::newsletterCaptureCount), qint64(1e12));
    EXPECT_EQ(fileObject(path).value("newsletterCaptureCount"), QJsonValue(1e12));

    writeFile(path, R"({"newsletterCaptureCount": "many", "reviewExportCount": 1e13})");
    EXPECT_TRUE(defaults.add(keys::newsletterCaptureCount, 2));
    EXPECT_TRUE(defaults.add(keys::reviewExportCount, -1));
    EXPECT_EQ(fileObject(path).value("newsletterCaptureCount"), QJsonValue(2));
    EXPECT_EQ(fileObject(path).value("reviewExportCount"), QJsonValue(-1));
    EXPECT_EQ(defaults.get(keys::reviewExportCount), -1);
}

// A link where the settings file belongs (a dotfile manager's) stays a link. The file it names
// is written, and made where it doesn't exist yet; a link into a folder that doesn't exist, or
// one that loops, is left as it is and the failed write says why.
TEST(DefaultsFileLinks, ALinkIsWrittenThroughOrLeftAsItIs)
{
    struct Case {
        const char* link;  // relative to the settings folder
        bool targetExists; // holding {"appearance": "dark"}
        bool writable;
    };
    for (const Case c :
         {Case{"../dotfiles/settings.json", true, true},
          Case{"../dotfiles/settings.json", false, true},
          Case{"../dotfiles/second", false, true}, // a link to the same
          Case{"../absent/settings.json", false, false}, Case{"settings.json", false, false}}) {
        SCOPED_TRACE(std::string(c.link) + (c.targetExists ? ", existing" : ""));
        QTemporaryDir dir;
        const QString path = settingsPath(dir);
        const QString target = dir.path() + "/dotfiles/settings.json";
        ASSERT_TRUE(QDir().mkpath(dir.path() + "/dotfiles"));
        if (c.targetExists) writeFile(target, R"({"appearance": "dark"})");
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        ASSERT_TRUE(QFile::link(c.link, path));
        ASSERT_TRUE(QFile::link("settings.json", dir.path() + "/dotfiles/second"));

        Defaults defaults(path);
        EXPECT_EQ(defaults.stringForKey("appearance"), c.targetExists ? "dark" : "");
        EXPECT_EQ(defaults.setValue("captureDelay", 4), c.writable);
        EXPECT_TRUE(QFileInfo(path).isSymLink());
        if (c.writable) {
            EXPECT_EQ(fileObject(target).value("captureDelay"), QJsonValue(4));
            EXPECT_EQ(fileObject(target).contains("appearance"), c.targetExists);
            EXPECT_EQ(statOf(target).st_mode & 07777, 0600u);
            EXPECT_EQ(Defaults(path).integerForKey("captureDelay"), 4);
        } else {
            EXPECT_TRUE(defaults.saveFailure().contains(
                "“settings.json” is a link to a file that can't be written"));
            EXPECT_FALSE(QFileInfo::exists(dir.path() + "/absent"));
            EXPECT_FALSE(QFileInfo::exists(target));
        }
    }
}

// Another process holds the lock (an instance stopped in the middle of a write, a hung network
// home): a change returns at once and is written once the lock is free, over what the holder
// wrote meanwhile.
TEST(DefaultsHeldLock, AChangeDoesNotWaitForTheLockAndIsWrittenOnceItIsFree)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    writeFile(path, R"({"appearance": "dark"})");
    HeldLock other(path + ".lock");
    ASSERT_TRUE(other.held());
    Defaults ours(path);

    EXPECT_TRUE(ours.setValue("captureDelay", 4));
    EXPECT_TRUE(ours.removeObject("appearance"));
    EXPECT_TRUE(ours.setValue("exportFormat", "jpeg"));
    EXPECT_EQ(ours.integerForKey("captureDelay"), 4);
    // Nothing is written under another's lock.
    EXPECT_EQ(fileObject(path), QJsonObject({{"appearance", "dark"}}));

    // The holder's own write, then it lets go.
    writeFile(path, R"({"appearance": "dark", "afterCaptureCopy": true})");
    other.release();
    ours.flush();
    const QJsonObject written = fileObject(path);
    EXPECT_EQ(written.value("captureDelay"), QJsonValue(4));
    EXPECT_EQ(written.value("exportFormat"), QJsonValue("jpeg"));
    EXPECT_FALSE(written.contains("appearance"));
    EXPECT_EQ(written.value("afterCaptureCopy"), QJsonValue(true));
}

// Quitting while the lock is still held: the wait ends after the given bound and the changes are
// written without the lock rather than lost.
TEST(DefaultsHeldLock, AFlushWritesWithoutALockThatIsNeverFreed)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    HeldLock other(path + ".lock");
    ASSERT_TRUE(other.held());
    Defaults ours(path);
    EXPECT_TRUE(ours.setValue("captureDelay", 4));
    ours.flush(std::chrono::milliseconds(50));
    EXPECT_EQ(fileObject(path).value("captureDelay"), QJsonValue(4));
    EXPECT_TRUE(QFileInfo::exists(path + ".lock")); // the lock file is kept
}

// A write that waited for the lock and then failed is told on the store's own thread.
TEST(DefaultsHeldLock, AWaitedWriteThatFailsIsTold)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    HeldLock other(path + ".lock");
    ASSERT_TRUE(other.held());
    Defaults ours(path);
    QSignalSpy failures(&ours, &Defaults::saveFailed);
    EXPECT_TRUE(ours.setValue("captureDelay", 4));
    ASSERT_TRUE(QDir().mkpath(path)); // a folder where the file belongs: the write fails
    other.release();
    ours.flush();
    ASSERT_TRUE(failures.wait(10000) || failures.count() == 1);
    EXPECT_FALSE(ours.saveFailure().isEmpty());

    ASSERT_TRUE(QDir().rmdir(path));
    EXPECT_TRUE(ours.setValue("appearance", "dark")); // carries the change that failed
    EXPECT_EQ(fileObject(path).value("captureDelay"), QJsonValue(4));
}

// One user on two displays: each instance notes the document it opened. The recent documents are
// merged item by item with the file's, newest first, not replaced by one instance's list.
TEST(DefaultsAccumulatingLists, TwoStoresEachAddingARecentDocumentKeepBoth)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    Defaults first(path);
    Defaults second(path);
    EXPECT_TRUE(first.set(keys::recentDocuments, {"/docs/doc1.snapkin"}));
    EXPECT_TRUE(second.set(keys::recentDocuments, {"/docs/doc2.snapkin"}));
    const QStringList both{"/docs/doc2.snapkin", "/docs/doc1.snapkin"};
    EXPECT_EQ(listInFile(path, "recentDocuments"), both);
    // The store that wrote last lists both at once; the other once it looks at the file again.
    EXPECT_EQ(second.get(keys::recentDocuments), both);
    first.mergeFromFile(keys::recentDocuments);
    EXPECT_EQ(first.get(keys::recentDocuments), both);

    // A document opened again in one instance moves to the front, once.
    EXPECT_TRUE(first.set(keys::recentDocuments, {"/docs/doc1.snapkin", "/docs/doc2.snapkin"}));
    EXPECT_TRUE(second.set(keys::recentDocuments,
                           {"/docs/doc3.snapkin", "/docs/doc2.snapkin", "/docs/doc1.snapkin"}));
    EXPECT_EQ(listInFile(path, "recentDocuments"),
              (QStringList{"/docs/doc3.snapkin", "/docs/doc1.snapkin", "/docs/doc2.snapkin"}));
}

// "Clear Menu" in one instance: what it cleared stays cleared when the other adds a document,
// and a document removed from one list is not brought back by the other's older copy.
TEST(DefaultsAccumulatingLists, RemovalsStayWhenAnotherStoreAdds)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    Defaults first(path);
    Defaults second(path);
    first.set(keys::recentDocuments, {"/docs/a", "/docs/b"});
    second.set(keys::recentDocuments, {"/docs/c"}); // second now lists c, a, b

    EXPECT_TRUE(second.removeObject(keys::recentDocuments)); // cleared
    EXPECT_FALSE(fileObject(path).contains("recentDocuments"));
    EXPECT_TRUE(first.set(keys::recentDocuments, {"/docs/d", "/docs/a", "/docs/b"}));
    EXPECT_EQ(listInFile(path, "recentDocuments"), QStringList{"/docs/d"});

    // One item dropped by first (its file is gone) while second adds another.
    second.mergeFromFile(keys::recentDocuments);
    EXPECT_TRUE(first.set(keys::recentDocuments, QStringList{}));
    EXPECT_TRUE(second.set(keys::recentDocuments, {"/docs/e", "/docs/d"}));
    EXPECT_EQ(listInFile(path, "recentDocuments"), QStringList{"/docs/e"});
}

// Both instances' documents together stay within the list's length, the newest kept.
TEST(DefaultsAccumulatingLists, AMergedListKeepsItsNewestWithinItsLength)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    Defaults first(path);
    Defaults second(path);
    QStringList many;
    for (int i = 0; i < keys::recentDocuments.mergedNewest; ++i)
        many << QString("/docs/old%1").arg(i);
    first.set(keys::recentDocuments, many);
    second.set(keys::recentDocuments, {"/docs/new", "/docs/old3"});
    const QStringList merged = listInFile(path, "recentDocuments");
    ASSERT_EQ(merged.size(), keys::recentDocuments.mergedNewest);
    EXPECT_EQ(merged.mid(0, 3), (QStringList{"/docs/new", "/docs/old3", "/docs/old0"}));
    EXPECT_EQ(merged.count("/docs/old3"), 1);
}

// Other keys are still written whole, as this store set them.
TEST(DefaultsAccumulatingLists, OtherListsAreWrittenAsSet)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    Defaults first(path);
    Defaults second(path);
    first.set(keys::editorToolbarItems, {"arrow", "text"});
    second.set(keys::editorToolbarItems, {"blur"});
    EXPECT_EQ(listInFile(path, "editorToolbarItems"), QStringList{"blur"});
}
