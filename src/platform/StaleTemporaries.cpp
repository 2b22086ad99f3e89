#include "platform/StaleTemporaries.h"

#include "platform/AppPaths.h"
#include "platform/AtomicWrite.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <QUuid>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace snapkin::platform {

namespace {

using Kind = StaleTemporaries::Kind;

constexpr const char* markAttribute = "user.snapkin.temporary";

// How many folder levels a sweep goes down into a package: ours holds files and one folder of
// files. Anything deeper is not our package writer's, and stays.
constexpr int maxDepth = 4;

// The mark of an entry: "<kind>:<inode>:<name hash>[:<name hash>…]". The inode tells a copy,
// even one under the same name, from the entry marked; the names are those the entry is a
// temporary under (a renamed entry is not the temporary it was, unless marked for both names).
QByteArray markPrefix(Kind kind, ino_t inode)
{
    return QByteArray(kind == Kind::file ? "file:" : "package:") +
           QByteArray::number(quint64(inode));
}

QByteArray nameHash(const QByteArray& name)
{
    return QCryptographicHash::hash(name, QCryptographicHash::Sha256).toHex();
}

QByteArray readMark(int fd)
{
    char value[1024];
    const ssize_t size = ::fgetxattr(fd, markAttribute, value, sizeof value);
    return size > 0 ? QByteArray(value, size) : QByteArray();
}

// The kind the entry open at `fd` (lstat'ed as `st`, named `name`) is marked as, if its mark is
// ours and is for this entry under this name.
std::optional<Kind> markedKind(int fd, const struct stat& st, const QByteArray& name)
{
    const QList<QByteArray> parts = readMark(fd).split(':');
    if (parts.size() < 3 || !parts.mid(2).contains(nameHash(name))) return std::nullopt;
    for (const Kind kind : {Kind::file, Kind::package}) {
        if (parts[0] + ':' + parts[1] == markPrefix(kind, st.st_ino)) return kind;
    }
    return std::nullopt;
}

// The per-user secret our temporaries' names are signed with ("temporaries.key" in the private
// data folder, made once by whichever writer needs it first). Empty where it can be neither
// read nor made: names are then plain random, and prove nothing.
QByteArray readKey(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return {};
    QByteArray key(32, Qt::Uninitialized);
    struct stat st {};
    const bool ours = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                      (st.st_mode & (S_IRWXG | S_IRWXO)) == 0 && st.st_size == key.size() &&
                      ::read(fd, key.data(), size_t(key.size())) == key.size();
    ::close(fd);
    if (!ours) errno = EINVAL;
    return ours ? key : QByteArray();
}

QByteArray makeKey()
{
    const QString folder = AppPaths::dataDir();
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/temporaries.key"));
    if (QByteArray key = readKey(path); !key.isEmpty() || errno != ENOENT) return key;
    if (!makePrivateFolder(folder)) return {};
    // Written unnamed and linked in whole: a kill leaves no half key, and of two writers at
    // once, one key wins and both read it.
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) return {};
    quint32 random[8];
    QRandomGenerator::system()->fillRange(random);
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
    if (::write(fd, random, sizeof random) == qsizetype(sizeof random) && ::fsync(fd) == 0)
        ::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW);
    ::close(fd);
    return readKey(path);
}

const QByteArray& nameKey()
{
    static const QByteArray key = makeKey();
    return key;
}

// The signature in a temporary's name: the last 6 of its 12 hex digits, from the first 6, the
// kind and the target.
QByteArray signature(const QByteArray& target, const QByteArray& kind, const QByteArray& nonce)
{
    const QByteArray message = kind + '\0' + target + '\0' + nonce;
    return QMessageAuthenticationCode::hash(message, nameKey(), QCryptographicHash::Sha256)
        .toHex()
        .left(6);
}

