#include "platform/PoolThreads.h"

#include <QSemaphore>
#include <QThreadPool>

#include <algorithm>
#include <memory>
#include <mutex>

namespace snapkin::platform {

void reservePoolThreads()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QThreadPool* pool = QThreadPool::globalInstance();
        pool->setExpiryTimeout(-1); // a started thread stays, idle, until the process ends
        const int wanted = std::max(1, pool->maxThreadCount());
        // Each task keeps its thread until every one has arrived, so each gets a thread of its
        // own. Shared, not on this stack: a task whose thread never started keeps it.
        struct Gate {
            QSemaphore arrived;
            QSemaphore leave;
        };
        const auto gate = std::make_shared<Gate>();
        for (int i = 0; i < wanted; ++i) {
            pool->start([gate] {
                gate->arrived.release();
                gate->leave.acquire();
            });
        }
        int arrived = 0;
        while (arrived < wanted && gate->arrived.tryAcquire(1, 5000))
            ++arrived;
        gate->leave.release(wanted);
        if (arrived < wanted) pool->setMaxThreadCount(std::max(arrived, 1));
    });
}

} // namespace snapkin::platform
