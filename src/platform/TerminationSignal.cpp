#include "platform/TerminationSignal.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace snapkin::platform {

namespace {

// The write end of the pipe of the watcher in place, -1 without one.
std::atomic<int> wakeFd{-1};
// SIGTERMs the handler took that the event loop has not read yet.
std::atomic<int> unseen{0};
static_assert(std::atomic<int>::is_always_lock_free, "used in a signal handler");

extern "C" void onTerminate(int)
{
    const int saved = errno;
    if (unseen.fetch_add(1) > 0) {
        // The first is still waiting for the event loop: this one is not held off as well.
        ::signal(SIGTERM, SIG_DFL);
        ::raise(SIGTERM);
    }
    const int fd = wakeFd.load();
    if (fd >= 0) {
        const char byte = 1;
        // Non-blocking: a full pipe already says that a signal is waiting to be read.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

TerminationSignal::TerminationSignal(QObject* parent) : QObject(parent)
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignal::drain);
    wakeFd.store(m_pipe[1]);
    unseen.store(0);
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // system calls the signal interrupts carry on
    ::sigaction(SIGTERM, &action, nullptr);
}

TerminationSignal::~TerminationSignal()
{
    if (!m_notifier) return;
    if (wakeFd.load() == m_pipe[1]) {
        ::signal(SIGTERM, SIG_DFL);
        wakeFd.store(-1);
    }
    delete m_notifier; // before its descriptor closes
    m_notifier = nullptr;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void TerminationSignal::restoreDefaultAction()
{
    if (m_notifier && wakeFd.load() == m_pipe[1]) ::signal(SIGTERM, SIG_DFL);
}

void TerminationSignal::drain()
{
    char bytes[64];
    bool received = false;
    while (::read(m_pipe[0], bytes, sizeof bytes) > 0)
        received = true;
    // After the read: one that arrives in between is in the pipe, read at the next turn.
    unseen.store(0);
    if (received) emit terminationRequested();
}

} // namespace snapkin::platform
