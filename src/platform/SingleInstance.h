#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

namespace snapkin::platform {

// One running Snapkin per user and display. The first process listens on a local socket in the
// user's runtime folder; a later start connects to it, hands over what it was asked to do (the
// absolute paths of the files to open, or nothing, which means "reopen") and exits.
//
// The socket is the user's alone: it lives in a folder nobody else may enter, and both ends ask
// the kernel who the other process runs as (SO_PEERCRED) before they send or act, so a process
// of another user never receives a path and never opens one. A socket left behind by a process
// of ours that died is found by a failed connection and replaced; another user's is left alone.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The socket's path for this user and display: $XDG_RUNTIME_DIR/snapkin-<display>.instance
    // when that folder is private (the user's own, mode 0700, not a link), else the same name in
    // <cache>/snapkin/instance, made private on the way. Empty when neither can be had.
    static QString socketPath();

    explicit SingleInstance(QString path = socketPath(), QObject* parent = nullptr);

    enum class Role {
        primary,   // this process listens now
        forwarded, // a running instance took the request; this process should exit
        refused,   // the process that answered runs as another user: nothing was handed over
                   // and this process runs on alone
        failed,    // neither: no socket could be made (the process runs on alone)
    };
    // Hands `files` (made absolute against the current folder) to a running instance, or
    // becomes the one that listens. `timeoutMs` bounds each wait for the other process.
    Role claim(const QStringList& files, int timeoutMs = 2000);

    // The request a message carries: files to open, or none for "reopen". Public for tests.
    static QByteArray encode(const QStringList& absolutePaths);
    static QStringList decode(const QByteArray& message, bool* valid);

signals:
    // A later start asked to open these files (absolute paths), one editor each.
    void filesRequested(const QStringList& paths);
    // A later start without files: bring the application forward.
    void reopenRequested();

private:
    enum class Handover { delivered, nobody, refused };
    Handover forward(const QStringList& files, int timeoutMs);
    bool listen();
    void accept();

    QString m_path;
    QLocalServer* m_server = nullptr;
};

} // namespace snapkin::platform
