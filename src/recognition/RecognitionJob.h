#pragma once

#include "platform/BarcodeDetection.h"
#include "platform/TextRecognition.h"

#include <QFuture>
#include <QImage>
#include <QPromise>
#include <QSize>
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
#include <utility>
#include <vector>

namespace snapkin {

// One recognition of an image spread over a thread pool: a task prepares the page (pixels and
// blocks) while another reads the barcodes, then a few readers, one per engine the cache may
// lend, each borrow an engine once and take work one after another from a common queue until
// none is left: the blocks, the costliest first, and the lines a block's first reading doubted,
// which go to the front of the queue as that reading ends, so other engines read them again
// side by side rather than one engine after its block. No task waits for another: whichever
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
        const QSize size = request.image.size();
        QImage image = std::move(request.image);
        auto job = std::shared_ptr<RecognitionJob>(
            new RecognitionJob(pool, std::move(request), std::move(assemble)));
        job->m_promise.start();
        QFuture<R> future = job->m_promise.future();
        const bool detectCodes = job->m_request.detectCodes;
        {
            // Tasks read the job under this lock, so what was written here is theirs to see.
            const std::lock_guard lock(job->m_mutex);
            job->m_pending = detectCodes ? 2 : 1;
            job->m_image = std::move(image);
            job->m_imageUsers = detectCodes ? 2 : 1;
        }
        job->spawn([job] { job->prepare(); });
        // The engines start while the page is prepared: every page with text needs one, and a
        // large one keeps every reader busy.
        startEngines(pool, job->m_request.options, size, job->m_request.priority > 0);
        if (detectCodes) job->spawn([job] { job->readCodes(); });
        return future;
    }

    // Starts on `pool`, side by side, the engines that reading an image of `size` with
    // `options` will use.
    static void startEngines(QThreadPool& pool, const platform::TextRecognition::Options& options,
                             QSize size, bool urgent)
    {
        const int engines = platform::TextRecognition::enginesFor(size, readerLimit(pool));
        for (int i = 0; i < engines; ++i) {
            spawnOn(pool, urgent,
                    [options, engines] { platform::TextRecognition::warmUp(options, engines); });
        }
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
        spawnOn(m_pool, m_request.priority > 0, std::move(task));
    }
    static void spawnOn(QThreadPool& pool, bool urgent, std::function<void()> task)
    {
        {
            Handover& queues = handover();
            const std::lock_guard lock(queues.mutex);
            queues.tasks[urgent ? 1 : 0].push_back(std::move(task));
        }
        pool.start(urgent ? &RecognitionJob::runNext<1> : &RecognitionJob::runNext<0>, urgent);
    }

    bool stopped() const { return m_done.load() || m_promise.isCanceled(); }
    platform::CancelCheck cancelCheck() const
    {
        return [this] { return stopped(); };
    }

    QImage image()
    {
        const std::lock_guard lock(m_mutex);
        return m_image;
    }

    // Once the page is prepared and the codes are read, the image is not needed: its memory
    // goes back while the blocks are read (unless the caller still holds the image).
    void doneWithImage()
    {
        QImage last;
        const std::lock_guard lock(m_mutex);
        if (--m_imageUsers == 0) last = std::exchange(m_image, QImage());
    }

    void prepare()
    {
        if (stopped()) return finishStopped();
        QImage pixels = image(); // first: it takes the lock the job was made under
        auto prepared =
            platform::TextRecognition::prepare(pixels, m_request.options, cancelCheck());
        pixels = QImage();
        doneWithImage();
        if (!prepared) return fail(prepared.error());
        auto page = std::make_shared<const platform::TextRecognition::Page>(std::move(*prepared));
        const std::size_t count = page->blocks.size();
        // The costliest blocks go first, so the last ones to finish are short and the readers
        // end together.
        std::vector<double> costs(count);
        for (std::size_t i = 0; i < count; ++i)
            costs[i] = platform::TextRecognition::readingCost(*page, i);
        std::vector<std::size_t> order(count);
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return costs[a] > costs[b]; });
        int readers = 0;
        {
            const std::lock_guard lock(m_mutex);
            m_page = std::move(page);
            for (const std::size_t index : order)
                m_work.push_back({index, std::nullopt});
            m_blocks.resize(count);
            readers = moreReadersLocked();
        }
        spawnReaders(readers);
        pieceDone();
    }

    // Under m_mutex: how many more readers the queue keeps busy, counted as started.
    int moreReadersLocked()
    {
        const int wanted = std::min(int(m_work.size()), readerLimit(m_pool)) - m_readers;
        if (wanted <= 0) return 0;
        m_readers += wanted;
        m_pending += wanted;
        return wanted;
    }

    void spawnReaders(int readers)
    {
        if (readers <= 0) return;
        auto self = this->shared_from_this();
        for (int i = 0; i < readers; ++i)
            spawn([self] { self->readWork(); });
    }

    // A reader per engine, never more than the pool has threads: a reader beyond the engines
    // would only wait for one, holding a thread the others could use.
    static int readerLimit(const QThreadPool& pool)
    {
        return std::min(pool.maxThreadCount(), platform::TextEngineCache::shared().engineLimit());
    }

    // A block to read, or one of the doubted lines of its first reading to read again.
    struct Work {
        std::size_t block = 0;
        std::optional<std::size_t> line;
    };

    // What is known of a block so far.
    struct BlockState {
        std::optional<platform::TextRecognition::BlockDraft> draft; // until its lines are final
        std::vector<platform::TextRecognition::LineReading> rereads;
        std::size_t rereadsLeft = 0;
        Lines lines; // final
    };

    // The next work in the queue; nullopt when none is left, and the reader asking ends.
    std::optional<Work> nextWork()
    {
        const std::lock_guard lock(m_mutex);
        if (m_work.empty()) {
            --m_readers;
            return std::nullopt;
        }
        Work work = m_work.front();
        m_work.pop_front();
        return work;
    }

    void readWork()
    {
        using platform::TextRecognition;
        if (stopped()) return finishStopped();
        std::shared_ptr<const TextRecognition::Page> page;
        {
            const std::lock_guard lock(m_mutex);
            page = m_page;
        }
        std::optional<Work> work = nextWork();
        if (!work) return pieceDone(); // the other readers took all there was
        TextEngineCache::Lease engine = TextRecognition::borrowEngine(*page);
        for (; work; work = nextWork()) {
            if (stopped()) return finishStopped();
            const bool read = work->line ? rereadLine(*page, *work, engine)
                                         : readBlock(*page, work->block, engine);
            if (!read) return;
        }
        engine = {}; // back to the cache before the result is assembled
        pieceDone();
    }

    using TextEngineCache = platform::TextEngineCache;

    // Reads a block first; its doubted lines join the front of the queue. False when the job
    // failed.
    bool readBlock(const platform::TextRecognition::Page& page, std::size_t index,
                   TextEngineCache::Lease& engine)
    {
        using platform::TextRecognition;
        auto draft = TextRecognition::readBlock(page, index, engine, cancelCheck());
        if (!draft) {
            fail(draft.error());
            return false;
        }
        if (draft->doubted.empty()) {
            Lines lines = TextRecognition::finishBlock(page, std::move(*draft), {});
            const std::lock_guard lock(m_mutex);
            m_blocks[index].lines = std::move(lines);
            return true;
        }
        int readers = 0;
        {
            const std::lock_guard lock(m_mutex);
            BlockState& block = m_blocks[index];
            const std::size_t count = draft->doubted.size();
            block.rereads.resize(count);
            block.rereadsLeft = count;
            block.draft = std::move(*draft);
            for (std::size_t line = count; line-- > 0;)
                m_work.push_front({index, line});
            readers = moreReadersLocked();
        }
        spawnReaders(readers);
        return true;
    }

    // Reads a doubted line again; the last of its block's lines makes the block's lines
    // final. False when the job failed.
    bool rereadLine(const platform::TextRecognition::Page& page, const Work& work,
                    TextEngineCache::Lease& engine)
    {
        using platform::TextRecognition;
        const TextRecognition::BlockDraft* draft = nullptr;
        {
            // The draft stays where it is until its last line is read again.
            const std::lock_guard lock(m_mutex);
            draft = &*m_blocks[work.block].draft;
        }
        auto reading = TextRecognition::rereadLine(page, work.block, *draft, *work.line, engine,
                                                   cancelCheck());
        if (!reading) {
            fail(reading.error());
            return false;
        }
        std::optional<TextRecognition::BlockDraft> done;
        std::vector<TextRecognition::LineReading> rereads;
        {
            const std::lock_guard lock(m_mutex);
            BlockState& block = m_blocks[work.block];
            block.rereads[*work.line] = std::move(*reading);
            if (--block.rereadsLeft > 0) return true;
            done = std::exchange(block.draft, std::nullopt);
            rereads = std::move(block.rereads);
        }
        Lines lines = TextRecognition::finishBlock(page, std::move(*done), std::move(rereads));
        const std::lock_guard lock(m_mutex);
        m_blocks[work.block].lines = std::move(lines);
        return true;
    }

    void readCodes()
    {
        if (stopped()) return finishStopped();
        auto codes = platform::BarcodeDetection::detect(image(), cancelCheck());
        doneWithImage();
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
        finishLocked(R(std::unexpected(error)));
    }

    // A task that found the job cancelled ends it, so the caller hears at once.
    void finishStopped()
    {
        const std::lock_guard lock(m_mutex);
        finishLocked(std::nullopt);
    }

    // Ends the future, with `result` unless it was cancelled; once only. Under m_mutex.
    void finishLocked(std::optional<R> result)
    {
        if (m_done.exchange(true)) return;
        if (result && !m_promise.isCanceled()) m_promise.addResult(std::move(*result));
        m_promise.finish();
    }

    void pieceDone()
    {
        Lines lines;
        Codes codes;
        {
            const std::lock_guard lock(m_mutex);
            if (--m_pending > 0 || m_done.load()) return;
            if (m_promise.isCanceled()) return finishLocked(std::nullopt);
            if (m_codesError) return finishLocked(R(std::unexpected(*m_codesError)));
            for (BlockState& block : m_blocks)
                std::move(block.lines.begin(), block.lines.end(), std::back_inserter(lines));
            codes = std::move(m_codes);
        }
        // Assembled outside the lock; only this task is left.
        R result = m_assemble(std::move(lines), std::move(codes));
        const std::lock_guard lock(m_mutex);
        finishLocked(std::move(result));
    }

    QThreadPool& m_pool;
    const Request m_request;
    const Assemble m_assemble;
    QPromise<R> m_promise;
    std::atomic_bool m_done{false};
    std::mutex m_mutex;   // guards what follows
    QImage m_image;       // what is recognised, until the page is prepared and the codes read
    int m_imageUsers = 0; // the tasks still to use m_image
    std::shared_ptr<const platform::TextRecognition::Page> m_page;
    std::deque<Work> m_work; // what is left to read, in the order it is taken
    int m_readers = 0;       // readers started and not yet out of work
    int m_pending = 0;
    std::vector<BlockState> m_blocks;
    Codes m_codes;
    std::optional<platform::RecognitionError> m_codesError;
};

} // namespace snapkin
