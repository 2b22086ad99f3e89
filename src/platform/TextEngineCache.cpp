#include "platform/TextEngineCache.h"

#include "platform/TextRecognition.h"

#include <tesseract/baseapi.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace snapkin::platform {

namespace {

// More idle engines than this are freed when they come back: only a burst of parallel work
// needs them, and each holds its models.
constexpr std::size_t maxIdleEngines = 8;

// Screens and screenshots carry no resolution; engines assume this one rather than guess.
constexpr int sourceResolution = 96;

// Tesseract parallelises inside one recognition with OpenMP. Recognitions here already run
// beside each other (and beside the barcode reader), and OpenMP's spinning teams collapse on
// a busy machine (a 0.1 s read took seconds). One recognition uses one thread: allowing no
// active parallel level makes every OpenMP region run on its caller. The setting belongs to
// the calling thread. The OpenMP runtime is loaded with Tesseract; it is looked up rather
// than linked.
void keepOpenMpToOneThread()
{
    using SetLevels = void (*)(int);
    static const auto setMaxActiveLevels =
        reinterpret_cast<SetLevels>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"));
    thread_local bool done = false;
    if (done || !setMaxActiveLevels) return;
    setMaxActiveLevels(0);
    done = true;
}

void endEngine(tesseract::TessBaseAPI* api)
{
    if (!api) return;
    api->End();
    delete api;
}

// A Tesseract engine for `key` over TextRecognition::dataPath(); null when it fails.
TextEngineCache::Engine startEngine(const TextEngineCache::Key& key)
{
    TextEngineCache::Engine engine(new tesseract::TessBaseAPI, &endEngine);
    // The engine library's own messages go nowhere. That is a global parameter of the library:
    // it is written once, before any engine starts, and only read afterwards. Everything else
    // set here belongs to the engine, so engines start side by side, each in about 100 ms.
    static std::once_flag quiet;
    std::call_once(quiet, [&] { engine->SetVariable("debug_file", "/dev/null"); });
    // The dictionaries are loaded at start-up only, so each level has its own engine.
    // The adaptive classifier belongs to the older engine, which is never used here; left on,
    // every engine holds templates for each of its characters (some MiB).
    std::vector<std::string> names{"classify_enable_adaptive_matcher"};
    std::vector<std::string> values{"0"};
    if (!key.accurate) {
        names.insert(names.end(), {"load_system_dawg", "load_freq_dawg"});
        values.insert(values.end(), {"0", "0"});
    }
    const QByteArray path = TextRecognition::dataPath().toLocal8Bit();
    const QByteArray language = key.languages.toLatin1();
    if (engine->Init(path.constData(), language.constData(), tesseract::OEM_LSTM_ONLY, nullptr, 0,
                     &names, &values, false) != 0) {
        return {nullptr, &endEngine};
    }
    engine->SetPageSegMode(tesseract::PSM_AUTO);
    engine->SetVariable("user_defined_dpi", QByteArray::number(sourceResolution).constData());
    return engine;
}

} // namespace

TextEngineCache::Lease::Lease(TextEngineCache* cache, Key key, Engine engine)
    : m_cache(cache), m_key(std::move(key)), m_engine(std::move(engine)), m_reuse(std::in_place)
{
}

TextEngineCache::Lease::Lease(Lease&& other) noexcept
{
    *this = std::move(other);
}

TextEngineCache::Lease& TextEngineCache::Lease::operator=(Lease&& other) noexcept
{
    if (this != &other) {
        if (m_cache && m_engine) m_cache->giveBack(std::move(m_key), std::move(m_engine));
        m_cache = std::exchange(other.m_cache, nullptr);
        m_key = std::move(other.m_key);
        m_engine = std::move(other.m_engine);
        m_reuse = std::exchange(other.m_reuse, std::nullopt);
    }
    return *this;
}

TextEngineCache::Lease::~Lease()
{
    if (m_cache && m_engine) m_cache->giveBack(std::move(m_key), std::move(m_engine));
}

TextEngineCache::TextEngineCache(Factory factory)
    : m_factory(std::move(factory)), m_reaper([this] { reap(); })
{
}

TextEngineCache::~TextEngineCache()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_reaper.join();
}

TextEngineCache& TextEngineCache::shared()
{
    static TextEngineCache* cache = [] {
        auto* made = new TextEngineCache(&startEngine);
        std::atexit([] {
            const std::lock_guard lock(cache->m_freeing);
            cache->m_exiting = true;
        });
        return made;
    }();
    return *cache;
}