// Takes the lock a writer holds on its temporary without waiting: false while a writer still
// holds it, and when it cannot be told (a lock the file system refuses).
bool lockUnheld(int fd)
{
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool sameEntry(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Takes the lock on the temporary open at `fd` (the entry `st`) unless a writer holds it, and
// makes sure `name` in the folder open at `dirFd` still is that temporary: a writer that
// finished between the open and the lock has moved it to its final name, which must not be
// touched.
bool lockStale(int dirFd, const char* name, int fd, const struct stat& st)
{
    if (!lockUnheld(fd)) return false;
    struct stat named {};
    return ::fstatat(dirFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameEntry(st, named);
}

bool isDots(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Lists the folder open at `fd` through a copy of it, from the start (a copy shares its
// position with `fd`); null when it cannot.
DIR* listCopy(int fd)
{
    const int copy = ::dup(fd);
    if (copy < 0) return nullptr;
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return nullptr;
    }
    ::rewinddir(dir);
    return dir;
}

// Empties the folder open at `fd` (on device `device`) of the current user's entries, going at
// most maxDepth levels down without recursion, with one descriptor per level. Links are removed
// themselves, never followed; folders of other users or on other file systems are not entered,
// and what is in them stays (so does every folder above it, which rmdir then refuses).
void emptyFolder(int fd, dev_t device, uid_t me)
{
    struct Level {
        DIR* dir;
        QByteArray name; // in the level above
    };
    std::vector<Level> levels;
    DIR* top = listCopy(fd);
    if (!top) return;
    levels.push_back({top, {}});
    while (!levels.empty()) {
        DIR* dir = levels.back().dir;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            const QByteArray name = levels.back().name;
            ::closedir(dir);
            levels.pop_back();
            if (!levels.empty())
                ::unlinkat(::dirfd(levels.back().dir), name.constData(), AT_REMOVEDIR);
            continue;
        }
        if (isDots(entry->d_name)) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (st.st_uid != me) continue;
        if (!S_ISDIR(st.st_mode)) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
            continue;
        }
        if (st.st_dev != device || int(levels.size()) >= maxDepth) continue;
        const int child =
            ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) continue;
        struct stat opened {};
        DIR* childDir =
            ::fstat(child, &opened) == 0 && sameEntry(opened, st) ? ::fdopendir(child) : nullptr;
        if (!childDir) {
            ::close(child);
            continue;
        }
        levels.push_back({childDir, QByteArray(entry->d_name)});
    }
}

// A name that has the form of one of our temporaries, split at its last kind: "." target
// "." kind "-" 12 hex.
struct Candidate {
    QByteArray name;
    QByteArray target;
    QByteArray kind; // "tmp", "old" or "keep"
    QByteArray digits;
    // For what earlier builds left unmarked in a private folder: the kind its target is written
    // as. Empty for a sweep that needs our mark.
    std::optional<Kind> unmarked;
};

std::optional<Candidate> split(const QByteArray& name)
{
    constexpr qsizetype hex = 12;
    const qsizetype dot = name.lastIndexOf('.');
    if (name.size() < 2 || name[0] != '.' || dot < 2) return std::nullopt;
    const QByteArray last = name.mid(dot + 1);
    const qsizetype dash = last.indexOf('-');
    if (dash < 0 || last.size() - dash - 1 != hex) return std::nullopt;
    const QByteArray kind = last.left(dash);
    if (kind != "tmp" && kind != "old" && kind != "keep") return std::nullopt;
    for (const char c : last.mid(dash + 1)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::nullopt;
    }
    return Candidate{name, name.mid(1, dot - 1), kind, last.mid(dash + 1), std::nullopt};
}

// Whether the name was made by one of our writers (signed with the user's secret).
bool isSigned(const Candidate& candidate)
{
    return !nameKey().isEmpty() && signature(candidate.target, candidate.kind,
                                             candidate.digits.left(6)) == candidate.digits.mid(6);
}

// Whether the folder open at `fd` holds nothing. Its position is left at the start.
bool isEmptyFolder(int fd)
{
    DIR* dir = listCopy(fd);
    if (!dir) return false;
    bool empty = true;
    while (const dirent* entry = ::readdir(dir)) {
        if (!isDots(entry->d_name)) {
            empty = false;
            break;
        }
    }
    ::rewinddir(dir);
    ::closedir(dir);
    return empty;
}

// Whether `candidate` is a previous version moved aside (".<target>.old-<hex>") whose target is
// missing: a write cut short between moving the old one aside and putting the new one in.
bool isLastCopy(int dirFd, const Candidate& candidate)
{
    if (candidate.kind != "old") return false;
    struct stat st {};
    return ::fstatat(dirFd, candidate.target.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 &&
           errno == ENOENT;
}

// Removes the temporary `candidate` in the folder open at `dirFd` once it is proven ours and
// dead: the current user's, a regular file with one name or a folder, marked as such by our
// writer for this very entry (or, for `unmarked`, of the kind its target is written as), of a
// kind that writer makes under that name, and locked by nobody.
bool removeStale(int dirFd, const Candidate& candidate, uid_t me)
{
    const char* name = candidate.name.constData();
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_uid != me) return false;
    const bool isFile = S_ISREG(st.st_mode) && st.st_nlink == 1;
    const bool isFolder = S_ISDIR(st.st_mode);
    if (!isFile && !isFolder) return false;
    if (isLastCopy(dirFd, candidate)) return false;
    // Opened without following a link or blocking, and checked to be the entry looked at. A
    // file whose mode allows writing only is opened for writing.
    constexpr int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::openat(dirFd, name, O_RDONLY | flags | (isFile ? 0 : O_DIRECTORY));
    if (fd < 0 && isFile) fd = ::openat(dirFd, name, O_WRONLY | flags);
    if (fd < 0) return false;
    struct stat opened {};
    std::optional<Kind> kind;
    if (::fstat(fd, &opened) == 0 && sameEntry(opened, st)) {
        kind = candidate.unmarked ? candidate.unmarked : markedKind(fd, st, candidate.name);
        // A writer killed between making its temporary and marking it left it empty, under a
        // name that it signed.
        if (!kind && isSigned(candidate)) {
            if (isFile && st.st_size == 0)
                kind = Kind::file;
            else if (isFolder && isEmptyFolder(fd))
                kind = Kind::package;
        }
    }
    // Files are written only as ".<name>.tmp-"; a folder under any of the kinds.
    const bool ofItsKind =
        kind && (*kind == Kind::file ? isFile && candidate.kind == "tmp" : isFolder);
    // The lock is held until the entry is gone, so its writer, waiting for it, finds it removed.
    if (!ofItsKind || !lockStale(dirFd, name, fd, st)) {
        ::close(fd);
        return false;
    }
    if (isFolder) emptyFolder(fd, st.st_dev, me);
    const bool removed = ::unlinkat(dirFd, name, isFolder ? AT_REMOVEDIR : 0) == 0;
    ::close(fd);
    return removed;
}

// Sweeps `folder` of the candidates `pick` chooses among its hidden entries. With
// `privateOnly`, only a folder of the user's alone is swept.
int sweep(const QString& folder, bool privateOnly,
          const std::function<std::optional<Candidate>(const QByteArray&)>& pick)
{
    const QByteArray path = QFile::encodeName(folder);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    const uid_t me = ::geteuid();
    struct stat st {};
    if (privateOnly &&
        (::fstat(fd, &st) != 0 || st.st_uid != me || (st.st_mode & (S_IRWXG | S_IRWXO)) != 0)) {
        ::close(fd);
        return 0;
    }
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
    QList<Candidate> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.') continue;
        if (auto candidate = pick(QByteArray(entry->d_name))) candidates.append(*candidate);
    }
    int removed = 0;
    for (const Candidate& candidate : candidates) {
        if (removeStale(::dirfd(dir), candidate, me)) ++removed;
    }
    ::closedir(dir);
    return removed;
}

} // namespace

