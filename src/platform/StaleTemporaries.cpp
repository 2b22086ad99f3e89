#include "platform/StaleTemporaries.h"

#include <QFile>
#include <QRegularExpression>
#include <QUuid>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace snapkin::platform {

namespace {

const QString kinds =
    QStringLiteral("(?:tmp|old|keep)-[0-9a-f]{12}(?:\\.(?:tmp|old)-[0-9a-f]{12})?");

// Removes the entry `name` in the folder open at `dirFd`: a file or link at once, a folder
// with what is in it. Entries of other users stay (and so does the folder that holds them).
bool removeEntry(int dirFd, const char* name, uid_t me)
{
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (st.st_uid != me) return false;
    if (S_ISREG(st.st_mode)) {
        // A file that a write in progress holds locked is not stale: it stays.
        const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        const bool removed = ::unlinkat(dirFd, name, 0) == 0;
        if (fd >= 0) ::close(fd);
        return removed;
    }
    if (!S_ISDIR(st.st_mode)) return ::unlinkat(dirFd, name, 0) == 0;
    const int child = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0) return false;
    if (DIR* dir = ::fdopendir(child)) {
        while (dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                continue;
            removeEntry(child, entry->d_name, me);
        }
        ::closedir(dir);
    } else {
        ::close(child);
    }
    return ::unlinkat(dirFd, name, AT_REMOVEDIR) == 0;
}

int removeMatching(const QString& folder, const QRegularExpression& pattern)
{
    const QByteArray path = QFile::encodeName(folder);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return 0;
    }
    // Names first, removal after: the folder changes under readdir otherwise.
    QList<QByteArray> names;
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.') continue;
        if (pattern.match(QFile::decodeName(entry->d_name)).hasMatch())
            names.append(QByteArray(entry->d_name));
    }
    int removed = 0;
    const uid_t me = ::geteuid();
    for (const QByteArray& name : names) {
        if (removeEntry(::dirfd(dir), name.constData(), me)) ++removed;
    }
    ::closedir(dir);
    return removed;
}

} // namespace

QString StaleTemporaries::name(const QString& targetName, const char* kind)
{
    return QLatin1Char('.') + targetName + QLatin1Char('.') + QLatin1String(kind) +
           QLatin1Char('-') + QUuid::createUuid().toString(QUuid::Id128).left(12);
}

int StaleTemporaries::removeOf(const QString& folder, const QString& targetName)
{
    if (targetName.isEmpty()) return 0;
    const QRegularExpression pattern(QStringLiteral("^\\.\\.?") +
                                     QRegularExpression::escape(targetName) +
                                     QStringLiteral("\\.") + kinds + QLatin1Char('$'));
    return removeMatching(folder, pattern);
}

int StaleTemporaries::removeAll(const QString& folder)
{
    static const QRegularExpression pattern(QStringLiteral("^\\..+\\.") + kinds + QLatin1Char('$'));
    return removeMatching(folder, pattern);
}

} // namespace snapkin::platform
