// Recording captures into the history and following their editors.
#include "history/CaptureHistory.h"

#include "history/HistoryTracker.h"
#include "model/AnnotationDocument.h"
#include "model/SnapkinDocument.h"
#include "platform/AtomicWrite.h"
#include "platform/Defaults.h"

#include <QFile>

#include <cerrno>
#include <new>
#include <sys/stat.h>

namespace snapkin {

namespace {

// The document as the package writer stores it for an image with the given marks.
AnnotationDocument documentOf(const platform::BaseImage& image,
                              const QList<Annotation>& annotations, qint64 nextStampNumber,
                              const std::optional<FrameStyle>& frame,
                              const std::optional<Watermark>& watermark)
{
    AnnotationDocument document;
    document.version = AnnotationDocument::currentVersion;
    document.canvasSize = image.pointSize();
    document.annotations = annotations;
    document.nextStampNumber = nextStampNumber;
    document.pixelSize = QSizeF(image.pixelSize());
    document.generator = SnapkinDocument::generator();
    document.frame = frame;
    document.watermark = watermark;
    return document;
}

AnnotationDocument documentOf(const AnnotationStore& store)
{
    return documentOf(store.image(), store.annotations(), store.nextStampNumber(), store.frame(),
                      store.watermark());
}

// Draws the preview of the package at `path` into it when the package has none; true when one
// was written. Nothing is done for a package that has one, or that is not a real folder, or
// when the drawing fails or is stopped. Links are never followed.
bool drawMissingPreview(const QString& path, const CaptureHistory::Flattener& draw,
                        const std::atomic<bool>& stop)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    const QString folder = path + QLatin1Char('/') + QLatin1String(SnapkinDocument::previewFolder);
    const QString file = folder + QLatin1Char('/') + QLatin1String(SnapkinDocument::thumbnailEntry);
    if (::lstat(QFile::encodeName(file).constData(), &st) == 0 || errno != ENOENT) return false;
    auto contents = SnapkinDocument::read(path);
    if (!contents) return false;
    const auto flattened = draw(FlattenService::input(contents->document, contents->image), stop);
    if (!flattened || stop) return false;
    const auto png = SnapkinDocument::thumbnailPNG(*flattened);
    if (!png) return false;
    const QByteArray folderName = QFile::encodeName(folder);
    if (::lstat(folderName.constData(), &st) != 0) {
        if (::mkdir(folderName.constData(), 0700) != 0) return false;
    } else if (!S_ISDIR(st.st_mode)) {
        return false;
    }
    return platform::writeFileAtomically(file, *png, platform::FileAccess::userOnly).has_value();
}

} // namespace

bool CaptureHistory::historyEnabled() const
{
    return m_defaults.get(keys::historyEnabled);
}

HistoryEntry CaptureHistory::newEntry(const platform::BaseImage& image, const QString& title) const
{
    HistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.title = title;
    entry.created = m_clock();
    entry.modified = entry.created;
    entry.pixelWidth = image.pixelSize().width();
    entry.pixelHeight = image.pixelSize().height();
    return entry;
}

void CaptureHistory::track(AnnotationStore& store, const QString& title,
                           std::optional<QUuid> entryID, bool waitForChanges)
{
    if (!m_available) return;
    if (!entryID && !historyEnabled()) return;

    auto tracker = std::make_unique<Tracker>();
    Tracker* t = tracker.get();
    t->store = &store;
    t->title = title;
    t->entryID = entryID;
    t->textLayer = HistoryTextLayer::of(store.annotations(), store.watermark());
    t->writeBackTimer.setSingleShot(true);
    t->writeBackTimer.setInterval(m_writeBackDelay);
    connect(&t->writeBackTimer, &QTimer::timeout, this, [this, t] { writeBack(*t); });

    // Every change of the document's content; the signals come before the value is stored,
    // and the write-back reads the store later.
    const auto changed = [this, t] { storeChanged(*t); };
    t->connections = {
        connect(&store, &AnnotationStore::annotationsChanged, this, changed),
        connect(&store, &AnnotationStore::imageChanged, this, changed),
        connect(&store, &AnnotationStore::nextStampNumberChanged, this, changed),
        connect(&store, &AnnotationStore::frameChanged, this, changed),
        connect(&store, &AnnotationStore::watermarkChanged, this, changed),
    };
    const QObject* key = &store;
    t->connections.append(
        connect(&store, &QObject::destroyed, this, [this, key] { m_trackers.erase(key); }));

    // Replacing a tracker of the same store releases it and its connections.
    m_trackers[key] = std::move(tracker);

    if (entryID) return;
    if (waitForChanges)
        t->waitingForFirstEdit = true;
    else
        startEntry(*t);
}

void CaptureHistory::startEntry(Tracker& tracker)
{
    const HistoryEntry entry = newEntry(tracker.store->image(), tracker.title);
    tracker.entryID = entry.id;
    insert(entry);
    queuePackage(documentOf(*tracker.store), tracker.store->image(), entry, tracker.imageCache);
}

void CaptureHistory::setWriteBackDelay(int milliseconds)
{
    m_writeBackDelay = milliseconds;
    for (const auto& [store, tracker] : m_trackers)
        tracker->writeBackTimer.setInterval(milliseconds);
}

void CaptureHistory::storeChanged(Tracker& tracker)
{
    if (tracker.waitingForFirstEdit) {
        if (!historyEnabled() || !tracker.store) return;
        // The entry exists from the first edit on; its package is written with the others,
        // once the edits pause.
        tracker.waitingForFirstEdit = false;
        const HistoryEntry entry = newEntry(tracker.store->image(), tracker.title);
        tracker.entryID = entry.id;
        insert(entry);
    }
    tracker.dirty = true;
    tracker.writeBackTimer.start();
}

