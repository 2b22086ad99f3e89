#include "platform/SerialQueue.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace snapkin::platform {

SerialQueue::SerialQueue(const QString& name)
{
    const QByteArray threadName = name.toUtf8().left(15);
    m_thread = std::thread([this, threadName] {
        ::pthread_setname_np(::pthread_self(), threadName.constData());
        // Background work that must not compete with the interface: a nice value of 10 for
        // this thread only (Linux keeps nice values per thread).
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 10);
        run();
    });
}

SerialQueue::~SerialQueue()
{
    drain();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void SerialQueue::async(Task task)
{
    if (!task) return;
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
        ++m_queued;
    }
    m_wake.notify_one();
}

void SerialQueue::drain()
{
    if (std::this_thread::get_id() == m_thread.get_id()) return;
    std::unique_lock lock(m_mutex);
    const std::uint64_t target = m_queued;
    m_finished.wait(lock, [&] { return m_finishedCount >= target; });
}

void SerialQueue::run()
{
    for (;;) {
        Task task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || !m_tasks.empty(); });
            if (m_tasks.empty()) return; // stopping, and nothing is left
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        try {
            task();
        } catch (...) {
            // A failed write must not take the queue down with it.
        }
        // The task's captures are released before it counts as finished, so a drained queue
        // holds no copies of the data any more.
        task = nullptr;
        {
            std::lock_guard lock(m_mutex);
            ++m_finishedCount;
        }
        m_finished.notify_all();
    }
}

} // namespace snapkin::platform
