#pragma once

// Helpers shared by the screenshot-folder watcher's tests: writing files and reading the times
// the watcher judges them by.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

namespace snapkin::watchertest {

inline bool put(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// The birth time of `path` in nanoseconds, 0 when the file system keeps none.
inline qint64 bornNs(const QString& path)
{
    struct statx status {};
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), 0, STATX_BTIME, &status) != 0 ||
        !(status.stx_mask & STATX_BTIME))
        return 0;
    return qint64(status.stx_btime.tv_sec) * 1'000'000'000 + status.stx_btime.tv_nsec;
}

// The clock the kernel stamps files from.
inline qint64 coarseNowNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace snapkin::watchertest
