#include "platform/TerminationSignal.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

using snapkin::platform::TerminationSignal;

// SIGTERM reaches the event loop as a signal instead of ending the process where it stands.
TEST(TerminationSignal, SigtermBecomesASignalInTheEventLoop)
{
    TerminationSignal watcher;
    ASSERT_TRUE(watcher.isWatching());
    QSignalSpy spy(&watcher, &TerminationSignal::terminationRequested);
    ASSERT_EQ(std::raise(SIGTERM), 0);
    // Still here: the handler only noted it.
    EXPECT_TRUE(spy.wait(5000));
    EXPECT_EQ(spy.count(), 1);
    // Each later SIGTERM is told again.
    ASSERT_EQ(std::raise(SIGTERM), 0);
    EXPECT_TRUE(spy.wait(5000));
    EXPECT_EQ(spy.count(), 2);
}

// Without a watcher SIGTERM has its default action again (checked without sending one).
TEST(TerminationSignal, GoingPutsBackTheDefaultAction)
{
    {
        TerminationSignal watcher;
        struct sigaction now {};
        ASSERT_EQ(::sigaction(SIGTERM, nullptr, &now), 0);
        EXPECT_NE(now.sa_handler, SIG_DFL);
    }
    struct sigaction after {};
    ASSERT_EQ(::sigaction(SIGTERM, nullptr, &after), 0);
    EXPECT_EQ(after.sa_handler, SIG_DFL);
}
