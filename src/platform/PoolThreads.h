#pragma once

namespace snapkin::platform {

// Qt's image conversions, scaling and fills, and QtConcurrent, split large work among the
// threads of Qt's global pool and wait for every part. The pool starts a thread when work
// comes; one that can't start then (its stack no longer fits the address space, as under
// `ulimit -v` with large pictures in hand) leaves its part undone and the wait unending.
//
// This starts all of the pool's threads at once, while there is room, and keeps them, so later
// work only ever goes to threads that exist. Should a thread not start even now, the pool is
// held to those that did. Call it early on the main thread; later calls do nothing.
void reservePoolThreads();

} // namespace snapkin::platform
