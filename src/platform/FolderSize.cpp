#include "platform/FolderSize.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace snapkin::platform {

namespace {

// Sums the folder open at `fd` and closes it. Recursion depth follows the folder depth, which
// the history keeps shallow; a deep tree only costs stack, never correctness.
qint64 sumFolder(int fd)
{
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return 0;
    }
    qint64 total = 0;
    while (const dirent* item = ::readdir(dir)) {
        const char* name = item->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        struct stat info {};
        if (::fstatat(::dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(info.st_mode)) {
            total += qint64(info.st_blocks) * 512;
        } else if (S_ISDIR(info.st_mode)) {
            const int child =
                ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0) total += sumFolder(child);
        }
    }
    ::closedir(dir);
    return total;
}

} // namespace

qint64 allocatedFolderSize(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    return sumFolder(fd);
}

} // namespace snapkin::platform
