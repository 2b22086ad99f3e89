#include "platform/AtomicWrite.h"

#include "platform/DurableFile.h"
#include "platform/L10n.h"
#include "platform/OwnWrites.h"
#include "platform/StaleTemporaries.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace snapkin::platform {

bool writeAllAndSync(int fd, const QByteArray& data)
{
    const char* at = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, size_t(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        at += n;
        left -= n;
    }
    return ::fsync(fd) == 0;
}

void syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

QString userMessage(WriteError error)
{
    switch (error) {
    case WriteError::cannotCreate:
        return L10n::text("The file couldn't be created. Check that the folder exists and that you "
                          "have permission to write to it.");
    case WriteError::writeFailed:
        return L10n::text("The file couldn't be written. The disk may be full.");
    case WriteError::cannotReplace:
        return L10n::text(
            "The finished file couldn't be moved into place. The previous version was kept.");
    }
    return {};
}

QString describeWriteFailure(const QString& path, WriteError error, bool targetIsFolder)
{
    const QFileInfo info(path);
    const QString name = QDir::toNativeSeparators(path);
    if (info.isDir() && !targetIsFolder) return L10n::format("\"%@\" is a folder.", name);
    // The nearest part of the path that exists tells a missing folder from a file in the way.
    const QString folder = info.absolutePath();
    const QString folderName = QDir::toNativeSeparators(folder);
    if (!QFileInfo(folder).isDir()) {
        QString existing = folder;
        while (!QFileInfo::exists(existing) && QFileInfo(existing).absolutePath() != existing)
            existing = QFileInfo(existing).absolutePath();
        if (QFileInfo(existing).isDir())
            return L10n::format("The folder \"%@\" doesn't exist.", folderName);
        return L10n::format("\"%@\" is a file, not a folder.", QDir::toNativeSeparators(existing));
    }
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0) {
        if (errno == EROFS)
            return L10n::format("The folder \"%@\" is on a read-only disk.", folderName);
        return L10n::format("You don't have permission to write to the folder \"%@\".", folderName);
    }
    if (info.exists() && !targetIsFolder && !info.isWritable())
        return L10n::format("You don't have permission to replace \"%@\".", name);
    return L10n::format("\"%@\": %@", name, userMessage(error));
}

QString writeFailureReason(const QString& folder, WriteError error, qint64 bytes)
{
    const QFileInfo info(folder);
    if (!info.exists() && !info.isSymLink()) return L10n::text("the folder doesn't exist.");
    if (!info.isDir()) return L10n::text("it isn't a folder.");
    const QByteArray name = QFile::encodeName(folder);
    if (::access(name.constData(), W_OK | X_OK) != 0) {
        if (errno == EROFS) return L10n::text("the disk is read-only.");
        return L10n::text("you don't have permission to write to it.");
    }
    struct statvfs disk {};
    if (::statvfs(name.constData(), &disk) == 0 &&
        qint64(disk.f_bavail) * qint64(disk.f_frsize) < std::max<qint64>(bytes, 1))
        return L10n::text("the disk is full.");
    if (error == WriteError::cannotCreate) return L10n::text("the file couldn't be created.");
    return L10n::text("the file couldn't be written.");
}

