#include "platform/TextEngineCache.h"

#include "AllocatorSupport.h"

#include <tesseract/baseapi.h>

#include <gtest/gtest.h>

#include <utility>

using namespace snapkin::platform;
using snapkin::test::getsPagesOfItsOwn;

namespace {

constexpr std::size_t oneMiB = std::size_t(1) << 20;

const TextEngineCache::Key english{QStringLiteral("eng"), true};

} // namespace

// An engine allocates and frees buffers of a few MiB for every line it reads: while one is
// lent, those stay in the heap; once every lease has ended, the heap gives them back.
TEST(TextEngineCacheLease, LargeBlocksAreReusedWhileAnEngineIsLent)
{
    MemoryRelease::configureAllocator();
    if (!getsPagesOfItsOwn(oneMiB)) GTEST_SKIP() << "another allocator than the C library's";
    TextEngineCache cache([](const TextEngineCache::Key&) {
        return TextEngineCache::Engine(new tesseract::TessBaseAPI,
                                       [](tesseract::TessBaseAPI* api) { delete api; });
    });
    {
        auto lease = cache.borrow(english);
        ASSERT_TRUE(lease);
        EXPECT_FALSE(getsPagesOfItsOwn(oneMiB));
        auto second = cache.borrow(english);
        second = {};
        EXPECT_FALSE(getsPagesOfItsOwn(oneMiB));
        auto moved = std::move(lease);
        lease = {};
        EXPECT_FALSE(getsPagesOfItsOwn(oneMiB));
    }
    EXPECT_TRUE(getsPagesOfItsOwn(oneMiB));

    // An engine that cannot start is no lease, and holds nothing.
    TextEngineCache failing([](const TextEngineCache::Key&) {
        return TextEngineCache::Engine(nullptr, [](tesseract::TessBaseAPI*) {});
    });
    const auto none = failing.borrow(english);
    EXPECT_FALSE(none);
    EXPECT_TRUE(getsPagesOfItsOwn(oneMiB));
    cache.releaseIdle();
}

// Starting an engine copies its language data several times over in blocks freed at once:
// those come from the heap too, and go back once the engine has started.
TEST(TextEngineCacheStart, AnEngineStartsWithLargeBlocksReusedFromTheHeap)
{
    MemoryRelease::configureAllocator();
    if (!getsPagesOfItsOwn(oneMiB)) GTEST_SKIP() << "another allocator than the C library's";
    bool pagesOfItsOwnWhileStarting = true;
    TextEngineCache cache([&](const TextEngineCache::Key&) {
        pagesOfItsOwnWhileStarting = getsPagesOfItsOwn(oneMiB);
        return TextEngineCache::Engine(new tesseract::TessBaseAPI,
                                       [](tesseract::TessBaseAPI* api) { delete api; });
    });
    cache.prestart(english, 1);
    ASSERT_EQ(cache.engineCount(), 1);
    EXPECT_FALSE(pagesOfItsOwnWhileStarting);
    EXPECT_TRUE(getsPagesOfItsOwn(oneMiB));
    cache.releaseIdle();
}
