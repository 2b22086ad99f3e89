#include "AllocatorSupport.h"

#include <malloc.h>

#include <cstdlib>

namespace snapkin::test {

bool getsPagesOfItsOwn(std::size_t bytes)
{
    const auto before = mallinfo2().hblks;
    auto* block = static_cast<volatile char*>(std::malloc(bytes));
    block[0] = 1; // used, so the allocation is made
    const bool own = mallinfo2().hblks > before;
    std::free(const_cast<char*>(block));
    return own;
}

} // namespace snapkin::test
