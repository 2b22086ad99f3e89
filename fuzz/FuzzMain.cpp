// libFuzzer's entry points for one reader, chosen at compile time by SNAPKIN_FUZZ_TARGET.
#include "FuzzTargets.h"

#include <cstdlib>

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
