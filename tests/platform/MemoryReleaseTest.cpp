#include "platform/MemoryRelease.h"

#include "AllocatorSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <utility>

using snapkin::platform::MemoryRelease;
using snapkin::test::getsPagesOfItsOwn;

namespace {

constexpr std::size_t oneMiB = std::size_t(1) << 20;

} // namespace

// The engines' line buffers come and go hundreds of times a page: while any reader works, they
// stay in the heap; once none does, large blocks get pages of their own again, so an idle
// process gives them back.
TEST(MemoryReleaseLargeBlocks, ReusedFromTheHeapWhileAnyScopeLastsThenGivenPagesAgain)
{
    MemoryRelease::configureAllocator();
    if (!getsPagesOfItsOwn(oneMiB)) GTEST_SKIP() << "another allocator than the C library's";

    std::optional<MemoryRelease::LargeBlockReuse> first{std::in_place};
    EXPECT_FALSE(getsPagesOfItsOwn(oneMiB));
    EXPECT_TRUE(getsPagesOfItsOwn(2 * MemoryRelease::reusedBlockBytes));

    // A scope begun and ended on another thread leaves the first one's in force.
    std::thread([] { MemoryRelease::LargeBlockReuse other; }).join();
    EXPECT_FALSE(getsPagesOfItsOwn(oneMiB));

    // Moved, a scope lasts until its new owner ends it; the moved-from one ends nothing.
    MemoryRelease::LargeBlockReuse moved = std::move(*first);
    first.reset();
    EXPECT_FALSE(getsPagesOfItsOwn(oneMiB));

    moved = MemoryRelease::LargeBlockReuse();
    EXPECT_FALSE(getsPagesOfItsOwn(oneMiB));
    {
        MemoryRelease::LargeBlockReuse last = std::move(moved);
    }
    EXPECT_TRUE(getsPagesOfItsOwn(oneMiB));
}