std::expected<void, WriteError> writeFileAtomically(const QString& path, const QByteArray& data,
                                                    FileAccess access)
{
    QFileInfo target(path);
    // A link to a file of the user's is written through, as every editor does, so a settings
    // file kept elsewhere and linked here stays where it is.
    if (target.isSymLink() && target.exists()) target = QFileInfo(target.canonicalFilePath());
    const QString folder = target.absolutePath();
    const QString finalPath = target.absoluteFilePath();
    // What earlier writes into this folder left behind when they were killed goes first. A
    // write still under way holds a lock on its temporary and is left alone.
    StaleTemporaries::removeAll(QFileInfo(folder).canonicalFilePath());

    mode_t mode = 0600;
    if (access == FileAccess::standard) {
        struct stat old {};
        if (::stat(QFile::encodeName(finalPath).constData(), &old) == 0 && S_ISREG(old.st_mode))
            mode = old.st_mode & 07777;
        else
            mode = 0666; // the umask applies at open()
    }
    // Writable by its owner while it is a temporary, so that it can carry our mark and shed it;
    // a read-only mode is set once it is written.
    const StaleTemporaries::File temp =
        StaleTemporaries::makeFile(folder, target.fileName(), mode | S_IWUSR);
    if (temp.fd < 0) return std::unexpected(WriteError::cannotCreate);
    const int fd = temp.fd;
    const QByteArray& tempName = temp.path;
    bool written = writeAllAndSync(fd, data);
    // The mark cannot be taken off a file its owner may not write.
    if ((mode & S_IWUSR) == 0) StaleTemporaries::unmark(fd);
    // The mode asked for, not what the umask left of it (a replaced file keeps its own).
    if (access == FileAccess::userOnly || mode != 0666)
        written = written && ::fchmod(fd, mode) == 0;
    // A second descriptor keeps the lock until the temporary is renamed into place, while the
    // first one's close is checked for a late write error.
    const int lockFd = ::dup(fd);
    const auto unlock = [lockFd] {
        if (lockFd >= 0) ::close(lockFd);
    };
    if (::close(fd) != 0 || !written) {
        ::unlink(tempName.constData());
        unlock();
        return std::unexpected(WriteError::writeFailed);
    }

    // Registered before the rename makes it appear, so a folder watcher never takes it for a
    // stranger's file.
    OwnWrites::shared().add(finalPath);
    if (::rename(tempName.constData(), QFile::encodeName(finalPath).constData()) != 0) {
        ::unlink(tempName.constData());
        unlock();
        return std::unexpected(WriteError::cannotReplace);
    }
    if (lockFd >= 0) StaleTemporaries::unmark(lockFd);
    unlock();
    syncFolder(QFile::encodeName(folder));
    return {};
}

namespace {

// Every file 0600 and every folder 0700 in a folder that was just built, links left alone.
bool makeUserOnly(const QString& folder)
{
    bool ok = ::chmod(QFile::encodeName(folder).constData(), 0700) == 0;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QByteArray name = QFile::encodeName(it.next());
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0) return false;
        if (S_ISLNK(st.st_mode)) continue;
        ok = ok && ::chmod(name.constData(), S_ISDIR(st.st_mode) ? 0700 : 0600) == 0;
    }
    return ok;
}

} // namespace

namespace {

// Closes a descriptor that holds a lock when it goes.
struct HeldLock {
    int fd = -1;
    HeldLock() = default;
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;
    ~HeldLock()
    {
        if (fd >= 0) ::close(fd);
    }
};

// Makes the temporary folder for `target` beside it and locks it for this write (a sweep of the
// folder leaves it alone while the lock is held); an empty name when it cannot be made.
QString makeHeldTemporaryFolder(const QString& parent, const QString& targetName, mode_t mode,
                                HeldLock& lock)
{
    const StaleTemporaries::Making making(parent);
    // A sweep that took the new folder for a stale one before the lock (one that does not wait
    // for Making) has removed it: start again under a new name.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString tempFileName = StaleTemporaries::name(targetName, "tmp");
        const QString temp = parent + QLatin1Char('/') + tempFileName;
        const QByteArray name = QFile::encodeName(temp);
        if (::mkdir(name.constData(), mode) != 0) return {};
        const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT) continue; // removed before it could be opened
            ::rmdir(name.constData());
            return {};
        }
        if (StaleTemporaries::hold(fd) == StaleTemporaries::Hold::removed) {
            ::close(fd);
            continue;
        }
        lock.fd = fd;
        StaleTemporaries::mark(fd, tempFileName, StaleTemporaries::Kind::package);
        return temp;
    }
    return {};
}

// Opens the folder at `path` (never through a link), so that it can be marked once it has been
// moved aside under a temporary's name.
void openFolder(const QByteArray& path, HeldLock& folder)
{
    folder.fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Locks what stands at `path` (a folder or a file, never through a link) before it is moved
// aside under a temporary's name, so no sweep takes it for a stale one meanwhile.
void holdBeforeMovingAside(const QByteArray& path, HeldLock& lock)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !(S_ISDIR(st.st_mode) || S_ISREG(st.st_mode)))
        return;
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    lock.fd = fd;
    (void)StaleTemporaries::hold(fd);
}

// Marks the previous folder, open at `folder.fd`, as ours under the temporary's name `name` it
// is moved to, so that a sweep removes it if this write is killed before it does.
void markMovedAside(const HeldLock& folder, const QByteArray& name)
{
    struct stat st {};
    if (folder.fd >= 0 && ::fstat(folder.fd, &st) == 0 && S_ISDIR(st.st_mode))
        StaleTemporaries::mark(folder.fd, QFileInfo(QFile::decodeName(name)).fileName(),
                               StaleTemporaries::Kind::package);
}

} // namespace

