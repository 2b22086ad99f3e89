#include "platform/AtomicWrite.h"
#include "platform/StaleTemporaries.h"
#include "support/KilledWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace snapkin::platform;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeInto(const QString& folder, const QString& name, const QByteArray& data)
{
    QFile file(folder + "/" + name);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QStringList leftovers(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

} // namespace

TEST(AtomicFileWrite, WritesAndReplaces)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/a.txt";
    ASSERT_TRUE(writeFileAtomically(path, "first"));
    ASSERT_TRUE(writeFileAtomically(path, "second"));
    EXPECT_EQ(readAll(path), "second");
    EXPECT_EQ(leftovers(dir.path()), QStringList{"a.txt"});
}

// A writer still under way, as another instance holds it: a lock on its temporary file or folder.
class HeldByAWriter {
public:
    explicit HeldByAWriter(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC))
    {
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~HeldByAWriter()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool held() const { return m_fd >= 0; }

private:
    int m_fd;
};

// What killed writes of any file left in a folder goes at the next write into it. The
// temporaries of writes still under way (held locked, files and folders alike) stay, and so do
// the user's own files, a link with a temporary's name (never ours) and what it points to.
TEST(AtomicFileWrite, RemovesWhatKilledWritesIntoTheFolderLeft)
{
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const QString path = dir.path() + "/out.png";
    ASSERT_TRUE(writeFileAtomically(path, "first"));
    // Left by killed writes of this file, of another file and of a document package; held by
    // writes of this file, of another file and of a package still under way; a link with a
    // temporary's name to a file of the user's; the user's own hidden and look-alike files.
    const QString stale = StaleTemporaries::name("out.png", "tmp");
    const QString otherStale = StaleTemporaries::name("Screenshot 1.png", "tmp");
    const QString packageStale = StaleTemporaries::name("Notes.snapkin", "tmp");
    const QString busy = StaleTemporaries::name("out.png", "tmp");
    const QString otherBusy = StaleTemporaries::name("Screenshot 2.png", "tmp");
    const QString packageBusy = StaleTemporaries::name("Plan.snapkin", "tmp");
    const QString link = StaleTemporaries::name("out.png", "tmp");
    using snapkin::test::leaveKilledFileWrite;
    using snapkin::test::leaveKilledPackageWrite;
    ASSERT_TRUE(leaveKilledFileWrite(dir.path(), stale, QByteArray(4096, 'x')));
    ASSERT_TRUE(leaveKilledFileWrite(dir.path(), otherStale, QByteArray(4096, 'x')));
    ASSERT_TRUE(leaveKilledPackageWrite(dir.path(), packageStale));
    ASSERT_TRUE(leaveKilledFileWrite(dir.path(), busy, "half"));
    ASSERT_TRUE(leaveKilledFileWrite(dir.path(), otherBusy, "half"));
    ASSERT_TRUE(leaveKilledPackageWrite(dir.path(), packageBusy));
    ASSERT_TRUE(writeInto(elsewhere.path(), "keep.txt", "mine"));
    ASSERT_TRUE(QFile::link(elsewhere.path() + "/keep.txt", dir.path() + "/" + link));
    const QStringList users = {".notes.txt", "out.png.tmp-0123456789ab",
                               ".out.png.tmp-0123456789AB"};
    for (const QString& name : users)
        ASSERT_TRUE(writeInto(dir.path(), name, "the user's"));
    const HeldByAWriter busyWrite(dir.path() + "/" + busy);
    const HeldByAWriter otherBusyWrite(dir.path() + "/" + otherBusy);
    const HeldByAWriter packageBusyWrite(dir.path() + "/" + packageBusy);
    ASSERT_TRUE(busyWrite.held() && otherBusyWrite.held() && packageBusyWrite.held());

    ASSERT_TRUE(writeFileAtomically(path, "second"));
    EXPECT_EQ(readAll(path), "second");
    QStringList expected = QStringList{busy, otherBusy, packageBusy, link, "out.png"} + users;
    expected.sort();
    QStringList left = leftovers(dir.path());
    left.sort();
    EXPECT_EQ(left, expected);
    EXPECT_EQ(readAll(dir.path() + "/" + packageBusy + "/document.json"), "{");
    EXPECT_EQ(readAll(elsewhere.path() + "/keep.txt"), "mine");
}

// Another writer's sweep of the folder (another instance saving there) while a package is being
// built leaves the package's temporary folder alone: the write goes through whole.
TEST(AtomicFolderWrite, AnotherWritersSweepLeavesAFolderBeingBuiltAlone)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/Plan.snapkin";
    int swept = -1;
    const auto written = writeFolderAtomically(path, [&](const QString& temp) {
        if (!writeInto(temp, "document.json", "{}")) return false;
        swept = StaleTemporaries::removeAll(dir.path());
        return writeInto(temp, "image.png", "png");
    });
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(swept, 0);
    EXPECT_EQ(readAll(path + "/document.json"), "{}");
    EXPECT_EQ(readAll(path + "/image.png"), "png");
    EXPECT_EQ(leftovers(dir.path()), QStringList{"Plan.snapkin"});
}

