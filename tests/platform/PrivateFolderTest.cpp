#include "platform/PrivateFolder.h"

#include "platform/FileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

using snapkin::platform::PrivateFolder;

namespace {

// Points the runtime folder at a fresh temporary folder for one test.
class PrivateFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root.path()));
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", saved); }

    static mode_t modeOf(const QString& path)
    {
        struct stat st {};
        ::lstat(QFile::encodeName(path).constData(), &st);
        return st.st_mode & 07777;
    }
    static void write(const QString& path, const QByteArray& bytes = "x")
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir root;
    QByteArray saved;
};

} // namespace

TEST_F(PrivateFolders, AreMadeForTheUserAloneAndTightenedWhenLoose)
{
    const auto folder = PrivateFolder::path();
    ASSERT_TRUE(folder.has_value());
    const QString shared = root.path() + "/snapkin";
    EXPECT_EQ(PrivateFolder::location(), shared);
    EXPECT_EQ(QFileInfo(*folder).absolutePath(), shared); // this process's own, inside it
    EXPECT_EQ(modeOf(shared), 0700u);
    EXPECT_EQ(modeOf(*folder), 0700u);

    ::chmod(QFile::encodeName(shared).constData(), 0755);
    ::chmod(QFile::encodeName(*folder).constData(), 0755);
    EXPECT_EQ(PrivateFolder::path(), folder); // the same folder for the whole run
    EXPECT_EQ(modeOf(shared), 0700u);
    EXPECT_EQ(modeOf(*folder), 0700u);

    const auto a = PrivateFolder::makeUniqueFolder("Drag");
    const auto b = PrivateFolder::makeUniqueFolder("Drag");
    ASSERT_TRUE(a && b);
    EXPECT_NE(*a, *b);
    EXPECT_EQ(QFileInfo(*a).absolutePath(), *folder + "/Drag");
    EXPECT_EQ(modeOf(*a), 0700u);
    EXPECT_EQ(modeOf(*folder + "/Drag"), 0700u);
}

TEST_F(PrivateFolders, ALinkOrAForeignFolderIsRefused)
{
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), root.path() + "/snapkin"));
    auto folder = PrivateFolder::path();
    ASSERT_FALSE(folder.has_value());
    EXPECT_EQ(folder.error(), PrivateFolder::Error::unsafe);
    EXPECT_FALSE(PrivateFolder::makeUniqueFolder("Drag").has_value());
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
    QFile::remove(root.path() + "/snapkin");

    write(root.path() + "/snapkin"); // a plain file
    EXPECT_FALSE(PrivateFolder::path().has_value());
    QFile::remove(root.path() + "/snapkin");

    if (::geteuid() != 0) return; // only root can hand a folder to someone else
    ASSERT_TRUE(QDir().mkdir(root.path() + "/snapkin"));
    ASSERT_EQ(::chown(QFile::encodeName(root.path() + "/snapkin").constData(), 12345, 12345), 0);
    folder = PrivateFolder::path();
    ASSERT_FALSE(folder.has_value());
    EXPECT_EQ(folder.error(), PrivateFolder::Error::unsafe);
}

TEST_F(PrivateFolders, FallBackToTheCacheWithoutARuntimeFolder)
{
    qunsetenv("XDG_RUNTIME_DIR");
    const QByteArray cache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root.path() + "/cache"));
    EXPECT_EQ(PrivateFolder::location(), root.path() + "/cache/snapkin/tmp");
    const auto folder = PrivateFolder::path();
    qputenv("XDG_CACHE_HOME", cache);
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(modeOf(*folder), 0700u);
}

TEST_F(PrivateFolders, CleaningRemovesLeftoversButNeverFollowsALink)
{
    // What an earlier version left, in the shared folder itself.
    const QString folder = PrivateFolder::location();
    ASSERT_TRUE(PrivateFolder::makePrivate(folder).has_value());
    QTemporaryDir outside;
    write(outside.path() + "/precious.txt", "keep me");
    write(folder + "/Drag/abc/Snapkin 2026-03-05 at 14.07.09.png");
    write(folder + "/Share/def/picture.png");
    ASSERT_TRUE(QDir().mkpath(folder + "/Drag/empty"));
    // Planted links, to a file and to a folder: the links go, their targets stay.
    ASSERT_TRUE(QFile::link(outside.path() + "/precious.txt", folder + "/Drag/link-to-file"));
    ASSERT_TRUE(QFile::link(outside.path(), folder + "/Share/link-to-folder"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder + "/pipe").constData(), 0600), 0);

    PrivateFolder::cleanUp();

    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                     QDir::NoDotAndDotDot),
              QStringList{"pipe"});
    EXPECT_TRUE(QFileInfo(folder).isDir());
    QFile kept(outside.path() + "/precious.txt");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep me");
}

TEST_F(PrivateFolders, TheNewestAreKeptEvenWhenTheFolderTimesAgree)
{
    // Folders made within one tick of the file system's clock carry the same time: the order
    // they were made in still decides, and an older folder of another name goes first.
    write(*PrivateFolder::path() + "/Drag/leftover/picture.png");
    QStringList made;
    for (int i = 0; i < 6; ++i) {
        const auto folder = PrivateFolder::makeUniqueFolder("Drag");
        ASSERT_TRUE(folder.has_value());
        made << *folder;
    }
    const timespec same[2] = {{1700000000, 0}, {1700000000, 0}};
    for (const QString& folder : made + QStringList{*PrivateFolder::path() + "/Drag/leftover"})
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(folder).constData(), same, 0), 0);

    PrivateFolder::keepNewest("Drag", 3);
    for (int i = 0; i < made.size(); ++i)
        EXPECT_EQ(QFileInfo::exists(made[i]), i >= 3) << i;
    EXPECT_FALSE(QFileInfo::exists(*PrivateFolder::path() + "/Drag/leftover"));
}

