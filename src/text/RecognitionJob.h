#pragma once

#include "platform/BarcodeDetection.h"
#include "platform/TextRecognition.h"

#include <QFuture>
#include <QImage>
#include <QPromise>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <deque>
#include <expected>
#include <functional>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <vector>

namespace snapkin {

// One recognition of an image spread over a thread pool: a task prepares the page (pixels and
// blocks) while another reads the barcodes, then each text block is read by a task of its own,
// the largest first, each with an engine of its own. No task waits for another: whichever
// finishes last assembles the result. A failure or a cancellation of the future ends the
// future at once, without waiting for blocks still being read; those stop at their next check
// and are dropped. `R` is what the future carries; `assemble` turns the lines of every block
// (in block order) and the barcodes into it on a pool thread.
template <typename R>
class RecognitionJob : public std::enable_shared_from_this<RecognitionJob<R>> {
public:
    using Lines = std::vector<platform::RecognizedTextLine>;
    using Codes = std::vector<platform::DetectedBarcode>;
    using Assemble = std::function<R(Lines lines, Codes codes)>;

    struct Request {
        QImage image;
        platform::TextRecognition::Options options;
        bool detectCodes = false;
        int priority = 0;
    };

    static QFuture<R> start(QThreadPool& pool, Request request, Assemble assemble)
    {
        auto job = std::shared_ptr<RecognitionJob>(
            new RecognitionJob(pool, std::move(request), std::move(assemble)));
        job->m_promise.start();
        QFuture<R> future = job->m_promise.future();
        const bool detectCodes = job->m_request.detectCodes;
        {
            // Tasks read the job under this lock, so what was written here is theirs to see.
            const std::lock_guard lock(job->m_mutex);
            job->m_pending = detectCodes ? 2 : 1;
        }
        if (detectCodes) job->spawn([job] { job->readCodes(); });
        job->spawn([job] { job->prepare(); });
        // The first engine starts while the page is prepared: every page with text needs one.
        job->spawn(
            [options = job->m_request.options] { platform::TextRecognition::warmUp(options); });
        return future;
    }

private:
    RecognitionJob(QThreadPool& pool, Request request, Assemble assemble)
        : m_pool(pool), m_request(std::move(request)), m_assemble(std::move(assemble))
    {
    }

    // Tasks reach the pool's threads through a queue of our own under a standard mutex, and
    // the pool runs closures that capture nothing: its own hand-over happens inside Qt, where
    // a race checker cannot see it, and would make every capture look unsynchronised.
    struct Handover {
        std::mutex mutex;
        std::deque<std::function<void()>> tasks[2]; // by priority: normal, urgent
    };
    static Handover& handover()
    {
        static Handover* queues = new Handover; // never destroyed: pool threads may outlive main
        return *queues;
    }
    template <int Urgency> static void runNext()
    {
        std::function<void()> task;
        {
            Handover& queues = handover();
            const std::lock_guard lock(queues.mutex);
            auto& tasks = queues.tasks[Urgency];
            if (tasks.empty()) return;
            task = std::move(tasks.front());
            tasks.pop_front();
        }
        task();
    }

    void spawn(std::function<void()> task)
    {
        const bool urgent = m_request.priority > 0;
        {
            Handover& queues = handover();
            const std::lock_guard lock(queues.mutex);
            queues.tasks[urgent ? 1 : 0].push_back(std::move(task));
        }
        if (urgent)
            m_pool.start(&RecognitionJob::runNext<1>, 1);
        else
            m_pool.start(&RecognitionJob::runNext<0>, 0);
    }

    bool stopped() const { return m_done.load() || m_promise.isCanceled(); }
    platform::CancelCheck cancelCheck() const
    {
        return [this] { return stopped(); };
    }

    QImage image()
    {
        const std::lock_guard lock(m_mutex);
        return m_request.image;
    }

    void prepare()
    {
        if (stopped()) return finishStopped();
        const QImage pixels = image(); // first: it takes the lock the job was made under
        auto prepared =
            platform::TextRecognition::prepare(pixels, m_request.options, cancelCheck());
        if (!prepared) return fail(prepared.error());
        auto page = std::make_shared<const platform::TextRecognition::Page>(std::move(*prepared));
        const std::size_t count = page->blocks.size();
        // The largest blocks go first, so the last ones to finish are short.
        std::vector<std::size_t> order(count);
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            const QRect& ra = page->blocks[a].rect;
            const QRect& rb = page->blocks[b].rect;
            return qint64(ra.width()) * ra.height() > qint64(rb.width()) * rb.height();
        });
        {
            const std::lock_guard lock(m_mutex);
            m_page = std::move(page);
            m_blockLines.resize(count);
            m_pending += int(count);
        }
        auto self = this->shared_from_this();
        for (const std::size_t index : order)
            spawn([self, index] { self->readBlock(index); });
        pieceDone();
    }

    void readBlock(std::size_t index)
    {
        if (stopped()) return finishStopped();
        std::shared_ptr<const platform::TextRecognition::Page> page;
        {
            const std::lock_guard lock(m_mutex);
            page = m_page;
        }
        auto lines = platform::TextRecognition::recognizeBlock(*page, index, cancelCheck());
        if (!lines) return fail(lines.error());
        {
            const std::lock_guard lock(m_mutex);
            m_blockLines[index] = std::move(*lines);
        }
        pieceDone();
    }

    void readCodes()
    {
        if (stopped()) return finishStopped();
        auto codes = platform::BarcodeDetection::detect(image(), cancelCheck());
        {
            const std::lock_guard lock(m_mutex);
            if (codes)
                m_codes = std::move(*codes);
            else
                m_codesError = codes.error();
        }
        pieceDone();
    }

    // A text failure ends the job at once: it is the job's answer, whatever the barcodes.
    void fail(platform::RecognitionError error)
    {
        const std::lock_guard lock(m_mutex);
        if (m_done.exchange(true)) return;
        if (!m_promise.isCanceled()) m_promise.addResult(R(std::unexpected(error)));
        m_promise.finish();
    }

    // A task that found the job cancelled ends it, so the caller hears at once.
    void finishStopped()
    {
        const std::lock_guard lock(m_mutex);
        if (m_done.exchange(true)) return;
        m_promise.finish();
    }

    void pieceDone()
    {
        Lines lines;
        Codes codes;
        {
            const std::lock_guard lock(m_mutex);
            if (--m_pending > 0 || m_done.load()) return;
            if (m_promise.isCanceled()) {
                m_done = true;
                m_promise.finish();
                return;
            }
            if (m_codesError) {
                m_done = true;
                m_promise.addResult(R(std::unexpected(*m_codesError)));
                m_promise.finish();
                return;
            }
            for (Lines& block : m_blockLines)
                std::move(block.begin(), block.end(), std::back_inserter(lines));
            codes = std::move(m_codes);
        }
        // Assembled outside the lock; only this task is left.
        R result = m_assemble(std::move(lines), std::move(codes));
        const std::lock_guard lock(m_mutex);
        if (m_done.exchange(true)) return;
        if (!m_promise.isCanceled()) m_promise.addResult(std::move(result));
        m_promise.finish();
    }

    QThreadPool& m_pool;
    const Request m_request;
    const Assemble m_assemble;
    QPromise<R> m_promise;
    std::atomic_bool m_done{false};
    std::mutex m_mutex; // guards what follows
    std::shared_ptr<const platform::TextRecognition::Page> m_page;
    int m_pending = 0;
    std::vector<Lines> m_blockLines;
    Codes m_codes;
    std::optional<platform::RecognitionError> m_codesError;
};

} // namespace snapkin
