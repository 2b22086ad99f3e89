#include "platform/PrivateFolder.h"

#include "platform/FileLock.h"
#include "platform/L10n.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace snapkin::platform {

namespace {

// Digits of the creation stamp that starts the name of each folder makeUniqueFolder makes.
constexpr int stampDigits = 20;

// Nanoseconds since the epoch, strictly increasing within the run. Folder times come from a
// coarse clock (several milliseconds a tick), so folders made in quick succession often share
// one and would not tell which is newer.
std::uint64_t creationStamp()
{
    static std::atomic<std::uint64_t> last{0};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::uint64_t stamp =
        std::uint64_t(now.tv_sec) * 1000000000u + std::uint64_t(now.tv_nsec);
    std::uint64_t previous = last.load();
    while (true) {
        const std::uint64_t next = std::max(stamp, previous + 1);
        if (last.compare_exchange_weak(previous, next)) return next;
    }
}

// The creation stamp a folder's name starts with; 0 for a name without one.
std::uint64_t stampOf(const QByteArray& name)
{
    if (name.size() <= stampDigits || name[stampDigits] != '-') return 0;
    std::uint64_t stamp = 0;
    for (int i = 0; i < stampDigits; ++i) {
        const char c = name[i];
        if (c < '0' || c > '9') return 0;
        stamp = stamp * 10 + std::uint64_t(c - '0');
    }
    return stamp;
}

// Calls `visit(name, status)` for each entry of ours (owned by this user; a link is not
// followed) in the folder open at `dirFd`, which stays open.
template <typename Visit> void forEachOwnEntry(int dirFd, Visit&& visit)
{
    const int listFd = ::dup(dirFd);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0) ::close(listFd);
        return;
    }
    const uid_t me = ::geteuid();
    while (dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        struct stat st {};
        if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_uid == me)
            visit(name, st);
    }
    ::closedir(dir);
}

// Empties the folder open at `dirFd` as `clean` describes; closes `dirFd`.
void cleanAt(int dirFd)
{
    forEachOwnEntry(dirFd, [dirFd](const char* name, const struct stat& st) {
        if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
            ::unlinkat(dirFd, name, 0);
        } else if (S_ISDIR(st.st_mode)) {
            const int child =
                ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0) return;
            cleanAt(child);
            ::unlinkat(dirFd, name, AT_REMOVEDIR); // fails, as wanted, when something stayed
        }
    });
    ::close(dirFd);
}

// The file in each process's folder whose lock says the process still runs.
constexpr char ownerFile[] = ".owner";

// Removes from the folder open at `rootFd` what no running process holds: every folder of ours
// whose owner file is missing or not locked, with what is in it, and every file or link of ours
// beside them. A folder whose owner file is locked (this process's own too) stays whole. Called
// with the folder itself locked, so no process takes a folder here meanwhile.
void removeUnowned(int rootFd)
{
    forEachOwnEntry(rootFd, [rootFd](const char* name, const struct stat& st) {
        if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
            ::unlinkat(rootFd, name, 0);
            return;
        }
        if (!S_ISDIR(st.st_mode)) return;
        const int child = ::openat(rootFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) return;
        // A folder without an owner file is an earlier version's, or a process's that ended
        // before it made one: nobody holds it.
        // Opened for writing: a lock emulated over NFS needs it.
        const int owner = ::openat(child, ownerFile, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (owner >= 0 && !FileLock::tryLock(owner)) {
            ::close(owner);
            ::close(child);
            return;
        }
        cleanAt(child);
        ::unlinkat(rootFd, name, AT_REMOVEDIR);
        if (owner >= 0) ::close(owner);
    });
}

// This process's own folder while it holds it.
struct OwnFolder {
    QString root;     // the location() it lies in
    QString path;     // empty while none is held
    int ownerFd = -1; // keeps the owner file locked
};

QMutex ownMutex;
OwnFolder own;

// Whether `path` still is a real folder of the user's own.
bool isOurFolder(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid();
}

// Takes a new folder of this process's own in `root` (already private), first removing what no
// running process holds. Called with ownMutex held.
bool takeOwnFolder(const QString& root)
{
    if (own.ownerFd >= 0) ::close(own.ownerFd);
    own = {root, {}, -1};
    // Locked while the folder and its owner file are made and locked, so that no other start's
    // clean-up finds it without its lock meanwhile. A lock held too long by a stopped process
    // is not waited for: the moment without the lock is short.
    const FileLock rootLock(root);
    const int rootFd = ::open(QFile::encodeName(root).constData(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (rootFd < 0) return false;
    if (rootLock.isHeld()) removeUnowned(rootFd);
    ::close(rootFd);
    QByteArray pattern = QFile::encodeName(root) + '/' + QByteArray::number(::getpid()) + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) return false;
    const QByteArray owner = pattern + '/' + ownerFile;
    const int fd =
        ::open(owner.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 || !FileLock::tryLock(fd)) {
        if (fd >= 0) ::close(fd);
        ::unlink(owner.constData());
        ::rmdir(pattern.constData());
        return false;
    }
    own.path = QFile::decodeName(pattern);
    own.ownerFd = fd;
    return true;
}

} // namespace

