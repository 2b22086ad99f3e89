#pragma once

#include <QString>

namespace snapkin::platform {

// An exclusive advisory lock (flock) on a file or folder, held while the object lives, so
// processes that change the same files take turns. The kernel drops the lock when the process
// ends in any way, a crash included, so no lock outlives its owner.
//
// Waiting is bounded: a process that stopped while it held the lock (a debugger, SIGSTOP) holds
// another up for `waitMs` at most (0: the lock is tried once); isHeld() then tells the caller to
// go on without it, give up, or wait elsewhere.
// The descriptor is closed on exec, so a program started meanwhile never keeps a lock alive.
class FileLock {
public:
    // Locks the file at `path`, made (mode 0600) when missing, or the folder at `path`. A link
    // at `path` is never followed: the lock is not taken.
    explicit FileLock(const QString& path, int waitMs = 2000);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool isHeld() const { return m_fd >= 0; }
    // Not held because another open of the file held the lock for the whole wait (rather than
    // because the file could not be opened): waiting longer may get it.
    bool isBusy() const { return m_busy; }

    // Tries once to lock the file of `fd`, which the caller keeps open: true when the lock was
    // taken (it lasts until `fd` closes), false when another open of the file holds it.
    static bool tryLock(int fd);

private:
    int m_fd = -1;
    bool m_busy = false;
};

} // namespace snapkin::platform