// A previous folder moved aside by a write cut short before the new one took its place is the
// only whole copy while nothing stands at its name: it stays until its document is there again.
TEST(AtomicFolderWrite, APreviousFolderMovedAsideStaysWhileItIsTheOnlyCopy)
{
    QTemporaryDir dir;
    const QString aside = StaleTemporaries::name("Plan.snapkin", "old");
    ASSERT_TRUE(QDir(dir.path()).mkpath(aside));
    ASSERT_TRUE(writeInto(dir.path() + "/" + aside, "document.json", "the last copy"));
    ASSERT_TRUE(snapkin::test::markAsOurTemporary(dir.path() + "/" + aside,
                                                  StaleTemporaries::Kind::package));
    const auto fill = [](const QString& temp) { return writeInto(temp, "document.json", "{}"); };

    ASSERT_TRUE(writeFolderAtomically(dir.path() + "/Other.snapkin", fill));
    EXPECT_EQ(readAll(dir.path() + "/" + aside + "/document.json"), "the last copy");

    ASSERT_TRUE(writeFolderAtomically(dir.path() + "/Plan.snapkin", fill));
    ASSERT_TRUE(writeFolderAtomically(dir.path() + "/Other.snapkin", fill));
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/" + aside));
}

TEST(AtomicFileWrite, FailureLeavesOldFileIntact)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/a.txt";
    ASSERT_TRUE(writeFileAtomically(path, "original"));
    // A folder that cannot take a new file: the temporary cannot be made.
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (runningAsRoot()) {
        // Root ignores permissions; write to a path whose parent is a file instead.
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        const auto result = writeFileAtomically(path + "/inside", "new");
        EXPECT_FALSE(result);
    } else {
        const auto result = writeFileAtomically(path, "replacement");
        EXPECT_FALSE(result);
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
    }
    EXPECT_EQ(readAll(path), "original");
}

TEST(AtomicFolderWrite, CreatesThenReplacesWholeFolder)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/Doc.snapkin";
    ASSERT_TRUE(writeFolderAtomically(path, [](const QString& temp) {
        return writeInto(temp, "document.json", "{}") && writeInto(temp, "old-only", "x");
    }));
    ASSERT_TRUE(writeFolderAtomically(path, [](const QString& temp) {
        return writeInto(temp, "document.json", "{\"version\":2}");
    }));
    EXPECT_EQ(readAll(path + "/document.json"), "{\"version\":2}");
    EXPECT_FALSE(QFile::exists(path + "/old-only"));
    EXPECT_EQ(leftovers(dir.path()), QStringList{"Doc.snapkin"});
}

TEST(AtomicFolderWrite, FailurePartWayLeavesOldFolderAndNoTemporary)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/Doc.snapkin";
    ASSERT_TRUE(writeFolderAtomically(path, [](const QString& temp) {
        return writeInto(temp, "document.json", "original") && writeInto(temp, "image.png", "png");
    }));
    const auto result = writeFolderAtomically(path, [](const QString& temp) {
        writeInto(temp, "document.json", "half written");
        return false; // e.g. the disk filled up while writing the image
    });
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), WriteError::writeFailed);
    EXPECT_FALSE(userMessage(result.error()).isEmpty());
    EXPECT_EQ(readAll(path + "/document.json"), "original");
    EXPECT_EQ(readAll(path + "/image.png"), "png");
    EXPECT_EQ(leftovers(dir.path()), QStringList{"Doc.snapkin"});
}

TEST(AtomicFolderWrite, UnwritableParentIsAnError)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeFileAtomically(dir.path() + "/plain", "file"));
    const auto result = writeFolderAtomically(dir.path() + "/plain/Doc.snapkin",
                                              [](const QString&) { return true; });
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), WriteError::cannotCreate);
}

TEST(AtomicFileWrite, FailuresSayWhatStoodInTheWayNamingTheFile)
{
    QTemporaryDir dir;
    const auto failure = [](const QString& path) {
        const auto written = writeFileAtomically(path, "x");
        return written ? QString() : describeWriteFailure(path, written.error());
    };
    QDir(dir.path()).mkdir("shots");
    EXPECT_EQ(failure(dir.filePath("shots")),
              QString("\"%1\" is a folder.").arg(dir.filePath("shots")));
    EXPECT_EQ(failure(dir.filePath("no/such/out.png")),
              QString("The folder \"%1\" doesn't exist.").arg(dir.filePath("no/such")));
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_EQ(failure(dir.filePath("plain/out.png")),
              QString("\"%1\" is a file, not a folder.").arg(dir.filePath("plain")));
    if (!runningAsRoot()) { // permissions do not bind the superuser
        QDir(dir.path()).mkdir("locked");
        QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_EQ(failure(dir.filePath("locked/out.png")),
                  QString("You don't have permission to write to the folder \"%1\".")
                      .arg(dir.filePath("locked")));
    }
    // What cannot be told apart keeps the general message, with the name.
    EXPECT_EQ(
        describeWriteFailure(dir.filePath("ok.png"), WriteError::writeFailed),
        QString("\"%1\": %2").arg(dir.filePath("ok.png"), userMessage(WriteError::writeFailed)));
}