std::expected<void, WriteError>
writeFolderAtomically(const QString& path,
                      const std::function<bool(const QString& tempFolder)>& fill, FileAccess access)
{
    const QFileInfo target(path);
    const QString parent = target.absolutePath();
    // A folder the user removed is not made again behind their back.
    if (!QFileInfo(parent).isDir()) return std::unexpected(WriteError::cannotCreate);
    // What earlier writes into this folder left behind when they were killed goes first.
    StaleTemporaries::removeAll(parent);
    HeldLock tempLock;
    const QString temp = makeHeldTemporaryFolder(
        parent, target.fileName(), access == FileAccess::userOnly ? 0700 : 0777, tempLock);
    if (temp.isEmpty()) return std::unexpected(WriteError::cannotCreate);
    const QByteArray tempName = QFile::encodeName(temp);

    // The temporary folder or, once swapped, what stood at `path` before: a folder or not.
    const auto discard = [](const QString& entry) {
        const QFileInfo info(entry);
        if (info.isDir() && !info.isSymLink())
            QDir(entry).removeRecursively();
        else
            QFile::remove(entry);
    };
    if (!fill(temp) || (access == FileAccess::userOnly && !makeUserOnly(temp))) {
        discard(temp);
        return std::unexpected(WriteError::writeFailed);
    }
    // The entries of the new folder are on the disk before it takes the old one's place.
    syncFolder(tempName);

    OwnWrites::shared().add(target.absoluteFilePath());
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    // A folder built under the name of one of our temporaries (a package to be kept beside
    // another, which gets its own name later) stays marked as ours under that name.
    const bool staysTemporary = StaleTemporaries::isOwnName(target.fileName());
    if (staysTemporary)
        StaleTemporaries::mark(tempLock.fd, target.fileName(), StaleTemporaries::Kind::package);
    const auto unmarkFinished = [&] {
        if (!staysTemporary) StaleTemporaries::unmark(tempLock.fd);
    };
    if (!target.exists() && !target.isSymLink()) {
        if (::rename(tempName.constData(), to.constData()) != 0) {
            discard(temp);
            return std::unexpected(WriteError::cannotReplace);
        }
        unmarkFinished();
        syncFolder(QFile::encodeName(parent));
        return {};
    }
    // Swap the finished folder and the old one in one step, then remove the old one. It is
    // marked as ours under the temporary's name first, so that a kill before its removal
    // leaves it to a sweep.
    HeldLock previous;
    openFolder(to, previous);
    markMovedAside(previous, tempName);
    if (::renameat2(AT_FDCWD, tempName.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) ==
        0) {
        unmarkFinished();
        syncFolder(QFile::encodeName(parent));
        discard(temp);
        return {};
    }
    if (previous.fd >= 0) StaleTemporaries::unmark(previous.fd);
    // The file system cannot exchange: move the old one aside, put the new one in, and put the
    // old one back if that fails.
    const QString aside =
        parent + QLatin1Char('/') + StaleTemporaries::name(target.fileName(), "old");
    const QByteArray asideName = QFile::encodeName(aside);
    HeldLock oldLock;
    holdBeforeMovingAside(to, oldLock);
    if (::rename(to.constData(), asideName.constData()) != 0) {
        discard(temp);
        return std::unexpected(WriteError::cannotReplace);
    }
    markMovedAside(oldLock, asideName);
    if (::rename(tempName.constData(), to.constData()) != 0) {
        StaleTemporaries::unmark(oldLock.fd);
        ::rename(asideName.constData(), to.constData());
        discard(temp);
        return std::unexpected(WriteError::cannotReplace);
    }
    unmarkFinished();
    syncFolder(QFile::encodeName(parent));
    discard(aside);
    return {};
}

bool makePrivateFolder(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir()) return true;
    if (!QDir().mkpath(info.absolutePath())) return false;
    const QByteArray name = QFile::encodeName(info.absoluteFilePath());
    if (::mkdir(name.constData(), 0700) == 0) {
        // mkdir's mode passes through the umask; the folder is ours alone whatever it is.
        const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            ::fchmod(fd, 0700);
            ::close(fd);
        }
    }
    return QFileInfo(path).isDir();
}

} // namespace snapkin::platform
