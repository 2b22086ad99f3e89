#include "platform/FileLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace snapkin::platform {

FileLock::FileLock(const QString& path, int waitMs)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    const bool folder = ::lstat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode);
    const int fd = folder
                       ? ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                       : ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    const QDeadlineTimer deadline(waitMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        // Any other failure (no locks on this file system) won't pass by waiting.
        const bool busy = errno == EWOULDBLOCK;
        if (!busy || deadline.hasExpired()) {
            ::close(fd);
            m_busy = busy;
            return;
        }
        QThread::msleep(5);
    }
    m_fd = fd;
}

FileLock::~FileLock()
{
    if (m_fd >= 0) ::close(m_fd); // releases the lock
}

bool FileLock::tryLock(int fd)
{
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

} // namespace snapkin::platform
