#include "platform/TextEngineCache.h"

#include <QElapsedTimer>

#include <tesseract/baseapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace snapkin::platform;

namespace {

// Engines that are never started: making them costs nothing, and the cache only lends them.
struct CountingFactory {
    std::shared_ptr<std::atomic_int> made = std::make_shared<std::atomic_int>(0);
    TextEngineCache::Factory factory() const
    {
        return [made = made](const TextEngineCache::Key&) {
            ++*made;
            return TextEngineCache::Engine(new tesseract::TessBaseAPI,
                                           [](tesseract::TessBaseAPI* api) { delete api; });
        };
    }
};

const TextEngineCache::Key english{QStringLiteral("eng"), true};

// Waits, up to a generous bound, until `done` holds.
template <typename Condition> bool eventually(Condition done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 5000) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace

TEST(TextEngineCache, AnEngineGivenBackIsLentAgainForTheSameKeyOnly)
{
    CountingFactory made;
    TextEngineCache cache(made.factory());
    cache.setMaxEngines(4);
    tesseract::TessBaseAPI* first = nullptr;
    {
        auto lease = cache.borrow(english);
        ASSERT_TRUE(lease);
        first = &*lease;
    }
    {
        auto again = cache.borrow(english);
        EXPECT_EQ(&*again, first);
        // Lent out, an engine is not lent twice: a second borrower gets a new one.
        auto second = cache.borrow(english);
        EXPECT_NE(&*second, first);
        // Another level or language is another engine.
        auto fast = cache.borrow({QStringLiteral("eng"), false});
        auto german = cache.borrow({QStringLiteral("deu"), true});
        EXPECT_NE(&*fast, first);
        EXPECT_NE(&*german, first);
        EXPECT_EQ(cache.engineCount(), 4);
    }
    EXPECT_EQ(*made.made, 4);
    EXPECT_EQ(cache.engineCount(), 4);
    cache.releaseIdle();
    EXPECT_EQ(cache.engineCount(), 0);
}

TEST(TextEngineCache, AnEngineThatCannotStartGivesAnEmptyLease)
{
    TextEngineCache cache([](const TextEngineCache::Key&) {
        return TextEngineCache::Engine(nullptr, [](tesseract::TessBaseAPI*) {});
    });
    EXPECT_FALSE(cache.borrow(english));
    EXPECT_EQ(cache.engineCount(), 0);
}

TEST(TextEngineCache, IdleEnginesAreFreedAfterTheirLifetimeButLentOnesAreKept)
{
    CountingFactory made;
    TextEngineCache cache(made.factory());
    cache.setLifetime(std::chrono::milliseconds(50));
    auto kept = cache.borrow(english);
    {
        auto returned = cache.borrow(english);
    }
    EXPECT_EQ(cache.engineCount(), 2);
    EXPECT_TRUE(eventually([&] { return cache.engineCount() == 1; }));
    // The lease outlived the lifetime and still holds a working engine.
    ASSERT_TRUE(kept);
    kept = {};
    EXPECT_TRUE(eventually([&] { return cache.engineCount() == 0; }));
}

TEST(TextEngineCache, ManyThreadsBorrowingAtOnceEachGetTheirOwnEngine)
{
    CountingFactory made;
    TextEngineCache cache(made.factory());
    constexpr int threads = 6;
    std::atomic_int inside{0};
    std::atomic_bool shared{false};
    std::vector<std::thread> workers;
    std::mutex seenMutex;
    std::vector<tesseract::TessBaseAPI*> seen;
    for (int i = 0; i < threads; ++i) {
        workers.emplace_back([&] {
            for (int round = 0; round < 200; ++round) {
                auto lease = cache.borrow(english);
                tesseract::TessBaseAPI* engine = &*lease;
                {
                    const std::lock_guard lock(seenMutex);
                    if (std::find(seen.begin(), seen.end(), engine) != seen.end()) shared = true;
                    seen.push_back(engine);
                }
                ++inside;
                std::this_thread::yield();
                --inside;
                const std::lock_guard lock(seenMutex);
                seen.erase(std::find(seen.begin(), seen.end(), engine));
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_FALSE(shared) << "an engine was lent to two threads at once";
    EXPECT_LE(*made.made, threads);
    EXPECT_EQ(cache.engineCount(), *made.made);
}

TEST(TextEngineCache, NoMoreThanTheLimitExistAndABorrowerWaitsForOneToComeBack)
{
    CountingFactory made;
    TextEngineCache cache(made.factory());
    cache.setMaxEngines(2);
    auto first = cache.borrow(english);
    auto second = cache.borrow(english);
    tesseract::TessBaseAPI* returned = &*first;
    std::atomic<tesseract::TessBaseAPI*> got{nullptr};
    std::thread waiting([&] {
        auto lease = cache.borrow(english);
        got = &*lease;
    });
    // Still waiting while both engines are out.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(got.load(), nullptr);
    EXPECT_EQ(cache.engineCount(), 2);
    first = {};
    waiting.join();
    EXPECT_EQ(got.load(), returned);
    EXPECT_EQ(*made.made, 2);

    // At the limit, an idle engine of another kind makes room for a new one.
    second = {};
    auto fast = cache.borrow({QStringLiteral("eng"), false});
    auto again = cache.borrow({QStringLiteral("eng"), false});
    EXPECT_EQ(*made.made, 4);
    EXPECT_EQ(cache.engineCount(), 2);
}

// Threads that each ask for three engines start three side by side, not one after another
// (each start here waits until all three are under way), and nothing more once they exist.
TEST(TextEngineCache, PrestartingFromSeveralThreadsStartsTheEnginesSideBySide)
{
    std::atomic_int starting{0};
    std::atomic_int made{0};
    std::atomic_bool sideBySide{true};
    TextEngineCache cache([&](const TextEngineCache::Key&) {
        ++starting;
        if (!eventually([&] { return starting.load() >= 3; })) sideBySide = false;
        ++made;
        return TextEngineCache::Engine(new tesseract::TessBaseAPI,
                                       [](tesseract::TessBaseAPI* api) { delete api; });
    });
    cache.setMaxEngines(4);
    std::vector<std::thread> workers;
    for (int i = 0; i < 5; ++i)
        workers.emplace_back([&] { cache.prestart(english, 3); });
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_TRUE(sideBySide);
    EXPECT_EQ(made.load(), 3);
    EXPECT_EQ(cache.engineCount(), 3);

    // They are idle, lent one after another without a new start.
    {
        auto a = cache.borrow(english);
        auto b = cache.borrow(english);
        auto c = cache.borrow(english);
        cache.prestart(english, 3); // all three lent: they still count
    }
    EXPECT_EQ(made.load(), 3);
}

// A warm-up is a guess: it stays under the limit and never frees an engine another kind of
// reading holds idle.
TEST(TextEngineCache, PrestartingStaysUnderTheLimitAndKeepsOtherKindsOfEngine)
{
    CountingFactory made;
    TextEngineCache cache(made.factory());
    cache.setMaxEngines(2);
    const TextEngineCache::Key fast{QStringLiteral("eng"), false};
    {
        auto lease = cache.borrow(fast);
    }
    cache.prestart(english, 3);
    cache.prestart(english, 3);
    EXPECT_EQ(*made.made, 2);
    EXPECT_EQ(cache.engineCount(), 2);
    // The fast engine is still there: borrowing it starts nothing.
    auto lease = cache.borrow(fast);
    EXPECT_EQ(*made.made, 2);

    // An engine that cannot start leaves no count behind.
    TextEngineCache failing([](const TextEngineCache::Key&) {
        return TextEngineCache::Engine(nullptr, [](tesseract::TessBaseAPI*) {});
    });
    failing.prestart(english, 2);
    EXPECT_EQ(failing.engineCount(), 0);
}
