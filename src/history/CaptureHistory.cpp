#include "history/CaptureHistory.h"

#include "history/HistoryTracker.h"
#include "platform/AtomicWrite.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/Observable.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

namespace snapkin {

namespace {

std::optional<QImage> flatten(const FlattenService::Input& input,
                              const std::atomic<bool>& cancelled)
{
    auto flattened = FlattenService::flatten(input, &cancelled);
    if (!flattened) return std::nullopt;
    return *flattened;
}

} // namespace

CaptureHistory::CaptureHistory(const QString& directory, platform::Defaults& defaults,
                               QObject* parent)
    : QObject(parent), m_files(directory), m_defaults(defaults),
      m_clock([] { return QDateTime::currentDateTimeUtc(); }), m_flattener(flatten),
      m_previewFlattener(flatten),
      m_queue(std::make_unique<platform::SerialQueue>(QStringLiteral("snapkin-history")))
{
    // One recognition at a time, only when the processor has nothing better to do.
    m_recognitionPool.setMaxThreadCount(1);
    m_recognitionPool.setThreadPriority(QThread::IdlePriority);
    m_recognitionDelay.setSingleShot(true);
    m_recognitionDelay.setInterval(recognitionDelayMs);
    connect(&m_recognitionDelay, &QTimer::timeout, this, &CaptureHistory::startRecognizing);
    m_sinceCreated.start();
    m_startupHold.setSingleShot(true);
    connect(&m_startupHold, &QTimer::timeout, this, &CaptureHistory::startRecognizing);

    m_defaults.registerDefault(keys::historyEnabled);
    m_defaults.registerDefault(keys::historyRetentionDays);

    if (m_files.folderState() == HistoryStore::FolderState::unsafe) {
        m_available = false;
        qWarning("The history folder %s is a link, not a folder or not yours: the history is "
                 "off until it is removed.",
                 qPrintable(m_files.directory()));
        return;
    }
    auto loaded = m_files.load(m_clock());
    m_entries = std::move(loaded.entries);
    if (loaded.repaired) saveIndex();
}

CaptureHistory::~CaptureHistory()
{
    ++m_pass; // a running pass stops at its next step
    m_recognitionDelay.stop();
    m_startupHold.stop();
    m_trackers.clear();
    m_queue.reset(); // drains
    m_recognitionPool.waitForDone();
}

void CaptureHistory::reportFailure(const std::expected<void, HistoryStore::Error>& written,
                                   qint64 bytes)
{
    if (written) return;
    // Called on the write queue, which is drained before this object goes away. The folder is
    // named with what stood in the way, as an automatic save's alert does; told now, while the
    // disk is as the write found it.
    // A folder still to be made is told by the nearest one that is there, where it was to go.
    QString folder = m_files.directory();
    while (!QFileInfo::exists(folder) && QFileInfo(folder).absolutePath() != folder)
        folder = QFileInfo(folder).absolutePath();
    const HistoryStore::Error error = written.error();
    const QString reason =
        error == HistoryStore::Error::outOfMemory
            ? platform::L10n::text("there isn't enough memory.")
            : platform::writeFailureReason(folder,
                                           error == HistoryStore::Error::cannotCreate
                                               ? platform::WriteError::cannotCreate
                                               : platform::WriteError::writeFailed,
                                           bytes);
    const QString message = error == HistoryStore::Error::unsafeFolder
                                ? HistoryStore::userMessage(error)
                                : platform::L10n::format("Snapkin couldn't write to “%@”: %@",
                                                         QDir::toNativeSeparators(folder), reason);
    QMetaObject::invokeMethod(
        this, [this, message] { emit writeFailed(message); }, Qt::QueuedConnection);
}

QString CaptureHistory::unavailableReason() const
{
    return m_available ? QString() : HistoryStore::userMessage(HistoryStore::Error::unsafeFolder);
}

void CaptureHistory::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

void CaptureHistory::setEntries(QList<HistoryEntry> entries)
{
    platform::publish(this, m_entries, std::move(entries), &CaptureHistory::entriesChanged);
}

void CaptureHistory::insert(const HistoryEntry& entry)
{
    QList<HistoryEntry> entries = m_entries;
    const auto at = std::find_if(entries.begin(), entries.end(), [&](const HistoryEntry& e) {
        return HistoryStore::precedes(entry, e);
    });
    entries.insert(at, entry);
    setEntries(std::move(entries));
}

void CaptureHistory::saveIndex()
{
    if (!m_available) return;
    m_queue->async([this, files = m_files, entries = m_entries] { saveIndexOn(files, entries); });
}

void CaptureHistory::saveIndexOn(const HistoryStore& files, const QList<HistoryEntry>& entries)
{
    // An entry whose package is not on disk (its first write is still to come, or failed) is
    // left out: the index never names a package that was not written.
    reportFailure(files.save(files.withPackages(entries)));
}

void CaptureHistory::drain()
{
    m_queue->drain();
}

void CaptureHistory::whenWritesDone(QObject* context, std::function<void()> then)
{
    // The call is posted to this object, which drains the queue before it goes away, so the
    // worker never posts to a destroyed object; the context is checked on the main thread.
    m_queue->async([this, guard = QPointer<QObject>(context), then = std::move(then)] {
        QMetaObject::invokeMethod(
            this,
            [guard, then] {
                if (guard) then();
            },
            Qt::QueuedConnection);
    });
}

void CaptureHistory::flushAndDrain()
{
    for (auto& [key, tracker] : m_trackers)
        writeBack(*tracker);
    drain();
}

void CaptureHistory::prepareToEndAtOnce()
{
    m_endingAtOnce = true;
    m_previewRepairStopped = true;
}

void CaptureHistory::finishForQuit()
{
    m_previewRepairStopped = true;
    ++m_pass;
    m_recognitionDelay.stop();
    m_startupHold.stop();
    flushAndDrain();
    m_recognitionPool.waitForDone();
}

QSet<QUuid> CaptureHistory::openEntryIDs() const
{
    QSet<QUuid> ids;
    for (const auto& [key, tracker] : m_trackers) {
        if (tracker->store && tracker->entryID) ids.insert(*tracker->entryID);
    }
    return ids;
}

void CaptureHistory::pruneExpired(const QDateTime& now)
{
    const qint64 days = m_defaults.get(keys::historyRetentionDays);
    const double limit = double(days) * 86400.0;
    const QSet<QUuid> open = openEntryIDs();
    const QList<HistoryEntry> ordered = HistoryStore::sorted(m_entries);

    QList<QUuid> expired;
    for (qsizetype position = 0; position < ordered.size(); ++position) {
        const HistoryEntry& entry = ordered[position];
        // An entry open in an editor stays, yet still takes its place in the count.
        if (open.contains(entry.id)) continue;
        bool expire = position >= maxEntries;
        if (days > 0) {
            const double age = double(entry.created.msecsTo(now)) / 1000.0;
            expire = expire || age > limit;
        }
        if (expire) expired.append(entry.id);
    }
    if (!expired.isEmpty()) remove(expired);
}

void CaptureHistory::remove(const QList<QUuid>& ids)
{
    const QSet<QUuid> removing(ids.begin(), ids.end());
    QList<HistoryEntry> kept = m_entries;
    kept.removeIf([&](const HistoryEntry& entry) { return removing.contains(entry.id); });
    setEntries(std::move(kept));

    for (const QUuid& id : ids) {
        m_thumbnails.remove(id);
        m_searchCache.remove(id);
    }
    std::erase_if(m_trackers, [&](const auto& item) {
        const auto& entryID = item.second->entryID;
        return entryID && removing.contains(*entryID);
    });

    if (!m_available) return;
    // Queued even when nothing was removed: the index is rewritten either way.
    m_queue->async([this, files = m_files, ids, entries = m_entries] {
        files.remove(ids);
        saveIndexOn(files, entries);
    });
}

void CaptureHistory::removeAll()
{
    QList<QUuid> ids;
    ids.reserve(m_entries.size());
    for (const HistoryEntry& entry : std::as_const(m_entries))
        ids.append(entry.id);
    remove(ids);
}

void CaptureHistory::revealFolder()
{
    if (m_available) (void)m_files.prepareFolder();
    QDesktopServices::openUrl(QUrl::fromLocalFile(m_files.directory()));
}

const HistoryEntry* CaptureHistory::entry(const QUuid& id) const
{
    const auto found = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                    [&](const HistoryEntry& e) { return e.id == id; });
    return found == m_entries.cend() ? nullptr : &*found;
}

