#pragma once

#include <QCache>
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <QUuid>

namespace snapkin {

// The history's preview images by entry id, small enough to list a thousand entries.
//
// A thumbnail is read from the entry's package (its preview, else its base image), scaled to
// the box asked for on a worker thread and kept here, on the GUI thread, in a cache bounded by
// bytes: the least recently used thumbnails leave first, so a long history costs a fixed
// amount of memory however far the user scrolls. A thumbnail remembers the entry's modification
// time it was made from; an entry edited since is read again.
//
// Requests come in as rows are painted. Only the newest requests are kept waiting (a fast
// scroll leaves the rows it passed behind), and at most two reads run at a time.
class HistoryThumbnails final : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 defaultLimitBytes = 32LL * 1024 * 1024;
    static constexpr int maxWaiting = 48;
    static constexpr int maxRunning = 2;

    explicit HistoryThumbnails(QObject* parent = nullptr);
    ~HistoryThumbnails() override;

    void setLimitBytes(qint64 bytes);
    qint64 limitBytes() const;

    // The thumbnail made from the entry as modified at `modified`; a null image when there is
    // none (yet).
    QImage thumbnail(const QUuid& id, const QDateTime& modified) const;
    // Queues a read of the package at `packagePath` into a thumbnail that fits `box` (device
    // pixels), unless one is cached, running or waiting for this entry already.
    void request(const QUuid& id, const QDateTime& modified, const QString& packagePath, QSize box);
    void remove(const QUuid& id);
    // The entry's package was written again: its thumbnail is read anew when next asked for
    // (a read that raced the write would otherwise keep the old picture).
    void invalidate(const QUuid& id);
    void clear();

    qint64 totalBytes() const;
    int count() const;
    // Waits until every read started so far has ended (tests and benchmarks).
    void waitForReads();

    // The package's preview (or, without one, its base image) scaled to fit `box`, never
    // enlarged; a null image when neither can be read. Links are never followed. Runs on any
    // thread.
    static QImage load(const QString& packagePath, QSize box);

signals:
    // A thumbnail for the entry is now in the cache (or its read failed: `failed`).
    void thumbnailReady(const QUuid& id, bool failed);

private:
    struct Item {
        QImage image;
        QDateTime modified;
    };
    struct Waiting {
        QUuid id;
        QDateTime modified;
        QString packagePath;
        QSize box;
    };

    void startReads();

    QCache<QUuid, Item> m_cache;
    QList<Waiting> m_waiting; // newest first
    QHash<QUuid, QDateTime> m_running;
    QHash<QUuid, QDateTime> m_failed;
    QThreadPool m_pool;
};

} // namespace snapkin
