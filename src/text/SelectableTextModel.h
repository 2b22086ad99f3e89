#pragma once

#include "platform/TextRecognition.h"
#include "text/TextAnalysis.h"

#include <QFuture>
#include <QImage>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>

namespace snapkin {

// The Selectable Text state of one editor page: what it is doing, the analysis it shows and
// the analysis job that runs.
//
// The page's producer calls start() when the feature is turned on and again after each stop()
// while it stays on: 500 ms later (a burst of edits starts one analysis) the image is analysed
// at the accurate level off the GUI thread. stop() cancels the waiting and the job and returns
// to `off` with no analysis; a job cancelled that way leaves what stop() set. Without any
// recognition languages installed the status becomes `unsupported`.
class SelectableTextModel : public QObject {
    Q_OBJECT
public:
    static constexpr int debounceMs = 500;

    struct Status {
        enum class Kind { off, analyzing, ready, unsupported };
        Kind kind = Kind::off;
        bool hasText = false; // only for `ready`

        static Status off() { return {}; }
        static Status analyzing() { return {Kind::analyzing}; }
        static Status ready(bool hasText) { return {Kind::ready, hasText}; }
        static Status unsupported() { return {Kind::unsupported}; }
        friend bool operator==(const Status& a, const Status& b)
        {
            return a.kind == b.kind && (a.kind != Kind::ready || a.hasText == b.hasText);
        }
    };

    using Result = std::expected<TextAnalysis, platform::RecognitionError>;
    // Analyses an image off the GUI thread; cancelling the future stops it.
    using Analyze = std::function<QFuture<Result>(const QImage& image)>;

    // The default analyser: Tesseract's words at the accurate level in the user's languages.
    static QFuture<Result> analyze(const QImage& image);

    explicit SelectableTextModel(Analyze analyze = &SelectableTextModel::analyze,
                                 QObject* parent = nullptr);
    ~SelectableTextModel() override;

    Status status() const { return m_status; }
    std::shared_ptr<const TextAnalysis> analysis() const { return m_analysis; }

    // Analyses `image` (identified by `serial`) after the debounce. An analysis of the same
    // image made before is taken again without recognising anew.
    void start(const QImage& image, std::uint64_t serial);
    // Cancels what waits or runs, drops the analysis and returns to `off`. Safe in any state.
    void stop();
    // Whether an analysis is waiting or running.
    bool isBusy() const { return m_debounce.isActive() || m_task.isRunning(); }

signals:
    void statusChanged(const snapkin::SelectableTextModel::Status& status);
    void analysisChanged(const std::shared_ptr<const snapkin::TextAnalysis>& analysis);

private:
    void run();
    void setStatus(Status status);
    void setAnalysis(std::shared_ptr<const TextAnalysis> analysis);

    Analyze m_analyze;
    Status m_status;
    std::shared_ptr<const TextAnalysis> m_analysis;
    QFuture<Result> m_task;
    QTimer m_debounce;
    QImage m_image;
    std::uint64_t m_serial = 0;
    // The last finished analysis and the image it is of.
    std::shared_ptr<const TextAnalysis> m_cached;
    std::uint64_t m_cachedSerial = 0;
    quint64 m_generation = 0;
};

} // namespace snapkin
