#pragma once

#include <QByteArray>
#include <QtGlobal>

// Memory that runs out, for tests that run what they check in a child process (a death test)
// whose address space is limited, as under `ulimit -v`.
namespace snapkin::test {

// Whether this build runs under a sanitizer, which reserves address space of its own.
bool sanitized();

// The address space this process has mapped, in KiB (VmSize); 0 when unknown.
qint64 mappedKiB();

// Limits this process's address space to what it maps now and `spareBytes` more; false when
// the limit could not be set.
bool leaveAddressSpace(qint64 spareBytes);

// The address space a thread's stack takes, as the C library sizes it from the stack limit.
qint64 threadStackBytes();

// A PNG of `width` x `height` pixels of one grey, 8-bit RGB, its rows stored without
// compression in image-data chunks of at most `chunkBytes`: a file about as long as its
// pixels, made without an image in memory, which the direct decoder reads.
QByteArray storedRgbPng(int width, int height, int chunkBytes = 1 << 20);

} // namespace snapkin::test
