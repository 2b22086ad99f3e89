#pragma once

#include <QObject>

class QSocketNotifier;

namespace snapkin::platform {

// Turns SIGTERM (what a logout or `kill` sends) into a Qt signal on the GUI thread, so the
// application can end its run in order, writing what is pending and removing its temporary
// files, instead of ending where it stands.
//
// The handler only writes a byte into a pipe (all a signal handler may safely do); a socket
// notifier reads it in the event loop. One watcher per process: a second one takes over.
//
// SIGTERM is never ignored for good: a second one that arrives before the event loop has seen
// the first (the GUI thread is busy or stuck) ends the process at once with SIGTERM's default
// action, and so does any after restoreDefaultAction().
class TerminationSignal : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignal(QObject* parent = nullptr);
    // Puts back the default action of SIGTERM.
    ~TerminationSignal() override;

    // Whether the handler is in place (the pipe could be made).
    bool isWatching() const { return m_notifier != nullptr; }

    // Later SIGTERMs end the process at once, as they would without a watcher: for a run that
    // is ending on the SIGTERM it was told of, so that one that hangs on the way out is still
    // ended by the next.
    void restoreDefaultAction();

signals:
    // SIGTERM arrived.
    void terminationRequested();

private:
    void drain();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace snapkin::platform
