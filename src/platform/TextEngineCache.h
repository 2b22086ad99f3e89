#pragma once

#include "platform/MemoryRelease.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

namespace snapkin::platform {

// The text engines of the process, shared by every thread that recognises text. Starting an
// engine costs about 100 ms and its models some tens of MiB, so an engine is lent out for one
// recognition, taken back and lent again; an engine nobody has borrowed for `lifetime` (a
// minute unless set) is freed by a background thread, so an idle application holds none.
// At most maxEngines exist at once, whatever the number of cores: each holds about 15 MiB of
// models and buffers and costs about 0.1 s of CPU to start (three quarters of it the engine
// library loading its table of look-alike characters, which no setting skips). A 1080p page
// of prose and code is about 1 s of reading: on six cores a fourth engine reads it a fifth
// sooner for 3 % more CPU and 15 MiB, while a fifth would take the process past 120 MiB and
// half again the CPU of reading the page on one thread (bench/ocr-speed). A borrower beyond
// that waits for an engine to come back. An engine is only ever used by the thread that
// borrowed it. Safe to call from any thread.
class TextEngineCache {
public:
    // What an engine is made for: its languages ("eng+deu") and level.
    struct Key {
        QString languages;
        bool accurate = true;
        friend bool operator==(const Key&, const Key&) = default;
    };
    using Engine = std::unique_ptr<tesseract::TessBaseAPI, void (*)(tesseract::TessBaseAPI*)>;
    // Makes a new engine; null when it cannot start.
    using Factory = std::function<Engine(const Key& key)>;

    // An engine on loan; it goes back to the cache when the lease ends. While any lease
    // lasts, the engines' buffers of a few MiB, allocated and freed for every line they read,
    // are reused from the heap (see MemoryRelease::LargeBlockReuse).
    class Lease {
    public:
        Lease() = default;
        Lease(Lease&& other) noexcept;
        Lease& operator=(Lease&& other) noexcept;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease();
        explicit operator bool() const { return m_engine != nullptr; }
        tesseract::TessBaseAPI& operator*() const { return *m_engine; }

    private:
        friend class TextEngineCache;
        Lease(TextEngineCache* cache, Key key, Engine engine);
        TextEngineCache* m_cache = nullptr;
        Key m_key;
        Engine m_engine{nullptr, nullptr};
        std::optional<MemoryRelease::LargeBlockReuse> m_reuse;
    };

    explicit TextEngineCache(Factory factory);
    // Frees every idle engine; leases must have ended.
    ~TextEngineCache();

    // The process's cache, over Tesseract; never destroyed, so no engine is torn down while
    // the process exits.
    static TextEngineCache& shared();

    static constexpr int maxEngines = 4;

    // An idle engine made for `key`, else a new one (at the limit, once an idle one of another
    // kind has been freed or a lent one has come back); an empty lease when none can start.
    Lease borrow(const Key& key);
    // Starts an engine for `key` on the calling thread and keeps it idle, unless `count` for
    // `key` exist already (idle, lent or starting) or the limit is reached: a caller that
    // will soon read with `count` engines calls it from `count` threads, so they start side
    // by side while it prepares its work. Never evicts an engine of another kind.
    void prestart(const Key& key, int count);
    // How many engines may exist at once (maxEngines unless a test says; at least one).
    void setMaxEngines(int count);
    int engineLimit() const;

    // How long an engine may stay unused before it is freed.
    void setLifetime(std::chrono::milliseconds lifetime);
    std::chrono::milliseconds lifetime() const;
    // Engines that exist now, lent out or idle.
    int engineCount() const;
    // Frees every idle engine at once.
    void releaseIdle();

private:
    struct Idle {
        Key key;
        Engine engine;
        std::chrono::steady_clock::time_point since;
    };

    // A new engine from the factory, started with large blocks reused from the heap.
    Engine start(const Key& key);
    void giveBack(Key key, Engine engine);
    // Undoes the count of an engine that failed to start.
    void notStarted(const Key& key);
    void reap();
    void free(std::vector<Engine> engines);

    Factory m_factory;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_returned;
    int m_maxEngines = maxEngines;
    std::vector<Idle> m_idle;
    std::vector<Key> m_lentKeys; // the key of each engine lent or starting
    std::chrono::milliseconds m_lifetime{60'000};
    bool m_stopping = false;
    // Held while the reaper frees engines; once the process exits, they are left to it.
    std::mutex m_freeing;
    bool m_exiting = false;
    std::thread m_reaper;
};

} // namespace snapkin::platform
