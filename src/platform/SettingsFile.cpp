#include "platform/SettingsFile.h"

#include "platform/SettingsTable.h"

#include <QFile>
#include <QJsonDocument>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace snapkin::platform {

namespace {

// The file a settings file at `path` names: `path` itself unless it is a link, else the file at
// the end of the links, its folder resolved; nullopt for links that loop or end in a folder that
// doesn't exist.
std::optional<QString> fileNamedBy(const QString& path)
{
    QByteArray at = QFile::encodeName(path);
    bool followed = false;
    // As many links as the kernel follows in one path.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (::lstat(at.constData(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            if (!followed) return path;
            const qsizetype slash = at.lastIndexOf('/');
            const QByteArray folder = slash > 0 ? at.left(slash) : slash == 0 ? "/" : ".";
            char resolved[PATH_MAX];
            if (!::realpath(folder.constData(), resolved) || ::stat(resolved, &status) != 0 ||
                !S_ISDIR(status.st_mode))
                return std::nullopt;
            QString file = QFile::decodeName(resolved);
            if (!file.endsWith(QLatin1Char('/'))) file += QLatin1Char('/');
            return file + QFile::decodeName(at.mid(slash + 1));
        }
        char buffer[PATH_MAX];
        const ssize_t length = ::readlink(at.constData(), buffer, sizeof buffer);
        if (length <= 0 || size_t(length) >= sizeof buffer) return std::nullopt;
        const QByteArray next(buffer, length);
        // A relative link is relative to the folder that holds it.
        at = next.startsWith('/') ? next : at.left(at.lastIndexOf('/') + 1) + next;
        followed = true;
    }
    return std::nullopt;
}

} // namespace

SettingsFile SettingsFile::read(const QString& path)
{
    const std::optional<QString> target = fileNamedBy(path);
    if (!target) return {brokenLink, {}, path};
    const auto result = [&](State state, QJsonObject object = {}) {
        return SettingsFile{state, std::move(object), *target};
    };
    const QByteArray name = QFile::encodeName(*target);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) {
        // A missing folder counts as no file: the write that makes one tells what stands in its
        // way.
        if (errno == ENOENT || errno == ENOTDIR) return result(missing);
        return result(unreadable);
    }
    if (!S_ISREG(status.st_mode)) return result(notRegular);
    // Without waiting, should a pipe have taken the file's place since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return result(unreadable);
    QFile file;
    if (::fstat(fd, &status) != 0 || !file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
        ::close(fd);
        return result(unreadable);
    }
    if (!S_ISREG(status.st_mode)) return result(notRegular);
    // No settings of ours come near the limit; a file beyond it is not read at all.
    if (status.st_size > SettingsTable::maximumFileBytes) return result(damaged);
    const QByteArray bytes = file.read(SettingsTable::maximumFileBytes + 1);
    if (file.error() != QFileDevice::NoError) return result(unreadable);
    if (bytes.size() > SettingsTable::maximumFileBytes) return result(damaged);
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    if (!doc.isObject()) return result(damaged);
    return result(present, doc.object());
}

void setAsideDamagedSettings(const QString& path)
{
    const QString aside = path + ".corrupt";
    QFile::remove(aside);
    if (!QFile::rename(path, aside)) QFile::remove(path);
    qWarning("Settings file %s was damaged; it was set aside as %s", qPrintable(path),
             qPrintable(aside));
}

QStringList mergeNewestFirst(const QStringList& ours, const QStringList& base,
                             const QStringList& theirs, qsizetype limit)
{
    // The items put in front: the shortest head of `ours` after which `ours` keeps base's order.
    // Noting an item puts it first, and dropping one (its file is gone, the list is full) keeps
    // the order of the rest.
    qsizetype head = ours.size();
    qsizetype below = base.size();
    while (head > 0 && below > 0) {
        const qsizetype at = base.lastIndexOf(ours[head - 1], below - 1);
        if (at < 0) break;
        below = at;
        --head;
    }
    QStringList merged;
    const auto add = [&](const QString& item) {
        if (merged.size() < limit && !merged.contains(item)) merged.append(item);
    };
    for (qsizetype i = 0; i < head; ++i)
        add(ours[i]);
    // An item of `base` missing from `ours` was removed here; one missing from `base` was added
    // by the file's other writers.
    for (const QString& item : theirs) {
        if (!base.contains(item) || ours.contains(item)) add(item);
    }
    return merged;
}

} // namespace snapkin::platform