QString StaleTemporaries::name(const QString& targetName, const char* kind)
{
    const QByteArray random = QUuid::createUuid().toRfc4122().toHex();
    const QByteArray nonce = random.left(6);
    const QByteArray digits =
        nonce + (nameKey().isEmpty() ? random.mid(6, 6)
                                     : signature(QFile::encodeName(targetName), kind, nonce));
    return QLatin1Char('.') + targetName + QLatin1Char('.') + QLatin1String(kind) +
           QLatin1Char('-') + QString::fromLatin1(digits);
}

bool StaleTemporaries::isOwnName(const QString& name)
{
    const std::optional<Candidate> candidate = split(QFile::encodeName(name));
    return candidate && isSigned(*candidate);
}

bool StaleTemporaries::mark(int fd, const QString& name, Kind kind)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    // Marked for this name besides those it already has, if it is marked as this very entry.
    const QByteArray prefix = markPrefix(kind, st.st_ino);
    QByteArray value = readMark(fd);
    if (!value.startsWith(prefix + ':')) value = prefix;
    const QByteArray hash = nameHash(QFile::encodeName(name));
    if (value.split(':').mid(2).contains(hash)) return true;
    value += ':' + hash;
    return ::fsetxattr(fd, markAttribute, value.constData(), size_t(value.size()), 0) == 0;
}

