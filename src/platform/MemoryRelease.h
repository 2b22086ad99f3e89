#pragma once

#include <cstddef>

namespace snapkin::platform {

// Gives memory freed in large amounts back to the system. The C library keeps freed heap
// memory for reuse rather than returning it: after a few 4K editors have come and gone, an
// idle process would hold on to the frames it no longer has.
class MemoryRelease {
public:
    MemoryRelease() = delete;

    // Once at start-up, before any thread starts: every allocation of 128 KiB or more gets
    // pages of its own, given back the moment it is freed. By default the C library raises
    // that threshold to the size of the largest block freed so far, so after one 4K frame has
    // come and gone every later frame is carved from a heap that keeps it when freed.
    //
    // And the threads share at most heapArenas heaps. By default the C library gives each new
    // thread a heap of its own, up to eight per processor, and each reserves 64 MiB of address
    // space: with Qt's pool threads started at launch, the idle application reserved most of a
    // gigabyte on eight processors, and could not start under an address-space limit.
    static void configureAllocator();

    // How many heaps the threads share, the main one included: however many processors and
    // threads there are, the heaps reserve no more than three times 64 MiB besides the main
    // one. Text recognition on every core allocates the most from many threads at once, and
    // runs as fast with four as with a heap per thread (bench/ocr-speed), where two cost it a
    // tenth more time.
    static constexpr int heapArenas = 4;

    // Asks for freed memory to be given back a moment from now, after the objects being
    // deleted with the event loop are gone too; requests close together are served once.
    // Main thread only; without an application, it is given back at once.
    static void releaseSoon();
    // Gives freed memory back now, from every thread's heap.
    static void releaseNow();

    // Allocations up to this size come from the heap while a LargeBlockReuse exists.
    static constexpr std::size_t reusedBlockBytes = std::size_t(4) << 20;

    // While one of these exists anywhere in the process, allocations of up to reusedBlockBytes
    // come from the heap and go back to it when freed, to be handed out again. For work that
    // allocates and frees such blocks over and over: the text engines' buffers for each line
    // read are up to a few MiB, and given pages of their own each time, every line waited for
    // the kernel to map and clear them, with the other engines' threads queueing behind it
    // (bench/ocr-speed: 6 % of the time and CPU of a 1080p page on six cores). When the last
    // one ends, the threshold is as configured again and what was freed is given back. Does
    // nothing unless configureAllocator() was called. Any thread.
    class LargeBlockReuse {
    public:
        LargeBlockReuse();
        LargeBlockReuse(LargeBlockReuse&& other) noexcept;
        LargeBlockReuse& operator=(LargeBlockReuse&& other) noexcept;
        LargeBlockReuse(const LargeBlockReuse&) = delete;
        LargeBlockReuse& operator=(const LargeBlockReuse&) = delete;
        ~LargeBlockReuse();

    private:
        void end();
        bool m_held = true;
    };
};

} // namespace snapkin::platform
