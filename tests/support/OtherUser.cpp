#include "support/OtherUser.h"

#include <QFile>
#include <QProcess>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace snapkin::test {

namespace {

constexpr const char* userName = "snapkin-other";

std::optional<OtherUser> lookUp()
{
    if (const passwd* entry = ::getpwnam(userName)) return OtherUser{entry->pw_uid, entry->pw_gid};
    return std::nullopt;
}

// Takes on `user`'s identity in a child; false when the kernel refuses.
bool become(const OtherUser& user)
{
    return ::setgroups(0, nullptr) == 0 && ::setgid(user.gid) == 0 && ::setuid(user.uid) == 0;
}

bool readFully(int fd, void* buffer, size_t size, int timeoutMs)
{
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return false;
        const ssize_t n = ::read(fd, bytes, size);
        if (n <= 0) return false;
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

// The listener's body, in the child: listens on every path, tells the parent, then counts what
// arrives until the parent closes `stopFd`, and reports the count.
[[noreturn]] void listenAndCount(const OtherUser& user, ForeignListener::Bind bind,
                                 const std::vector<QByteArray>& paths, int stopFd, int reportFd)
{
    const bool bindFirst = bind == ForeignListener::Bind::asUsThenThem;
    if (!bindFirst && !become(user)) ::_exit(126);
    std::vector<pollfd> fds{{stopFd, POLLIN, 0}};
    char ready = 'R';
    for (const QByteArray& path : paths) {
        ::unlink(path.constData()); // a socket of ours from an earlier run
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (fd < 0 || size_t(path.size()) >= sizeof address.sun_path) {
            ready = 'F';
            break;
        }
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::chmod(path.constData(), 0777) != 0) {
            ready = 'F';
            break;
        }
        fds.push_back({fd, POLLIN, 0});
    }
    // A client learns the credentials in force when listen() was called.
    if (bindFirst && !become(user)) ready = 'F';
    for (size_t i = 1; i < fds.size(); ++i) {
        if (::listen(fds[i].fd, 8) != 0) ready = 'F';
    }
    const size_t listeners = fds.size();
    if (::write(reportFd, &ready, 1) != 1) ::_exit(1);
    ForeignListener::Catch caught;
    for (;;) {
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) break;
        if (fds[0].revents) break;
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            if (i < listeners) {
                const int connection = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (connection >= 0) {
                    ++caught.connections;
                    fds.push_back({connection, POLLIN, 0});
                }
            } else {
                char buffer[4096];
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                if (n > 0)
                    caught.bytes += n;
                else
                    fds[i].events = 0; // hung up
            }
        }
    }
    for (const QByteArray& path : paths)
        ::unlink(path.constData());
    if (::write(reportFd, &caught, sizeof caught) != sizeof caught) ::_exit(1);
    ::_exit(0);
}

} // namespace

std::optional<OtherUser> otherUser()
{
    if (::geteuid() != 0) return std::nullopt;
    // Test programs running side by side may both try; the loser of the race finds the winner's.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (auto user = lookUp()) return user;
        QProcess::execute(QStringLiteral("useradd"),
                          {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
                           QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"),
                           QString::fromLatin1(userName)});
        if (auto user = lookUp()) return user;
        QThread::msleep(100);
    }
    return std::nullopt;
}

int runAs(const OtherUser& user, const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) ::_exit(become(user) ? body() : 126);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

ForeignListener::ForeignListener(const OtherUser& user, const QStringList& paths, Bind bind)
{
    std::vector<QByteArray> encoded;
    for (const QString& path : paths)
        encoded.push_back(QFile::encodeName(path));
    int stop[2];
    int report[2];
    if (::pipe2(stop, O_CLOEXEC) != 0) return;
    if (::pipe2(report, O_CLOEXEC) != 0) {
        ::close(stop[0]);
        ::close(stop[1]);
        return;
    }
    m_child = ::fork();
    if (m_child == 0) {
        ::close(stop[1]);
        ::close(report[0]);
        listenAndCount(user, bind, encoded, stop[0], report[1]);
    }
    ::close(stop[0]);
    ::close(report[1]);
    m_stop = stop[1];
    m_report = report[0];
    char ready = 0;
    m_listening = m_child > 0 && readFully(m_report, &ready, 1, 10000) && ready == 'R';
}

ForeignListener::Catch ForeignListener::stop()
{
    if (m_catch) return *m_catch;
    Catch caught{-1, -1};
    if (m_stop >= 0) {
        ::close(m_stop);
        m_stop = -1;
        if (!readFully(m_report, &caught, sizeof caught, 10000)) caught = {-1, -1};
    }
    m_catch = caught;
    return caught;
}

ForeignListener::~ForeignListener()
{
    stop();
    if (m_report >= 0) ::close(m_report);
    if (m_child > 0) {
        ::kill(m_child, SIGKILL);
        ::waitpid(m_child, nullptr, 0);
    }
}

} // namespace snapkin::test
