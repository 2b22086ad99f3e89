#pragma once

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace snapkin::platform {

// One worker thread at low priority that runs tasks one at a time, in the order they were
// queued. A task works on what it captured (copies of the data it writes), never on state the
// caller keeps changing, so the caller may go on at once. A later task always runs after every
// earlier one has finished.
//
// drain() waits until every task queued before it has run: the way to make sure all writes are
// on disk before the process ends. The destructor drains too, then stops the thread.
class SerialQueue {
public:
    using Task = std::function<void()>;

    // `name` names the thread (at most 15 bytes are kept), for debuggers and `top`.
    explicit SerialQueue(const QString& name);
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    // Queues `task`. An exception thrown by a task is caught and dropped; the queue goes on.
    void async(Task task);

    // Returns once every task queued before the call has finished. Called from a task of this
    // queue it returns at once (waiting would never end).
    void drain();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;     // a task was queued, or the queue is stopping
    std::condition_variable m_finished; // a task has finished
    std::deque<Task> m_tasks;
    std::uint64_t m_queued = 0;        // tasks queued so far
    std::uint64_t m_finishedCount = 0; // tasks finished so far
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace snapkin::platform
