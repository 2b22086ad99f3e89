#include "platform/AtomicWrite.h"

#include "platform/L10n.h"
#include "platform/OwnWrites.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <unistd.h>
#include <fcntl.h>
#include <stdio.h>

namespace snapkin::platform {

QString userMessage(WriteError error)
{
    switch (error) {
    case WriteError::cannotCreate:
        return L10n::text("The file couldn't be created. Check that the folder exists and that you have permission to write to it.");
    case WriteError::writeFailed:
        return L10n::text("The file couldn't be written. The disk may be full.");
    case WriteError::cannotReplace:
        return L10n::text("The finished file couldn't be moved into place. The previous version was kept.");
    }
    return {};
}

QString describeWriteFailure(const QString& path, WriteError error)
{
    const QFileInfo info(path);
    const QString name = QDir::toNativeSeparators(path);
    if (info.isDir()) return L10n::format("\"%@\" is a folder.", name);
    // The nearest part of the path that exists tells a missing folder from a file in the way.
    QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir()) {
        QString existing = folder;
        while (!QFileInfo::exists(existing) && QFileInfo(existing).absolutePath() != existing)
            existing = QFileInfo(existing).absolutePath();
        if (QFileInfo(existing).isDir())
            return L10n::format("The folder \"%@\" doesn't exist.", QDir::toNativeSeparators(folder));
        return L10n::format("\"%@\" is a file, not a folder.", QDir::toNativeSeparators(existing));
    }
    const QByteArray folderBytes = QFile::encodeName(folder);
    if (::access(folderBytes.constData(), W_OK) != 0) {
        if (errno == EROFS)
            return L10n::format("The folder \"%@\" is on a read-only disk.", QDir::toNativeSeparators(folder));
        return L10n::format("You don't have permission to write to the folder \"%@\".",
                            QDir::toNativeSeparators(folder));
    }
    if (info.exists() && !info.isWritable())
        return L10n::format("You don't have permission to replace \"%@\".", name);
    return L10n::format("\"%@\": %@", name, userMessage(error));
}

std::expected<void, WriteError> writeFileAtomically(const QString& path, const QByteArray& data)
{
    // Registered before the rename makes it appear, so a folder watcher never takes it for a
    // stranger's file.
    OwnWrites::shared().add(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return std::unexpected(WriteError::cannotCreate);
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return std::unexpected(WriteError::writeFailed);
    }
    if (!file.commit()) return std::unexpected(WriteError::cannotReplace);
    return {};
}

std::expected<void, WriteError> writeFolderAtomically(
    const QString& path, const std::function<bool(const QString& tempFolder)>& fill)
{
    const QFileInfo target(path);
    const QString parent = target.absolutePath();
    const QString stamp = QUuid::createUuid().toString(QUuid::Id128).left(12);
    const QString temp = parent + "/." + target.fileName() + ".tmp-" + stamp;
    if (!QDir().mkpath(parent) || !QDir().mkdir(temp)) return std::unexpected(WriteError::cannotCreate);

    const auto discard = [](const QString& folder) { QDir(folder).removeRecursively(); };
    if (!fill(temp)) {
        discard(temp);
        return std::unexpected(WriteError::writeFailed);
    }

    OwnWrites::shared().add(target.absoluteFilePath());
    const QByteArray from = QFile::encodeName(temp);
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    if (!target.exists() && !target.isSymLink()) {
        if (::rename(from.constData(), to.constData()) != 0) {
            discard(temp);
            return std::unexpected(WriteError::cannotReplace);
        }
        return {};
    }
    // Swap the finished folder and the old one in one step, then remove the old one.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
        QFileInfo old(temp);
        if (old.isDir() && !old.isSymLink()) discard(temp);
        else QFile::remove(temp);
        return {};
    }
    // The file system cannot exchange: move the old one aside, put the new one in, and put the
    // old one back if that fails.
    const QString aside = parent + "/." + target.fileName() + ".old-" + stamp;
    const QByteArray asideName = QFile::encodeName(aside);
    if (::rename(to.constData(), asideName.constData()) != 0) {
        discard(temp);
        return std::unexpected(WriteError::cannotReplace);
    }
    if (::rename(from.constData(), to.constData()) != 0) {
        ::rename(asideName.constData(), to.constData());
        discard(temp);
        return std::unexpected(WriteError::cannotReplace);
    }
    if (QFileInfo(aside).isDir()) discard(aside);
    else QFile::remove(aside);
    return {};
}

} // namespace snapkin::platform
