#pragma once

#include <QObject>

class QSocketNotifier;

namespace snapkin::platform {

// Turns SIGTERM (what a logout or `kill` sends) into a Qt signal on the GUI thread, so the
// application can quit as its own Quit command does: asking about unsaved work, writing what is
// pending and removing its temporary files, instead of ending where it stands.
//
// The handler only writes a byte into a pipe (all a signal handler may safely do); a socket
// notifier reads it in the event loop. One watcher per process: a second one takes over.
class TerminationSignal : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignal(QObject* parent = nullptr);
    // Puts back the default action of SIGTERM.
    ~TerminationSignal() override;

    // Whether the handler is in place (the pipe could be made).
    bool isWatching() const { return m_notifier != nullptr; }

signals:
    // SIGTERM arrived (several that arrive before the event loop looks are told once).
    void terminationRequested();

private:
    void drain();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace snapkin::platform
