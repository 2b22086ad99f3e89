// A disk that is full in one folder: preloaded into a test's child process, it makes write(),
// writev(), pwrite() and fsync() on any file under $SNAPKIN_FULL_DISK fail with ENOSPC, as the
// kernel does when a disk has no room left, and statvfs() of a path there report no free
// blocks. Everything else passes through unchanged.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

static int isFull(int fd)
{
    const char* folder = getenv("SNAPKIN_FULL_DISK");
    if (!folder || !*folder) return 0;
    char link[64];
    char path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0) return 0;
    path[n] = '\0';
    const size_t length = strlen(folder);
    return strncmp(path, folder, length) == 0 && (path[length] == '/' || path[length] == '\0');
}

static int isFullPath(const char* given)
{
    const char* folder = getenv("SNAPKIN_FULL_DISK");
    if (!folder || !*folder || !given) return 0;
    char resolved[4096];
    const char* path = realpath(given, resolved) ? resolved : given;
    const size_t length = strlen(folder);
    return strncmp(path, folder, length) == 0 && (path[length] == '/' || path[length] == '\0');
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

ssize_t write(int fd, const void* data, size_t size)
{
    if (size > 0 && isFull(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return NEXT(write)(fd, data, size);
}

ssize_t writev(int fd, const struct iovec* parts, int count)
{
    if (count > 0 && isFull(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return NEXT(writev)(fd, parts, count);
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset)
{
    if (size > 0 && isFull(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return NEXT(pwrite)(fd, data, size, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset)
{
    if (size > 0 && isFull(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return NEXT(pwrite64)(fd, data, size, offset);
}

int fsync(int fd)
{
    if (isFull(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return NEXT(fsync)(fd);
}

int fdatasync(int fd)
{
    if (isFull(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return NEXT(fdatasync)(fd);
}

static void noRoom(struct statvfs* disk)
{
    disk->f_bavail = 0;
    disk->f_bfree = 0;
}

int statvfs(const char* path, struct statvfs* disk)
{
    const int result = NEXT(statvfs)(path, disk);
    if (result == 0 && isFullPath(path)) noRoom(disk);
    return result;
}

int fstatvfs(int fd, struct statvfs* disk)
{
    const int result = NEXT(fstatvfs)(fd, disk);
    if (result == 0 && isFull(fd)) noRoom(disk);
    return result;
}

int statvfs64(const char* path, struct statvfs64* disk)
{
    const int result = NEXT(statvfs64)(path, disk);
    if (result == 0 && isFullPath(path)) {
        disk->f_bavail = 0;
        disk->f_bfree = 0;
    }
    return result;
}
