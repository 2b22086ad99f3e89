// Recognising the text of history entries in the background.
#include "history/CaptureHistory.h"

#include "model/SnapkinDocument.h"
#include "text/TextRecognizer.h"

#include <QtConcurrent/QtConcurrentRun>

namespace snapkin {

namespace {

// The text of one package, on a worker thread: the base image when nothing on it hides or adds
// text, else the document flattened without its frame. None when the package cannot be read
// or flattened, or recognition fails.
std::optional<QString> recognizePackage(const QString& path,
                                        const CaptureHistory::Recognizer& recognizer,
                                        const CaptureHistory::Flattener& flattener)
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
        auto flattened = flattener ? flattener(input) : std::nullopt;
        if (!flattened) return std::nullopt;
        image = std::move(*flattened);
    }
    if (image.isNull()) return std::nullopt;
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
    QList<QUuid> ids;
    for (const HistoryEntry& entry : std::as_const(m_entries)) {
        if (!entry.recognizedText) ids.append(entry.id);
    }
    // A new pass replaces a running one, which stops at its next step.
    const quint64 pass = ++m_pass;
    m_recognizing = true;
    recognizeNext(pass, std::move(ids), 0);
}

void CaptureHistory::recognizeNext(quint64 pass, QList<QUuid> ids, qsizetype index)
{
    if (pass != m_pass) return;
    if (index >= ids.size()) {
        m_recognizing = false;
        emit recognitionFinished();
        return;
    }
    const QUuid id = ids[index];
    const QString path = m_files.packagePath(id);
    auto future = QtConcurrent::run(&m_recognitionPool,
                                    [path, recognizer = m_recognizer, flattener = m_flattener] {
                                        return recognizePackage(path, recognizer, flattener);
                                    });
    // The result comes back on the main thread, only while the service still exists.
    QPointer<CaptureHistory> self(this);
    future.then(this, [self, pass, id, ids = std::move(ids), index](std::optional<QString> text) {
        if (!self) return;
        if (text) {
            // Text that reached the entry meanwhile wins; a removed entry takes nothing.
            const auto& entries = self->m_entries;
            const auto entry = std::find_if(entries.cbegin(), entries.cend(),
                                            [&](const HistoryEntry& e) { return e.id == id; });
            if (entry != entries.cend() && !entry->recognizedText)
                self->setRecognizedText(*text, id);
        }
        // A failure leaves the entry without text, to be tried again at the next launch.
        self->recognizeNext(pass, std::move(ids), index + 1);
    });
}

void CaptureHistory::setRecognizedText(const QString& text, const QUuid& id)
{
    const auto at = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                 [&](const HistoryEntry& e) { return e.id == id; });
    if (at == m_entries.cend()) return;
    const qsizetype index = at - m_entries.cbegin();
    QList<HistoryEntry> entries = m_entries;
    entries[index].recognizedText = text.trimmed();
    const HistoryEntry updated = entries[index];
    setEntries(std::move(entries));
    if (!m_available) return;
    m_queue->async([this, files = m_files, updated, entries = m_entries] {
        (void)files.writeEntry(updated);
        reportFailure(files.save(entries));
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
