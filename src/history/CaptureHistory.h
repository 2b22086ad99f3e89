#pragma once

#include "editor/HistoryTracking.h"
#include "history/HistoryEntry.h"
#include "history/HistorySearch.h"
#include "history/HistoryStore.h"
#include "history/HistoryTextLayer.h"
#include "history/HistoryThumbnails.h"
#include "output/FlattenService.h"
#include "platform/SerialQueue.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QThreadPool>
#include <QTimer>
#include <QUuid>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

namespace snapkin {

namespace platform {
class Defaults;
}
struct AnnotationDocument;

// The capture history: the list of entries, newest first, kept in memory for the interface and
// on disk through a HistoryStore. Every disk write runs on the history's own serial queue with
// copies of what it writes, so the list in memory is always complete before its write is
// queued, and a later write always describes a later state.
//
// Recording: while keys::historyEnabled is on, each capture handed to track() or record() becomes
// an entry with its own document package. An editor's later edits are written back one second
// after the last of them; closing the editor or quitting writes a pending change at once. An
// entry open in an editor is never pruned.
//
// Previews: each package holds a small picture of the finished document, drawn on the write
// queue as the package is written. A run that must end at once (SIGTERM) writes its last
// packages without one, as drawing a document can take long; a package without a preview gets
// one in the background after the next start, one package at a time between other writes, until
// the application quits.
//
// Recognition: once a recogniser is installed, every entry without text is recognised in the
// background, newest first, one at a time, on a worker thread of idle priority (SCHED_IDLE: it
// only ever takes a core nobody else wants, and never more than one). Entries left without
// text by an earlier session wait until the application has run for startupRecognitionDelayMs,
// so a start never pays for the session before it. New entries are recognised during the
// session, recognitionDelayMs after their package is written and no editor has them open any
// more. When nothing is left to recognise, the engines and the memory of the recognition are
// given back. An entry whose recognition failed keeps no text and is tried again at the next
// launch.
//
// Everything here is called on the main thread.
class CaptureHistory final : public QObject, public HistoryTracking {
    Q_OBJECT
public:
    // Turns an image into its text: the text (possibly empty when none was found), or none
    // when recognition failed. Runs on a worker thread.
    using Recognizer = std::function<std::optional<QString>(const QImage& image)>;
    // The finished image of a document, for recognition or for its package's preview; none when
    // it cannot be made. Drawing stops early once `cancelled` is set, and what it made is then
    // thrown away. Runs on a worker thread or the write queue.
    using Flattener = std::function<std::optional<QImage>(const FlattenService::Input& input,
                                                          const std::atomic<bool>& cancelled)>;
    using Clock = std::function<QDateTime()>;

    // Retention periods offered, in days; 0 keeps entries for ever.
    static constexpr std::array<int, 5> retentionChoices{7, 30, 90, 365, 0};
    static constexpr qsizetype maxEntries = 1000;
    static constexpr int writeBackDelayMs = 1000;
    static constexpr int recognitionDelayMs = 5'000;
    static constexpr int startupRecognitionDelayMs = 60'000;

    // Registers the history's settings in `defaults` and loads the folder at `directory`;
    // a repaired list is saved back. A folder that is a link or someone else's turns the
    // history off for the life of this object.
    CaptureHistory(const QString& directory, platform::Defaults& defaults,
                   QObject* parent = nullptr);
    ~CaptureHistory() override;

    const QList<HistoryEntry>& entries() const { return m_entries; }
    const HistoryStore& files() const { return m_files; }
    // False when the history folder was refused.
    bool isAvailable() const { return m_available; }
    QString unavailableReason() const override;
    // What "now" is for new entries and their edits (tests set a fixed clock).
    void setClock(Clock clock);

    // ---- recording ---------------------------------------------------------------------------
    void track(AnnotationStore& store, const QString& title, std::optional<QUuid> entryID,
               bool waitForChanges) override;
    void editorWillClose(AnnotationStore& store) override;
    void record(const platform::BaseImage& image, const QString& title) override;
    // Writes every open editor's pending change, then waits until every queued write is done.
    void flushAndDrain();
    // For the application's quit: stops recognising (after the image at hand) and drawing the
    // previews packages lack, then flushAndDrain().
    void finishForQuit();
    // For a run that must end at once (SIGTERM), before finishForQuit(): from now on packages are
    // written without their preview, and whatever is being drawn (a preview, a document to
    // recognise) stops; the next start draws and recognises what is missing. What the entries
    // hold is written as ever.
    void prepareToEndAtOnce();
    // Waits until every write queued so far is done.
    void drain();
    // Calls `then` on the main thread once every write queued so far is done, without
    // waiting; nothing is called when `context` is gone by then.
    void whenWritesDone(QObject* context, std::function<void()> then);

    // ---- retention and removal ---------------------------------------------------------------
    // Removes entries older than keys::historyRetentionDays (0 or less: none by age) and beyond the
    // thousandth, newest first; entries open in an editor stay and still count.
    void pruneExpired(const QDateTime& now);
    void remove(const QList<QUuid>& ids);
    void removeAll();
    // Creates the folder when it is missing and opens it in the file manager.
    void revealFolder();

