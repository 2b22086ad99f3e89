#include "text/SelectableTextModel.h"

#include "recognition/RecognitionJob.h"
#include "recognition/TextRecognizer.h"

#include <QFutureWatcher>
#include <QThreadPool>

namespace snapkin {

QFuture<SelectableTextModel::Result> SelectableTextModel::analyze(const QImage& image)
{
    platform::TextRecognition::Options options;
    options.languages = TextRecognizer::recognitionLanguages();
    options.accurate = true;
    using Job = RecognitionJob<Result>;
    return Job::start(
        TextRecognizer::pool(), {image, options, false, 1},
        [](Job::Lines lines, Job::Codes) -> Result { return TextAnalysis::from(lines); });
}

SelectableTextModel::SelectableTextModel(Analyze analyze, QObject* parent)
    : QObject(parent), m_analyze(std::move(analyze))
{
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(debounceMs);
    connect(&m_debounce, &QTimer::timeout, this, &SelectableTextModel::run);
}

SelectableTextModel::~SelectableTextModel()
{
    ++m_generation;
    m_task.cancel();
}

void SelectableTextModel::start(const QImage& image, std::uint64_t serial)
{
    m_image = image;
    m_serial = serial;
    m_debounce.start();
}

void SelectableTextModel::stop()
{
    m_debounce.stop();
    ++m_generation;
    m_task.cancel();
    m_task = {};
    m_image = QImage();
    setAnalysis(nullptr);
    setStatus(Status::off());
}

void SelectableTextModel::run()
{
    if (m_cached && m_cachedSerial == m_serial && m_serial != 0) {
        setAnalysis(m_cached);
        setStatus(Status::ready(m_cached->hasText()));
        return;
    }
    m_task.cancel();
    const quint64 generation = ++m_generation;
    const std::uint64_t serial = m_serial;
    setStatus(Status::analyzing());
    m_task = m_analyze(m_image);
    m_image = QImage();
    auto* watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation, serial] {
        watcher->deleteLater();
        // A stop() or a newer analysis since: what they set stands.
        if (generation != m_generation) return;
        const QFuture<Result> future = watcher->future();
        if (future.isCanceled() || future.resultCount() == 0) return;
        const Result result = future.result();
        if (!result) {
            switch (result.error()) {
            case platform::RecognitionError::cancelled:
                return;
            case platform::RecognitionError::noLanguageData:
                setStatus(Status::unsupported());
                return;
            default:
                // The image could not be read: nothing to select in it.
                setAnalysis(std::make_shared<const TextAnalysis>());
                setStatus(Status::ready(false));
                return;
            }
        }
        auto analysis = std::make_shared<const TextAnalysis>(*result);
        m_cached = analysis;
        m_cachedSerial = serial;
        setAnalysis(analysis);
        setStatus(Status::ready(analysis->hasText()));
    });
    watcher->setFuture(m_task);
}

void SelectableTextModel::setStatus(Status status)
{
    if (status == m_status) return;
    m_status = status;
    emit statusChanged(status);
}

void SelectableTextModel::setAnalysis(std::shared_ptr<const TextAnalysis> analysis)
{
    // Compared by identity: the same analysis again changes nothing.
    if (analysis == m_analysis) return;
    m_analysis = std::move(analysis);
    emit analysisChanged(m_analysis);
}

} // namespace snapkin