TextEngineCache::Lease TextEngineCache::borrow(const Key& key)
{
    keepOpenMpToOneThread();
    std::vector<Engine> evicted;
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            // The most recently used first: the others then age out.
            for (auto it = m_idle.rbegin(); it != m_idle.rend(); ++it) {
                if (it->key == key) {
                    Engine engine = std::move(it->engine);
                    m_idle.erase(std::next(it).base());
                    m_lentKeys.push_back(key);
                    return Lease(this, key, std::move(engine));
                }
            }
            if (int(m_lentKeys.size() + m_idle.size()) < m_maxEngines) break;
            // At the limit: an idle engine of another kind makes room; else wait for one of
            // the lent engines to come back.
            if (!m_idle.empty()) {
                evicted.push_back(std::move(m_idle.front().engine));
                m_idle.erase(m_idle.begin());
                break;
            }
            m_returned.wait(lock);
        }
        m_lentKeys.push_back(key);
    }
    evicted.clear();
    // Started outside the lock: other threads keep borrowing meanwhile.
    Engine engine = start(key);
    if (!engine) {
        notStarted(key);
        return {};
    }
    return Lease(this, key, std::move(engine));
}

void TextEngineCache::prestart(const Key& key, int count)
{
    {
        const std::lock_guard lock(m_mutex);
        const auto existing = std::count_if(m_idle.cbegin(), m_idle.cend(),
                                            [&](const Idle& idle) { return idle.key == key; }) +
                              std::count(m_lentKeys.cbegin(), m_lentKeys.cend(), key);
        if (existing >= count || int(m_lentKeys.size() + m_idle.size()) >= m_maxEngines) return;
        m_lentKeys.push_back(key);
    }
    Engine engine = start(key);
    if (!engine) return notStarted(key);
    giveBack(key, std::move(engine));
}

TextEngineCache::Engine TextEngineCache::start(const Key& key)
{
    Engine engine{nullptr, nullptr};
    {
        // A start copies the language data (4 MiB) and its dictionary (3.7 MiB) more than
        // once, each copy freed as soon as made: carved from the heap, they cost no fresh
        // pages, and four engines starting side by side take a fifth less time and CPU.
        MemoryRelease::LargeBlockReuse reuse;
        engine = m_factory(key);
    }
    // The copies go back now rather than staying in the heap while the engine reads.
    MemoryRelease::releaseNow();
    return engine;
}

void TextEngineCache::notStarted(const Key& key)
{
    {
        const std::lock_guard lock(m_mutex);
        m_lentKeys.erase(std::find(m_lentKeys.begin(), m_lentKeys.end(), key));
    }
    m_returned.notify_one();
}

void TextEngineCache::setMaxEngines(int count)
{
    {
        const std::lock_guard lock(m_mutex);
        m_maxEngines = std::max(1, count);
    }
    m_returned.notify_all();
}

int TextEngineCache::engineLimit() const
{
    const std::lock_guard lock(m_mutex);
    return m_maxEngines;
}

void TextEngineCache::giveBack(Key key, Engine engine)
{
    std::vector<Engine> surplus;
    {
        const std::lock_guard lock(m_mutex);
        m_lentKeys.erase(std::find(m_lentKeys.begin(), m_lentKeys.end(), key));
        m_idle.push_back({std::move(key), std::move(engine), std::chrono::steady_clock::now()});
        while (m_idle.size() > maxIdleEngines) {
            surplus.push_back(std::move(m_idle.front().engine));
            m_idle.erase(m_idle.begin());
        }
    }
    m_wake.notify_all();
    m_returned.notify_one();
    // Freed outside the lock.
}

void TextEngineCache::setLifetime(std::chrono::milliseconds lifetime)
{
    {
        const std::lock_guard lock(m_mutex);
        m_lifetime = lifetime;
    }
    m_wake.notify_all();
}

std::chrono::milliseconds TextEngineCache::lifetime() const
{
    const std::lock_guard lock(m_mutex);
    return m_lifetime;
}

int TextEngineCache::engineCount() const
{
    const std::lock_guard lock(m_mutex);
    return int(m_lentKeys.size() + m_idle.size());
}

void TextEngineCache::releaseIdle()
{
    std::vector<Idle> idle;
    {
        const std::lock_guard lock(m_mutex);
        idle.swap(m_idle);
    }
    m_returned.notify_all();
}

void TextEngineCache::free(std::vector<Engine> engines)
{
    const std::lock_guard lock(m_freeing);
    // The engine's own globals may already be gone while the process exits.
    if (m_exiting) {
        for (Engine& engine : engines)
            (void)engine.release();
        return;
    }
    engines.clear();
    // Their models are many small blocks that the C library would otherwise keep.
    MemoryRelease::releaseNow();
}

void TextEngineCache::reap()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_idle.empty()) {
            m_wake.wait(lock);
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        std::vector<Engine> expired;
        auto oldest = std::chrono::steady_clock::time_point::max();
        for (auto it = m_idle.begin(); it != m_idle.end();) {
            if (now - it->since >= m_lifetime) {
                expired.push_back(std::move(it->engine));
                it = m_idle.erase(it);
            } else {
                oldest = std::min(oldest, it->since);
                ++it;
            }
        }
        if (!expired.empty()) {
            lock.unlock();
            free(std::move(expired));
            lock.lock();
            continue;
        }
        m_wake.wait_until(lock, oldest + m_lifetime);
    }
}

} // namespace snapkin::platform