AnnotationStore* CaptureHistory::openStore(const QUuid& id) const
{
    for (const auto& [key, tracker] : m_trackers) {
        if (tracker->store && tracker->entryID == id) return tracker->store.data();
    }
    return nullptr;
}

std::optional<HistoryTracking::Entry> CaptureHistory::entryOfPackage(const QString& path) const
{
    if (!m_available || path.isEmpty()) return std::nullopt;
    // Compared through the folders' real paths: the data folder may be reached through a link.
    const QFileInfo package(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const QString folder = QFileInfo(package.absolutePath()).canonicalFilePath();
    if (folder.isEmpty() || folder != QFileInfo(m_files.directory()).canonicalFilePath())
        return std::nullopt;
    for (const HistoryEntry& e : m_entries) {
        if (QFileInfo(m_files.packagePath(e.id)).fileName() == package.fileName())
            return Entry{e.id, e.title};
    }
    return std::nullopt;
}

QList<QUuid> CaptureHistory::search(const QString& query, const ShownDate& shownDate)
{
    const QStringList words = historySearch::queryWords(query);
    QList<QUuid> found;
    QString shownFor;
    QString shownFolded;
    for (const HistoryEntry& entry : std::as_const(m_entries)) {
        historySearch::Key key = historySearch::keyOf(entry);
        auto line = m_searchCache.find(entry.id);
        if (line == m_searchCache.end() || line->key != key) {
            QString text = historySearch::line(key);
            line = m_searchCache.insert(entry.id, SearchLine{std::move(key), std::move(text)});
        }
        // Entries come grouped by day, so the folded date text changes rarely.
        const QString shown = shownDate ? shownDate(entry) : QString();
        if (shown != shownFor) {
            shownFor = shown;
            shownFolded = historySearch::folded(shown);
        }
        const bool all = std::all_of(words.cbegin(), words.cend(), [&](const QString& word) {
            return line->text.contains(word) || shownFolded.contains(word);
        });
        if (all) found.append(entry.id);
    }
    return found;
}

void startHistoryUpkeep(CaptureHistory& history)
{
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &history,
                     [&history] { history.finishForQuit(); });
    // Pruned before recognition starts, so no time goes into entries about to leave.
    history.pruneExpired(QDateTime::currentDateTimeUtc());
    history.drawMissingPreviews();
    history.setTextRecognizer(historyTextRecognizer());
}

} // namespace snapkin