void StaleTemporaries::unmark(int fd)
{
    ::fremovexattr(fd, markAttribute);
}

int StaleTemporaries::removeOf(const QString& folder, const QString& targetName)
{
    if (targetName.isEmpty()) return 0;
    const QByteArray target = QFile::encodeName(targetName);
    const QByteArray nested = '.' + target + ".keep-";
    return sweep(folder, false, [&](const QByteArray& name) -> std::optional<Candidate> {
        auto candidate = split(name);
        if (!candidate) return std::nullopt;
        // "..<name>.keep-<hex>.tmp-<hex>" is the temporary of a package kept beside <name>.
        if (candidate->target == target ||
            (candidate->target.startsWith(nested) && split(candidate->target)))
            return candidate;
        return std::nullopt;
    });
}

int StaleTemporaries::removeAll(const QString& folder)
{
    return sweep(folder, false, [](const QByteArray& name) { return split(name); });
}

int StaleTemporaries::removeUnmarked(
    const QString& privateFolder,
    const std::function<std::optional<Kind>(const QString&)>& ownTarget)
{
    return sweep(privateFolder, true, [&](const QByteArray& name) -> std::optional<Candidate> {
        auto candidate = split(name);
        if (!candidate || candidate->kind == "keep") return std::nullopt;
        candidate->unmarked = ownTarget(QFile::decodeName(candidate->target));
        if (!candidate->unmarked) return std::nullopt;
        return candidate;
    });
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

StaleTemporaries::File StaleTemporaries::makeFile(const QString& folder, const QString& targetName,
                                                  mode_t mode)
{
    File file;
    QString fileName;
    {
        const Making making(folder);
        // A sweep that took the new temporary for a stale one before the lock (one that does not
        // wait for Making) has removed it: start again under a new name.
        for (int attempt = 0; attempt < 3 && file.fd < 0; ++attempt) {
            fileName = name(targetName, "tmp");
            file.path = QFile::encodeName(folder + QLatin1Char('/') + fileName);
            file.fd = ::open(file.path.constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (file.fd < 0) return file;
            if (hold(file.fd) == Hold::removed) {
                ::close(file.fd);
                file.fd = -1;
            }
        }
    }
    // Marked as ours, so that a sweep may remove it once a kill leaves it behind.
    if (file.fd >= 0) mark(file.fd, fileName, Kind::file);
    return file;
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
