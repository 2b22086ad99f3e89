#include "platform/OwnWrites.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

namespace snapkin::platform {

OwnWrites& OwnWrites::shared()
{
    static OwnWrites instance;
    return instance;
}

QString OwnWrites::key(const QString& path)
{
    if (path.isEmpty()) return {};
    const QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty()) return info.absoluteFilePath();
    return QDir(folder).filePath(info.fileName());
}

void OwnWrites::add(const QString& path)
{
    const QString k = key(path);
    if (k.isEmpty()) return;
    QMutexLocker lock(&m_mutex);
    m_paths.insert(k);
}

bool OwnWrites::contains(const QString& path) const
{
    const QString k = key(path);
    QMutexLocker lock(&m_mutex);
    return m_paths.contains(k);
}

bool OwnWrites::take(const QString& path)
{
    const QString k = key(path);
    QMutexLocker lock(&m_mutex);
    return m_paths.remove(k);
}

void OwnWrites::clear()
{
    QMutexLocker lock(&m_mutex);
    m_paths.clear();
}

} // namespace snapkin::platform