void CaptureHistory::writeBack(Tracker& tracker)
{
    tracker.writeBackTimer.stop();
    if (!tracker.dirty || !tracker.store || !tracker.entryID) return;
    tracker.dirty = false;

    const HistoryEntry* current = entry(*tracker.entryID);
    if (!current) return; // removed meanwhile
    const qsizetype index = current - m_entries.constData();

    const AnnotationStore& store = *tracker.store;
    QList<HistoryEntry> entries = m_entries;
    HistoryEntry& entry = entries[index];
    entry.modified = m_clock();
    entry.pixelWidth = store.image().pixelSize().width();
    entry.pixelHeight = store.image().pixelSize().height();
    const HistoryEntry updated = entry;
    setEntries(std::move(entries));
    queuePackage(documentOf(store), store.image(), updated, tracker.imageCache);
}

void CaptureHistory::editorWillClose(AnnotationStore& store)
{
    const auto found = m_trackers.find(&store);
    if (found == m_trackers.end()) return;
    writeBack(*found->second);
    const std::optional<QUuid> id = found->second->entryID;
    m_trackers.erase(found);
    // Read once the editor is done with it, so the text is that of the document as left.
    if (id) recognizeWhenWritten(*id);
}

void CaptureHistory::record(const platform::BaseImage& image, const QString& title)
{
    if (!m_available || !historyEnabled() || image.isNull()) return;
    const HistoryEntry entry = newEntry(image, title);
    insert(entry);
    queuePackage(documentOf(image, {}, 1, std::nullopt, std::nullopt), image, entry,
                 std::make_shared<PackageImageCache>());
    recognizeWhenWritten(entry.id);
}

void CaptureHistory::queuePackage(const AnnotationDocument& document,
                                  const platform::BaseImage& image, const HistoryEntry& entry,
                                  std::shared_ptr<PackageImageCache> cache)
{
    if (!m_available) return;
    // Everything the task needs is copied now; the pixels are shared, never copied.
    m_queue->async([this, files = m_files, entries = m_entries, document, image, entry,
                    cache = std::move(cache), drawPreview = m_previewFlattener] {
        // The folder is made private before the package writer could make it otherwise.
        if (auto prepared = files.prepareFolder(); !prepared) {
            reportFailure(prepared);
            return;
        }
        // A package that could not be made or written is told, and the one on disk, if any,
        // stays; the next write of the entry (its next edit) tries again. Memory that runs out
        // is told like any failed write, never taken down the queue unheard.
        try {
            if (cache->serial != image.serial() || cache->png.isEmpty()) {
                auto png = SnapkinDocument::pngData(image);
                cache->png = png.value_or(QByteArray());
                cache->serial = image.serial();
            }
            if (!cache->png.isEmpty()) {
                // Without a preview when the run must end: drawing may take long, and the next
                // start draws it. A drawing stopped half way is not kept.
                std::optional<QByteArray> thumbnail;
                if (!m_endingAtOnce) {
                    const auto flattened =
                        drawPreview(FlattenService::input(document, image), m_endingAtOnce);
                    if (flattened && !m_endingAtOnce)
                        thumbnail = SnapkinDocument::thumbnailPNG(*flattened);
                }
                auto package = SnapkinDocument::wrapper(document, cache->png, std::move(thumbnail));
                // The package replaces the old one whole, so its record is written again after
                // it.
                if (!package)
                    reportFailure(std::unexpected(HistoryStore::Error::writeFailed));
                else if (SnapkinDocument::write(*package, files.packagePath(entry.id),
                                                platform::FileAccess::userOnly))
                    reportFailure(files.writeEntry(entry));
                else
                    reportFailure(std::unexpected(HistoryStore::Error::writeFailed),
                                  cache->png.size());
            } else if (!image.isNull()) {
                // The encoder gives nothing for pixels it has only when memory runs out.
                reportFailure(std::unexpected(HistoryStore::Error::outOfMemory));
            }
        } catch (const std::bad_alloc&) {
            reportFailure(std::unexpected(HistoryStore::Error::outOfMemory));
        }
        // Saved last, so the index never names a package that was not written.
        saveIndexOn(files, entries);
    });
    whenWritesDone(this, [this, id = entry.id] { m_thumbnails.invalidate(id); });
}

void CaptureHistory::setPreviewFlattener(Flattener flattener)
{
    m_previewFlattener = std::move(flattener);
}

void CaptureHistory::drawMissingPreviews()
{
    if (!m_available) return;
    m_previewsToLookAt.clear();
    for (const HistoryEntry& entry : std::as_const(m_entries))
        m_previewsToLookAt.append(entry.id);
    if (!m_lookingAtPreview) drawNextMissingPreview();
}

void CaptureHistory::drawNextMissingPreview()
{
    if (m_previewsToLookAt.isEmpty() || m_previewRepairStopped) return;
    m_lookingAtPreview = true;
    const QUuid id = m_previewsToLookAt.takeFirst();
    m_queue->async([this, id, path = m_files.packagePath(id), draw = m_previewFlattener] {
        const bool drawn = drawMissingPreview(path, draw, m_previewRepairStopped);
        // Posted to this object, which drains the queue before it goes away.
        QMetaObject::invokeMethod(this, "missingPreviewLookedAt", Qt::QueuedConnection,
                                  Q_ARG(QUuid, id), Q_ARG(bool, drawn));
    });
}

void CaptureHistory::missingPreviewLookedAt(const QUuid& id, bool drawn)
{
    m_lookingAtPreview = false;
    if (drawn) m_thumbnails.invalidate(id);
    // The next package is queued now, behind the writes queued meanwhile.
    drawNextMissingPreview();
}

} // namespace snapkin
