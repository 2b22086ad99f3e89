#include "platform/SerialQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <stdexcept>
#include <thread>
#include <vector>

using snapkin::platform::SerialQueue;

TEST(SerialQueue, RunsTasksOneAtATimeInOrderOffTheCallersThread)
{
    SerialQueue queue("test-queue");
    std::vector<int> order; // touched only by the queue's thread until drained
    std::atomic<int> running = 0;
    bool overlapped = false;
    bool onCaller = false;
    const auto caller = std::this_thread::get_id();
    for (int i = 0; i < 200; ++i) {
        queue.async([&, i] {
            if (running.fetch_add(1) != 0) overlapped = true;
            if (std::this_thread::get_id() == caller) onCaller = true;
            order.push_back(i);
            running.fetch_sub(1);
        });
    }
    queue.drain();
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(onCaller);
}

TEST(SerialQueue, DrainWaitsForASlowTaskButNotForLaterOnes)
{
    SerialQueue queue("test-queue");
    std::atomic<bool> slowDone = false;
    std::latch later(1);
    queue.async([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        slowDone = true;
    });
    queue.drain();
    EXPECT_TRUE(slowDone);

    // A task queued after drain() started is not waited for: drain from within the queue
    // returns at once instead of waiting for itself.
    std::atomic<bool> innerReturned = false;
    queue.async([&] {
        queue.drain();
        innerReturned = true;
        later.count_down();
    });
    later.wait();
    EXPECT_TRUE(innerReturned);
}

TEST(SerialQueue, AThrowingTaskDoesNotStopTheQueueAndDestructionFinishesTheRest)
{
    std::atomic<int> ran = 0;
    {
        SerialQueue queue("test-queue");
        queue.async([] { throw std::runtime_error("disk full"); });
        for (int i = 0; i < 5; ++i) {
            queue.async([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                ++ran;
            });
        }
    }
    EXPECT_EQ(ran, 5);
}
