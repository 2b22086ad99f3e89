// Recognising the text of history entries in the background.
#include "history/CaptureHistory.h"

#include "model/SnapkinDocument.h"
#include "platform/MemoryRelease.h"
#include "platform/TextEngineCache.h"
#include "recognition/TextRecognizer.h"

#include <QtConcurrent/QtConcurrentRun>

namespace snapkin {

namespace {

// The text of one package, on a worker thread: the base image when nothing on it hides or adds
// text, else the document flattened without its frame. None when the package cannot be read
// or flattened, or recognition fails, or `stop` is set before the text is read.
std::optional<QString> recognizePackage(const QString& path,
                                        const CaptureHistory::Recognizer& recognizer,
                                        const CaptureHistory::Flattener& flattener,
                                        const std::atomic<bool>& stop)
{
    auto contents = SnapkinDocument::read(path);
    if (!contents) return std::nullopt;
    const AnnotationDocument& document = contents->document;
    QImage image;
    if (HistoryTextLayer::of(document.annotations, document.watermark).isEmpty()) {
        image = contents->image.image();
    } else {
        const FlattenService::Input input{contents->image, document.annotations, std::nullopt,
                                          document.watermark};
        auto flattened = flattener ? flattener(input, stop) : std::nullopt;
        if (!flattened) return std::nullopt;
        image = std::move(*flattened);
    }
    if (image.isNull() || stop) return std::nullopt;
    try {
        return recognizer(image);
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

void CaptureHistory::setTextRecognizer(Recognizer recognizer)
{
    m_recognizer = std::move(recognizer);
    recognizeMissing();
}

void CaptureHistory::setFlattener(Flattener flattener)
{
    m_flattener = std::move(flattener);
}

void CaptureHistory::recognizeMissing()
{
    if (!m_recognizer || !m_available) return;
    for (const HistoryEntry& entry : std::as_const(m_entries)) {
        if (!entry.recognizedText) queueRecognition(entry.id);
    }
    if (m_recognizing) return;
    if (m_recognitionQueue.isEmpty()) {
        emit recognitionFinished();
        return;
    }
    startRecognizing();
}

void CaptureHistory::setRecognitionDelay(int milliseconds)
{
    m_recognitionDelay.setInterval(milliseconds);
    if (m_recognitionDelay.isActive()) m_recognitionDelay.start();
}

void CaptureHistory::setStartupRecognitionDelay(int milliseconds)
{
    m_startupDelay = milliseconds;
    if (m_startupHold.isActive()) startRecognizing();
}

void CaptureHistory::recognizeWhenWritten(const QUuid& id)
{
    if (!m_recognizer || !m_available) return;
    // Its package is read from disk: the write queued before this is awaited. Each new entry
    // waits the delay from its own writing, not from the last capture's: a long series of
    // captures does not pile up work for later (or for the next start, when the user quits).
    whenWritesDone(this, [this, id] {
        queueRecognition(id);
        if (!m_recognitionDelay.isActive() && !m_recognizing) m_recognitionDelay.start();
    });
}

void CaptureHistory::startRecognizing()
{
    if (m_recognizing || m_recognitionQueue.isEmpty()) return;
    // Not while the application is starting: the user is waiting on it, and what an earlier
    // session left can wait a minute more.
    const qint64 held = m_startupDelay - m_sinceCreated.elapsed();
    if (held > 0) {
        m_startupHold.start(int(held));
        return;
    }
    m_startupHold.stop();
    m_recognizing = true;
    recognizeNext(m_pass);
}

void CaptureHistory::queueRecognition(const QUuid& id)
{
    // An entry whose recognition failed in this session waits for the next launch.
    if (m_recognitionQueue.contains(id) || m_recognitionFailed.contains(id) ||
        m_recognizingID == id)
        return;
    m_recognitionQueue.append(id);
}

void CaptureHistory::recognizeNext(quint64 pass)
{
    if (pass != m_pass) return;
    // Entries removed, or given text, since they were queued are passed over.
    std::optional<QUuid> next;
    while (!next && !m_recognitionQueue.isEmpty()) {
        const QUuid id = m_recognitionQueue.takeFirst();
        if (const HistoryEntry* queued = entry(id); queued && !queued->recognizedText) next = id;
    }
    if (!next) {
        m_recognizing = false;
        // The images, flattened copies and buffers of the recognition are gone, and so are the
        // engines, which would otherwise hold their models for a minute more.
        platform::TextEngineCache::shared().releaseIdle();
        platform::MemoryRelease::releaseSoon();
        emit recognitionFinished();
        return;
    }
    const QUuid id = *next;
    m_recognizingID = id;
    const QString path = m_files.packagePath(id);
    // The task reads the flag of this object, which waits for its pool before it goes away.
    auto future = QtConcurrent::run(
        &m_recognitionPool, [this, path, recognizer = m_recognizer, flattener = m_flattener] {
            return recognizePackage(path, recognizer, flattener, m_endingAtOnce);
        });
    // The result comes back on the main thread, only while the service still exists.
    QPointer<CaptureHistory> self(this);
    future.then(this, [self, pass, id](std::optional<QString> text) {
        if (!self) return;
        self->m_recognizingID.reset();
        if (text) {
            // Text that reached the entry meanwhile wins; a removed entry takes nothing.
            const HistoryEntry* entry = self->entry(id);
            if (entry && !entry->recognizedText) self->setRecognizedText(*text, id);
        } else {
            // A failure leaves the entry without text, to be tried again at the next launch.
            self->m_recognitionFailed.insert(id);
        }
        self->recognizeNext(pass);
    });
}

void CaptureHistory::setRecognizedText(const QString& text, const QUuid& id)
{
    const HistoryEntry* current = entry(id);
    if (!current) return;
    const qsizetype index = current - m_entries.constData();
    QList<HistoryEntry> entries = m_entries;
    entries[index].recognizedText = text.trimmed();
    const HistoryEntry updated = entries[index];
    setEntries(std::move(entries));
    emit recognizedTextChanged(id, *updated.recognizedText);
    if (!m_available) return;
    m_queue->async([this, files = m_files, updated, entries = m_entries] {
        (void)files.writeEntry(updated);
        saveIndexOn(files, entries);
    });
}

CaptureHistory::Recognizer historyTextRecognizer()
{
    // Read on the calling thread, the history's own at idle priority, so recognising the
    // history never takes a core from anything else, nor a thread of the recogniser pool.
    return [](const QImage& image) -> std::optional<QString> {
        const TextRecognizer::Result result =
            TextRecognizer::recognizeHere(image, TextRecognizer::Level::fast, true);
        if (!result) return std::nullopt;
        QStringList parts{result->text()};
        for (const auto& code : result->codes)
            parts.append(code.payload);
        parts.removeAll(QString());
        return parts.join(QLatin1Char('\n'));
    };
}

} // namespace snapkin
