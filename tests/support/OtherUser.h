#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <sys/types.h>

// A second local user for tests of what another user's processes can and cannot do. Only root
// can act as another user, so the helpers answer nothing when the tests do not run as root
// (the caller skips).
namespace snapkin::test {

struct OtherUser {
    uid_t uid = 0;
    gid_t gid = 0;
};

// The test user "snapkin-other", made with useradd when missing; nothing unless running as root.
std::optional<OtherUser> otherUser();

// Runs `body` in a child process that runs as `user` and returns its exit status (-1 when it
// could not be run). The child does nothing but `body`: plain system calls, no Qt.
int runAs(const OtherUser& user, const std::function<int()>& body);

// Unix-domain sockets listened on by a process of another user for the lifetime of the object:
// what a hostile process would do to catch what is sent to a well-known socket name.
class ForeignListener {
public:
    enum class Bind {
        asThem,      // the socket files are theirs
        asUsThenThem // made by us, then listened on as them: the file is ours, the peer is not
    };
    ForeignListener(const OtherUser& user, const QStringList& paths, Bind bind = Bind::asThem);
    ~ForeignListener();
    ForeignListener(const ForeignListener&) = delete;
    ForeignListener& operator=(const ForeignListener&) = delete;

    // Whether every socket was made and is listened on.
    bool listening() const { return m_listening; }
    // Stops listening and says how many connections came and how many bytes they sent.
    struct Catch {
        int connections = 0;
        long long bytes = 0;
    };
    Catch stop();

private:
    pid_t m_child = -1;
    int m_stop = -1;   // closed by the parent to end the listener
    int m_report = -1; // the child's readiness and catch
    bool m_listening = false;
    std::optional<Catch> m_catch;
};

} // namespace snapkin::test