namespace {

// Another instance of the application, as a child process: it makes a drag file in the private
// folder, says where, and runs until `finish()` (or the end of the test) ends it.
class OtherInstance {
public:
    OtherInstance()
    {
        int ready[2];
        int hold[2];
        if (::pipe(ready) != 0 || ::pipe(hold) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(hold[1]);
            QByteArray path;
            if (const auto folder = PrivateFolder::makeUniqueFolder("Drag")) {
                path = QFile::encodeName(*folder + "/Snapkin 2026-12-07 at 23.10.00.png");
                const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
                if (fd < 0 || ::write(fd, "png", 3) != 3) path.clear();
                if (fd >= 0) ::close(fd);
            }
            [[maybe_unused]] const auto told = ::write(ready[1], path.constData(), path.size());
            ::close(ready[1]);
            char byte;
            [[maybe_unused]] const auto held = ::read(hold[0], &byte, 1); // until told to end
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(hold[0]);
        m_hold = hold[1];
        QByteArray path;
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(ready[0], buffer, sizeof buffer)) > 0)
            path.append(buffer, got);
        ::close(ready[0]);
        dragFile = QFile::decodeName(path);
    }
    ~OtherInstance() { finish(); }

    // Ends the other instance without its removing anything, as a crash or SIGKILL would.
    void finish()
    {
        if (m_hold >= 0) ::close(std::exchange(m_hold, -1));
        if (m_pid > 0) ::waitpid(std::exchange(m_pid, -1), nullptr, 0);
    }

    QString dragFile;

private:
    pid_t m_pid = -1;
    int m_hold = -1;
};

} // namespace

// Two instances of one user (on two displays) share the private folder: neither one's start nor
// its quit removes a drag file the other still offers; once the other has ended, the next
// start removes what it left.
TEST_F(PrivateFolders, AnotherRunningInstancesFilesOutliveThisOnesStartAndQuit)
{
    OtherInstance other; // started first
    ASSERT_FALSE(other.dragFile.isEmpty());
    ASSERT_TRUE(QFileInfo::exists(other.dragFile));

    PrivateFolder::cleanUp(); // this instance starts
    EXPECT_TRUE(QFileInfo::exists(other.dragFile));
    const auto ours = PrivateFolder::makeUniqueFolder("Drag");
    ASSERT_TRUE(ours.has_value());
    write(*ours + "/ours.png");
    EXPECT_TRUE(QFileInfo::exists(other.dragFile));

    PrivateFolder::keepNewest("Drag", 0); // this instance quits
    EXPECT_FALSE(QFileInfo::exists(*ours));
    EXPECT_TRUE(QFileInfo::exists(other.dragFile));

    other.finish();
    PrivateFolder::cleanUp();
    EXPECT_FALSE(QFileInfo::exists(other.dragFile));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(other.dragFile).absolutePath()));
    EXPECT_TRUE(QFileInfo(*PrivateFolder::path()).isDir()); // this one's own stays while it runs
}

// Clean-up tells a running instance's folder by the lock on its owner file, not by the file: a
// folder whose owner file nobody locks belongs to a run that ended.
TEST_F(PrivateFolders, OnlyAFolderWhoseOwnerFileIsLockedIsKept)
{
    const QString folder = PrivateFolder::location();
    ASSERT_TRUE(PrivateFolder::makePrivate(folder).has_value());
    write(folder + "/4242-ended/.owner", "");
    write(folder + "/4242-ended/Share/a/picture.png");
    write(folder + "/4343-runs/.owner", "");
    write(folder + "/4343-runs/Share/b/picture.png");
    const snapkin::platform::FileLock runs(folder + "/4343-runs/.owner");
    ASSERT_TRUE(runs.isHeld());

    PrivateFolder::cleanUp();
    EXPECT_FALSE(QFileInfo::exists(folder + "/4242-ended"));
    EXPECT_TRUE(QFileInfo::exists(folder + "/4343-runs/Share/b/picture.png"));
}

// The end of a run takes this process's folder away whole, its owner file and its emptied
// purpose folders included; another running instance's folder and files stay.
TEST_F(PrivateFolders, TheEndOfARunRemovesItsOwnFolderWholeAndNothingOfAnotherInstance)
{
    OtherInstance other;
    ASSERT_FALSE(other.dragFile.isEmpty());
    const auto drag = PrivateFolder::makeUniqueFolder("Drag");
    const auto share = PrivateFolder::makeUniqueFolder("Share");
    ASSERT_TRUE(drag && share);
    write(*drag + "/ours.png");
    write(*share + "/shared.png");
    const QString own = *PrivateFolder::path();
    PrivateFolder::keepNewest("Drag", 0); // what the end of a run did so far

    PrivateFolder::release();
    EXPECT_FALSE(QFileInfo::exists(own));
    EXPECT_TRUE(QFileInfo::exists(other.dragFile));
    const QString otherFolder =
        QFileInfo(QFileInfo(QFileInfo(other.dragFile).absolutePath()).absolutePath())
            .absolutePath();
    EXPECT_EQ(QDir(PrivateFolder::location())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QFileInfo(otherFolder).fileName()});

    // Asked again, the process takes a new folder.
    const auto again = PrivateFolder::path();
    ASSERT_TRUE(again.has_value());
    EXPECT_NE(*again, own);
    EXPECT_TRUE(QFileInfo(*again + "/.owner").isFile());
    PrivateFolder::release();
}
