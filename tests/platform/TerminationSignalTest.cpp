#include "platform/TerminationSignal.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

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

// A SIGTERM is never held off for good: a second one while the event loop has not yet seen the
// first (the GUI thread busy or stuck) ends the process at once.
TEST(TerminationSignal, ASecondSigtermBeforeTheEventLoopSawTheFirstEndsTheProcess)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TerminationSignal watcher;
        std::raise(SIGTERM);
        std::raise(SIGTERM); // the event loop never turned in between
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
}

// A run that is ending on a SIGTERM lets the next one end it, without a handler in the way
// (checked without sending one).
TEST(TerminationSignal, RestoringTheDefaultActionLeavesTheWatcherOutOfTheWay)
{
    TerminationSignal watcher;
    watcher.restoreDefaultAction();
    struct sigaction now {};
    ASSERT_EQ(::sigaction(SIGTERM, nullptr, &now), 0);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}
