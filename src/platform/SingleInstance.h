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
// The socket is made for the user alone. A socket left behind by a process that died is found
// by a failed connection and replaced.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The socket's path for this user and display, from the environment only:
    // $XDG_RUNTIME_DIR/snapkin-<display>.instance, else the temporary folder with the user id.
    static QString socketPath();

    explicit SingleInstance(QString path = socketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Role {
        primary,   // this process listens now
        forwarded, // a running instance took the request; this process should exit
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
    bool forward(const QStringList& files, int timeoutMs);
    bool listen();
    void accept();

    QString m_path;
    QLocalServer* m_server = nullptr;
};

} // namespace snapkin::platform
