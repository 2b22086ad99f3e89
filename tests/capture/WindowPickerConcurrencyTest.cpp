#include "capture/overlay/WindowPicker.h"

#include <QCoreApplication>
#include <QPromise>
#include <gtest/gtest.h>

#include <latch>
#include <thread>

using namespace snapkin;
using platform::CaptureResult;
using platform::ShareableContent;

// The overlay and its picker may go away while window mode's listing is still being made on a
// worker thread. Here the worker answers at the very moment the picker is deleted, many times
// over: the answer must neither reach the deleted picker nor leave an event addressed to it
// (which the GUI thread would deliver, or free at exit, through a dangling pointer). The
// listing's future still finishes, so nothing waits on it forever.
TEST(WindowPickerLifetime, APickerDeletedAsItsListingArrivesLeavesNothingBehind)
{
    constexpr int rounds = 3000;
    for (int round = 0; round < rounds; ++round) {
        QPromise<CaptureResult<ShareableContent>> answer;
        answer.start();
        auto* picker = new WindowPicker([&] { return answer.future(); });
        QFuture<void> listed = picker->prepare();
        std::latch go(2);
        std::thread worker([&] {
            go.arrive_and_wait();
            answer.addResult(ShareableContent{});
            answer.finish();
        });
        go.arrive_and_wait();
        delete picker;
        worker.join();
        QCoreApplication::sendPostedEvents();
        ASSERT_TRUE(listed.isFinished()) << "round " << round;
    }
}
