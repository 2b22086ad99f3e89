#include "history/HistoryThumbnails.h"

#include "model/SnapkinDocument.h"
#include "platform/ImageReader.h"

#include <QDir>
#include <QFileInfo>
#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>

namespace snapkin {

namespace {

// The cache counts in kilobytes, so a limit of many megabytes fits its int.
int costOf(const QImage& image)
{
    return int(std::max<qint64>(1, image.sizeInBytes() / 1024));
}

QImage readPlainFile(const QString& path, qint64 maxPixels)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile()) return {};
    platform::ImageReadLimits limits;
    limits.maxPixels = maxPixels;
    auto image = platform::readImage(path, limits);
    return image ? *image : QImage();
}

} // namespace

HistoryThumbnails::HistoryThumbnails(QObject* parent) : QObject(parent)
{
    m_cache.setMaxCost(int(defaultLimitBytes / 1024));
    m_pool.setMaxThreadCount(maxRunning);
    m_pool.setThreadPriority(QThread::LowPriority);
}

HistoryThumbnails::~HistoryThumbnails()
{
    m_waiting.clear();
    m_pool.waitForDone();
}

void HistoryThumbnails::setLimitBytes(qint64 bytes)
{
    m_cache.setMaxCost(int(std::clamp<qint64>(bytes / 1024, 1, INT_MAX)));
}

qint64 HistoryThumbnails::limitBytes() const
{
    return qint64(m_cache.maxCost()) * 1024;
}

QImage HistoryThumbnails::thumbnail(const QUuid& id, const QDateTime& modified) const
{
    const Item* item = m_cache.object(id);
    if (!item || item->modified != modified) return {};
    return item->image;
}

void HistoryThumbnails::request(const QUuid& id, const QDateTime& modified,
                                const QString& packagePath, QSize box)
{
    if (const Item* item = m_cache.object(id); item && item->modified == modified) return;
    if (m_running.value(id) == modified && m_running.contains(id)) return;
    if (m_failed.contains(id) && m_failed.value(id) == modified) return;
    m_waiting.removeIf([&](const Waiting& w) { return w.id == id; });
    m_waiting.prepend(Waiting{id, modified, packagePath, box});
    if (m_waiting.size() > maxWaiting) m_waiting.resize(maxWaiting);
    startReads();
}

void HistoryThumbnails::startReads()
{
    while (m_running.size() < maxRunning && !m_waiting.isEmpty()) {
        const Waiting next = m_waiting.takeFirst();
        if (m_running.contains(next.id)) continue;
        m_running.insert(next.id, next.modified);
        QFuture<QImage> read = QtConcurrent::run(
            &m_pool, [path = next.packagePath, box = next.box] { return load(path, box); });
        read.then(this, [this, next](QImage image) {
            m_running.remove(next.id);
            const bool failed = image.isNull();
            if (failed) {
                m_failed.insert(next.id, next.modified);
            } else {
                m_failed.remove(next.id);
                const int cost = costOf(image);
                m_cache.insert(next.id, new Item{std::move(image), next.modified}, cost);
            }
            emit thumbnailReady(next.id, failed);
            startReads();
        });
    }
}

void HistoryThumbnails::remove(const QUuid& id)
{
    m_cache.remove(id);
    m_failed.remove(id);
    m_waiting.removeIf([&](const Waiting& w) { return w.id == id; });
}

void HistoryThumbnails::invalidate(const QUuid& id)
{
    remove(id);
    emit thumbnailReady(id, false);
}

void HistoryThumbnails::clear()
{
    m_cache.clear();
    m_failed.clear();
    m_waiting.clear();
}

qint64 HistoryThumbnails::totalBytes() const
{
    qint64 bytes = 0;
    for (const QUuid& id : m_cache.keys())
        bytes += m_cache.object(id)->image.sizeInBytes();
    return bytes;
}

int HistoryThumbnails::count() const
{
    return int(m_cache.count());
}

void HistoryThumbnails::waitForReads()
{
    m_pool.waitForDone();
}

QImage HistoryThumbnails::load(const QString& packagePath, QSize box)
{
    if (box.isEmpty()) return {};
    const QFileInfo package(packagePath);
    if (package.isSymLink() || !package.isDir()) return {};
    const QDir dir(packagePath);
    QImage image = readPlainFile(
        dir.filePath(QString::fromLatin1(SnapkinDocument::previewFolder) + QLatin1Char('/') +
                     QString::fromLatin1(SnapkinDocument::thumbnailEntry)),
        qint64(SnapkinDocument::thumbnailMaxSide) * SnapkinDocument::thumbnailMaxSide);
    if (image.isNull())
        image = readPlainFile(dir.filePath(QString::fromLatin1(SnapkinDocument::imageEntry)),
                              platform::ImageReadLimits{}.maxPixels);
    if (image.isNull()) return {};
    if (image.width() > box.width() || image.height() > box.height())
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(1.0);
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace snapkin
