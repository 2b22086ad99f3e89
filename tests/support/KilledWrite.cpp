#include "support/KilledWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace snapkin::test {

namespace {

bool put(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

bool markAsOurTemporary(const QString& path, platform::StaleTemporaries::Kind kind)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool marked = platform::StaleTemporaries::mark(fd, QFileInfo(path).fileName(), kind);
    ::close(fd);
    return marked;
}

bool leaveKilledFileWrite(const QString& folder, const QString& name, const QByteArray& data)
{
    const QString path = folder + QLatin1Char('/') + name;
    return put(path, data) && markAsOurTemporary(path, platform::StaleTemporaries::Kind::file);
}

bool leaveKilledPackageWrite(const QString& folder, const QString& name)
{
    const QString path = folder + QLatin1Char('/') + name;
    return QDir().mkpath(path + QStringLiteral("/QuickLook")) &&
           put(path + QStringLiteral("/document.json"), "{") &&
           put(path + QStringLiteral("/QuickLook/Thumbnail.png"), "png") &&
           markAsOurTemporary(path, platform::StaleTemporaries::Kind::package);
}

} // namespace snapkin::test