QString PrivateFolder::userMessage(Error error)
{
    switch (error) {
    case Error::unavailable:
        return L10n::text("Snapkin's private temporary folder couldn't be created.");
    case Error::unsafe:
        return L10n::text("Snapkin's private temporary folder is not safe to use: it is a link, "
                          "not a folder, or belongs to another user.");
    }
    return {};
}

QString PrivateFolder::location()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        return QDir::cleanPath(runtime) + QStringLiteral("/snapkin");
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(cache) + QStringLiteral("/snapkin/tmp");
}

std::expected<QString, PrivateFolder::Error> PrivateFolder::path()
{
    const QString root = location();
    // The parents are ordinary folders of the user's (the cache folder may not exist yet).
    QDir().mkpath(QFileInfo(root).absolutePath());
    if (auto ok = makePrivate(root); !ok) return std::unexpected(ok.error());
    const QMutexLocker lock(&ownMutex);
    // Taken anew when the environment names another folder (tests) or someone removed it.
    if (own.root != root || own.path.isEmpty() || !isOurFolder(own.path)) {
        if (!takeOwnFolder(root)) return std::unexpected(Error::unavailable);
    }
    if (auto ok = makePrivate(own.path); !ok) return std::unexpected(ok.error());
    return own.path;
}

std::expected<QString, PrivateFolder::Error> PrivateFolder::makeUniqueFolder(const QString& purpose)
{
    auto root = path();
    if (!root) return root;
    const QString parent = *root + QLatin1Char('/') + purpose;
    if (auto ok = makePrivate(parent); !ok) return std::unexpected(ok.error());
    // Named by when it was made, so keepNewest knows the order whatever the folder times say.
    const QByteArray stamp =
        QByteArray::number(qulonglong(creationStamp())).rightJustified(stampDigits, '0');
    QByteArray pattern = QFile::encodeName(parent) + '/' + stamp + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) return std::unexpected(Error::unavailable);
    return QFile::decodeName(pattern);
}

void PrivateFolder::clean(const QString& folder)
{
    const QByteArray name = QFile::encodeName(folder);
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    cleanAt(fd);
}

// Never follows a link.
std::expected<void, PrivateFolder::Error> PrivateFolder::makePrivate(const QString& folder)
{
    const QByteArray name = QFile::encodeName(folder);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0) {
        if (errno != ENOENT || ::mkdir(name.constData(), 0700) != 0) {
            if (errno != EEXIST) return std::unexpected(Error::unavailable);
        }
        if (::lstat(name.constData(), &st) != 0) return std::unexpected(Error::unavailable);
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return std::unexpected(Error::unsafe);
    if ((st.st_mode & 07777) != 0700) {
        // Tighten through a descriptor opened without following links, so a folder swapped for
        // a link in the meantime is not what gets changed.
        const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return std::unexpected(Error::unsafe);
        const bool ok = ::fchmod(fd, 0700) == 0;
        ::close(fd);
        if (!ok) return std::unexpected(Error::unsafe);
    }
    return {};
}

bool PrivateFolder::isPrivate(const QString& folder)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(folder).constData(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

void PrivateFolder::keepNewest(const QString& purpose, int count)
{
    QString ownPath;
    {
        const QMutexLocker lock(&ownMutex);
        if (own.root != location() || own.path.isEmpty()) return; // nothing made here yet
        ownPath = own.path;
    }
    const QByteArray name = QFile::encodeName(ownPath + QLatin1Char('/') + purpose);
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    struct Folder {
        QByteArray name;
        std::uint64_t made;
        timespec changed;
    };
    std::vector<Folder> folders;
    const uid_t me = ::geteuid();
    while (dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode) && st.st_uid == me)
            folders.push_back({entry->d_name, stampOf(entry->d_name), st.st_mtim});
    }
    // Newest first; folders alike in both times by name.
    std::sort(folders.begin(), folders.end(), [](const Folder& a, const Folder& b) {
        return std::tie(b.made, b.changed.tv_sec, b.changed.tv_nsec, a.name) <
               std::tie(a.made, a.changed.tv_sec, a.changed.tv_nsec, b.name);
    });
    for (size_t i = size_t(std::max(count, 0)); i < folders.size(); ++i) {
        const int child = ::openat(fd, folders[i].name.constData(),
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) continue;
        cleanAt(child);
        ::unlinkat(fd, folders[i].name.constData(), AT_REMOVEDIR);
    }
    ::closedir(dir);
}

void PrivateFolder::release()
{
    const QMutexLocker lock(&ownMutex);
    if (!own.path.isEmpty()) {
        const QByteArray name = QFile::encodeName(own.path);
        const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        // The owner file goes with the rest while its lock is still held, so no other start
        // takes the folder for an ended run's and empties it meanwhile (which would do no harm).
        if (fd >= 0) cleanAt(fd);
        ::rmdir(name.constData());
    }
    if (own.ownerFd >= 0) ::close(own.ownerFd);
    own = {};
}

void PrivateFolder::cleanUp()
{
    const QString root = location();
    QDir().mkpath(QFileInfo(root).absolutePath());
    if (!makePrivate(root)) return;
    // Without the lock another start may be taking a folder that has no lock yet: better to
    // leave everything for a later start.
    const FileLock rootLock(root);
    if (!rootLock.isHeld()) return;
    const int rootFd = ::open(QFile::encodeName(root).constData(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (rootFd < 0) return;
    removeUnowned(rootFd);
    ::close(rootFd);
}

} // namespace snapkin::platform
