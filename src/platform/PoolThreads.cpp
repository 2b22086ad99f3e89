#include "platform/PoolThreads.h"

#include <QSemaphore>
#include <QThreadPool>

#include <algorithm>
#include <memory>
#include <mutex>

#include <pthread.h>

namespace snapkin::platform {

namespace {

// Whether a thread with a stack of `stackBytes` can start now: one is started and joined. Its
// stack stays with the C library, which hands it to the next thread asking for a stack of that
// size, so the pool's thread started next finds its room taken for it.
bool threadCanStart(std::size_t stackBytes)
{
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    const auto nothing = [](void*) -> void* { return nullptr; };
    pthread_t thread;
    bool started = pthread_attr_setstacksize(&attributes, stackBytes) == 0;
    started = started && pthread_create(&thread, &attributes, nothing, nullptr) == 0;
    pthread_attr_destroy(&attributes);
    if (started) pthread_join(thread, nullptr);
    return started;
}

} // namespace

int reservePoolThreads()
{
    static std::once_flag once;
    static int running = 0;
    std::call_once(once, [] {
        QThreadPool* pool = QThreadPool::globalInstance();
        pool->setStackSize(uint(poolThreadStackBytes));
        pool->setExpiryTimeout(-1); // a started thread stays, idle, until the process ends
        const int wanted = std::max(1, pool->maxThreadCount());
        // Each task keeps its thread until every one has arrived, so each gets a thread of its
        // own. Shared, not on this stack: a task whose thread never started keeps it.
        struct Gate {
            QSemaphore arrived;
            QSemaphore leave;
        };
        const auto gate = std::make_shared<Gate>();
        // A thread the pool fails to start stays counted as busy for good, with its task, and
        // the end of the application waits for it for ever. So the pool is only asked for a
        // thread where one has just been seen to start.
        int started = 0;
        while (started < wanted && threadCanStart(poolThreadStackBytes)) {
            pool->start([gate] {
                gate->arrived.release();
                gate->leave.acquire();
            });
            ++started;
        }
        int arrived = 0;
        while (arrived < started && gate->arrived.tryAcquire(1, 5000))
            ++arrived;
        if (arrived < wanted) {
            // Should a thread have failed all the same, it is handed back, so that the pool's
            // count is of the threads that run; and the pool is held to those, so that it
            // never tries to start another.
            for (int i = arrived; i < started; ++i)
                pool->releaseThread();
            pool->setMaxThreadCount(std::max(arrived, 1));
        }
        gate->leave.release(started);
        running = arrived;
    });
    return running;
}

} // namespace snapkin::platform