    // ---- recognised text ---------------------------------------------------------------------
    // Installs the recogniser and starts a pass over the entries without text.
    void setTextRecognizer(Recognizer recognizer);
    // How documents are drawn for recognition (tests replace it).
    void setFlattener(Flattener flattener);
    // How the packages' previews are drawn (tests slow it down); for packages queued from now on.
    void setPreviewFlattener(Flattener flattener);
    // Draws in the background the preview of every entry's package that has none, one package
    // at a time, letting writes queued meanwhile go first; quitting stops it.
    void drawMissingPreviews();
    // How long an editor's edits must pause before they are written back (tests shorten it);
    // a pause under way is measured with the new length from its next edit on.
    void setWriteBackDelay(int milliseconds);
    // How long a new entry waits before it is recognised (tests shorten it); a wait under way
    // is restarted with the new length.
    void setRecognitionDelay(int milliseconds);
    // How long after this object was made recognition may first run (tests shorten it).
    void setStartupRecognitionDelay(int milliseconds);
    // Stores `text`, trimmed, as the entry's recognised text, in memory and on disk. An id
    // that is not in the list changes nothing.
    void setRecognizedText(const QString& text, const QUuid& id);
    // True while entries are being recognised.
    bool isRecognizing() const { return m_recognizing; }

    // ---- search ------------------------------------------------------------------------------
    // The ids, in list order, whose title, date or recognised text holds every word of `query`.
    // `shownDate`, when given, adds the entry's date as the interface shows it ("Yesterday"),
    // which changes with the day and so is not kept in the entry's search line.
    using ShownDate = std::function<QString(const HistoryEntry& entry)>;
    QList<QUuid> search(const QString& query, const ShownDate& shownDate = {});

    // ---- browsing ----------------------------------------------------------------------------
    // Preview images by entry id; a removed entry's thumbnail goes with it.
    HistoryThumbnails& thumbnails() { return m_thumbnails; }
    // The entry with `id`; null when there is none.
    const HistoryEntry* entry(const QUuid& id) const;
    // The store of the open editor that follows the entry; null when none does.
    AnnotationStore* openStore(const QUuid& id) const override;
    std::optional<Entry> entryOfPackage(const QString& path) const override;

signals:
    void willChange();
    void entriesChanged(const QList<HistoryEntry>& entries);
    // Recognition has handled the last entry waiting for it (for tests and the interface).
    void recognitionFinished();
    // A package, a record or the index could not be written (the previous one stays); on the
    // main thread. `message` names the history folder and the reason ("the disk is full.").
    void writeFailed(const QString& message);
    // An entry's recognised text became known or changed (after entriesChanged).
    void recognizedTextChanged(const QUuid& id, const QString& text);

private:
    struct Tracker;
    struct PackageImageCache;
    struct SearchLine {
        historySearch::Key key;
        QString text;
    };

    QSet<QUuid> openEntryIDs() const;
    void setEntries(QList<HistoryEntry> entries);
    void insert(const HistoryEntry& entry);
    void saveIndex();
    // Writes the index of `entries` that have their package on disk; on the write queue.
    void saveIndexOn(const HistoryStore& files, const QList<HistoryEntry>& entries);
    // Passes a failed write of about `bytes` bytes on as writeFailed(); callable from the write
    // queue.
    void reportFailure(const std::expected<void, HistoryStore::Error>& written, qint64 bytes = 0);
    bool historyEnabled() const;
    HistoryEntry newEntry(const platform::BaseImage& image, const QString& title) const;

    void storeChanged(Tracker& tracker);
    void startEntry(Tracker& tracker);
    void writeBack(Tracker& tracker);
    void queuePackage(const AnnotationDocument& document, const platform::BaseImage& image,
                      const HistoryEntry& entry, std::shared_ptr<PackageImageCache> cache);

    void drawNextMissingPreview();
    // Called by the write queue when it has looked at an entry's package.
    Q_INVOKABLE void missingPreviewLookedAt(const QUuid& id, bool drawn);

    void recognizeMissing();
    void recognizeWhenWritten(const QUuid& id);
    void queueRecognition(const QUuid& id);
    void startRecognizing();
    void recognizeNext(quint64 pass);

    QList<HistoryEntry> m_entries;
    HistoryStore m_files;
    platform::Defaults& m_defaults;
    bool m_available = true;
    Clock m_clock;
    std::unordered_map<const QObject*, std::unique_ptr<Tracker>> m_trackers;
    QHash<QUuid, SearchLine> m_searchCache;
    HistoryThumbnails m_thumbnails;
    Recognizer m_recognizer;
    Flattener m_flattener;
    Flattener m_previewFlattener;
    // Read by the write queue's and recognition's tasks: the run must end at once, so nothing
    // more is drawn (prepareToEndAtOnce), and missing previews are no longer drawn (either way
    // of quitting).
    std::atomic<bool> m_endingAtOnce{false};
    std::atomic<bool> m_previewRepairStopped{false};
    // The entries whose packages are still to be looked at for a missing preview, and whether
    // one is being looked at.
    QList<QUuid> m_previewsToLookAt;
    bool m_lookingAtPreview = false;
    // Raised to stop recognising: a task still running finishes, and nothing follows it.
    quint64 m_pass = 0;
    bool m_recognizing = false;
    QList<QUuid> m_recognitionQueue;
    std::optional<QUuid> m_recognizingID;
    QSet<QUuid> m_recognitionFailed;
    QTimer m_recognitionDelay;
    QElapsedTimer m_sinceCreated;
    int m_startupDelay = startupRecognitionDelayMs;
    int m_writeBackDelay = writeBackDelayMs;
    QTimer m_startupHold;
    QThreadPool m_recognitionPool;
    // Last, so it is drained and stopped before anything its tasks were given goes away.
    std::unique_ptr<platform::SerialQueue> m_queue;
};

// Prunes `history`, starts recognising text, draws the previews packages lack and writes every
// pending change when the application quits. Call once at start-up, after the QApplication
// exists.
void startHistoryUpkeep(CaptureHistory& history);

// The recogniser the application installs: the text lines of the image, then the payload of
// every barcode in it, one per line; none when recognition fails.
CaptureHistory::Recognizer historyTextRecognizer();

} // namespace snapkin
