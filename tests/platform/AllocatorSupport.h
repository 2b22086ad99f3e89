#pragma once

#include <cstddef>

namespace snapkin::test {

// Whether the C library gives a block of `bytes` pages of its own rather than carving it
// from the heap: what MemoryRelease's settings decide.
bool getsPagesOfItsOwn(std::size_t bytes);

} // namespace snapkin::test
