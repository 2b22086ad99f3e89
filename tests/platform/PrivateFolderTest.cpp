#include "platform/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    EXPECT_EQ(*folder, root.path() + "/snapkin");
    EXPECT_EQ(modeOf(*folder), 0700u);

    ::chmod(QFile::encodeName(*folder).constData(), 0755);
    ASSERT_TRUE(PrivateFolder::path().has_value());
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
    const QString folder = *PrivateFolder::path();
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
