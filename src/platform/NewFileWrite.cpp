#include "platform/NewFileWrite.h"

#include "platform/DurableFile.h"
#include "platform/OwnWrites.h"
#include "platform/StaleTemporaries.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <iterator>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace snapkin::platform {

namespace {

enum class Move { done, taken, unsupported, failed };

Move renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return Move::done;
    if (errno == EEXIST) return Move::taken;
    // The file system (or an old kernel) does not know the flag.
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) return Move::unsupported;
    return Move::failed;
}

// A second name for the temporary, refused when the name exists; then the temporary's own name
// goes away.
Move linkThenUnlink(const QByteArray& from, const QByteArray& to)
{
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return Move::done;
    }
    if (errno == EEXIST) return Move::taken;
    if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS || errno == EMLINK)
        return Move::unsupported;
    return Move::failed;
}

// For file systems without hard links: claims the name with an empty file created exclusively
// (which only we can have made), then renames the temporary over our own placeholder.
Move claimThenRename(const QByteArray& from, const QByteArray& to)
{
    const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST ? Move::taken : Move::failed;
    ::close(fd);
    if (::rename(from.constData(), to.constData()) == 0) return Move::done;
    ::unlink(to.constData());
    return Move::failed;
}

// The ways of taking a name without replacing anything, the best first.
constexpr Move (*kMoves[])(const QByteArray&, const QByteArray&) = {renameNoReplace, linkThenUnlink,
                                                                    claimThenRename};

// How many names are tried before giving up.
constexpr int kNameAttempts = 10000;

} // namespace

std::expected<QString, WriteError> writeNewFile(const QString& folder,
                                                const std::function<QString(int attempt)>& nameAt,
                                                const QByteArray& data)
{
    const QString dir = QDir(folder).absolutePath();
    // What earlier writes into this folder left behind when they were killed goes first. A
    // write still under way holds a lock on its temporary and is left alone.
    StaleTemporaries::removeAll(dir);

    const StaleTemporaries::File temp = StaleTemporaries::makeFile(dir, nameAt(1), 0666);
    if (temp.fd < 0) return std::unexpected(WriteError::cannotCreate);
    const int fd = temp.fd;
    const QByteArray& tempName = temp.path;
    // A full disk shows up in write() or, with delayed allocation, only in fsync() or close().
    const bool written = writeAllAndSync(fd, data);
    // A second descriptor keeps the lock until the file has its name, while the first one's
    // close is checked for a late write error.
    const int lockFd = ::dup(fd);
    const auto unlock = [lockFd] {
        if (lockFd >= 0) ::close(lockFd);
    };
    if (::close(fd) != 0 || !written) {
        ::unlink(tempName.constData());
        unlock();
        return std::unexpected(WriteError::writeFailed);
    }

    // Once a way of taking a name is found unsupported, the later names skip it.
    int method = 0;
    for (int attempt = 1; attempt <= kNameAttempts; ++attempt) {
        const QString target = dir + QLatin1Char('/') + nameAt(attempt);
        const QByteArray targetName = QFile::encodeName(target);
        OwnWrites::shared().add(target);
        Move move = Move::unsupported;
        while (move == Move::unsupported && method < int(std::size(kMoves))) {
            move = kMoves[method](tempName, targetName);
            if (move == Move::unsupported) ++method;
        }
        if (move == Move::done) {
            if (lockFd >= 0) StaleTemporaries::unmark(lockFd);
            unlock();
            syncFolder(QFile::encodeName(dir));
            return target;
        }
        OwnWrites::shared().take(target);
        if (move != Move::taken) break;
    }
    ::unlink(tempName.constData());
    unlock();
    return std::unexpected(WriteError::cannotReplace);
}

} // namespace snapkin::platform
