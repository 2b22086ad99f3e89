#include "platform/PoolThreads.h"

#include "platform/MemoryRelease.h"
#include "support/AddressSpace.h"

#include <QByteArray>
#include <QImage>
#include <QSemaphore>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <vector>

#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using snapkin::platform::MemoryRelease;
using snapkin::platform::reservePoolThreads;
using snapkin::test::mappedKiB;
using snapkin::test::sanitized;

namespace {

// Every thread of the global pool takes a little memory from the heaps at once, as work on
// all of them does: a thread's first allocation is what gives it a heap.
void everyPoolThreadAllocates(int threads)
{
    QSemaphore arrived;
    QSemaphore leave;
    std::atomic<int> bytes = 0;
    for (int i = 0; i < threads; ++i) {
        QThreadPool::globalInstance()->start([&] {
            arrived.release();
            leave.acquire(); // each holds its thread until all have one
            const QByteArray block(1000, 'x');
            bytes += int(block.size());
        });
    }
    arrived.acquire(threads);
    leave.release(threads);
    QThreadPool::globalInstance()->waitForDone();
}

// In a child process started afresh: the allocator set up as the application sets it, then
// the global pool reserved with `threads` threads, each having taken memory. Exits with the
// address space that added, in units of 4 MiB (at most 254), or 255 when not every thread ran.
[[noreturn]] void reserveAndReport(int threads)
{
    alarm(60); // a hang ends the child, failing the test rather than the run
    MemoryRelease::configureAllocator();
    QThreadPool::globalInstance()->setMaxThreadCount(threads);
    const qint64 before = mappedKiB();
    if (reservePoolThreads() != threads) _exit(255);
    everyPoolThreadAllocates(threads);
    const qint64 added = mappedKiB() - before;
    _exit(int(std::clamp<qint64>(added / 4096, 0, 254)));
}

// The address space, in MiB, that a pool of `threads` threads added in a child; -1 when the
// child failed.
int reservedMiB(int threads)
{
    int units = -1;
    EXPECT_EXIT(
        reserveAndReport(threads),
        [&](int status) {
            if (!WIFEXITED(status) || WEXITSTATUS(status) == 255) return false;
            units = WEXITSTATUS(status);
            return true;
        },
        "");
    return units < 0 ? -1 : units * 4;
}

} // namespace

// The pool's threads are started at launch, one per processor: each may reserve a small stack
// but no heap of its own, so that on a workstation with dozens of processors the application
// still starts within a modest address space.
TEST(PoolThreads, EachFurtherThreadReservesAtMostTwoMegabytes)
{
    if (sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const int eight = reservedMiB(8);
    const int forty = reservedMiB(40);
    ASSERT_GE(eight, 0);
    ASSERT_GE(forty, 0);
    // Measured in steps of 4 MiB: the 32 further threads' share is known to within 1/4 MiB.
    EXPECT_LE(forty - eight, 32 * 2) << "8 threads: " << eight << " MiB, 40: " << forty << " MiB";
    // Whatever their number, the threads share a few heaps, each of which reserves 64 MiB.
    EXPECT_LE(forty, 40 * 2 + MemoryRelease::heapArenas * 64);
}

// Where only some of the pool's threads can start, the work Qt and QtConcurrent divide among
// them is done all the same, by those that did; none of it, nor the application's end, waits
// for a thread that never ran.
TEST(PoolThreads, ThreadsThatCannotStartLeaveTheirWorkToThoseThatDid)
{
    if (sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(_exit([] {
                    alarm(60); // a hang ends the child
                    // One heap for every thread, so that only the threads' stacks take the room
                    // left below.
                    mallopt(M_ARENA_MAX, 1);
                    QThreadPool::globalInstance()->setMaxThreadCount(16);
                    // The address space is limited to what is mapped now and 96 MiB, of which
                    // all but room for a few stacks is then taken while the pool starts.
                    const rlim_t spare = rlim_t(96) << 20;
                    const rlim_t limit = rlim_t(mappedKiB()) * 1024 + spare;
                    const rlimit address{limit, limit};
                    if (setrlimit(RLIMIT_AS, &address) != 0) return 5;
                    const size_t ballast = spare - (size_t(6) << 20);
                    void* taken =
                        mmap(nullptr, ballast, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
                    if (taken == MAP_FAILED) return 6;
                    const int running = reservePoolThreads();
                    munmap(taken, ballast);
                    if (running < 1 || running >= 16) return 7;

                    // Qt converts a large picture in parts on the pool.
                    QImage rgb(1200, 1000, QImage::Format_RGB888);
                    rgb.fill(QColor(20, 120, 220));
                    const QImage converted = rgb.convertToFormat(QImage::Format_ARGB32);
                    if (converted.pixel(1199, 999) != qRgb(20, 120, 220)) return 1;
                    // QtConcurrent spreads a map over the pool and waits for every item.
                    std::vector<int> items(256);
                    std::iota(items.begin(), items.end(), 0);
                    QtConcurrent::blockingMap(items, [](int& item) { item *= 2; });
                    if (items.back() != 510) return 2;
                    // More tasks at once than threads run, each waited for.
                    std::vector<QFuture<int>> futures;
                    for (int i = 0; i < 32; ++i)
                        futures.push_back(QtConcurrent::run([i] { return i; }));
                    int sum = 0;
                    for (QFuture<int>& future : futures)
                        sum += future.result();
                    if (sum != 31 * 32 / 2) return 3;
                    // The application's end waits for the pool to finish.
                    return QThreadPool::globalInstance()->waitForDone(10000) ? 0 : 4;
                }()),
                ::testing::ExitedWithCode(0), "");
}
