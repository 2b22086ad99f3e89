#include "platform/FolderSize.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using snapkin::platform::allocatedFolderSize;

namespace {

qint64 allocated(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return -1;
    return qint64(info.st_blocks) * 512;
}

void write(const QString& path, qint64 bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(bytes, 'x'));
}

TEST(FolderSize, CountsAllocatedBlocksOfEveryRegularFileHiddenAndNestedButFollowsNoLink)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    QDir().mkpath(root + "/A.snapkin/Thumbnails");
    write(root + "/index.json", 100);
    write(root + "/.hidden", 5000);
    write(root + "/A.snapkin/image.png", 70000);
    write(root + "/A.snapkin/Thumbnails/Thumbnail.png", 1);

    // A sparse file: 64 MiB long, one block written at its end.
    const QString sparse = root + "/sparse.bin";
    {
        const int fd = ::open(QFile::encodeName(sparse).constData(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "z", 1, 64 << 20), 1);
        ::close(fd);
    }

    qint64 expected = 0;
    for (const QString& f : {root + "/index.json", root + "/.hidden", root + "/A.snapkin/image.png",
                             root + "/A.snapkin/Thumbnails/Thumbnail.png", sparse})
        expected += allocated(f);
    EXPECT_LT(allocated(sparse), 1 << 20);
    EXPECT_EQ(allocatedFolderSize(root), expected);

    // Links add nothing, whether to a big file or to a folder outside.
    QTemporaryDir outside;
    write(outside.path() + "/big.bin", 1 << 20);
    ASSERT_TRUE(QFile::link(outside.path() + "/big.bin", root + "/link-to-file"));
    ASSERT_TRUE(QFile::link(outside.path(), root + "/link-to-folder"));
    EXPECT_EQ(allocatedFolderSize(root), expected);
    // Nor is a link measured as the folder itself.
    EXPECT_EQ(allocatedFolderSize(root + "/link-to-folder"), 0);
}

TEST(FolderSize, AMissingFolderMeasuresNothing)
{
    QTemporaryDir dir;
    EXPECT_EQ(allocatedFolderSize(dir.path() + "/missing"), 0);
    EXPECT_EQ(allocatedFolderSize(dir.path()), 0);
}

} // namespace
