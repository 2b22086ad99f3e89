#pragma once

#include <cstddef>

namespace snapkin::platform {

// Qt's image conversions, scaling and fills, and QtConcurrent, split large work among the
// threads of Qt's global pool and wait for every part. The pool starts a thread when work
// comes; one that can't start then (its stack no longer fits the address space, as under
// `ulimit -v` with large pictures in hand) leaves its part undone and the wait unending.
//
// This starts all of the pool's threads at once, while there is room, and keeps them, so later
// work only ever goes to threads that exist. Each gets a small stack (poolThreadStackBytes), so
// what they reserve stays small however many processors there are. Should a thread not start
// even now, the pool is held to those that did, and no later work waits for the ones that
// didn't. Call it early on the main thread; later calls do nothing but answer again.
//
// Returns how many of the pool's threads run; 0 when none could start, in which case Qt's
// divided work would wait for ever and the caller should not go on.
int reservePoolThreads();

// The stack each of the global pool's threads reserves. What runs there (Qt's conversions and
// scaling, flattening, encoders, filters, capture and clipboard reads) uses well under a tenth
// of it; the C library's default, 8 MiB a thread, reserved as many times over as there are
// processors, kept the application from starting under an address-space limit.
inline constexpr std::size_t poolThreadStackBytes = std::size_t(1) << 20;

} // namespace snapkin::platform
