// libFuzzer's entry points for one reader, chosen at compile time by SNAPKIN_FUZZ_TARGET.
#include "FuzzTargets.h"

#include <cstdlib>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

#ifndef SNAPKIN_FUZZ_TARGET
#error "SNAPKIN_FUZZ_TARGET names the reader to fuzz"
#endif

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    snapkin::fuzz::initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const auto target = snapkin::fuzz::targetNamed(SNAPKIN_FUZZ_TARGET);
    if (!target) std::abort();
    target(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}

// A mutation almost always breaks the CRC of the PNG chunk it lands in, which the image reader
// checks before any decoder runs, so most PNG inputs would test that check alone. Seven times in
// eight the CRCs are made right again, and the decoders see damage inside sound chunks.
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t maxSize, unsigned int seed)
{
    size = LLVMFuzzerMutate(data, size, maxSize);
    if (seed % 8 != 0) snapkin::fuzz::repairPngChecksums(data, size);
    return size;
}
