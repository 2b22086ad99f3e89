#include "platform/SettingsFile.h"

#include "platform/SettingsTable.h"

#include <QFile>
#include <QJsonDocument>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace snapkin::platform {

SettingsFile SettingsFile::read(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) {
        // A link to nothing counts as no file, as a missing folder does: the write that makes
        // one tells what stands in its way.
        if (errno == ENOENT || errno == ENOTDIR) return {};
        return {unreadable, {}};
    }
    if (!S_ISREG(status.st_mode)) return {notRegular, {}};
    // Without waiting, should a pipe have taken the file's place since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {unreadable, {}};
    QFile file;
    if (::fstat(fd, &status) != 0 || !file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
        ::close(fd);
        return {unreadable, {}};
    }
    if (!S_ISREG(status.st_mode)) return {notRegular, {}};
    // No settings of ours come near the limit; a file beyond it is not read at all.
    if (status.st_size > SettingsTable::maximumFileBytes) return {damaged, {}};
    const QByteArray bytes = file.read(SettingsTable::maximumFileBytes + 1);
    if (file.error() != QFileDevice::NoError) return {unreadable, {}};
    if (bytes.size() > SettingsTable::maximumFileBytes) return {damaged, {}};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    if (!doc.isObject()) return {damaged, {}};
    return {present, doc.object()};
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
