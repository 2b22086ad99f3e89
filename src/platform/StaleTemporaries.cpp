#include "platform/StaleTemporaries.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <QUuid>

#include <cerrno>
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

// Takes the lock a writer holds on its temporary without waiting: false while a writer still
// holds it, and when it cannot be told (a lock the file system refuses).
bool lockUnheld(int fd)
{
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

// Takes the lock on the temporary open at `fd` unless a writer holds it, and makes sure `name`
// in the folder open at `dirFd` still is that temporary: a writer that finished between the
// open and the lock has moved it to its final name, which must not be touched.
bool lockStale(int dirFd, const char* name, int fd)
{
    if (!lockUnheld(fd)) return false;
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::fstatat(dirFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Removes the entry `name` in the folder open at `dirFd`: a file or link at once, a folder
// with what is in it. Entries of other users stay (and so does the folder that holds them).
// `top` for an entry named as a temporary, which a writer may hold locked; what is inside an
// unheld folder is not locked by anyone.
bool removeEntry(int dirFd, const char* name, uid_t me, bool top)
{
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (st.st_uid != me) return false;
    if (S_ISREG(st.st_mode)) {
        if (!top) return ::unlinkat(dirFd, name, 0) == 0;
        // A file that a write in progress holds locked is not stale: it stays. So does one that
        // cannot be opened to tell (a replaced file's mode may allow writing only).
        constexpr int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
        int fd = ::openat(dirFd, name, O_RDONLY | flags);
        if (fd < 0) fd = ::openat(dirFd, name, O_WRONLY | flags);
        if (fd < 0) return false;
        if (!lockStale(dirFd, name, fd)) {
            ::close(fd);
            return false;
        }
        const bool removed = ::unlinkat(dirFd, name, 0) == 0;
        ::close(fd);
        return removed;
    }
    if (!S_ISDIR(st.st_mode)) return ::unlinkat(dirFd, name, 0) == 0;
    const int child = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0) return false;
    // The lock is held until the folder is gone, so its writer, waiting for it, finds it removed.
    const int held = top ? ::dup(child) : -1;
    if (top && (held < 0 || !lockStale(dirFd, name, held))) {
        if (held >= 0) ::close(held);
        ::close(child);
        return false;
    }
    if (DIR* dir = ::fdopendir(child)) {
        while (dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                continue;
            removeEntry(child, entry->d_name, me, false);
        }
        ::closedir(dir);
    } else {
        ::close(child);
    }
    const bool removed = ::unlinkat(dirFd, name, AT_REMOVEDIR) == 0;
    if (held >= 0) ::close(held);
    return removed;
}

// Whether `name` is a previous folder moved aside (".<target>.old-<hex>") whose target is
// missing: a write cut short between moving the old folder aside and putting the new one in.
bool isLastCopy(int dirFd, const QByteArray& name)
{
    static const QByteArray old = ".old-";
    constexpr qsizetype suffix = 5 + 12;
    if (name.size() <= suffix + 1 || name.mid(name.size() - suffix, 5) != old) return false;
    struct stat st {};
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode))
        return false;
    const QByteArray target = name.mid(1, name.size() - suffix - 1);
    return ::fstatat(dirFd, target.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

int removeMatching(const QString& folder, const QRegularExpression& pattern)
{
    const QByteArray path = QFile::encodeName(folder);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    // No writer is between making its temporary and locking it while this is held (see
    // Making); one is, or the folder takes no lock: this sweep is left to a later write.
    if (!lockUnheld(fd)) {
        ::close(fd);
        return 0;
    }
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
        if (isLastCopy(::dirfd(dir), name)) continue;
        if (removeEntry(::dirfd(dir), name.constData(), me, true)) ++removed;
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

StaleTemporaries::Hold StaleTemporaries::hold(int fd)
{
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) return Hold::unlocked;
    }
    // A sweep that found it before the lock has removed it meanwhile.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_nlink == 0) return Hold::removed;
    return Hold::held;
}

StaleTemporaries::Making::Making(const QString& folder)
    : m_fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    if (m_fd < 0) return;
    const QDeadlineTimer deadline(250);
    while (::flock(m_fd, LOCK_SH | LOCK_NB) != 0) {
        // A sweep holds the folder (it takes milliseconds); a file system without locks has
        // no sweeps to fear.
        if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired()) return;
        QThread::usleep(500);
    }
}

StaleTemporaries::Making::~Making()
{
    if (m_fd >= 0) ::close(m_fd);
}

} // namespace snapkin::platform
