#pragma once

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
    static void configureAllocator();

    // Asks for freed memory to be given back a moment from now, after the objects being
    // deleted with the event loop are gone too; requests close together are served once.
    // Main thread only; without an application, it is given back at once.
    static void releaseSoon();
    // Gives freed memory back now, from every thread's heap.
    static void releaseNow();
};

} // namespace snapkin::platform
